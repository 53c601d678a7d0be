#include "host/kernel/time.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<bool> g_manual{false};
std::atomic<int64_t> g_manualMs{0};
std::atomic<void (*)()> g_listener{nullptr};
}  // namespace

int64_t HostTimeUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t HostTimeMs() {
  if (g_manual.load()) return static_cast<uint32_t>(g_manualMs.load());
  return static_cast<uint32_t>(HostTimeUs() / 1000);
}

void UseManualTime(bool on, uint32_t startMs) {
  g_manualMs.store(startMs);
  g_manual.store(on);
  // Pending timers are due on the other source now.
  if (auto* listener = g_listener.load()) listener();
}

bool ManualTimeActive() { return g_manual.load(); }

int64_t ManualTimeMs64() { return g_manualMs.load(); }

void AdvanceManualTime(uint32_t ms) {
  g_manualMs.fetch_add(ms);
  if (auto* listener = g_listener.load()) listener();
}

void SetManualTimeListener(void (*listener)()) { g_listener.store(listener); }
