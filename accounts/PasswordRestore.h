#pragma once
// Restoring a forgotten password with a code sent by e-mail: a code is mailed to
// the address and stored in the account's users.CodeRest; the code typed back
// with a new password replaces the password and is then used up.

#include <QString>

#include "accounts/MailMessage.h"

class QObject;
class TDataModule1;

namespace sor {

class MailSender;

// A restore code: 10 characters, each drawn uniformly from the 77 codes 48 to 124
// (digits, Latin letters and the signs between them) by the system's
// cryptographically secure generator, so that no code can be foreseen.
QString makeRestoreCode();

// The restore mail with `code` for `recipient`, from `senderAddress`.
MailMessage restoreMail(const QString& recipient, const QString& code, const QString& senderAddress);

enum class CodeRequest {
    Refused,    // the address is missing or not valid
    SendFailed, // the mail did not go; nothing stored
    Stored,     // mailed and stored
    NoAccount,  // mailed, but no account has the address (or storing failed)
};

// "Получить код восстановления": checks the address, mails a new code to it (the
// trimmed address as typed) and stores the code for that address. Messages go to
// `owner`. The mail goes out before the account is looked up: an address
// without an account gets a code that is stored nowhere.
CodeRequest requestRestoreCode(TDataModule1& dm, MailSender& sender, QObject* owner, const QString& email);

enum class PasswordSave {
    Refused,   // a field missing or the address not valid
    Saved,     // the new password is stored and the code used up
    NotSaved,  // no account has this address and code, or storing failed
};

// "Сохранить": stores the hash of the trimmed new password for the account whose
// address and stored code match the trimmed ones typed, and empties the code.
PasswordSave saveNewPassword(TDataModule1& dm, QObject* owner, const QString& email, const QString& code,
                             const QString& newPassword);

}  // namespace sor
