// The error report: each row of its table, as the player meets it, and how a
// failure reaches the caller.

#include <QScopeGuard>
#include <QTest>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "speech/MessageDlg.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

using sor::TDbQuery;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kAttention = QStringLiteral("Внимание! ");

}  // namespace

class TestDbErrors : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::MessageRecorder> messages;

    void expectOneMessage(const QString& text, const QString& caption)
    {
        QCOMPARE(messages->messages.size(), 1);
        const sortest::RecordedMessage& m = messages->messages.first();
        QCOMPARE(m.text, text);
        QCOMPARE(m.caption, caption);
        QCOMPARE(m.buttons, int(sor::mbOK));
        QCOMPARE(m.owner, nullptr);  // the application window
        QVERIFY(!m.plain);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        QVERIFY(TestServer::adminExec(kDb, "INSERT INTO Sor_users (UserID, `Session`) VALUES (9201, '{A}')"));
    }

    void init()
    {
        sor::resetSessionContext();
        messages = std::make_unique<sortest::MessageRecorder>();
    }

    void cleanup() { messages.reset(); }

    // A duplicate key: the registration's own words, or the general ones. Handled:
    // the write is rolled back quietly and the caller sees a silent abort.
    void duplicateEntry_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("binds");  // name=value
        QTest::addColumn<QString>("text");
        QTest::newRow("registration") << QStringList{"INSERT INTO users ", "(loginEmail, password, name, surname)",
                                                     "VALUES (:lgn, :pss, :nm, :sn)"}
                                      << QStringList{"lgn=DEMO@tavrek.example", "pss=x", "nm=Второй", "sn="}
                                      << "Ошибка сохранения данных.\r\n"
                                         "Игрок с таким адресом электронной почты уже зарегистрирован.";
        QTest::newRow("any other statement") << QStringList{"INSERT INTO Sor_users (UserID, dt, `Session`)",
                                                            "VALUES (:UserID, NOW(), :Session)"}
                                             << QStringList{"UserID=9201", "Session={X}"}
                                             << "Ошибка сохранения данных.\r\nТакая запись уже существует!";
    }

    void duplicateEntry()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, binds);
        QFETCH(QString, text);
        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.UniConnection1.open();
        TDbQuery& q = dm.QueryQuery;
        q.setSql(lines);
        for (const QString& b : binds)
            q.bindString(b.section('=', 0, 0), b.section('=', 1));

        QVERIFY(!dm.UniConnection1.execInTransaction(q));
        expectOneMessage(text, kAttention);

        messages->clear();
        try {
            q.execute();
            QFAIL("the duplicate was accepted");
        } catch (const sor::EDbAbort& a) {
            QCOMPARE(a.cause().number(), 1062);
        }
        expectOneMessage(text, kAttention);
        QVERIFY(dm.UniConnection1.connected());
        QVERIFY(!dm.TimerConnecting.isActive());
    }

    // Any other number: "Ошибка БД! " + number + " " + the client's message, and the
    // error reaches the caller with both.
    void otherErrorReachesTheCaller_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("number");
        QTest::newRow("syntax") << QStringList{"SELEC VerSorventa", "FROM  Version "} << 1064;
        // (A table the account holds no right on, existing or not, is 1142 to it.)
        QTest::newRow("no such column") << QStringList{"SELECT VerSorventa_typo FROM Version"} << 1054;
        QTest::newRow("no right to change tables") << QStringList{"DROP TABLE Sor_Games"} << 1142;
    }

    void otherErrorReachesTheCaller()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, number);
        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.UniConnection1.open();
        dm.QueryQuery.setSql(lines);
        QString message;
        try {
            dm.QueryQuery.open();
            QFAIL("the statement ran");
        } catch (const sor::EDbError& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.nativeNumber(), number);
            message = e.message();
        }
        QVERIFY(!message.isEmpty());
        expectOneMessage(QStringLiteral("Ошибка БД! %1 %2").arg(number).arg(message), QStringLiteral("Ошибка! "));
        QVERIFY(dm.UniConnection1.connected());  // nothing wrong with the connection
        dm.QueryQuery.setSql({"SELECT VerSorventa", "FROM  Version "});
        dm.QueryQuery.open();
        QCOMPARE(dm.QueryQuery.recordCount(), 1);
    }

    // No server at start-up: its own message, PrepareConnection false, AppOutdated
    // left false, and no reconnecting at start-up.
    void serverUnreachableAtStartUp()
    {
        sortest::ClientParams p = TestServer::clientParams(kDb);
        const sortest::RefusingPort refusing;
        p.port = refusing.port();
        TDataModule1 dm(p);
        QVERIFY(!dm.PrepareConnection());
        QVERIFY(!AppOutdated);
        expectOneMessage(QStringLiteral("Отсутствует связь с базой данных!"), kAttention);
        QVERIFY(!dm.UniConnection1.connected());
        QVERIFY(!dm.TimerConnecting.isActive());
        QVERIFY(ReconnectWindow.isNull());
    }

    // The connection opens but the version check fails: PrepareConnection false,
    // and the program is not taken for an outdated one (that would start the
    // updater and end the program on a mere read error).
    void versionCheckFailsAtStartUp()
    {
        QVERIFY(TestServer::adminExec(kDb, "RENAME TABLE Version TO Version_away"));
        const auto putBack = qScopeGuard([] { TestServer::adminExec(kDb, "RENAME TABLE Version_away TO Version"); });
        TDataModule1 dm(TestServer::clientParams(kDb));
        QVERIFY(!dm.PrepareConnection());
        QVERIFY(dm.UniConnection1.connected());
        QVERIFY(!AppOutdated);
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY2(messages->messages[0].text.startsWith(QStringLiteral("Ошибка БД! 1146 ")),
                 qPrintable(messages->messages[0].text));
    }

    // Refused credentials are "another number".
    void refusedCredentialsAtStartUp()
    {
        sortest::ClientParams p = TestServer::clientParams(kDb);
        p.password = QStringLiteral("wrong");
        TDataModule1 dm(p);
        QVERIFY(!dm.PrepareConnection());
        QVERIFY(!AppOutdated);
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY2(messages->messages[0].text.startsWith(QStringLiteral("Ошибка БД! 1045 Access denied")),
                 qPrintable(messages->messages[0].text));
        QCOMPARE(messages->messages[0].caption, QStringLiteral("Ошибка! "));
    }

    // The table itself, for the numbers libmariadb reports and with or without the
    // reconnect window: which message, whether handled, whether the timer starts.
    void reportTable_data()
    {
        QTest::addColumn<int>("native");
        QTest::addColumn<bool>("connecting");
        QTest::addColumn<bool>("windowShown");
        QTest::addColumn<QString>("text");     // empty: no message
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("handled");
        QTest::addColumn<bool>("timerStarts");
        QTest::addColumn<QString>("message");  // the client library's text

        const QString noLink = QStringLiteral("Отсутствует связь с базой данных!");
        const QString lost = QStringLiteral("Потеряна связь с Интернет (базой данных)!");
        const QString m = QStringLiteral("the message");
        QTest::newRow("2003") << 2003 << true << false << noLink << kAttention << true << false << m;
        QTest::newRow("2002 is 2003") << 2002 << true << false << noLink << kAttention << true << false << m;
        QTest::newRow("2005 (no name service) is 2003") << 2005 << true << false << noLink << kAttention << true << false << m;
        QTest::newRow("lost while connecting is 2003") << 2013 << true << false << noLink << kAttention << true << false << m;
        QTest::newRow("2003, window shown") << 2002 << true << true << "" << "" << true << false << m;
        QTest::newRow("2013") << 2013 << false << false << lost << kAttention << true << true << m;
        QTest::newRow("2006 is 2013") << 2006 << false << false << lost << kAttention << true << true << m;
        QTest::newRow("killed is 2013") << 1927 << false << false << lost << kAttention << true << true << m;
        QTest::newRow("2013, window shown") << 2013 << false << true << "" << "" << true << false << m;
        QTest::newRow("other, window shown")
            << 1205 << false << true << "Ошибка БД! 1205 the message" << "Ошибка! " << false << false << m;
        const QString notVerified = QStringLiteral("Не удалось проверить подлинность сервера игры.");
        QTest::newRow("no TLS while connecting") << 2026 << true << false << notVerified << kAttention << true << false
            << QStringLiteral("TLS/SSL error: SSL is required, but the server does not support it");
        QTest::newRow("another CA while connecting") << 2026 << true << false << notVerified << kAttention << true
            << false << QStringLiteral("TLS/SSL error: self-signed certificate in certificate chain");
        QTest::newRow("not verified, window shown") << 2026 << true << true << "" << "" << true << false
            << QStringLiteral("TLS/SSL error: Validation of SSL server certificate failed");
        QTest::newRow("TLS eof while connecting is 2003") << 2026 << true << false << noLink << kAttention << true
            << false << QStringLiteral("TLS/SSL error: unexpected eof while reading");
        QTest::newRow("TLS handshake stalled is 2003") << 2026 << true << false << noLink << kAttention << true
            << false << QStringLiteral("TLS/SSL error: Connection timed out (110)");
        QTest::newRow("server going down in the handshake is 2003") << 2026 << true << false << noLink << kAttention
            << true << false << QStringLiteral("TLS/SSL error: shutdown while in init");
        QTest::newRow("TLS eof is 2013") << 2026 << false << false << lost << kAttention << true << true
            << QStringLiteral("TLS/SSL error: unexpected eof while reading");
        QTest::newRow("other") << 1045 << true << false << "Ошибка БД! 1045 the message" << "Ошибка! " << false
                               << false << m;
    }

    void reportTable()
    {
        QFETCH(int, native);
        QFETCH(bool, connecting);
        QFETCH(bool, windowShown);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(bool, handled);
        QFETCH(bool, timerStarts);
        QFETCH(QString, message);

        TDataModule1 dm(TestServer::clientParams(kDb));
        std::unique_ptr<QObject> window;
        if (windowShown) {
            window = std::make_unique<QObject>();
            ReconnectWindow = window.get();
        }
        bool fail = true;
        dm.UniConnection1Error(&dm.UniConnection1,
                               sor::EDbError(sor::reportNumber(native, connecting, message), native, message), fail);
        ReconnectWindow = nullptr;
        if (text.isEmpty())
            QVERIFY(messages->messages.isEmpty());
        else
            expectOneMessage(text, caption);
        QCOMPARE(fail, !handled);
        QCOMPARE(dm.TimerConnecting.isActive(), timerStarts);
    }
};

QTEST_GUILESS_MAIN(TestDbErrors)
#include "tst_dberrors.moc"
