#pragma once
// The random draws of the game: which question of a level is asked, and how the
// four variants are shuffled onto the panels. Every draw takes a fresh seed from
// the fast clock first, so that draws do not repeat from one run to the next.

#include <QtGlobal>

namespace sor {

class TGameRandom
{
public:
    // A fresh seed: the low 32 bits of the monotonic nanosecond clock.
    void Randomize();
    // A number in 0 .. n-1 (0 when n <= 0): the seed steps as a 32-bit linear
    // congruential generator (seed * 134775813 + 1), and the draw is the upper
    // half of seed * n, so every value below n is equally likely.
    int Random(int n);

    quint32 RandSeed = 0;
};

}  // namespace sor
