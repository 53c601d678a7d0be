#include "host/kernel/sync.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>

namespace {
// One lock for every waitable object, so that waits on several objects at once stay
// simple; each waiting thread sleeps on a condition of its own, which only the
// objects it waits on wake (a streaming thread's every sample would otherwise wake
// every waiting thread of the process).
std::mutex& KernelMutex() {
  static std::mutex mutex;
  return mutex;
}
}  // namespace

int WaitableObject::WaiterCount() const {
  std::lock_guard<std::mutex> lock(KernelMutex());
  return static_cast<int>(waiters_.size());
}

void WaitableObject::WakeWaitersLocked() {
  for (std::condition_variable* waiter : waiters_) waiter->notify_one();
}

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

void Event::Set() {
  std::lock_guard<std::mutex> lock(KernelMutex());
  set_ = true;
  WakeWaitersLocked();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(KernelMutex());
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> lock(KernelMutex());
  return set_;
}

void Event::ConsumeLocked() {
  if (!manualReset_) set_ = false;
}

Semaphore::Semaphore(int initialCount, int maximumCount) : count_(initialCount), maximum_(maximumCount) {}

bool Semaphore::Release(int count, int* previousCount) {
  std::lock_guard<std::mutex> lock(KernelMutex());
  if (count <= 0 || count_ + count > maximum_) return false;
  if (previousCount != nullptr) *previousCount = count_;
  count_ += count;
  WakeWaitersLocked();
  return true;
}

int Semaphore::count() const {
  std::lock_guard<std::mutex> lock(KernelMutex());
  return count_;
}

int WaitForObjects(WaitableObject* const* objects, int count, bool waitAll, uint32_t timeoutMs) {
  if (objects == nullptr || count <= 0) return -1;
  for (int i = 0; i < count; ++i) {
    if (objects[i] == nullptr) return -1;
  }
  int found = -1;
  auto ready = [&] {
    if (waitAll) {
      for (int i = 0; i < count; ++i) {
        if (!objects[i]->IsSignalledLocked()) return false;
      }
      for (int i = 0; i < count; ++i) objects[i]->ConsumeLocked();
      found = 0;
      return true;
    }
    for (int i = 0; i < count; ++i) {
      if (objects[i]->IsSignalledLocked()) {
        objects[i]->ConsumeLocked();
        found = i;
        return true;
      }
    }
    return false;
  };
  std::unique_lock<std::mutex> lock(KernelMutex());
  if (ready()) return found;
  if (timeoutMs == 0) return kWaitTimeout;
  // Woken only under the lock, so the condition outlives every wake that names it.
  std::condition_variable woken;
  for (int i = 0; i < count; ++i) objects[i]->waiters_.push_back(&woken);
  bool done;
  if (timeoutMs == kInfinite) {
    woken.wait(lock, ready);
    done = true;
  } else {
    done = woken.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  }
  for (int i = 0; i < count; ++i) {
    std::vector<std::condition_variable*>& waiters = objects[i]->waiters_;
    // The same object may be named twice: one entry goes per naming.
    waiters.erase(std::find(waiters.begin(), waiters.end(), &woken));
  }
  return done ? found : kWaitTimeout;
}

int WaitForObject(WaitableObject* object, uint32_t timeoutMs) {
  return WaitForObjects(&object, 1, false, timeoutMs);
}
