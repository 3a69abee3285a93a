#include "LoginRig.h"

#include <QUuid>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "TestServer.h"

namespace sortest {

LoginOutcome runLoginStatements(TDataModule1& dm, const QString& email, const QString& passwordHash)
{
    LoginOutcome out;
    sor::TDbQuery& login = dm.LoginQuery;
    login.setSql({"SELECT * ", "FROM users", "WHERE users.loginEmail=:lgn", "AND users.password=:pss"});
    login.bindString("lgn", email.toLower());
    login.bindString("pss", passwordHash);
    login.open();
    if (login.isEmpty())
        return out;
    out.userId = login.asInteger("ID");
    out.loginEmail = login.asString("loginEmail");
    const QDateTime lastLogin = login.asDateTime("dt");

    dm.QueryClockServer.close();
    dm.QueryClockServer.open();
    out.serverTime = dm.QueryClockServer.asDateTime("dtsr");
    const qint64 apart = lastLogin.isValid() ? qAbs(lastLogin.msecsTo(out.serverTime)) / 1000 : 1000000;
    out.result = apart < 15 ? 2 : 1;

    out.session = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    sor::TDbQuery& q = dm.QueryQuery;
    q.setSql({"INSERT INTO Sor_users (UserID, dt, `Session`)", "VALUES (:UserID, NOW(), :Session)",
              "ON DUPLICATE KEY UPDATE dt=NOW(),`Session`=:Session  "});
    q.bindLargeInt("UserID", out.userId);
    q.bindString("Session", out.session);
    dm.UniConnection1.execInTransaction(q);
    q.setSql({"UPDATE  users ", "SET dt= NOW()", "WHERE ID=:id"});
    q.bindLargeInt("id", out.userId);
    dm.UniConnection1.execInTransaction(q);

    dm.QVerGUID.setSql({"SELECT * ", "FROM Sor_users", "WHERE Session=:Session"});
    dm.QVerGUID.bindString("Session", out.session);
    dm.QVerGUID.open();
    return out;
}

bool logIn(TDataModule1& dm, const QString& email, const QString& password)
{
    const QString hash = dm.md5(password);
    const LoginOutcome out = runLoginStatements(dm, email, hash);
    if (out.result == 0)
        return false;
    CurrentUserID = out.userId;
    CurrentLoginEmail = out.loginEmail;
    CurrentPasswordHash = hash;
    SessionGUID = out.session;
    LoginServerTime = out.serverTime;
    return true;
}

std::unique_ptr<TDataModule1> loggedInModule(const QString& db)
{
    auto dm = std::make_unique<TDataModule1>(TestServer::clientParams(db));
    dm->UniConnection1.open();
    if (!logIn(*dm))
        return nullptr;
    return dm;
}

}  // namespace sortest
