#pragma once
// The one connection to the game database.
//
// It never reconnects or repeats an operation by itself. When an operation finds
// the connection gone, the connection counts as not connected from then on: later
// operations fail at once (as a lost connection) until open() succeeds again. Who
// reconnects is the data module's reconnect timer (or a caller that calls open()).
//
// Every failure is first handed to the handlers, in this order:
//   connectionLost - only when the connection dropped during an operation that
//                    could have been repeated (one outside a transaction);
//   error          - always; setting `fail` to false marks the error handled.
// and then thrown: EDbAbort when handled, EDbError otherwise (see DbErrors.h).
//
// Transactions (every write runs in one):
//
//     auto& q = DataModule1->QueryQuery;
//     q.close();
//     q.clearSql();
//     q.addLine("UPDATE  users ");
//     q.addLine("SET dt= NOW()");
//     q.addLine("WHERE ID=:id");
//     q.bindLargeInt("id", CurrentUserID);
//     int changed = 0;
//     if (!DataModule1->UniConnection1.execInTransaction(q, [&] { changed = q.rowsAffected(); })) {
//         // rolled back; the error report has already told the player
//     }
//
// Several statements in one transaction go through runTransaction(work) the same way.

#include <QObject>
#include <QString>
#include <functional>

#include "data/DbErrors.h"
#include "data/DbParams.h"

struct st_mysql;

namespace sor {

// The bound of a connect, the greeting and the TLS handshake included.
constexpr int kConnectBoundMs = 3000;

class TDbQuery;

// What the connection was doing when it found itself disconnected.
enum TConnLostCause { clUnknown, clOpen, clExecute, clTransStart, clTransCommit };

// What the connection-lost handler asks for. Only rmRaise is offered: the
// connection never reconnects or repeats an operation by itself.
enum TRetryMode { rmRaise };

class TDbConnection : public QObject
{
    Q_OBJECT

public:
    explicit TDbConnection(QObject* parent = nullptr);
    ~TDbConnection() override;

    void setParams(const DbParams& params);  // takes effect at the next open()
    const DbParams& params() const { return params_; }

    // Connected: opened and not found gone since.
    bool connected() const { return connected_; }
    // Connects (a no-op when connected). A failure is reported and thrown. The
    // connect runs on a thread of its own while the GUI thread waits in a local
    // event loop: the windows (the reconnect window's button included), the
    // timers, the speech and the keys stay live whatever the server does within
    // the connect bound. Called again while it waits, it throws EDbAbort
    // without a report.
    void open();
    // True while open() waits for the server.
    bool connecting() const { return connecting_; }
    // Disconnects. Query objects keep their statements, parameters and rows.
    void close();

    bool inTransaction() const { return inTransaction_; }
    void startTransaction();
    void commit();
    // Never throws and never reports: a rollback follows a failure that has been
    // reported already. A rollback that cannot be done drops the connection, so
    // that the server discards the transaction.
    void rollback() noexcept;

    // Start, work, commit. On any error (std::exception) roll back and return false.
    // Called while a transaction runs, it throws std::logic_error and leaves that
    // transaction alone (its own runTransaction then rolls it back as a whole).
    bool runTransaction(const std::function<void()>& work);
    // Prepares q outside the transaction, then start, execute q, afterExecute
    // (for example read q.rowsAffected()), commit. False after a rollback.
    bool execInTransaction(TDbQuery& q, const std::function<void()>& afterExecute = {});

    // Handlers (the data module installs its own).
    std::function<void()> afterConnect;
    std::function<void(QObject* component, TConnLostCause cause, TRetryMode& retryMode)> connectionLost;
    std::function<void(const EDbError& e, bool& fail)> error;

    // Counts successful connects; prepared statements of an older one are stale.
    quint64 generation() const { return generation_; }

    // Reports a failure of `component` and throws (for the query objects).
    [[noreturn]] void fail(int nativeNumber, const QString& message, QObject* component, TConnLostCause cause);
    [[noreturn]] void fail(const EDbError& e, QObject* component, TConnLostCause cause);
    [[noreturn]] void failNotConnected(QObject* component, TConnLostCause cause);

private:
    friend class TDbQuery;
    void attach(TDbQuery* q);
    void detach(TDbQuery* q);
    void releaseStatements();
    void dropHandle();
    [[noreturn]] void failHandle(QObject* component, TConnLostCause cause);
    [[noreturn]] void report(const EDbError& e, QObject* component, TConnLostCause cause, bool connecting);

    DbParams params_;
    st_mysql* mysql_ = nullptr;  // the client library's connection, while connected
    bool connected_ = false;
    bool connecting_ = false;
    bool inTransaction_ = false;
    quint64 generation_ = 0;
    QList<TDbQuery*> queries_;
};

}  // namespace sor
