#pragma once
// Whether the game server answers at all, asked before the client library
// connects. libmariadb waits out its whole connect bound on the calling thread
// when a server accepts and never greets, or when the network drops the packets;
// the GUI thread must not wait there, or the reconnect window, its "Закрыть
// программу", the speech and the tour clock stand still. The probe opens a socket
// of its own and waits, at most the same bound, for the server's first bytes
// (its greeting). Only a silent server keeps the library from connecting: a
// refused or closed connection fails there at once, with its own error.

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

namespace sor {

enum class ServerAnswer { Answered, Silent };

// The wait for a greeting, as the client library's own connect bound.
constexpr int kConnectBoundMs = 3000;

// TCP only: "localhost" (or no host) is the local socket, which answers at once.
bool probeApplies(const QString& host);

// Blocking: for a thread that may wait.
ServerAnswer probeServer(const QString& host, int port, int boundMs = kConnectBoundMs);

// Without blocking: finished() comes later on the object's thread, once.
class ServerProbe : public QObject
{
    Q_OBJECT

public:
    explicit ServerProbe(QObject* parent = nullptr);
    void start(const QString& host, int port, int boundMs = kConnectBoundMs);
    bool running() const { return running_; }

signals:
    void finished(sor::ServerAnswer answer);

private:
    void finish(ServerAnswer answer);

    QTcpSocket socket_;
    QTimer bound_;
    bool running_ = false;
};

}  // namespace sor
