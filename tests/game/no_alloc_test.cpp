// The play allocates nothing: 10,000 busy steps with every heap entry counted.
#include <cstdlib>
#include <new>

#include "platform/alloc.h"
#include "tests/game/play_fixture.h"
#include "tests/game/soak_script.h"

namespace {
long g_heapCalls = 0;
}  // namespace

// Counting replacements of the global allocation functions of this test binary.
// Sanitizer builds keep their own allocator, so only the tracked count is checked there.
#ifndef BUILT_WITH_SANITIZER
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t size) {
  ++g_heapCalls;
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
  ++g_heapCalls;
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
  ++g_heapCalls;
  return __libc_realloc(block, size);
}
void* operator new(size_t size) {
  ++g_heapCalls;
  void* block = __libc_malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
#endif

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
  long before = g_heapCalls;
  for (int k = 0; k < 10000; ++k) {
    SetLiveInput(SoakInput(&seed));
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
  }
  long calls = g_heapCalls - before;
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(TrackedLiveCount(), trackedBefore);
  g_stageScriptOverride = nullptr;
#ifndef BUILT_WITH_SANITIZER
  // The counter itself works: a real allocation is seen.
  long probe = g_heapCalls;
  void* volatile block = std::malloc(16);
  std::free(block);
  EXPECT_GT(g_heapCalls, probe);
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
  long before = g_heapCalls;
  int trackedBefore = TrackedLiveCount();
  for (int k = 0; k < 10000 && !g_stageOver; ++k) {
    SetLiveInput(SoakInput(&seed) | kInputShot);
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
  }
  EXPECT_EQ(g_heapCalls - before, 0);
  EXPECT_EQ(TrackedLiveCount(), trackedBefore);
}

}  // namespace
