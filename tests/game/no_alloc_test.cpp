// The play allocates nothing: 10,000 busy steps with every heap entry counted.
#include "platform/alloc.h"
#include "tests/game/heap_counter.h"
#include "tests/game/play_fixture.h"
#include "tests/game/soak_script.h"

namespace {

struct HeapUse {
  int steps;
  long calls;    // operator new and malloc
  int tracked;   // blocks the tracked allocator gained
};

// Up to 10,000 steps with random input after a warm-up that fills the pools.
HeapUse CountHeapUse(void (*script)(), const PlaySetup& setup, uint32_t seed, int warmUp, int heldInput) {
  g_stageScriptOverride = script;
  BeginPlay(setup);
  for (int k = 0; k < warmUp; ++k) {
    SetLiveInput(SoakInput(&seed));
    RunLogicStep();
  }
  const int trackedBefore = TrackedLiveCount();
  const long before = HeapCallCount();
  int steps = 0;
  for (; steps < 10000 && !g_stageOver; ++steps) {
    SetLiveInput(SoakInput(&seed) | heldInput);
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
  }
  HeapUse use{steps, HeapCallCount() - before, TrackedLiveCount() - trackedBefore};
  g_stageScriptOverride = nullptr;
  return use;
}

TEST(NoAllocTest, BusyStepsAllocateNothing) {
  const HeapUse use = CountHeapUse(&SoakScript, PlaySetup{4, 1, 7, 5u}, 77, 500, 0);
  EXPECT_EQ(use.steps, 10000);
  EXPECT_EQ(use.calls, 0);
  EXPECT_EQ(use.tracked, 0);
#ifndef BUILT_WITH_SANITIZER
  EXPECT_TRUE(HeapCountingWorks());  // the counter itself sees a real allocation
#endif
}

TEST(NoAllocTest, RealStageStepsAllocateNothing) {
  const HeapUse use = CountHeapUse(nullptr, PlaySetup{1, 3, 7, 11u}, 5, 200, kInputShot);
  EXPECT_EQ(use.calls, 0);
  EXPECT_EQ(use.tracked, 0);
}

}  // namespace
