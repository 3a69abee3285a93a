#pragma once
// The login window: e-mail and password, "Сохранить данные ", and the ways on to
// registration and password restore. Shown modally at start-up unless the stored
// login has logged the player in; closes with 1 after a login, with 2 when the
// player gives up ("Закрыть" or Esc). The logic is in LoginProcedure and
// StoredLogin; this window shows it and speaks.

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class TLabeledEdit;

class TfrmInput : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmInput(QWidget* parent = nullptr);
    ~TfrmInput() override;

    // 0, 1 or 2 (sor::LoginResult) on the data module DataModule1.
    int fLoginQuery(const QString& login, const QString& pass);
    static bool ValidEmail(const QString& email);
    static QString md5(const QString& s);
    // The automatic login from the stored one: false when it logged the player in.
    bool ShowLogin();

    QFrame* Panel1;  // the header strip
    QLabel* Label1;
    QFrame* Panel2;  // the input controls
    TLabeledEdit* ledLogin;
    TLabeledEdit* ledPass;
    QCheckBox* chLoginSave;
    QFrame* Panel3;  // the buttons
    QPushButton* btRestPass;
    QPushButton* btOK;
    QPushButton* btRegistr;
    QPushButton* btCancel;

public slots:
    void reject() override;  // Esc: "Закрыть"

    void btOKClick();
    void btRegistrClick();
    void btRestPassClick();

private:
    void FormCreate();
};

// The login window while start-up has it; null otherwise.
extern TfrmInput* frmInput;
