#include "DbFaults.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtDebug>
#include <atomic>

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
