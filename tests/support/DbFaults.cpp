#include "DbFaults.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtDebug>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "data/DataModule.h"

namespace sortest {

namespace {

std::atomic<int> nextName{1};

QSqlDatabase openAdmin(const QString& serverDir, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    db.setHostName(QStringLiteral("localhost"));
    db.setUserName(QStringLiteral("root"));
    db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + serverDir + QStringLiteral("/mariadbd.sock"));
    if (!db.open())
        qWarning() << "admin connection failed:" << db.lastError().text();
    return db;
}

bool kill(QSqlDatabase& admin, qint64 id)
{
    QSqlQuery q(admin);
    if (!q.exec(QStringLiteral("KILL %1").arg(id))) {
        qWarning() << "KILL failed:" << q.lastError().text();
        return false;
    }
    return true;
}

}  // namespace

RefusingPort::RefusingPort()
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port_ = ntohs(addr.sin_port);
}

RefusingPort::~RefusingPort()
{
    if (fd_ >= 0)
        ::close(fd_);
}

qint64 connectionId(TDataModule1& dm)
{
    dm.QueryQuery.setSql({QStringLiteral("SELECT CONNECTION_ID() AS id")});
    dm.QueryQuery.open();
    return dm.QueryQuery.asLargeInt(QStringLiteral("id"));
}

bool killConnection(const QString& serverDir, qint64 id)
{
    const QString name = QStringLiteral("sortest-kill-%1").arg(nextName++);
    bool ok = false;
    {
        QSqlDatabase admin = openAdmin(serverDir, name);
        ok = admin.isOpen() && kill(admin, id);
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

std::function<void(QSqlDatabase&)> killIt(qint64 id)
{
    return [id](QSqlDatabase& admin) { kill(admin, id); };
}

WhenBusy::WhenBusy(QString serverDir, qint64 id, std::function<void(QSqlDatabase&)> action, int timeoutMs)
{
    thread_ = std::thread([this, serverDir, id, action = std::move(action), timeoutMs] {
        const QString name = QStringLiteral("sortest-busy-%1").arg(nextName++);
        {
            QSqlDatabase admin = openAdmin(serverDir, name);
            QDeadlineTimer deadline(timeoutMs);
            while (!deadline.hasExpired()) {
                QSqlQuery q(admin);
                q.exec(QStringLiteral("SELECT COMMAND FROM information_schema.PROCESSLIST WHERE ID=%1").arg(id));
                if (q.next() && q.value(0).toString() != QLatin1String("Sleep")) {
                    sawBusy_ = true;
                    break;
                }
                QThread::msleep(20);
            }
            // Let the statement get properly under way.
            QThread::msleep(100);
            action(admin);
        }
        QSqlDatabase::removeDatabase(name);
    });
}

WhenBusy::~WhenBusy()
{
    wait();
}

void WhenBusy::wait()
{
    if (thread_.joinable())
        thread_.join();
}

}  // namespace sortest
