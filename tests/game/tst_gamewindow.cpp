// The game in its window, against the test game server: a whole game played
// with the digit keys typed into another window of the program (the hot keys
// are application-wide shortcuts on the offscreen platform), with the server's
// rows after every answer and what the player hears; the spoken commands by
// their shortcuts; a game closed in the middle of tour 2 and started again.

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QSet>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/MainControls.h"
#include "game/MainWindow.h"
#include "game/StartPrompt.h"
#include "platform/GlobalHotKeys.h"
#include "platform/Hold.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechSettings.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/GameRows.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::GameRows;
using sortest::setServerClock;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// Another window of the program, which has the keyboard focus while the
// player answers.
class KeyWindow : public QWidget
{
};

}  // namespace

class TestGameWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<GameRows> rows;
    std::unique_ptr<TfrMain> w;
    std::unique_ptr<KeyWindow> other;
    QStringList prompts;
    std::function<void(const QString&)> onPrompt;
    // What a prompt gives once the window has closed: in the program that is
    // quitting, every new modal window returns at once with 0.
    int promptWhenClosed = 0;

    void openWindow()
    {
        w = std::make_unique<TfrMain>();
        prompts.clear();
        w->StartPromptHook = [this](const QString& caption) {
            prompts << caption;
            if (onPrompt)
                onPrompt(caption);
            return w->isVisible() ? int(sor::mrOk) : promptWhenClosed;
        };
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(w->activations(), 1);
        QTRY_VERIFY(!w->game().StepUnderWay());
    }

    void focusOtherWindow()
    {
        if (!other) {
            other = std::make_unique<KeyWindow>();
            other->setWindowTitle("another window");
            other->resize(200, 100);
            other->move(0, 600);
            other->show();
            QVERIFY(QTest::qWaitForWindowExposed(other.get()));
        }
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other.get()));
    }

    int rightPanel() const
    {
        for (int n = 1; n <= 4; ++n)
            if (w->answerCaption(n).mid(3) == w->game().CurrentQuestion().sVar4)
                return n;
        return 0;
    }

    // Types digit n where the other window has the focus, and waits until the
    // hot key has been handled: the step it starts, hold included, is over.
    void answerByKey(int n)
    {
        int handled = 0;
        // After the window's own handler, which runs the step.
        const auto c = connect(w->HotKeys, &sor::GlobalHotKeys::hotKey, this, [&] { ++handled; });
        QTest::keyClick(other.get(), Qt::Key(Qt::Key_0 + n));
        QTRY_COMPARE_WITH_TIMEOUT(handled, 1, 20000);
        disconnect(c);
        QVERIFY(!w->game().StepUnderWay());
    }

    // Answers with digit n and, once the hold is under way, acts as the
    // player would meanwhile.
    void answerByKeyAndInTheHold(int n, const std::function<void()>& act)
    {
        bool acted = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (acted || !sor::PauseActive())
                return;
            acted = true;
            act();
        });
        poll.start(10);
        answerByKey(n);
        poll.stop();
        QVERIFY(acted);
    }

    // The player's answers, tour stamps (seconds from kT0, "-" when not set)
    // and status.
    QString stored() const
    {
        QStringList stamps;
        for (int t = 1; t <= 3; ++t)
            for (const QString& f : {GameRows::startField(t), GameRows::endField(t)}) {
                const QDateTime at = rows->stamp(f);
                stamps << (at.isValid() ? QString::number(GameRows::atTime(0).secsTo(at)) : QString("-"));
            }
        return QString("answers %1, stamps %2, status %3")
            .arg(rows->answerCount())
            .arg(stamps.join(' '))
            .arg(rows->status());
    }

    QString variantsText() const
    {
        QString s = QStringLiteral("Варианты ответов. ");
        for (int n = 1; n <= 4; ++n)
            s += w->answerCaption(n) + QStringLiteral(". ");
        return s;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init()
    {
        sor::resetSessionContext();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        rig = std::make_unique<sortest::SpeechRig>();
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = sortest::loggedInModule(kDb);
        QVERIFY(dm);
        rows = std::make_unique<GameRows>(kDb, CurrentUserID);
        rows->reset();
        setServerClock(dm->UniConnection1, 0);
        onPrompt = nullptr;
        promptWhenClosed = 0;
    }

    void cleanup()
    {
        sor::setHaltHandler(nullptr);
        other.reset();
        w.reset();
        dm.reset();
        messages.reset();
        rig.reset();
        QLocale::setDefault(QLocale::c());
    }

    // A whole game by the digit keys: three tours of 21 answers, the server's
    // rows after each, every question new and of its level, the tour prompts,
    // the transcript of a right and a wrong answer, and the report with the
    // score. The server's clock is moved on by the test: tour 1 takes 500 s,
    // tour 2 550 s, tour 3 590 s of 600, which leaves 160 s.
    void wholeGameByHotKeys()
    {
        // Where the server's clock stands for each tour's start and end.
        const int startAt[4] = {0, 0, 1000, 2000};
        const int endAt[4] = {0, 500, 1550, 2590};
        onPrompt = [&](const QString& caption) {
            if (caption == "Начать 2-й тур")
                setServerClock(dm->UniConnection1, startAt[2]);
            if (caption == "Начать 3-й тур")
                setServerClock(dm->UniConnection1, startAt[3]);
        };
        openWindow();
        QCOMPARE(prompts, QStringList{"Начать игру"});
        QCOMPARE(rows->status(), int(gRunning));
        QCOMPARE(rows->stamp("Time_lvl1"), GameRows::atTime(0));
        focusOtherWindow();

        QString report;
        QString atReport;
        QString atLastPrompt;
        messages->onMessage = [&](const sortest::RecordedMessage& m) {
            report = m.text;
            QStringList stamps;
            for (int t = 1; t <= 3; ++t)
                stamps << QString::number(GameRows::atTime(0).secsTo(rows->stamp(GameRows::startField(t))))
                       << QString::number(GameRows::atTime(0).secsTo(rows->stamp(GameRows::endField(t))));
            atReport = QString("status %1, answers %2, stamps %3")
                           .arg(rows->status())
                           .arg(rows->answerCount())
                           .arg(stamps.join(' '));
        };

        QList<GameRows::Answer> expected;
        QSet<int> asked;
        int rightAnswers = 0;
        for (int i = 0; i < 63; ++i) {
            const int tour = i / 21 + 1;
            const int num = i % 21 + 1;
            const TCurQuestion q = w->game().CurrentQuestion();
            QCOMPARE(w->lblTur->text(), QString("Тур №%1").arg(tour));
            QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №%1").arg(num));
            QCOMPARE(q.iQlevel, num);
            QVERIFY2(!asked.contains(q.iID), qPrintable(QString("question %1 asked twice").arg(q.iID)));
            asked << q.iID;

            const int right = rightPanel();
            QVERIFY(right != 0);
            const bool wrong = i % 7 == 1;
            const int chosen = wrong ? right % 4 + 1 : right;
            const QString chosenText = w->answerCaption(chosen).mid(3);
            int qvar = 0;
            for (int v = 1; v <= 4; ++v)
                if (chosenText == QStringList({q.sVar1, q.sVar2, q.sVar3, q.sVar4})[v - 1])
                    qvar = v;
            expected << GameRows::Answer{q.iID, qvar, tour, num};
            std::sort(expected.begin(), expected.end());
            rightAnswers += wrong ? 0 : 1;
            if (num == 21)
                setServerClock(dm->UniConnection1, endAt[tour]);
            if (i == 62) {
                onPrompt = [&](const QString&) {
                    atLastPrompt = QString("status %1, answers %2").arg(rows->status()).arg(rows->answerCount());
                };
            }

            rig->clear();
            answerByKey(chosen);
            if (i == 62)
                break;

            // The server after the step.
            QCOMPARE(rows->answers(), expected);
            QCOMPARE(rows->status(), int(gRunning));
            for (int t = 1; t <= 3; ++t) {
                const int started = num == 21 ? tour + 1 : tour;
                QCOMPARE(rows->stamp(GameRows::startField(t)).isValid(), t <= started);
                QCOMPARE(rows->stamp(GameRows::endField(t)).isValid(), t < started);
            }

            // What the player heard: the verdict at once, the rest queued.
            if (i == 0) {
                QCOMPARE(rig->heard(), QStringList({"!Правильно. ", "Вопрос №2", w->game().CurrentQuestion().sQuestion,
                                                    variantsText()}));
            } else if (i == 1) {
                QCOMPARE(rig->heard(),
                         QStringList({"!Неправильно. ", QString("Правильный ответ №%1. %2. ").arg(right).arg(q.sVar4),
                                      "Вопрос №3", w->game().CurrentQuestion().sQuestion, variantsText()}));
            }
        }

        QCOMPARE(prompts, QStringList({"Начать игру", "Начать 2-й тур", "Начать 3-й тур", "Начать игру"}));
        QCOMPARE(rightAnswers, 54);
        QCOMPARE(report, QString("Игра закончена!\n\rВы дали ответ на все вопросы\n\rДано всего ответов: 63, \n\r"
                                 "Дано правильных ответов: 54.\n\rВремени, по результатам трёх туров, осталось "
                                 "160 секунд \n\rВаш результат 54,16 баллов."));
        QCOMPARE(atReport, QString("status 4, answers 63, stamps 0 500 1000 1550 2000 2590"));
        QCOMPARE(atLastPrompt, QString("status 1, answers 63"));
        // The new game has begun afresh.
        QCOMPARE(rows->status(), int(gRunning));
        QCOMPARE(rows->answerCount(), 0);
        QCOMPARE(w->lblTur->text(), QString("Тур №1"));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №1"));
        QCOMPARE(w->RzLEDTimer->caption(), QString("10:00"));
    }

    // The commands of the speech menu by their shortcuts, while the window has
    // the focus: each cuts off what is being said.
    void spokenCommandsByShortcut_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("said");  // {q} the question, {v} the variants, {1}..{4} the answers
        QTest::newRow("Ctrl+T") << "Ctrl+T" << "!До конца тура осталось. 5минут 31секунда ";
        QTest::newRow("Ctrl+Q") << "Ctrl+Q" << "!{q}";
        QTest::newRow("Ctrl+A") << "Ctrl+A" << "!{v}";
        QTest::newRow("Ctrl+F1") << "Ctrl+F1" << "!Ответ №{1}. ";
        QTest::newRow("Ctrl+F2") << "Ctrl+F2" << "!Ответ №{2}. ";
        QTest::newRow("Ctrl+F3") << "Ctrl+F3" << "!Ответ №{3}. ";
        QTest::newRow("Ctrl+F4") << "Ctrl+F4" << "!Ответ №{4}. ";
        QTest::newRow("Ctrl+Z") << "Ctrl+Z" << "!Медленнее.";
        QTest::newRow("Ctrl+X") << "Ctrl+X" << "!Быстрее.";
        QTest::newRow("Ctrl+Alt+S") << "Ctrl+Alt+S" << "!Речь выключена";
    }
    void spokenCommandsByShortcut()
    {
        QFETCH(QString, keys);
        QFETCH(QString, said);
        openWindow();
        w->game().SetMTimerEnabled(false);
        w->game().SetiLedTimer(331);
        QString expected = said;
        expected.replace("{q}", w->lblQuestion->text()).replace("{v}", variantsText());
        for (int n = 1; n <= 4; ++n)
            expected.replace(QString("{%1}").arg(n), w->answerCaption(n));
        QVERIFY(!w->lblQuestion->text().isEmpty());
        const int rate = frSpeechSet->TrackBar2->value();

        rig->clear();
        const QKeySequence seq(keys);
        QTest::keyClick(w.get(), seq[0].key(), seq[0].keyboardModifiers());
        if (keys == "Ctrl+A") {
            // The variants drop the keys typed meanwhile, the releases of this
            // very shortcut too: the modifier is let go of by hand for the next case.
            QTest::qWait(50);
            QTest::keyRelease(w.get(), Qt::Key_Control);
        }
        QCOMPARE(rig->heard(), QStringList{expected});
        if (keys == "Ctrl+Z")
            QCOMPARE(frSpeechSet->TrackBar2->value(), rate - 1);
        if (keys == "Ctrl+X")
            QCOMPARE(frSpeechSet->TrackBar2->value(), rate + 1);
        if (keys == "Ctrl+Alt+S") {
            QVERIFY(!w->N2SpeechOnOff->isChecked());
            QTest::keyClick(w.get(), seq[0].key(), seq[0].keyboardModifiers());
            QVERIFY(w->N2SpeechOnOff->isChecked());
            QCOMPARE(rig->heard(), QStringList({expected, "!Речь включена"}));
        }
    }

    // The player quits ("Выход", "Да") during the hold after a tour's 21st
    // answer. The program stops where it stands: the answer and the tour's
    // end are stored, nothing of the next tour or of a new game. The next
    // start, 1000 seconds later by the server's clock, offers the next tour's
    // prompt, or the report with the score of the time the tours really took.
    void quitDuringTheHoldAfterAToursLastAnswer_data()
    {
        QTest::addColumn<int>("tour");
        QTest::addColumn<QString>("storedAtQuit");
        QTest::addColumn<QString>("storedAtNextStart");  // after the prompt or the report
        QTest::newRow("tour 1") << 1 << "answers 21, stamps -100 0 - - - -, status 2"
                                << "answers 21, stamps -100 0 1000 - - -, status 2";
        QTest::newRow("tour 2") << 2 << "answers 42, stamps -2000 -1500 -100 0 - -, status 2"
                                << "answers 42, stamps -2000 -1500 -100 0 1000 -, status 2";
        QTest::newRow("tour 3") << 3 << "answers 63, stamps -2000 -1500 -1300 -750 -100 0, status 2"
                                << "answers 63, stamps -2000 -1500 -1300 -750 -100 0, status 4";
    }
    void quitDuringTheHoldAfterAToursLastAnswer()
    {
        QFETCH(int, tour);
        QFETCH(QString, storedAtQuit);
        QFETCH(QString, storedAtNextStart);
        // The tours before are full (two wrong answers each); the tour has 20
        // answers (one wrong) and began 100 seconds ago.
        const int startAt[3] = {-2000, -1300, -100};
        const int endAt[2] = {-1500, -750};
        rows->setStatus(gRunning);
        for (int t = 1; t < tour; ++t) {
            rows->addAnswers(t, 21, 2);
            rows->setStamp(GameRows::startField(t), GameRows::at(startAt[t - 1]));
            rows->setStamp(GameRows::endField(t), GameRows::at(endAt[t - 1]));
        }
        rows->addAnswers(tour, 20, 1);
        rows->setStamp(GameRows::startField(tour), GameRows::at(-100));
        openWindow();
        QVERIFY(prompts.isEmpty());
        QCOMPARE(w->lblTur->text(), QString("Тур №%1").arg(tour));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №21"));
        focusOtherWindow();

        rig->clear();
        messages->answers = {sor::mrYes};
        answerByKeyAndInTheHold(rightPanel(), [&] { w->N9->trigger(); });
        QVERIFY(!w->isVisible());
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, QString("Закрыть прогграмму?"));
        QVERIFY(prompts.isEmpty());
        // The verdict, cut off by the close question; nothing after it.
        QCOMPARE(rig->heard(), QStringList({"!Правильно. ", "!"}));
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(!w->MMTimer1->Enabled());
        w.reset();
        QCOMPARE(stored(), storedAtQuit);

        // The next start.
        setServerClock(dm->UniConnection1, 1000);
        messages->clear();
        QString atReport;
        messages->onMessage = [&](const sortest::RecordedMessage&) { atReport = stored(); };
        QString atPrompt;
        onPrompt = [&](const QString&) { atPrompt = stored(); };
        openWindow();
        if (tour < 3) {
            QCOMPARE(prompts, QStringList{QString("Начать %1-й тур").arg(tour + 1)});
            QVERIFY(messages->messages.isEmpty());
            QCOMPARE(w->lblTur->text(), QString("Тур №%1").arg(tour + 1));
            QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №1"));
            QCOMPARE(w->RzLEDTimer->caption(), QString("10:00"));
            QCOMPARE(stored(), storedAtNextStart);
        } else {
            // Tours of 500, 550 and 100 seconds: 650 left; 19 + 19 + 20 right.
            QCOMPARE(messages->messages.size(), 1);
            QCOMPARE(messages->messages.first().text,
                     QString("Игра закончена!\n\rВы дали ответ на все вопросы\n\rДано всего ответов: 63, \n\r"
                             "Дано правильных ответов: 58.\n\rВремени, по результатам трёх туров, осталось "
                             "650 секунд \n\rВаш результат 58,65 баллов."));
            QCOMPARE(atReport, storedAtNextStart);
            QCOMPARE(prompts, QStringList{"Начать игру"});
            QCOMPARE(atPrompt, QString(storedAtNextStart).replace("status 4", "status 1"));
            QCOMPARE(rows->answerCount(), 0);  // the new game, started by the player
        }
    }

    // The same in the program's own event loop, which the window's closing
    // ends: every loop returns at once then, and a start prompt opened now
    // would give 0 without a player. The real prompt window is used.
    void quitDuringTheHoldWhileTheProgramRuns()
    {
        rows->setStatus(gRunning);
        rows->addAnswers(1, 20);
        rows->setStamp("Time_lvl1", GameRows::at(-100));
        openWindow();
        w->StartPromptHook = nullptr;
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №21"));
        focusOtherWindow();
        connect(w.get(), &TfrMain::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

        rig->clear();
        messages->answers = {sor::mrYes};
        const int right = rightPanel();
        bool inHold = false;
        bool promptSeen = false;
        QTimer::singleShot(0, other.get(), [&] { QTest::keyClick(other.get(), Qt::Key(Qt::Key_0 + right)); });
        // Every 10 ms: is a prompt up, and is the hold under way (then "Выход").
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            promptSeen = promptSeen || frStartGameBt;
            if (inHold || !sor::PauseActive())
                return;
            inHold = true;
            w->N9->trigger();
        });
        poll.start(10);
        bool guardFired = false;
        QTimer::singleShot(20000, qApp, [&] {
            guardFired = true;
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
        poll.stop();
        QVERIFY(!guardFired);
        QVERIFY(inHold);
        QVERIFY(!promptSeen);
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(rig->heard(), QStringList({"!Правильно. ", "!"}));
        w.reset();
        QCOMPARE(stored(), QString("answers 21, stamps -100 0 - - - -, status 2"));
    }

    // Quitting answered "Нет" during the hold: the game goes on as if nothing
    // had been asked - the answer stored once, the next question, the clock on.
    void quitAnsweredNoDuringTheHold()
    {
        openWindow();
        QCOMPARE(prompts, QStringList{"Начать игру"});
        focusOtherWindow();
        const int first = w->game().CurrentQuestion().iID;
        rig->clear();
        messages->answers = {sor::mrNo};
        answerByKeyAndInTheHold(rightPanel(), [&] { w->N9->trigger(); });
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, QString("Закрыть прогграмму?"));
        QVERIFY(w->isVisible());
        QCOMPARE(rows->answers().size(), 1);
        QCOMPARE(rows->answers().first().questId, first);
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №2"));
        QCOMPARE(rig->heard(), QStringList({"!Правильно. ", "!Вопрос №2", w->game().CurrentQuestion().sQuestion,
                                            variantsText()}));
        QCOMPARE(stored(), QString("answers 1, stamps 0 - - - - -, status 2"));
        QVERIFY(w->game().MTimerEnabled());
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(prompts, QStringList{"Начать игру"});
    }

    // The player closes the main window while the prompt of tour 2 is up and
    // confirms: whatever the prompt gives then (0 as the program quits, or a
    // start pressed at that moment), tour 2 is not started; the next start
    // offers its prompt again.
    void closeQuestionWhileTheTourPromptIsUp_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("the prompt gives 0") << 0;
        QTest::newRow("the prompt gives start") << int(sor::mrOk);
    }
    void closeQuestionWhileTheTourPromptIsUp()
    {
        QFETCH(int, result);
        rows->setStatus(gRunning);
        rows->addAnswers(1, 20);
        rows->setStamp("Time_lvl1", GameRows::at(-100));
        openWindow();
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №21"));
        focusOtherWindow();
        promptWhenClosed = result;
        onPrompt = [&](const QString& caption) {
            if (caption != "Начать 2-й тур")
                return;
            messages->answers = {sor::mrYes};
            w->close();
        };
        rig->clear();
        answerByKey(rightPanel());
        QVERIFY(!w->isVisible());
        QCOMPARE(prompts, QStringList{"Начать 2-й тур"});
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, QString("Закрыть прогграмму?"));
        QCOMPARE(rig->heard().filter("Вопрос"), QStringList());
        QVERIFY(!w->Timer1->isActive());
        w.reset();
        QCOMPARE(stored(), QString("answers 21, stamps -100 0 - - - -, status 2"));

        onPrompt = nullptr;
        openWindow();
        QCOMPARE(prompts, QStringList{"Начать 2-й тур"});
        QCOMPARE(w->lblTur->text(), QString("Тур №2"));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №1"));
    }

    // Closed in the middle of tour 2 and started again: the game goes on with
    // the next question of tour 2 and the time the server's clock leaves it.
    void closedInTourTwoAndStartedAgain()
    {
        rows->setStatus(gRunning);
        rows->addAnswers(1, 21);
        rows->addAnswers(2, 3);
        rows->setStamp("Time_lvl1", GameRows::at(-1000));
        rows->setStamp("Time_lvl1_end", GameRows::at(-500));
        rows->setStamp("Time_lvl2", GameRows::at(-40));
        openWindow();
        QVERIFY(prompts.isEmpty());
        QCOMPARE(w->lblTur->text(), QString("Тур №2"));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №4"));
        QCOMPARE(w->RzLEDTimer->caption(), QString("09:20"));
        focusOtherWindow();
        answerByKey(rightPanel());
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №5"));
        QCOMPARE(rows->answerCount(2), 4);

        messages->answers = {sor::mrYes};
        w->N9->trigger();
        QCOMPARE(messages->messages.last().text, QString("Закрыть прогграмму?"));
        QVERIFY(!w->isVisible());
        w.reset();

        // Half a minute later by the server's clock.
        setServerClock(dm->UniConnection1, 30);
        openWindow();
        QVERIFY(prompts.isEmpty());
        QCOMPARE(w->lblTur->text(), QString("Тур №2"));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №5"));
        QCOMPARE(w->RzLEDTimer->caption(), QString("08:50"));
        QCOMPARE(rows->status(), int(gRunning));
        QCOMPARE(rows->answerCount(), 25);
    }
};

QTEST_MAIN(TestGameWindow)
#include "tst_gamewindow.moc"
