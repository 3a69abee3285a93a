#include "data/PasswordHash.h"

#include <QByteArray>
#include <QCryptographicHash>

QString sor::passwordHash(const QString& password)
{
    QByteArray bytes;
    bytes.reserve(password.size());
    for (QChar c : password)
        bytes.append(c.unicode() < 128 ? char(c.unicode()) : '?');
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}
