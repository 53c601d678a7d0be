#include "platform/api_lock.h"

#include "host/kernel/thread.h"

void ApiLock::Enter() {
  const uint64_t me = CurrentHostThreadId();
  // Each thread waits on its own event; it is set once the lock is already its own.
  thread_local Event wake(true, false);
  for (;;) {
    guard_.Enter();
    if (owner_ == me) {
      ++depth_;
      guard_.Leave();
      return;
    }
    if (owner_ == 0 && waiting_ == 0) {
      owner_ = me;
      depth_ = 1;
      guard_.Leave();
      return;
    }
    if (waiting_ < kPlaces) {
      wake.Reset();
      places_[(first_ + waiting_) % kPlaces] = {me, &wake};
      ++waiting_;
      guard_.Leave();
      WaitForObject(&wake, kInfinite);
      return;
    }
    // Every place is taken: try again shortly rather than lose the arrival.
    guard_.Leave();
    HostSleep(1);
  }
}

void ApiLock::Leave() {
  CriticalSectionGuard guard(guard_);
  if (owner_ != CurrentHostThreadId() || depth_ == 0) return;
  if (--depth_ > 0) return;
  if (waiting_ == 0) {
    owner_ = 0;
    return;
  }
  Place next = places_[first_];
  first_ = (first_ + 1) % kPlaces;
  --waiting_;
  owner_ = next.thread;
  depth_ = 1;
  next.wake->Set();
}

uint64_t ApiLock::owner() {
  CriticalSectionGuard guard(guard_);
  return owner_;
}

int ApiLock::waiting() {
  CriticalSectionGuard guard(guard_);
  return waiting_;
}

ApiLock& GetApiLock() {
  static ApiLock lock;
  return lock;
}
