#include "platform/clock.h"

#include "host/kernel/time.h"

int64_t GetTimeUs() { return HostTimeUs(); }

uint32_t GetTimeMs() { return HostTimeMs(); }
