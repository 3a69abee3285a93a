#pragma once
// The password-restore window: request a code by e-mail, then type it with a
// new password. Opened from the login window, shown modally, freed. The logic
// is sor::requestRestoreCode and sor::saveNewPassword; the mail goes through
// sor::mailSender().

#include <QDialog>

class QFrame;
class QPushButton;
class TLabeledEdit;

class TfrRestPass : public QDialog
{
    Q_OBJECT

public:
    explicit TfrRestPass(QWidget* parent = nullptr);
    ~TfrRestPass() override;

    QFrame* Panel1;
    TLabeledEdit* ledLogin;
    QPushButton* btGetCodeRest;
    TLabeledEdit* ledCodeRestore;
    TLabeledEdit* ledPass;
    QPushButton* btOK;
    QPushButton* btCancel;

    // A code request is being mailed: the window paints but does not close.
    bool sending() const { return sending_; }

public slots:
    void reject() override;  // "Отмена", Esc and the title bar

    void btGetCodeRestClick();
    void btOKClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool sending_ = false;
};

// The restore window while it is shown; null otherwise.
extern TfrRestPass* frRestPass;
