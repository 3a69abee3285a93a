#pragma once
// Registering a new player: one new users row.

#include <QString>

class QObject;
class TDataModule1;

namespace sor {

// The registration window's "Сохранить": checks the e-mail and the password
// (messages to `owner`, caption "Сохранение записи."), then inserts the account:
// the e-mail trimmed and lower-cased, the password hashed exactly as typed, the
// names trimmed (possibly empty). True when the row was stored. An address
// already registered is reported by the data module's error report and gives
// false, as does any other database failure.
bool saveRegistration(TDataModule1& dm, QObject* owner, const QString& name, const QString& surname,
                      const QString& email, const QString& password);

}  // namespace sor
