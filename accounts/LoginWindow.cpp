#include "accounts/LoginWindow.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "accounts/AccountControls.h"
#include "accounts/LoginProcedure.h"
#include "accounts/StoredLogin.h"
#include "accounts/PasswordRestoreWindow.h"
#include "accounts/RegistrationWindow.h"
#include "platform/AppInfo.h"
#include "data/DataModule.h"
#include "speech/Announce.h"
#include "speech/LabeledEdit.h"
#include "speech/MessageDlg.h"

TfrmInput* frmInput = nullptr;

TfrmInput::TfrmInput(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmInput"));
    // A plain frame without close, minimise or maximise; no parent window, so it
    // has a taskbar entry of its own while no main window exists.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    Panel1 = sor::accountPanel(this, "Panel1");
    Label1 = sor::accountHeading(QStringLiteral("Авторизация"), 19, false, Panel1);
    auto* headerRow = new QHBoxLayout(Panel1);
    headerRow->addWidget(Label1);

    Panel2 = sor::accountPanel(this, "Panel2");
    ledLogin = sor::emailEdit(Panel2);
    ledPass = sor::accountEdit(QStringLiteral("Пароль"), "ledPass", Panel2);
    ledPass->setEchoMode(QLineEdit::Password);
    chLoginSave = new QCheckBox(QStringLiteral("Сохранить данные "), Panel2);
    chLoginSave->setObjectName(QStringLiteral("chLoginSave"));
    chLoginSave->setAccessibleName(chLoginSave->text());
    chLoginSave->setLayoutDirection(Qt::RightToLeft);  // the text left of the box
    chLoginSave->setChecked(false);
    sor::alignLabels({ledLogin, ledPass});
    auto* inputs = new QVBoxLayout(Panel2);
    inputs->addWidget(ledLogin);
    inputs->addWidget(ledPass);
    inputs->addWidget(chLoginSave, 0, Qt::AlignLeft);
    inputs->addStretch(1);

    Panel3 = sor::accountPanel(this, "Panel3");
    btRestPass = sor::accountButton(QStringLiteral("Восстановить пароль"), "btRestPass", Panel3);
    btOK = sor::accountButton(QStringLiteral("Войти"), "btOK", Panel3);
    btRegistr = sor::accountButton(QStringLiteral("Регистрация"), "btRegistr", Panel3);
    btCancel = sor::accountButton(QStringLiteral("Закрыть"), "btCancel", Panel3);
    btOK->setDefault(true);
    auto* buttons = new QVBoxLayout(Panel3);
    buttons->addWidget(btRestPass);
    buttons->addWidget(btOK);
    buttons->addWidget(btRegistr);
    buttons->addWidget(btCancel);
    buttons->addStretch(1);

    auto* body = new QHBoxLayout;
    body->addWidget(Panel2, 1);
    body->addWidget(Panel3);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Panel1);
    column->addLayout(body, 1);
    setMinimumSize(303, 203);

    setTabOrder(ledLogin, ledPass);
    setTabOrder(ledPass, chLoginSave);
    setTabOrder(chLoginSave, btRestPass);
    setTabOrder(btRestPass, btOK);
    setTabOrder(btOK, btRegistr);
    setTabOrder(btRegistr, btCancel);
    ledLogin->setFocus();

    sor::announceHeading(this, [this] { return Label1->text(); });
    sor::announceEdit(ledLogin);
    sor::announceEdit(ledPass);
    sor::echoTypedCharacters(ledLogin);  // never the password
    for (QPushButton* b : {btRestPass, btOK, btRegistr, btCancel})
        sor::announceButton(b);

    connect(btOK, &QPushButton::clicked, this, &TfrmInput::btOKClick);
    connect(btRegistr, &QPushButton::clicked, this, &TfrmInput::btRegistrClick);
    connect(btRestPass, &QPushButton::clicked, this, &TfrmInput::btRestPassClick);
    connect(btCancel, &QPushButton::clicked, this, [this] { done(2); });

    FormCreate();
}

TfrmInput::~TfrmInput()
{
    if (frmInput == this)
        frmInput = nullptr;
}

void TfrmInput::FormCreate()
{
    setWindowTitle(sor::appTitle() + QStringLiteral(" - Авторизация"));
}

int TfrmInput::fLoginQuery(const QString& login, const QString& pass)
{
    return sor::fLoginQuery(*DataModule1, login, pass);
}

bool TfrmInput::ValidEmail(const QString& email)
{
    return sor::ValidEmail(email);
}

QString TfrmInput::md5(const QString& s)
{
    return sor::md5(s);
}

bool TfrmInput::ShowLogin()
{
    return sor::ShowLogin(*DataModule1);
}

void TfrmInput::reject()
{
    done(2);
}

void TfrmInput::btOKClick()
{
    if (sor::submitLogin(*DataModule1, this, ledLogin->text(), ledPass->text(), chLoginSave->isChecked()) ==
        sor::LoginOutcome::LoggedIn)
        done(1);
}

void TfrmInput::btRegistrClick()
{
    // Owned by the login window; the login fields stay as they are.
    TfrmRegist window(this);
    frmRegist = &window;
    if (window.exec() == 1)
        MyMessageDlg(this, QStringLiteral("Регистрация прошла успешно"), QStringLiteral("Сообщение."), sor::mbOK);
}

void TfrmInput::btRestPassClick()
{
    TfrRestPass window(this);
    frRestPass = &window;
    window.exec();
}
