#pragma once
// Discarding the key strokes still waiting for the GUI thread, so that keys
// typed ahead (a held shortcut's repeats, digits pressed while the variants were
// being read out) are not acted on later.
//
// Use (the main window, before it reads out the variants):
//
//     sor::FlushKeyboardMessages();
//     SpeechOut(...);
//
// After the call no key press, key release or shortcut of a key event already
// queued reaches any window or shortcut of the program. Key events posted to the
// GUI thread's queue are removed at once; keys typed on the keyboard, which wait
// in the window system's queue, are swallowed until the GUI thread has worked
// through its queue once (two rounds, so that the window system's queue is
// covered too), so keys typed in that short moment after the call are dropped
// as well. Hot keys grabbed system-wide are not key events here and are not
// discarded.

namespace sor {

void FlushKeyboardMessages();

}  // namespace sor
