#pragma once
// The session context: who is logged in, under which session, and what the
// start-up learned. Program-wide, written on the GUI thread only.

#include <QDateTime>
#include <QString>

extern qint64 CurrentUserID;          // users.ID of the player, 0 before a login
extern QString CurrentLoginEmail;     // users.loginEmail as stored
extern QString CurrentPasswordHash;   // 32 lower-case hex digits
extern QString SessionGUID;           // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
extern QDateTime LoginServerTime;     // the server clock at login / at the last tour set-up
extern bool AppOutdated;              // the server asks for a newer client

namespace sor {
// Back to the values of a fresh start (tests begin each case from here).
void resetSessionContext();
}  // namespace sor
