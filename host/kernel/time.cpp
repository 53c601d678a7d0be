#include "host/kernel/time.h"

#include <sys/prctl.h>
#include <time.h>

#include <atomic>
#include <cerrno>

namespace {
std::atomic<bool> g_manual{false};
std::atomic<int64_t> g_manualMs{0};
std::atomic<void (*)()> g_listener{nullptr};
}  // namespace

int64_t HostTimeUs() {
  // CLOCK_MONOTONIC itself, so that HostSleepUntilUs can sleep to a time read here.
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
}

void HostSleepUntilUs(int64_t deadlineUs) {
  // The kernel may wake a sleeper up to its timer slack (50 us by default) late; the
  // frame pacer spins what is left after the wake-up, so a tight slack saves that spin.
  thread_local const bool tightSlack = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
  (void)tightSlack;
  const timespec at = {static_cast<time_t>(deadlineUs / 1000000),
                       static_cast<long>(deadlineUs % 1000000) * 1000};
  // A signal handled on this thread interrupts the sleep; the deadline stays the same.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
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

int64_t HostProcessCpuUs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return int64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
}
