#include "platform/api_lock.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/pacer.h"

namespace {
TEST(ApiLock, RecursiveForTheHolderAndHandedOverInArrivalOrder) {
  auto lock = std::make_unique<ApiLock>();
  lock->Enter();
  lock->Enter();  // the holder may enter again
  std::mutex orderMutex;
  std::vector<int> order;
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      lock->Enter();
      lock->Enter();
      {
        std::lock_guard<std::mutex> g(orderMutex);
        order.push_back(i);
      }
      lock->Leave();
      lock->Leave();
    });
    // Let thread i queue before thread i + 1 arrives.
    while (lock->waiting() != i + 1) std::this_thread::yield();
  }
  lock->Leave();
  EXPECT_EQ(order.size(), 0u);  // still held once
  lock->Leave();
  lock->Leave();  // one leave too many is ignored
  for (auto& t : threads) t.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(lock->owner(), 0u);
}

// Time moves only when the pacer asks: a sleep wakes at its deadline plus an
// oversleep, each reading moves time by a small step (the spin).
class ManualClock : public PassClock {
 public:
  int64_t NowUs() override {
    ++readsSinceSleep;
    return now_ += readStep;
  }
  void SleepUntilUs(int64_t deadlineUs) override {
    sleeps.push_back(deadlineUs);
    now_ = std::max(now_, deadlineUs) + oversleep;
    readsSinceSleep = 0;
  }
  int64_t now() const { return now_; }
  void Set(int64_t t) { now_ = t; }
  int64_t readStep = 10;
  int64_t oversleep = 0;
  int readsSinceSleep = 0;
  std::vector<int64_t> sleeps;

 private:
  int64_t now_ = 0;
};

TEST(Pacer, SleepsToTheDeadlineSpinsAtMostTheSpinWindowAndNeverEndsEarly) {
  constexpr int64_t kWake = 116000 - kPassSpinUs;
  struct Case {
    int64_t elapsedAtCall, oversleep;
    std::vector<int64_t> sleeps;
    int64_t end;
  } cases[] = {
      {1000, 0, {kWake}, 116000},                 // slept to the spin window, then spun
      {1000, kPassSpinUs / 2, {kWake}, 116000},   // a late wake-up still spins to the deadline
      {1000, 5000, {kWake}, kWake + 5010},        // overslept: returns at once
      {16000 - kPassSpinUs + 10, 0, {}, 116000},  // too close to sleep
      {20000, 0, {}, 120010},                     // the pass overran
  };
  for (const Case& c : cases) {
    ManualClock clock;
    clock.oversleep = c.oversleep;
    clock.Set(100000 + c.elapsedAtCall);
    WaitForPassEnd(clock, 100000, 16000);
    EXPECT_EQ(clock.sleeps, c.sleeps) << c.elapsedAtCall;
    EXPECT_EQ(clock.now(), c.end) << c.elapsedAtCall;
    if (!c.sleeps.empty()) {
      EXPECT_LE(clock.readsSinceSleep * clock.readStep, kPassSpinUs + clock.readStep) << c.elapsedAtCall;
    }
  }
}
}  // namespace
