#include "SmtpPeer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <QThread>
#include <QtDebug>

#include "DbFaults.h"

namespace sortest {

namespace {
const QString kPython = QStringLiteral("/usr/bin/python3");
}

SmtpPeer::SmtpPeer(QString user, QString password) : user_(std::move(user)), password_(std::move(password)) {}

SmtpPeer::~SmtpPeer()
{
    stop();
}

QString SmtpPeer::mailDir() const
{
    return dir_.filePath(QStringLiteral("mail"));
}

bool SmtpPeer::start(int timeoutMs)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    // The port is chosen free, but another process may take it before the peer
    // binds it: the peer then ends at once with "address in use", and another
    // port is tried.
    const QDeadlineTimer deadline(timeoutMs);
    for (int attempt = 1;; ++attempt) {
        {
            const RefusingPort free;
            port_ = free.port();
        }
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::MergedChannels);
        QStringList args{QStringLiteral(SOR_SOURCE_DIR "/scripts/smtp-peer.py"), QStringLiteral("--port"),
                         QString::number(port_), QStringLiteral("--mail-dir"), mailDir(),
                         QStringLiteral("--user"), user_, QStringLiteral("--password"), password_,
                         QStringLiteral("--auth-log"), dir_.filePath(QStringLiteral("auth.log"))};
        if (!mechanisms_.isEmpty())
            args << QStringLiteral("--auth") << mechanisms_.join(QLatin1Char(','));
        process_->start(kPython, args);
        if (!process_->waitForStarted(10000)) {
            error_ = QStringLiteral("the mail peer did not start: ") + process_->errorString();
            return false;
        }
        QByteArray output;
        while (!output.contains("listening")) {
            if (process_->state() != QProcess::Running || deadline.hasExpired()) {
                process_->waitForFinished(1000);
                output += process_->readAll();
                break;
            }
            process_->waitForReadyRead(100);
            output += process_->readAll();
        }
        if (output.contains("listening"))
            return true;
        stop();
        const bool collided = output.contains("Address already in use") || output.contains("errno 98");
        if (!collided || attempt == 5 || deadline.hasExpired()) {
            error_ = QStringLiteral("the mail peer did not listen: ") + QString::fromUtf8(output);
            return false;
        }
        qWarning() << "mail peer: port" << port_ << "taken meanwhile, trying another";
    }
}

void SmtpPeer::stop()
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(10000)) {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
    process_.reset();
}

QStringList SmtpPeer::authLog() const
{
    QFile f(dir_.filePath(QStringLiteral("auth.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SmtpPeer::messageFiles() const
{
    QStringList files;
    const QFileInfoList list = QDir(mailDir()).entryInfoList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    for (const QFileInfo& f : list)
        files << f.absoluteFilePath();
    return files;
}

bool SmtpPeer::waitForMessages(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (messageFiles().size() < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool SmtpPeer::onlyMarkerAfter(int before, int timeoutMs) const
{
    const QString marker = QStringLiteral("nothing-before-me@tavrek.example");
    sor::SmtpMailSender sender(clientSettings());
    if (!sender.send(sor::MailMessage{QStringLiteral("Marker"), sender.senderAddress(), marker,
                                      QStringLiteral("marker"), {QStringLiteral("marker")}})) {
        qWarning().noquote() << "the marker mail was not sent:" << sender.lastError();
        return false;
    }
    if (!waitForMessages(before + 1, timeoutMs))
        return false;
    const QStringList files = messageFiles();
    if (files.size() != before + 1) {
        qWarning() << files.size() - before << "messages arrived where only the marker was expected";
        return false;
    }
    QFile last(files.last());
    if (!last.open(QIODevice::ReadOnly) || !last.readAll().contains(("X-Envelope-To: " + marker).toUtf8())) {
        qWarning() << "a message other than the marker arrived:" << files.last();
        return false;
    }
    return true;
}

sor::SmtpSettings SmtpPeer::clientSettings() const
{
    sor::SmtpSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port_;
    s.user = user_;
    s.password = password_;
    s.connectTimeoutMs = 5000;
    s.responseTimeoutS = 10;
    s.totalTimeoutMs = 20000;
    return s;
}

QJsonObject SmtpPeer::decode(const QString& file)
{
    QProcess p;
    p.start(kPython, {QStringLiteral(SOR_SOURCE_DIR "/tests/support/mail-decode.py"), file});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning().noquote() << "mail-decode failed:" << p.readAllStandardError();
        return QJsonObject();
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonObject SmtpPeer::decodeBytes(const QByteArray& message)
{
    QTemporaryFile f;
    if (!f.open())
        return QJsonObject();
    f.write(message);
    f.flush();
    return decode(f.fileName());
}

}  // namespace sortest
