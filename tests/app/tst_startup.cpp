// The start-up order and its roads out, with fakes in place of the windows and
// the data module.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "app/ProgramSteps.h"
#include "data/SessionContext.h"
#include "app/Startup.h"

namespace {

class FakeSteps : public sor::StartupSteps
{
public:
    bool connects = true;
    bool outdated = false;
    bool storedLoginFails = true;  // showLogin() result
    int loginResult = 1;

    QStringList calls;

    void initApplication() override { calls << "init"; }
    void createDataModule() override { calls << "dataModule"; }
    bool prepareConnection() override
    {
        calls << "prepare";
        if (connects)
            AppOutdated = outdated;
        return connects;
    }
    void terminate() override { calls << "terminate"; }
    void createSpeechSet() override { calls << "speechSet"; }
    void createLoginWindow() override { calls << "loginWindow"; }
    bool showLogin() override
    {
        calls << "showLogin";
        return storedLoginFails;
    }
    int showLoginModal() override
    {
        calls << "loginModal";
        return loginResult;
    }
    void createMainWindow() override { calls << "mainWindow"; }
    void freeLoginWindow() override { calls << "freeLogin"; }
    int runMessageLoop() override
    {
        calls << "loop";
        return 42;
    }
};

}  // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    // The session context as the program starts, before any case or reset ran.
    struct Context
    {
        qint64 userId;
        QString email, hash, guid;
        QDateTime serverTime;
        bool outdated;
    };
    static Context current()
    {
        return {CurrentUserID, CurrentLoginEmail, CurrentPasswordHash, SessionGUID, LoginServerTime, AppOutdated};
    }
    static void expectEmpty(const Context& c)
    {
        QCOMPARE(c.userId, 0);
        QVERIFY(c.email.isEmpty());
        QVERIFY(c.hash.isEmpty());
        QVERIFY(c.guid.isEmpty());
        QVERIFY(!c.serverTime.isValid());
        QVERIFY(!c.outdated);
    }
    Context atStart{};

private slots:
    void initTestCase() { atStart = current(); }
    void init() { sor::resetSessionContext(); }

    void order_data()
    {
        QTest::addColumn<bool>("connects");
        QTest::addColumn<bool>("outdated");
        QTest::addColumn<bool>("storedLoginFails");
        QTest::addColumn<int>("loginResult");
        QTest::addColumn<QString>("expected");

        QTest::newRow("no connection: nothing else is created")
            << false << false << true << 1 << "init dataModule prepare loop";
        QTest::newRow("outdated: ends before speech and login")
            << true << true << true << 1 << "init dataModule prepare terminate loop";
        QTest::newRow("stored login: no login window shown")
            << true << false << false << 1
            << "init dataModule prepare speechSet loginWindow showLogin mainWindow freeLogin loop";
        QTest::newRow("login window, logged in")
            << true << false << true << 1
            << "init dataModule prepare speechSet loginWindow showLogin loginModal mainWindow freeLogin loop";
        QTest::newRow("login window closed: terminate, window still freed")
            << true << false << true << 2
            << "init dataModule prepare speechSet loginWindow showLogin loginModal terminate freeLogin loop";
        QTest::newRow("any result but 1 is a refusal")
            << true << false << true << 0
            << "init dataModule prepare speechSet loginWindow showLogin loginModal terminate freeLogin loop";
    }

    void order()
    {
        QFETCH(bool, connects);
        QFETCH(bool, outdated);
        QFETCH(bool, storedLoginFails);
        QFETCH(int, loginResult);
        QFETCH(QString, expected);

        FakeSteps steps;
        steps.connects = connects;
        steps.outdated = outdated;
        steps.storedLoginFails = storedLoginFails;
        steps.loginResult = loginResult;
        const int code = sor::runStartup(steps);
        QCOMPARE(steps.calls.join(' '), expected);
        QCOMPARE(code, 42);  // the message loop's result is the program's
    }

    // As the program starts, and again after a reset of a filled context.
    void sessionContextStartsEmpty()
    {
        expectEmpty(atStart);
        CurrentUserID = 7;
        CurrentLoginEmail = QStringLiteral("demo@tavrek.example");
        CurrentPasswordHash = QStringLiteral("9094d4623a7552bbeab2a9d86111f2d3");
        SessionGUID = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
        LoginServerTime = QDateTime::currentDateTime();
        AppOutdated = true;
        sor::resetSessionContext();
        expectEmpty(current());
    }

    // Without a main window the real message loop must return at once, not wait
    // for a window that will never close.
    void realLoopReturnsAtOnceWithoutMainWindow()
    {
        sor::ProgramSteps steps(*qApp);
        steps.terminate();
        QElapsedTimer t;
        t.start();
        QCOMPARE(steps.runMessageLoop(), 0);
        QVERIFY(t.elapsed() < 5000);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
