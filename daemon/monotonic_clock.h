// Milliseconds of the monotonic clock: for waits and deadlines, which must
// not move when the wall clock is set.
#pragma once

#include <ctime>

inline long long monotonic_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
