#include "accounts/MailSender.h"

#include <QDateTime>
#include <cstring>
#include <curl/curl.h>
#include <mutex>

#include "Config.h"
#include "platform/ResponsiveWait.h"

namespace sor {

namespace {

// The mail account's password, fixed in the program as the server expects it.
const char* const kMailPassword = "Lw4Rk7ntBz2oq";

MailSender* installed = nullptr;

struct Upload
{
    QByteArray data;
    qsizetype sent = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* user)
{
    auto* up = static_cast<Upload*>(user);
    const size_t room = size * count;
    const size_t left = size_t(up->data.size() - up->sent);
    const size_t n = left < room ? left : room;
    memcpy(buffer, up->data.constData() + up->sent, n);
    up->sent += qsizetype(n);
    return n;
}

// What the server offered for logging in, read from its EHLO reply as it comes.
struct Offer
{
    bool auth = false;   // some AUTH mechanism is offered
    bool login = false;  // LOGIN among them
};

size_t readReplyLine(char* buffer, size_t size, size_t count, void* user)
{
    auto* offer = static_cast<Offer*>(user);
    const size_t n = size * count;
    // "250-AUTH PLAIN LOGIN" or the older "250-AUTH=LOGIN".
    const QByteArray line = QByteArray(buffer, qsizetype(n)).trimmed().toUpper();
    if (line.size() > 4 && line.startsWith("250")) {
        const QByteArray rest = line.mid(4);
        if (rest.startsWith("AUTH ") || rest.startsWith("AUTH=")) {
            offer->auth = true;
            const QList<QByteArray> words = rest.mid(5).simplified().split(' ');
            if (words.contains("LOGIN"))
                offer->login = true;
        }
    }
    return n;
}

struct Exchange
{
    QString failure;  // empty when the mail went out
    CURLcode code = CURLE_OK;
    Offer offer;
};

// The whole exchange; runs on the worker thread and touches nothing shared.
// `loginOptions` picks the AUTH mechanisms libcurl may use.
Exchange sendWithCurl(const SmtpSettings& s, const QByteArray& recipient, const QByteArray& message,
                      const char* loginOptions)
{
    Exchange exchange;
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    CURL* curl = curl_easy_init();
    if (!curl) {
        exchange.failure = QStringLiteral("the mail library could not start");
        exchange.code = CURLE_FAILED_INIT;
        return exchange;
    }
    const QByteArray host = s.host.contains(QLatin1Char(':')) ? "[" + s.host.toUtf8() + "]" : s.host.toUtf8();
    const QByteArray url = "smtp://" + host + ':' + QByteArray::number(s.port);
    const QByteArray user = s.user.toUtf8();
    const QByteArray password = s.password.toUtf8();
    const QByteArray from = '<' + user + '>';
    Upload upload{message, 0};
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* rcpt = curl_slist_append(nullptr, recipient.constData());

    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp");
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // never a proxy from the environment
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, loginOptions);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, readReplyLine);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &exchange.offer);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(s.connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(s.totalTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(s.responseTimeoutS));

    exchange.code = curl_easy_perform(curl);
    if (exchange.code != CURLE_OK)
        exchange.failure = QString::fromUtf8(*error ? error : curl_easy_strerror(exchange.code));
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    return exchange;
}

// AUTH LOGIN whenever the server offers it. A server without LOGIN is asked
// again with any mechanism that it and libcurl share; the first attempt ended
// before MAIL FROM, so nothing is sent twice.
QString sendAuthenticated(const SmtpSettings& s, const QByteArray& recipient, const QByteArray& message)
{
    const Exchange first = sendWithCurl(s, recipient, message, "AUTH=LOGIN");
    if (first.code == CURLE_LOGIN_DENIED && first.offer.auth && !first.offer.login)
        return sendWithCurl(s, recipient, message, "AUTH=*").failure;
    return first.failure;
}

}  // namespace

SmtpSettings SmtpSettings::compiledIn()
{
    SmtpSettings s;
    s.host = QString::fromLatin1(config::kMailHost);
    s.port = config::kMailPort;
    s.user = QString::fromLatin1(config::kMailUser);
    s.password = QString::fromLatin1(kMailPassword);
    return s;
}

SmtpMailSender::SmtpMailSender(SmtpSettings settings) : settings_(std::move(settings)) {}

bool SmtpMailSender::send(const MailMessage& message)
{
    lastError_.clear();
    if (!isSafeRecipient(message.recipient)) {
        lastError_ = QStringLiteral("the recipient address holds a character the mail commands cannot carry");
        return false;
    }
    const QByteArray text = composeMail(message, QDateTime::currentDateTime(), newMessageId(message.senderAddress));
    if (text.isEmpty()) {
        lastError_ = QStringLiteral("the message cannot be written in Windows-1251");
        return false;
    }
    const QByteArray recipient = '<' + message.recipient.toUtf8() + '>';
    const SmtpSettings settings = settings_;
    QString failure;
    runResponsively([&] { failure = sendAuthenticated(settings, recipient, text); });
    lastError_ = failure;
    return failure.isEmpty();
}

MailSender& mailSender()
{
    if (installed)
        return *installed;
    static SmtpMailSender compiled(SmtpSettings::compiledIn());
    return compiled;
}

void setMailSender(MailSender* sender)
{
    installed = sender;
}

}  // namespace sor
