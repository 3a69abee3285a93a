// The multimedia timer service on its real thread: ticks on absolute deadlines,
// refusals, one-shots, and the promise of timeKillEvent (no callback after it
// returns, no deadlock when a callback stops its own timer).

#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/MultimediaTimer.h"

using namespace sor::mmtimer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// What one timer's callbacks saw; the user value of the timer.
struct Probe
{
    std::mutex mutex;
    std::vector<Clock::time_point> starts;
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> onCallerThread{false};
    std::thread::id caller = std::this_thread::get_id();
    Clock::duration work{0};     // how long each callback takes
    Clock::duration firstWork{0};  // how long the first one takes
    std::atomic<quint32> killOwnId{0};  // stop its own timer from the callback
    std::atomic<bool> killReturned{false};

    std::vector<Clock::time_point> startTimes()
    {
        std::lock_guard lock(mutex);
        return starts;
    }
};

void probeCallback(quint32 id, quint32, quintptr user, quintptr, quintptr)
{
    auto* p = reinterpret_cast<Probe*>(user);
    p->inside = true;
    const int n = p->calls.load();
    {
        std::lock_guard lock(p->mutex);
        p->starts.push_back(Clock::now());
    }
    if (std::this_thread::get_id() == p->caller)
        p->onCallerThread = true;
    if (n == 0 && p->firstWork.count() > 0)
        std::this_thread::sleep_for(p->firstWork);
    else if (p->work.count() > 0)
        std::this_thread::sleep_for(p->work);
    if (p->killOwnId.load() == id) {
        timeKillEvent(id);
        p->killReturned = true;
    }
    p->calls.fetch_add(1);
    p->inside = false;
}

quintptr user(Probe& p)
{
    return reinterpret_cast<quintptr>(&p);
}

// Waits for a one-shot timer of the same service, due `ms` from now: every
// tick an earlier timer was due to give before then has been given.
void waitForATimerOf(quint32 ms)
{
    Probe marker;
    const quint32 id = timeSetEvent(ms, 0, &probeCallback, user(marker), TIME_ONESHOT);
    QVERIFY(id != 0);
    QTRY_COMPARE_WITH_TIMEOUT(marker.calls.load(), 1, int(ms) + 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!marker.inside.load(), 5000);
}

}  // namespace

class TestMultimediaTimer : public QObject
{
    Q_OBJECT

private slots:
    void devCaps()
    {
        TimeCaps caps;
        QVERIFY(timeGetDevCaps(&caps));
        QCOMPARE(caps.wPeriodMin, 1u);
        QCOMPARE(caps.wPeriodMax, 1'000'000u);

        testing::setDevCapsFails(true);
        QVERIFY(!timeGetDevCaps(&caps));
        testing::setDevCapsFails(false);
        QVERIFY(timeGetDevCaps(&caps));
    }

    void refusals_data()
    {
        QTest::addColumn<quint32>("delay");
        QTest::addColumn<bool>("callback");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("zero delay") << 0u << true << 1u << false;
        QTest::newRow("delay above the maximum") << 1'000'001u << true << 1u << false;
        QTest::newRow("no callback") << 100u << false << 1u << false;
        QTest::newRow("unknown event type") << 100u << true << 2u << false;
        QTest::newRow("the maximum delay") << 1'000'000u << true << 1u << true;
        QTest::newRow("the minimum delay, one-shot") << 1u << true << 0u << true;
    }
    void refusals()
    {
        QFETCH(quint32, delay);
        QFETCH(bool, callback);
        QFETCH(quint32, type);
        QFETCH(bool, accepted);

        Probe p;
        const quint32 id = timeSetEvent(delay, 0, callback ? &probeCallback : nullptr, user(p), type);
        QCOMPARE(id != 0, accepted);
        timeKillEvent(id);
    }

    // Ticks come on the timer thread, never early, and without drift: the
    // k-th is due k periods after the start, whatever the earlier ones took.
    // Each callback takes 70 of its 100 ms, so a timer re-armed after each
    // tick would fall 70 ms further behind with every tick.
    void periodicTicksOnAbsoluteDeadlines()
    {
        Probe p;
        p.work = 70ms;
        const auto start = Clock::now();
        const quint32 id = timeSetEvent(100, 0, &probeCallback, user(p), TIME_PERIODIC);
        QVERIFY(id != 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.calls.load() >= 12, 10000);
        timeKillEvent(id);

        QVERIFY(!p.onCallerThread);
        const auto starts = p.startTimes();
        for (size_t k = 0; k < starts.size(); ++k) {
            const auto due = start + (k + 1) * 100ms;
            QVERIFY2(starts[k] >= due - 1ms, qPrintable(QString("tick %1 came early").arg(k + 1)));
        }
        // The 12th tick is due at 1200 ms; re-armed after each tick it would
        // come 11 x 70 ms later. Lateness that does not add up stays well
        // below that even on a loaded machine.
        const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(starts[11] - (start + 1200ms));
        QVERIFY2(late < 300ms, qPrintable(QString("the 12th tick came %1 ms late").arg(late.count())));
    }

    void oneShotFiresOnce()
    {
        Probe p;
        const quint32 id = timeSetEvent(50, 0, &probeCallback, user(p), TIME_ONESHOT);
        QVERIFY(id != 0);
        QTRY_COMPARE_WITH_TIMEOUT(p.calls.load(), 1, 5000);
        waitForATimerOf(300);  // a timer that went on would have ticked 6 times
        QCOMPARE(p.calls.load(), 1);
        QVERIFY(!timeKillEvent(id));  // nothing scheduled any more
    }

    // Ticks missed while a callback held the thread are not made up in a
    // burst: one comes late, and the next waits for its own deadline.
    void missedTicksAreNotMadeUpInABurst()
    {
        Probe p;
        p.firstWork = 450ms;  // the first callback holds the thread for 4.5 periods
        const auto start = Clock::now();
        const quint32 id = timeSetEvent(100, 0, &probeCallback, user(p), TIME_PERIODIC);
        QVERIFY(id != 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.calls.load() >= 3, 5000);
        timeKillEvent(id);

        const auto starts = p.startTimes();
        QVERIFY(starts[1] - starts[0] >= 450ms);  // the late one, once the thread is free
        // A deadline is never met early, so nothing before the next deadline
        // after the late tick can be anything but another missed tick.
        const auto periods = (starts[1] - start) / 100ms + 1;
        const auto nextDeadline = start + periods * 100ms;
        QVERIFY2(starts[2] >= nextDeadline - 1ms, "missed ticks were made up in a burst");
    }

    // When timeKillEvent returns, the callback in progress has finished and
    // no other starts, so the user value may be destroyed.
    void killWaitsForTheCallbackInProgress()
    {
        auto p = std::make_unique<Probe>();
        p->work = 300ms;
        const quint32 id = timeSetEvent(10, 0, &probeCallback, user(*p), TIME_PERIODIC);
        QVERIFY(id != 0);
        QTRY_VERIFY_WITH_TIMEOUT(p->inside.load(), 5000);
        QVERIFY(timeKillEvent(id));
        QVERIFY(!p->inside.load());
        p.reset();  // a late callback would now write freed memory (seen by ASan)
        waitForATimerOf(200);
    }

    void killFromItsOwnCallbackDoesNotDeadlock()
    {
        Probe p;
        const quint32 id = timeSetEvent(20, 0, &probeCallback, user(p), TIME_PERIODIC);
        QVERIFY(id != 0);
        p.killOwnId = id;
        QTRY_VERIFY_WITH_TIMEOUT(p.killReturned.load(), 5000);
        const int calls = p.calls.load();
        waitForATimerOf(200);  // 10 more periods
        QCOMPARE(p.calls.load(), calls);
        QVERIFY(!timeKillEvent(id));
    }

    // Timers do not wait for each other's deadlines: a short one keeps ticking
    // beside a long one, and killing one leaves the other running.
    void timersRunSideBySide()
    {
        Probe fast, slow;
        const quint32 slowId = timeSetEvent(100'000, 0, &probeCallback, user(slow), TIME_PERIODIC);
        const quint32 fastId = timeSetEvent(20, 0, &probeCallback, user(fast), TIME_PERIODIC);
        QVERIFY(slowId != 0 && fastId != 0 && slowId != fastId);
        QTRY_VERIFY_WITH_TIMEOUT(fast.calls.load() >= 3, 5000);
        QVERIFY(timeKillEvent(slowId));
        const int before = fast.calls.load();
        QTRY_VERIFY_WITH_TIMEOUT(fast.calls.load() > before, 5000);
        QVERIFY(timeKillEvent(fastId));
        QCOMPARE(slow.calls.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMultimediaTimer)
#include "tst_multimediatimer.moc"
