// A window is opened whole on the display where it fits, and from the display's
// top-left corner where it does not, so its menus are never off the screen; the
// display's usable size is known before any window. Under a window manager the frame
// it adds is counted in. Runs on private virtual displays; skipped where Xvfb (or for
// the managed cases openbox) is not installed.
// Before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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

// Takes the reader's events as they come until `ready`, for at most a few seconds: the
// window manager is a process of its own. The last answer of `ready`.
template <typename Ready>
bool WaitFor(Display* reader, Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    if (ready()) return true;
    if (XPending(reader) > 0) {
      XEvent event;
      while (XPending(reader) > 0) XNextEvent(reader, &event);
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return ready();
    pollfd wait{ConnectionNumber(reader), POLLIN, 0};
    poll(&wait, 1, static_cast<int>(left.count()) + 1);
  }
}

// The items of a window's property, each as Xlib hands 32-bit items back: none where it
// is not set.
std::vector<long> Property(Display* reader, Window window, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(reader, window, XInternAtom(reader, name, False), 0, 1024, False, AnyPropertyType, &type, &format,
                     &items, &after, &data);
  std::vector<long> values;
  if (format == 32) values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + items);
  if (data != nullptr) XFree(data);
  return values;
}

// The frame round the main window (left, right, top, bottom) once the manager has
// taken the window in; empty before.
std::vector<long> FrameOf(Display* reader) {
  auto* sdlWindow = reinterpret_cast<SDL_Window*>(HostMainWindow());
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(sdlWindow, &info)) return {};
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XQueryTree(reader, info.info.x11.window, &root, &parent, &children, &count);
  if (children != nullptr) XFree(children);
  std::vector<long> frame = Property(reader, info.info.x11.window, "_NET_FRAME_EXTENTS");
  return parent != root && frame.size() == 4 ? frame : std::vector<long>{};
}

TEST(WindowPlacement, UnderAWindowManagerTheFrameLiesWholeOnTheDisplayWhereItFits) {
  const struct {
    const char* screen;
    int displayW, displayH;
    std::vector<int> windowW;
  } cases[] = {
      // Even the smallest size is too large with its frame: its inside shows whole.
      {"640x480x24", 640, 480, {640}},
      // 1280 is too wide with its frame, not too high; 960 fits.
      {"1280x1024x24", 1280, 1024, {1280, 960}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.screen);
    VirtualDisplay server(c.screen);
    if (server.name().empty()) GTEST_SKIP() << "no Xvfb to show a window on";
    // Opened first, and kept: the server stays up between the windows.
    const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(server.name().c_str()), XCloseDisplay);
    Display* reader = connection.get();
    ASSERT_NE(reader, nullptr);
    const Window root = DefaultRootWindow(reader);
    XSelectInput(reader, root, PropertyChangeMask | SubstructureNotifyMask);
    WindowManager manager(server.name());
    if (!manager.started()) GTEST_SKIP() << "no openbox to manage the windows";
    ASSERT_TRUE(WaitFor(reader, [&] {
      return !Property(reader, root, "_NET_SUPPORTING_WM_CHECK").empty() &&
             !Property(reader, root, "_NET_SUPPORTED").empty() && !Property(reader, root, "_NET_WORKAREA").empty();
    })) << "openbox did not take the display";
    setenv("DISPLAY", server.name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    for (const int w : c.windowW) {
      const int h = w * 3 / 4;
      SCOPED_TRACE(testing::Message() << w << "x" << h);
      int usableW = 0, usableH = 0;
      ASSERT_TRUE(HostDisplayUsableSize(&usableW, &usableH)) << HostWindowError();
      ASSERT_NE(HostCreateWindow("placement", w, h, true), 0u) << HostWindowError();
      std::vector<long> frame;
      WaitFor(reader, [&] { return !(frame = FrameOf(reader)).empty(); });
      const Placed got = WhereTheServerHasIt(reader);
      HostDestroyWindow();
      ASSERT_EQ(frame.size(), 4u) << "openbox did not frame the window";
      const long left = frame[0], right = frame[1], top = frame[2], bottom = frame[3];
      ASSERT_GT(top, 0);
      // The size chosen from the query fits with this frame.
      EXPECT_EQ(usableW, c.displayW - left - right);
      EXPECT_EQ(usableH, c.displayH - top - bottom);
      EXPECT_EQ(got.w, w);
      EXPECT_EQ(got.h, h);
      // Along each axis: the frame whole and centred where it fits, the inside from the
      // display's edge where it does not.
      const auto placed = [](long inside, long size, long before, long after, long display) {
        const long framed = size + before + after, gap = inside - before;
        if (framed > display) return inside == 0;
        return gap >= 0 && gap + framed <= display && std::labs(2 * gap + framed - display) <= 1;
      };
      EXPECT_TRUE(placed(got.x, w, left, right, c.displayW)) << "inside from x = " << got.x;
      EXPECT_TRUE(placed(got.y, h, top, bottom, c.displayH)) << "inside from y = " << got.y;
    }
  }
  unsetenv("DISPLAY");
}

}  // namespace
