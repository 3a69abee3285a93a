#pragma once
// The registration window: a new player's name, surname, e-mail and password.
// Opened from the login window, shown modally, freed; closes with 1 once the
// account is stored, with 2 on "Отмена" or Esc. The logic is sor::saveRegistration.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TLabeledEdit;

class TfrmRegist : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmRegist(QWidget* parent = nullptr);
    ~TfrmRegist() override;

    QFrame* Panel1;
    QLabel* Label1;
    TLabeledEdit* ledName;
    TLabeledEdit* ledSurname;
    TLabeledEdit* ledLogin;
    TLabeledEdit* ledPass;
    QPushButton* btOK;
    QPushButton* btCancel;

public slots:
    void reject() override;  // Esc and the title bar: "Отмена"

    void btOKClick();
    void btCancelClick();
};

// The registration window while it is shown; null otherwise.
extern TfrmRegist* frmRegist;
