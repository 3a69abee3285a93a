#include "game/NumberWords.h"

namespace sor {
namespace {
// One form for 1, another for 2 to 4, a third for 0 and 5 to 9; nothing for
// anything else.
QString unitWord(int digit, const QString& one, const QString& few, const QString& many)
{
    if (digit == 1)
        return one;
    if (digit >= 2 && digit <= 4)
        return few;
    if (digit == 0 || (digit >= 5 && digit <= 9))
        return many;
    return QString();
}
}  // namespace

QString SufMinToStrPadegh(int iMin)
{
    return unitWord(iMin, QStringLiteral("минута "), QStringLiteral("минуты "), QStringLiteral("минут "));
}

QString SufSecToStrPadegh(int iSec)
{
    return unitWord(iSec, QStringLiteral("секунда "), QStringLiteral("секунды "), QStringLiteral("секунд "));
}

}  // namespace sor
