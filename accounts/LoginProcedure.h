#pragma once
// The login: the e-mail rule, the password hash and the login procedure that
// registers a new session for the account. No windows here: the login window
// (TfrmInput), the stored login and the account windows call these.

#include <QDateTime>
#include <QString>

class QObject;
class TDataModule1;

namespace sor {

// The password hash stored in users.password (see data/PasswordHash.h).
QString md5(const QString& s);

// The e-mail syntax rule: a local part of dot-separated words (runs of atom
// characters, or quoted words with backslash escapes), "@", and at least two
// dot-separated domain labels of Latin letters, digits and inner hyphens, each
// beginning with a letter. Read one UTF-16 unit at a time; callers pass the
// trimmed text.
bool ValidEmail(const QString& email);

// Text as the account windows take it from their fields.
QString trimmedText(const QString& s);            // codes 0 to 32 removed at both ends
QString lowerCasedEmail(const QString& s);        // trimmed, then lower-cased

// The longest text each account field holds: the length of its column in the
// game database (users.loginEmail, name, surname, CodeRest). The windows' edits
// take no more, and nothing longer is ever sent to the server.
constexpr int kEmailLength = 254;
constexpr int kNameLength = 100;
constexpr int kSurnameLength = 100;
constexpr int kRestoreCodeLength = 32;
// Whether the text fits its column (counted in UTF-16 units, which is never
// fewer than the server's characters).
inline bool fitsColumn(const QString& text, int length)
{
    return text.size() <= length;
}
// "254 символов", "21 символа": a count of characters after "длиннее" or "не более".
QString charactersText(int length);
// Refuses a text longer than its column before any statement runs: tells the
// player `before` + "длиннее 254 символов" + `after` through MyMessageDlg and
// returns true; false (and nothing said) when the text fits.
bool refusedAsTooLong(QObject* owner, const QString& text, int length, const QString& before,
                      const QString& after, const QString& caption);

// The login result.
enum LoginResult : int {
    lrNoAccount = 0,       // no account has this address and password hash
    lrLoggedIn = 1,        // matched, last login 15 seconds or more ago
    lrRecentlyLogged = 2,  // matched, last login less than 15 seconds ago
};

// 1 or 2 for an account whose last login was at `lastLogin`, judged by the server
// clock `serverNow`: 2 when they lie less than 15 whole seconds apart (either
// way). A last login that was never made (invalid) gives 1.
int loginResultFor(const QDateTime& lastLogin, const QDateTime& serverNow);

// A new session GUID: 38 characters, braced, upper-case hexadecimal digits.
QString newSessionGuid();

// What the login's statements found and made.
struct LoginRecord
{
    int result = lrNoAccount;  // LoginResult
    qint64 userId = 0;         // users.ID
    QString loginEmail;        // users.loginEmail
    QString session;           // the new session GUID
    QDateTime serverTime;      // the server clock at the login
};

// The login's statements, without touching the session context. `login` is an
// e-mail address (lower-cased here), `pass` the password hash. On a match
// (result 1 or 2) they register a new session in Sor_users, stamp users.dt and
// leave QVerGUID open on the new session; on result 0 they read and write
// nothing more. A failure to read the account, the server clock or the session
// row is reported by the data module and thrown; a failed write is rolled back
// and the statements go on.
LoginRecord runLoginStatements(TDataModule1& dm, const QString& login, const QString& pass);

// The login procedure: the login's statements, and on a match (result 1 or 2)
// the session context filled from them (CurrentUserID, CurrentLoginEmail,
// LoginServerTime, SessionGUID). Failures as runLoginStatements.
int fLoginQuery(TDataModule1& dm, const QString& login, const QString& pass);

// What came of pressing "Войти".
enum class LoginOutcome {
    Refused,    // a message of the login window told the player why
    LoggedIn,   // result 1: the session context is filled, the stored login written
    Failed,     // a database failure; the data module's report has said so
};

// The login button: checks the fields, logs in, and on result 1 sets
// CurrentPasswordHash and writes the stored login (with the account when
// `saveLogin`, emptied otherwise). Messages go to `owner` through MyMessageDlg.
LoginOutcome submitLogin(TDataModule1& dm, QObject* owner, const QString& email, const QString& password,
                         bool saveLogin);

}  // namespace sor
