// Faults of the game server in the middle of play.
// An answer the game server did not store is not judged: the player hears the
// failure from the connection's report, not "Правильно." or "Неправильно.",
// the right answer is not shown, and the game goes on with a fresh question
// once the connection is back; every verdict the player hears is a stored row.
// A game picked up again after a reconnection that fails on its way through
// the closed tours is not ended by time, nor is a new game offered over it.
// A new game whose first question fails to come is not left without one: the
// next digit picks it up.

#include <QScopeGuard>
#include <QTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/GameCore.h"
#include "support/DbFaults.h"
#include "support/GameRows.h"
#include "support/GameViewRig.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::GameRows;
using sortest::TestServer;

namespace {

const QString kDb = TestServer::ownDatabase();

bool isVerdict(const QString& phrase)
{
    return phrase.contains(QStringLiteral("Правильно. ")) || phrase.contains(QStringLiteral("Неправильно. ")) ||
           phrase.contains(QStringLiteral("Правильный ответ №"));
}

}  // namespace

class TestAnswerFaults : public QObject
{
    Q_OBJECT

    // The demo player logged in, with no answers on the server; what the
    // player hears and the boxes the game shows are recorded.
    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<GameRows> rows;

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
    }

    void cleanup()
    {
        rows.reset();
        dm.reset();
        messages.reset();
        rig.reset();
    }

    void answerNotStored_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        // The connection dies while the answer's INSERT waits inside its transaction.
        QTest::newRow("connection killed during the insert") << "kill" << "Потеряна связь с Интернет (базой данных)!";
        // The server refuses the INSERT.
        QTest::newRow("insert refused") << "refuse" << "Ошибка БД! 1146 ";
    }

    void answerNotStored()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        sortest::GameViewRig view;
        view.holdSeconds = 0;
        sor::TGame game(view);
        game.OpenStatusRow();
        game.EnterStoredState();
        QVERIFY(!game.NoQuestionYet());

        // A first answer stores as usual (and leaves the INSERT prepared).
        QVERIFY(game.ChooseAnswer(view.answer[view.rightPanel(game)]));
        QCOMPARE(rows->answerCount(), 1);
        QCOMPARE(view.questNum, QString("Вопрос №2"));

        rig->clear();
        view.events.clear();
        messages->clear();
        if (fault == QLatin1String("kill")) {
            // Sor_Games locked by another session: the INSERT waits, and its
            // connection is killed meanwhile.
            QSqlDatabase locker = TestServer::admin(kDb, QStringLiteral("locker"));
            QSqlQuery lock(locker);
            QVERIFY2(lock.exec(QStringLiteral("LOCK TABLES Sor_Games WRITE")), qPrintable(lock.lastError().text()));
            const auto unlock = qScopeGuard([&] { QSqlQuery(locker).exec(QStringLiteral("UNLOCK TABLES")); });
            const qint64 id = sortest::connectionId(*dm);
            sortest::WhenBusy killer(TestServer::dir(), id, sortest::killIt(id), 10000);
            QVERIFY(game.ChooseAnswer(view.answer[view.rightPanel(game)]));
            killer.wait();
            QVERIFY(killer.sawBusy());
        } else {
            QVERIFY(rows->exec("RENAME TABLE Sor_Games TO Sor_Games_away"));
            const auto back = qScopeGuard([&] { rows->exec("RENAME TABLE Sor_Games_away TO Sor_Games"); });
            QVERIFY(game.ChooseAnswer(view.answer[view.rightPanel(game)]));
        }

        // Told of the failure, not judged; the right answer not shown.
        QCOMPARE(rows->answerCount(), 1);
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY2(messages->messages.first().text.startsWith(message), qPrintable(messages->messages.first().text));
        for (const QString& phrase : rig->heard())
            QVERIFY2(!isVerdict(phrase), qPrintable(phrase));
        QVERIFY2(!view.events.contains(QStringLiteral("hold 1")), qPrintable(view.events.join(", ")));
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(view.look[n], sor::TAnswerLook::Off);

        // The connection comes back by itself; the next digit picks the game up
        // with a fresh question (still the second of the tour), and the one after
        // that is stored and judged.
        QTRY_VERIFY_WITH_TIMEOUT(dm->UniConnection1.connected(), 10000);
        rig->clear();
        QVERIFY(game.ChooseAnswer(view.answer[1]));
        QCOMPARE(view.questNum, QString("Вопрос №2"));
        QCOMPARE(rows->answerCount(), 1);
        for (const QString& phrase : rig->heard())
            QVERIFY2(!isVerdict(phrase), qPrintable(phrase));

        rig->clear();
        const int answered = game.CurrentQuestion().iID;
        QVERIFY(game.ChooseAnswer(view.answer[view.rightPanel(game)]));
        QCOMPARE(rig->heard().value(0), QString("!Правильно. "));
        const QList<GameRows::Answer> stored = rows->answers();
        QCOMPARE(stored.size(), 2);
        QVERIFY(std::any_of(stored.begin(), stored.end(),
                            [&](const GameRows::Answer& a) { return a.questId == answered && a.qvar == 4; }));
    }

    void firstQuestionFailsThenADigitPicksTheGameUp()
    {
        sortest::GameViewRig view;
        view.holdSeconds = 0;
        sor::TGame game(view);
        game.OpenStatusRow();
        // The new game's first step fails: the question bank is refused.
        QVERIFY(rows->exec("RENAME TABLE Sor_questions TO Sor_questions_away"));
        auto back = qScopeGuard([&] { rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"); });
        game.EnterStoredState();
        QCOMPARE(game.StGame(), gRunning);
        QVERIFY(game.NoQuestionYet());
        QCOMPARE(messages->messages.size(), 1);  // the connection's report of the failure
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(view.answer[n], QString());

        // The server is well again. A digit on the empty panels picks the game
        // up with its first question; nothing is stored or judged.
        back.dismiss();
        QVERIFY(rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"));
        rig->clear();
        QVERIFY(game.ChooseAnswer(view.answer[2]));
        QVERIFY(!game.NoQuestionYet());
        QCOMPARE(view.questNum, QString("Вопрос №1"));
        QVERIFY(!view.answer[1].isEmpty());
        QCOMPARE(rows->answerCount(), 0);
        for (const QString& phrase : rig->heard())
            QVERIFY2(!isVerdict(phrase), qPrintable(phrase));
        QCOMPARE(messages->messages.size(), 1);

        // And the game goes on as usual.
        rig->clear();
        QVERIFY(game.ChooseAnswer(view.answer[view.rightPanel(game)]));
        QCOMPARE(rows->answerCount(), 1);
        QCOMPARE(rig->heard().value(0), QString("!Правильно. "));
    }

    void failedResumeLeavesTheGameRunning()
    {
        rows->reset(gRunning);
        sortest::setServerClock(dm->UniConnection1, 0);
        // Tour 1 played and closed, tour 2 under way with three answers.
        rows->addAnswers(1, 21);
        rows->addAnswers(2, 3);
        rows->setStamp(GameRows::startField(1), GameRows::at(-1000));
        rows->setStamp(GameRows::endField(1), GameRows::at(-500));
        rows->setStamp(GameRows::startField(2), GameRows::at(-100));
        sortest::GameViewRig view;
        view.holdSeconds = 0;
        sor::TGame game(view);
        game.OpenStatusRow();
        game.EnterStoredState();
        QCOMPARE(view.questNum, QString("Вопрос №4"));
        QCOMPARE(game.iLedTimer(), 500);
        QVERIFY(game.Timer1->isActive());

        // The window is activated again (back from a reconnection) and the
        // step fails past the first tour: the count of its answers is refused.
        QVERIFY(rows->exec("RENAME TABLE Sor_questions TO Sor_questions_away"));
        auto back = qScopeGuard([&] { rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"); });
        messages->clear();
        view.prompts.clear();
        game.EnterStoredState();
        QCOMPARE(messages->messages.size(), 1);  // the connection's report of the failure
        QVERIFY(!game.Timer1->isActive());
        QVERIFY(!game.MTimerEnabled());
        QTest::qWait(350);  // long enough for Timer1 to have come three times
        QCOMPARE(game.StGame(), gRunning);
        QCOMPARE(view.prompts, QStringList());
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(rows->status(), int(gRunning));

        // The next activation picks the game up where the server has it.
        back.dismiss();
        QVERIFY(rows->exec("RENAME TABLE Sor_questions_away TO Sor_questions"));
        game.EnterStoredState();
        QCOMPARE(view.prompts, QStringList());
        QCOMPARE(view.questNum, QString("Вопрос №4"));
        QCOMPARE(game.iLedTimer(), 500);
        QVERIFY(game.Timer1->isActive());
        QCOMPARE(rows->answerCount(), 24);
    }
};

QTEST_GUILESS_MAIN(TestAnswerFaults)
#include "tst_answerfaults.moc"
