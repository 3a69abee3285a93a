#pragma once
// What the benchmarks share: samples and their percentiles, the milliseconds
// of a timer, the CPU time and the resident memory of this process.

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/TestServer.h"

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

// The figure in kB on the line starting with `key` of a /proc file such as
// /proc/self/status (-1 when it cannot be read).
inline long procKb(const QString& file, const QByteArray& key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    return -1;
}

// Resident memory of this process in kB (-1 when it cannot be read).
inline long residentKb()
{
    return procKb(QStringLiteral("/proc/self/status"), QByteArrayLiteral("VmRSS:"));
}

// One statement on `db`; says which and why on stderr when it fails.
inline bool exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "%s\n  %s\n", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

// A game server of the benchmark's own in a temporary folder, stopped and
// removed at the end.
class BenchServer
{
public:
    // `startArgs` as for sortest::PrivateServer (for instance --tls optional).
    explicit BenchServer(QStringList startArgs = {}) : server_(tmp_.path() + QStringLiteral("/srv"), std::move(startArgs)) {}
    // Says why on stderr when it does not start.
    bool start()
    {
        if (server_.start())
            return true;
        std::fprintf(stderr, "the game server did not start\n");
        return false;
    }
    sortest::ClientParams clientParams() const { return server_.clientParams(); }
    QString dir() const { return server_.dir(); }

private:
    QTemporaryDir tmp_;
    sortest::PrivateServer server_;
};

// A bare Qt connection named `name` with the game connection's options, for
// the round trips measured next to the client's; says why on stderr when it
// does not open. Without `tls`, in clear (a server started --tls optional).
inline bool openBare(QSqlDatabase& db, const sortest::ClientParams& p, const QString& name, bool tls = true)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    db.setHostName(p.host);
    db.setPort(p.port);
    db.setUserName(p.user);
    db.setPassword(p.password);
    db.setDatabaseName(p.database);
    db.setConnectOptions(QStringLiteral("CLIENT_COMPRESS;CLIENT_FOUND_ROWS") +
                         (tls ? QStringLiteral(";SSL_CA=") + p.ca : QString()));
    if (db.open())
        return true;
    std::fprintf(stderr, "the bare connection failed\n");
    return false;
}

}  // namespace benchkit
