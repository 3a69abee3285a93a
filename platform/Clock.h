#pragma once
#include <QtGlobal>

namespace sor {

// The low 32 bits of a monotonic nanosecond clock: the seed that every random
// draw of the game takes afresh (the stand-in for the performance counter).
quint32 performanceCounterLow32();

}  // namespace sor
