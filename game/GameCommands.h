#pragma once
// The spoken commands of the speech menu: the speech switch, the time left, the
// question, the variants, slower and faster. They read what the panels show
// through the game's view and say it at once, cutting off what is being said.
// The main window owns them and its menu items call them directly; a test
// puts them on a view of its own.

#include <QObject>

namespace sor {

class TGameView;

class TGameCommands : public QObject
{
    Q_OBJECT

public:
    explicit TGameCommands(TGameView& view, QObject* parent = nullptr);

    void N2SpeechOnOffClick();  // the speech switch, announced; the menu's check mark follows it
    void N4Click();             // the time left in the tour, from the LED
    void G1Click();             // the question
    void N5Click();             // all four variants (keys typed ahead are dropped first)
    void N11Click();            // variant 1 .. 4
    void N21Click();
    void N31Click();
    void N41Click();
    void N10Click();            // slower by one step of the rate slider
    void N12Click();            // faster by one step

private:
    // "Ответ №2: Париж. " - while the first answer shows anything at all.
    void sayAnswer(int n);

    TGameView& view_;
};

}  // namespace sor
