#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "host/kernel/large_pages.h"
#include "host/kernel/last_error.h"
#include "host/kernel/mul_div.h"
#include "host/kernel/sync.h"
#include "host/kernel/thread.h"
#include "host/kernel/time.h"
#include "host/kernel/timer.h"
#include "host/kernel/virtual_block.h"

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

// Every timer test runs on the manual source, so due times are exact and nothing sleeps.
class ManualTimers : public ::testing::Test {
 protected:
  void SetUp() override { UseManualTime(true, 1000); }
  void TearDown() override {
    EXPECT_EQ(LiveTimerCount(), 0);
    UseManualTime(false);
  }
};

struct FiredLog {
  std::mutex mutex;
  std::vector<uintptr_t> order;
  Semaphore fired{0, 100};
};
FiredLog* g_log = nullptr;

void RecordFiring(uint32_t, uintptr_t user) {
  {
    std::lock_guard<std::mutex> lock(g_log->mutex);
    g_log->order.push_back(user);
  }
  g_log->fired.Release();
}

TEST_F(ManualTimers, FireInDueOrderOnlyOnceTheirTimeHasCome) {
  FiredLog log;
  g_log = &log;
  EXPECT_EQ(StartOneShotTimer(0, RecordFiring, 9), 0u);
  EXPECT_EQ(StartOneShotTimer(kMaxTimerDelayMs + 1, RecordFiring, 9), 0u);
  uint32_t killed = StartOneShotTimer(5, RecordFiring, 5);
  for (uintptr_t delay : {30u, 10u, 20u, 10u, kMaxTimerDelayMs}) {
    ASSERT_NE(StartOneShotTimer(static_cast<uint32_t>(delay), RecordFiring, delay), 0u);
  }
  EXPECT_TRUE(CancelTimer(killed));  // killed before its time: never fires
  AdvanceManualTime(15);
  ASSERT_EQ(WaitForObject(&log.fired, kInfinite), 0);
  ASSERT_EQ(WaitForObject(&log.fired, kInfinite), 0);
  EXPECT_EQ(LiveTimerCount(), 3);
  AdvanceManualTime(kMaxTimerDelayMs);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(WaitForObject(&log.fired, kInfinite), 0);
  std::lock_guard<std::mutex> lock(log.mutex);
  EXPECT_EQ(log.order, (std::vector<uintptr_t>{10, 10, 20, 30, kMaxTimerDelayMs}));
}

struct KillScene {
  Event entered{true, false};
  Event release{true, false};
  std::atomic<bool> finished{false};
  std::atomic<int> selfKill{-1};
};

TEST_F(ManualTimers, KillWaitsForARunningCallbackButNotFromInsideIt) {
  static KillScene scene;
  uint32_t id = StartOneShotTimer(1, [](uint32_t, uintptr_t) {
    scene.entered.Set();
    WaitForObject(&scene.release, kInfinite);
    scene.finished = true;
  }, 0);
  AdvanceManualTime(1);
  ASSERT_EQ(WaitForObject(&scene.entered, kInfinite), 0);
  HostThread* releaser = CreateHostThread([](void*) -> uint32_t {
    scene.release.Set();
    return 0;
  }, nullptr, false);
  EXPECT_FALSE(CancelTimer(id));
  EXPECT_TRUE(scene.finished.load());  // the kill returned only after the callback
  CloseHostThread(releaser);

  static Event done(true, false);
  StartOneShotTimer(2, [](uint32_t self, uintptr_t) {
    scene.selfKill = CancelTimer(self) ? 1 : 0;  // must not wait for itself
    done.Set();
  }, 0);
  AdvanceManualTime(2);
  ASSERT_EQ(WaitForObject(&done, kInfinite), 0);
  EXPECT_EQ(scene.selfKill.load(), 0);
}

TEST(Waits, WaitAnyNamesTheObjectAndAnAutoResetEventWakesOneWaiter) {
  struct Shared {
    Event a{false, false}, b{false, false}, c{false, false};
    Event gate{false, false};
    std::atomic<int> index{-1};
    std::atomic<int> woken{0};
  } s;
  HostThread* any = CreateHostThread([](void* p) -> uint32_t {
    auto* s = static_cast<Shared*>(p);
    WaitableObject* objects[] = {&s->a, &s->b, &s->c};
    s->index = WaitForObjects(objects, 3, false, kInfinite);
    return 0;
  }, &s, false);
  s.c.Set();
  CloseHostThread(any);
  EXPECT_EQ(s.index.load(), 2);
  EXPECT_FALSE(s.c.IsSet());

  auto waiter = [](void* p) -> uint32_t {
    auto* s = static_cast<Shared*>(p);
    WaitForObject(&s->gate, kInfinite);
    s->woken.fetch_add(1);
    return 0;
  };
  HostThread* first = CreateHostThread(waiter, &s, false);
  HostThread* second = CreateHostThread(waiter, &s, false);
  s.gate.Set();
  while (s.woken.load() == 0) HostSleep(0);
  EXPECT_EQ(WaitForObject(&s.gate, 0), kWaitTimeout);  // consumed by the one it woke
  EXPECT_EQ(s.woken.load(), 1);
  s.gate.Set();
  CloseHostThread(first);
  CloseHostThread(second);
  EXPECT_EQ(s.woken.load(), 2);
  EXPECT_EQ(LiveHostThreadCount(), 0);
}

// Each wait sleeps until one of its own objects changes: an object named twice, waits
// that timed out or ended before, and other threads' objects must not lose a wake or
// leave a waiter behind. The waits are bounded so that a lost wake fails, not hangs.
TEST(Waits, EveryWaiterIsWokenByItsOwnObjectsOnly) {
  constexpr uint32_t kBound = 5000;
  // Yields until a thread sleeps on `object`; false when none comes.
  auto asleepOn = [](const WaitableObject& object) {
    for (int i = 0; i < 1000000; ++i) {
      if (object.WaiterCount() > 0) return true;
      HostSleep(0);
    }
    return false;
  };
  struct Shared {
    Event x{false, false}, y{false, false};
    Event own[4] = {{false, false}, {false, false}, {false, false}, {false, false}};
    std::atomic<int> index{-1};
    std::atomic<int> woken[4] = {};
  } s;
  EXPECT_EQ(WaitForObject(&s.x, 1), kWaitTimeout);
  EXPECT_EQ(s.x.WaiterCount(), 0);  // a wait that timed out is gone
  HostThread* twice = CreateHostThread([](void* p) -> uint32_t {
    auto* s = static_cast<Shared*>(p);
    WaitableObject* objects[] = {&s->x, &s->x, &s->y};
    s->index = WaitForObjects(objects, 3, false, kBound);
    return 0;
  }, &s, false);
  ASSERT_TRUE(asleepOn(s.y));  // only a wake ends its wait now
  EXPECT_EQ(s.x.WaiterCount(), 2);
  s.y.Set();
  CloseHostThread(twice);
  EXPECT_EQ(s.index.load(), 2);
  EXPECT_EQ(s.x.WaiterCount() + s.y.WaiterCount(), 0);
  s.x.Set();  // no waiter is left on it: it stays set for the next wait
  EXPECT_EQ(WaitForObject(&s.x, 0), 0);

  struct Arg {
    Shared* s;
    int i;
  } args[4] = {{&s, 0}, {&s, 1}, {&s, 2}, {&s, 3}};
  HostThread* threads[4];
  for (int i = 0; i < 4; ++i) {
    threads[i] = CreateHostThread([](void* p) -> uint32_t {
      auto* a = static_cast<Arg*>(p);
      if (WaitForObject(&a->s->own[a->i], kBound) == 0) a->s->woken[a->i].fetch_add(1);
      return 0;
    }, &args[i], false);
  }
  for (int i = 3; i >= 0; --i) {
    ASSERT_TRUE(asleepOn(s.own[i]));
    s.own[i].Set();
    CloseHostThread(threads[i]);
    EXPECT_EQ(s.woken[i].load(), 1) << i;
    for (int j = 0; j < i; ++j) EXPECT_EQ(s.woken[j].load(), 0) << j;
  }
  EXPECT_EQ(LiveHostThreadCount(), 0);
}

TEST(HostHelpers, ThreadFailureSleepOnManualTimeAndSmallRoutines) {
  FailNextThreadCreation();
  SetLastError(0);
  EXPECT_EQ(CreateHostThread([](void*) -> uint32_t { return 0; }, nullptr, false), nullptr);
  EXPECT_NE(GetLastError(), 0u);
  HostThread* ok = CreateHostThread([](void*) -> uint32_t { return 0; }, nullptr, false);
  EXPECT_NE(ok, nullptr);  // the hook fails one creation only
  CloseHostThread(ok);

  UseManualTime(true, 0xFFFFFFF0u);
  HostSleep(0x20);
  EXPECT_EQ(HostTimeMs(), 0x10u);  // wraps at 32 bits
  UseManualTime(false);

  struct { int32_t a, b, c, expected; } mulDiv[] = {
      {10, 10, 3, 33}, {10, 10, 6, 17}, {-10, 10, 6, -17}, {100000, 7, 0, -1},
      {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}, {0x7FFFFFFF, 2, 1, -1}};
  for (const auto& m : mulDiv) EXPECT_EQ(MulDiv(m.a, m.b, m.c), m.expected) << m.a << " " << m.b << " " << m.c;

  auto* block = static_cast<uint8_t*>(AllocVirtualBlock(100000));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kAllocationGranularity, 0u);
  EXPECT_EQ(block[99999], 0);
  EXPECT_EQ(LiveVirtualBlockCount(), 1);
  FreeVirtualBlock(block);
  EXPECT_EQ(LiveVirtualBlockCount(), 0);
}

// Stores of every size hold their bytes apart, start zeroed, and leave no region behind.
TEST(PixelStores, MixedSizesKeepTheirBytesAndGiveEveryRegionBack) {
  const size_t sizes[] = {1, 1000, kPackedStoreMin - 1, kPackedStoreMin, 614400, 1228800,
                          2613248, kPackedRegionBytes + 4096, 327680, 327680, 395264};
  std::vector<uint8_t*> stores;
  for (size_t size : sizes) {
    auto* store = static_cast<uint8_t*>(AllocPixelStore(size));
    ASSERT_NE(store, nullptr);
    if (size >= kPackedStoreMin) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(store) % 64, 0u);
    }
    for (size_t i = 0; i < size; i += 4093) ASSERT_EQ(store[i], 0) << size;
    ASSERT_EQ(store[size - 1], 0);
    stores.push_back(store);
  }
  for (size_t k = 0; k < stores.size(); ++k) std::memset(stores[k], static_cast<int>(k + 1), sizes[k]);
  for (size_t k = 0; k < stores.size(); ++k) {
    EXPECT_EQ(stores[k][0], k + 1);
    EXPECT_EQ(stores[k][sizes[k] - 1], k + 1) << "store " << k << " overwritten";
  }
  // Freed out of order: each region is given back with its last store.
  for (size_t k : {4u, 0u, 9u, 5u, 1u, 7u, 10u, 2u, 3u, 6u, 8u}) FreePixelStore(stores[k]);
  EXPECT_EQ(PackedRegionBytes(), 0u);
  FreePixelStore(nullptr);
  EXPECT_EQ(AllocPixelStore(0), nullptr);
}

TEST(PixelStores, AFreedStoreJoinsTheHolesOnBothSidesIntoOneZeroedHole) {
  const size_t size = 300000;
  uint8_t* s[4];
  for (auto& store : s) {
    store = static_cast<uint8_t*>(AllocPixelStore(size));
    ASSERT_NE(store, nullptr);
    std::memset(store, 7, size);
  }
  if (PackedRegionBytes() == 0) {
    for (uint8_t* store : s) FreePixelStore(store);
    GTEST_SKIP() << "stores are not packed in this build";
  }
  FreePixelStore(s[0]);
  FreePixelStore(s[2]);
  FreePixelStore(s[1]);  // between two holes
  auto* joined = static_cast<uint8_t*>(AllocPixelStore(3 * size));
  EXPECT_EQ(joined, s[0]) << "the three holes were not joined";
  for (size_t i = 0; i < 3 * size; i += 997) ASSERT_EQ(joined[i], 0) << i;
  EXPECT_EQ(s[3][0], 7);
  FreePixelStore(joined);
  FreePixelStore(s[3]);
  EXPECT_EQ(PackedRegionBytes(), 0u);
}
}  // namespace
