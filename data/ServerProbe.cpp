#include "data/ServerProbe.h"

#include <QDeadlineTimer>

namespace sor {

bool probeApplies(const QString& host)
{
    return !host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0;
}

ServerAnswer probeServer(const QString& host, int port, int boundMs)
{
    if (!probeApplies(host))
        return ServerAnswer::Answered;
    QTcpSocket socket;
    const QDeadlineTimer deadline(boundMs);
    socket.connectToHost(host, quint16(port));
    const auto left = [&] { return int(qMax<qint64>(1, deadline.remainingTime())); };
    // Any answer but silence counts: a refusal or a closed connection is for the
    // client library to report, and it does so at once.
    if (!socket.waitForConnected(left()))
        return socket.error() == QAbstractSocket::SocketTimeoutError ? ServerAnswer::Silent : ServerAnswer::Answered;
    if (socket.bytesAvailable() > 0 || socket.waitForReadyRead(left()))
        return ServerAnswer::Answered;
    return socket.error() == QAbstractSocket::SocketTimeoutError ? ServerAnswer::Silent : ServerAnswer::Answered;
}

ServerProbe::ServerProbe(QObject* parent) : QObject(parent), socket_(this), bound_(this)
{
    bound_.setSingleShot(true);
    connect(&bound_, &QTimer::timeout, this, [this] { finish(ServerAnswer::Silent); });
    connect(&socket_, &QTcpSocket::readyRead, this, [this] { finish(ServerAnswer::Answered); });
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] { finish(ServerAnswer::Answered); });
}

void ServerProbe::start(const QString& host, int port, int boundMs)
{
    if (running_)
        return;
    running_ = true;
    if (!probeApplies(host)) {
        QTimer::singleShot(0, this, [this] { finish(ServerAnswer::Answered); });
        return;
    }
    bound_.start(boundMs);
    socket_.connectToHost(host, quint16(port));
}

void ServerProbe::finish(ServerAnswer answer)
{
    if (!running_)
        return;
    running_ = false;
    bound_.stop();
    socket_.abort();
    emit finished(answer);
}

}  // namespace sor
