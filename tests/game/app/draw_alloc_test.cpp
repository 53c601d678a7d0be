// Once a play has started, its frames allocate nothing, with the drawing on.
#include "game/draw/play_draw.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/play_scene.h"
#include "tests/game/app/app_fixture.h"
#include "tests/game/heap_counter.h"

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
  [[maybe_unused]] const long before = HeapCallCount();  // the heap is not counted under a sanitizer
  int frames = 0;
  for (int f = 0; f < 2400 && IsPlayScene(g_scene) && g_scene < 10000; ++f, ++frames) {
    Keys(NextTestInput(&seed));
    RunGameFrame();
    g_gameOverPending = 0;  // stay in the play
    g_player.lives = 2;
  }
  EXPECT_GT(frames, 2000);
#ifndef BUILT_WITH_SANITIZER
  EXPECT_EQ(HeapCallCount() - before, 0);
  EXPECT_TRUE(HeapCountingWorks());
#endif
  InstallPlayDrawing(false);
}

}  // namespace
