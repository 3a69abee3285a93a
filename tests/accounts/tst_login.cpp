// The login procedure and the login button against the real game server: the
// three results with every trace they leave (session context, Sor_users,
// users.dt, the session query), and what the player is told.

#include <QRegularExpression>
#include <QTest>

#include "AccountRows.h"
#include "accounts/LoginProcedure.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "speech/MessageDlg.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

using sortest::connectionId;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kDemo = QStringLiteral("demo@tavrek.example");
const QString kDemoHash = QStringLiteral("9094d4623a7552bbeab2a9d86111f2d3");  // "sorventa"


bool isSessionGuid(const QString& s)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}")));
    return re.match(s).hasMatch();
}

}  // namespace

class TestLogin : public QObject
{
    Q_OBJECT

    std::unique_ptr<acctest::StoredLoginSandbox> stored;
    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;

    static QString sessionOf(qint64 id)
    {
        return acctest::scalar(kDb, QStringLiteral("SELECT `Session` FROM Sor_users WHERE UserID=%1").arg(id)).toString();
    }
    static qint64 secondsSince(const QString& column, const QString& table, const QString& where)
    {
        return acctest::scalar(kDb, QStringLiteral("SELECT TIMESTAMPDIFF(SECOND, %1, NOW()) FROM %2 WHERE %3")
                                        .arg(column, table, where))
            .toLongLong();
    }

    void expectMessage(const QString& text, const QString& caption)
    {
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, text);
        QCOMPARE(messages->messages.first().caption, caption);
        QCOMPARE(messages->messages.first().buttons, int(sor::mbOK));
        QCOMPARE(messages->messages.first().owner, this);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        stored = std::make_unique<acctest::StoredLoginSandbox>();
        QVERIFY(stored->valid());
    }

    void init()
    {
        sor::resetSessionContext();
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
        stored->clear();
    }

    void cleanup()
    {
        dm.reset();
        messages.reset();
    }

    void resultByLastLogin_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("lastLogin");  // SQL for users.dt
        QTest::addColumn<bool>("hadSession");    // a Sor_users row exists already
        QTest::addColumn<int>("result");
        QTest::newRow("never logged in (empty dt)") << "new@tavrek.example" << "'0000-00-00 00:00:00'" << false << 1;
        QTest::newRow("an hour ago, session row kept") << "hour@tavrek.example" << "NOW() - INTERVAL 1 HOUR" << true << 1;
        QTest::newRow("five seconds ago") << "five@tavrek.example" << "NOW() - INTERVAL 5 SECOND" << true << 2;
        QTest::newRow("five seconds ahead of the server") << "ahead@tavrek.example" << "NOW() + INTERVAL 5 SECOND" << true << 2;
    }

    // Results 1 and 2 alike: the session context filled, a new session in
    // Sor_users (the row's game untouched), users.dt stamped, QVerGUID open on it.
    void resultByLastLogin()
    {
        QFETCH(QString, email);
        QFETCH(QString, lastLogin);
        QFETCH(bool, hadSession);
        QFETCH(int, result);
        const qint64 id = acctest::addAccount(kDb, email, kDemoHash, lastLogin);
        QVERIFY(id > 0);
        if (hadSession)
            QVERIFY(acctest::exec(kDb, QStringLiteral("INSERT INTO Sor_users (UserID, `Session`, GameStatus) "
                                                      "VALUES (%1, '{OLD}', 3)").arg(id)));

        QCOMPARE(sor::fLoginQuery(*dm, email.toUpper(), kDemoHash), result);

        QCOMPARE(CurrentUserID, id);
        QCOMPARE(CurrentLoginEmail, email);
        QVERIFY(isSessionGuid(SessionGUID));
        QVERIFY(LoginServerTime.isValid());
        QVERIFY(CurrentPasswordHash.isEmpty());  // the login button's business

        QCOMPARE(sessionOf(id), SessionGUID);
        QVERIFY(secondsSince("dt", "Sor_users", QStringLiteral("UserID=%1").arg(id)) < 60);
        QVERIFY(qAbs(secondsSince("dt", "users", QStringLiteral("ID=%1").arg(id))) < 60);
        if (hadSession)
            QCOMPARE(acctest::scalar(kDb, QStringLiteral("SELECT GameStatus FROM Sor_users WHERE UserID=%1").arg(id)).toInt(), 3);

        QVERIFY(dm->QVerGUID.active());
        QCOMPARE(dm->QVerGUID.recordCount(), 1);
        QCOMPARE(dm->QVerGUID.asLargeInt("UserID"), id);
        QCOMPARE(dm->QVerGUID.asString("Session"), SessionGUID);
    }

    // A wrong password reads the account lookup only and leaves everything as it was.
    void wrongPasswordLeavesEverything()
    {
        const qint64 id = acctest::addAccount(kDb, "wrong@tavrek.example", kDemoHash, "NOW() - INTERVAL 1 HOUR");
        QVERIFY(acctest::forgetLastLogin(kDb, id));
        QCOMPARE(sor::fLoginQuery(*dm, "wrong@tavrek.example", kDemoHash), 1);
        QVERIFY(acctest::forgetLastLogin(kDb, id));
        const QString session = SessionGUID;
        const QDateTime serverTime = LoginServerTime;
        const QStringList sorUsers = acctest::rows(kDb, "SELECT * FROM Sor_users ORDER BY UserID");
        const QStringList users = acctest::rows(kDb, "SELECT ID, dt FROM users ORDER BY ID");
        CurrentUserID = 77;
        CurrentLoginEmail = "someone@else.example";

        QCOMPARE(sor::fLoginQuery(*dm, "wrong@tavrek.example", sor::md5("Sorventa")), 0);

        QCOMPARE(CurrentUserID, 77);
        QCOMPARE(CurrentLoginEmail, QStringLiteral("someone@else.example"));
        QCOMPARE(SessionGUID, session);
        QCOMPARE(LoginServerTime, serverTime);
        QCOMPARE(acctest::rows(kDb, "SELECT * FROM Sor_users ORDER BY UserID"), sorUsers);
        QCOMPARE(acctest::rows(kDb, "SELECT ID, dt FROM users ORDER BY ID"), users);
        QCOMPARE(dm->QVerGUID.recordCount(), 1);
        QCOMPARE(dm->QVerGUID.asString("Session"), session);
        QVERIFY(dm->LoginQuery.isEmpty());
    }

    // Two copies of the program: the second login within 15 seconds is refused
    // with 2 but takes the session over anyway, and keeps being refused.
    void secondCopyTakesTheSessionOver()
    {
        const qint64 id = acctest::addAccount(kDb, "twice@tavrek.example", kDemoHash);
        TDataModule1 other(TestServer::clientParams(kDb));
        other.UniConnection1.open();

        QCOMPARE(sor::fLoginQuery(*dm, "twice@tavrek.example", kDemoHash), 1);
        const QString first = SessionGUID;
        QCOMPARE(sor::fLoginQuery(other, "twice@tavrek.example", kDemoHash), 2);
        const QString second = SessionGUID;
        QVERIFY(second != first);
        QCOMPARE(sessionOf(id), second);

        // The first copy's session check finds its session gone.
        dm->QVerGUID.close();
        dm->QVerGUID.open();
        QVERIFY(dm->QVerGUID.isEmpty());

        QCOMPARE(sor::fLoginQuery(other, "twice@tavrek.example", kDemoHash), 2);
        QVERIFY(SessionGUID != second);
        QCOMPARE(sessionOf(id), SessionGUID);
    }

    void resultFromTimes_data()
    {
        QTest::addColumn<qint64>("msBefore");  // last login this long before the server's now
        QTest::addColumn<int>("result");
        QTest::newRow("same moment") << qint64(0) << 2;
        QTest::newRow("14.999 s") << qint64(14999) << 2;
        QTest::newRow("15 s") << qint64(15000) << 1;
        QTest::newRow("a day") << qint64(86400000) << 1;
        QTest::newRow("14.999 s ahead") << qint64(-14999) << 2;
        QTest::newRow("15 s ahead") << qint64(-15000) << 1;
    }
    void resultFromTimes()
    {
        QFETCH(qint64, msBefore);
        QFETCH(int, result);
        const QDateTime now(QDate(2024, 3, 31), QTime(3, 0, 5));
        QCOMPARE(sor::loginResultFor(now.addMSecs(-msBefore), now), result);
        QCOMPARE(sor::loginResultFor(QDateTime(), now), 1);  // never logged in
    }

    void buttonRefuses_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        const QString missing = "Введите данные аккаунта для входа в программу!";
        const QString badAddress = "Адрес электронной почты указан неверно! ";
        const QString noMatch = "Адрес электронной почты или пароль указаны неверно!";
        QTest::newRow("both empty") << "" << "" << missing << "Сообщение. ";
        QTest::newRow("e-mail only blanks") << " \t " << "sorventa" << missing << "Сообщение. ";
        QTest::newRow("password only blanks") << kDemo << "   " << missing << "Сообщение. ";
        QTest::newRow("address without domain") << "demo@" << "sorventa" << badAddress << "Сообщение.";
        QTest::newRow("single-label domain") << "demo@tavrek" << "sorventa" << badAddress << "Сообщение.";
        QTest::newRow("wrong password") << kDemo << "Sorventa" << noMatch << "Сообщение. ";
        QTest::newRow("password with a blank around it") << kDemo << "sorventa " << noMatch << "Сообщение. ";
        QTest::newRow("unknown address") << "nobody@tavrek.example" << "sorventa" << noMatch << "Сообщение. ";
    }

    void buttonRefuses()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        const QStringList users = acctest::rows(kDb, "SELECT ID, dt FROM users ORDER BY ID");
        QCOMPARE(sor::submitLogin(*dm, this, email, password, true), sor::LoginOutcome::Refused);
        expectMessage(text, caption);
        QCOMPARE(CurrentUserID, 0);
        QVERIFY(CurrentPasswordHash.isEmpty());
        QVERIFY(!stored->contains("AutoLogin"));
        QCOMPARE(acctest::rows(kDb, "SELECT ID, dt FROM users ORDER BY ID"), users);
    }

    void buttonLogsIn_data()
    {
        QTest::addColumn<QString>("stored");    // the password the account was made with
        QTest::addColumn<QString>("typedEmail");
        QTest::addColumn<QString>("typed");     // the password typed
        QTest::newRow("e-mail in capitals, blanks around it") << "secret" << "  CAPS@Tavrek.EXAMPLE \t" << "secret";
        QTest::newRow("blanks around the password are part of it") << " secret " << "blanks@tavrek.example" << " secret ";
        QTest::newRow("Cyrillic password hashes as question marks") << "??????" << "cyr@tavrek.example" << "пароль";
        QTest::newRow("any six non-ASCII letters do as well") << "??????" << "cyr2@tavrek.example" << "абвгде";
    }

    void buttonLogsIn()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typedEmail);
        QFETCH(QString, typed);
        const QString email = typedEmail.trimmed().toLower();
        const qint64 id = acctest::addAccount(kDb, email, sor::md5(stored));

        QCOMPARE(sor::submitLogin(*dm, this, typedEmail, typed, false), sor::LoginOutcome::LoggedIn);
        QVERIFY(messages->messages.isEmpty());
        QCOMPARE(CurrentUserID, id);
        QCOMPARE(CurrentLoginEmail, email);
        QCOMPARE(CurrentPasswordHash, sor::md5(stored));
        QCOMPARE(sessionOf(id), SessionGUID);
    }

    void trimmedPasswordIsAnotherPassword()
    {
        acctest::addAccount(kDb, "spaced@tavrek.example", sor::md5(" secret "));
        QCOMPARE(sor::submitLogin(*dm, this, "spaced@tavrek.example", "secret", false), sor::LoginOutcome::Refused);
        expectMessage("Адрес электронной почты или пароль указаны неверно!", "Сообщение. ");
    }

    void buttonWithinFifteenSeconds()
    {
        const qint64 id = acctest::addAccount(kDb, "busy@tavrek.example", kDemoHash, "NOW()");
        QCOMPARE(sor::submitLogin(*dm, this, "busy@tavrek.example", "sorventa", true), sor::LoginOutcome::Refused);
        expectMessage("Под таким аккаунтом вход уже осуществлен!", "Сообщение. ");
        QVERIFY(CurrentPasswordHash.isEmpty());
        QVERIFY(!stored->contains("AutoLogin"));
        QCOMPARE(sessionOf(id), SessionGUID);  // replaced all the same
    }

    // The connection gone under the login: the data module deals with it (its
    // reconnect window, its retries); the login button adds nothing and the
    // player's context stays as it was.
    void lostConnectionEndsTheAttemptQuietly()
    {
        QVERIFY(sortest::killConnection(TestServer::dir(), connectionId(*dm)));
        QCOMPARE(sor::submitLogin(*dm, this, kDemo, "sorventa", true), sor::LoginOutcome::Failed);
        for (const sortest::RecordedMessage& m : std::as_const(messages->messages))
            QVERIFY2(m.owner != this, qPrintable(m.text));
        QCOMPARE(CurrentUserID, 0);
        QVERIFY(SessionGUID.isEmpty());
        QVERIFY(!stored->contains("AutoLogin"));
        QVERIFY(dm->TimerConnecting.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(dm->UniConnection1.connected(), 20000);
        QVERIFY(acctest::forgetLastLogin(kDb, acctest::scalar(kDb, "SELECT ID FROM users WHERE loginEmail='demo@tavrek.example'").toLongLong()));
        QCOMPARE(sor::submitLogin(*dm, this, kDemo, "sorventa", true), sor::LoginOutcome::LoggedIn);
    }
};

QTEST_GUILESS_MAIN(TestLogin)
#include "tst_login.moc"
