#include "accounts/SettingsWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "accounts/AccountControls.h"
#include "accounts/StoredLogin.h"
#include "speech/Announce.h"

TfrSettings* frSettings = nullptr;

TfrSettings::TfrSettings(QWidget* parent) : QDialog(parent)
{
    sor::accountDialog(this, "frSettings", QStringLiteral("Настройки программы"));

    QHBoxLayout* buttons = sor::saveCancelRow(this, btOK, btCancel);
    chAutoLogin = new QCheckBox(QStringLiteral("Автоматическая авторизация "), this);
    chAutoLogin->setObjectName(QStringLiteral("chAutoLogin"));
    chAutoLogin->setAccessibleName(chAutoLogin->text());

    auto* column = new QVBoxLayout(this);
    column->addWidget(chAutoLogin);
    column->addStretch(1);
    column->addLayout(buttons);
    setMinimumSize(289, 124);

    // "Сохранить" first: it has the focus when the window opens.
    setTabOrder(btOK, btCancel);
    setTabOrder(btCancel, chAutoLogin);
    btOK->setFocus();

    sor::announceButton(btOK);
    sor::announceButton(btCancel);
    sor::announceCheckBox(chAutoLogin, [] { return !sor::settingsChangeSpoken(); });

    connect(btOK, &QPushButton::clicked, this, &TfrSettings::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrSettings::btCancelClick);

    FormCreate();
}

TfrSettings::~TfrSettings()
{
    if (frSettings == this)
        frSettings = nullptr;
}

int TfrSettings::execute(QWidget* parent)
{
    TfrSettings window(parent);
    frSettings = &window;
    return window.exec();
}

void TfrSettings::FormCreate()
{
    if (const std::optional<bool> on = sor::readAutoLogin())
        chAutoLogin->setChecked(*on);
    sor::setSettingsChangeSpoken();
}

void TfrSettings::reject()
{
    btCancelClick();
}

void TfrSettings::btOKClick()
{
    sor::writeStoredLogin(chAutoLogin->isChecked());
    done(1);
}

void TfrSettings::btCancelClick()
{
    // The box back to what is stored; nothing is written.
    FormCreate();
    done(2);
}
