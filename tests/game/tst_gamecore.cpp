// The game without a screen: the stored game status, the session check, the
// state entered on activation, the answer-choice rule and the clock, against
// the test game server, with the windowless view.

#include <QScopeGuard>
#include <QTest>

#include <functional>
#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/GameCore.h"
#include "platform/Hold.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "support/DbFaults.h"
#include "support/GameRows.h"
#include "support/GameViewRig.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// The logged-in player's rows on the server, read and set behind the client's back.
sortest::GameRows rows()
{
    return sortest::GameRows(kDb, CurrentUserID);
}

int storedStatus()
{
    return rows().status();
}

void setStoredStatus(int v)
{
    rows().setStatus(v);
    QCOMPARE(rows().status(), v);
}

// Counts what this client sends to the server, through a query object of its
// own on the game connection.
class StatementCounter
{
public:
    explicit StatementCounter(TDataModule1& dm) : q_(dm.UniConnection1, QStringLiteral("counter"))
    {
        q_.addLine(QStringLiteral("SHOW SESSION STATUS WHERE Variable_name IN ('Com_stmt_execute', 'Com_update')"));
        read();
        const auto first = read();
        const auto second = read();
        ownExecutes_ = second.first - first.first;  // the counter's own statement
        last_ = second;
    }

    // Statements executed and UPDATEs among them since the last call.
    QPair<qint64, qint64> since()
    {
        const auto now = read();
        const QPair<qint64, qint64> d{now.first - last_.first - ownExecutes_, now.second - last_.second};
        last_ = read();
        return d;
    }

private:
    QPair<qint64, qint64> read()
    {
        q_.close();
        q_.open();
        QPair<qint64, qint64> v;
        for (q_.first(); !q_.eof(); q_.next()) {
            if (q_.asString("Variable_name") == QLatin1String("Com_stmt_execute"))
                v.first = q_.asLargeInt("Value");
            else
                v.second = q_.asLargeInt("Value");
        }
        return v;
    }

    sor::TDbQuery q_;
    qint64 ownExecutes_ = 0;
    QPair<qint64, qint64> last_;
};

// A game in the middle of a tour with a question on screen, which records the
// answers that reach its step instead of playing them.
class RecordingGame : public sor::TGame
{
public:
    RecordingGame(sor::TGameView& view, TStatusGame state, bool questionShown) : TGame(view)
    {
        FStGame = state;
        bNoQuestionYet = !questionShown;
    }
    void GameStep(const QString& sAnswer) override
    {
        steps << sAnswer;
        if (onStep)
            onStep();
    }
    QStringList steps;
    std::function<void()> onStep;
};

// A game in the middle of a tour with a question on screen, playing for real.
class RunningGame : public sor::TGame
{
public:
    explicit RunningGame(sor::TGameView& view) : TGame(view)
    {
        FStGame = gRunning;
        bNoQuestionYet = false;
    }
};

}  // namespace

class TestGameCore : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init()
    {
        sor::resetSessionContext();
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        QCOMPARE(DataModule1, dm.get());
        dm->UniConnection1.open();
        QVERIFY(sortest::logIn(*dm));
        setStoredStatus(0);
    }

    void cleanup()
    {
        sor::setHaltHandler(nullptr);
        dm.reset();
        messages.reset();
    }

    // The status is written only when it differs from the cached row, and the
    // cached row is not reopened by the write: writing the new value again
    // sends it again until something reopens the row.
    void poleStatusWritesOnlyADifferentValue()
    {
        sortest::GameViewRig view;
        sor::TGame game(view);
        game.OpenStatusRow();
        QCOMPARE(game.PoleStatus(), 0);
        StatementCounter counter(*dm);

        game.SetPoleStatus(0);
        QCOMPARE(counter.since(), (QPair<qint64, qint64>(0, 0)));

        game.SetPoleStatus(gRunning);
        QCOMPARE(counter.since(), (QPair<qint64, qint64>(1, 1)));
        QCOMPARE(storedStatus(), 2);
        QCOMPARE(game.PoleStatus(), 0);  // the cached row as it was opened

        game.SetPoleStatus(gRunning);
        QCOMPARE(counter.since().second, 1);

        game.OpenStatusRow();
        QCOMPARE(game.PoleStatus(), 2);
        counter.since();
        game.SetPoleStatus(gRunning);
        QCOMPARE(counter.since(), (QPair<qint64, qint64>(0, 0)));
        QVERIFY(messages->messages.isEmpty());
    }

    // The session check reopens the cached row, so it sees what the server holds.
    void sessionCheckPassesAndRefreshesTheRow()
    {
        sortest::GameViewRig view;
        sor::TGame game(view);
        game.OpenStatusRow();
        setStoredStatus(4);
        QCOMPARE(game.PoleStatus(), 0);
        QVERIFY(game.VerMyGUID());
        QCOMPARE(game.PoleStatus(), 4);
        QVERIFY(messages->messages.isEmpty());
    }

    // Another copy logs in on the same account: this copy's next step shows the
    // session message and ends the program.
    void takenOverSessionEndsTheProgram()
    {
        sortest::GameViewRig view;
        RunningGame game(view);
        game.OpenStatusRow();
        QVERIFY(game.VerMyGUID());

        TDataModule1 other(TestServer::clientParams(kDb));
        other.UniConnection1.open();
        const auto second = sortest::runLoginStatements(other, sortest::kDemoEmail, other.md5(sortest::kDemoPassword));
        QCOMPARE(second.result, 2);  // within 15 s of the first: refused, and the session taken all the same
        QVERIFY(second.session != SessionGUID);

        int halts = 0;
        sor::setHaltHandler([&] {
            ++halts;
            throw sor::HaltRequested{};
        });
        QVERIFY_THROWS_EXCEPTION(sor::HaltRequested, game.ChooseAnswer(QStringLiteral("2: Париж")));
        QCOMPARE(halts, 1);
        QCOMPARE(game.LastAnswer(), QString("Париж"));
        QCOMPARE(messages->messages.size(), 1);
        const sortest::RecordedMessage& m = messages->messages.first();
        QCOMPARE(m.text, QString("Сессия не действительна!\n\rПод Вашим логином и паролем произведен вход в другой "
                                 "копии программы!\n\rЭта копия программы будет закрыта."));
        QCOMPARE(m.caption, QString("Внимание! "));
        QCOMPARE(m.buttons, int(sor::mbOK));
        QVERIFY(!m.plain);
    }

    // A check that fails says why in a plain box, returns false (the step stops)
    // and leaves the connection usable where the server allows it.
    void failedSessionCheck_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<bool>("recovers");
        QTest::newRow("connection killed") << "kill" << "EDbAbort  " << true;
        QTest::newRow("table gone") << "rename" << "EDbError  " << false;
    }
    void failedSessionCheck()
    {
        QFETCH(QString, fault);
        QFETCH(QString, typeName);
        QFETCH(bool, recovers);

        sortest::GameViewRig view;
        sor::TGame game(view);
        game.OpenStatusRow();
        setStoredStatus(2);
        bool renamed = false;
        if (fault == "kill") {
            dm->QueryQuery.setSql({QStringLiteral("SELECT CONNECTION_ID() AS id")});
            dm->QueryQuery.open();
            QVERIFY(sortest::killConnection(TestServer::dir(), dm->QueryQuery.asLargeInt("id")));
        } else {
            QVERIFY(TestServer::adminExec(kDb, QStringLiteral("RENAME TABLE Sor_users TO Sor_users_away")));
            renamed = true;
        }
        const auto back = qScopeGuard([&] {
            if (renamed)
                TestServer::adminExec(kDb, QStringLiteral("RENAME TABLE Sor_users_away TO Sor_users"));
        });

        int halts = 0;
        sor::setHaltHandler([&] {
            ++halts;
            throw sor::HaltRequested{};
        });
        QVERIFY(!game.VerMyGUID());
        QCOMPARE(halts, 0);
        QList<sortest::RecordedMessage> plain;
        for (const auto& m : messages->messages)
            if (m.plain)
                plain << m;
        QCOMPARE(plain.size(), 1);
        QVERIFY2(plain.first().text.startsWith(typeName), qPrintable(plain.first().text));
        QVERIFY(plain.first().text.size() > typeName.size());
        if (recovers) {
            QVERIFY(dm->UniConnection1.connected());
            QVERIFY(game.StatusRowLoaded());
            QCOMPARE(game.PoleStatus(), 2);
            // and the next check goes through on the same connection
            QVERIFY(game.VerMyGUID());
        }
    }

    // The state that activation enters for each stored status, and what it
    // does there: the start prompt, a resumed game, the report again and then
    // the prompt. Each entry notes the state and the stored status it met.
    void enterStoredState_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QStringList>("seen");
        const QStringList prompt = {"prompt 1 1", "step 2 2"};
        QTest::newRow("no game yet: the start prompt") << 0 << prompt;
        QTest::newRow("waiting for a start") << 1 << prompt;
        QTest::newRow("running: resumed") << 2 << QStringList{"step 2 2"};
        QTest::newRow("ended by time: reported again")
            << 3 << QStringList{"message 3 3 Закончилось время."} + prompt;
        QTest::newRow("ended by answers: reported again")
            << 4 << QStringList{"message 4 4 Вы дали ответ на все вопросы"} + prompt;
        QTest::newRow("an unknown value above 4 resumes") << 9 << QStringList{"step 2 2"};
        QTest::newRow("a negative value is no game") << -1 << prompt;
    }
    void enterStoredState()
    {
        QFETCH(int, stored);
        QFETCH(QStringList, seen);
        setStoredStatus(stored);
        sortest::GameViewRig view;
        RecordingGame game(view, gNot, false);
        QStringList met;
        const auto note = [&](const QString& what) {
            met << QStringLiteral("%1 %2 %3").arg(what).arg(int(game.StGame())).arg(storedStatus());
        };
        view.promptHook = [&](const QString&) {
            note("prompt");
            return 1;
        };
        messages->onMessage = [&](const sortest::RecordedMessage& m) {
            note("message");
            met.last() += " " + m.text.split("\n\r").value(1);
        };
        game.onStep = [&] { note("step"); };
        game.OpenStatusRow();
        game.EnterStoredState();
        QCOMPARE(met, seen);
    }

    // The server was away when the window opened: the row is opened on entry;
    // while it cannot be, no state is entered (and no new game offered).
    void enterStoredStateWithoutTheRow()
    {
        setStoredStatus(2);
        sortest::GameViewRig view;
        sor::TGame game(view);
        QVERIFY(!game.StatusRowLoaded());
        game.EnterStoredState();
        QCOMPARE(game.StGame(), gRunning);

        sor::TGame second(view);
        dm->LoginQuery.close();
        dm->UniConnection1.close();  // gone, and nobody reconnects in this test
        second.EnterStoredState();
        QCOMPARE(second.StGame(), gNot);
        QCOMPARE(storedStatus(), 2);
    }

    // The answer-choice rule: only while a game runs, a question is shown and
    // no hold is active; only the "N: " prefix is dropped.
    void answerChoiceRule_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("questionShown");
        QTest::addColumn<bool>("inHold");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("reaches");  // "-": nothing

        QTest::newRow("running, question shown") << int(gRunning) << true << false << "2: Париж" << "Париж";
        QTest::newRow("only the prefix is dropped") << int(gRunning) << true << false << "1: 3: 4" << "3: 4";
        QTest::newRow("an empty variant") << int(gRunning) << true << false << "4: " << "";
        // Running with no question yet: the first step failed. The digit picks
        // the game up (an empty step), it does not answer.
        QTest::newRow("before the first question") << int(gRunning) << false << false << "2: Париж" << "";
        QTest::newRow("waiting for the start") << int(gStart) << true << false << "2: Париж" << "-";
        QTest::newRow("no game") << int(gNot) << true << false << "2: Париж" << "-";
        QTest::newRow("ended by time") << int(gEndTime) << true << false << "2: Париж" << "-";
        QTest::newRow("ended by answers") << int(gEndQuest) << true << false << "2: Париж" << "-";
        QTest::newRow("during the hold") << int(gRunning) << true << true << "2: Париж" << "-";
    }
    void answerChoiceRule()
    {
        QFETCH(int, state);
        QFETCH(bool, questionShown);
        QFETCH(bool, inHold);
        QFETCH(QString, caption);
        QFETCH(QString, reaches);

        sortest::GameViewRig view;
        RecordingGame game(view, TStatusGame(state), questionShown);
        bool went = false;
        if (inHold) {
            // Chosen from inside the hold, as a key handled while it waits.
            QTimer::singleShot(50, [&] {
                QVERIFY(sor::PauseActive());
                went = game.ChooseAnswer(caption);
            });
            QVERIFY(view.pauseSeconds(1));
        } else {
            went = game.ChooseAnswer(caption);
        }
        if (reaches == "-") {
            QVERIFY(!went);
            QVERIFY(game.steps.isEmpty());
        } else {
            QVERIFY(went);
            QCOMPARE(game.steps, QStringList{reaches});
        }
        // A refused choice is not kept for later either.
        QTest::qWait(20);
        QCOMPARE(game.steps.size(), reaches == "-" ? 0 : 1);
    }

    void ledCaption_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("held");
        QTest::addColumn<QString>("caption");
        QTest::newRow("negative holds 0") << -5 << 0 << "00:00";
        QTest::newRow("zero") << 0 << 0 << "00:00";
        QTest::newRow("seconds only") << 7 << 7 << "00:07";
        QTest::newRow("whole minutes") << 300 << 300 << "05:00";
        QTest::newRow("over an hour in minutes") << 3725 << 3725 << "62:05";
        QTest::newRow("100 minutes take three digits") << 6000 << 6000 << "100:00";
    }
    void ledCaption()
    {
        QFETCH(int, seconds);
        QFETCH(int, held);
        QFETCH(QString, caption);
        sortest::GameViewRig view;
        sor::TGame game(view);
        game.SetiLedTimer(seconds);
        QCOMPARE(game.iLedTimer(), held);
        QCOMPARE(view.led, caption);
    }

    // The countdown: created stopped; switched on it ticks once a second and
    // stops itself at zero, where Timer1 ends the game by time. Switching the
    // countdown off leaves Timer1 running.
    void countdown()
    {
        sortest::GameViewRig view;
        sor::TGame game(view);
        game.OpenStatusRow();
        QVERIFY(!game.MMTimer1->Enabled());
        QCOMPARE(game.MMTimer1->TimerID(), 0u);
        QCOMPARE(game.MMTimer1->Delay(), 1000u);
        QVERIFY(!game.Timer1->isActive());
        QCOMPARE(game.Timer1->interval(), 100);

        game.SetiLedTimer(2);
        game.SetMTimerEnabled(true);
        QVERIFY(game.MMTimer1->TimerID() != 0);
        QVERIFY(game.Timer1->isActive());
        game.SetMTimerEnabled(false);
        QCOMPARE(game.MMTimer1->TimerID(), 0u);
        QVERIFY(game.Timer1->isActive());

        game.SetMTimerEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(view.led, QString("00:00"), 10000);
        QTRY_VERIFY(!game.MTimerEnabled());
        QCOMPARE(game.MMTimer1->TimerID(), 0u);
        QTRY_VERIFY(!game.Timer1->isActive());
        QCOMPARE(view.events.filter("led"), QStringList({"led 00:02", "led 00:01", "led 00:00"}));

        game.SetMTimerEnabled(true);
        game.CloseDown();
        QVERIFY(!game.MMTimer1->Enabled());
        QCOMPARE(game.MMTimer1->TimerID(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestGameCore)
#include "tst_gamecore.moc"
