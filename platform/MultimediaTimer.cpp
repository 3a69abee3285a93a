#include "platform/MultimediaTimer.h"

#include <QtDebug>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include <pthread.h>

namespace sor::mmtimer {
namespace {

constexpr quint32 kPeriodMin = 1;
constexpr quint32 kPeriodMax = 1'000'000;

std::atomic<bool> devCapsFails{false};
// Set once the service has ended with the program's static objects; a timer
// that outlives it has nothing left to stop.
std::atomic<bool> serviceGone{false};

using Clock = std::chrono::steady_clock;

struct Timer
{
    Clock::duration period;
    Clock::time_point due;
    TimeCallback callback;
    quintptr user;
    bool periodic;
};

class Service
{
public:
    static Service& instance()
    {
        static Service service;
        return service;
    }

    ~Service()
    {
        std::thread worker;
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
            timers_.clear();
            worker.swap(thread_);
        }
        wake_.notify_all();
        if (worker.joinable())
            worker.join();
        serviceGone.store(true);
    }

    quint32 start(quint32 delay, TimeCallback callback, quintptr user, bool periodic)
    {
        std::unique_lock lock(mutex_);
        if (quit_ || !ensureThread())
            return 0;
        quint32 id = lastId_;
        do {
            ++id;
        } while (id == 0 || timers_.contains(id) || id == runningId_);
        lastId_ = id;
        const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(delay));
        timers_.emplace(id, Timer{period, Clock::now() + period, callback, user, periodic});
        lock.unlock();
        wake_.notify_all();
        return id;
    }

    bool kill(quint32 id)
    {
        std::unique_lock lock(mutex_);
        const bool scheduled = timers_.erase(id) > 0;
        // The callback in progress may still use the user value: wait for it,
        // unless it is the callback itself that stops its timer.
        if (std::this_thread::get_id() != threadId_)
            done_.wait(lock, [&] { return runningId_ != id; });
        lock.unlock();
        wake_.notify_all();
        return scheduled;
    }

private:
    Service() = default;

    // Under the lock.
    bool ensureThread()
    {
        if (thread_.joinable())
            return true;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return false;
        }
        threadId_ = thread_.get_id();
        pthread_setname_np(thread_.native_handle(), "sor-mmtimer");
        return true;
    }

    void run()
    {
        std::unique_lock lock(mutex_);
        while (!quit_) {
            if (timers_.empty()) {
                wake_.wait(lock);
                continue;
            }
            auto next = timers_.begin();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (it->second.due < next->second.due)
                    next = it;
            if (const Clock::time_point due = next->second.due; Clock::now() < due) {
                // Wakes at the absolute deadline, or earlier when the set of
                // timers changes; either way the earliest deadline is found anew.
                // (A copy: the timer may be killed while this thread waits.)
                wake_.wait_until(lock, due);
                continue;
            }

            const quint32 id = next->first;
            const Timer fired = next->second;
            if (fired.periodic) {
                Timer& t = next->second;
                t.due += t.period;
                const auto now = Clock::now();
                if (t.due <= now)
                    t.due += t.period * ((now - t.due) / t.period + 1);
            } else {
                timers_.erase(next);
            }

            runningId_ = id;
            lock.unlock();
            try {
                fired.callback(id, 0, fired.user, 0, 0);
            } catch (const std::exception& e) {
                qWarning("multimedia timer %u: callback failed: %s", id, e.what());
            } catch (...) {
                qWarning("multimedia timer %u: callback failed", id);
            }
            lock.lock();
            runningId_ = 0;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;  // the schedule changed
    std::condition_variable done_;  // a callback finished
    std::map<quint32, Timer> timers_;
    quint32 lastId_ = 0;
    quint32 runningId_ = 0;
    bool quit_ = false;
    std::thread thread_;
    std::thread::id threadId_;
};

}  // namespace

bool timeGetDevCaps(TimeCaps* caps)
{
    if (!caps || devCapsFails.load())
        return false;
    caps->wPeriodMin = kPeriodMin;
    caps->wPeriodMax = kPeriodMax;
    return true;
}

quint32 timeSetEvent(quint32 delay, quint32 /*resolution*/, TimeCallback callback, quintptr dwUser,
                     quint32 eventType)
{
    if (delay < kPeriodMin || delay > kPeriodMax || !callback)
        return 0;
    if (eventType != TIME_ONESHOT && eventType != TIME_PERIODIC)
        return 0;
    if (serviceGone.load())
        return 0;
    return Service::instance().start(delay, callback, dwUser, eventType == TIME_PERIODIC);
}

bool timeKillEvent(quint32 timerId)
{
    if (timerId == 0 || serviceGone.load())
        return false;
    return Service::instance().kill(timerId);
}

void testing::setDevCapsFails(bool fails)
{
    devCapsFails.store(fails);
}

}  // namespace sor::mmtimer
