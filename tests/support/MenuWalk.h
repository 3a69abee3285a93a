#pragma once
// A keyboard player's walk through every menu of a menu bar, with what they
// must hear at each step: the bar opened (F10, a lone Alt, or a click on its
// bar item), each menu walked down to its last item and up again, the bar
// walked right to its end and back left. Each item the highlight lands on must
// be heard once, stop-first, as "caption shortcut state" (see phrase()).
// Under X the keys and the click are typed for real (xdotool); elsewhere they
// go to whatever has the keyboard.
//
//     void everyMenuBothWays_data() { sortest::MenuWalk::addOpenerRows(); }
//     void everyMenuBothWays()
//     {
//         QFETCH(QString, opener);
//         sortest::MenuWalk(window->MainMenu1, rig).walkOpenedBy(opener);
//     }
//
// Failures are reported through QTest; the walk stops at the first.

#include <QList>
#include <QStringList>

class QAction;
class QMenu;
class QMenuBar;

namespace sortest {

class SpeechRig;

class MenuWalk
{
public:
    MenuWalk(QMenuBar* bar, SpeechRig& rig);

    // What the player hears for an item: caption, a blank, the shortcut
    // ("Ctrl+Alt+S", "F1") and " выключено. " or " отмечено. ".
    static QString phrase(const QAction* item);
    // The items of a menu the highlight stops on (separators are passed over).
    static QList<QAction*> items(const QMenu* menu);

    // The three ways a player opens the bar, as data rows of a column
    // "opener": "F10", "lone Alt" ("alt") and "mouse".
    static void addOpenerRows();
    // The whole walk for one of them: opened by the key, every menu both ways
    // and out again; or, for "mouse", every menu opened by a click.
    void walkOpenedBy(const QString& opener);

private:
    // The item highlighted now: in the open drop-down, else on the bar while
    // it has the keyboard.
    QAction* highlighted() const;

    // One key (an xdotool key name): the highlight lands on `lands`, and the
    // player hears `said` after what was heard so far (compared as a whole).
    void step(const char* xName, QAction* lands, const QStringList& said);

    // Opens the bar: "F10" or "alt"; ends with the first item of the first
    // menu highlighted.
    void open(const QString& opener);
    void everyMenuBothWays();
    // Each menu of the bar opened by a click on its bar item (said, with no
    // item highlighted yet), then walked down and up by the arrows, and left
    // with Escape.
    void everyMenuOpenedByMouse();
    // Leaves the menus. What leaving says is not looked at (Escape out of a
    // menu names its bar item); what was heard before must stay as it was.
    void leave();

    void press(const char* xName);
    void click(QAction* barItem);
    void downAndUp(const QMenu* menu);

    QMenuBar* bar_;
    SpeechRig& rig_;
    QStringList expected_;
};

}  // namespace sortest
