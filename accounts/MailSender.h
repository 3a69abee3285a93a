#pragma once
// Sending mail: the game's own account on its mail server, SMTP with AUTH LOGIN
// (another mechanism only when the server lacks LOGIN) and no TLS, every wait bounded. The windows reach the sender through a seam
// (mailSender()), so that tests can point it at a mail peer of their own.

#include <QString>

#include "accounts/MailMessage.h"

namespace sor {

struct SmtpSettings
{
    QString host;
    int port = 0;
    QString user;      // the game's mail account, also the sender address
    QString password;
    int connectTimeoutMs = 10000;   // to open the connection
    int responseTimeoutS = 15;      // for each answer of the server, the last one at close too
    int totalTimeoutMs = 45000;     // for the whole exchange

    // The mail server and account compiled into the program.
    static SmtpSettings compiledIn();
};

class MailSender
{
public:
    virtual ~MailSender() = default;
    virtual QString senderAddress() const = 0;
    // One message to its one recipient; false when it was not accepted.
    virtual bool send(const MailMessage& message) = 0;
};

class SmtpMailSender : public MailSender
{
public:
    explicit SmtpMailSender(SmtpSettings settings);

    QString senderAddress() const override { return settings_.user; }

    // Connects, logs in, sends and disconnects, on a thread of its own while the
    // windows keep painting (see runResponsively). A recipient that is not
    // isSafeRecipient() fails at once, before any connection.
    bool send(const MailMessage& message) override;

    // Why the last send failed, for diagnostics (empty after a success).
    QString lastError() const { return lastError_; }

private:
    SmtpSettings settings_;
    QString lastError_;
};

// The sender the windows use: the one set, or one with the compiled-in settings.
MailSender& mailSender();
// Replaces it (not owned; nullptr: the compiled-in one again).
void setMailSender(MailSender* sender);

}  // namespace sor
