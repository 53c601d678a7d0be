#include "host/dshow/reference_clock.h"

#include <chrono>
#include <limits>
#include <new>
#include <utility>

#include "host/kernel/thread.h"

namespace {

constexpr REFERENCE_TIME kNever = std::numeric_limits<REFERENCE_TIME>::max();
std::atomic<int> g_liveObjects{0};

}  // namespace

int LiveHostMediaObjectCount() { return g_liveObjects.load(); }
void CountHostMediaObject(int delta) { g_liveObjects.fetch_add(delta); }

ReferenceClockBase::ReferenceClockBase() { CountHostMediaObject(1); }
ReferenceClockBase::~ReferenceClockBase() { CountHostMediaObject(-1); }

HRESULT ReferenceClockBase::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IReferenceClock) {
    *out = static_cast<IReferenceClock*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t ReferenceClockBase::AddRef() { return static_cast<uint32_t>(refs_.fetch_add(1) + 1); }

uint32_t ReferenceClockBase::Release() {
  int32_t n = refs_.fetch_sub(1) - 1;
  if (n == 0) delete this;
  return static_cast<uint32_t>(n);
}

HRESULT ReferenceClockBase::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = Now();
  return S_OK;
}

HRESULT ReferenceClockBase::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Event* event,
                                       uintptr_t* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!event || baseTime < 0 || streamTime > kNever - baseTime) return E_INVALIDARG;
  return Add({baseTime + streamTime, 0, event, nullptr}, cookie);
}

HRESULT ReferenceClockBase::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                           Semaphore* semaphore, uintptr_t* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!semaphore || startTime < 0 || periodTime <= 0) return E_INVALIDARG;
  return Add({startTime, periodTime, nullptr, semaphore}, cookie);
}

HRESULT ReferenceClockBase::Add(const Advice& advice, uintptr_t* cookie) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    *cookie = nextCookie_++;
    advices_[*cookie] = advice;
  }
  OnAdviseAdded();
  return S_OK;
}

HRESULT ReferenceClockBase::Unadvise(uintptr_t cookie) {
  std::lock_guard<std::mutex> lock(mutex_);
  return advices_.erase(cookie) ? S_OK : S_FALSE;
}

int ReferenceClockBase::pendingAdvises() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(advices_.size());
}

REFERENCE_TIME ReferenceClockBase::FireDueLocked(REFERENCE_TIME now) {
  REFERENCE_TIME next = kNever;
  for (auto it = advices_.begin(); it != advices_.end();) {
    Advice& a = it->second;
    if (a.due <= now) {
      if (a.event) {
        a.event->Set();
        it = advices_.erase(it);
        continue;
      }
      // One release for every period that has passed.
      while (a.due <= now) {
        a.semaphore->Release(1);
        if (a.due > kNever - a.period) break;
        a.due += a.period;
      }
    }
    if (a.due < next) next = a.due;
    ++it;
  }
  return next;
}

REFERENCE_TIME SteadyReferenceTime() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
             .count() /
         100;
}

ThreadedReferenceClock::ThreadedReferenceClock(REFERENCE_TIME longestWait) : longestWait_(longestWait) {}

void ThreadedReferenceClock::StopAdviseThread() {
  HostThread* thread = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    thread = std::exchange(thread_, nullptr);
  }
  wake_.notify_all();
  if (thread) CloseHostThread(thread);
}

void ThreadedReferenceClock::OnAdviseAdded() {
  std::lock_guard<std::mutex> lock(mutex_);
  // The advise thread starts with the first advise; should it fail to start, due
  // advises still fire at each later advise rather than never.
  if (!thread_ && !stopping_) thread_ = CreateHostThread(AdviseThread, this, false);
  if (!thread_) FireDueLocked(Now());
  wake_.notify_all();
}

uint32_t ThreadedReferenceClock::AdviseThread(void* self) {
  auto* clock = static_cast<ThreadedReferenceClock*>(self);
  std::unique_lock<std::mutex> lock(clock->mutex_);
  while (!clock->stopping_) {
    REFERENCE_TIME now = clock->Now();
    REFERENCE_TIME next = clock->FireDueLocked(now);
    if (next == kNever && clock->longestWait_ == kNever) {
      clock->wake_.wait(lock);
    } else {
      REFERENCE_TIME wait = next == kNever ? clock->longestWait_ : std::min(next - now, clock->longestWait_);
      clock->wake_.wait_for(lock, std::chrono::nanoseconds(wait * 100));
    }
  }
  return 0;
}

SystemReferenceClock::SystemReferenceClock() : ThreadedReferenceClock(kNever) {}

SystemReferenceClock* SystemReferenceClock::Create() { return new (std::nothrow) SystemReferenceClock(); }

ManualReferenceClock* ManualReferenceClock::Create(REFERENCE_TIME start) {
  return new (std::nothrow) ManualReferenceClock(start);
}

void ManualReferenceClock::Advance(REFERENCE_TIME delta) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_.fetch_add(delta);
  FireDueLocked(now_.load());
}

void ManualReferenceClock::OnAdviseAdded() {
  std::lock_guard<std::mutex> lock(mutex_);
  FireDueLocked(now_.load());
}
