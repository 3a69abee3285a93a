#include "soak/SoakAudit.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <sys/wait.h>

#include <algorithm>

namespace soak {
namespace {

// What one journal says.
struct Game
{
    QHash<int, bool> verdicts;  // question -> right, as heard
    QList<int> asks;
    // Tours begun: a question of theirs was asked. (A tour's caption alone is
    // not enough: its start may fail, and the player is told so.)
    QSet<int> tours;
    QSet<int> shown;  // tours whose caption the player saw
    int reportAll = -1, reportRight = -1;
};

struct Told
{
    qint64 userId = 0;
    QList<Game> games;
    bool ended = false;
    bool halted = false;
    int unexpectedStarts = 0;
    int askedAgain = 0;
    double cpu = 0, cpuWall = 0;
    long rssKb = 0;
    QMap<QString, int> messages;
};

Told readJournal(const QString& path, qint64 from, qint64 to, benchkit::Figures& steps, int& answersInWindow,
                 int& answersAll)
{
    Told t;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return t;
    QSet<int> heardInGame;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).chopped(1);
        const QStringList p = line.split(QLatin1Char('\t'));
        if (p.size() < 2)
            continue;
        const qint64 at = p[0].toLongLong();
        const QString& kind = p[1];
        const bool inWindow = at >= from && at <= to;
        if (kind == QLatin1String("cpu")) {
            t.cpu = p.value(2).toDouble();
            t.cpuWall = p.value(3).toDouble();
            t.rssKb = p.value(4).toLong();
        } else if (kind == QLatin1String("end")) {
            t.ended = true;
        } else if (kind == QLatin1String("halt")) {
            t.halted = true;
        } else if (kind == QLatin1String("login")) {
            t.userId = p.value(2).toLongLong();
        } else if (kind == QLatin1String("start") || kind == QLatin1String("start!")) {
            const bool expected = kind == QLatin1String("start");
            if (!expected && !t.games.isEmpty() && t.games.last().tours.isEmpty()) {
                // Offered again after a start that failed before its first
                // question (the player was told of the failure): nothing was under way.
                t.games.last() = Game();
                continue;
            }
            if (!expected)
                ++t.unexpectedStarts;
            t.games.append(Game());
            heardInGame.clear();
        } else if (t.games.isEmpty()) {
            continue;
        } else if (kind == QLatin1String("ask")) {
            const int q = p.value(2).toInt();
            if (heardInGame.contains(q))
                ++t.askedAgain;
            t.games.last().asks.append(q);
            t.games.last().tours.insert(p.value(3).toInt());
        } else if (kind == QLatin1String("verdict")) {
            const int q = p.value(2).toInt();
            t.games.last().verdicts.insert(q, p.value(3) == QLatin1String("1"));
            heardInGame.insert(q);
            ++answersAll;
            if (inWindow)
                ++answersInWindow;
        } else if (kind == QLatin1String("tour")) {
            t.games.last().shown.insert(p.value(2).toInt());
        } else if (kind == QLatin1String("report")) {
            t.games.last().reportAll = p.value(2).toInt();
            t.games.last().reportRight = p.value(3).toInt();
        } else if (kind == QLatin1String("step")) {
            if (inWindow && p.value(3) == QLatin1String("1"))
                steps.add(p.value(2).toDouble());
        } else if (kind == QLatin1String("msg") || kind == QLatin1String("plain")) {
            ++t.messages[p.value(kind == QLatin1String("msg") ? 3 : 2).section(QLatin1Char('|'), 0, 0).left(60)];
        }
    }
    return t;
}

}  // namespace

Audit auditRun(const std::vector<Child>& children, qint64 from, qint64 to, QSqlDatabase& admin,
               const QString& faultsPath)
{
    benchkit::Figures steps;
    int answersInWindow = 0, answersAll = 0;
    std::vector<Told> told;
    for (const Child& c : children)
        told.push_back(readJournal(c.journal, from, to, steps, answersInWindow, answersAll));

    int lost = 0, doubled = 0, wiped = 0, stampFaults = 0, stale = 0, unconfirmed = 0, failedPlayers = 0;
    double playersCpu = 0, playersWall = 0;
    long rssSum = 0;
    QMap<QString, int> messages;
    {
        // Each fault counted, with its player, for the one who looks into it.
        QFile faultList(faultsPath);
        faultList.open(QIODevice::WriteOnly | QIODevice::Truncate);
        const auto fault = [&](const Child& c, const char* kind, const QString& detail) {
            faultList.write(QStringLiteral("player %1\t%2\t%3\n").arg(c.index).arg(QLatin1String(kind), detail).toUtf8());
        };
        QSqlQuery q(admin);
        q.exec(QStringLiteral("SELECT COALESCE(SUM(n - 1), 0) FROM (SELECT COUNT(*) AS n FROM Sor_Games "
                              "GROUP BY SorUserID, QuestID HAVING n > 1) d"));
        if (q.next())
            doubled += q.value(0).toInt();
        for (std::size_t i = 0; i < told.size(); ++i) {
            const Told& t = told[i];
            const Child& c = children[i];
            if (!t.ended || t.halted || !WIFEXITED(c.status) || WEXITSTATUS(c.status) != 0)
                ++failedPlayers;
            playersCpu += t.cpu;
            playersWall += t.cpuWall;
            rssSum += t.rssKb;
            for (auto m = t.messages.begin(); m != t.messages.end(); ++m)
                messages[m.key()] += m.value();
            doubled += t.askedAgain;
            wiped += t.unexpectedStarts;
            if (t.askedAgain)
                fault(c, "doubled", QStringLiteral("%1 questions asked again").arg(t.askedAgain));
            if (t.unexpectedStarts)
                fault(c, "wiped", QStringLiteral("%1 new games offered over one in progress").arg(t.unexpectedStarts));
            if (t.games.isEmpty() || !t.userId)
                continue;
            // Earlier games: the report counted what the server held then.
            for (int g = 0; g + 1 < t.games.size(); ++g) {
                const Game& game = t.games[g];
                if (game.reportAll < 0)
                    continue;
                int right = 0;
                for (bool r : game.verdicts)
                    right += r;
                const int missing = std::max({0, int(game.verdicts.size()) - game.reportAll, right - game.reportRight});
                lost += missing;
                if (missing)
                    fault(c, "lost", QStringLiteral("game %1: %2 verdicts heard, %3 right; the report: %4, %5")
                                         .arg(g + 1)
                                         .arg(game.verdicts.size())
                                         .arg(right)
                                         .arg(game.reportAll)
                                         .arg(game.reportRight));
            }
            // The game in progress: every verdict heard is a row, as heard.
            const Game& game = t.games.last();
            QHash<int, int> stored;  // question -> QVar
            q.exec(QStringLiteral("SELECT QuestID, QVar FROM Sor_Games WHERE SorUserID=%1").arg(t.userId));
            while (q.next())
                stored.insert(q.value(0).toInt(), q.value(1).toInt());
            for (auto v = game.verdicts.begin(); v != game.verdicts.end(); ++v) {
                if (!stored.contains(v.key()) || (stored.value(v.key()) == 4) != v.value()) {
                    ++lost;
                    fault(c, "lost", QStringLiteral("question %1 heard %2, stored %3")
                                         .arg(v.key())
                                         .arg(v.value() ? "right" : "wrong")
                                         .arg(stored.contains(v.key()) ? QString::number(stored.value(v.key()))
                                                                       : QStringLiteral("nothing")));
                }
            }
            const QSet<int> asked(game.asks.begin(), game.asks.end());
            for (auto s = stored.begin(); s != stored.end(); ++s) {
                if (!asked.contains(s.key())) {
                    ++stale;  // a row of an earlier game: the new game did not wipe it
                    fault(c, "stale", QStringLiteral("question %1").arg(s.key()));
                } else if (!game.verdicts.contains(s.key())) {
                    ++unconfirmed;  // stored while the player heard of a failure
                    fault(c, "unconfirmed", QStringLiteral("question %1").arg(s.key()));
                }
            }
            // Tour stamps: each tour played is stamped, in order.
            q.exec(QStringLiteral("SELECT Time_lvl1, Time_lvl1_end, Time_lvl2, Time_lvl2_end, Time_lvl3, "
                                  "Time_lvl3_end FROM Sor_users WHERE UserID=%1")
                       .arg(t.userId));
            if (!q.next()) {
                ++wiped;
                fault(c, "wiped", QStringLiteral("no status row"));
                continue;
            }
            QDateTime stamp[4][2];
            for (int n = 1; n <= 3; ++n)
                for (int e = 0; e < 2; ++e)
                    stamp[n][e] = q.value((n - 1) * 2 + e).toDateTime();
            QString stamps;
            for (int n = 1; n <= 3; ++n)
                stamps += QStringLiteral(" %1: %2 to %3").arg(n).arg(stamp[n][0].toString(Qt::ISODate),
                                                                     stamp[n][1].toString(Qt::ISODate));
            for (int n = 1; n <= 3; ++n) {
                const bool played = game.tours.contains(n);
                const bool closed = game.tours.contains(n + 1);
                if (played && !stamp[n][0].isValid()) {
                    ++wiped;
                    fault(c, "wiped", QStringLiteral("tour %1 played, unstamped;%2").arg(n).arg(stamps));
                }
                if (!game.shown.contains(n) && (stamp[n][0].isValid() || stamp[n][1].isValid())) {
                    ++stampFaults;  // stamped for a tour the player never saw begin
                    fault(c, "stamps", QStringLiteral("tour %1 not begun, stamped;%2").arg(n).arg(stamps));
                }
                if (closed && (!stamp[n][1].isValid() || stamp[n][1] < stamp[n][0] ||
                               stamp[n + 1][0] < stamp[n][1])) {
                    ++stampFaults;
                    fault(c, "stamps", QStringLiteral("tour %1 closed, out of order;%2").arg(n).arg(stamps));
                }
            }
        }
    }

    Audit r;
    r.answersInWindow = answersInWindow;
    r.answersAll = answersAll;
    r.lost = lost;
    r.doubled = doubled;
    r.wiped = wiped;
    r.stampFaults = stampFaults;
    r.stale = stale;
    r.unconfirmed = unconfirmed;
    r.failedPlayers = failedPlayers;
    r.playersCpu = playersCpu;
    r.playersWall = playersWall;
    r.rssSum = rssSum;
    r.messages = messages;
    r.steps = steps;
    return r;
}

}  // namespace soak
