#include "data/VersionCheck.h"

namespace sor {

QString trimBlanks(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && s.at(end - 1).unicode() <= 32)
        --end;
    return s.mid(begin, end - begin);
}

}  // namespace sor

namespace {

int toNumber(const QString& part, const QString& whole)
{
    bool ok = false;
    const int n = part.toInt(&ok, 10);
    if (!ok || part.isEmpty() || part.contains(QLatin1Char(' ')))
        throw sor::EConvertError(
            QStringLiteral("'%1' is not a valid version number (in '%2')").arg(part, whole).toStdString());
    return n;
}

}  // namespace

TiaVer AppVerToIAVer(const QString& StrVer)
{
    TiaVer v{};
    QString rest = StrVer;
    for (int position = 3; position >= 1; --position) {
        const qsizetype p = rest.indexOf(QLatin1Char('.'));
        // No point left: the part is empty (and fails), the rest stays as it is.
        const QString part = sor::trimBlanks(p < 0 ? QString() : rest.left(p));
        rest = sor::trimBlanks(rest.mid(p + 1));
        v[position] = toNumber(part, StrVer);
    }
    v[0] = toNumber(rest, StrVer);
    return v;
}

qint64 VerWeight(const TiaVer& v)
{
    return qint64(v[3]) * 1000 + qint64(v[2]) * 100 + qint64(v[1]) * 10 + qint64(v[0]);
}

QString VerToText(const TiaVer& v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v[3]).arg(v[2]).arg(v[1]).arg(v[0]);
}
