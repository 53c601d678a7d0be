// A saved window size larger than the display opens at the largest listed size that
// fits, the setting itself kept; asked of private virtual displays (skipped where Xvfb
// is not installed).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game/files/save_file.h"
#include "game/scenes/game_session.h"
#include "platform/window.h"
#include "tests/host/window/virtual_display.h"

#if defined(__SANITIZE_ADDRESS__)
// SDL's start on X leaves D-Bus and GL driver blocks behind, the driver's from a library
// it unloads again: whole stacks are needed to tell them by the SDL frames under them.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0:malloc_context_size=100"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libSDL2-2.0.so\n"; }
#endif

namespace {

TEST(WindowFit, TheLargestListedSizeNoLargerThanTheSavedOneThatFitsTheDisplay) {
  const struct {
    int saved, displayW, displayH, opened;
  } cases[] = {
      {1280, 1280, 960, 1280}, {1280, 1279, 960, 960}, {1280, 1280, 959, 960}, {1280, 960, 720, 960},
      {1280, 959, 720, 640},   {960, 1920, 1080, 960}, {640, 1920, 1080, 640}, {1280, 600, 400, 640},
      {960, 640, 480, 640},    {0, 640, 480, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WindowWidthThatFits(c.saved, c.displayW, c.displayH), c.opened)
        << c.saved << " on " << c.displayW << "x" << c.displayH;
}

TEST(WindowFit, TheStartAsksTheDisplayAndKeepsTheSavedSetting) {
  const struct {
    const char* screen;
    int saved, opened;
  } cases[] = {
      {"640x480x24", 1280, 640},   {"640x480x24", 960, 640},    {"640x480x24", 640, 640},
      {"640x480x24", 0, 0},        {"1024x768x24", 1280, 960},  {"1024x768x24", 960, 960},
      {"1280x1024x24", 1280, 1280},
  };
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const std::string oldDriver = driver != nullptr ? driver : "";
  for (const auto& c : cases) {
    VirtualDisplay server(c.screen);
    if (server.name().empty()) GTEST_SKIP() << "no Xvfb to ask";
    setenv("DISPLAY", server.name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ResetSaveData(&g_save, c.saved);
    EXPECT_EQ(StartWindowWidth(), c.opened) << c.saved << " on " << c.screen;
    EXPECT_EQ(g_save.windowWidth, c.saved);
    CloseMainWindow();  // the query keeps the display for a window: let it go first
  }
  unsetenv("DISPLAY");
  if (driver != nullptr) setenv("SDL_VIDEODRIVER", oldDriver.c_str(), 1);
  else unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
