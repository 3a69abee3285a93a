#include "accounts/PasswordRestoreWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include "accounts/AccountControls.h"
#include "accounts/LoginProcedure.h"
#include "accounts/MailSender.h"
#include "accounts/PasswordRestore.h"
#include "data/DataModule.h"
#include "speech/Announce.h"
#include "speech/LabeledEdit.h"

TfrRestPass* frRestPass = nullptr;

TfrRestPass::TfrRestPass(QWidget* parent) : QDialog(parent)
{
    sor::accountDialog(this, "frRestPass", QStringLiteral("Восстановление пароля"));

    Panel1 = sor::accountPanel(this);
    ledLogin = sor::emailEdit(Panel1);
    btGetCodeRest = sor::accountButton(QStringLiteral("Получить код восстановления"), "btGetCodeRest", Panel1);
    ledCodeRestore = sor::accountEdit(QStringLiteral("Код восстановления"), "ledCodeRestore", Panel1);
    ledPass = sor::accountEdit(QStringLiteral("Новый пароль"), "ledPass", Panel1);
    ledPass->setEchoMode(QLineEdit::Password);
    sor::limitEdit(ledCodeRestore, sor::kRestoreCodeLength);
    sor::alignLabels({ledLogin, ledCodeRestore, ledPass});
    auto* fields = new QVBoxLayout(Panel1);
    fields->addWidget(ledLogin);
    fields->addWidget(btGetCodeRest, 0, Qt::AlignRight);
    fields->addWidget(ledCodeRestore);
    fields->addWidget(ledPass);

    sor::panelWithSaveCancel(this, Panel1, btOK, btCancel);
    setMinimumSize(387, 234);

    setTabOrder(ledLogin, btGetCodeRest);
    setTabOrder(btGetCodeRest, ledCodeRestore);
    setTabOrder(ledCodeRestore, ledPass);
    setTabOrder(ledPass, btOK);
    setTabOrder(btOK, btCancel);
    ledLogin->setFocus();

    sor::announceHeading(this, [this] { return windowTitle(); });
    for (TLabeledEdit* e : {ledLogin, ledCodeRestore, ledPass})
        sor::announceEdit(e);
    sor::echoTypedCharacters(ledLogin);  // never the password
    sor::echoTypedCharacters(ledCodeRestore);
    for (QPushButton* b : {btGetCodeRest, btOK, btCancel})
        sor::announceButton(b);

    connect(btGetCodeRest, &QPushButton::clicked, this, &TfrRestPass::btGetCodeRestClick);
    connect(btOK, &QPushButton::clicked, this, &TfrRestPass::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrRestPass::reject);
}

TfrRestPass::~TfrRestPass()
{
    if (frRestPass == this)
        frRestPass = nullptr;
}

void TfrRestPass::reject()
{
    if (!sending_)
        done(2);
}

void TfrRestPass::closeEvent(QCloseEvent* event)
{
    if (sending_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TfrRestPass::btGetCodeRestClick()
{
    if (sending_)
        return;
    const QScopedValueRollback<bool> busy(sending_, true);
    sor::requestRestoreCode(*DataModule1, sor::mailSender(), this, ledLogin->text());
}

void TfrRestPass::btOKClick()
{
    if (sending_)
        return;
    if (sor::saveNewPassword(*DataModule1, this, ledLogin->text(), ledCodeRestore->text(), ledPass->text()) ==
        sor::PasswordSave::Saved)
        done(1);
}
