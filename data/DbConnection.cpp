#include "data/DbConnection.h"

#include <QScopedValueRollback>
#include <QSqlDatabase>
#include <QSqlError>
#include <atomic>
#include <stdexcept>

#include "data/DbQuery.h"
#include "platform/ResponsiveWait.h"

namespace sor {

namespace {

// Compression on, affected rows counted as matched rows, bounded waits. Never
// automatic reconnection: it would silently split a transaction.
const QString kConnectOptions = QStringLiteral(
    "CLIENT_COMPRESS;CLIENT_FOUND_ROWS;MYSQL_OPT_CONNECT_TIMEOUT=3;"
    "MYSQL_OPT_READ_TIMEOUT=10;MYSQL_OPT_WRITE_TIMEOUT=10");

std::atomic<int> nextConnection{1};

int nativeNumber(const QSqlError& e)
{
    bool ok = false;
    const int n = e.nativeErrorCode().toInt(&ok);
    return ok ? n : 0;
}

QString messageOf(const QSqlError& e)
{
    const QString db = e.databaseText();
    return db.isEmpty() ? e.driverText() : db;
}

}  // namespace

TDbConnection::TDbConnection(QObject* parent)
    : QObject(parent), name_(QStringLiteral("sorventa-%1").arg(nextConnection++))
{
    setObjectName(QStringLiteral("UniConnection1"));
    QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name_);
}

TDbConnection::~TDbConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    releaseStatements();
    for (TDbQuery* q : std::as_const(queries_))
        q->conn_ = nullptr;
    QSqlDatabase::removeDatabase(name_);
}

void TDbConnection::setParams(const DbParams& params)
{
    params_ = params;
}

void TDbConnection::open()
{
    if (connected_)
        return;
    if (connecting_)
        // A timer of the waiting loop asking again: the first call reports.
        throw EDbAbort(EDbError(erCannotConnect, 2003, QStringLiteral("already connecting to the game server")));
    ServerAnswer answer = ServerAnswer::Answered;
    if (probeApplies(params_.host)) {
        const QScopedValueRollback<bool> waiting(connecting_, true);
        const QString host = params_.host;
        const int port = params_.port;
        runResponsively([&] { answer = probeServer(host, port); });
    }
    openAfterProbe(answer);
}

void TDbConnection::openAfterProbe(ServerAnswer answer)
{
    if (connected_)
        return;
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    // Closed first, the old connection takes its prepared statements with it
    // (nothing is sent on a connection that is gone).
    db.close();
    releaseStatements();
    db.setHostName(params_.host);
    db.setPort(params_.port);
    db.setUserName(params_.user);
    db.setPassword(params_.password);
    db.setDatabaseName(params_.database);
    db.setConnectOptions(kConnectOptions);
    if (answer == ServerAnswer::Silent)
        // What the client library says of a server that never greets.
        report(EDbError(reportNumber(2013, true), 2013,
                        QStringLiteral("Lost connection to server at 'handshake: reading initial communication "
                                       "packet', system error: 110")),
               this, clOpen, true);
    if (!db.open()) {
        const QSqlError e = db.lastError();
        db.close();
        const int n = nativeNumber(e);
        report(EDbError(reportNumber(n, true), n, messageOf(e)), this, clOpen, true);
    }
    connected_ = true;
    inTransaction_ = false;
    ++generation_;
    if (afterConnect)
        afterConnect();
}

void TDbConnection::close()
{
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    db.close();
    releaseStatements();
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
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (!db.transaction())
        fail(db.lastError(), this, clTransStart);
    inTransaction_ = true;
}

void TDbConnection::commit()
{
    if (!inTransaction_)
        return;
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (!db.commit())
        fail(db.lastError(), this, clTransCommit);
    inTransaction_ = false;
}

void TDbConnection::rollback() noexcept
{
    if (!inTransaction_)
        return;
    inTransaction_ = false;
    if (!connected_)
        return;  // the server dropped the transaction with the connection
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (!db.rollback())
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

void TDbConnection::fail(const QSqlError& e, QObject* component, TConnLostCause cause)
{
    const int n = nativeNumber(e);
    report(EDbError(reportNumber(n, false), n, messageOf(e)), component, cause, false);
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
