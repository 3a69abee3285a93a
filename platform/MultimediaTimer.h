#pragma once
// The multimedia timer service: periodic or one-shot timers whose callbacks run
// on one dedicated timer thread, so that their timing does not depend on the
// GUI message loop. Deadlines are absolute (start + k x period), so a periodic
// timer does not drift. Ticks missed while the thread was held up (a callback
// that took longer than a period) are not made up in a burst: one comes late,
// the rest are dropped, and the timer goes on at its next deadline.
//
// The calls mirror the classic multimedia timer interface (device capabilities,
// set event, kill event) so that TMMTimer reads the same on every platform and
// a Windows build can forward them to the system.
//
// All callbacks of all timers run one after another on the same thread.

#include <QtGlobal>

namespace sor::mmtimer {

// The device capabilities: shortest and longest supported period in ms.
struct TimeCaps
{
    quint32 wPeriodMin = 0;
    quint32 wPeriodMax = 0;
};

// Event types, the same numbers as TMMEventMode.
enum : quint32 {
    TIME_ONESHOT = 0,
    TIME_PERIODIC = 1,
};

// Called on the timer thread with the timer's id, message 0, the user value
// given to timeSetEvent and two reserved zeros.
using TimeCallback = void (*)(quint32 uTimerID, quint32 uMsg, quintptr dwUser, quintptr dw1, quintptr dw2);

// Fills caps with the supported range (1 ms to 1,000,000 ms). Returns false when
// the service cannot be used.
bool timeGetDevCaps(TimeCaps* caps);

// Starts a timer: after `delay` ms (one-shot) or every `delay` ms (periodic) the
// callback runs on the timer thread. `resolution` is accepted for the interface's
// sake; deadlines are kept as exactly as the system allows whatever it says.
// Returns the timer's id (never 0), or 0 when refused: a delay outside the device
// capabilities, no callback, an unknown event type, or no timer thread.
quint32 timeSetEvent(quint32 delay, quint32 resolution, TimeCallback callback, quintptr dwUser,
                     quint32 eventType);

// Stops a timer. When it returns, no callback of that timer is running or will
// run, so the user value may be destroyed at once. Called from that timer's own
// callback it does not wait for the callback in progress (that is the caller).
// Returns false when the id names no scheduled timer (never started, already
// killed, or a one-shot that has fired); the guarantee above holds either way.
bool timeKillEvent(quint32 timerId);

namespace testing {
// Makes timeGetDevCaps fail (true) or work again (false).
void setDevCapsFails(bool fails);
}  // namespace testing

}  // namespace sor::mmtimer
