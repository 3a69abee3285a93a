// The client account's rights on a game database made by scripts/game-server:
// every statement the client sends goes through, as the client itself sends it
// (registration, restore, login, a game with its new-game reset, a tour closed,
// the results); writes that only the game's operator may make are refused by the
// server, and nothing of them lands.

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

#include "accounts/PasswordRestore.h"
#include "accounts/Registration.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/GameCore.h"
#include "support/GameRows.h"
#include "support/GameViewRig.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SmtpPeer.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::GameRows;
using sortest::TestServer;

namespace {

const QString kDb = TestServer::ownDatabase();

class Game : public sor::TGame
{
public:
    using TGame::TGame;
    using TGame::ShowGameResult;
};

QVariant adminValue(const QString& sql)
{
    QSqlQuery q(TestServer::admin(kDb, QStringLiteral("rights_admin")));
    if (!q.exec(sql) || !q.next()) {
        qWarning() << sql << q.lastError().text();
        return QVariant();
    }
    return q.value(0);
}

}  // namespace

class TestClientRights : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    // The whole round of a player, through the client's own routines on the
    // client's own connection: not one statement may meet a refusal.
    void everyStatementOfTheClientGoesThrough()
    {
        sortest::SpeechRig rig;
        sortest::MessageRecorder messages;
        sor::resetSessionContext();
        TDataModule1 dm(TestServer::clientParams(kDb));

        // Start-up: connect and read the required version.
        QVERIFY(dm.PrepareConnection());
        QVERIFY(!AppOutdated);

        // Registration, then a restore code mailed and stored, then a new password.
        const QString email = QStringLiteral("rights@tavrek.example");
        QVERIFY(sor::saveRegistration(dm, nullptr, QStringLiteral("Права"), QStringLiteral("Игрока"), email,
                                      QStringLiteral("first")));
        sortest::SmtpPeer peer;
        QVERIFY2(peer.start(), qPrintable(peer.error()));
        sor::SmtpMailSender sender(peer.clientSettings());
        QCOMPARE(sor::requestRestoreCode(dm, sender, nullptr, email), sor::CodeRequest::Stored);
        const QString code = adminValue(QStringLiteral("SELECT CodeRest FROM users WHERE loginEmail='%1'").arg(email))
                                 .toString();
        QCOMPARE(code.size(), 10);
        QCOMPARE(sor::saveNewPassword(dm, nullptr, email, code, QStringLiteral("second")),
                 sor::PasswordSave::Saved);
        messages.clear();  // the restore's own notices

        // Two logins: the session row made, then taken over by the upsert.
        QVERIFY(sortest::logIn(dm, email, QStringLiteral("second")));
        QVERIFY(sortest::logIn(dm, email, QStringLiteral("second")));
        QCOMPARE(adminValue(QStringLiteral("SELECT COUNT(*) FROM Sor_users WHERE UserID=%1").arg(CurrentUserID)).toInt(),
                 1);
        QCOMPARE(adminValue(QStringLiteral("SELECT `Session` FROM Sor_users WHERE UserID=%1").arg(CurrentUserID))
                     .toString(),
                 SessionGUID);
        // A refused write is rolled back and the round goes on: only the report tells.
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.messages.value(0).text));

        // A game: the new-game reset, the first tour played to its 21st answer
        // (draws, answers, counts, stamps, the state), the second tour begun,
        // the session checked, and the results read.
        GameRows rows(kDb, CurrentUserID);
        rows.addAnswers(1, 3);  // answers of an earlier game, for the reset to delete
        sortest::GameViewRig view;
        view.holdSeconds = 0;
        Game game(view);
        game.OpenStatusRow();
        game.EnterStoredState();
        QCOMPARE(game.StGame(), gRunning);
        QCOMPARE(rows.answerCount(), 0);
        for (int i = 0; i < 21; ++i)
            QVERIFY(game.ChooseAnswer(view.answer[view.rightPanel(game)]));
        QCOMPARE(rows.answerCount(1), 21);
        QVERIFY(rows.stamp(GameRows::endField(1)).isValid());
        QVERIFY(rows.stamp(GameRows::startField(2)).isValid());
        QCOMPARE(view.tour, QStringLiteral("Тур №2"));
        QVERIFY(game.VerMyGUID());
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.messages.value(0).text));
        game.ShowGameResult(0);
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.first().text,
                 QStringLiteral("Игра закончена!\n\rЗакончилось время.\n\rДано всего ответов: 21, \n\r"
                                "Дано правильных ответов: 21."));
    }

    // What only the operator may do. The server refuses it for lack of the
    // right (1142 for a table, 1143 for a column) and the rows stay as they were.
    void operatorWritesAreRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("unchanged");  // an admin query whose value must not move
        const QString version = QStringLiteral("SELECT GROUP_CONCAT(VerSorventa) FROM Version");
        const QString bank = QStringLiteral("SELECT CONCAT(COUNT(*), SUM(CRC32(CONCAT(Question, var4)))) FROM Sor_questions");
        const QString tours = QStringLiteral("SELECT CONCAT_WS(',', level1, level2, level3) FROM Sor_setttings");
        const QString accounts = QStringLiteral("SELECT GROUP_CONCAT(ID, loginEmail, name ORDER BY ID) FROM users");
        const QString sessions = QStringLiteral("SELECT GROUP_CONCAT(UserID ORDER BY UserID) FROM Sor_users");
        const QString answers = QStringLiteral("SELECT GROUP_CONCAT(QVar) FROM Sor_Games");
        QTest::newRow("version changed") << "UPDATE Version SET VerSorventa='9.9.9.9'" << version;
        QTest::newRow("version deleted") << "DELETE FROM Version" << version;
        QTest::newRow("version added") << "INSERT INTO Version (VerSorventa) VALUES ('9.9.9.9')" << version;
        QTest::newRow("question changed") << "UPDATE Sor_questions SET var4='Никто'" << bank;
        QTest::newRow("question deleted") << "DELETE FROM Sor_questions" << bank;
        QTest::newRow("question added")
            << "INSERT INTO Sor_questions (Question, var1, var2, var3, var4, qlevel) VALUES ('В','1','2','3','4',1)"
            << bank;
        QTest::newRow("tour lengths changed") << "UPDATE Sor_setttings SET level1=1" << tours;
        QTest::newRow("tour lengths deleted") << "DELETE FROM Sor_setttings" << tours;
        QTest::newRow("accounts deleted") << "DELETE FROM users" << accounts;
        QTest::newRow("an address taken over") << "UPDATE users SET loginEmail='x@tavrek.example'" << accounts;
        QTest::newRow("a name rewritten") << "UPDATE users SET name='x'" << accounts;
        QTest::newRow("an account number chosen")
            << "INSERT INTO users (ID, loginEmail) VALUES (424242, 'id@tavrek.example')" << accounts;
        QTest::newRow("game rows deleted") << "DELETE FROM Sor_users" << sessions;
        QTest::newRow("an answer changed") << "UPDATE Sor_Games SET QVar=4" << answers;
    }

    void operatorWritesAreRefused()
    {
        QFETCH(QString, sql);
        QFETCH(QString, unchanged);
        QVERIFY(TestServer::adminExec(kDb, QStringLiteral("INSERT IGNORE INTO Sor_users (UserID, dt, `Session`) "
                                                          "VALUES (1, NOW(), 'x')")));
        QVERIFY(TestServer::adminExec(kDb, QStringLiteral("INSERT IGNORE INTO Sor_Games (QuestID, QVar, QTur, SorUserID) "
                                                          "VALUES (1, 2, 1, 1)")));
        const QVariant before = adminValue(unchanged);
        QVERIFY(!before.isNull());

        QSqlDatabase db = TestServer::client(kDb, QStringLiteral("client"));
        QVERIFY(db.isOpen());
        QSqlQuery q(db);
        QVERIFY2(!q.exec(sql), "the server let the client do it");
        const QString code = q.lastError().nativeErrorCode();
        QVERIFY2(code == QLatin1String("1142") || code == QLatin1String("1143"), qPrintable(q.lastError().text()));
        QVERIFY2(q.lastError().databaseText().contains(QLatin1String("command denied to user 'tavrekdb2'")),
                 qPrintable(q.lastError().databaseText()));
        QCOMPARE(adminValue(unchanged), before);
    }
};

QTEST_GUILESS_MAIN(TestClientRights)
#include "tst_clientrights.moc"
