#pragma once
// The program settings window: whether the next start logs in by itself with
// the account now logged in. Opened from the main window, shown modally, freed.

#include <QDialog>

class QCheckBox;
class QPushButton;

class TfrSettings : public QDialog
{
    Q_OBJECT

public:
    explicit TfrSettings(QWidget* parent = nullptr);
    ~TfrSettings() override;

    // Creates the window, shows it modally (frSettings meanwhile) and frees it;
    // returns its modal result: 1 saved, 2 cancelled.
    static int execute(QWidget* parent = nullptr);

    QPushButton* btOK;
    QPushButton* btCancel;
    QCheckBox* chAutoLogin;

public slots:
    void reject() override;  // Esc and the title bar: "Отмена"

    void btOKClick();
    void btCancelClick();

private:
    void FormCreate();
};

// The settings window while it is shown; null otherwise.
extern TfrSettings* frSettings;
