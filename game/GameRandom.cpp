#include "game/GameRandom.h"

#include "platform/Clock.h"

namespace sor {

void TGameRandom::Randomize()
{
    RandSeed = performanceCounterLow32();
}

int TGameRandom::Random(int n)
{
    RandSeed = RandSeed * 134775813u + 1u;
    if (n <= 0)
        return 0;
    return int((quint64(RandSeed) * quint64(n)) >> 32);
}

}  // namespace sor
