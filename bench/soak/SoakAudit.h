#pragma once
// The audit after a soak: every player's journal of what it was told, read
// back and compared with the server's rows.
//   lost     an answer whose verdict the player heard that is not stored as
//            heard (missing, or stored with the other verdict; for an earlier
//            game, the report's counts lower than the verdicts heard);
//   doubled  an answer stored twice, or a question asked again in a game after
//            its verdict was heard;
//   wiped    a new game offered over a game in progress, or a tour the player
//            played whose start stamp is gone;
// besides tours whose stamps are out of order, answer rows of an earlier game
// left in the current one, and rows stored while the player heard of a failure.

#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include <vector>

#include "BenchKit.h"
#include "soak/Soak.h"

namespace soak {

struct Audit
{
    benchkit::Figures steps;  // the step's server part, ms, of the steps in the window
    int answersInWindow = 0;  // verdicts heard in the measured window
    int answersAll = 0;       // verdicts heard in all
    int lost = 0, doubled = 0, wiped = 0;
    int stampFaults = 0, stale = 0, unconfirmed = 0;
    int failedPlayers = 0;    // ended badly, halted, or never wrote their end
    double playersCpu = 0, playersWall = 0;  // the players' CPU seconds and wall seconds, summed
    long rssSum = 0;                         // their memory (proportional set), kB, summed
    QMap<QString, int> messages;             // the messages the players saw, counted
};

// Reads the journals of `children` (the window from `from` to `to`, ms since
// the epoch), checks them against the rows `admin` sees, and lists each fault,
// with its player, in the file `faultsPath`.
Audit auditRun(const std::vector<Child>& children, qint64 from, qint64 to, QSqlDatabase& admin,
               const QString& faultsPath);

}  // namespace soak
