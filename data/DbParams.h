#pragma once
// Where the client finds the game database and who it is there. The defaults are
// the game server compiled into the program; tests pass the values of their own server.

#include <QString>

#include "Config.h"

namespace sor {

// The compiled-in CA file: the build's own, or the installed program's copy.
QString gameCaFile();

struct DbParams
{
    QString host = QString::fromLatin1(config::kGameHost);
    int port = config::kGamePort;
    QString user = QStringLiteral("tavrekdb2");
    QString password = QStringLiteral("Hb3Tz8WqPn5J");
    QString database = QStringLiteral("tavrekdb2");
    // The CA certificates (PEM) the game server's certificate must be signed by.
    QString ca = gameCaFile();
};

}  // namespace sor
