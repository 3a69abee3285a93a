#pragma once
// Readings of the game server's clock (NOW(), the stamps it writes).

#include <QDateTime>

namespace sor {

// Whole seconds between two readings of the server's clock, either way round;
// 0 when either is missing. They come back labelled with this machine's zone
// and are compared as they read, so that a daylight-saving change here does not
// bend their difference.
inline qint64 serverSecondsApart(const QDateTime& a, const QDateTime& b)
{
    if (!a.isValid() || !b.isValid())
        return 0;
    const QDateTime ua(a.date(), a.time(), Qt::UTC);
    const QDateTime ub(b.date(), b.time(), Qt::UTC);
    return qAbs(ua.msecsTo(ub)) / 1000;
}

}  // namespace sor
