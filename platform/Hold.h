#pragma once
// The hold after a verdict: the right answer stays on screen for a moment while
// the window stays responsive (menus, spoken commands, timer ticks, hot keys all
// run), but answers are refused.
//
// Use (the main window, in ShowRightAnswer):
//
//     if (!sor::PauseSeconds(this, 1))
//         return;                 // the window is gone: touch nothing of it
//     SetAnswerLook(...);         // back to the normal looks
//
// and in the answer-choice rule:
//
//     if (sor::PauseActive())
//         return;                 // a choice during the hold is ignored, not queued
//
// Handlers run inside the hold, so one of them may destroy the window that
// waits (a halt, a close). PauseSeconds then ends at once and returns false; the
// caller must return without touching the owner.

#include <QObject>

namespace sor {

// Waits `seconds` seconds in a nested event loop on the calling (GUI) thread.
// Returns true when the wait ran out with `owner` still alive, false when
// `owner` was destroyed meanwhile (the wait ends at that moment). A null owner
// is never "destroyed". Zero or negative seconds return at once.
bool PauseSeconds(QObject* owner, int seconds);

// True while a hold waits.
bool PauseActive();

}  // namespace sor
