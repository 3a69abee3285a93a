// The window does not wait on a connect: a relay in front of the game server
// lets the greeting through and then stalls, and the event loop keeps running
// (the longest stall is printed), keys are answered, and the connect bound
// ends it as a server that is not there.

#include <QApplication>
#include <QElapsedTimer>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "data/DataModule.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/Relay.h"
#include "support/TestServer.h"

using sortest::Relay;
using sortest::TestServer;

namespace {

const QString kDb = TestServer::ownDatabase();

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
    qint64 longestNow() const { return qMax(longest, clock_.elapsed() - last_); }

private:
    qint64 longest = 0;
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;
};

// A window with the game's two keys that must work while the server is
// waited for: Ctrl+Space (stop the speech) and Ctrl+T (the time left). Every
// 200 ms both are typed; what was answered is counted.
class Player : public QObject
{
public:
    QWidget window;
    int stops = 0, times = 0;

    Player()
    {
        window.setObjectName(QStringLiteral("frMain"));
        auto* stop = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space), &window);
        connect(stop, &QShortcut::activated, this, [this] { ++stops; });
        auto* time = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), &window);
        connect(time, &QShortcut::activated, this, [this] { ++times; });
        window.show();
        QApplication::setActiveWindow(&window);
        typing_.setInterval(200);
        connect(&typing_, &QTimer::timeout, this, [this] {
            QTest::keyClick(&window, Qt::Key_Space, Qt::ControlModifier);
            QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
        });
    }
    void startTyping() { typing_.start(); }
    void stopTyping() { typing_.stop(); }

private:
    QTimer typing_;
};

}  // namespace

class TestServerWait : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::MessageRecorder> messages;

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init() { messages = std::make_unique<sortest::MessageRecorder>(); }
    void cleanup() { messages.reset(); }

    // The server greets, then says nothing more: the connect gives up at its
    // bound, as a server that is not there, with the loop live all along.
    void greetsThenStalls()
    {
        Relay relay(TestServer::port());
        relay.setMode(Relay::StallAfterGreeting);
        sortest::ClientParams p = TestServer::clientParams(kDb);
        p.port = relay.port();
        TDataModule1 dm(p);
        Player player;
        StallMeter meter;
        QElapsedTimer took;
        took.start();
        player.startTyping();
        QVERIFY_THROWS_EXCEPTION(sor::EDbAbort, dm.UniConnection1.open());
        player.stopTyping();
        const qint64 stall = meter.longestNow();
        qInfo("greeted, then stalled: gave up after %lld ms; longest event-loop stall %lld ms; "
              "Ctrl+Space answered %d times, Ctrl+T %d times meanwhile",
              took.elapsed(), stall, player.stops, player.times);
        QVERIFY2(stall < 100, qPrintable(QString::number(stall)));
        QVERIFY(took.elapsed() < 12000);
        QVERIFY(player.stops >= 3 && player.times >= 3);
        QCOMPARE(relay.accepted(), 1);
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages[0].text, QStringLiteral("Отсутствует связь с базой данных!"));
    }
};

QTEST_MAIN(TestServerWait)
#include "tst_serverwait.moc"
