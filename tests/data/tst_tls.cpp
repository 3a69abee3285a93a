// The game connection is encrypted and the server proven before anything of the
// player's leaves the machine: real servers of this test's own, one good, one
// without TLS, one with a certificate of another CA, one with a certificate for
// another name. Each server's general log shows what reached it.

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "data/DataModule.h"
#include "data/SessionContext.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

using sortest::PrivateServer;
using sortest::TestServer;

namespace {

const QString kDemo = QStringLiteral("demo@tavrek.example");
const QString kNotVerified = QStringLiteral("Не удалось проверить подлинность сервера игры.");

// Every statement the server receives goes to DIR/general.log from now on.
bool logEverything(const QString& dir)
{
    const QString name = QStringLiteral("log-") + dir;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
        db.setHostName(QStringLiteral("localhost"));
        db.setUserName(QStringLiteral("root"));
        db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + dir + QStringLiteral("/mariadbd.sock"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("SET GLOBAL general_log_file='%1/general.log'").arg(dir)) &&
                 q.exec(QStringLiteral("SET GLOBAL general_log=1"));
            if (!ok)
                qWarning() << q.lastError().text();
        } else {
            qWarning() << db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QString generalLog(const QString& dir)
{
    QFile f(dir + QStringLiteral("/general.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// What the login sends first: the player's address and password hash.
void lookUpTheDemoPlayer(TDataModule1& dm)
{
    sor::TDbQuery& q = dm.LoginQuery;
    q.setSql({"SELECT * ", "FROM users", "WHERE users.loginEmail=:lgn", "AND users.password=:pss"});
    q.bindString("lgn", kDemo);
    q.bindString("pss", dm.md5("sorventa"));
    q.open();
}

}  // namespace

class TestTls : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    std::unique_ptr<PrivateServer> good, plain, otherCa, otherName;
    std::unique_ptr<sortest::MessageRecorder> messages;

    PrivateServer* server(const QString& which)
    {
        if (which == QLatin1String("plain"))
            return plain.get();
        if (which == QLatin1String("otherCa"))
            return otherCa.get();
        if (which == QLatin1String("otherName"))
            return otherName.get();
        return good.get();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        const QString t = tmp.path();
        good = std::make_unique<PrivateServer>(t + "/good");
        plain = std::make_unique<PrivateServer>(t + "/plain", QStringList{"--tls", "off"});
        // A CA of its own, which the client was never told to trust.
        otherCa = std::make_unique<PrivateServer>(t + "/other-ca", QStringList{"--ca-dir", t + "/stranger-ca"});
        // The trusted CA, but a certificate for another host.
        otherName = std::make_unique<PrivateServer>(t + "/other-name",
                                                    QStringList{"--cert-names", "DNS:game.other.example"});
        for (PrivateServer* s : {good.get(), plain.get(), otherCa.get(), otherName.get()}) {
            QVERIFY2(s->start(), qPrintable(s->dir()));
            QVERIFY(logEverything(s->dir()));
        }
    }

    void init()
    {
        sor::resetSessionContext();
        messages = std::make_unique<sortest::MessageRecorder>();
    }

    void cleanup() { messages.reset(); }

    // The good server: the connection is encrypted and the game goes on.
    void trustedServerWorks()
    {
        TDataModule1 dm(good->clientParams());
        QVERIFY(dm.PrepareConnection());
        QVERIFY(!AppOutdated);
        lookUpTheDemoPlayer(dm);
        QCOMPARE(dm.LoginQuery.recordCount(), 1);
        dm.QueryQuery.setSql({"SHOW SESSION STATUS LIKE 'Ssl_version'"});
        dm.QueryQuery.open();
        const QString version = dm.QueryQuery.asString("Value");
        QVERIFY2(version.startsWith(QStringLiteral("TLSv1.")), qPrintable(version));
        QVERIFY(messages->messages.isEmpty());
        // The log does show what reaches the server.
        QVERIFY(generalLog(good->dir()).contains(kDemo));
    }

    // Each server that cannot prove itself is refused while connecting: the player
    // is told so in the game's words, and the server has seen nothing of his, not
    // even the game's account.
    void untrustedServerLearnsNothing_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("no TLS") << "plain";
        QTest::newRow("certificate of another CA") << "otherCa";
        QTest::newRow("certificate for another name") << "otherName";
    }

    void untrustedServerLearnsNothing()
    {
        QFETCH(QString, which);
        PrivateServer* s = server(which);
        TDataModule1 dm(s->clientParams());
        sor::EDbError seen(0, 0, {});
        const auto report = dm.UniConnection1.error;
        dm.UniConnection1.error = [&](const sor::EDbError& e, bool& fail) {
            seen = e;
            report(e, fail);
        };
        QVERIFY(!dm.PrepareConnection());
        QVERIFY(!dm.UniConnection1.connected());
        qInfo("%s: %d %s", qPrintable(which), seen.nativeNumber(), qPrintable(seen.message()));
        QCOMPARE(seen.nativeNumber(), 2026);
        QCOMPARE(seen.number(), int(sor::erNotVerified));
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages[0].text, kNotVerified);
        QCOMPARE(messages->messages[0].caption, QStringLiteral("Внимание! "));
        QVERIFY(!dm.TimerConnecting.isActive());  // at start-up the program ends instead

        // Whatever the game tries next goes nowhere.
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, lookUpTheDemoPlayer(dm));
        const QString log = generalLog(s->dir());
        QVERIFY2(!log.isEmpty(), "no general log");
        QVERIFY2(!log.contains(kDemo), qPrintable(log));
        QVERIFY2(!log.contains(QStringLiteral("tavrekdb2@")), qPrintable(log));
    }

    // A lost connection, and a server on the way back that cannot prove itself:
    // the reconnect window stays and tries once a second, without a word, as for
    // a server that is not there; the real server is found again.
    void untrustedServerOnTheWayBack()
    {
        TDataModule1 dm(good->clientParams());
        dm.UniConnection1.open();
        int refused = 0;
        const auto report = dm.UniConnection1.error;
        dm.UniConnection1.error = [&](const sor::EDbError& e, bool& fail) {
            if (e.number() == sor::erNotVerified)
                ++refused;
            report(e, fail);
        };
        dm.UniConnection1.setParams(otherCa->clientParams());
        QVERIFY(sortest::killConnection(good->dir(), sortest::connectionId(dm)));
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm.QueryClockServer.open());
        QVERIFY(ReconnectWindow);
        QTest::qWait(3500);
        QVERIFY2(refused >= 2 && refused <= 4, qPrintable(QString::number(refused)));
        QVERIFY(messages->messages.isEmpty());
        QVERIFY(ReconnectWindow);
        QVERIFY(!generalLog(otherCa->dir()).contains(QStringLiteral("tavrekdb2@")));

        dm.UniConnection1.setParams(good->clientParams());
        QTRY_VERIFY_WITH_TIMEOUT(dm.UniConnection1.connected(), 5000);
        QVERIFY(ReconnectWindow.isNull());
        QVERIFY(messages->messages.isEmpty());
    }

    // Over TLS a connection dropped under a statement ends as "unexpected eof"
    // (2026): that is a lost connection, not a server that failed the check.
    void droppedConnectionIsALoss()
    {
        TDataModule1 dm(good->clientParams());
        dm.UniConnection1.open();
        sor::EDbError seen(0, 0, {});
        const auto report = dm.UniConnection1.error;
        dm.UniConnection1.error = [&](const sor::EDbError& e, bool& fail) {
            seen = e;
            report(e, fail);
        };
        QVERIFY(sortest::killConnection(good->dir(), sortest::connectionId(dm)));
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm.QueryClockServer.open());
        qInfo("dropped: %d %s", seen.nativeNumber(), qPrintable(seen.message()));
        QCOMPARE(seen.nativeNumber(), 2026);
        QCOMPARE(seen.number(), int(sor::erConnectionLost));
        QVERIFY(ReconnectWindow);
        QVERIFY(messages->messages.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(dm.UniConnection1.connected(), 5000);
        dm.QueryClockServer.open();
        QVERIFY(dm.QueryClockServer.asDateTime("dtsr").isValid());
    }
};

QTEST_GUILESS_MAIN(TestTls)
#include "tst_tls.moc"
