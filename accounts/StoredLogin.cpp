#include "accounts/StoredLogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accounts/LoginProcedure.h"
#include "data/SessionContext.h"
#include "platform/KeyboardLayout.h"

namespace sor {

namespace {

const QString kAutoLogin = QStringLiteral("AutoLogin");
const QString kLogin = QStringLiteral("sLogin");
const QString kPass = QStringLiteral("sPass");

bool changeSpoken = false;

// A number other than 0 is on; 0, and anything that is not a number, is off.
std::optional<bool> autoLoginValue(const QSettings& k)
{
    if (!k.contains(kAutoLogin))
        return std::nullopt;
    bool number = false;
    const qlonglong v = k.value(kAutoLogin).toLongLong(&number);
    return number && v != 0;
}

}  // namespace

StoredLoginKey::StoredLoginKey()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kStoredLoginOrganisation),
                QString())
{
#ifdef Q_OS_UNIX
    // The stored hash opens the account like the password: the file is made
    // the owner's alone before anything is written to it.
    const QString file = settings_.fileName();
    if (!QFile::exists(file)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
#endif
}

StoredLoginKey::~StoredLoginKey()
{
    settings_.sync();
    // A file here; the registry elsewhere, which keeps the user's rights itself.
    const QString file = settings_.fileName();
    if (QFile::exists(file))
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

std::optional<bool> readAutoLogin()
{
    StoredLoginKey key;
    return autoLoginValue(key.values());
}

void writeStoredLogin(bool on)
{
    StoredLoginKey key;
    QSettings& k = key.values();
    k.setValue(kAutoLogin, on ? 1 : 0);
    k.setValue(kLogin, on ? CurrentLoginEmail : QString(QStringLiteral("")));
    k.setValue(kPass, on ? CurrentPasswordHash : QString(QStringLiteral("")));
}

bool ShowLogin(TDataModule1& dm)
{
    bool showWindow = true;
    {
        StoredLoginKey key;
        QSettings& k = key.values();
        if (autoLoginValue(k).value_or(false)) {
            if (k.contains(kLogin))
                CurrentLoginEmail = k.value(kLogin).toString();
            if (k.contains(kPass))
                CurrentPasswordHash = k.value(kPass).toString();
            try {
                if (fLoginQuery(dm, CurrentLoginEmail, CurrentPasswordHash) == lrLoggedIn)
                    showWindow = false;
                else
                    k.setValue(kAutoLogin, 0);
            } catch (const std::exception&) {
                // Reported by the data module; the login window follows.
            }
        }
    }
    activateKeyboardLayout(QStringLiteral("00000409"));
    return showWindow;
}

bool settingsChangeSpoken()
{
    return changeSpoken;
}

void setSettingsChangeSpoken()
{
    changeSpoken = true;
}

void resetSettingsChangeSpoken()
{
    changeSpoken = false;
}

}  // namespace sor
