#pragma once
// Locks and waitable objects in the shape the library's threaded code expects:
// recursive critical sections, manual- and auto-reset events and counting
// semaphores, with a wait on one object or on several at once.
#include <cstdint>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr int kWaitTimeout = 258;

// Recursive: the owning thread may enter again and must leave as often.
class CriticalSection {
 public:
  void Enter() {
    mutex_.lock();
    Entered();
  }
  bool TryEnter() {
    if (!mutex_.try_lock()) return false;
    Entered();
    return true;
  }
  void Leave() {
    if (--depth_ == 0) owner_.store(std::thread::id());
    mutex_.unlock();
  }
  // How often the calling thread has entered without leaving (0 when it does not hold
  // the section), so that a long wait can leave it wholly and enter it again after.
  int HeldDepth() const { return owner_.load() == std::this_thread::get_id() ? depth_ : 0; }

 private:
  void Entered() {
    if (depth_++ == 0) owner_.store(std::this_thread::get_id());
  }

  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;  // changed only by the owner
};

class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~CriticalSectionGuard() { section_.Leave(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CriticalSection& section_;
};

// An event or a semaphore. Every state change happens under one process-wide lock,
// so that a wait on several objects sees them consistently; a change wakes only the
// threads waiting on that object.
class WaitableObject {
 public:
  virtual ~WaitableObject() = default;
  // Waits sleeping on this object now (a wait naming it twice counts twice).
  int WaiterCount() const;

 protected:
  friend int WaitForObjects(WaitableObject* const* objects, int count, bool waitAll,
                            uint32_t timeoutMs);
  virtual bool IsSignalledLocked() const = 0;
  // Called once a wait is satisfied by this object: an auto-reset event resets,
  // a semaphore counts down.
  virtual void ConsumeLocked() = 0;
  // Wakes every thread waiting on this object; under the process-wide lock.
  void WakeWaitersLocked();

 private:
  std::vector<std::condition_variable*> waiters_;  // one per waiting thread
};

class Event : public WaitableObject {
 public:
  Event(bool manualReset, bool initiallySet);
  void Set();
  void Reset();
  bool IsSet() const;

 protected:
  bool IsSignalledLocked() const override { return set_; }
  void ConsumeLocked() override;

 private:
  bool manualReset_;
  bool set_;
};

class Semaphore : public WaitableObject {
 public:
  Semaphore(int initialCount, int maximumCount);
  // Adds `count`; false (and no change) when that would pass the maximum.
  bool Release(int count = 1, int* previousCount = nullptr);
  int count() const;

 protected:
  bool IsSignalledLocked() const override { return count_ > 0; }
  void ConsumeLocked() override { --count_; }

 private:
  int count_;
  int maximum_;
};

// Waits until one object (waitAll false) or all of them (waitAll true) are signalled,
// consuming what it waited for. Returns the index of the object that ended the wait
// (0 when waitAll), or kWaitTimeout; -1 for a bad argument.
int WaitForObjects(WaitableObject* const* objects, int count, bool waitAll, uint32_t timeoutMs);
// 0 when signalled, kWaitTimeout otherwise.
int WaitForObject(WaitableObject* object, uint32_t timeoutMs);
