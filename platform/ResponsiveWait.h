#pragma once
#include <functional>

namespace sor {

// Runs `work` on a thread of its own and waits for it on the GUI thread with a
// local event loop that paints the windows and runs the timers but holds the
// player's keys and clicks back until the work is done (they arrive after it).
// For work that may block for seconds, such as talking to the mail server.
// Called off the GUI thread, or without an application object, it simply runs
// `work`. An exception thrown by `work` is thrown again here.
//
// Whoever waits must expect its own window to be painted and asked to close
// meanwhile, and refuse to close while the work runs.
void runResponsively(const std::function<void()>& work);

}  // namespace sor
