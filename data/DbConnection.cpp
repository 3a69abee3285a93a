#include "data/DbConnection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QScopedValueRollback>
#include <QThread>
#include <memory>
#include <mysql.h>
#include <stdexcept>

#include "data/DbQuery.h"
#include "platform/Installed.h"

namespace sor {

namespace {

// The bounds of a connect and of each read and write on the connection.
constexpr unsigned kConnectTimeoutS = kConnectBoundMs / 1000;
constexpr unsigned kReadTimeoutS = 10;
constexpr unsigned kWriteTimeoutS = 10;

// Compression on, affected rows counted as matched rows, the rows of a
// procedure. No automatic reconnection: it would silently split a transaction.
constexpr unsigned long kClientFlags = CLIENT_COMPRESS | CLIENT_FOUND_ROWS | CLIENT_MULTI_RESULTS | CLIENT_PS_MULTI_RESULTS;

QString text(const char* s)
{
    return QString::fromUtf8(s ? s : "");
}

// A connection handle with every option the game's connection has. The server
// must speak TLS and show a certificate of the trusted CA for the host it is
// asked for; the library checks both before the client's account is sent.
MYSQL* newHandle(const DbParams& p)
{
    MYSQL* m = mysql_init(nullptr);
    if (!m)
        return nullptr;
    const unsigned connectTimeout = kConnectTimeoutS, readTimeout = kReadTimeoutS, writeTimeout = kWriteTimeoutS;
    const my_bool yes = 1, no = 0;
    const unsigned noLocalFiles = 0;  // a server must never be able to ask for the player's files
    mysql_options(m, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_options(m, MYSQL_OPT_READ_TIMEOUT, &readTimeout);
    mysql_options(m, MYSQL_OPT_WRITE_TIMEOUT, &writeTimeout);
    mysql_options(m, MYSQL_OPT_RECONNECT, &no);
    mysql_options(m, MYSQL_OPT_LOCAL_INFILE, &noLocalFiles);
    mysql_options(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(m, MYSQL_OPT_SSL_ENFORCE, &yes);
    mysql_options(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &yes);
    const QByteArray ca = QFile::encodeName(p.ca);
    if (!ca.isEmpty())
        mysql_options(m, MYSQL_OPT_SSL_CA, ca.constData());
    return m;
}

}  // namespace

QString gameCaFile()
{
    // The installed program uses the copy installed with it; a build uses the file
    // it was configured with.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && runsInstalled(QCoreApplication::applicationDirPath()))
        return QString::fromLocal8Bit(config::kInstalledGameCa);
    return QString::fromLocal8Bit(config::kGameCa);
}

TDbConnection::TDbConnection(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("UniConnection1"));
    // Once, before a connect runs on a thread of its own.
    static const int libraryReady = mysql_library_init(0, nullptr, nullptr);
    (void)libraryReady;
}

TDbConnection::~TDbConnection()
{
    releaseStatements();
    dropHandle();
    for (TDbQuery* q : std::as_const(queries_))
        q->conn_ = nullptr;
}

void TDbConnection::setParams(const DbParams& params)
{
    params_ = params;
}

void TDbConnection::dropHandle()
{
    if (mysql_) {
        mysql_close(mysql_);
        mysql_ = nullptr;
    }
}

// Runs `work` on a thread of its own; on the GUI thread the wait is a local
// event loop that serves everything, input included.
static void waitLive(const std::function<void()>& work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create(work));
    // Queued: a worker that ends before the loop runs still ends the loop.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
}

void TDbConnection::open()
{
    if (connected_)
        return;
    if (connecting_)
        // A timer of the waiting loop asking again: the first call reports.
        throw EDbAbort(EDbError(erCannotConnect, 2003, QStringLiteral("already connecting to the game server")));
    // Closed first, the old connection takes its prepared statements with it
    // (nothing is sent on a connection that is gone).
    releaseStatements();
    dropHandle();
    MYSQL* m = nullptr;
    int n = 0;
    QString message;
    {
        const QScopedValueRollback<bool> waiting(connecting_, true);
        const DbParams p = params_;
        waitLive([&] {
            m = newHandle(p);
            if (!m) {
                n = 2008;
                message = QStringLiteral("MySQL client ran out of memory");
                return;
            }
            const QByteArray host = p.host.toUtf8(), user = p.user.toUtf8(), password = p.password.toUtf8(),
                             database = p.database.toUtf8();
            if (!mysql_real_connect(m, host.constData(), user.constData(), password.constData(),
                                    database.constData(), unsigned(p.port), nullptr, kClientFlags)) {
                n = int(mysql_errno(m));
                message = text(mysql_error(m));
                mysql_close(m);
                m = nullptr;
            }
        });
    }
    if (!m)
        report(EDbError(reportNumber(n, true, message), n, message), this, clOpen, true);
    mysql_ = m;
    connected_ = true;
    inTransaction_ = false;
    ++generation_;
    if (afterConnect)
        afterConnect();
}

void TDbConnection::close()
{
    releaseStatements();
    dropHandle();
    connected_ = false;
    inTransaction_ = false;
}

void TDbConnection::startTransaction()
{
    if (inTransaction_)
        // BEGIN would quietly commit the transaction under way.
        throw std::logic_error("a transaction is already running on the game connection");
    if (!connected_)
        failNotConnected(this, clTransStart);
    if (mysql_real_query(mysql_, "START TRANSACTION", 17) != 0)
        failHandle(this, clTransStart);
    inTransaction_ = true;
}

void TDbConnection::commit()
{
    if (!inTransaction_)
        return;
    if (!connected_)
        failNotConnected(this, clTransCommit);
    if (mysql_commit(mysql_) != 0)
        failHandle(this, clTransCommit);
    inTransaction_ = false;
}

void TDbConnection::rollback() noexcept
{
    if (!inTransaction_)
        return;
    inTransaction_ = false;
    if (!connected_)
        return;  // the server dropped the transaction with the connection
    if (mysql_rollback(mysql_) != 0)
        close();  // left open, the transaction would be committed by the next BEGIN
}

bool TDbConnection::runTransaction(const std::function<void()>& work)
{
    // Refused before anything is touched: the rollback below would undo the
    // transaction under way, whose work would then go on stored piecemeal.
    if (inTransaction_)
        throw std::logic_error("a transaction is already running on the game connection");
    try {
        startTransaction();
        work();
        commit();
        return true;
    } catch (const std::exception&) {
        rollback();
        return false;
    } catch (...) {
        rollback();
        throw;
    }
}

bool TDbConnection::execInTransaction(TDbQuery& q, const std::function<void()>& afterExecute)
{
    try {
        q.prepare();
    } catch (const std::exception&) {
        return false;
    }
    return runTransaction([&] {
        q.execute();
        if (afterExecute)
            afterExecute();
    });
}

void TDbConnection::failHandle(QObject* component, TConnLostCause cause)
{
    fail(int(mysql_errno(mysql_)), text(mysql_error(mysql_)), component, cause);
}

void TDbConnection::fail(int n, const QString& message, QObject* component, TConnLostCause cause)
{
    report(EDbError(reportNumber(n, false), n, message), component, cause, false);
}

void TDbConnection::fail(const EDbError& e, QObject* component, TConnLostCause cause)
{
    report(e, component, cause, false);
}

void TDbConnection::failNotConnected(QObject* component, TConnLostCause cause)
{
    report(EDbError(erConnectionLost, 2006, QStringLiteral("not connected to the game server")), component, cause,
           false);
}

void TDbConnection::report(const EDbError& e, QObject* component, TConnLostCause cause, bool connecting)
{
    if (!connecting && isConnectionLossNumber(e.nativeNumber())) {
        connected_ = false;
        // The statements and the handle go with the connection; nothing more is
        // sent on it.
        releaseStatements();
        dropHandle();
        // Outside a transaction the operation could have been repeated: the loss is
        // reported first. Inside one, the transaction is gone with the connection.
        const bool couldRepeat = !inTransaction_;
        inTransaction_ = false;
        if (couldRepeat && connectionLost) {
            TRetryMode mode = rmRaise;
            connectionLost(component, cause, mode);
        }
    }
    bool failed = true;
    if (error)
        error(e, failed);
    if (!failed)
        throw EDbAbort(e);
    throw e;
}

void TDbConnection::attach(TDbQuery* q)
{
    queries_.append(q);
}

void TDbConnection::detach(TDbQuery* q)
{
    queries_.removeAll(q);
}

void TDbConnection::releaseStatements()
{
    for (TDbQuery* q : std::as_const(queries_))
        q->releasePrepared();
}

}  // namespace sor
