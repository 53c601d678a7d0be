// On an X display the window shows each flip's screen through the shared images, the
// latest one whatever image it went out in, letterboxed into the window's size after
// every resize, and again in a window made after the first was closed. Runs on a private
// virtual display; skipped where Xvfb is not installed.
// Before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/window/window.h"
#include "host/window/x11_presenter.h"
#include "tests/host/window/letterbox.h"
#include "tests/host/window/virtual_display.h"

#if defined(__SANITIZE_ADDRESS__)
// SDL's start on X leaves D-Bus and GL driver blocks behind, the driver's from a library
// it unloads again: whole stacks are needed to tell them by the SDL frames under them.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0:malloc_context_size=100"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libSDL2-2.0.so\n"; }
#endif

namespace {
using letterbox::kH;
using letterbox::kW;

TEST(X11Presenter, ShowsEveryFlipLetterboxedAfterEveryResize) {
  VirtualDisplay server;
  if (server.name().empty()) GTEST_SKIP() << "no Xvfb to show a window on";
  setenv("DISPLAY", server.name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(server.name().c_str()), XCloseDisplay);
  Display* reader = connection.get();
  ASSERT_NE(reader, nullptr);
  std::vector<uint16_t> screen(kW * kH);
  // The second window checks that the first one's close left nothing behind.
  for (int window = 0; window < 2; ++window) {
    ASSERT_NE(HostCreateWindow("x11 presenter", kW, kH, true), 0u) << HostWindowError();
    ASSERT_TRUE(X11PresenterActive());
    auto* sdlWindow = reinterpret_cast<SDL_Window*>(HostMainWindow());
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(sdlWindow, &info));
    // Read back only where the whole window is on the display.
    SDL_SetWindowPosition(sdlWindow, 0, 0);
    int frame = 0;
    for (const auto& c : letterbox::kCases) {
      SDL_SetWindowSize(sdlWindow, c.w, c.h);
      HostMessage message;
      while (HostPeekMessage(&message)) {
      }
      // More flips than the presenter has images: each must show its own screen.
      for (int flip = 0; flip < 4; ++flip, ++frame) {
        for (int i = 0; i < kW * kH; ++i) screen[i] = static_cast<uint16_t>(((i + frame * 7919) * 2654435761u) >> 13);
        ASSERT_EQ(HostPresent(screen.data(), kW * 2, kW, kH), 0) << HostWindowError();
        X11PresenterFinish();
        XImage* shot = XGetImage(reader, info.info.x11.window, 0, 0, c.w, c.h, AllPlanes, ZPixmap);
        ASSERT_NE(shot, nullptr);
        int wrong = 0;
        for (int y = 0; y < c.h; ++y)
          for (int x = 0; x < c.w; ++x) {
            const uint32_t want = letterbox::Expected(screen.data(), c.shown, x, y);
            const uint32_t got = XGetPixel(shot, x, y) & 0xFFFFFF;
            if (got != want && wrong++ == 0)
              ADD_FAILURE() << c.w << "x" << c.h << ", flip " << flip << ": pixel (" << x << ", " << y << ") "
                            << std::hex << got << ", want " << want;
          }
        XDestroyImage(shot);
        ASSERT_EQ(wrong, 0) << c.w << "x" << c.h << ", flip " << flip;
      }
    }
    HostDestroyWindow();
    EXPECT_FALSE(X11PresenterActive());
  }
}

}  // namespace
