// A window is opened whole on the display where it fits, and from the display's
// top-left corner where it does not, so its menus are never off the screen; the
// display's usable size is known before any window. Runs on private virtual displays;
// skipped where Xvfb is not installed.
// Before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/window/window.h"
#include "tests/host/window/virtual_display.h"

namespace {

struct Placed {
  int x, y, w, h;
};

// Where the X server has the window, in root coordinates.
Placed WhereTheServerHasIt(Display* reader) {
  auto* sdlWindow = reinterpret_cast<SDL_Window*>(HostMainWindow());
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(sdlWindow, &info)) return {-1, -1, 0, 0};
  XSync(reader, False);
  XWindowAttributes attributes;
  XGetWindowAttributes(reader, info.info.x11.window, &attributes);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(reader, info.info.x11.window, DefaultRootWindow(reader), 0, 0, &x, &y, &child);
  return {x, y, attributes.width, attributes.height};
}

TEST(WindowPlacement, AWindowOpensOnTheDisplayWholeWhereItFitsAndFromItsCornerWhereNot) {
  const struct {
    const char* screen;
    int displayW, displayH;
    int windowW, windowH;
    Placed want;
  } cases[] = {
      {"640x480x24", 640, 480, 640, 480, {0, 0, 640, 480}},
      {"640x480x24", 640, 480, 1280, 960, {0, 0, 1280, 960}},  // too large: its corner shows
      {"1280x1024x24", 1280, 1024, 640, 480, {320, 272, 640, 480}},
      {"1280x1024x24", 1280, 1024, 1280, 960, {0, 32, 1280, 960}},
      {"1024x768x24", 1024, 768, 1280, 960, {0, 0, 1280, 960}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.windowW << "x" << c.windowH << " on " << c.screen);
    VirtualDisplay server(c.screen);
    if (server.name().empty()) GTEST_SKIP() << "no Xvfb to show a window on";
    setenv("DISPLAY", server.name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    int w = 0, h = 0;
    ASSERT_TRUE(HostDisplayUsableSize(&w, &h)) << HostWindowError();
    EXPECT_EQ(w, c.displayW);
    EXPECT_EQ(h, c.displayH);
    const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(server.name().c_str()), XCloseDisplay);
    ASSERT_NE(connection, nullptr);
    ASSERT_NE(HostCreateWindow("placement", c.windowW, c.windowH, true), 0u) << HostWindowError();
    HostMessage message;
    while (HostPeekMessage(&message)) {
    }
    const Placed got = WhereTheServerHasIt(connection.get());
    HostDestroyWindow();
    EXPECT_EQ(got.x, c.want.x);
    EXPECT_EQ(got.y, c.want.y);
    EXPECT_EQ(got.w, c.want.w);
    EXPECT_EQ(got.h, c.want.h);
  }
  unsetenv("DISPLAY");
}

}  // namespace
