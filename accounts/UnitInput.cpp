#include "accounts/UnitInput.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "accounts/LoginProcedure.h"
#include "accounts/StoredLogin.h"
#include "app/AppInfo.h"
#include "data/DataModulUnit.h"
#include "speech/Announce.h"
#include "speech/LabeledEdit.h"

TfrmInput* frmInput = nullptr;

namespace {

QPushButton* makeButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    return b;
}

TLabeledEdit* makeEdit(const QString& caption, const char* name, QWidget* parent)
{
    auto* e = new TLabeledEdit(caption, parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(caption);
    QFont bold = e->EditLabel->font();
    bold.setBold(true);
    e->EditLabel->setFont(bold);
    return e;
}

}  // namespace

TfrmInput::TfrmInput(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmInput"));
    // A plain frame without close, minimise or maximise; no parent window, so it
    // has a taskbar entry of its own while no main window exists.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Label1 = new QLabel(QStringLiteral("Авторизация"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont heading(QStringLiteral("Tahoma"));
    heading.setPixelSize(19);
    heading.setUnderline(true);
    Label1->setFont(heading);
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1->setPalette(navy);
    auto* headerRow = new QHBoxLayout(Panel1);
    headerRow->addWidget(Label1);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::StyledPanel);
    ledLogin = makeEdit(QStringLiteral("E-mail"), "ledLogin", Panel2);
    ledLogin->setToolTip(QStringLiteral("Введите адрес электронной почты"));
    ledLogin->lineEdit()->setToolTip(ledLogin->toolTip());
    ledPass = makeEdit(QStringLiteral("Пароль"), "ledPass", Panel2);
    ledPass->setEchoMode(QLineEdit::Password);
    chLoginSave = new QCheckBox(QStringLiteral("Сохранить данные "), Panel2);
    chLoginSave->setObjectName(QStringLiteral("chLoginSave"));
    chLoginSave->setAccessibleName(chLoginSave->text());
    chLoginSave->setLayoutDirection(Qt::RightToLeft);  // the text left of the box
    chLoginSave->setChecked(false);
    // Both labels as wide as the wider one, so that the edits line up.
    const int labelWidth = qMax(ledLogin->EditLabel->sizeHint().width(), ledPass->EditLabel->sizeHint().width());
    ledLogin->EditLabel->setMinimumWidth(labelWidth);
    ledPass->EditLabel->setMinimumWidth(labelWidth);
    auto* inputs = new QVBoxLayout(Panel2);
    inputs->addWidget(ledLogin);
    inputs->addWidget(ledPass);
    inputs->addWidget(chLoginSave, 0, Qt::AlignLeft);
    inputs->addStretch(1);

    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameShape(QFrame::StyledPanel);
    btRestPass = makeButton(QStringLiteral("Восстановить пароль"), "btRestPass", Panel3);
    btOK = makeButton(QStringLiteral("Войти"), "btOK", Panel3);
    btRegistr = makeButton(QStringLiteral("Регистрация"), "btRegistr", Panel3);
    btCancel = makeButton(QStringLiteral("Закрыть"), "btCancel", Panel3);
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

void TfrmInput::btRegistrClick() {}

void TfrmInput::btRestPassClick() {}
