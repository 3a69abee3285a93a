#include "soak/Soak.h"


#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "BenchKit.h"
#include "platform/Process.h"
#include "accounts/LoginProcedure.h"
#include "soak/SoakAudit.h"

extern char** environ;

namespace soak {
namespace {

using benchkit::exec;

struct Options
{
    int players = 10;
    int seconds = 60;
    int killEvery = 0;
    double pace = 5;
    int ramp = -1;
    QString keep;
};

// CPU seconds of process `pid` so far (0 when it cannot be read).
double processCpu(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = f.readAll();
    const int close = s.lastIndexOf(')');
    const QList<QByteArray> fields = s.mid(close + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    // utime and stime: fields 14 and 15 of the line, 12 and 13 after the name.
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

qint64 serverPid(const QString& dir)
{
    QFile f(dir + QStringLiteral("/mariadbd.pid"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromLatin1(f.readAll()).trimmed().toLongLong();
}

// The load average of the machine (the other programs on it count too).
QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

QSqlDatabase adminConnection(const QString& dir, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    db.setHostName(QStringLiteral("localhost"));
    db.setUserName(QStringLiteral("root"));
    db.setDatabaseName(QStringLiteral("tavrekdb2"));
    db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + dir + QStringLiteral("/mariadbd.sock"));
    if (!db.isOpen())
        db.open();
    return db;
}

// One connection per player, and room for the admin's: the instance's own
// limit is for a handful of players. Set again after every start.
const int kStatementsPerPlayer = 16;  // 12 in use, and a margin

bool roomForPlayers(const QString& dir, int players)
{
    const QString name = QStringLiteral("room");
    bool ok = false;
    {
        QSqlDatabase admin = adminConnection(dir, name);
        ok = admin.isOpen() &&
             exec(admin, QStringLiteral("SET GLOBAL max_connections = %1").arg(std::max(200, players + 50))) &&
             // A player's connection holds a dozen prepared statements; the
             // server's default room (16,382) runs out at some 1,300 players.
             exec(admin, QStringLiteral("SET GLOBAL max_prepared_stmt_count = %1")
                             .arg(std::max(16382, kStatementsPerPlayer * (players + 50))));
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

pid_t spawnPlayer(const QString& self, const Child& c, int port, int paceMs, const QString& errFile)
{
    const QByteArray sIndex = QByteArray::number(c.index), sPort = QByteArray::number(port),
                     sPace = QByteArray::number(paceMs), sJournal = c.journal.toLocal8Bit(),
                     sSelf = self.toLocal8Bit(), sErr = errFile.toLocal8Bit();
    const char* args[] = {sSelf.constData(), "--player", sIndex.constData(), "--port", sPort.constData(),
                          "--pace-ms", sPace.constData(), "--journal", sJournal.constData(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, sErr.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, sSelf.constData(), &fa, nullptr, const_cast<char**>(args), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : 0;
}

}  // namespace

int driverMain(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        const auto next = [&] { return i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString(); };
        if (a == QLatin1String("--players"))
            o.players = next().toInt();
        else if (a == QLatin1String("--seconds"))
            o.seconds = next().toInt();
        else if (a == QLatin1String("--kill-every"))
            o.killEvery = next().toInt();
        else if (a == QLatin1String("--pace"))
            o.pace = next().toDouble();
        else if (a == QLatin1String("--ramp"))
            o.ramp = next().toInt();
        else if (a == QLatin1String("--keep"))
            o.keep = next();
        else {
            std::fprintf(stderr,
                         "usage: bench_soak --players N --seconds S [--kill-every K] [--pace P] [--ramp R] "
                         "[--keep DIR]\n");
            return 2;
        }
    }
    if (o.players < 1 || o.seconds < 1 || o.pace < 0.5 || o.killEvery < 0) {
        std::fprintf(stderr, "bench_soak: players and seconds at least 1, pace at least 0.5 s\n");
        return 2;
    }
    if (o.ramp < 0)
        o.ramp = std::max(5, o.players / 25);
    const int paceMs = int(o.pace * 1000);
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);

    benchkit::BenchServer server;
    if (!server.start())
        return 1;
    const sortest::ClientParams params = server.clientParams();
    const QString dir = server.dir();
    if (!roomForPlayers(dir, o.players))
        return 1;
    QTemporaryDir runTmp;
    const QString run = o.keep.isEmpty() ? runTmp.path() : o.keep;
    QDir().mkpath(run);

    {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("setup"));
        if (!admin.isOpen()) {
            std::fprintf(stderr, "no admin connection: %s\n", qPrintable(admin.lastError().text()));
            return 1;
        }
        // Tours long enough that only the answers end them.
        if (!exec(admin, QStringLiteral("UPDATE Sor_setttings SET level1=1800, level2=1800, level3=1800")) ||
            !exec(admin, QStringLiteral("INSERT INTO users (loginEmail, password, name, surname) "
                                        "SELECT CONCAT('soak', seq, '@tavrek.example'), '%1', 'Игрок', seq "
                                        "FROM seq_1_to_%2")
                             .arg(sor::md5(kPassword))
                             .arg(o.players)))
            return 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));

    std::printf("players %d, pace %.1f s, ramp %d s, window %d s%s; machine load %s\n", o.players, o.pace, o.ramp,
                o.seconds,
                o.killEvery ? qPrintable(QStringLiteral(", server killed every %1 s").arg(o.killEvery)) : "",
                qPrintable(loadAverage()));
    std::fflush(stdout);

    // ---- the players -----------------------------------------------------------------
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    std::vector<Child> children(o.players);
    QElapsedTimer ramp;
    ramp.start();
    for (int i = 0; i < o.players; ++i) {
        Child& c = children[i];
        c.index = i + 1;
        c.journal = QStringLiteral("%1/player-%2.journal").arg(run).arg(c.index);
        c.pid = spawnPlayer(self, c, params.port, paceMs, QStringLiteral("%1/player-%2.err").arg(run).arg(c.index));
        if (!c.pid) {
            std::fprintf(stderr, "player %d did not start\n", c.index);
            return 1;
        }
        const qint64 due = qint64(o.ramp) * 1000 * (i + 1) / o.players;
        if (due > ramp.elapsed())
            QThread::msleep(ulong(due - ramp.elapsed()));
    }
    const auto reapSome = [&] {
        int alive = 0;
        for (Child& c : children) {
            if (c.status != -1)
                continue;
            int st = 0;
            if (waitpid(c.pid, &st, WNOHANG) == c.pid)
                c.status = st;
            else
                ++alive;
        }
        return alive;
    };
    // Ready: each has its first question on the panels.
    const auto readyCount = [&] {
        int ready = 0;
        for (const Child& c : children) {
            QFile f(c.journal);
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains("\tready"))
                ++ready;
        }
        return ready;
    };
    QElapsedTimer waitReady;
    waitReady.start();
    int ready = 0;
    while ((ready = readyCount()) < o.players && waitReady.elapsed() < 180000 && reapSome() > 0)
        QThread::msleep(500);
    std::printf("%d of %d players in the game after %.1f s; machine load %s\n", ready, o.players,
                double(ramp.elapsed()) / 1000, qPrintable(loadAverage()));
    std::fflush(stdout);
    // A warm-up of two answers each.
    QThread::msleep(ulong(2 * paceMs));

    // ---- the measured window -----------------------------------------------------------
    // Beside the players: a bare round trip on a connection like theirs, for
    // what the machine itself adds to every statement; and the server's own
    // account of the time it spent on the players' statements.
    // (The probe goes through the admin's socket, so that the server's account
    // of the players' account holds the players alone.)
    QSqlDatabase probe = adminConnection(dir, QStringLiteral("probe"));
    benchkit::Figures roundTrips;
    QElapsedTimer sinceProbe;
    sinceProbe.start();
    const auto userStat = [&](double& busy, double& cpu) {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("stat"));
        QSqlQuery q(admin);
        busy = cpu = 0;
        if (q.exec(QStringLiteral("SELECT BUSY_TIME, CPU_TIME FROM information_schema.USER_STATISTICS "
                                  "WHERE USER='tavrekdb2'")) &&
            q.next()) {
            busy = q.value(0).toDouble();
            cpu = q.value(1).toDouble();
        }
    };
    {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("stat"));
        exec(admin, QStringLiteral("SET GLOBAL userstat=1"));
    }
    double busy0 = 0, statCpu0 = 0, busy1 = 0, statCpu1 = 0;
    userStat(busy0, statCpu0);
    double serverCpu = 0;
    qint64 pid = serverPid(dir);
    double cpuMark = processCpu(pid);
    for (const Child& c : children)
        if (c.status == -1)
            kill(c.pid, SIGUSR1);
    const qint64 from = nowMs();
    QElapsedTimer window;
    window.start();
    int serverKills = 0, connectionKills = 0, writeKills = 0, hunts = 0, restartFailures = 0;
    double downSeconds = 0;
    QRandomGenerator rnd(20261210);
    qint64 nextServerKill = o.killEvery ? qint64(o.killEvery) * 1000 : -1;
    qint64 nextConnectionKill = o.killEvery ? 500 + rnd.bounded(3000) : -1;
    while (window.elapsed() < qint64(o.seconds) * 1000) {
        const qint64 t = window.elapsed();
        if (nextServerKill >= 0 && t >= nextServerKill) {
            // Killed without warning, then started again the usual way.
            QSqlDatabase::removeDatabase(QStringLiteral("killer"));
            serverCpu += processCpu(pid) - cpuMark;
            ::kill(pid_t(pid), SIGKILL);
            for (int i = 0; i < 100 && ::kill(pid_t(pid), 0) == 0; ++i)
                QThread::msleep(50);
            QElapsedTimer down;
            down.start();
            if (!server.start() || !roomForPlayers(dir, o.players))
                ++restartFailures;
            downSeconds += double(down.elapsed()) / 1000;
            ++serverKills;
            pid = serverPid(dir);
            cpuMark = processCpu(pid);
            nextServerKill += qint64(o.killEvery) * 1000;
        } else if (nextConnectionKill >= 0 && t >= nextConnectionKill) {
            // One client connection: one in the middle of a write when one comes
            // soon (the moments where an answer or a stamp can be lost),
            // otherwise one busy with a statement, otherwise any.
            QSqlDatabase admin = adminConnection(dir, QStringLiteral("killer"));
            if (admin.isOpen()) {
                QSqlQuery q(admin);
                qint64 victim = 0;
                QElapsedTimer hunt;
                hunt.start();
                while (!victim && hunt.elapsed() < 300) {
                    if (!q.exec(QStringLiteral("SELECT t.trx_mysql_thread_id FROM information_schema.INNODB_TRX t "
                                               "JOIN information_schema.PROCESSLIST p ON p.ID = t.trx_mysql_thread_id "
                                               "WHERE p.USER='tavrekdb2' LIMIT 1")))
                        break;
                    if (q.next())
                        victim = q.value(0).toLongLong();
                    else
                        QThread::usleep(2000);
                }
                // Every third time the answers are held up for a moment (as by
                // an operator's lock), so that an answer is caught in its write.
                if (!victim && ++hunts % 3 == 0 && q.exec(QStringLiteral("LOCK TABLES Sor_Games WRITE"))) {
                    QElapsedTimer held;
                    held.start();
                    while (!victim && held.elapsed() < 300) {
                        QThread::usleep(2000);
                        if (q.exec(QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE "
                                                  "USER='tavrekdb2' AND INFO LIKE 'INSERT INTO Sor_Games%' LIMIT 1")) &&
                            q.next())
                            victim = q.value(0).toLongLong();
                    }
                    if (victim)
                        exec(admin, QStringLiteral("KILL %1").arg(victim));
                    q.exec(QStringLiteral("UNLOCK TABLES"));
                    if (victim) {
                        ++connectionKills;
                        ++writeKills;
                        victim = 0;
                        nextConnectionKill = window.elapsed() + 500 + rnd.bounded(3000);
                        continue;
                    }
                }
                if (victim)
                    ++writeKills;
                if (!victim && q.exec(QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST "
                                                     "WHERE USER='tavrekdb2' ORDER BY COMMAND='Sleep', RAND() LIMIT 1")) &&
                    q.next())
                    victim = q.value(0).toLongLong();
                if (victim && exec(admin, QStringLiteral("KILL %1").arg(victim)))
                    ++connectionKills;
            }
            nextConnectionKill = window.elapsed() + 500 + rnd.bounded(3000);
        }
        reapSome();
        if (sinceProbe.elapsed() >= 100 && probe.isOpen()) {
            sinceProbe.restart();
            QElapsedTimer rt;
            rt.start();
            QSqlQuery one(probe);
            if (one.exec(QStringLiteral("SELECT 1")) && one.next())
                roundTrips.add(benchkit::ms(rt));
        }
        QThread::msleep(20);
    }
    const qint64 to = nowMs();
    userStat(busy1, statCpu1);
    serverCpu += processCpu(pid) - cpuMark;
    const double windowSeconds = double(to - from) / 1000;
    const QString loadAtEnd = loadAverage();
    QSqlDatabase::removeDatabase(QStringLiteral("killer"));

    // ---- the players stop, each between two steps ------------------------------------------
    for (const Child& c : children)
        if (c.status == -1)
            kill(c.pid, SIGTERM);
    QElapsedTimer stopping;
    stopping.start();
    while (reapSome() > 0 && stopping.elapsed() < 60000)
        QThread::msleep(100);
    int forced = 0;
    for (Child& c : children)
        if (c.status == -1) {
            kill(c.pid, SIGKILL);
            waitpid(c.pid, &c.status, 0);
            ++forced;
        }

    // ---- what they were told, against the server's rows ---------------------------------------
    Audit audit;
    {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("check"));
        if (!admin.isOpen()) {
            std::fprintf(stderr, "no admin connection for the checks\n");
            return 1;
        }
        audit = auditRun(children, from, to, admin, run + QStringLiteral("/faults.txt"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    benchkit::Figures& steps = audit.steps;  // its percentiles sort it
    const int answersInWindow = audit.answersInWindow, answersAll = audit.answersAll;
    const int lost = audit.lost, doubled = audit.doubled, wiped = audit.wiped;
    const int stampFaults = audit.stampFaults, stale = audit.stale, unconfirmed = audit.unconfirmed;
    const int failedPlayers = audit.failedPlayers;
    const double playersCpu = audit.playersCpu, playersWall = audit.playersWall;
    const long rssSum = audit.rssSum;
    const QMap<QString, int>& messages = audit.messages;

    // ---- figures ---------------------------------------------------------------------------
    const double p50 = steps.pct(0.50), p95 = steps.pct(0.95), p99 = steps.pct(0.99);
    const double perPlayerCpu = playersWall > 0 ? 100.0 * playersCpu / playersWall : 0;
    std::printf("window %.1f s: %d answers (%.1f answers/s); step server part p50 %.2f ms, p95 %.2f ms, "
                "p99 %.2f ms over %zu steps\n",
                windowSeconds, answersInWindow, answersInWindow / windowSeconds, p50, p95, p99, steps.v.size());
    std::printf("server CPU %.1f %% of one core (%.2f ms per answer); driver CPU per player %.3f %% of one core "
                "(%.2f ms per answer), memory %ld kB per player (proportional set); machine load %s\n",
                100.0 * serverCpu / windowSeconds, answersInWindow ? 1000.0 * serverCpu / answersInWindow : 0.0,
                perPlayerCpu, answersInWindow ? 1000.0 * playersCpu / answersInWindow : 0.0,
                o.players ? rssSum / o.players : 0L, qPrintable(loadAtEnd));
    if (!o.killEvery && answersInWindow)
        std::printf("server's own account: %.2f ms busy and %.2f ms CPU per answer on the players' statements; "
                    "a bare round trip beside them p50 %.2f ms, p95 %.2f ms\n",
                    1000.0 * (busy1 - busy0) / answersInWindow, 1000.0 * (statCpu1 - statCpu0) / answersInWindow,
                    roundTrips.pct(0.5), roundTrips.pct(0.95));
    if (o.killEvery)
        std::printf("faults: server killed %d times (%.1f s down in all, %d restarts failed), %d client "
                    "connections killed (%d of them in the middle of a write)\n",
                    serverKills, downSeconds, restartFailures, connectionKills, writeKills);
    if (!messages.isEmpty()) {
        QStringList list;
        for (auto m = messages.begin(); m != messages.end(); ++m)
            list << QStringLiteral("%1 x \"%2\"").arg(m.value()).arg(m.key());
        std::printf("messages the players saw: %s\n", qPrintable(list.join(QStringLiteral(", "))));
    }
    std::printf("checks: %d answers heard in all, stamps out of order %d, rows of an earlier game %d, "
                "rows stored while a failure was told %d, players that failed %d (%d stopped by force)\n",
                answersAll, stampFaults, stale, unconfirmed, failedPlayers, forced);
    std::printf("answers %d, lost %d, doubled %d, wiped %d, step p95 %.1f ms\n", answersAll, lost, doubled, wiped,
                p95);
    std::fflush(stdout);
    const bool ok = lost == 0 && doubled == 0 && wiped == 0 && stampFaults == 0 && stale == 0 &&
                    failedPlayers == 0 && answersAll > 0;
    return ok ? 0 : 1;
}

}  // namespace soak
