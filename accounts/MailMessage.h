#pragma once
// A plain-text e-mail as the game sends it (the password-restore code): our own
// small builder, so that every byte that leaves is known.
//
// The message: CRLF line ends; Date, From, To, Subject, Message-ID, MIME-Version;
// "text/plain; charset=windows-1251" with 8-bit transfer encoding, the body
// lines in Windows-1251; the sender name and the subject as RFC 2047 encoded
// words (UTF-8, Base64) when they are not plain ASCII.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace sor {

struct MailMessage
{
    QString senderName;
    QString senderAddress;
    QString recipient;
    QString subject;
    QStringList bodyLines;
};

// A recipient the mail commands can carry: no CR, LF, NUL, "<" or ">". Anything
// else would let a typed address add commands or recipients of its own.
bool isSafeRecipient(const QString& address);

// The header value for `text`: itself when it is printable ASCII, otherwise
// encoded words folded onto continuation lines, no line longer than 76
// characters; `used` is what the first line already holds ("Subject: " is 9).
// A character is never split between two words.
QByteArray encodedHeaderText(const QString& text, int used);

// "<unique@domain of the sender>".
QString newMessageId(const QString& senderAddress);

// The whole message. Empty when the body cannot be written in Windows-1251.
QByteArray composeMail(const MailMessage& message, const QDateTime& date, const QString& messageId);

}  // namespace sor
