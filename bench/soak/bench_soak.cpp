// Many players on one game server: what one server holds, and whether answers
// survive a server that is killed and restarted in the middle of play.
//
//   bench_soak --players N --seconds S [--kill-every K] [--pace P] [--ramp R] [--keep DIR]
//
// Starts a game server of its own (scripts/game-server, in a temporary folder),
// makes N player accounts, and runs each player as a process of its own (this
// program again, with --player): its own data module and connection, logged in
// by the login's own procedure, playing through the game itself (TGame with a
// view of its own, no window) as the main window drives it, with the real
// one-second hold after every verdict. The game's data module, session context,
// speech and message seams are single per process, so one process is one player.
//
// Every timer of a player is a precise one, and the driver's signals reach it
// through a pipe: players on machines of their own do not tick together, while
// on one machine coarse timers would wake hundreds of them at the same instants
// and each step would queue behind all the others.
//
// Each player answers every P seconds (default 5) with a variant at random and
// keeps a journal of what it was told: the start prompts it confirmed, the
// questions it was asked, the verdicts it heard, the reports, the messages.
// After a ramp of R seconds and a warm-up, the figures are taken over S seconds:
//   answers per second; the step's server part (an answer chosen until the next
//   question is on the panels, the hold left out) at p50, p95 and p99; the
//   server's CPU; the players' CPU, per player.
//
// With --kill-every K the server is killed (SIGKILL) and started again every K
// seconds, and between those kills single client connections are killed at
// random moments (one in the middle of a write when there is one). Then, with
// the players stopped (each between two steps, as a player closes the game),
// the server's rows are compared with every journal (soak/SoakAudit.h says
// what counts as lost, doubled and wiped; a tour counts as begun at its first
// question). Each fault counted is listed, with its player, in faults.txt of
// the run's folder (see --keep). The last line is
//   answers A, lost L, doubled D, wiped W, step p95 X ms
// and the exit is non-zero unless every check is 0.

#include <cstring>

#include "soak/Soak.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--player") == 0)
            return soak::playerMain(argc, argv);
    return soak::driverMain(argc, argv);
}
