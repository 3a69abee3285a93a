#pragma once
// Whether the program runs as installed (from a package, in the system's
// program folder) rather than from a folder of its own. An installed program's
// folder belongs to the system, not to the player, even when the player happens
// to be root: nothing of the player's is written there, and no updater is
// looked for beside it (the package manager updates it).

#include <QString>

namespace sor {

// True when programDir is the folder the program is built to be installed in
// (Config.h, the install prefix's bin folder).
bool runsInstalled(const QString& programDir);

// True when both name the same existing folder (links followed).
bool sameFolder(const QString& a, const QString& b);

}  // namespace sor
