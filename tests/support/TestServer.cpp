#include "TestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtDebug>

namespace sortest {

int runGameServerScript(const QStringList& args, QString* output, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(SOR_GAME_SERVER_SCRIPT), args);
    if (!p.waitForStarted(10000))
        return -1;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    const QString out = QString::fromUtf8(p.readAll());
    if (output)
        *output = out;
    if (p.exitCode() != 0)
        qWarning().noquote() << "game-server" << args.join(' ') << "failed:" << out;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

static int readPort(const QString& dir)
{
    QFile f(dir + QStringLiteral("/port"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromLatin1(f.readAll()).trimmed().toInt();
}

QString TestServer::dir()
{
    return qEnvironmentVariable("SORVENTA_TEST_SERVER_DIR");
}

int TestServer::port()
{
    return readPort(dir());
}

QString TestServer::testName()
{
    QString name = qEnvironmentVariable("SORVENTA_TEST_NAME");
    if (name.isEmpty())
        name = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    return name;
}

QString TestServer::ownDatabase()
{
    QString name = testName();
    if (name.startsWith(QStringLiteral("tst_")))
        name.remove(0, 4);
    return QStringLiteral("t_") + name;
}

bool TestServer::available()
{
    return !dir().isEmpty() && port() > 0;
}

bool TestServer::createDatabase(const QString& name)
{
    return runGameServerScript({QStringLiteral("create-db"), QStringLiteral("--dir"), dir(),
                                QStringLiteral("--database"), name}) == 0;
}

QSqlDatabase TestServer::admin(const QString& database, const QString& connectionName)
{
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connectionName);
    db.setHostName(QStringLiteral("localhost"));
    db.setUserName(QStringLiteral("root"));
    db.setDatabaseName(database);
    db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + dir() + QStringLiteral("/mariadbd.sock"));
    if (!db.isOpen() && !db.open())
        qWarning() << "admin connection failed:" << db.lastError().text();
    return db;
}

QSqlDatabase TestServer::client(const QString& database, const QString& connectionName)
{
    const ClientParams p = clientParams(database);
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connectionName);
    db.setHostName(p.host);
    db.setPort(p.port);
    db.setUserName(p.user);
    db.setPassword(p.password);
    db.setDatabaseName(p.database);
    // The server takes TLS only.
    db.setConnectOptions(QStringLiteral("SSL_CA=") + p.ca);
    if (!db.isOpen() && !db.open())
        qWarning() << "client connection failed:" << db.lastError().text();
    return db;
}

QString TestServer::caDir()
{
    return QStringLiteral(SOR_TEST_CA_DIR);
}

QString TestServer::caFile()
{
    return caDir() + QStringLiteral("/ca.pem");
}

ClientParams TestServer::clientParams(const QString& database)
{
    ClientParams p;
    p.port = port();
    p.database = database;
    p.ca = caFile();
    return p;
}

bool TestServer::adminExec(const QString& database, const QString& sql)
{
    QSqlDatabase db = admin(database, QStringLiteral("sortest_admin_") + database);
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        qWarning().noquote() << "admin statement failed:" << sql << q.lastError().text();
        return false;
    }
    return true;
}

PrivateServer::PrivateServer(QString dir, QStringList startArgs)
    : dir_(std::move(dir)), startArgs_(std::move(startArgs))
{
    // The tests' CA unless the test names another.
    if (!startArgs_.contains(QStringLiteral("--ca-dir")))
        startArgs_ << QStringLiteral("--ca-dir") << TestServer::caDir();
}

PrivateServer::~PrivateServer()
{
    stop();
}

bool PrivateServer::start()
{
    QStringList args{QStringLiteral("start"), QStringLiteral("--dir"), dir_};
    args << startArgs_;
    if (readPort(dir_) == 0)
        args << QStringLiteral("--port") << QStringLiteral("auto");
    return runGameServerScript(args) == 0;
}

bool PrivateServer::stop()
{
    if (!QDir(dir_).exists())
        return true;
    return runGameServerScript({QStringLiteral("stop"), QStringLiteral("--dir"), dir_}) == 0;
}

int PrivateServer::port() const
{
    return readPort(dir_);
}

ClientParams PrivateServer::clientParams() const
{
    ClientParams p;
    p.port = port();
    p.database = QStringLiteral("tavrekdb2");
    p.ca = TestServer::caFile();
    return p;
}

}  // namespace sortest
