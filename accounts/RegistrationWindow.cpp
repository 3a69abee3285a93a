#include "accounts/RegistrationWindow.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "accounts/AccountControls.h"
#include "accounts/LoginProcedure.h"
#include "accounts/Registration.h"
#include "data/DataModule.h"
#include "speech/Announce.h"
#include "speech/LabeledEdit.h"

TfrmRegist* frmRegist = nullptr;

TfrmRegist::TfrmRegist(QWidget* parent) : QDialog(parent)
{
    sor::accountDialog(this, "frmRegist", QStringLiteral("Регистрация игрока"));

    Panel1 = sor::accountPanel(this);
    Label1 = sor::accountHeading(QStringLiteral("Регистрация игрока"), 16, true, Panel1);
    ledName = sor::accountEdit(QStringLiteral("Имя"), "ledName", Panel1);
    ledSurname = sor::accountEdit(QStringLiteral("Фамилия"), "ledSurname", Panel1);
    ledLogin = sor::emailEdit(Panel1);
    ledPass = sor::accountEdit(QStringLiteral("Пароль"), "ledPass", Panel1);
    ledPass->setEchoMode(QLineEdit::Password);
    sor::limitEdit(ledName, sor::kNameLength);
    sor::limitEdit(ledSurname, sor::kSurnameLength);
    sor::alignLabels({ledName, ledSurname, ledLogin, ledPass});
    auto* fields = new QVBoxLayout(Panel1);
    fields->addWidget(Label1);
    for (TLabeledEdit* e : {ledName, ledSurname, ledLogin, ledPass})
        fields->addWidget(e);

    sor::panelWithSaveCancel(this, Panel1, btOK, btCancel);
    setMinimumSize(331, 252);

    setTabOrder(ledName, ledSurname);
    setTabOrder(ledSurname, ledLogin);
    setTabOrder(ledLogin, ledPass);
    setTabOrder(ledPass, btOK);
    setTabOrder(btOK, btCancel);
    ledName->setFocus();

    sor::announceHeading(this, [this] { return Label1->text(); });
    for (TLabeledEdit* e : {ledName, ledSurname, ledLogin, ledPass})
        sor::announceEdit(e);
    for (TLabeledEdit* e : {ledName, ledSurname, ledLogin})  // never the password
        sor::echoTypedCharacters(e);
    sor::announceButton(btOK);
    sor::announceButton(btCancel);

    connect(btOK, &QPushButton::clicked, this, &TfrmRegist::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrmRegist::btCancelClick);
}

TfrmRegist::~TfrmRegist()
{
    if (frmRegist == this)
        frmRegist = nullptr;
}

void TfrmRegist::reject()
{
    btCancelClick();
}

void TfrmRegist::btOKClick()
{
    // On a refusal or a failure the window stays with everything typed.
    if (sor::saveRegistration(*DataModule1, this, ledName->text(), ledSurname->text(), ledLogin->text(),
                              ledPass->text()))
        done(1);
}

void TfrmRegist::btCancelClick()
{
    done(2);
}
