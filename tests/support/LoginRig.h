#pragma once
// Logging a player in without the login window: the login procedure's
// statements run on a data module's query objects, as the login does them.
//
//   TDataModule1 dm(TestServer::clientParams(db));
//   dm.UniConnection1.open();
//   QVERIFY(sortest::logIn(dm));              // the demo player; the session context is filled
//
//   dm = sortest::loggedInModule(db);          // the three steps above in one; null on failure
//
//   // Another copy of the program logs in on the same account (its own module):
//   TDataModule1 other(TestServer::clientParams(db));
//   other.UniConnection1.open();
//   sortest::runLoginStatements(other, kDemoEmail, other.md5(kDemoPassword));
//
// After a login the data module's QVerGUID holds the session check of this
// login, open, and LoginQuery the account lookup.

#include <QDateTime>
#include <QString>

#include <memory>

class TDataModule1;

namespace sortest {

inline const QString kDemoEmail = QStringLiteral("demo@tavrek.example");
inline const QString kDemoPassword = QStringLiteral("sorventa");

struct LoginOutcome
{
    int result = 0;  // 0 no such account, 1 logged in, 2 logged in less than 15 s after the last login
    qint64 userId = 0;
    QString loginEmail;
    QString session;  // the new session GUID
    QDateTime serverTime;
};

// Looks the account up, reads the server clock, registers a new session and
// stamps the login; writes nothing of the session context. Throws on a
// database failure.
LoginOutcome runLoginStatements(TDataModule1& dm, const QString& email, const QString& passwordHash);

// The same, and on result 1 or 2 fills the session context as a successful
// login does. False when the account did not match.
bool logIn(TDataModule1& dm, const QString& email = kDemoEmail, const QString& password = kDemoPassword);

// A data module of the test server's database `db`, connected, with the demo
// player logged in on it; null when the login did not go through.
std::unique_ptr<TDataModule1> loggedInModule(const QString& db);

}  // namespace sortest
