#pragma once
// The lock around the library start, end and message pump: recursive for the thread
// that holds it, and handed to waiting threads in the order they arrived.
#include <cstdint>

#include "host/kernel/sync.h"

class ApiLock {
 public:
  static constexpr int kPlaces = 4096;

  void Enter();
  // Leaving more often than entered, or from a thread that does not hold it, is ignored.
  void Leave();
  // The id of the holding thread, 0 when free, and the number of threads queued.
  uint64_t owner();
  int waiting();

 private:
  struct Place {
    uint64_t thread;
    Event* wake;
  };
  CriticalSection guard_;
  uint64_t owner_ = 0;
  int depth_ = 0;
  Place places_[kPlaces] = {};
  int first_ = 0;
  int waiting_ = 0;
};

ApiLock& GetApiLock();

class ApiLockGuard {
 public:
  ApiLockGuard() { GetApiLock().Enter(); }
  ~ApiLockGuard() { GetApiLock().Leave(); }
  ApiLockGuard(const ApiLockGuard&) = delete;
  ApiLockGuard& operator=(const ApiLockGuard&) = delete;
};
