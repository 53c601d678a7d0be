// The play allocates nothing: 10,000 busy steps with every heap entry counted.
#include "platform/alloc.h"
#include "tests/game/heap_counter.h"
#include "tests/game/play_fixture.h"
#include "tests/game/soak_script.h"

namespace {

TEST(NoAllocTest, BusyStepsAllocateNothing) {
  g_stageScriptOverride = &SoakScript;
  BeginPlay(PlaySetup{4, 1, 7, 5u});
  uint32_t seed = 77;
  for (int k = 0; k < 500; ++k) {  // warm up: fill the pools
    SetLiveInput(SoakInput(&seed));
    RunLogicStep();
  }
  int trackedBefore = TrackedLiveCount();
  long before = HeapCallCount();
  for (int k = 0; k < 10000; ++k) {
    SetLiveInput(SoakInput(&seed));
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
  }
  long calls = HeapCallCount() - before;
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(TrackedLiveCount(), trackedBefore);
  g_stageScriptOverride = nullptr;
#ifndef BUILT_WITH_SANITIZER
  EXPECT_TRUE(HeapCountingWorks());  // the counter itself sees a real allocation
#endif
}

}  // namespace

namespace {

TEST(NoAllocTest, RealStageStepsAllocateNothing) {
  g_stageScriptOverride = nullptr;
  BeginPlay(PlaySetup{1, 3, 7, 11u});
  uint32_t seed = 5;
  for (int k = 0; k < 200; ++k) {
    SetLiveInput(SoakInput(&seed));
    RunLogicStep();
  }
  long before = HeapCallCount();
  int trackedBefore = TrackedLiveCount();
  for (int k = 0; k < 10000 && !g_stageOver; ++k) {
    SetLiveInput(SoakInput(&seed) | kInputShot);
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
  }
  EXPECT_EQ(HeapCallCount() - before, 0);
  EXPECT_EQ(TrackedLiveCount(), trackedBefore);
}

}  // namespace
