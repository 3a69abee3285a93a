// TMMTimer with its real timer thread: the defaults, the errors, when a
// platform timer runs and when it restarts, destruction while ticking, and the
// hand-over of ticks to the GUI thread.

#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/MMTimer.h"
#include "platform/MultimediaTimer.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::function<void(TMMTimer&)>)

namespace {

using Action = std::function<void(TMMTimer&)>;

// Records the ticks of one timer, on whatever thread they come.
struct Ticks
{
    std::mutex mutex;
    std::vector<Clock::time_point> times;
    std::vector<QObject*> senders;
    std::atomic<int> count{0};
    std::atomic<bool> offMainThread{true};

    TNotifyEvent handler()
    {
        return [this](QObject* sender) {
            {
                std::lock_guard lock(mutex);
                times.push_back(Clock::now());
                senders.push_back(sender);
            }
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                offMainThread = false;
            count.fetch_add(1);
        };
    }

    // The first tick after `after`; waits for it up to `timeoutMs`.
    std::optional<Clock::time_point> firstAfter(Clock::time_point after, int timeoutMs = 5000)
    {
        std::optional<Clock::time_point> found;
        (void)QTest::qWaitFor(
            [&] {
                std::lock_guard lock(mutex);
                for (auto t : times)
                    if (t > after) {
                        found = t;
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }

    Clock::time_point last()
    {
        std::lock_guard lock(mutex);
        return times.back();
    }
};

// Waits and reports whether any tick came meanwhile.
bool ticksDuring(Ticks& ticks, int ms)
{
    const int before = ticks.count.load();
    QTest::qWait(ms);
    return ticks.count.load() != before;
}

}  // namespace

class TestMMTimer : public QObject
{
    Q_OBJECT

private slots:
    void defaults()
    {
        TMMTimer timer;
        QCOMPARE(timer.Enabled(), true);
        QCOMPARE(timer.Delay(), 1000u);
        QCOMPARE(timer.Resolution(), 100u);
        QCOMPARE(timer.Mode(), mmePeriodic);
        QVERIFY(!timer.OnTimer());
        QCOMPARE(timer.MinPeriod(), 1u);
        QCOMPARE(timer.MaxPeriod(), 1'000'000u);
        QCOMPARE(timer.TimerID(), 0u);  // no handler yet: nothing runs
        QCOMPARE(int(mmeOneShort), 0);
        QCOMPARE(int(mmePeriodic), 1);
    }

    void errors()
    {
        sor::mmtimer::testing::setDevCapsFails(true);
        try {
            TMMTimer timer;
            sor::mmtimer::testing::setDevCapsFails(false);
            QFAIL("created without device capabilities");
        } catch (const EMMTimerError& e) {
            sor::mmtimer::testing::setDevCapsFails(false);
            QCOMPARE(QString(e.what()), QString("Can't get DevCaps for MMTimer"));
        }

        // A delay the platform refuses: the setter raises, the value stays
        // stored and the timer stays stopped.
        Ticks ticks;
        TMMTimer timer;
        timer.SetDelay(50);
        timer.SetOnTimer(ticks.handler());
        QVERIFY(timer.TimerID() != 0);
        try {
            timer.SetDelay(timer.MaxPeriod() + 1);
            QFAIL("an impossible delay was accepted");
        } catch (const EMMTimerError& e) {
            QCOMPARE(QString(e.what()), QString("Can't start multimedia timer"));
        }
        QCOMPARE(timer.Delay(), timer.MaxPeriod() + 1);
        QCOMPARE(timer.TimerID(), 0u);
        QVERIFY(!ticksDuring(ticks, 300));
        timer.SetDelay(50);
        QVERIFY(timer.TimerID() != 0);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count.load() > 0, 5000);
    }

    // The tour clock's own settings: a tick every 1000 ms on the timer thread,
    // with the component as sender, on absolute deadlines.
    void ticksEverySecondWithTheComponentAsSender()
    {
        Ticks ticks;
        TMMTimer timer;
        const auto start = Clock::now();
        timer.SetOnTimer(ticks.handler());
        QVERIFY(timer.TimerID() != 0);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count.load() >= 3, 10000);
        timer.SetEnabled(false);

        std::lock_guard lock(ticks.mutex);
        QVERIFY(ticks.offMainThread);
        for (size_t k = 0; k < 3; ++k) {
            QCOMPARE(ticks.senders[k], static_cast<QObject*>(&timer));
            const auto since = ticks.times[k] - start;
            QVERIFY2(since >= (k + 1) * 1000ms - 1ms, "a tick came early");
            QVERIFY2(since < (k + 1) * 1000ms + 500ms, "a tick came far too late");
        }
    }

    // The form stores the tour clock disabled with its handler assigned:
    // nothing runs until the game enables it.
    void storedDisabledStartsNothing()
    {
        Ticks ticks;
        TMMTimer timer;
        timer.SetEnabled(false);
        timer.SetDelay(50);
        timer.SetOnTimer(ticks.handler());
        QCOMPARE(timer.TimerID(), 0u);
        QVERIFY(!ticksDuring(ticks, 300));

        timer.SetEnabled(true);
        QVERIFY(timer.TimerID() != 0);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count.load() >= 2, 5000);
    }

    // Each way of stopping, and starting again: the next tick then comes a
    // full Delay after the start, never earlier.
    void stopsAndStartsAgain_data()
    {
        QTest::addColumn<Action>("stop");
        QTest::addColumn<Action>("start");

        QTest::newRow("Enabled false")
            << Action([](TMMTimer& t) { t.SetEnabled(false); })
            << Action([](TMMTimer& t) { t.SetEnabled(true); });
        QTest::newRow("Delay 0 while Enabled")
            << Action([](TMMTimer& t) { t.SetDelay(0); })
            << Action([](TMMTimer& t) { t.SetDelay(200); });
        QTest::newRow("OnTimer unassigned") << Action([](TMMTimer& t) { t.SetOnTimer(nullptr); })
                                            << Action();  // the test assigns it again
    }
    void stopsAndStartsAgain()
    {
        QFETCH(Action, stop);
        QFETCH(Action, start);

        Ticks ticks;
        TMMTimer timer;
        timer.SetDelay(200);
        timer.SetOnTimer(ticks.handler());
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count.load() >= 1, 5000);

        stop(timer);
        QCOMPARE(timer.TimerID(), 0u);
        if (QTest::currentDataTag() == QByteArray("Delay 0 while Enabled"))
            QVERIFY(timer.Enabled());
        QVERIFY(!ticksDuring(ticks, 700));

        const auto restarted = Clock::now();
        if (start)
            start(timer);
        else
            timer.SetOnTimer(ticks.handler());
        QVERIFY(timer.TimerID() != 0);
        const auto next = ticks.firstAfter(restarted);
        QVERIFY(next);
        QVERIFY2(*next - restarted >= 199ms, "the new period was cut short");
    }

    // A setter given the value it holds keeps the running timer and its phase;
    // a changed value or any assignment of OnTimer starts a new full period.
    void restartOnlyWhenSomethingChanges_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("restarts");

        QTest::newRow("Enabled true again") << Action([](TMMTimer& t) { t.SetEnabled(true); }) << false;
        QTest::newRow("the same Delay") << Action([](TMMTimer& t) { t.SetDelay(t.Delay()); }) << false;
        QTest::newRow("the same Resolution")
            << Action([](TMMTimer& t) { t.SetResolution(t.Resolution()); }) << false;
        QTest::newRow("the same Mode") << Action([](TMMTimer& t) { t.SetMode(mmePeriodic); }) << false;
        QTest::newRow("OnTimer given the same handler")
            << Action([](TMMTimer& t) { t.SetOnTimer(t.OnTimer()); }) << true;
        QTest::newRow("a new Resolution") << Action([](TMMTimer& t) { t.SetResolution(1); }) << true;
    }
    void restartOnlyWhenSomethingChanges()
    {
        QFETCH(Action, action);
        QFETCH(bool, restarts);
        constexpr auto period = 600ms;

        Ticks ticks;
        TMMTimer timer;
        timer.SetDelay(600);
        timer.SetOnTimer(ticks.handler());

        // Act half-way between two ticks, so that the old phase (next tick in
        // about 300 ms) and a new one (600 ms) are far apart.
        Clock::time_point changed;
        for (int attempt = 0;; ++attempt) {
            QVERIFY(attempt < 10);
            const auto tick = ticks.firstAfter(Clock::now());
            QVERIFY(tick);
            QTest::qWait(std::max(0, 300 - int((Clock::now() - *tick) / 1ms)));
            changed = Clock::now();
            const auto sinceTick = changed - ticks.last();
            if (sinceTick >= 200ms && sinceTick <= 400ms)
                break;  // mid-period; otherwise the machine held us up: again
        }
        const quint32 idBefore = timer.TimerID();
        action(timer);
        QCOMPARE(timer.TimerID() != idBefore, restarts);

        const auto next = ticks.firstAfter(changed);
        QVERIFY(next);
        if (restarts)
            QVERIFY2(*next - changed >= period - 1ms, "restarted, yet the next tick came early");
        else
            QVERIFY2(*next - changed < period - 100ms, "the phase moved: the timer was restarted");
    }

    void oneShotFiresOnceAndKeepsItsId()
    {
        Ticks ticks;
        TMMTimer timer;
        timer.SetMode(mmeOneShort);
        timer.SetDelay(100);
        timer.SetOnTimer(ticks.handler());
        QTRY_COMPARE_WITH_TIMEOUT(ticks.count.load(), 1, 5000);
        QVERIFY(!ticksDuring(ticks, 500));
        QVERIFY(timer.TimerID() != 0);

        timer.SetEnabled(false);  // stops it again: nothing to stop, nothing breaks
        QCOMPARE(timer.TimerID(), 0u);
    }

    // Destroying a running timer waits for a tick in progress and lets no
    // other start; the handler reads its sender, so a late call would read a
    // destroyed object (caught by the sanitizer build).
    void destroyingStopsTheCallsFirst()
    {
        std::atomic<bool> inside{false};
        std::atomic<int> calls{0};
        auto* timer = new TMMTimer;
        timer->SetDelay(5);
        timer->SetOnTimer([&](QObject* sender) {
            inside = true;
            std::this_thread::sleep_for(100ms);
            const auto* t = qobject_cast<TMMTimer*>(sender);
            if (t && t->Delay() == 5)
                calls.fetch_add(1);
            inside = false;
        });
        QTRY_VERIFY_WITH_TIMEOUT(inside.load(), 5000);
        delete timer;
        QVERIFY(!inside.load());
        const int after = calls.load();
        QTest::qWait(300);
        QCOMPARE(calls.load(), after);
        QVERIFY(after >= 1);
    }

    // Many short-lived timers destroyed at random points of their ticks.
    void destroyingUnderChurn()
    {
        std::atomic<int> calls{0};
        for (int i = 0; i < 200; ++i) {
            auto* timer = new TMMTimer;
            timer->SetDelay(1);
            timer->SetOnTimer([&calls](QObject* sender) {
                if (qobject_cast<TMMTimer*>(sender)->Delay() == 1)
                    calls.fetch_add(1);
            });
            std::this_thread::sleep_for(std::chrono::microseconds(500 + (i % 7) * 300));
            delete timer;
        }
        QVERIFY(calls.load() > 0);
    }

    // OnGuiThread: every tick reaches the GUI thread, in order and exactly
    // once, also when the GUI thread was busy and ticks piled up.
    void ticksReachTheGuiThread()
    {
        std::atomic<int> fired{0};
        int delivered = 0;
        bool onGui = true, neverAhead = true, senderRight = true;
        TMMTimer timer;
        const auto gui = TMMTimer::OnGuiThread([&](QObject* sender) {
            ++delivered;
            onGui = onGui && QThread::currentThread() == thread();
            neverAhead = neverAhead && delivered <= fired.load();
            senderRight = senderRight && sender == &timer;
        });
        timer.SetDelay(50);
        timer.SetOnTimer([&, gui](QObject* sender) {
            fired.fetch_add(1);
            gui(sender);
        });

        std::this_thread::sleep_for(500ms);  // the GUI thread is busy
        QVERIFY(delivered == 0);
        QVERIFY(fired.load() >= 3);
        // None lost, none twice: the GUI side catches up with the timer.
        QTRY_VERIFY_WITH_TIMEOUT(delivered >= 8 && delivered == fired.load(), 5000);
        timer.SetEnabled(false);
        QVERIFY(onGui);
        QVERIFY(neverAhead);
        QVERIFY(senderRight);
    }

    // Ticks still waiting for the GUI thread when the timer is stopped,
    // restarted or destroyed are dropped: a countdown that has been switched
    // off does not move again.
    void waitingTicksAreDroppedWhenTheTimerStops_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("disabled") << "disable";
        QTest::newRow("restarted with a new Delay") << "delay";
        QTest::newRow("destroyed") << "destroy";
    }
    void waitingTicksAreDroppedWhenTheTimerStops()
    {
        QFETCH(QString, how);

        std::atomic<int> fired{0};
        int delivered = 0;
        QPointer<TMMTimer> timer = new TMMTimer;
        const auto gui = TMMTimer::OnGuiThread([&](QObject*) { ++delivered; });
        timer->SetDelay(20);
        timer->SetOnTimer([&, gui](QObject* sender) {
            fired.fetch_add(1);
            gui(sender);
        });

        std::this_thread::sleep_for(300ms);  // ticks pile up for the busy GUI thread
        QVERIFY(fired.load() >= 2);
        if (how == "disable")
            timer->SetEnabled(false);
        else if (how == "delay")
            timer->SetDelay(100'000);
        else
            delete timer;
        QTest::qWait(300);
        QCOMPARE(delivered, 0);
        delete timer;
    }
};

QTEST_GUILESS_MAIN(TestMMTimer)
#include "tst_mmtimer.moc"
