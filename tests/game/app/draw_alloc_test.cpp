// Once a play has started, its frames allocate nothing, with the drawing on.
#include <cstdlib>
#include <new>

#include "game/game_session.h"
#include "game/play_draw_table.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "tests/game/app/app_fixture.h"

namespace {
long g_heapCalls = 0;
}  // namespace

// Sanitizer builds keep their own allocator: there the test only runs the frames.
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

class DrawAllocTest : public AppTest {};

TEST_F(DrawAllocTest, PlayFramesWithDrawingAllocateNothing) {
  LoadImages();
  InstallPlayDrawing(true);
  StartLivePlay(1, 3, 0);
  uint32_t seed = 17;
  for (int f = 0; f < 600 && g_scene < 10000; ++f) {  // warm up: glyphs, pools
    Keys(NextTestInput(&seed));
    RunGameFrame();
    if (g_gameOverPending) ContinuePlay();
  }
  const long before = g_heapCalls;
  int frames = 0;
  for (int f = 0; f < 2400 && IsPlayScene(g_scene) && g_scene < 10000; ++f, ++frames) {
    Keys(NextTestInput(&seed));
    RunGameFrame();
    g_gameOverPending = 0;  // stay in the play
    g_player.lives = 2;
  }
  EXPECT_GT(frames, 2000);
#ifndef BUILT_WITH_SANITIZER
  EXPECT_EQ(g_heapCalls - before, 0);
  void* volatile block = std::malloc(16);  // the counter itself works
  std::free(block);
  EXPECT_GT(g_heapCalls, before);
#endif
  InstallPlayDrawing(false);
}

}  // namespace
