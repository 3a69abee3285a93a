#pragma once
// What the soak's player, driver and audit share: the players' accounts, the
// clock their journals are stamped with, and the driver's record of a player
// process.

#include <QDateTime>
#include <QString>

#include <sys/types.h>

namespace soak {

inline const QString kPassword = QStringLiteral("sorventa");

inline QString playerEmail(int i)
{
    return QStringLiteral("soak%1@tavrek.example").arg(i);
}

inline qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// A player process of the driver's, with its journal.
struct Child
{
    int index = 0;
    pid_t pid = 0;
    QString journal;
    int status = -1;  // from waitpid, -1 while running
};

// One player: this program run with --player (SoakPlayer.cpp).
int playerMain(int argc, char** argv);
// The driver: the server, the players, the faults, the figures (SoakDriver.cpp).
int driverMain(int argc, char** argv);

}  // namespace soak
