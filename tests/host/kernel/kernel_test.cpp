#include <atomic>
#include <vector>

#include <gtest/gtest.h>

#include "host/kernel/sync.h"
#include "host/kernel/thread.h"
#include "host/kernel/timer.h"

namespace {
TEST(Events, AutoResetWakesOnceManualStaysSet) {
  Event autoEvent(false, false);
  Event manual(true, false);
  EXPECT_EQ(WaitForObject(&autoEvent, 0), kWaitTimeout);
  autoEvent.Set();
  EXPECT_EQ(WaitForObject(&autoEvent, 0), 0);
  EXPECT_EQ(WaitForObject(&autoEvent, 0), kWaitTimeout);  // consumed
  manual.Set();
  EXPECT_EQ(WaitForObject(&manual, 0), 0);
  EXPECT_EQ(WaitForObject(&manual, 0), 0);
  manual.Reset();
  EXPECT_EQ(WaitForObject(&manual, 0), kWaitTimeout);
}

TEST(Events, WaitOnSeveralReportsTheFirstSignalledOrNeedsAll) {
  Event a(false, false), b(false, true);
  Semaphore s(0, 2);
  WaitableObject* objects[] = {&a, &b, &s};
  EXPECT_EQ(WaitForObjects(objects, 3, false, 0), 1);
  EXPECT_EQ(WaitForObjects(objects, 3, false, 0), kWaitTimeout);
  a.Set();
  b.Set();
  EXPECT_EQ(WaitForObjects(objects, 3, true, 0), kWaitTimeout);  // semaphore at 0
  EXPECT_TRUE(s.Release(2));
  EXPECT_FALSE(s.Release(1));  // past the maximum
  EXPECT_EQ(WaitForObjects(objects, 3, true, 0), 0);
  EXPECT_FALSE(a.IsSet());  // all consumed together
  EXPECT_EQ(s.count(), 1);
  EXPECT_EQ(WaitForObjects(nullptr, 1, false, 0), -1);
}

uint32_t CountUp(void* argument) {
  auto* counter = static_cast<std::atomic<int>*>(argument);
  for (int i = 0; i < 1000; ++i) counter->fetch_add(1);
  return 42;
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResumeAndNeverIfClosedFirst) {
  std::atomic<int> counter{0};
  HostThread* t = CreateHostThread(CountUp, &counter, true);
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(WaitHostThread(t, 0));
  EXPECT_EQ(counter.load(), 0);
  ResumeHostThread(t);
  EXPECT_TRUE(WaitHostThread(t, kInfinite));
  EXPECT_EQ(counter.load(), 1000);
  EXPECT_EQ(GetHostThreadExitCode(t), 42u);
  CloseHostThread(t);

  HostThread* never = CreateHostThread(CountUp, &counter, true);
  CloseHostThread(never);  // must not hang
  EXPECT_EQ(counter.load(), 1000);
}

TEST(Threads, EventsHandWorkBetweenThreadsWithoutLoss) {
  struct Shared {
    Event request{false, false};
    Event done{false, false};
    CriticalSection lock;
    int value = 0;
  } shared;
  HostThread* worker = CreateHostThread(
      [](void* p) -> uint32_t {
        auto* s = static_cast<Shared*>(p);
        for (int i = 0; i < 200; ++i) {
          WaitForObject(&s->request, kInfinite);
          CriticalSectionGuard guard(s->lock);
          s->value += 1;
          s->done.Set();
        }
        return 0;
      },
      &shared, false);
  for (int i = 0; i < 200; ++i) {
    shared.request.Set();
    ASSERT_EQ(WaitForObject(&shared.done, kInfinite), 0);
  }
  CloseHostThread(worker);
  EXPECT_EQ(shared.value, 200);
}

TEST(Timers, OneShotFiresOnceAndCancelledNever) {
  static std::atomic<int> fired{0};
  static Event firedEvent(true, false);
  uint32_t cancelled = StartOneShotTimer(60000, [](uint32_t, uintptr_t) { fired += 100; }, 0);
  ASSERT_NE(cancelled, 0u);
  uint32_t id = StartOneShotTimer(0, [](uint32_t, uintptr_t user) {
    fired += static_cast<int>(user);
    firedEvent.Set();
  }, 7);
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(CancelTimer(cancelled));
  ASSERT_EQ(WaitForObject(&firedEvent, 10000), 0);
  EXPECT_FALSE(CancelTimer(id));  // already fired
  EXPECT_EQ(fired.load(), 7);
}
}  // namespace
