#include "platform/Clock.h"

#include <chrono>

quint32 sor::performanceCounterLow32()
{
    const auto ns = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<quint32>(std::chrono::duration_cast<std::chrono::nanoseconds>(ns).count());
}
