#pragma once
// The spoken message box behind MyMessageDlg: every message, warning and
// question to the player. The message is spoken as the box opens (cutting off
// what was being said), each button is announced as it takes the focus (queued
// behind the message), and the speech stops when the box closes. At most one
// box is open at a time; meanwhile the program's other windows are disabled.

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;

namespace sor {

// The box: the information icon, the message (plain text, wrapped) and the
// buttons of the set in the fixed order Yes, No, OK, Cancel, Abort, Retry,
// Ignore, All, No to all, Yes to all, Help, Close, centred in one row. Each
// button carries its name in the set as object name ("Yes", "OK", ...). The
// default button is OK, else Yes, else Retry; Escape is Cancel, else No, else
// OK (without any of them Escape and closing do nothing). Help does not close.
class SpokenMessageBox : public QDialog
{
    Q_OBJECT

public:
    SpokenMessageBox(const QString& text, int buttons, QWidget* parent = nullptr);

    QPushButton* button(int bit) const;    // null when not in the set
    QList<QPushButton*> buttons() const;   // in the order shown
    QPushButton* defaultButton() const { return default_; }
    QPushButton* escapeButton() const { return escape_; }
    QLabel* textLabel() const { return text_; }

public slots:
    void reject() override;  // Escape and the title bar's close: the escape button

private:
    QLabel* text_ = nullptr;
    QList<QPair<int, QPushButton*>> buttons_;
    QPushButton* default_ = nullptr;
    QPushButton* escape_ = nullptr;
};

// MyMessageDlg as the windows show it; installUiServices() puts it behind the
// MyMessageDlg seam. Returns the result of the button chosen (Yes 6, No 7,
// OK 1, ...). A call made while a box is open shows nothing, says nothing and
// returns mrNone (0) at once: never 6, which callers take for consent.
int ShowMyMessageDlg(QObject* owner, const QString& text, const QString& caption, int buttons);

// The box being shown (the single-instance slot), or null.
SpokenMessageBox* openMessageBox();

}  // namespace sor
