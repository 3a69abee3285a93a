#pragma once
// The data module: the client's single door to the game database. It owns the one
// connection and the shared query objects, reports every database error to the
// player, shows the reconnect window when the connection drops and reconnects
// once a second until the server answers, and checks the client's version.
//
// The query objects are shared: each user closes one, replaces its statement,
// binds its parameters and opens or executes it (DbQuery.h); writes run in
// transactions (DbConnection.h). A failed operation throws after the error report
// has done its part (DbErrors.h).

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "data/DbConnection.h"
#include "data/DbParams.h"
#include "data/DbQuery.h"

class TDataModule1 : public QObject
{
    Q_OBJECT

public:
    // Sets the connection parameters; does not connect. The first module created
    // becomes DataModule1.
    explicit TDataModule1(const sor::DbParams& params = sor::DbParams(), QObject* owner = nullptr);
    ~TDataModule1() override;

    sor::TDbConnection UniConnection1;
    sor::TDbQuery QueryQuery;        // the shared work query
    sor::TDbQuery LoginQuery;        // the account lookup, then the player's cached Sor_users row
    sor::TDbQuery QueryClockServer;  // "SELECT NOW() as dtsr "
    sor::TDbQuery QVerGUID;          // the session check
    QTimer TimerConnecting;          // reconnect attempts, every 1000 ms while the connection is lost

    // The windows disabled while the reconnect window is shown.
    QList<QPointer<QObject>> P;

    // Where the updater is looked for: the program's folder.
    QString UpdaterFolder;
    // An installed program has no updater beside it: the package manager updates
    // it, and an outdated one tells the player to update the package.
    bool Installed = false;
    static QString updaterFileName();  // "Updater.exe" on Windows, "Updater" elsewhere

    void DataModuleCreate(const sor::DbParams& params);

    // Connects and checks the version; false when either failed (the error report
    // has told the player). On true, AppOutdated tells whether the client is outdated.
    bool PrepareConnection();

    // True when the client is current. When it is outdated, starts the updater (or
    // tells the player to update when it cannot be started, or, installed, to
    // update the package: a notice that is spoken too) and returns false.
    // Throws when the statement or a version text fails.
    bool VerifVerApp();

    // The outdated-version notice: the plain box, read out.
    void TellOutdated(const QString& text);

    // The password hash (sor::passwordHash).
    QString md5(const QString& s) const;

    // Handlers of UniConnection1, and the reconnect timer's.
    void UniConnection1AfterConnect(QObject* Sender);
    void UniConnection1ConnectionLost(QObject* Sender, QObject* Component, sor::TConnLostCause ConnLostCause,
                                      sor::TRetryMode& RetryMode);
    void UniConnection1Error(QObject* Sender, const sor::EDbError& E, bool& Fail);
    void TimerConnectingTimer();

private:
    // Closes the reconnect window, if any, and gives the other windows back.
    void dismissReconnectWindow();
    // Starts the reconnection attempts unless they run already.
    void keepTrying();

    bool reconnecting_ = false;  // a timer attempt is under way
};

extern TDataModule1* DataModule1;

// The reconnect window now shown (a TfrProcessReconnect), or none.
extern QPointer<QObject> ReconnectWindow;
