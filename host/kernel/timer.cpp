#include "host/kernel/timer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "host/kernel/time.h"

namespace {
// Due times are milliseconds of the source that was active when the timer started.
int64_t NowMs() { return ManualTimeActive() ? ManualTimeMs64() : HostTimeUs() / 1000; }

struct PendingTimer {
  int64_t due;
  uint64_t order;  // equal due times fire in the order they were started
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
    if (!thread_.joinable()) {
      SetManualTimeListener([] { Instance().Wake(); });
      thread_ = std::thread([this] { Run(); });
    }
    uint32_t id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    pending_[id] = {NowMs() + delayMs, nextOrder_++, proc, user};
    wake_.notify_all();
    return id;
  }

  bool Cancel(uint32_t id) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (pending_.erase(id) != 0) return true;
    if (std::this_thread::get_id() == thread_.get_id()) return false;
    fired_.wait(lock, [&] { return firing_ != id; });
    return false;
  }

  int Live() {
    std::unique_lock<std::mutex> lock(mutex_);
    fired_.wait(lock, [&] { return firing_ == 0; });
    return static_cast<int>(pending_.size());
  }

  void Wake() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    wake_.notify_all();
  }

  static TimerThread& Instance() {
    static TimerThread timers;
    return timers;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      auto next = pending_.end();
      for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (next == pending_.end() || it->second.due < next->second.due ||
            (it->second.due == next->second.due && it->second.order < next->second.order)) {
          next = it;
        }
      }
      if (next == pending_.end()) {
        wake_.wait(lock);
        continue;
      }
      int64_t now = NowMs();
      if (now < next->second.due) {
        if (ManualTimeActive()) {
          wake_.wait(lock);
        } else {
          wake_.wait_for(lock, std::chrono::milliseconds(next->second.due - now));
        }
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
  uint64_t nextOrder_ = 0;
  uint32_t firing_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

std::atomic<int> g_periodRequests{0};
}  // namespace

uint32_t StartOneShotTimer(uint32_t delayMs, HostTimerProc proc, uintptr_t user) {
  if (proc == nullptr || delayMs < kMinTimerDelayMs || delayMs > kMaxTimerDelayMs) return 0;
  return TimerThread::Instance().Start(delayMs, proc, user);
}

bool CancelTimer(uint32_t timerId) { return TimerThread::Instance().Cancel(timerId); }

int LiveTimerCount() { return TimerThread::Instance().Live(); }

uint32_t timeBeginPeriod(uint32_t) {
  g_periodRequests.fetch_add(1);
  return 0;
}

uint32_t timeEndPeriod(uint32_t) {
  g_periodRequests.fetch_sub(1);
  return 0;
}

int TimerPeriodRequests() { return g_periodRequests.load(); }
