#include "data/SessionContext.h"

qint64 CurrentUserID = 0;
QString CurrentLoginEmail;
QString CurrentPasswordHash;
QString SessionGUID;
QDateTime LoginServerTime;
bool AppOutdated = false;

void sor::resetSessionContext()
{
    CurrentUserID = 0;
    CurrentLoginEmail.clear();
    CurrentPasswordHash.clear();
    SessionGUID.clear();
    LoginServerTime = QDateTime();
    AppOutdated = false;
}
