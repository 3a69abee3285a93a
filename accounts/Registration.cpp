#include "accounts/Registration.h"

#include "accounts/LoginProcedure.h"
#include "data/DataModule.h"
#include "speech/MessageDlg.h"

namespace sor {

bool saveRegistration(TDataModule1& dm, QObject* owner, const QString& name, const QString& surname,
                      const QString& email, const QString& password)
{
    const QString caption = QStringLiteral("Сохранение записи.");
    if (trimmedText(email).isEmpty()) {
        MyMessageDlg(owner, QStringLiteral("Отсутствует адрес электронной почты! Запись не может быть сохранена!"),
                     caption, mbOK);
        return false;
    }
    if (!ValidEmail(trimmedText(email))) {
        MyMessageDlg(owner, QStringLiteral("Адрес электронной почты указан неверно! Запись не может быть сохранена!"),
                     caption, mbOK);
        return false;
    }
    const QString notSaved = QStringLiteral("! Запись не может быть сохранена!");
    if (refusedAsTooLong(owner, lowerCasedEmail(email), kEmailLength, QStringLiteral("Адрес электронной почты "),
                         notSaved, caption))
        return false;
    if (trimmedText(password).isEmpty()) {
        MyMessageDlg(owner, QStringLiteral("Отсутствует пароль! Запись не может быть сохранена!"), caption, mbOK);
        return false;
    }
    // The server would refuse a longer name in its own words, in English.
    if (refusedAsTooLong(owner, trimmedText(name), kNameLength, QStringLiteral("Имя "), notSaved, caption) ||
        refusedAsTooLong(owner, trimmedText(surname), kSurnameLength, QStringLiteral("Фамилия "), notSaved, caption))
        return false;
    TDbQuery& q = dm.QueryQuery;
    // The error report knows this statement by its first words ("INSERT INTO users ").
    q.setSql({QStringLiteral("INSERT INTO users (loginEmail, "),
              QStringLiteral("password, name, surname)"),
              QStringLiteral("VALUES (:Login, :Password, :Name, :Surname)")});
    q.bindString(QStringLiteral("Login"), lowerCasedEmail(email));
    q.bindString(QStringLiteral("Password"), dm.md5(password));
    q.bindString(QStringLiteral("Name"), trimmedText(name));
    q.bindString(QStringLiteral("Surname"), trimmedText(surname));
    return dm.UniConnection1.execInTransaction(q);
}

}  // namespace sor
