#pragma once
// Ending the program. Every end saves what must survive the run (the speech
// settings), also the immediate halt that skips the main window's close question.

#include <functional>

namespace sor {

// Registers work for the end of the program; returns an id for removeProgramEndHook.
int addProgramEndHook(std::function<void()> hook);
void removeProgramEndHook(int id);

// Runs every registered hook once (in the order registered) and forgets them.
void runProgramEndHooks();

// Ends the process at once with exit code 0, after the end-of-program hooks.
[[noreturn]] void haltProgram();

// Tests replace the final exit: the handler runs after the hooks and is expected
// to leave by throwing (for example HaltRequested); if it returns, the process exits.
void setHaltHandler(std::function<void()> handler);

struct HaltRequested
{
};

}  // namespace sor
