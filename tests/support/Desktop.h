#pragma once
// The desktop around the program under the tests' window manager (openbox, see
// scripts/with-xvfb): windows are activated as Alt+Tab does it, through the
// manager (_NET_ACTIVE_WINDOW), never by setting the X focus directly.
//
//   sortest::OtherProgram other;                 // another program's window
//   sortest::activateThroughWm(other.window());  // the player switches to it
//   QTRY_VERIFY(!w.isActiveWindow());
//   sortest::activateThroughWm(w.winId());       // ... and back
//   QTRY_VERIFY(w.isActiveWindow());

#include <QtGlobal>
#include <xcb/xcb.h>

namespace sortest {

// Whether a window manager runs on the display.
bool windowManagerRunning();

// Asks the window manager to activate `window` (xdotool windowactivate --sync:
// a _NET_ACTIVE_WINDOW request, then a wait until the manager reports it
// active), with the program's event loop running meanwhile. A hang or a
// refusal fails the test.
void activateThroughWm(quint32 window);

// A top-level window of another X client, managed by the window manager, that
// the player can switch to.
class OtherProgram
{
public:
    OtherProgram();
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    // Mapped and taken under management by the window manager.
    bool ok() const { return managed_; }
    xcb_window_t window() const { return window_; }

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t window_ = 0;
    bool managed_ = false;
};

}  // namespace sortest
