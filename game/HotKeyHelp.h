#pragma once
// The hot-key help (F1): the list of the game's keyboard commands, read out
// whole when the window opens and becomes active (cutting off whatever was
// being said), not again when the player switches back to it from another
// program; silenced when it closes. Its OK button announces itself.
//
// Use (the main window's N7Click):
//
//     ShowHotKeyHelp(this);
//
// While the window exists the global frHotKey points to it.

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

class TfrHotKey : public QDialog
{
    Q_OBJECT

public:
    explicit TfrHotKey(QWidget* parent = nullptr);
    ~TfrHotKey() override;

    // The thirteen lines of the list, as shown and spoken.
    static QStringList HotKeyLines();

    QPlainTextEdit* Memo1;
    QPushButton* btOK;

public slots:
    void done(int result) override;

protected:
    bool event(QEvent* event) override;

private:
    void FormActivate();
    void btOKClick();

    bool listRead_ = false;  // since the window was shown
};

// The help window while it exists, else null.
extern TfrHotKey* frHotKey;

// Creates the help window (over `mainWindow`, which may be null), shows it
// modally, frees it and returns its result (1 for OK).
int ShowHotKeyHelp(QWidget* mainWindow);
