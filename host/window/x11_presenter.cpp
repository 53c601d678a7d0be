#include "host/window/x11_presenter.h"

#include <SDL_syswm.h>

#if defined(HOST_WINDOW_X11) && defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstddef>

#include "host/window/screen_expand.h"

namespace {
// Three: while the server copies one image and another waits in its queue, the third
// is written, and its pixels were last read two images ago, gone from the server's cache.
constexpr int kImages = 3;

struct Image {
  XShmSegmentInfo segment{};
  XImage* image = nullptr;
  bool sent = false;  // put, and its completion not yet seen
};

struct Presenter {
  Display* display = nullptr;
  Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  int completionType = 0;
  Image images[kImages];
  int width = 0;
  int height = 0;
  int next = 0;
  // An error the server sent for one of our requests.
  bool failed = false;
  // Seconds that widening an image took lately with plain stores (0) and with stores
  // around the cache (1); 0 before the first try.
  double storeCost[2] = {};
  int flips = 0;
};

Presenter g_p;
XErrorHandler g_previousHandler = nullptr;

// The handler is the process's: errors of other connections go on to the one before.
int OnError(Display* display, XErrorEvent* error) {
  if (display == g_p.display) {
    g_p.failed = true;
    return 0;
  }
  return g_previousHandler != nullptr ? g_previousHandler(display, error) : 0;
}

bool HostIsLittleEndian() {
  const uint32_t one = 1;
  return *reinterpret_cast<const uint8_t*>(&one) == 1;
}

// 32-bit pixels with blue in the low byte, as the screen is widened. A window that SDL
// made for GL may have a DirectColor visual: SDL gives it a colour map of straight ramps.
bool IsXrgb(const Visual* visual, int depth) {
  return visual != nullptr && (visual->c_class == TrueColor || visual->c_class == DirectColor) &&
         (depth == 24 || depth == 32) &&
         visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
}

void Release(Image& m) {
  if (m.image == nullptr) return;
  XShmDetach(g_p.display, &m.segment);
  shmdt(m.segment.shmaddr);
  // Only the header is Xlib's: the pixels are the shared segment, the segment info ours.
  XFree(m.image);
  m = Image{};
}

bool Allocate(Image& m, int width, int height) {
  m.image = XShmCreateImage(g_p.display, g_p.visual, static_cast<unsigned>(g_p.depth), ZPixmap, nullptr,
                            &m.segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (m.image == nullptr) return false;
  if (m.image->bits_per_pixel != 32 || m.image->byte_order != (HostIsLittleEndian() ? LSBFirst : MSBFirst)) {
    XFree(m.image);
    m = Image{};
    return false;
  }
  m.segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(m.image->bytes_per_line) * height, IPC_CREAT | 0600);
  m.segment.shmaddr = m.segment.shmid >= 0 ? static_cast<char*>(shmat(m.segment.shmid, nullptr, 0))
                                           : reinterpret_cast<char*>(-1);
  if (m.segment.shmaddr == reinterpret_cast<char*>(-1)) {
    if (m.segment.shmid >= 0) shmctl(m.segment.shmid, IPC_RMID, nullptr);
    XFree(m.image);
    m = Image{};
    return false;
  }
  m.image->data = m.segment.shmaddr;
  m.segment.readOnly = True;
  // A server on another machine cannot attach: that error comes back only after a sync.
  g_p.failed = false;
  const bool attached = XShmAttach(g_p.display, &m.segment) && XSync(g_p.display, False) && !g_p.failed;
  // Freed once both sides have let go of it, however the process ends.
  shmctl(m.segment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(m.segment.shmaddr);
    XFree(m.image);
    m = Image{};
    g_p.failed = false;
  }
  return attached;
}

// One read of the connection, then the queued events taken without another: only
// completions come on it, as it asks for no window events.
void TakeCompletions() {
  for (int queued = XEventsQueued(g_p.display, QueuedAfterReading); queued > 0; --queued) {
    XEvent event;
    XNextEvent(g_p.display, &event);
    if (event.type != g_p.completionType) continue;
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
    for (Image& m : g_p.images)
      if (m.image != nullptr && m.segment.shmseg == done.shmseg) m.sent = false;
  }
}

void WaitUntilTaken(Image& m) {
  TakeCompletions();
  if (!m.sent) return;
  // After the sync every completion is queued; a put that failed sends none.
  XSync(g_p.display, False);
  TakeCompletions();
  m.sent = false;
}

// Plain stores find the image's lines in our cache, or in one we share with the server's
// core, and are the cheaper while they do. When the server runs on a core that shares no
// cache with ours, each line it last read must be taken back from there before it is
// overwritten, which has cost up to ten times as much; stores around the cache cost about
// twice the plain ones wherever the server runs. Which way wins changes as the scheduler
// moves either process, so the other way is tried now and then. A scaled screen is
// widened with plain stores only.
constexpr int kRetryEvery = 32;

int ChooseStores() {
  if (!ExpandKernelRuns(ExpandKernel::kAvx2Streaming)) return 0;
  for (int way : {0, 1})
    if (g_p.storeCost[way] == 0) return way;
  const int best = g_p.storeCost[1] < g_p.storeCost[0] ? 1 : 0;
  return ++g_p.flips % kRetryEvery == 0 ? 1 - best : best;
}

void WidenUnscaled(const uint8_t* in, int pitchBytes, int width, int height, Image& m) {
  const int way = ChooseStores();
  const auto start = std::chrono::steady_clock::now();
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(in + static_cast<ptrdiff_t>(y) * pitchBytes);
    auto* out = reinterpret_cast<uint32_t*>(m.image->data + static_cast<ptrdiff_t>(y) * m.image->bytes_per_line);
    if (way == 0)
      ExpandRgb565Row(row, out, width);
    else
      ExpandRgb565RowWith(ExpandKernel::kAvx2Streaming, row, out, width);
  }
  if (way == 1) ExpandStreamFence();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double& cost = g_p.storeCost[way];
  cost = cost == 0 ? seconds : (cost + seconds) / 2;
}

bool Resize(int width, int height) {
  X11PresenterFinish();
  for (Image& m : g_p.images) Release(m);
  g_p.width = g_p.height = 0;
  for (Image& m : g_p.images)
    if (!Allocate(m, width, height)) return false;
  g_p.width = width;
  g_p.height = height;
  return true;
}
}  // namespace

bool X11PresenterStart(SDL_Window* window) {
  if (g_p.display != nullptr) return true;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  Display* display = XOpenDisplay(XDisplayString(info.info.x11.display));
  if (display == nullptr) return false;
  XWindowAttributes attributes{};
  if (!XShmQueryExtension(display) || !XGetWindowAttributes(display, info.info.x11.window, &attributes) ||
      !IsXrgb(attributes.visual, attributes.depth)) {
    XCloseDisplay(display);
    return false;
  }
  g_p.display = display;
  g_p.window = info.info.x11.window;
  g_p.visual = attributes.visual;
  g_p.depth = attributes.depth;
  g_p.gc = XCreateGC(display, g_p.window, 0, nullptr);
  XSetForeground(display, g_p.gc, 0);
  g_p.completionType = XShmGetEventBase(display) + ShmCompletion;
  g_previousHandler = XSetErrorHandler(OnError);
  // Shared memory works only with a server on this machine: tried once here.
  if (!Resize(1, 1)) {
    X11PresenterStop();
    return false;
  }
  return true;
}

void X11PresenterStop() {
  if (g_p.display == nullptr) return;
  X11PresenterFinish();
  for (Image& m : g_p.images) Release(m);
  XFreeGC(g_p.display, g_p.gc);
  XCloseDisplay(g_p.display);
  XSetErrorHandler(g_previousHandler);
  g_previousHandler = nullptr;
  g_p = Presenter{};
}

bool X11PresenterActive() { return g_p.display != nullptr; }

int X11PresenterShow(const uint8_t* in, int pitchBytes, int width, int height, const SDL_Rect& shown,
                     const SDL_Rect* bars, int barCount) {
  if (g_p.display == nullptr || g_p.failed || shown.w <= 0 || shown.h <= 0) return -1;
  if ((shown.w != g_p.width || shown.h != g_p.height) && !Resize(shown.w, shown.h)) return -1;
  Image& m = g_p.images[g_p.next];
  if (m.sent) WaitUntilTaken(m);
  if (shown.w == width && shown.h == height)
    WidenUnscaled(in, pitchBytes, width, height, m);
  else
    ExpandRgb565Scaled(in, pitchBytes, width, height, reinterpret_cast<uint8_t*>(m.image->data),
                       m.image->bytes_per_line, shown.w, shown.h);
  XRectangle rects[2];
  const int rectCount = barCount < 2 ? barCount : 2;
  for (int i = 0; i < rectCount; ++i)
    rects[i] = {static_cast<short>(bars[i].x), static_cast<short>(bars[i].y), static_cast<unsigned short>(bars[i].w),
                static_cast<unsigned short>(bars[i].h)};
  if (rectCount > 0) XFillRectangles(g_p.display, g_p.window, g_p.gc, rects, rectCount);
  XShmPutImage(g_p.display, g_p.window, g_p.gc, m.image, 0, 0, shown.x, shown.y, static_cast<unsigned>(shown.w),
               static_cast<unsigned>(shown.h), True);
  m.sent = true;
  g_p.next = (g_p.next + 1) % kImages;
  XFlush(g_p.display);
  return g_p.failed ? -1 : 0;
}

void X11PresenterFinish() {
  if (g_p.display == nullptr) return;
  XSync(g_p.display, False);
  TakeCompletions();
  for (Image& m : g_p.images) m.sent = false;
}

#else

bool X11PresenterStart(SDL_Window*) { return false; }
void X11PresenterStop() {}
bool X11PresenterActive() { return false; }
int X11PresenterShow(const uint8_t*, int, int, int, const SDL_Rect&, const SDL_Rect*, int) { return -1; }
void X11PresenterFinish() {}

#endif
