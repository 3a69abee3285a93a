// A lost connection as the player meets it: the reconnect window in front, the
// other windows disabled, silence about the loss while the window shows, a retry
// every second, and the way back into the game on the same query objects.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "data/DataModule.h"
#include "data/ReconnectWindow.h"
#include "platform/Process.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

using sor::TDbQuery;
using sortest::connectionId;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kDemo = QStringLiteral("demo@tavrek.example");

int reconnectWindowsShown()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrProcessReconnect*>(w) && w->isVisible())
            ++n;
    return n;
}

// The login's account lookup, left open.
void openAccountLookup(TDataModule1& dm)
{
    TDbQuery& q = dm.LoginQuery;
    q.setSql({"SELECT * ", "FROM users", "WHERE users.loginEmail=:lgn", "AND users.password=:pss"});
    q.bindString("lgn", kDemo);
    q.bindString("pss", dm.md5("sorventa"));
    q.open();
}

// The demo account's restore code: a column the client writes.
QString demoCode()
{
    QSqlQuery q(TestServer::admin(kDb, QStringLiteral("peek")));
    q.exec(QStringLiteral("SELECT CodeRest FROM users WHERE loginEmail='demo@tavrek.example'"));
    return q.next() ? q.value(0).toString() : QString();
}

// A server that accepts every connection and never says a word: what a host
// that drops the packets looks like to the client, without the firewall.
class SilentServer : public QTcpServer
{
public:
    int accepted = 0;
    SilentServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                ++accepted;
                s->setParent(this);  // held open, never written to
            }
        });
    }
};

// The longest time the event loop went without running a 10 ms timer.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            longest = qMax(longest, now - last_);
            last_ = now;
        });
        timer_.start(10);
    }
    // Up to now: a loop held since its last run counts too.
    qint64 longestNow() const { return qMax(longest, clock_.elapsed() - last_); }

private:
    qint64 longest = 0;
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;
};

}  // namespace

class TestReconnect : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<QWidget> mainWindow;

    std::unique_ptr<TDataModule1> connectedModule(const sortest::ClientParams& p)
    {
        auto dm = std::make_unique<TDataModule1>(p);
        dm->UniConnection1.open();
        return dm;
    }

    // Counts the refused connections (the silent retries) in `refused`; the
    // module's own report still runs.
    static void countRefused(TDataModule1& dm, int& refused)
    {
        const auto report = dm.UniConnection1.error;
        dm.UniConnection1.error = [&refused, report](const sor::EDbError& e, bool& fail) {
            if (e.number() == sor::erCannotConnect)
                ++refused;
            report(e, fail);
        };
    }

    // The reconnect window is up, in front, and the rest of the program waits.
    void expectReconnectWindow(TDataModule1& dm)
    {
        auto* w = qobject_cast<TfrProcessReconnect*>(ReconnectWindow.data());
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(w->isEnabled());
        QCOMPARE(w->objectName(), QStringLiteral("frProcessReconnect"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Прогресс подключения к серверу"));
        QCOMPARE(w->btnCloseApp->text(), QStringLiteral("Закрыть программу"));
        QCOMPARE(w->ProgressBar1->maximum(), 0);  // a running bar
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(reconnectWindowsShown(), 1);
        QVERIFY(!mainWindow->isEnabled());
        QVERIFY(dm.P.contains(mainWindow.get()));
        QVERIFY(dm.TimerConnecting.isActive());
        QCOMPARE(dm.TimerConnecting.interval(), 1000);
    }

    // The next timer attempt connects: the window goes, the program responds again.
    void expectBackWithin(TDataModule1& dm, int ms)
    {
        QTRY_VERIFY_WITH_TIMEOUT(dm.UniConnection1.connected(), ms);
        QVERIFY(ReconnectWindow.isNull());
        QVERIFY(!dm.TimerConnecting.isActive());
        QVERIFY(dm.P.isEmpty());
        QVERIFY(mainWindow->isEnabled());
        QTRY_COMPARE(reconnectWindowsShown(), 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        sor::installReconnectWindow();
    }

    void init()
    {
        messages = std::make_unique<sortest::MessageRecorder>();
        mainWindow = std::make_unique<QWidget>();
        mainWindow->setObjectName(QStringLiteral("frMain"));
        mainWindow->show();
    }

    void cleanup()
    {
        mainWindow.reset();
        messages.reset();
        QTRY_COMPARE(reconnectWindowsShown(), 0);
    }

    // Killed between two statements: every operation after it fails quietly, one
    // window however many fail, and the same objects work again afterwards.
    void killedBetweenStatements()
    {
        auto dm = connectedModule(TestServer::clientParams(kDb));
        openAccountLookup(*dm);
        QCOMPARE(dm->LoginQuery.recordCount(), 1);
        QVERIFY(sortest::killConnection(TestServer::dir(), connectionId(*dm)));

        dm->LoginQuery.close();
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->LoginQuery.open());
        expectReconnectWindow(*dm);
        QObject* window = ReconnectWindow;

        dm->QueryQuery.setSql({"UPDATE  users ", "SET dt= NOW()", "WHERE ID=:id"});
        dm->QueryQuery.bindLargeInt("id", 1);
        QVERIFY(!dm->UniConnection1.execInTransaction(dm->QueryQuery));
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->QueryClockServer.open());
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->UniConnection1.startTransaction());
        QCOMPARE(ReconnectWindow.data(), window);
        QCOMPARE(reconnectWindowsShown(), 1);
        QVERIFY(messages->messages.isEmpty());

        expectBackWithin(*dm, 10000);
        QVERIFY(messages->messages.isEmpty());

        // Reopened as they were: statements prepared again on the new connection.
        dm->LoginQuery.close();
        dm->LoginQuery.open();
        QCOMPARE(dm->LoginQuery.asString("loginEmail"), kDemo);
        dm->QueryClockServer.close();
        dm->QueryClockServer.open();
        QVERIFY(dm->QueryClockServer.asDateTime("dtsr").isValid());
        QVERIFY(dm->UniConnection1.execInTransaction(dm->QueryQuery));
    }

    // Killed while a statement runs on the server.
    void killedWhileAStatementRuns()
    {
        auto dm = connectedModule(TestServer::clientParams(kDb));
        const qint64 id = connectionId(*dm);
        dm->QueryQuery.setSql({"SELECT SLEEP(:s) AS slept"});
        dm->QueryQuery.bindInteger("s", 8);
        {
            sortest::WhenBusy busy(TestServer::dir(), id, sortest::killIt(id));
            QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->QueryQuery.open());
            busy.wait();
            QVERIFY(busy.sawBusy());
        }
        expectReconnectWindow(*dm);
        QVERIFY(messages->messages.isEmpty());
        expectBackWithin(*dm, 10000);

        dm->QueryQuery.bindInteger("s", 0);
        dm->QueryQuery.open();
        QCOMPARE(dm->QueryQuery.asInteger("slept"), 0);
    }

    // The game's own timers keep running statements while the connection is lost
    // (its 100 ms clock check): each fails quietly, and the retries go on regardless.
    void retriesGoOnWhileTheGameKeepsTrying()
    {
        auto dm = connectedModule(TestServer::clientParams(kDb));
        QVERIFY(sortest::killConnection(TestServer::dir(), connectionId(*dm)));
        int aborted = 0, succeeded = 0;
        QTimer game;
        connect(&game, &QTimer::timeout, this, [&] {
            try {
                dm->QueryClockServer.close();
                dm->QueryClockServer.open();
                ++succeeded;
            } catch (const sor::EDbAbort&) {
                ++aborted;
            }
        });
        game.start(100);
        QTRY_VERIFY_WITH_TIMEOUT(aborted >= 1 && ReconnectWindow, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(succeeded >= 3, 15000);
        game.stop();
        QVERIFY(ReconnectWindow.isNull());
        QVERIFY(messages->messages.isEmpty());
    }

    // A write cut off by the loss is rolled back with the connection and not
    // repeated by the connection; the player hears about the loss once.
    void interruptedWriteIsRolledBackNotRepeated()
    {
        auto dm = connectedModule(TestServer::clientParams(kDb));
        const qint64 id = connectionId(*dm);
        const QString before = demoCode();

        QSqlDatabase locker = TestServer::admin(kDb, QStringLiteral("locker"));
        QVERIFY(locker.transaction());
        QSqlQuery lock(locker);
        QVERIFY(lock.exec(QStringLiteral("SELECT * FROM users WHERE loginEmail='demo@tavrek.example' FOR UPDATE")));

        TDbQuery& q = dm->QueryQuery;
        q.setSql({"UPDATE  users ", "SET CodeRest=:nm", "WHERE loginEmail=:lgn"});
        q.bindString("nm", "Изменено");
        q.bindString("lgn", kDemo);
        {
            sortest::WhenBusy busy(TestServer::dir(), id, sortest::killIt(id));
            QVERIFY(!dm->UniConnection1.execInTransaction(q));
            busy.wait();
            QVERIFY(busy.sawBusy());
        }
        QVERIFY(locker.rollback());

        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages[0].text, QStringLiteral("Потеряна связь с Интернет (базой данных)!"));
        QCOMPARE(messages->messages[0].caption, QStringLiteral("Внимание! "));
        QVERIFY(ReconnectWindow.isNull());  // inside a transaction: a message, no window
        QVERIFY(dm->TimerConnecting.isActive());
        QVERIFY(!dm->UniConnection1.inTransaction());

        expectBackWithin(*dm, 10000);
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(demoCode(), before);

        // The caller may try again on the same object.
        int changed = 0;
        QVERIFY(dm->UniConnection1.execInTransaction(q, [&] { changed = q.rowsAffected(); }));
        QCOMPARE(changed, 1);
        QCOMPARE(demoCode(), QStringLiteral("Изменено"));
    }

    // The server stopped while a statement runs, and started again later: silent
    // retries once a second meanwhile, then back on the same objects.
    void serverStoppedAndRestarted()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        sortest::PrivateServer server(tmp.path() + QStringLiteral("/srv"));
        QVERIFY(server.start());
        const sortest::ClientParams p = server.clientParams();
        auto dm = connectedModule(p);

        int refused = 0;
        countRefused(*dm, refused);

        openAccountLookup(*dm);
        const qint64 id = connectionId(*dm);
        dm->QueryQuery.setSql({"SELECT SLEEP(8)"});
        {
            const QString dir = server.dir();
            sortest::WhenBusy busy(dir, id, [dir](QSqlDatabase&) {
                const QString stop = QStringLiteral("'%1' stop --dir '%2' >/dev/null 2>&1")
                                         .arg(QStringLiteral(SOR_GAME_SERVER_SCRIPT), dir);
                if (std::system(stop.toLocal8Bit().constData()) != 0)
                    qWarning("could not stop the server");
            });
            QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->QueryQuery.open());
            busy.wait();
            QVERIFY(busy.sawBusy());
        }
        expectReconnectWindow(*dm);

        QTRY_VERIFY_WITH_TIMEOUT(refused >= 3, 20000);
        QVERIFY(messages->messages.isEmpty());
        QCOMPARE(reconnectWindowsShown(), 1);
        QVERIFY(dm->TimerConnecting.isActive());
        QVERIFY(!mainWindow->isEnabled());

        QVERIFY(server.start());
        expectBackWithin(*dm, 20000);
        QVERIFY(messages->messages.isEmpty());

        dm->LoginQuery.close();
        dm->LoginQuery.open();
        QCOMPARE(dm->LoginQuery.asString("loginEmail"), kDemo);
        dm->QueryQuery.setSql({"SELECT VerSorventa", "FROM  Version "});
        dm->QueryQuery.open();
        QCOMPARE(dm->QueryQuery.recordCount(), 1);
    }

    // The server goes away in the middle of a write and stays away: the player hears
    // of the loss once; the retries are silent; the next action brings the window.
    void serverGoneDuringAWrite()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        sortest::PrivateServer server(tmp.path() + QStringLiteral("/srv"));
        QVERIFY(server.start());
        const sortest::ClientParams p = server.clientParams();
        auto dm = connectedModule(p);
        int refused = 0;
        countRefused(*dm, refused);

        const qint64 id = connectionId(*dm);
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"UPDATE  users ", "SET CodeRest=IF(SLEEP(:s)=0, :nm, CodeRest)", "WHERE loginEmail=:lgn"});
        q.bindInteger("s", 8);
        q.bindString("nm", "Изменено");
        q.bindString("lgn", kDemo);
        {
            const QString dir = server.dir();
            sortest::WhenBusy busy(dir, id, [dir](QSqlDatabase&) {
                const QString stop = QStringLiteral("'%1' stop --dir '%2' >/dev/null 2>&1")
                                         .arg(QStringLiteral(SOR_GAME_SERVER_SCRIPT), dir);
                if (std::system(stop.toLocal8Bit().constData()) != 0)
                    qWarning("could not stop the server");
            });
            QVERIFY(!dm->UniConnection1.execInTransaction(q));
            busy.wait();
            QVERIFY(busy.sawBusy());
        }
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages[0].text, QStringLiteral("Потеряна связь с Интернет (базой данных)!"));
        QVERIFY(ReconnectWindow.isNull());
        QVERIFY(mainWindow->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(refused >= 2, 20000);
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY(dm->TimerConnecting.isActive());

        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->QueryClockServer.open());
        expectReconnectWindow(*dm);
        QCOMPARE(messages->messages.size(), 1);

        QVERIFY(server.start());
        expectBackWithin(*dm, 20000);
        q.bindInteger("s", 0);
        QVERIFY(dm->UniConnection1.execInTransaction(q));  // repeated by the caller, not by the connection
        QCOMPARE(messages->messages.size(), 1);
    }

    // Lost while a modal window runs (the login): the reconnect window still takes
    // the input, and the modal window gets it back afterwards.
    void inFrontOfAModalWindow()
    {
        auto dm = connectedModule(TestServer::clientParams(kDb));
        QDialog login(mainWindow.get());
        login.setObjectName(QStringLiteral("frmInput"));
        bool shown = false, inFront = false, loginDisabled = false, loginBack = false;
        QTimer::singleShot(0, &login, [&] {
            sortest::killConnection(TestServer::dir(), connectionId(*dm));
            try {
                openAccountLookup(*dm);
            } catch (const sor::EDbAbort&) {
            }
            shown = reconnectWindowsShown() == 1;
            inFront = ReconnectWindow && QApplication::activeModalWidget() == ReconnectWindow.data();
            loginDisabled = !login.isEnabled();
        });
        QTimer poll;
        connect(&poll, &QTimer::timeout, &login, [&] {
            if (shown && ReconnectWindow.isNull() && dm->UniConnection1.connected()) {
                loginBack = login.isEnabled() && QApplication::activeModalWidget() == &login;
                login.accept();
            }
        });
        poll.start(50);
        QTimer::singleShot(20000, &login, &QDialog::reject);
        QCOMPARE(login.exec(), int(QDialog::Accepted));
        QVERIFY(shown);
        QVERIFY(inFront);
        QVERIFY(loginDisabled);
        QVERIFY(loginBack);
        QVERIFY(messages->messages.isEmpty());
    }

    // Lost, and the server then accepts the attempts but never greets: each
    // attempt waits out its bound without the program standing still (the window,
    // its button, the speech and the tour clock all run on this loop), stays
    // silent as any failed attempt does, and the server's return is found.
    void silentServerLeavesTheWindowLive()
    {
        SilentServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        auto dm = connectedModule(TestServer::clientParams(kDb));
        int failed = 0;
        countRefused(*dm, failed);
        sortest::ClientParams away = TestServer::clientParams(kDb);
        away.port = silent.serverPort();
        dm->UniConnection1.setParams(away);
        QVERIFY(sortest::killConnection(TestServer::dir(), connectionId(*dm)));
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->QueryClockServer.open());
        expectReconnectWindow(*dm);

        StallMeter meter;
        QTRY_VERIFY_WITH_TIMEOUT(failed >= 2, 20000);  // two attempts given up at their bound
        const qint64 stall = meter.longestNow();
        qInfo("longest event-loop stall over %d attempts at a silent server: %lld ms", silent.accepted, stall);
        QVERIFY2(stall < 1000, qPrintable(QString("the loop stood still for %1 ms").arg(stall)));
        QVERIFY(silent.accepted >= 2);
        QVERIFY(messages->messages.isEmpty());
        QCOMPARE(reconnectWindowsShown(), 1);
        QVERIFY(dm->TimerConnecting.isActive());

        dm->UniConnection1.setParams(TestServer::clientParams(kDb));
        expectBackWithin(*dm, 10000);
        QVERIFY(messages->messages.isEmpty());
    }

    // A connect made in the middle of an action (the game's one attempt to get its
    // row back) waits for a silent server with the timers running, and fails as
    // an unreachable server does.
    void directConnectToASilentServer()
    {
        SilentServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        sortest::ClientParams away = TestServer::clientParams(kDb);
        away.port = silent.serverPort();
        TDataModule1 dm(away);
        StallMeter meter;
        QElapsedTimer took;
        took.start();
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm.UniConnection1.open());
        const qint64 stall = meter.longestNow();
        qInfo("a connect to a silent server gave up after %lld ms; longest event-loop stall %lld ms", took.elapsed(),
              stall);
        QVERIFY2(stall < 1000, qPrintable(QString("the loop stood still for %1 ms").arg(stall)));
        QVERIFY(!dm.UniConnection1.connected());
        QTRY_COMPARE(silent.accepted, 1);
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages[0].text, QStringLiteral("Отсутствует связь с базой данных!"));
    }

    // "Закрыть программу" ends the program at once, through the usual end.
    void closeProgramButtonEndsTheProgram()
    {
        auto dm = connectedModule(TestServer::clientParams(kDb));
        QVERIFY(sortest::killConnection(TestServer::dir(), connectionId(*dm)));
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm->QueryClockServer.open());
        auto* w = qobject_cast<TfrProcessReconnect*>(ReconnectWindow.data());
        QVERIFY(w);

        bool endRan = false;
        sor::addProgramEndHook([&] { endRan = true; });
        sor::setHaltHandler([] { throw sor::HaltRequested{}; });
        QVERIFY_THROWS_EXCEPTION(sor::HaltRequested, QTest::mouseClick(w->btnCloseApp, Qt::LeftButton));
        sor::setHaltHandler(nullptr);
        QVERIFY(endRan);
    }
};

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
