#include "host/kernel/sync.h"

#include <chrono>
#include <condition_variable>

namespace {
// One lock and one condition for every waitable object: waits on several objects at
// once stay simple, and the number of waiters in this program is small.
std::mutex& KernelMutex() {
  static std::mutex mutex;
  return mutex;
}
std::condition_variable& KernelCondition() {
  static std::condition_variable condition;
  return condition;
}
}  // namespace

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(KernelMutex());
    set_ = true;
  }
  KernelCondition().notify_all();
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
  {
    std::lock_guard<std::mutex> lock(KernelMutex());
    if (count <= 0 || count_ + count > maximum_) return false;
    if (previousCount != nullptr) *previousCount = count_;
    count_ += count;
  }
  KernelCondition().notify_all();
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
  if (timeoutMs == kInfinite) {
    KernelCondition().wait(lock, ready);
    return found;
  }
  if (KernelCondition().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) return found;
  return kWaitTimeout;
}

int WaitForObject(WaitableObject* object, uint32_t timeoutMs) {
  return WaitForObjects(&object, 1, false, timeoutMs);
}
