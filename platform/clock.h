#pragma once
#include <cstdint>

// Microseconds from a monotonic clock.
int64_t GetTimeUs();
// Milliseconds from a monotonic clock, wrapping at 32 bits as the platform's does.
uint32_t GetTimeMs();
