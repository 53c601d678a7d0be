#pragma once
// Monotonic time.
#include <cstdint>

int64_t HostTimeUs();
// Milliseconds that wrap at 32 bits, as the platform's millisecond clock does.
uint32_t HostTimeMs();
