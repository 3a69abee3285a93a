#include "data/DbErrors.h"

namespace sor {

bool isConnectionLossNumber(int n)
{
    switch (n) {
    case 2006:  // server has gone away
    case 2013:  // lost connection during query
    case 2055:  // lost connection, with a system error
    case 1927:  // the connection was killed
    case 4031:  // disconnected by the server for inactivity
    case 2026:  // TLS: the connection ended under the encryption layer
        return true;
    default:
        return false;
    }
}

int reportNumber(int n, bool whileConnecting, const QString& message)
{
    if (n == erNotVerified && whileConnecting) {
        // The server closing, dropping or stalling the connection in the middle
        // of the handshake is a server that is not there, not one that failed
        // the check.
        if (message.contains(QLatin1String("unexpected eof"), Qt::CaseInsensitive) ||
            message.contains(QLatin1String("timed out"), Qt::CaseInsensitive) ||
            message.contains(QLatin1String("shutdown while in init"), Qt::CaseInsensitive) ||
            message.contains(QLatin1String("Connection reset"), Qt::CaseInsensitive) ||
            message.contains(QLatin1String("Broken pipe"), Qt::CaseInsensitive))
            return erCannotConnect;
        return erNotVerified;
    }
    switch (n) {
    case 2002:  // refused, or no such socket
    case 2003:
    case 2005:  // unknown host: no network, no name service
        return erCannotConnect;
    default:
        break;
    }
    if (isConnectionLossNumber(n))
        return whileConnecting ? erCannotConnect : erConnectionLost;
    return n;
}

EDbError::EDbError(int number, int nativeNumber, QString message)
    : number_(number), nativeNumber_(nativeNumber), message_(std::move(message))
{
    what_ = (QString::number(nativeNumber_) + QLatin1Char(' ') + message_).toStdString();
}

}  // namespace sor
