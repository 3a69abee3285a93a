#include "accounts/MailMessage.h"

#include <QStringEncoder>
#include <QUuid>

namespace sor {

namespace {

const QByteArray kCrlf = QByteArrayLiteral("\r\n");

bool isPlainAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}

// A display name: encoded words, or plain text quoted when it holds characters
// that mean something in an address.
QByteArray displayName(const QString& name, int used)
{
    if (!isPlainAscii(name))
        return encodedHeaderText(name, used);
    static const QString specials = QStringLiteral("()<>[]:;@\\,.\"");
    bool quote = false;
    for (const QChar c : name)
        quote = quote || specials.contains(c);
    if (!quote)
        return name.toLatin1();
    QByteArray out = "\"";
    for (const QChar c : name) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += '\\';
        out += char(c.unicode());
    }
    return out + '"';
}

}  // namespace

bool isSafeRecipient(const QString& address)
{
    for (const QChar c : address) {
        const char16_t u = c.unicode();
        if (u == '\r' || u == '\n' || u == 0 || u == '<' || u == '>')
            return false;
    }
    return true;
}

QByteArray encodedHeaderText(const QString& text, int used)
{
    if (isPlainAscii(text))
        return text.toLatin1();
    // A line holding encoded words stays within 76 characters: "=?UTF-8?B?" and
    // "?=" take 12, the rest is Base64 in whole groups of four (three bytes).
    constexpr int kLine = 76;
    constexpr int kFrame = 12;
    auto bytesFor = [](int room) { return qMax(3, (room - kFrame) / 4 * 3); };
    qsizetype budget = bytesFor(kLine - used);
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size();) {
        // One character: a surrogate pair stays together.
        const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, len).toUtf8();
        if (!chunk.isEmpty() && chunk.size() + bytes.size() > budget) {
            words.append(chunk);
            chunk.clear();
            budget = bytesFor(kLine - 1);  // continuation lines begin with a blank
        }
        chunk += bytes;
        i += len;
    }
    if (!chunk.isEmpty())
        words.append(chunk);
    QByteArray out;
    for (const QByteArray& w : std::as_const(words)) {
        if (!out.isEmpty())
            out += kCrlf + ' ';
        out += "=?UTF-8?B?" + w.toBase64() + "?=";
    }
    return out;
}

QString newMessageId(const QString& senderAddress)
{
    const qsizetype at = senderAddress.lastIndexOf(QLatin1Char('@'));
    const QString domain = at >= 0 ? senderAddress.mid(at + 1) : QStringLiteral("localhost");
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('@') + domain +
           QLatin1Char('>');
}

QByteArray composeMail(const MailMessage& message, const QDateTime& date, const QString& messageId)
{
    QStringEncoder cp1251("windows-1251");
    if (!cp1251.isValid())
        return QByteArray();
    QByteArray body;
    for (const QString& line : message.bodyLines) {
        body += QByteArray(cp1251.encode(line));
        body += kCrlf;
    }
    if (cp1251.hasError())
        return QByteArray();

    QByteArray m;
    m += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + kCrlf;
    QByteArray from = "From: " + displayName(message.senderName, 6);
    const QByteArray address = '<' + message.senderAddress.toUtf8() + '>';
    const qsizetype lastLine = from.size() - (from.lastIndexOf('\n') + 1);
    from += (lastLine + 1 + address.size() > 78 ? kCrlf + ' ' : QByteArray(" ")) + address;
    m += from + kCrlf;
    m += "To: <" + message.recipient.toUtf8() + '>' + kCrlf;
    m += "Subject: " + encodedHeaderText(message.subject, 9) + kCrlf;
    m += "Message-ID: " + messageId.toUtf8() + kCrlf;
    m += "MIME-Version: 1.0" + kCrlf;
    m += "Content-Type: text/plain; charset=windows-1251" + kCrlf;
    m += "Content-Transfer-Encoding: 8bit" + kCrlf;
    m += kCrlf;
    m += body;
    return m;
}

}  // namespace sor
