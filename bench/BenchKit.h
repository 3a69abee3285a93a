#pragma once
// What the benchmarks share: samples and their percentiles, the milliseconds
// of a timer, the CPU time and the resident memory of this process.

#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

namespace benchkit {

struct Figures
{
    std::vector<double> v;
    void add(double x) { v.push_back(x); }
    // The sample at fraction p of the sorted samples (0.5: the median); 0 without samples.
    double pct(double p)
    {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
    }
};

inline double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// User and system CPU time of this process so far, in seconds.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Resident memory of this process in kB (-1 when it cannot be read).
inline long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

}  // namespace benchkit
