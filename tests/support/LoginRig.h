#pragma once
// Logging a player in without the login window, by the login procedure's own
// statements on a data module's query objects.
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

#include <QString>

#include <memory>

#include "accounts/LoginProcedure.h"

class TDataModule1;

namespace sortest {

inline const QString kDemoEmail = QStringLiteral("demo@tavrek.example");
inline const QString kDemoPassword = QStringLiteral("sorventa");

// What the login's own statements found and made (accounts/LoginProcedure.h).
using LoginOutcome = sor::LoginRecord;

// The login's statements: the account looked up, the server clock read, a new
// session registered and the login stamped; nothing of the session context is
// written. Throws on a database failure.
LoginOutcome runLoginStatements(TDataModule1& dm, const QString& email, const QString& passwordHash);

// The login procedure itself, and on result 1 or 2 the password hash kept as
// a successful login keeps it. False when the account did not match.
bool logIn(TDataModule1& dm, const QString& email = kDemoEmail, const QString& password = kDemoPassword);

// A data module of the test server's database `db`, connected, with the demo
// player logged in on it; null when the login did not go through.
std::unique_ptr<TDataModule1> loggedInModule(const QString& db);

}  // namespace sortest
