#pragma once
// The stored login: the account of the last login, kept for the user so that the
// next start logs in without the login window. The values live under the user's
// key "Software\SorventaTavrek" (QSettings in the native format, organisation
// "SorventaTavrek": the registry on Windows, ~/.config/SorventaTavrek.conf here):
//   "AutoLogin" integer, 1 on / 0 off (any non-zero number reads as on)
//   "sLogin"    the account's e-mail address as stored, or empty
//   "sPass"     the account's password hash, or empty
// The password itself is never stored.

#include <QSettings>
#include <QString>
#include <optional>

class TDataModule1;

namespace sor {

inline constexpr const char* kStoredLoginOrganisation = "SorventaTavrek";

// The key, opened (and created when missing) for one operation. Closing it
// (the destructor) writes what was set, readable by the user only: the stored
// hash opens the account as the password would.
class StoredLoginKey
{
public:
    StoredLoginKey();
    ~StoredLoginKey();
    StoredLoginKey(const StoredLoginKey&) = delete;
    StoredLoginKey& operator=(const StoredLoginKey&) = delete;

    QSettings& values() { return settings_; }

private:
    QSettings settings_;
};

// "AutoLogin": nothing when the value is missing; on for a non-zero number, off
// for zero and for anything that is not a number.
std::optional<bool> readAutoLogin();

// Writes "AutoLogin" = on, and "sLogin" / "sPass" = CurrentLoginEmail /
// CurrentPasswordHash when on, both empty when off. The login window after every
// login, and the settings window's "Сохранить".
void writeStoredLogin(bool on);

// The automatic login at start-up: when "AutoLogin" is on, takes "sLogin" and
// "sPass" (those present) into CurrentLoginEmail and CurrentPasswordHash and
// logs in with them. Returns false when that gave result 1 (the player is logged
// in), true when the login window must be shown. A login that gives anything but
// 1 switches "AutoLogin" off; a database failure (reported by the data module)
// leaves it as it is, since it says nothing against the stored account.
// Also sets the keyboard layout for the program, on every call.
bool ShowLogin(TDataModule1& dm);

// The settings window's check box "Автоматическая авторизация ": a change to it
// is spoken only once the first settings window of the run has been set up.
bool settingsChangeSpoken();
void setSettingsChangeSpoken();
void resetSettingsChangeSpoken();  // back to the start of a run (tests)

}  // namespace sor
