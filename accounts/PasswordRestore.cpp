#include "accounts/PasswordRestore.h"

#include <QRandomGenerator>

#include "accounts/LoginProcedure.h"
#include "accounts/MailSender.h"
#include "data/DataModule.h"
#include "speech/MessageDlg.h"

namespace sor {

namespace {

const QString kAttention = QStringLiteral("Внимание!");

// Start, execute, count, commit; 0 when anything failed (rolled back, reported).
int changedRows(TDataModule1& dm, TDbQuery& q)
{
    int count = 0;
    if (!dm.UniConnection1.execInTransaction(q, [&] { count = q.rowsAffected(); }))
        count = 0;
    return count;
}

}  // namespace

QString makeRestoreCode()
{
    QRandomGenerator* secure = QRandomGenerator::system();
    QString code(10, Qt::Uninitialized);
    for (QChar& c : code)
        c = QChar(char16_t(48 + secure->bounded(77)));
    return code;
}

MailMessage restoreMail(const QString& recipient, const QString& code, const QString& senderAddress)
{
    MailMessage m;
    m.senderName = QStringLiteral("Sorventa ОО «Таврек»");
    m.senderAddress = senderAddress;
    m.recipient = recipient;
    m.subject = QStringLiteral("Восстановление пароляв программе Sorventa ОО «Таврек»");
    m.bodyLines = QStringList{
        QStringLiteral("Sorventa ОО «Таврек» - Восстановление пароля"),
        QStringLiteral("Введите код восстановления в соответствующее поле в форме востановления пароля."),
        QStringLiteral("Код восстановления: ") + code,
    };
    return m;
}

CodeRequest requestRestoreCode(TDataModule1& dm, MailSender& sender, QObject* owner, const QString& email)
{
    const QString address = trimmedText(email);
    if (address.isEmpty()) {
        MyMessageDlg(owner,
                     QStringLiteral("Отсутствует адрес электронной почты!\r\n"
                                    "Введите адрес электронной почты для отправки кода восстановления."),
                     kAttention, mbOK);
        return CodeRequest::Refused;
    }
    if (!ValidEmail(address)) {
        MyMessageDlg(owner, QStringLiteral("Адрес электронной почты указан неверно! "), kAttention, mbOK);
        return CodeRequest::Refused;
    }
    // Refused before any mail goes out: no account can have a longer address.
    if (refusedAsTooLong(owner, address, kEmailLength, QStringLiteral("Адрес электронной почты "),
                         QStringLiteral("!"), kAttention))
        return CodeRequest::Refused;
    const QString code = makeRestoreCode();
    if (!sender.send(restoreMail(address, code, sender.senderAddress()))) {
        MyMessageDlg(owner, QStringLiteral("Ошибка отправки электронной почты."), kAttention, mbOK);
        return CodeRequest::SendFailed;
    }

    TDbQuery& q = dm.QueryQuery;
    q.setSql({QStringLiteral("UPDATE users "),
              QStringLiteral("SET CodeRest= :CodeRest"),
              QStringLiteral("WHERE loginEmail = :loginEmail ")});
    q.bindString(QStringLiteral("CodeRest"), code);
    q.bindString(QStringLiteral("loginEmail"), address);
    if (changedRows(dm, q) >= 1) {
        MyMessageDlg(owner, QStringLiteral("Код восттановления отправлен на электронный ящик."),
                     QStringLiteral("Сообщение."), mbOK);
        return CodeRequest::Stored;
    }
    MyMessageDlg(owner, QStringLiteral("Аккаунт с таким адресом электронной почты не зарегистрирован."), kAttention,
                 mbOK);
    return CodeRequest::NoAccount;
}

PasswordSave saveNewPassword(TDataModule1& dm, QObject* owner, const QString& email, const QString& code,
                             const QString& newPassword)
{
    const QString caption = QStringLiteral("Сохранение записи.");
    const QString address = trimmedText(email);
    if (address.isEmpty()) {
        MyMessageDlg(owner, QStringLiteral("Ошибка сохранения! Отсутствует адрес электронной почты!"), caption, mbOK);
        return PasswordSave::Refused;
    }
    if (!ValidEmail(address)) {
        MyMessageDlg(owner, QStringLiteral("Ошибка сохранения! Адрес электронной почты указан неверно!"), caption,
                     mbOK);
        return PasswordSave::Refused;
    }
    if (refusedAsTooLong(owner, address, kEmailLength, QStringLiteral("Ошибка сохранения! Адрес электронной почты "),
                         QStringLiteral("!"), caption))
        return PasswordSave::Refused;
    if (trimmedText(newPassword).isEmpty()) {
        MyMessageDlg(owner, QStringLiteral("Ошибка сохранения! Отсутствует пароль!"), caption, mbOK);
        return PasswordSave::Refused;
    }
    // An empty code would match every account that has none pending.
    if (trimmedText(code).isEmpty()) {
        MyMessageDlg(owner, QStringLiteral("Ошибка сохранения! Отсутствует код восстановления!"), caption, mbOK);
        return PasswordSave::Refused;
    }
    if (refusedAsTooLong(owner, trimmedText(code), kRestoreCodeLength,
                         QStringLiteral("Ошибка сохранения! Код восстановления "), QStringLiteral("!"), caption))
        return PasswordSave::Refused;

    TDbQuery& q = dm.QueryQuery;
    q.setSql({QStringLiteral("UPDATE users "),
              QStringLiteral("SET password= :password,"),
              QStringLiteral("CodeRest= :del"),
              QStringLiteral("WHERE (loginEmail = :loginEmail) AND (CodeRest= :CodeRest)")});
    q.bindString(QStringLiteral("CodeRest"), trimmedText(code));
    q.bindString(QStringLiteral("loginEmail"), address);
    q.bindString(QStringLiteral("password"), md5(trimmedText(newPassword)));
    q.bindString(QStringLiteral("del"), QString(QStringLiteral("")));
    if (changedRows(dm, q) >= 1) {
        MyMessageDlg(owner, QStringLiteral("Новый пароль сохранен."), QStringLiteral("Сообщение."), mbOK);
        return PasswordSave::Saved;
    }
    MyMessageDlg(owner, QStringLiteral("Ошибка сохраненя пароля. Проверьте, правильно ли заполнены поля."),
                 kAttention, mbOK);
    return PasswordSave::NotSaved;
}

}  // namespace sor
