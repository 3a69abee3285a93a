#include "accounts/LoginProcedure.h"

#include <QUuid>

#include "accounts/StoredLogin.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "data/PasswordHash.h"
#include "data/ServerClock.h"
#include "data/VersionCheck.h"
#include "speech/MessageDlg.h"

namespace sor {

namespace {

bool isAtom(char16_t c)
{
    if (c < 33 || c > 255)
        return false;
    switch (c) {
    case 34: case 40: case 41: case 44: case 46: case 47: case 58: case 59:
    case 60: case 62: case 64: case 91: case 92: case 93: case 127:
        return false;
    default:
        return true;
    }
}

bool isLetter(char16_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

QString md5(const QString& s)
{
    return passwordHash(s);
}

bool ValidEmail(const QString& email)
{
    int state = 0;
    int labels = 1;
    for (const QChar ch : email) {
        const char16_t c = ch.unicode();
        switch (state) {
        case 0:  // start of the text
            if (isAtom(c))
                state = 1;
            else if (c == '"')
                state = 2;
            else
                return false;
            break;
        case 1:  // an unquoted word of the local part
            if (c == '@')
                state = 6;
            else if (c == '.')
                state = 5;
            else if (!isAtom(c))
                return false;
            break;
        case 2:  // a quoted word
            if (c == '\\')
                state = 3;
            else if (c == '"')
                state = 4;
            else if (c > 255 || c == 13)
                return false;
            break;
        case 3:  // the character after a backslash, whatever it is
            state = 2;
            break;
        case 4:  // after the closing quote
            if (c == '@')
                state = 6;
            else if (c == '.')
                state = 5;
            else
                return false;
            break;
        case 5:  // after a dot in the local part
            if (isAtom(c))
                state = 1;
            else if (c == '"')
                state = 2;
            else
                return false;
            break;
        case 6:  // start of a domain label
            if (isLetter(c))
                state = 7;
            else
                return false;
            break;
        case 7:  // inside a domain label
            if (c == '.') {
                state = 6;
                ++labels;
            } else if (c == '-') {
                state = 8;
            } else if (!isLetter(c) && !isDigit(c)) {
                return false;
            }
            break;
        case 8:  // after a hyphen in a domain label
            if (isLetter(c) || isDigit(c))
                state = 7;
            else if (c != '-')
                return false;
            break;
        }
    }
    return state == 7 && labels >= 2;
}

QString trimmedText(const QString& s)
{
    return trimBlanks(s);
}

QString lowerCasedEmail(const QString& s)
{
    return trimBlanks(s).toLower();
}

int loginResultFor(const QDateTime& lastLogin, const QDateTime& serverNow)
{
    if (!lastLogin.isValid() || !serverNow.isValid())
        return lrLoggedIn;
    return serverSecondsApart(lastLogin, serverNow) < 15 ? lrRecentlyLogged : lrLoggedIn;
}

QString newSessionGuid()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

QString charactersText(int length)
{
    const bool one = length % 10 == 1 && length % 100 != 11;
    return QString::number(length) + (one ? QStringLiteral(" символа") : QStringLiteral(" символов"));
}

bool refusedAsTooLong(QObject* owner, const QString& text, int length, const QString& before,
                      const QString& after, const QString& caption)
{
    if (fitsColumn(text, length))
        return false;
    MyMessageDlg(owner, before + QStringLiteral("длиннее ") + charactersText(length) + after, caption, mbOK);
    return true;
}

LoginRecord runLoginStatements(TDataModule1& dm, const QString& login, const QString& pass)
{
    LoginRecord out;
    // No account has an address longer than its column (a stored login edited
    // by hand, say): nothing to ask the server.
    if (!fitsColumn(login.toLower(), kEmailLength))
        return out;
    TDbQuery& account = dm.LoginQuery;
    account.setSql({"SELECT * ", "FROM users", "WHERE users.loginEmail=:lgn", "AND users.password=:pss"});
    account.bindString(QStringLiteral("lgn"), login.toLower());
    account.bindString(QStringLiteral("pss"), pass);
    account.open();
    if (account.isEmpty())
        return out;

    out.userId = qint64(account.asInteger(QStringLiteral("ID")));
    out.loginEmail = account.asString(QStringLiteral("loginEmail"));
    const QDateTime lastLogin = account.asDateTime(QStringLiteral("dt"));

    dm.QueryClockServer.close();
    dm.QueryClockServer.open();
    out.serverTime = dm.QueryClockServer.asDateTime(QStringLiteral("dtsr"));

    // A new session, also for result 2: a copy of the program still logged in
    // with this account loses its session at its next check.
    out.session = newSessionGuid();

    TDbQuery& work = dm.QueryQuery;
    work.setSql({"INSERT INTO Sor_users (UserID, dt, `Session`)", "VALUES (:UserID, NOW(), :Session)",
                 "ON DUPLICATE KEY UPDATE dt=NOW(),`Session`=:Session  "});
    work.bindLargeInt(QStringLiteral("UserID"), out.userId);
    work.bindString(QStringLiteral("Session"), out.session);
    dm.UniConnection1.execInTransaction(work);

    work.setSql({"UPDATE  users ", "SET dt= NOW()", "WHERE ID=:id"});
    work.bindLargeInt(QStringLiteral("id"), out.userId);
    dm.UniConnection1.execInTransaction(work);

    // Left open: the single-session check reopens it as it stands.
    TDbQuery& session = dm.QVerGUID;
    session.setSql({"SELECT * ", "FROM Sor_users", "WHERE Session=:Session"});
    session.bindString(QStringLiteral("Session"), out.session);
    session.open();

    out.result = loginResultFor(lastLogin, out.serverTime);
    return out;
}

int fLoginQuery(TDataModule1& dm, const QString& login, const QString& pass)
{
    const LoginRecord record = runLoginStatements(dm, login, pass);
    if (record.result != lrNoAccount) {
        CurrentUserID = record.userId;
        CurrentLoginEmail = record.loginEmail;
        LoginServerTime = record.serverTime;
        SessionGUID = record.session;
    }
    return record.result;
}

LoginOutcome submitLogin(TDataModule1& dm, QObject* owner, const QString& email, const QString& password,
                         bool saveLogin)
{
    if (trimmedText(email).isEmpty() || trimmedText(password).isEmpty()) {
        MyMessageDlg(owner, QStringLiteral("Введите данные аккаунта для входа в программу!"),
                     QStringLiteral("Сообщение. "), mbOK);
        return LoginOutcome::Refused;
    }
    if (!ValidEmail(trimmedText(email))) {
        MyMessageDlg(owner, QStringLiteral("Адрес электронной почты указан неверно! "), QStringLiteral("Сообщение."),
                     mbOK);
        return LoginOutcome::Refused;
    }
    if (refusedAsTooLong(owner, lowerCasedEmail(email), kEmailLength, QStringLiteral("Адрес электронной почты "),
                         QStringLiteral("!"), QStringLiteral("Сообщение.")))
        return LoginOutcome::Refused;
    // The password as typed: blanks around it are part of it.
    const QString pass = md5(password);
    int r = lrNoAccount;
    try {
        r = fLoginQuery(dm, lowerCasedEmail(email), pass);
    } catch (const std::exception&) {
        // The data module's report has told the player; the window stays as it was.
        return LoginOutcome::Failed;
    }
    switch (r) {
    case lrLoggedIn:
        CurrentPasswordHash = pass;
        writeStoredLogin(saveLogin);
        return LoginOutcome::LoggedIn;
    case lrRecentlyLogged:
        MyMessageDlg(owner, QStringLiteral("Под таким аккаунтом вход уже осуществлен!"), QStringLiteral("Сообщение. "),
                     mbOK);
        return LoginOutcome::Refused;
    default:
        MyMessageDlg(owner, QStringLiteral("Адрес электронной почты или пароль указаны неверно!"),
                     QStringLiteral("Сообщение. "), mbOK);
        return LoginOutcome::Refused;
    }
}

}  // namespace sor
