#include "host/kernel/thread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "host/kernel/last_error.h"
#include "host/kernel/sync.h"
#include "host/kernel/time.h"

namespace {
std::atomic<int> g_liveThreads{0};
std::atomic<bool> g_failNextCreation{false};
constexpr uint32_t kErrorNoResources = 11;  // EAGAIN
}  // namespace

struct HostThread {
  HostThreadProc proc;
  void* argument;
  Event started{true, false};
  Event done{true, false};
  std::atomic<bool> cancelled{false};
  std::atomic<uint32_t> exitCode{0};
  int priority = 0;
  std::thread thread;
};

HostThread* CreateHostThread(HostThreadProc proc, void* argument, bool suspended) {
  if (proc == nullptr) return nullptr;
  if (g_failNextCreation.exchange(false)) {
    SetLastError(kErrorNoResources);
    return nullptr;
  }
  auto* t = new HostThread;
  t->proc = proc;
  t->argument = argument;
  if (!suspended) t->started.Set();
  try {
    t->thread = std::thread([t] {
      WaitForObject(&t->started, kInfinite);
      if (!t->cancelled.load()) t->exitCode.store(t->proc(t->argument));
      t->done.Set();
    });
  } catch (...) {
    delete t;
    SetLastError(kErrorNoResources);
    return nullptr;
  }
  g_liveThreads.fetch_add(1);
  return t;
}

void ResumeHostThread(HostThread* thread) {
  if (thread != nullptr) thread->started.Set();
}

void SetHostThreadPriority(HostThread* thread, int priority) {
  if (thread != nullptr) thread->priority = priority;
}

bool WaitHostThread(HostThread* thread, uint32_t timeoutMs) {
  if (thread == nullptr) return true;
  return WaitForObject(&thread->done, timeoutMs) == 0;
}

uint32_t GetHostThreadExitCode(HostThread* thread) {
  return thread != nullptr ? thread->exitCode.load() : 0;
}

void CloseHostThread(HostThread* thread) {
  if (thread == nullptr) return;
  if (!thread->started.IsSet()) {
    thread->cancelled.store(true);
    thread->started.Set();
  }
  if (thread->thread.joinable()) thread->thread.join();
  delete thread;
  g_liveThreads.fetch_sub(1);
}

int LiveHostThreadCount() { return g_liveThreads.load(); }

void FailNextThreadCreation() { g_failNextCreation.store(true); }

uint64_t CurrentHostThreadId() {
  // Numbered on first use, never reused: a stale id can never match a new thread.
  static std::atomic<uint64_t> next{1};
  thread_local uint64_t id = next.fetch_add(1);
  return id;
}

void HostSleep(uint32_t ms) {
  if (ManualTimeActive()) {
    AdvanceManualTime(ms);
    std::this_thread::yield();
  } else if (ms == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

void HostSleepUs(int64_t us) {
  if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

int HostProcessorCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}
