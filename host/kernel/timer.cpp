#include "host/kernel/timer.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

struct PendingTimer {
  Clock::time_point due;
  HostTimerProc proc;
  uintptr_t user;
};

class TimerThread {
 public:
  ~TimerThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  uint32_t Start(uint32_t delayMs, HostTimerProc proc, uintptr_t user) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return 0;
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    uint32_t id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    pending_[id] = {Clock::now() + std::chrono::milliseconds(delayMs), proc, user};
    wake_.notify_all();
    return id;
  }

  bool Cancel(uint32_t id) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (pending_.erase(id) != 0) return true;
    fired_.wait(lock, [&] { return firing_ != id; });
    return false;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      auto next = pending_.end();
      for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (next == pending_.end() || it->second.due < next->second.due) next = it;
      }
      if (next == pending_.end()) {
        wake_.wait(lock);
        continue;
      }
      if (Clock::now() < next->second.due) {
        wake_.wait_until(lock, next->second.due);
        continue;
      }
      uint32_t id = next->first;
      PendingTimer timer = next->second;
      pending_.erase(next);
      firing_ = id;
      lock.unlock();
      timer.proc(id, timer.user);
      lock.lock();
      firing_ = 0;
      fired_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable fired_;
  std::map<uint32_t, PendingTimer> pending_;
  uint32_t nextId_ = 1;
  uint32_t firing_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

TimerThread& Timers() {
  static TimerThread timers;
  return timers;
}
}  // namespace

uint32_t StartOneShotTimer(uint32_t delayMs, HostTimerProc proc, uintptr_t user) {
  if (proc == nullptr) return 0;
  return Timers().Start(delayMs, proc, user);
}

bool CancelTimer(uint32_t timerId) { return Timers().Cancel(timerId); }
