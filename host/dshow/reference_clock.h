#pragma once
// Reference clocks in 100-nanosecond units. The system clock follows the steady clock
// and has one advise thread that sets the events and releases the semaphores when
// they fall due; the manual clock moves only when told, and a move fires every advise
// that has fallen due at once, on the caller's thread, so tests need no real time.
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

#include "host/dshow/interfaces.h"

struct HostThread;

// The steady (monotonic) time in 100-nanosecond units.
REFERENCE_TIME SteadyReferenceTime();

class ReferenceClockBase : public IReferenceClock {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  HRESULT GetTime(REFERENCE_TIME* time) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Event* event,
                     uintptr_t* cookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, Semaphore* semaphore,
                         uintptr_t* cookie) override;
  HRESULT Unadvise(uintptr_t cookie) override;

  int pendingAdvises();

 protected:
  ReferenceClockBase();
  virtual ~ReferenceClockBase();
  virtual REFERENCE_TIME Now() = 0;
  // A new advise may be due before the ones known so far.
  virtual void OnAdviseAdded() {}
  // Fires what is due at `now`; the time the next advise falls due, or INT64_MAX.
  REFERENCE_TIME FireDueLocked(REFERENCE_TIME now);

  std::mutex mutex_;

 private:
  struct Advice {
    REFERENCE_TIME due;
    REFERENCE_TIME period;  // 0: once
    Event* event;
    Semaphore* semaphore;
  };
  HRESULT Add(const Advice& advice, uintptr_t* cookie);

  std::atomic<int32_t> refs_{1};
  std::map<uintptr_t, Advice> advices_;
  uintptr_t nextCookie_ = 1;
};

// A clock with one advise thread, started by the first advise. The thread sleeps until
// the next advise is due by this clock, but never longer than `longestWait`, so a clock
// that does not keep pace with real time is looked at again soon enough.
class ThreadedReferenceClock : public ReferenceClockBase {
 protected:
  explicit ThreadedReferenceClock(REFERENCE_TIME longestWait);
  // Each final class calls this first in its destructor: the thread reads Now().
  void StopAdviseThread();
  void OnAdviseAdded() override;

 private:
  static uint32_t AdviseThread(void* self);

  const REFERENCE_TIME longestWait_;
  std::condition_variable wake_;
  HostThread* thread_ = nullptr;
  bool stopping_ = false;
};

class SystemReferenceClock final : public ThreadedReferenceClock {
 public:
  // A new clock with one reference; null when it cannot be made.
  static SystemReferenceClock* Create();

 protected:
  ~SystemReferenceClock() override { StopAdviseThread(); }
  REFERENCE_TIME Now() override { return SteadyReferenceTime(); }

 private:
  SystemReferenceClock();
};

class ManualReferenceClock final : public ReferenceClockBase {
 public:
  // A new clock at `start` with one reference.
  static ManualReferenceClock* Create(REFERENCE_TIME start = 0);
  void Advance(REFERENCE_TIME delta);

 protected:
  REFERENCE_TIME Now() override { return now_.load(); }
  void OnAdviseAdded() override;

 private:
  explicit ManualReferenceClock(REFERENCE_TIME start) : now_(start) {}
  std::atomic<REFERENCE_TIME> now_;
};

// Graph, clock and enumerator objects of the host's media side now alive.
int LiveHostMediaObjectCount();
void CountHostMediaObject(int delta);
