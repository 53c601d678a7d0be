#include "host/window/x11_frame.h"

#if defined(HOST_WINDOW_X11) && defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <cstring>

namespace {
// The manager may answer slowly on a busy machine; a manager that says it answers and
// never does costs this much each time it is asked.
constexpr auto kAnswerTime = std::chrono::seconds(2);

// A stale manager's window is gone: the error that brings must not end the process.
Display* g_asking = nullptr;
bool g_refused = false;
XErrorHandler g_previousHandler = nullptr;

int OnError(Display* display, XErrorEvent* error) {
  if (display == g_asking) {
    g_refused = true;
    return 0;
  }
  return g_previousHandler != nullptr ? g_previousHandler(display, error) : 0;
}

// Up to `count` 32-bit items of a property of the given type; the number read.
unsigned long ReadProperty(Display* display, Window window, const char* name, Atom type, long* out,
                           unsigned long count) {
  Atom gotType = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom property = XInternAtom(display, name, False);
  if (XGetWindowProperty(display, window, property, 0, static_cast<long>(count), False, type, &gotType, &format,
                         &items, &after, &data) != Success ||
      g_refused || gotType != type || format != 32) {
    items = 0;
  }
  // Xlib hands 32-bit items back as longs.
  if (items > 0) std::memcpy(out, data, items * sizeof(long));
  if (data != nullptr) XFree(data);
  return items;
}

// A manager runs (its check window names itself, as a live one does) and says it tells
// a window's frame on request.
bool ManagerTellsFrames(Display* display) {
  const Window root = DefaultRootWindow(display);
  long check = 0, again = 0;
  if (ReadProperty(display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &check, 1) != 1 ||
      ReadProperty(display, static_cast<Window>(check), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &again, 1) != 1 ||
      again != check) {
    return false;
  }
  constexpr unsigned long kMost = 1024;
  long supported[kMost];
  const unsigned long count = ReadProperty(display, root, "_NET_SUPPORTED", XA_ATOM, supported, kMost);
  const Atom wanted = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
  for (unsigned long k = 0; k < count; ++k)
    if (static_cast<Atom>(supported[k]) == wanted) return true;
  return false;
}

bool ReadFrame(Display* display, Window window, WindowFrame* frame) {
  long sides[4] = {};
  if (ReadProperty(display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL, sides, 4) != 4) return false;
  for (long side : sides)
    if (side < 0 || side > 4096) return false;
  *frame = {static_cast<int>(sides[0]), static_cast<int>(sides[1]), static_cast<int>(sides[2]),
            static_cast<int>(sides[3])};
  return true;
}

// Asks the manager to set the frame on a window that is never mapped, and waits for it.
WindowFrame AskForFrame(Display* display) {
  WindowFrame frame;
  const Window root = DefaultRootWindow(display);
  XSetWindowAttributes attributes{};
  attributes.event_mask = PropertyChangeMask;
  const Window probe = XCreateWindow(display, root, 0, 0, 64, 48, 0, CopyFromParent, InputOutput, CopyFromParent,
                                     CWEventMask, &attributes);
  // A window of one fixed size, as the main window is: a manager leaves the grip to
  // resize by off such a window's frame.
  XSizeHints* hints = XAllocSizeHints();
  if (hints != nullptr) {
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = 64;
    hints->min_height = hints->max_height = 48;
    XSetWMNormalHints(display, probe, hints);
    XFree(hints);
  }
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = probe;
  request.xclient.message_type = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
  request.xclient.format = 32;
  XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
  while (!g_refused && !ReadFrame(display, probe, &frame)) {
    // An event that came in with the last reply may be the answer: read again first.
    if (XPending(display) > 0) {
      XEvent event;
      while (XPending(display) > 0) XNextEvent(display, &event);
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd wait{ConnectionNumber(display), POLLIN, 0};
    poll(&wait, 1, static_cast<int>(left.count()) + 1);
  }
  XDestroyWindow(display, probe);
  return frame;
}
}  // namespace

WindowFrame X11FrameOfNewWindows() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "x11") != 0) return {};
  // A connection of our own: SDL's reads events that are its to take.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return {};
  g_asking = display;
  g_refused = false;
  g_previousHandler = XSetErrorHandler(OnError);
  WindowFrame frame;
  if (ManagerTellsFrames(display)) frame = AskForFrame(display);
  XSync(display, False);
  XSetErrorHandler(g_previousHandler);
  g_asking = nullptr;
  XCloseDisplay(display);
  return g_refused ? WindowFrame{} : frame;
}

#else

WindowFrame X11FrameOfNewWindows() { return {}; }

#endif
