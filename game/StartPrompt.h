#pragma once
// The start prompt that opens every game and every later tour: one big button
// filling a window without border, title bar or system buttons. Enter, Space or
// a click on the button gives 1 (start); Esc asks "Закрыть прогграмму?" and,
// on Yes, gives 2, upon which the caller ends the program. Nothing else closes
// it. The button announces itself when it gets the focus ("Кнопка " + its
// caption) and the speech stops when the prompt closes.
//
// Use (the main window, before a new game or tour n):
//
//     const int result = ShowStartPrompt(this, QStringLiteral("Начать игру"));
//     // or ShowStartPrompt(this, QStringLiteral("Начать %1-й тур").arg(n))
//     if (result == 2)
//         sor::haltProgram();
//
// While the prompt exists the global frStartGameBt points to it, so that a
// second prompt is not opened on top of it.

#include <QDialog>
#include <QPushButton>

class QKeyEvent;

namespace sor {

// A push button whose caption wraps onto several lines when it does not fit.
class TWrapButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace sor

class TfrStartGameBt : public QDialog
{
    Q_OBJECT

public:
    // Owned by (and centred over) the main window.
    explicit TfrStartGameBt(QWidget* AOwner);
    ~TfrStartGameBt() override;

    sor::TWrapButton* Button1;

public slots:
    void done(int result) override;
    void reject() override;  // no way out but the button and Esc

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Sees every key before the button does: Esc asks whether to end the program.
    bool FormKeyPress(QKeyEvent* event);
    void FormClose();

    bool asking_ = false;
    bool closing_ = false;
};

// The start prompt while it exists, else null.
extern TfrStartGameBt* frStartGameBt;

// Creates the prompt owned by `owner` with the button's caption, shows it
// modally, frees it and returns its result: 1 to start, 2 when the player
// chose to end the program. Returns 0 at once, showing nothing, while another
// prompt is open, and 0 when the owner goes away meanwhile.
int ShowStartPrompt(QWidget* owner, const QString& caption);
