#pragma once
// The test game server: a private MariaDB started by the CTest fixture
// (scripts/game-server). Each test works in a database of its own, made fresh
// from the schema and the seed, so tests may run in parallel.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "data/DbParams.h"

namespace sortest {

// The client's connection values (host, port, user, password, database): the data
// module takes them as they are.
using ClientParams = sor::DbParams;

class TestServer
{
public:
    static QString dir();      // the fixture's folder
    static int port();         // its TCP port on 127.0.0.1
    static bool available();   // the fixture is up

    // The CTest target this process runs as (SORVENTA_TEST_NAME, or the program's
    // own name), and the database, folders and names it owns: one source built as
    // two targets never shares them, so targets may run side by side.
    static QString testName();
    static QString ownDatabase();   // "t_" + testName()

    // Drops and creates `name` from the schema and the seed, with the client
    // account granted on it. Returns false (with a warning) on failure.
    static bool createDatabase(const QString& name);

    // An admin connection (root, through the server's socket) / a client one.
    static QSqlDatabase admin(const QString& database, const QString& connectionName);
    static QSqlDatabase client(const QString& database, const QString& connectionName);

    // The client's values for `database` of the fixture, the tests' CA included.
    static ClientParams clientParams(const QString& database);

    // The CA that signs the certificates of the tests' servers (the fixture's and
    // every PrivateServer's unless it is given another --ca-dir).
    static QString caDir();
    static QString caFile();

    // Runs one admin statement; returns false and warns on failure.
    static bool adminExec(const QString& database, const QString& sql);
};

// A server of the test's own, for tests that stop and restart it, or that need
// a server of another kind: `startArgs` go to every start (for instance
// --tls off, --ca-dir DIR, --cert-names NAMES; see scripts/game-server).
class PrivateServer
{
public:
    explicit PrivateServer(QString dir, QStringList startArgs = {});
    ~PrivateServer();
    bool start();   // first start: port auto; later starts reuse the port
    bool stop();
    int port() const;
    QString dir() const { return dir_; }
    // How the client reaches this server's game database.
    ClientParams clientParams() const;

private:
    QString dir_;
    QStringList startArgs_;
};

// Runs scripts/game-server with the arguments; returns its exit code (-1 when it
// could not run) and the combined output in *output.
int runGameServerScript(const QStringList& args, QString* output = nullptr, int timeoutMs = 120000);

}  // namespace sortest
