#include "accounts/unitRegist.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "accounts/AccountControls.h"
#include "accounts/Registration.h"
#include "data/DataModulUnit.h"
#include "speech/Announce.h"
#include "speech/LabeledEdit.h"

TfrmRegist* frmRegist = nullptr;

TfrmRegist::TfrmRegist(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRegist"));
    setWindowTitle(QStringLiteral("Регистрация игрока"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Label1 = sor::accountHeading(QStringLiteral("Регистрация игрока"), 16, true, Panel1);
    ledName = sor::accountEdit(QStringLiteral("Имя"), "ledName", Panel1);
    ledSurname = sor::accountEdit(QStringLiteral("Фамилия"), "ledSurname", Panel1);
    ledLogin = sor::accountEdit(QStringLiteral("E-mail"), "ledLogin", Panel1);
    ledLogin->setToolTip(QStringLiteral("Введите адрес электронной почты"));
    ledLogin->lineEdit()->setToolTip(ledLogin->toolTip());
    ledPass = sor::accountEdit(QStringLiteral("Пароль"), "ledPass", Panel1);
    ledPass->setEchoMode(QLineEdit::Password);
    sor::alignLabels({ledName, ledSurname, ledLogin, ledPass});
    auto* fields = new QVBoxLayout(Panel1);
    fields->addWidget(Label1);
    for (TLabeledEdit* e : {ledName, ledSurname, ledLogin, ledPass})
        fields->addWidget(e);

    btOK = sor::accountButton(QStringLiteral("Сохранить"), "btOK", this);
    btCancel = sor::accountButton(QStringLiteral("Отмена"), "btCancel", this);
    btOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Panel1);
    column->addLayout(buttons);
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
