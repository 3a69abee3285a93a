#include "LoginRig.h"

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "TestServer.h"

namespace sortest {

LoginOutcome runLoginStatements(TDataModule1& dm, const QString& email, const QString& passwordHash)
{
    return sor::runLoginStatements(dm, email, passwordHash);
}

bool logIn(TDataModule1& dm, const QString& email, const QString& password)
{
    const QString hash = dm.md5(password);
    if (sor::fLoginQuery(dm, email, hash) == sor::lrNoAccount)
        return false;
    CurrentPasswordHash = hash;
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
