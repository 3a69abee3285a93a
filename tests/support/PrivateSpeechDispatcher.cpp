#include "PrivateSpeechDispatcher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace sortest {
namespace {

bool accepts(const QString& socketPath)
{
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

PrivateSpeechDispatcher::PrivateSpeechDispatcher()
    : dir_(QDir::tempPath() + QStringLiteral("/sor-spd-XXXXXX"))  // short: socket paths are limited
{
}

PrivateSpeechDispatcher::~PrivateSpeechDispatcher()
{
    stop();
}

QString PrivateSpeechDispatcher::socketPath() const
{
    return dir_.filePath(QStringLiteral("sock"));
}

bool PrivateSpeechDispatcher::start(int timeoutMs)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    QDir(dir_.path()).mkpath(QStringLiteral("conf/modules"));
    QDir(dir_.path()).mkpath(QStringLiteral("log"));
    QFile conf(dir_.filePath(QStringLiteral("conf/speechd.conf")));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = conf.errorString();
        return false;
    }
    conf.write("CommunicationMethod \"unix_socket\"\n"
               "LogLevel 5\n"
               "AudioOutputMethod \"alsa\"\n"
               "AudioALSADevice \"null\"\n"
               "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
               "DefaultModule espeak-ng\n"
               "DefaultVolume 100\n");
    conf.close();
    QFile module(dir_.filePath(QStringLiteral("conf/modules/espeak-ng.conf")));
    if (!module.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = module.errorString();
        return false;
    }
    module.close();
    QFile::remove(socketPath());

    process_ = std::make_unique<QProcess>();
    process_->setStandardOutputFile(dir_.filePath(QStringLiteral("log/stdout.txt")));
    process_->setStandardErrorFile(dir_.filePath(QStringLiteral("log/stderr.txt")));
    process_->start(QStringLiteral("speech-dispatcher"),
                    {QStringLiteral("--run-single"), QStringLiteral("--timeout"), QStringLiteral("0"),
                     QStringLiteral("--config-dir"), dir_.filePath(QStringLiteral("conf")),
                     QStringLiteral("--log-dir"), dir_.filePath(QStringLiteral("log")),
                     QStringLiteral("--communication-method"), QStringLiteral("unix_socket"),
                     QStringLiteral("--socket-path"), socketPath(),
                     QStringLiteral("--pid-file"), dir_.filePath(QStringLiteral("pid"))});
    if (!process_->waitForStarted(timeoutMs)) {
        error_ = QStringLiteral("speech-dispatcher did not start: ") + process_->errorString();
        process_.reset();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (process_->state() != QProcess::Running) {
            error_ = QStringLiteral("speech-dispatcher ended at start");
            process_.reset();
            return false;
        }
        if (accepts(socketPath()))
            return true;
        QThread::msleep(50);
    }
    error_ = QStringLiteral("speech-dispatcher does not accept connections");
    stop();
    return false;
}

void PrivateSpeechDispatcher::stop()
{
    if (!process_)
        return;
    process_->terminate();
    if (!process_->waitForFinished(10000)) {
        process_->kill();
        process_->waitForFinished(5000);
    }
    process_.reset();
}

QStringList PrivateSpeechDispatcher::parseLog(const QByteArray& log)
{
    // Each read from a client is logged as "<fd>:DATA:|<bytes>" followed by a
    // line "| (<count>)"; the bytes may hold several SSIP lines.
    static const QRegularExpression record(
        QStringLiteral("\\d+:DATA:\\|(.*?)\\n\\| \\(\\d+\\)\\n"),
        QRegularExpression::DotMatchesEverythingOption);
    QStringList lines;
    const QString text = QString::fromUtf8(log);
    for (auto it = record.globalMatch(text); it.hasNext();) {
        QString data = it.next().captured(1);
        if (data.endsWith(QLatin1Char('\r')))
            data.chop(1);
        lines += data.split(QStringLiteral("\r\n"));
    }

    QStringList commands;
    bool inText = false;
    QStringList textLines;
    for (const QString& line : std::as_const(lines)) {
        if (inText) {
            if (line == QLatin1String(".")) {
                commands.append(QStringLiteral("SPEAK ") + textLines.join(QLatin1Char('\n')));
                textLines.clear();
                inText = false;
            } else {
                textLines.append(line.startsWith(QLatin1String("..")) ? line.mid(1) : line);
            }
        } else if (line.compare(QLatin1String("SPEAK"), Qt::CaseInsensitive) == 0) {
            inText = true;
        } else {
            commands.append(line);
        }
    }
    return commands;
}

QStringList PrivateSpeechDispatcher::protocol() const
{
    QFile log(dir_.filePath(QStringLiteral("log/speech-dispatcher.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return parseLog(log.readAll());
}

bool PrivateSpeechDispatcher::waitFor(const std::function<bool(const QStringList&)>& done, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (done(protocol()))
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
}

}  // namespace sortest
