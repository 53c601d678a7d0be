#include "host/kernel/time.h"

#include <chrono>

int64_t HostTimeUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t HostTimeMs() { return static_cast<uint32_t>(HostTimeUs() / 1000); }
