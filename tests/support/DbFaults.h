#pragma once
// Faults of the game connection, made on purpose: the client's connection killed
// on the server, or the server stopped, also while a statement of the client runs.

#include <QString>
#include <atomic>
#include <functional>
#include <thread>

class QSqlDatabase;
class TDataModule1;

namespace sortest {

// A TCP port on 127.0.0.1 where nothing listens, held for as long as the object
// lives: the socket is bound but never listens, so a connection is refused and
// no other process (a test running beside this one) can take the port meanwhile.
class RefusingPort
{
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// The server's id of the client's game connection (asked on its work query).
qint64 connectionId(TDataModule1& dm);

// Kills connection `id` through an admin connection of the server in `serverDir`
// (the fixture's folder, or a PrivateServer's). Returns false and warns on failure.
bool killConnection(const QString& serverDir, qint64 id);

// Runs `action` on a thread of its own as soon as connection `id` of the server in
// `serverDir` is busy with a statement (or when `timeoutMs` has passed without it),
// while the test thread runs that statement. The action gets an admin connection of
// that thread. The destructor waits for the thread.
class WhenBusy
{
public:
    WhenBusy(QString serverDir, qint64 id, std::function<void(QSqlDatabase& admin)> action, int timeoutMs = 20000);
    ~WhenBusy();
    void wait();
    bool sawBusy() const { return sawBusy_; }

private:
    std::atomic<bool> sawBusy_{false};
    std::thread thread_;
};

// An action for WhenBusy: kill the busy connection.
std::function<void(QSqlDatabase&)> killIt(qint64 id);

}  // namespace sortest
