#pragma once
// A real mail server for tests: scripts/smtp-peer.py (aiosmtpd, run with
// /usr/bin/python3) on a free port of 127.0.0.1, AUTH LOGIN and PLAIN (or a chosen
// one) for one account, no TLS, every accepted message saved as a .eml file in a folder of its own.
// Stopped by its process id when the object goes.
//
//   sortest::SmtpPeer peer;
//   QVERIFY2(peer.start(), qPrintable(peer.error()));
//   sor::SmtpMailSender sender(peer.clientSettings());   // the account it accepts
//   ...
//   QCOMPARE(peer.messageFiles().size(), 1);
//   const QJsonObject m = sortest::SmtpPeer::decode(peer.messageFiles().first());
//   QCOMPARE(m["subject"].toString(), ...);
//
// decode() reads a saved message with Python's own mail parser (RFC 2047
// headers, the body in its declared charset) and returns what a mail program
// shows: envelope_to (array), from_name, from_address, to, subject, date,
// date_parses, message_id, mime_version, content_type, charset,
// transfer_encoding, body (line ends as sent), defects (array), bare_lf,
// longest_header_line.

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "accounts/MailSender.h"

namespace sortest {

class SmtpPeer
{
public:
    explicit SmtpPeer(QString user = QStringLiteral("sorventa@tavrek.example"),
                      QString password = QStringLiteral("Lw4Rk7ntBz2oq"));
    // The AUTH mechanisms the peer offers (of "LOGIN" and "PLAIN"); both when
    // never set. Takes effect at start().
    void setAuthMechanisms(const QStringList& mechanisms) { mechanisms_ = mechanisms; }
    // Each login so far, oldest first, as "MECHANISM ok" or "MECHANISM refused".
    QStringList authLog() const;
    ~SmtpPeer();

    bool start(int timeoutMs = 30000);
    void stop();
    QString error() const { return error_; }

    int port() const { return port_; }
    QString mailDir() const;
    // The saved messages, oldest first.
    QStringList messageFiles() const;
    // Waits until at least `count` messages are saved (they are written as the
    // server answers, so normally at once).
    bool waitForMessages(int count, int timeoutMs = 10000) const;

    // For "no mail was sent": sends a mail of its own through the peer and waits
    // for it, so that any message an earlier send delivered has been saved by then.
    // True when that mail is the only one after the first `before` messages.
    bool onlyMarkerAfter(int before, int timeoutMs = 10000) const;

    // Client settings for this peer with its account; short waits for tests.
    sor::SmtpSettings clientSettings() const;

    static QJsonObject decode(const QString& file);
    // The same for message bytes that were never sent.
    static QJsonObject decodeBytes(const QByteArray& message);

private:
    QString user_;
    QString password_;
    QStringList mechanisms_;
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    QString error_;
};

}  // namespace sortest
