// The game without a screen, against the test game server: the question draw,
// the answer rows, a new game, the shuffle, the hold and its looks, the tour
// clock (a tour that runs out, a resumed game, a tour that ran out while the
// program was closed, the last answers of the third tour), the results message,
// answers that must be refused, and the spoken commands.

#include <QLocale>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

#include <functional>
#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/GameCommands.h"
#include "game/GameCore.h"
#include "game/NumberWords.h"
#include "platform/Hold.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechSettings.h"
#include "support/GameRows.h"
#include "support/GameViewRig.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::GameRows;
using sortest::setServerClock;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// The game with its routines within reach of the test.
class Game : public sor::TGame
{
public:
    using TGame::TGame;
    using TGame::CheckTur;
    using TGame::CountTurAnswers;
    using TGame::LoadQuestion;
    using TGame::ResetGame;
    using TGame::SaveAnswer;
    using TGame::ShowGameResult;
    using TGame::ShowQuestion;

    void setQuestion(const TCurQuestion& q) { CurQuestion = q; }
    void setTour(int tur) { FTur = tur; }
};

// Another panel than the right one.
int wrongPanel(const sortest::GameViewRig& view, const sor::TGame& game)
{
    return view.rightPanel(game) % 4 + 1;
}

QString variantsText(const sortest::GameViewRig& view)
{
    QString s = QStringLiteral("Варианты ответов. ");
    for (int n = 1; n <= 4; ++n)
        s += view.answer[n] + QStringLiteral(". ");
    return s;
}

QString firstLines(const QString& message, int lines)
{
    return message.split(QStringLiteral("\n\r")).mid(0, lines).join(QStringLiteral(" / "));
}

}  // namespace

class TestGame : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<GameRows> rows;
    std::unique_ptr<sortest::GameViewRig> view;
    std::unique_ptr<Game> game;
    std::unique_ptr<sor::TGameCommands> commands;

    // A game object as the window makes it, with the player's row open.
    void makeGame()
    {
        view = std::make_unique<sortest::GameViewRig>();
        view->holdSeconds = 0;
        game = std::make_unique<Game>(*view);
        commands = std::make_unique<sor::TGameCommands>(*view);
        game->OpenStatusRow();
    }

    // A new game, as the player starts it from the prompt: the first question is on.
    void startGame()
    {
        makeGame();
        game->EnterStoredState();
        QCOMPARE(game->StGame(), gRunning);
        QVERIFY(!game->NoQuestionYet());
    }

    QStringList plainMessages() const
    {
        QStringList list;
        for (const auto& m : messages->messages)
            if (m.plain)
                list << m.text;
        return list;
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
        rig = std::make_unique<sortest::SpeechRig>();
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = sortest::loggedInModule(kDb);
        QVERIFY(dm);
        rows = std::make_unique<GameRows>(kDb, CurrentUserID);
        rows->reset();
        rig->clear();
    }

    void cleanup()
    {
        sor::setHaltHandler(nullptr);
        game.reset();
        view.reset();
        dm.reset();
        messages.reset();
        rig.reset();
        QLocale::setDefault(QLocale::c());
    }

    // The draw: only questions of the level that this player has not answered
    // in this game, each listed once however many other players answered it.
    void drawAmongUnansweredQuestions()
    {
        const QList<int> level1 = rows->questionsOfLevel(1);
        QVERIFY(level1.size() >= 5);
        const int mine = level1[0];     // answered by this player in this game
        const int popular = level1[1];  // answered by many others
        rows->exec(QStringLiteral("INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) VALUES (%1, 4, 1, %2)")
                       .arg(mine)
                       .arg(CurrentUserID));
        rows->addOthersAnswers(mine, 3);
        rows->addOthersAnswers(popular, 60);
        rows->addOthersAnswers(popular, 5, 910001);

        makeGame();
        QHash<int, int> drawn;
        const int draws = 300;
        for (int i = 0; i < draws; ++i) {
            game->LoadQuestion(1);
            QCOMPARE(dm->QueryQuery.recordCount(), level1.size() - 1);
            QCOMPARE(game->CurrentQuestion().iQlevel, 1);
            ++drawn[game->CurrentQuestion().iID];
        }
        QCOMPARE(drawn.value(mine), 0);
        for (int id : level1)
            if (id != mine)
                QVERIFY2(drawn.value(id) > 0, qPrintable(QString("question %1 never drawn").arg(id)));
        // One chance in (level1.size() - 1), not one per answer row of others.
        const int fair = draws / (level1.size() - 1);
        QVERIFY2(drawn.value(popular) < 3 * fair,
                 qPrintable(QString("the popular question came %1 times of %2").arg(drawn.value(popular)).arg(draws)));

        // The draw's fields are the row's.
        const TCurQuestion& q = game->CurrentQuestion();
        QCOMPARE(rows->value(QString("SELECT Question FROM Sor_questions WHERE Id=%1").arg(q.iID)).toString(),
                 q.sQuestion);
        QCOMPARE(rows->value(QString("SELECT var4 FROM Sor_questions WHERE Id=%1").arg(q.iID)).toString(), q.sVar4);
    }

    // A level without a question left: all fields empty, and an empty question shown.
    void drawFromAnEmptyLevel()
    {
        makeGame();
        game->LoadQuestion(1);
        QVERIFY(game->CurrentQuestion().iID != 0);
        game->LoadQuestion(99);
        const TCurQuestion& q = game->CurrentQuestion();
        QCOMPARE(q.iID, 0);
        QCOMPARE(q.iQlevel, 0);
        QVERIFY(q.sQuestion.isEmpty() && q.sVar1.isEmpty() && q.sVar4.isEmpty());
        game->ShowQuestion();
        QCOMPARE(view->question, QString());
        QCOMPARE(view->answer[3], QString("3: "));
    }

    // The answer row holds the number of the last stored variant that reads the
    // same as the choice; the verdict is whether it reads as the fourth.
    void saveAnswer_data()
    {
        QTest::addColumn<QStringList>("vars");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("qvar");
        QTest::addColumn<bool>("right");
        const QStringList plain = {"Пять", "Шесть", "Восемь", "Семь"};
        QTest::newRow("the right one") << plain << "Семь" << 4 << true;
        QTest::newRow("a wrong one") << plain << "Шесть" << 2 << false;
        QTest::newRow("the first") << plain << "Пять" << 1 << false;
        QTest::newRow("letter case counts") << plain << "семь" << 0 << false;
        QTest::newRow("two wrong ones alike: the later")
            << QStringList{"Да", "Нет", "Нет", "Может быть"} << "Нет" << 3 << false;
        QTest::newRow("a wrong one like the right one")
            << QStringList{"Два", "Три", "Четыре", "Два"} << "Два" << 4 << true;
    }
    void saveAnswer()
    {
        QFETCH(QStringList, vars);
        QFETCH(QString, chosen);
        QFETCH(int, qvar);
        QFETCH(bool, right);
        makeGame();
        TCurQuestion q;
        q.iID = rows->questionsOfLevel(5).first();
        q.sVar1 = vars[0];
        q.sVar2 = vars[1];
        q.sVar3 = vars[2];
        q.sVar4 = vars[3];
        game->setQuestion(q);
        game->setTour(2);
        QCOMPARE(game->SaveAnswer(chosen), right);
        QCOMPARE(rows->answers(), (QList<GameRows::Answer>{{q.iID, qvar, 2, 5}}));
        QVERIFY(messages->messages.isEmpty());
    }

    // Storing fails: the verdict stands, nothing is stored, the cached row is
    // there again for the next step.
    void saveAnswerThatCannotBeStored()
    {
        makeGame();
        TCurQuestion q;
        q.iID = rows->questionsOfLevel(1).first();
        q.sVar1 = "a";
        q.sVar2 = "b";
        q.sVar3 = "c";
        q.sVar4 = "d";
        game->setQuestion(q);
        game->setTour(1);
        QVERIFY(rows->exec("RENAME TABLE Sor_Games TO Sor_Games_away"));
        const bool right = game->SaveAnswer("d");
        QVERIFY(rows->exec("RENAME TABLE Sor_Games_away TO Sor_Games"));
        QVERIFY(right);
        QVERIFY(!game->SaveAnswer("a"));
        QCOMPARE(rows->answerCount(), 1);  // only the second
        QVERIFY(game->StatusRowLoaded());
        QCOMPARE(messages->messages.size(), 1);  // the connection's report
    }

    // A new game removes the player's answers (not those of others), zeroes the
    // six stamps and empties the question; on a failure nothing of it is kept.
    void resetGame()
    {
        rows->addAnswers(1, 21);
        rows->addAnswers(2, 4);
        rows->addOthersAnswers(rows->questionsOfLevel(1).first(), 2);
        for (int t = 1; t <= 2; ++t) {
            rows->setStamp(GameRows::startField(t), GameRows::at(-1000 + 500 * t));
            rows->setStamp(GameRows::endField(t), GameRows::at(-700 + 500 * t));
        }
        makeGame();
        view->setQuestionCaption("Вопрос?");
        for (int n = 1; n <= 4; ++n)
            view->setAnswerCaption(n, QString("%1: x").arg(n));

        // The answers cannot be deleted: the stamps stay as well.
        QVERIFY(rows->exec("RENAME TABLE Sor_Games TO Sor_Games_away"));
        game->ResetGame();
        QVERIFY(rows->exec("RENAME TABLE Sor_Games_away TO Sor_Games"));
        QCOMPARE(rows->answerCount(), 25);
        QVERIFY(rows->stamp("Time_lvl1").isValid());
        QCOMPARE(view->question, QString());
        QCOMPARE(view->answer[1], QString());

        game->ResetGame();
        QCOMPARE(rows->answerCount(), 0);
        QCOMPARE(rows->value("SELECT COUNT(*) FROM Sor_Games").toInt(), 2);
        for (int t = 1; t <= 3; ++t) {
            QVERIFY(!rows->stamp(GameRows::startField(t)).isValid());
            QVERIFY(!rows->stamp(GameRows::endField(t)).isValid());
        }
    }

    // The shuffle: every variant once, with its "N: " caption, the question and
    // the variants queued for speech; the right answer on every panel now and then.
    void showQuestion()
    {
        makeGame();
        TCurQuestion q;
        q.iID = 1;
        q.sQuestion = "Сколько дней в неделе?";
        q.sVar1 = "Пять";
        q.sVar2 = "Шесть";
        q.sVar3 = "Восемь";
        q.sVar4 = "Семь";
        game->setQuestion(q);

        game->ShowQuestion();
        QCOMPARE(view->question, q.sQuestion);
        QSet<QString> shown;
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(view->answer[n].startsWith(QString("%1: ").arg(n)));
            shown << view->answer[n].mid(3);
        }
        QCOMPARE(shown, (QSet<QString>{"Пять", "Шесть", "Восемь", "Семь"}));
        QCOMPARE(rig->heard(), QStringList({q.sQuestion, variantsText(*view)}));

        int onPanel[5] = {};
        const int shuffles = 400;
        for (int i = 0; i < shuffles; ++i) {
            game->ShowQuestion();
            ++onPanel[view->rightPanel(*game)];
        }
        QCOMPARE(onPanel[0], 0);
        for (int n = 1; n <= 4; ++n)
            QVERIFY2(onPanel[n] >= shuffles / 10,
                     qPrintable(QString("panels %1 %2 %3 %4").arg(onPanel[1]).arg(onPanel[2]).arg(onPanel[3])
                                    .arg(onPanel[4])));
    }

    // One right and one wrong answer: the row, the looks around the hold, and
    // what the player hears, phrase by phrase.
    void answerRightThenWrong()
    {
        startGame();
        QCOMPARE(view->tour, QString("Тур №1"));
        QCOMPARE(view->questNum, QString("Вопрос №1"));
        QCOMPARE(game->CurrentQuestion().iQlevel, 1);

        const int right = view->rightPanel(*game);
        const int firstId = game->CurrentQuestion().iID;
        rig->clear();
        view->events.clear();
        QVERIFY(game->ChooseAnswer(view->answer[right]));
        QCOMPARE(rows->answers(), (QList<GameRows::Answer>{{firstId, 4, 1, 1}}));
        QCOMPARE(view->events.mid(0, 5), QStringList({QString("look %1 On").arg(right), QString("look %1 Yes").arg(right),
                                                     "hold 1", QString("look %1 Off").arg(right),
                                                     QString("look %1 Off").arg(right)}));
        QCOMPARE(rig->heard(), QStringList({"!Правильно. ", "Вопрос №2", game->CurrentQuestion().sQuestion,
                                            variantsText(*view)}));
        QCOMPARE(game->CurrentQuestion().iQlevel, 2);

        const int secondId = game->CurrentQuestion().iID;
        const int rightNow = view->rightPanel(*game);
        const int wrong = wrongPanel(*view, *game);
        const QString rightText = game->CurrentQuestion().sVar4;
        rig->clear();
        view->events.clear();
        QVERIFY(game->ChooseAnswer(view->answer[wrong]));
        QCOMPARE(rows->answerCount(), 2);
        QCOMPARE(view->events.mid(0, 5), QStringList({QString("look %1 On").arg(wrong),
                                                     QString("look %1 Yes").arg(rightNow), "hold 1",
                                                     QString("look %1 Off").arg(rightNow),
                                                     QString("look %1 Off").arg(wrong)}));
        QCOMPARE(rig->heard(),
                 QStringList({"!Неправильно. ", QString("Правильный ответ №%1. %2. ").arg(rightNow).arg(rightText),
                              "Вопрос №3", game->CurrentQuestion().sQuestion, variantsText(*view)}));
        const GameRows::Answer stored = rows->answers().last();
        QCOMPARE(stored.questId, secondId);
        QVERIFY(stored.qvar >= 1 && stored.qvar <= 3);
        QCOMPARE(view->questNum, QString("Вопрос №3"));
    }

    // Answers that must not count: a second one during the hold, and one given
    // while the prompt of the next tour is open (the labels still show the last
    // question of the tour just closed).
    void answersThatAreRefused()
    {
        rows->setStatus(gRunning);
        rows->addAnswers(1, 19);
        rows->setStamp("Time_lvl1", GameRows::at(-100));
        setServerClock(dm->UniConnection1, 0);
        makeGame();
        view->holdSeconds = 1;
        game->EnterStoredState();
        QCOMPARE(view->questNum, QString("Вопрос №20"));

        bool refusedInHold = false;
        view->holdHook = [&] {
            QVERIFY(sor::PauseActive());
            refusedInHold = !game->ChooseAnswer(view->answer[1]);
        };
        QVERIFY(game->ChooseAnswer(view->answer[2]));
        QVERIFY(refusedInHold);
        QCOMPARE(rows->answerCount(1), 20);
        QTest::qWait(50);
        QCOMPARE(rows->answerCount(1), 20);
        QCOMPARE(view->questNum, QString("Вопрос №21"));

        view->holdHook = nullptr;
        bool refusedInPrompt = false;
        view->promptHook = [&](const QString& caption) {
            Q_UNUSED(caption);
            refusedInPrompt = !game->ChooseAnswer(view->answer[3]);
            return 1;
        };
        QVERIFY(game->ChooseAnswer(view->answer[4]));
        QCOMPARE(view->prompts, QStringList{"Начать 2-й тур"});
        QVERIFY(refusedInPrompt);
        QCOMPARE(rows->answerCount(1), 21);
        QCOMPARE(rows->answerCount(), 21);
        QCOMPARE(view->tour, QString("Тур №2"));
        QCOMPARE(view->questNum, QString("Вопрос №1"));
        QVERIFY(rows->stamp("Time_lvl1_end").isValid());
        QVERIFY(rows->stamp("Time_lvl2").isValid());
    }

    // A step that fails after storing the answer (the server refuses the next
    // read) leaves the answered question on the panels: the next digit does not
    // store it a second time, it picks the game up again with a fresh question.
    void aFailedStepDoesNotStoreTheAnswerTwice()
    {
        startGame();
        const int answered = game->CurrentQuestion().iID;
        const auto back = qScopeGuard([&] { rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"); });
        view->holdHook = [&] { QVERIFY(rows->exec("RENAME TABLE Sor_questions TO Sor_questions_away")); };
        QVERIFY(game->ChooseAnswer(view->answer[1]));
        view->holdHook = nullptr;
        QVERIFY(rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"));
        QCOMPARE(rows->answerCount(), 1);
        QCOMPARE(view->questNum, QString("Вопрос №1"));  // the step ended without a new question
        QCOMPARE(game->CurrentQuestion().iID, answered);

        QVERIFY(game->ChooseAnswer(view->answer[2]));
        QCOMPARE(rows->answerCount(), 1);
        QCOMPARE(view->questNum, QString("Вопрос №2"));
        QVERIFY(game->CurrentQuestion().iID != answered);
        QVERIFY(game->ChooseAnswer(view->answer[2]));
        QCOMPARE(rows->answerCount(), 2);
    }

    // While a message is open (the close question, say) the game stays where it
    // is: a digit does not answer, and a clock at zero ends the game only once
    // the message has closed, so that its report can be shown.
    void nothingMovesUnderAMessage()
    {
        startGame();
        game->SetiLedTimer(0);
        bool refused = false;
        int statusUnderBox = -1;
        messages->answers = {sor::mrNo};
        messages->onMessage = [&](const sortest::RecordedMessage& m) {
            if (m.text != QString("Закрыть прогграмму?"))
                return;
            refused = !game->ChooseAnswer(view->answer[1]);
            game->Timer1Timer();
            statusUnderBox = rows->status();
        };
        QCOMPARE(MyMessageDlg(nullptr, "Закрыть прогграмму?", "Вопрос.", sor::mbYes | sor::mbNo), int(sor::mrNo));
        QVERIFY(refused);
        QCOMPARE(statusUnderBox, int(gRunning));
        QCOMPARE(rows->answerCount(), 0);
        QCOMPARE(game->StGame(), gRunning);

        messages->onMessage = nullptr;
        view->promptHook = [](const QString&) { return 1; };
        game->Timer1Timer();
        QCOMPARE(messages->messages.size(), 2);
        QVERIFY(messages->messages.at(1).text.contains("Закончилось время."));
    }

    // A tour that runs out (a short tour in the settings row) ends the game by
    // time with the counts only; then a new game is offered.
    void tourRunsOut()
    {
        rows->setTourLengths(3, 600, 600);
        startGame();
        QCOMPARE(view->led, QString("00:03"));
        QVERIFY(game->ChooseAnswer(view->answer[view->rightPanel(*game)]));
        QVERIFY(game->MTimerEnabled());

        int statusAtReport = -1;
        messages->onMessage = [&](const sortest::RecordedMessage&) { statusAtReport = rows->status(); };
        QStringList statusAtPrompt;
        view->promptHook = [&](const QString& caption) {
            statusAtPrompt << QString("%1 %2").arg(caption).arg(rows->status());
            rows->setTourLengths(600, 600, 600);  // the next game is a long one
            return 1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(messages->messages.size(), 1, 20000);
        const sortest::RecordedMessage& m = messages->messages.first();
        QCOMPARE(m.text, QString("Игра закончена!\n\rЗакончилось время.\n\rДано всего ответов: 1, \n\r"
                                 "Дано правильных ответов: 1."));
        QCOMPARE(m.caption, QString("Внимание! "));
        QCOMPARE(m.buttons, int(sor::mbOK));
        QCOMPARE(statusAtReport, int(gEndTime));
        QCOMPARE(statusAtPrompt, QStringList{"Начать игру 1"});
        // The new game: the old answers gone, a first question, a full clock.
        QCOMPARE(game->StGame(), gRunning);
        QCOMPARE(rows->answerCount(), 0);
        QCOMPARE(view->questNum, QString("Вопрос №1"));
        QCOMPARE(view->led.left(3), QString("10:"));
        QCOMPARE(messages->messages.size(), 1);
    }

    // The clock reaches zero while a step holds the verdict on screen: the step
    // ends the game by time once it goes on, with one report.
    void clockRunsOutDuringTheHold()
    {
        startGame();
        view->holdSeconds = 1;
        view->holdHook = [&] { game->SetiLedTimer(0); };
        QStringList prompts;
        view->promptHook = [&](const QString& caption) {
            prompts << caption;
            return 1;
        };
        rig->clear();
        QVERIFY(game->ChooseAnswer(view->answer[view->rightPanel(*game)]));
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(firstLines(messages->messages.first().text, 3),
                 QString("Игра закончена! / Закончилось время. / Дано всего ответов: 1, "));
        QCOMPARE(prompts, QStringList{"Начать игру"});
        view->holdHook = nullptr;
        QTest::qWait(300);  // Timer1 has had its turns
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(rig->heard().filter("Вопрос №").size(), 1);  // the new game's first question, once
        QCOMPARE(game->StGame(), gRunning);
    }

    // A game resumed after a restart continues in the first tour with fewer
    // than 21 answers, with the time the server's clock leaves it; a tour whose
    // time ran out while the program was closed ends the game by time at once.
    void resume_data()
    {
        QTest::addColumn<QList<int>>("answersPerTour");
        QTest::addColumn<QStringList>("stamps");  // "field offset" relative to the server clock now
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<QString>("tour");
        QTest::addColumn<QString>("questNum");
        QTest::addColumn<QString>("led");
        QTest::addColumn<QString>("report");  // the first lines of the results message, or empty

        QTest::newRow("in tour 1")
            << QList<int>{7} << QStringList{"Time_lvl1 -100"} << QStringList{} << "Тур №1" << "Вопрос №8" << "08:20"
            << "";
        QTest::newRow("in tour 2")
            << QList<int>{21, 5} << QStringList{"Time_lvl1 -900", "Time_lvl1_end -400", "Time_lvl2 -31"}
            << QStringList{} << "Тур №2" << "Вопрос №6" << "09:29" << "";
        QTest::newRow("tour 1 full, not yet closed: tour 2 prompted")
            << QList<int>{21} << QStringList{"Time_lvl1 -500"} << QStringList{"Начать 2-й тур"} << "Тур №2"
            << "Вопрос №1" << "10:00" << "";
        QTest::newRow("two tours full: straight to tour 3, prompted")
            << QList<int>{21, 21} << QStringList{"Time_lvl1 -2000", "Time_lvl1_end -1500", "Time_lvl2 -1400",
                                                 "Time_lvl2_end -1000"}
            << QStringList{"Начать 3-й тур"} << "Тур №3" << "Вопрос №1" << "10:00" << "";
        QTest::newRow("tour 1 ran out while closed")
            << QList<int>{3} << QStringList{"Time_lvl1 -601"} << QStringList{"Начать игру"} << "Тур №1"
            << "Вопрос №1" << "10:00" << "Игра закончена! / Закончилось время. / Дано всего ответов: 3, ";
        QTest::newRow("tour 2 ran out while closed")
            << QList<int>{21, 2} << QStringList{"Time_lvl1 -2000", "Time_lvl1_end -1500", "Time_lvl2 -700"}
            << QStringList{"Начать игру"} << "Тур №1" << "Вопрос №1" << "10:00"
            << "Игра закончена! / Закончилось время. / Дано всего ответов: 23, ";
    }
    void resume()
    {
        QFETCH(QList<int>, answersPerTour);
        QFETCH(QStringList, stamps);
        QFETCH(QStringList, prompts);
        QFETCH(QString, tour);
        QFETCH(QString, questNum);
        QFETCH(QString, led);
        QFETCH(QString, report);

        rows->setStatus(gRunning);
        for (int t = 0; t < answersPerTour.size(); ++t)
            rows->addAnswers(t + 1, answersPerTour[t]);
        for (const QString& s : stamps)
            rows->setStamp(s.section(' ', 0, 0), GameRows::at(s.section(' ', 1, 1).toInt()));
        const QDateTime tour1End = rows->stamp("Time_lvl1_end");
        setServerClock(dm->UniConnection1, 0);
        int statusAtReport = -1;
        messages->onMessage = [&](const sortest::RecordedMessage&) { statusAtReport = rows->status(); };

        makeGame();
        game->EnterStoredState();
        QCOMPARE(view->prompts, prompts);
        QCOMPARE(view->tour, tour);
        QCOMPARE(view->questNum, questNum);
        QCOMPARE(view->led, led);
        QCOMPARE(game->StGame(), gRunning);
        QCOMPARE(game->CurrentQuestion().iQlevel, questNum.mid(8).toInt());
        QVERIFY(game->MTimerEnabled());
        if (report.isEmpty()) {
            QVERIFY(messages->messages.isEmpty());
            QCOMPARE(rows->status(), int(gRunning));
            // The question is one not yet answered in this game.
            for (const GameRows::Answer& a : rows->answers())
                QVERIFY(a.questId != game->CurrentQuestion().iID);
            // A closed tour keeps its end stamp; a full one is closed now.
            if (tour1End.isValid())
                QCOMPARE(rows->stamp("Time_lvl1_end"), tour1End);
            else if (answersPerTour[0] == 21)
                QCOMPARE(rows->stamp("Time_lvl1_end"), GameRows::atTime(0));
        } else {
            QCOMPARE(messages->messages.size(), 1);
            QCOMPARE(firstLines(messages->messages.first().text, 3), report);
            QCOMPARE(messages->messages.first().text.count("\n\r"), 3);  // counts only
            QCOMPARE(statusAtReport, int(gEndTime));
            QCOMPARE(rows->answerCount(), 0);  // and a new game began
        }
    }

    // The prompt of tour 2 cancelled: the program ends with the game stored as
    // running, and the next start offers the same prompt again.
    void tourPromptCancelled()
    {
        rows->setStatus(gRunning);
        rows->addAnswers(1, 21);
        rows->setStamp("Time_lvl1", GameRows::at(-500));
        rows->setStamp("Time_lvl1_end", GameRows::at(-100));
        int halts = 0;
        sor::setHaltHandler([&] {
            ++halts;
            throw sor::HaltRequested{};
        });
        makeGame();
        view->promptAnswers = {2};
        QVERIFY_THROWS_EXCEPTION(sor::HaltRequested, game->EnterStoredState());
        QCOMPARE(halts, 1);
        QCOMPARE(view->prompts, QStringList{"Начать 2-й тур"});
        QCOMPARE(rows->status(), int(gRunning));
        QVERIFY(!rows->stamp("Time_lvl2").isValid());
        QVERIFY(!game->StepUnderWay());

        makeGame();
        game->EnterStoredState();
        QCOMPARE(view->prompts, QStringList{"Начать 2-й тур"});
        QCOMPARE(view->tour, QString("Тур №2"));
        QCOMPARE(view->questNum, QString("Вопрос №1"));
    }

    // A start prompt starts something only when the player pressed start: one
    // that could not be shown (any other result) starts nothing, leaves the
    // stored game as it was and says so; the next start offers it again.
    void promptsThatDoNotStart_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("a new game, not shown") << int(gStart) << 0 << "Начать игру";
        QTest::newRow("a new game, another result") << int(gStart) << int(sor::mrIgnore) << "Начать игру";
        QTest::newRow("tour 2, not shown") << int(gRunning) << 0 << "Начать 2-й тур";
        QTest::newRow("tour 2, another result") << int(gRunning) << int(sor::mrIgnore) << "Начать 2-й тур";
    }
    void promptsThatDoNotStart()
    {
        QFETCH(int, status);
        QFETCH(int, result);
        QFETCH(QString, prompt);
        // Tour 1 full and closed; for a new game these are the last game's rows.
        rows->setStatus(status);
        rows->addAnswers(1, 21, 4);
        rows->setStamp("Time_lvl1", GameRows::at(-900));
        rows->setStamp("Time_lvl1_end", GameRows::at(-400));
        setServerClock(dm->UniConnection1, 0);
        makeGame();
        view->promptAnswers = {result};
        game->EnterStoredState();
        QCOMPARE(view->prompts, QStringList{prompt});
        QCOMPARE(rows->status(), status);
        QCOMPARE(rows->answerCount(), 21);
        QCOMPARE(rows->stamp("Time_lvl1"), GameRows::atTime(-900));
        QVERIFY(!rows->stamp("Time_lvl2").isValid());
        QCOMPARE(rig->heard().filter("Вопрос №"), QStringList());
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, QString("Не удалось продолжить игру."));
        QCOMPARE(messages->messages.first().caption, QString("Внимание! "));
        QVERIFY(!game->MTimerEnabled());

        // The next start offers the same prompt, and now it is started.
        messages->clear();
        makeGame();
        game->EnterStoredState();
        QCOMPARE(view->prompts, QStringList{prompt});
        QCOMPARE(view->questNum, QString("Вопрос №1"));
        QCOMPARE(view->tour, status == gStart ? QString("Тур №1") : QString("Тур №2"));
        QCOMPARE(rows->answerCount(), status == gStart ? 0 : 21);
        QVERIFY(messages->messages.isEmpty());
    }

    // Quitting confirmed: both timers stop, and nothing moves any more - a
    // tick already on its way with the clock at zero ends no game, no answer is
    // taken, no activation enters a state.
    void nothingMovesOnceQuitting()
    {
        startGame();
        QVERIFY(game->Timer1->isActive());
        game->CloseDown();
        QVERIFY(!game->Timer1->isActive());
        QVERIFY(!game->MMTimer1->Enabled());

        rig->clear();
        game->SetiLedTimer(0);
        game->Timer1Timer();
        QVERIFY(!game->ChooseAnswer(view->answer[1]));
        game->EnterStoredState();
        QCOMPARE(game->StGame(), gRunning);
        QCOMPARE(rows->status(), int(gRunning));
        QCOMPARE(rows->answerCount(), 0);
        QCOMPARE(view->prompts, QStringList{"Начать игру"});
        QVERIFY(messages->messages.isEmpty());
        QCOMPARE(rig->heard(), QStringList());
    }

    // The report cannot be built (its counts or its settings statement fails):
    // the player is told once, the end state, the stamps and the answers stay,
    // no new game is offered; the next activation (after a reconnection) or the
    // next start shows the report, and only the new game's start wipes the rows.
    void resultsThatCannotBeRead_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("table");  // the one taken away
        QTest::addColumn<bool>("restart");   // a new start, else an activation
        QTest::addColumn<int>("answers");
        QTest::addColumn<QString>("report");

        const QString all = "Игра закончена!\n\rВы дали ответ на все вопросы\n\rДано всего ответов: 63, \n\r"
                            "Дано правильных ответов: 54.\n\rВремени, по результатам трёх туров, осталось 160 секунд "
                            "\n\rВаш результат 54,16 баллов.";
        QTest::newRow("all answered, the counts fail, activation")
            << int(gEndQuest) << "Sor_Games" << false << 63 << all;
        QTest::newRow("all answered, the settings fail, new start")
            << int(gEndQuest) << "Sor_setttings" << true << 63 << all;
        QTest::newRow("time over, the counts fail, new start")
            << int(gEndTime) << "Sor_Games" << true << 30
            << "Игра закончена!\n\rЗакончилось время.\n\rДано всего ответов: 30, \n\rДано правильных ответов: 24.";
    }
    void resultsThatCannotBeRead()
    {
        QFETCH(int, status);
        QFETCH(QString, table);
        QFETCH(bool, restart);
        QFETCH(int, answers);
        QFETCH(QString, report);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        rows->setStatus(status);
        const int used[3] = {500, 550, 590};
        for (int t = 1; t <= 3; ++t) {
            const int inTour = qBound(0, answers - 21 * (t - 1), 21);
            rows->addAnswers(t, inTour, inTour > 0 ? 3 : 0);
            if (inTour == 0)
                continue;
            rows->setStamp(GameRows::startField(t), GameRows::at(-3000 + 1000 * t));
            if (status == gEndQuest)
                rows->setStamp(GameRows::endField(t), GameRows::at(-3000 + 1000 * t + used[t - 1]));
        }
        const auto stamps = [&] {
            QStringList list;
            for (int t = 1; t <= 3; ++t)
                list << rows->stamp(GameRows::startField(t)).toString(Qt::ISODate)
                     << rows->stamp(GameRows::endField(t)).toString(Qt::ISODate);
            return list;
        };
        const QStringList stampsBefore = stamps();
        setServerClock(dm->UniConnection1, 0);

        const QString away = table + "_away";
        bool isAway = false;
        const auto back = qScopeGuard([&] {
            if (isAway)
                rows->exec(QString("RENAME TABLE %1 TO %2").arg(away, table));
        });
        QVERIFY(isAway = rows->exec(QString("RENAME TABLE %1 TO %2").arg(table, away)));
        makeGame();
        game->EnterStoredState();
        QVERIFY(rows->exec(QString("RENAME TABLE %1 TO %2").arg(away, table)));
        isAway = false;

        // The connection's report of the failure, then the game's own word, once.
        QCOMPARE(messages->messages.size(), 2);
        QVERIFY(messages->messages.at(0).text.startsWith("Ошибка БД! 1146 "));
        QCOMPARE(messages->messages.at(1).text, QString("Не удалось прочитать результат игры."));
        QCOMPARE(messages->messages.at(1).caption, QString("Внимание! "));
        QCOMPARE(view->prompts, QStringList());
        QCOMPARE(rows->status(), status);
        QCOMPARE(rows->answerCount(), answers);
        QCOMPARE(stamps(), stampsBefore);
        QVERIFY(!game->ChooseAnswer(view->answer[1]));

        // The report again; the rows are there until the new game is started.
        messages->clear();
        QString atReport;
        messages->onMessage = [&](const sortest::RecordedMessage&) {
            atReport = QString("status %1, answers %2").arg(rows->status()).arg(rows->answerCount());
        };
        QString atPrompt;
        if (restart)
            makeGame();
        view->prompts.clear();
        view->promptHook = [&](const QString&) {
            atPrompt = QString("status %1, answers %2").arg(rows->status()).arg(rows->answerCount());
            return 1;
        };
        game->EnterStoredState();
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, report);
        QCOMPARE(atReport, QString("status %1, answers %2").arg(status).arg(answers));
        QCOMPARE(view->prompts, QStringList{"Начать игру"});
        QCOMPARE(atPrompt, QString("status 1, answers %1").arg(answers));
        QCOMPARE(rows->answerCount(), 0);
        QCOMPARE(game->StGame(), gRunning);
    }

    // A step that ends on a failure that nothing reported says so, once; one
    // that the connection reported adds nothing of its own.
    void stepFailures_data()
    {
        QTest::addColumn<bool>("reported");
        QTest::addColumn<QString>("said");
        QTest::newRow("the cached row gone, nothing reported") << false << "Не удалось продолжить игру.";
        QTest::newRow("the questions gone, reported") << true << "Ошибка БД! 1146 ";
    }
    void stepFailures()
    {
        QFETCH(bool, reported);
        QFETCH(QString, said);
        startGame();
        bool isAway = false;
        const auto back = qScopeGuard([&] {
            if (isAway)
                rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions");
        });
        view->holdHook = [&] {
            if (reported)
                isAway = rows->exec("RENAME TABLE Sor_questions TO Sor_questions_away");
            else
                dm->LoginQuery.close();
        };
        QVERIFY(game->ChooseAnswer(view->answer[1]));
        view->holdHook = nullptr;
        if (isAway) {
            QVERIFY(rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"));
            isAway = false;
        }
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY2(messages->messages.first().text.startsWith(said), qPrintable(messages->messages.first().text));
        QCOMPARE(view->questNum, QString("Вопрос №1"));
        QCOMPARE(rows->answerCount(), 1);

        // The next digit picks the game up again.
        QVERIFY(game->ChooseAnswer(view->answer[1]));
        QCOMPARE(view->questNum, QString("Вопрос №2"));
        QCOMPARE(messages->messages.size(), 1);
    }

    // The 20th answer of tour 3 asks the 21st question; the 21st ends the game
    // with the report and the score (the server's clock fixed, so the time left
    // is exact: tours 1 and 2 used up, 125 seconds left of tour 3).
    void lastAnswersOfTourThree()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        rows->setStatus(gRunning);
        rows->addAnswers(1, 21, 5);
        rows->addAnswers(2, 21, 6);
        rows->addAnswers(3, 19, 0);
        const QStringList stamps = {"Time_lvl1 -2000", "Time_lvl1_end -1400", "Time_lvl2 -1300", "Time_lvl2_end -700",
                                    "Time_lvl3 -470"};
        for (const QString& s : stamps)
            rows->setStamp(s.section(' ', 0, 0), GameRows::at(s.section(' ', 1, 1).toInt()));
        setServerClock(dm->UniConnection1, 0);
        makeGame();
        game->EnterStoredState();
        QCOMPARE(view->tour, QString("Тур №3"));
        QCOMPARE(view->questNum, QString("Вопрос №20"));
        QCOMPARE(view->led, QString("02:10"));

        // The 20th answer, wrong: the game goes on.
        QVERIFY(game->ChooseAnswer(view->answer[wrongPanel(*view, *game)]));
        QCOMPARE(view->questNum, QString("Вопрос №21"));
        QCOMPARE(rows->answerCount(3), 20);
        QCOMPARE(rows->status(), int(gRunning));
        QVERIFY(messages->messages.isEmpty());

        // The 21st, right, five seconds later by the server's clock.
        setServerClock(dm->UniConnection1, 5);
        QString statusAtReport;
        QDateTime tour3End;
        messages->onMessage = [&](const sortest::RecordedMessage&) {
            statusAtReport = QString("%1 %2").arg(rows->status()).arg(rows->answerCount());
            tour3End = rows->stamp("Time_lvl3_end");
        };
        QVERIFY(game->ChooseAnswer(view->answer[view->rightPanel(*game)]));
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text,
                 QString("Игра закончена!\n\rВы дали ответ на все вопросы\n\rДано всего ответов: 63, \n\r"
                         "Дано правильных ответов: 51.\n\rВремени, по результатам трёх туров, осталось 125 секунд "
                         "\n\rВаш результат 51,125 баллов."));
        QCOMPARE(statusAtReport, QString("4 63"));
        QCOMPARE(tour3End, GameRows::atTime(5));
        QCOMPARE(view->prompts, QStringList{"Начать игру"});
        QCOMPARE(rows->answerCount(), 0);
    }

    // The results message: the text letter for letter, the seconds word, the
    // score in the player's locale; counts only when the time ran out.
    void results_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("wrong");
        QTest::addColumn<QList<int>>("used");  // seconds of each tour (600 each)
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");

        const QString head1 = "Игра закончена!\n\rВы дали ответ на все вопросы\n\rДано всего ответов: ";
        QTest::newRow("time over: counts only, even after three tours")
            << 0 << 30 << 7 << QList<int>{600, 600, 100} << "ru_RU"
            << "Игра закончена!\n\rЗакончилось время.\n\rДано всего ответов: 37, \n\rДано правильных ответов: 30.";
        QTest::newRow("50,125 in Russian")
            << 1 << 50 << 13 << QList<int>{600, 600, 475} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 50.\n\rВремени, по результатам трёх туров, осталось "
                       "125 секунд \n\rВаш результат 50,125 баллов.";
        QTest::newRow("50.125 in English")
            << 1 << 50 << 13 << QList<int>{600, 600, 475} << "en_US"
            << head1 + "63, \n\rДано правильных ответов: 50.\n\rВремени, по результатам трёх туров, осталось "
                       "125 секунд \n\rВаш результат 50.125 баллов.";
        QTest::newRow("all right, nothing left")
            << 1 << 63 << 0 << QList<int>{600, 600, 600} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 63.\n\rВремени, по результатам трёх туров, осталось "
                       "0 секунд \n\rВаш результат 63 баллов.";
        QTest::newRow("11 seconds")
            << 1 << 40 << 23 << QList<int>{600, 589, 600} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 40.\n\rВремени, по результатам трёх туров, осталось "
                       "11 секунда \n\rВаш результат 40,011 баллов.";
        QTest::newRow("1 second")
            << 1 << 40 << 23 << QList<int>{599, 600, 600} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 40.\n\rВремени, по результатам трёх туров, осталось "
                       "1 секунда \n\rВаш результат 40,001 баллов.";
        QTest::newRow("1023 seconds")
            << 1 << 40 << 23 << QList<int>{100, 77, 600} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 40.\n\rВремени, по результатам трёх туров, осталось "
                       "1023 секунды \n\rВаш результат 41,023 баллов.";
        QTest::newRow("over time: negative, no word, a lower score")
            << 1 << 40 << 23 << QList<int>{600, 607, 600} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 40.\n\rВремени, по результатам трёх туров, осталось "
                       "-7 \n\rВаш результат 39,993 баллов.";
        QTest::newRow("over time by ten")
            << 1 << 40 << 23 << QList<int>{600, 610, 600} << "ru_RU"
            << head1 + "63, \n\rДано правильных ответов: 40.\n\rВремени, по результатам трёх туров, осталось "
                       "-10 секунд \n\rВаш результат 39,99 баллов.";
    }
    void results()
    {
        QFETCH(int, reason);
        QFETCH(int, right);
        QFETCH(int, wrong);
        QFETCH(QList<int>, used);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        // Answers in three tours; the wrong ones first.
        const int total = right + wrong;
        for (int t = 1; t <= 3; ++t) {
            const int inTour = qBound(0, total - 21 * (t - 1), 21);
            const int wrongInTour = qBound(0, wrong - 21 * (t - 1), 21);
            rows->addAnswers(t, inTour, qMin(wrongInTour, inTour));
            rows->setStamp(GameRows::startField(t), GameRows::at(-3000 + 1000 * t));
            rows->setStamp(GameRows::endField(t), GameRows::at(-3000 + 1000 * t + used[t - 1]));
        }
        QCOMPARE(rows->answerCount(), total);
        makeGame();
        game->ShowGameResult(reason);
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, text);
        QCOMPARE(messages->messages.first().caption, QString("Внимание! "));
        QVERIFY(!game->MMTimer1->Enabled());
    }

    // The tour check: a tour's 21st answer ends it even with the time up; a
    // cached row that cannot be read gives -2 and one attempt to get it back.
    void checkTur()
    {
        rows->addAnswers(1, 21);
        rows->addAnswers(2, 20);
        makeGame();
        game->SetiLedTimer(0);
        QCOMPARE(game->CheckTur(1), 2);
        QCOMPARE(game->CheckTur(2), 1);
        game->SetiLedTimer(5);
        QCOMPARE(game->CheckTur(2), 0);
        QCOMPARE(game->CheckTur(3), 0);

        dm->LoginQuery.close();
        QVERIFY(!game->StatusRowLoaded());
        QCOMPARE(game->CheckTur(2), -2);
        QVERIFY(game->StatusRowLoaded());
        QVERIFY(dm->UniConnection1.connected());
        // Time over wins over the failed read, a full tour over both.
        dm->LoginQuery.close();
        game->SetiLedTimer(0);
        QCOMPARE(game->CheckTur(2), 1);
        dm->LoginQuery.close();
        QCOMPARE(game->CheckTur(1), 2);
    }

    // A tour outside 1..3 is refused with a plain box and changes nothing.
    void tourOutOfRange()
    {
        startGame();
        const QStringList before = view->events;
        game->SetTurCurent(4);
        QCOMPARE(plainMessages(), QStringList{"Недопустимое значение тура"});
        QCOMPARE(game->TurCurent(), 1);
        QCOMPARE(view->events, before);
    }

    // The unit words follow the last digit alone.
    void unitWords_data()
    {
        QTest::addColumn<int>("digit");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("seconds");
        QTest::newRow("0") << 0 << "минут " << "секунд ";
        QTest::newRow("1") << 1 << "минута " << "секунда ";
        QTest::newRow("2") << 2 << "минуты " << "секунды ";
        QTest::newRow("3") << 3 << "минуты " << "секунды ";
        QTest::newRow("4") << 4 << "минуты " << "секунды ";
        QTest::newRow("5") << 5 << "минут " << "секунд ";
        QTest::newRow("9") << 9 << "минут " << "секунд ";
        QTest::newRow("10 is no digit") << 10 << "" << "";
        QTest::newRow("-1 is no digit") << -1 << "" << "";
    }
    void unitWords()
    {
        QFETCH(int, digit);
        QFETCH(QString, minutes);
        QFETCH(QString, seconds);
        QCOMPARE(sor::SufMinToStrPadegh(digit), minutes);
        QCOMPARE(sor::SufSecToStrPadegh(digit), seconds);
    }

    // Ctrl+T reads the display: no space between a number and its word.
    void timeLeft_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("said");
        QTest::newRow("5:31") << 331 << "!До конца тура осталось. 5минут 31секунда ";
        QTest::newRow("0:00") << 0 << "!До конца тура осталось. 0минут 0секунд ";
        QTest::newRow("21:12") << 1272 << "!До конца тура осталось. 21минута 12секунды ";
        QTest::newRow("10:04") << 604 << "!До конца тура осталось. 10минут 4секунды ";
        QTest::newRow("100 minutes") << 6003 << "!До конца тура осталось. 100минут 3секунды ";
    }
    void timeLeft()
    {
        QFETCH(int, seconds);
        QFETCH(QString, said);
        makeGame();
        game->SetiLedTimer(seconds);
        commands->N4Click();
        QCOMPARE(rig->heard(), QStringList{said});
    }

    // The reading commands: silent while the labels are empty, then each cuts
    // off what is being said; the variants drop keys typed ahead first.
    void readingCommands()
    {
        makeGame();
        view->setQuestionCaption(QString());
        for (int n = 1; n <= 4; ++n)
            view->setAnswerCaption(n, QString());
        view->events.clear();
        for (auto cmd : {&sor::TGameCommands::G1Click, &sor::TGameCommands::N5Click, &sor::TGameCommands::N11Click, &sor::TGameCommands::N21Click,
                         &sor::TGameCommands::N31Click, &sor::TGameCommands::N41Click})
            (commands.get()->*cmd)();
        QCOMPARE(rig->heard(), QStringList());
        QVERIFY(!view->events.contains("flush keyboard"));

        // Only the first answer is looked at, whichever is read.
        view->setAnswerCaption(3, "3: Гамма");
        commands->N31Click();
        QCOMPARE(rig->heard(), QStringList());

        view->setQuestionCaption("Где живут рыбы?");
        const QStringList captions = {"1: В воде", "2: В лесу", "3: В небе", "4: 1: В норе"};
        for (int n = 1; n <= 4; ++n)
            view->setAnswerCaption(n, captions[n - 1]);
        view->events.clear();
        commands->G1Click();
        commands->N5Click();
        commands->N21Click();
        commands->N41Click();
        QCOMPARE(rig->heard(), QStringList({"!Где живут рыбы?",
                                            "!Варианты ответов. 1: В воде. 2: В лесу. 3: В небе. 4: 1: В норе. ",
                                            "!Ответ №2: В лесу. ", "!Ответ №4: 1: В норе. "}));
        QCOMPARE(view->events, QStringList{"flush keyboard"});
    }

    // Slower and faster by one step of the rate slider; at the ends the rate
    // stays and the word is said all the same.
    void rateCommands()
    {
        makeGame();
        sor::SpeechSettings& s = rig->settings();
        s.moveTrackBar2(-9);
        rig->clear();
        commands->N10Click();
        QCOMPARE(s.trackBar2Position(), -10);
        QCOMPARE(s.SpeedSpeak(), -10);
        commands->N10Click();
        QCOMPARE(s.trackBar2Position(), -10);
        QCOMPARE(s.SpeedSpeak(), -10);
        QCOMPARE(rig->heard(), QStringList({"!Медленнее.", "!Медленнее."}));

        s.moveTrackBar2(9);
        rig->clear();
        commands->N12Click();
        commands->N12Click();
        QCOMPARE(s.SpeedSpeak(), 10);
        QCOMPARE(rig->heard(), QStringList({"!Быстрее.", "!Быстрее."}));
    }

    // The speech switch: switching off is announced while speech is still on;
    // switching on is announced, and stays on only when a voice can speak.
    void speechSwitch()
    {
        makeGame();
        sor::SpeechSettings& s = rig->settings();
        QVERIFY(s.speechOn());
        commands->N2SpeechOnOffClick();
        QVERIFY(!s.speechOn());
        QVERIFY(!view->speechMark);
        commands->N2SpeechOnOffClick();
        QVERIFY(s.speechOn());
        QVERIFY(view->speechMark);
        QCOMPARE(rig->heard(), QStringList({"!Речь выключена", "!Речь включена"}));

        // No voice chosen: there is nothing to speak with.
        commands->N2SpeechOnOffClick();
        s.SetIndexTTS(-1);
        rig->clear();
        commands->N2SpeechOnOffClick();
        QVERIFY(!s.speechOn());
        QVERIFY(!view->speechMark);
        QCOMPARE(rig->heard(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestGame)
#include "tst_game.moc"
