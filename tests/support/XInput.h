#pragma once
// Real X input for the tests that run under Xvfb: whether the program is on X,
// keys typed with xdotool, and another X client (another program on the same
// desktop) that can hold keys, take the focus and see the keys that reach it.

#include <QList>
#include <QStringList>

#include <xcb/xcb.h>

namespace sortest {

bool onX();

// Runs xdotool with the arguments ({"key", "1"}, {"type", "abc"}); a hang or
// a failure fails the test.
void xdotool(const QStringList& args);

// Types keys 20 ms apart; each is an xdotool key name ("1", "ctrl+space").
void typeKeys(const QStringList& keys);

class OtherXClient
{
public:
    OtherXClient();
    ~OtherXClient();
    OtherXClient(const OtherXClient&) = delete;
    OtherXClient& operator=(const OtherXClient&) = delete;

    bool ok() const;

    xcb_keycode_t keycodeOf(xcb_keysym_t keysym);
    // Holds a key (without modifiers) before the program under test can.
    bool grab(xcb_keycode_t code);

    // A window of this client at (x, 0) that takes the keyboard focus.
    void focusOwnWindow(int x = 0);
    xcb_window_t focus();  // the window that has the keyboard focus now
    bool hasFocus() { return window_ && focus() == window_; }
    xcb_window_t window() const { return window_; }

    // The key presses this client's window has received so far, by keycode.
    const QList<int>& keyPresses();

    // The modifier state of the keyboard (lock keys included).
    quint16 modifierState();

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    xcb_window_t window_ = 0;
    QList<int> presses_;
};

}  // namespace sortest
