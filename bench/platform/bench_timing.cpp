// Prints the timing figures of the tour clock's machinery:
//  - how late TMMTimer ticks come (absolute deadlines; p50, p95, max), at a
//    short period and at the tour clock's 1000 ms;
//  - the CPU the process uses while the tour clock ticks and nothing else
//    happens, and how late its ticks reach the GUI thread;
//  - how long the one-second hold lasts.
// Usage: bench_timing [seconds of idle ticking, default 20]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

#include "BenchKit.h"
#include "platform/MMTimer.h"
#include "platform/Hold.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

using benchkit::cpuSeconds;

void printLateness(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%-44s n=%-5zu p50 %.3f ms  p95 %.3f ms  max %.3f ms\n", what, ms.size(), at(0.5), at(0.95),
                ms.back());
}

// Lateness of each tick against its absolute deadline start + k x delay,
// measured on the timer thread (raw) and on the GUI thread (handed over).
void ticks(quint32 delay, int count, bool idleCpu)
{
    std::mutex mutex;
    std::vector<Clock::time_point> raw, gui;
    QEventLoop loop;
    TMMTimer timer;
    timer.SetEnabled(false);
    timer.SetDelay(delay);
    const auto onGui = TMMTimer::OnGuiThread([&](QObject*) {
        std::lock_guard lock(mutex);
        gui.push_back(Clock::now());
        if (int(gui.size()) >= count)
            loop.quit();
    });
    timer.SetOnTimer([&](QObject* sender) {
        {
            std::lock_guard lock(mutex);
            raw.push_back(Clock::now());
        }
        onGui(sender);
    });

    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    timer.SetEnabled(true);
    QElapsedTimer wall;
    wall.start();
    loop.exec();  // the GUI thread sleeps between ticks, as the game's does
    timer.SetEnabled(false);
    const double cpu = cpuSeconds() - cpu0;
    const double wallSec = double(wall.elapsed()) / 1000.0;

    std::vector<double> rawLate, guiLate;
    for (size_t k = 0; k < raw.size(); ++k)
        rawLate.push_back(std::chrono::duration<double, std::milli>(raw[k] - (start + (k + 1) * 1ms * delay)).count());
    for (size_t k = 0; k < gui.size(); ++k)
        guiLate.push_back(std::chrono::duration<double, std::milli>(gui[k] - (start + (k + 1) * 1ms * delay)).count());
    char label[96];
    std::snprintf(label, sizeof label, "tick lateness, %u ms, timer thread", delay);
    printLateness(label, rawLate);
    std::snprintf(label, sizeof label, "tick lateness, %u ms, on the GUI thread", delay);
    printLateness(label, guiLate);
    if (idleCpu)
        std::printf("CPU while the clock ticks idle: %.3f s in %.1f s = %.3f %% of a core\n", cpu, wallSec,
                    100.0 * cpu / wallSec);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;

    ticks(10, 500, false);
    ticks(1000, idleSeconds, true);

    std::vector<double> holds;
    QObject owner;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        sor::PauseSeconds(&owner, 1);
        holds.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(holds.begin(), holds.end());
    std::printf("the one-second hold: min %.1f ms, max %.1f ms (5 holds)\n", holds.front(), holds.back());
    return 0;
}
