#include "host/window/window.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "host/window/keymap.h"
#include "host/window/screen_expand.h"
#include "host/window/x11_frame.h"
#include "host/window/x11_presenter.h"

namespace {
struct WindowState {
  SDL_Window* window = nullptr;
  // With a hardware renderer the screen goes up as a texture and the renderer scales
  // it. Without one (the software renderer would convert and scale with a slow
  // general blit) the screen is widened and scaled straight into shared images of an X
  // display (x11_presenter.h), else into the window surface.
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  // 32-bit XRGB where the renderer takes it (the screen is widened straight into the
  // locked texture), otherwise RGB565 converted by SDL.
  Uint32 textureFormat = SDL_PIXELFORMAT_RGB565;
  // The real drawable size, read again after every size change (-1), and where the
  // screen lands in it, letterboxed; `shownFor` is the screen size that was placed.
  int outputWidth = -1;
  int outputHeight = -1;
  SDL_Rect shown = {};
  int shownFor[2] = {};
  uint8_t keys[256] = {};
  // Keys pressed since the last HostKeyboardState: a tap that is over before the next
  // look still shows as down once.
  uint8_t pressed[256] = {};
  std::string error;
};

WindowState g_state;
// The thread that made the window reads its events; none while there is no window.
std::atomic<std::thread::id> g_owner;
std::mutex g_queueMutex;
std::deque<HostMessage> g_queue;

void Fail(const char* what) {
  g_state.error = std::string(what) + ": " + SDL_GetError();
}

bool CreateTexture(int width, int height) {
  if (g_state.texture != nullptr && g_state.textureWidth == width &&
      g_state.textureHeight == height) {
    return true;
  }
  if (g_state.texture != nullptr) SDL_DestroyTexture(g_state.texture);
  g_state.texture = SDL_CreateTexture(g_state.renderer, g_state.textureFormat,
                                      SDL_TEXTUREACCESS_STREAMING, width, height);
  g_state.textureWidth = g_state.texture != nullptr ? width : 0;
  g_state.textureHeight = g_state.texture != nullptr ? height : 0;
  return g_state.texture != nullptr;
}

// A GL renderer that draws with the CPU (a display without a GPU, such as a virtual
// frame buffer): it would spend far more of the frame than widening the screen into the
// window surface does.
bool RendererDrawsOnTheCpu(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr) return false;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (getString == nullptr || SDL_GL_GetCurrentContext() == nullptr) return false;
  const unsigned char* name = getString(0x1F01);  // GL_RENDERER
  if (name == nullptr) return false;
  const std::string text(reinterpret_cast<const char*>(name));
  for (const char* cpu : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
    if (text.find(cpu) != std::string::npos) return true;
  return false;
}

bool IsXrgb(Uint32 format) { return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888; }

// The window's own format where the renderer takes it, then either 32-bit XRGB form.
void ChooseTextureFormat() {
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(g_state.renderer, &info);
  g_state.textureFormat = SDL_PIXELFORMAT_RGB565;
  for (Uint32 wanted : {SDL_GetWindowPixelFormat(g_state.window), static_cast<Uint32>(SDL_PIXELFORMAT_RGB888),
                        static_cast<Uint32>(SDL_PIXELFORMAT_ARGB8888)}) {
    for (Uint32 k = 0; k < info.num_texture_formats && IsXrgb(wanted); ++k) {
      if (info.texture_formats[k] == wanted) {
        g_state.textureFormat = wanted;
        return;
      }
    }
  }
}

// The largest rectangle of the screen's shape that fits the drawable, centred.
void PlaceScreen(int outW, int outH, int width, int height) {
  if (outW <= 0 || outH <= 0) outW = width, outH = height;
  g_state.outputWidth = outW;
  g_state.outputHeight = outH;
  const int64_t ow = outW, oh = outH;
  int64_t w = ow, h = ow * height / width;
  if (h > oh) h = oh, w = oh * width / height;
  g_state.shown = {static_cast<int>((ow - w) / 2), static_cast<int>((oh - h) / 2), static_cast<int>(w),
                   static_cast<int>(h)};
  g_state.shownFor[0] = width;
  g_state.shownFor[1] = height;
}

bool NeedsPlacing(int width, int height) {
  return g_state.outputWidth < 0 || g_state.shownFor[0] != width || g_state.shownFor[1] != height;
}

// The bars beside a letterboxed screen; the screen itself covers the rest.
int Bars(SDL_Rect bars[2]) {
  const SDL_Rect& s = g_state.shown;
  const int ow = g_state.outputWidth, oh = g_state.outputHeight;
  if (s.x > 0) {
    bars[0] = {0, 0, s.x, oh};
    bars[1] = {s.x + s.w, 0, ow - s.x - s.w, oh};
    return 2;
  }
  if (s.y > 0) {
    bars[0] = {0, 0, ow, s.y};
    bars[1] = {0, s.y + s.h, ow, oh - s.y - s.h};
    return 2;
  }
  return 0;
}

int PresentThroughRenderer(const uint8_t* in, int pitchBytes, int width, int height) {
  if (NeedsPlacing(width, height)) {
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(g_state.renderer, &outW, &outH);
    PlaceScreen(outW, outH, width, height);
  }
  if (!CreateTexture(width, height)) {
    Fail("SDL_CreateTexture");
    return -1;
  }
  void* locked = nullptr;
  int lockedPitch = 0;
  if (SDL_LockTexture(g_state.texture, nullptr, &locked, &lockedPitch) != 0) {
    Fail("SDL_LockTexture");
    return -1;
  }
  auto* out = static_cast<uint8_t*>(locked);
  if (g_state.textureFormat == SDL_PIXELFORMAT_RGB565) {
    for (int y = 0; y < height; ++y)
      std::memcpy(out + static_cast<ptrdiff_t>(y) * lockedPitch, in + static_cast<ptrdiff_t>(y) * pitchBytes,
                  static_cast<size_t>(width) * 2);
  } else {
    ExpandRgb565Scaled(in, pitchBytes, width, height, out, lockedPitch, width, height);
  }
  SDL_UnlockTexture(g_state.texture);
  SDL_Rect bars[2];
  const int barCount = Bars(bars);
  if ((barCount > 0 && (SDL_SetRenderDrawColor(g_state.renderer, 0, 0, 0, 255) != 0 ||
                        SDL_RenderFillRects(g_state.renderer, bars, barCount) != 0)) ||
      SDL_RenderCopy(g_state.renderer, g_state.texture, nullptr, &g_state.shown) != 0) {
    Fail("present");
    return -1;
  }
  SDL_RenderPresent(g_state.renderer);
  return 0;
}

int PresentThroughX11(const uint8_t* in, int pitchBytes, int width, int height) {
  if (NeedsPlacing(width, height)) {
    int outW = 0, outH = 0;
    SDL_GetWindowSize(g_state.window, &outW, &outH);
    PlaceScreen(outW, outH, width, height);
  }
  SDL_Rect bars[2];
  const int barCount = Bars(bars);
  return X11PresenterShow(in, pitchBytes, width, height, g_state.shown, bars, barCount);
}

int PresentThroughSurface(const uint8_t* in, int pitchBytes, int width, int height) {
  // SDL remakes the surface after a size change and hands back the same one otherwise.
  SDL_Surface* surface = SDL_GetWindowSurface(g_state.window);
  if (surface == nullptr || !IsXrgb(surface->format->format)) {
    Fail("SDL_GetWindowSurface");
    return -1;
  }
  if (NeedsPlacing(width, height) || surface->w != g_state.outputWidth || surface->h != g_state.outputHeight)
    PlaceScreen(surface->w, surface->h, width, height);
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
    Fail("SDL_LockSurface");
    return -1;
  }
  const SDL_Rect& s = g_state.shown;
  ExpandRgb565Scaled(in, pitchBytes, width, height,
                     static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(s.y) * surface->pitch + s.x * 4,
                     surface->pitch, s.w, s.h);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_Rect bars[2];
  const int barCount = Bars(bars);
  if (barCount > 0) SDL_FillRects(surface, bars, barCount, 0);
  if (SDL_UpdateWindowSurface(g_state.window) != 0) {
    Fail("SDL_UpdateWindowSurface");
    return -1;
  }
  return 0;
}

void Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      HostPostMessage(kMsgClose, 0, 0);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        HostPostMessage(kMsgClose, 0, 0);
      } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        g_state.outputWidth = -1;
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        HostPostMessage(kMsgActivateApp, 1, 0);
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        // Keys released while away would otherwise stay down.
        std::memset(g_state.keys, 0, sizeof g_state.keys);
        std::memset(g_state.pressed, 0, sizeof g_state.pressed);
        HostPostMessage(kMsgActivateApp, 0, 0);
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (uint8_t code = DirectInputCodeOf(event.key.keysym.scancode)) {
        g_state.keys[code] = event.type == SDL_KEYDOWN ? 0x80 : 0;
        if (event.type == SDL_KEYDOWN) g_state.pressed[code] = 0x80;
      }
      break;
    default:
      break;
  }
}

// Where a window's inside goes on the display's usable part, `frame` round it: centred
// with its frame where both fit, and where they do not, from the top-left, so that the
// whole picture, or at least its top-left, is seen.
SDL_Point InsideCorner(const SDL_Rect& usable, const WindowFrame& frame, int width, int height) {
  const int framedW = width + frame.left + frame.right, framedH = height + frame.top + frame.bottom;
  return {framedW <= usable.w ? usable.x + (usable.w - framedW) / 2 + frame.left : usable.x,
          framedH <= usable.h ? usable.y + (usable.h - framedH) / 2 + frame.top : usable.y};
}

// A display query keeps the video subsystem, and so its display connection, until the
// window that follows has its own: a virtual X server whose last client leaves resets,
// and refuses connections while it does.
bool g_videoHeldForWindow = false;

void ReleaseVideoHold() {
  if (!g_videoHeldForWindow) return;
  g_videoHeldForWindow = false;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
}  // namespace

uintptr_t HostCreateWindow(const char* title, int width, int height, bool windowed) {
  if (g_state.window != nullptr) return reinterpret_cast<uintptr_t>(g_state.window);
  const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
  ReleaseVideoHold();
  if (started != 0) {
    Fail("SDL_InitSubSystem");
    return 0;
  }
  Uint32 flags = windowed ? 0u : static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP);
  // A full-screen window starts at the desktop's size: without a window manager nothing
  // else would make it that large, while SDL would report it so.
  SDL_DisplayMode desktop{};
  if (!windowed && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
    width = desktop.w;
    height = desktop.h;
  }
  // A manager takes a new window's position as its frame's, and honours it even with
  // the frame partly off the display; a move asked for once the window is shown it may
  // clamp or take otherwise. So the frame is asked for first and the window opened in
  // its place.
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  SDL_Rect usable{};
  if (windowed && SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
    const WindowFrame frame = X11FrameOfNewWindows();
    const SDL_Point inside = InsideCorner(usable, frame, width, height);
    x = inside.x - frame.left;
    y = inside.y - frame.top;
  }
  g_state.window = SDL_CreateWindow(title != nullptr ? title : "", x, y, width, height, flags);
  if (g_state.window == nullptr) {
    Fail("SDL_CreateWindow");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
  }
  g_state.renderer = SDL_CreateRenderer(g_state.window, -1, SDL_RENDERER_ACCELERATED);
  if (g_state.renderer != nullptr && RendererDrawsOnTheCpu(g_state.renderer)) {
    SDL_DestroyRenderer(g_state.renderer);
    g_state.renderer = nullptr;
    // The window surface straight, not through another GL texture of the same kind.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  if (g_state.renderer != nullptr) {
    ChooseTextureFormat();
  } else if (!X11PresenterStart(g_state.window)) {
    SDL_Surface* surface = SDL_GetWindowSurface(g_state.window);
    if (surface == nullptr || !IsXrgb(surface->format->format)) {
      // An unusual window format: the software renderer converts it.
      g_state.renderer = SDL_CreateRenderer(g_state.window, -1, 0);
      if (g_state.renderer == nullptr) {
        Fail("SDL_CreateRenderer");
        HostDestroyWindow();
        return 0;
      }
      ChooseTextureFormat();
    }
  }
  g_state.outputWidth = -1;
  std::memset(g_state.keys, 0, sizeof g_state.keys);
  g_owner.store(std::this_thread::get_id());
  return reinterpret_cast<uintptr_t>(g_state.window);
}

bool HostDisplayUsableSize(int* width, int* height) {
  if (!g_videoHeldForWindow) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      Fail("SDL_InitSubSystem");
      return false;
    }
    g_videoHeldForWindow = true;
  }
  SDL_Rect usable{};
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) {
    Fail("SDL_GetDisplayUsableBounds");
    ReleaseVideoHold();
    return false;
  }
  // The window's inside is what the size is chosen for: the frame a manager adds takes
  // its room first.
  const WindowFrame frame = X11FrameOfNewWindows();
  *width = std::max(1, usable.w - frame.left - frame.right);
  *height = std::max(1, usable.h - frame.top - frame.bottom);
  return true;
}

void HostDestroyWindow() {
  ReleaseVideoHold();
  if (g_state.window == nullptr) return;
  X11PresenterStop();
  if (g_state.texture != nullptr) SDL_DestroyTexture(g_state.texture);
  if (g_state.renderer != nullptr) SDL_DestroyRenderer(g_state.renderer);
  SDL_DestroyWindow(g_state.window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_owner.store(std::thread::id());
  g_state.texture = nullptr;
  g_state.renderer = nullptr;
  g_state.window = nullptr;
  g_state.textureWidth = g_state.textureHeight = 0;
  g_state.outputWidth = g_state.outputHeight = -1;
  g_state.shownFor[0] = g_state.shownFor[1] = 0;
  std::memset(g_state.keys, 0, sizeof g_state.keys);
}

uintptr_t HostMainWindow() { return reinterpret_cast<uintptr_t>(g_state.window); }

const char* HostWindowError() { return g_state.error.c_str(); }

void HostSetWindowTitle(const char* title) {
  if (g_state.window != nullptr && title != nullptr) SDL_SetWindowTitle(g_state.window, title);
}

void HostPostMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_queue.push_back({message, wParam, lParam});
}

bool HostPeekMessage(HostMessage* out) {
  // Another thread that pumps (a wait inside the sound layer) only takes posted messages.
  if (std::this_thread::get_id() == g_owner.load() && g_state.window != nullptr) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) Translate(event);
  }
  std::lock_guard<std::mutex> lock(g_queueMutex);
  if (g_queue.empty()) return false;
  *out = g_queue.front();
  g_queue.pop_front();
  return true;
}

void HostKeyboardState(uint8_t keys[256]) {
  for (int code = 0; code < 256; ++code) keys[code] = g_state.keys[code] | g_state.pressed[code];
  std::memset(g_state.pressed, 0, sizeof g_state.pressed);
}

int HostPresent(const uint16_t* pixels, int pitchBytes, int width, int height) {
  if (g_state.window == nullptr || pixels == nullptr || width <= 0 || height <= 0) return -1;
  const auto* in = reinterpret_cast<const uint8_t*>(pixels);
  if (X11PresenterActive()) {
    if (PresentThroughX11(in, pitchBytes, width, height) == 0) return 0;
    // The display refused the shared images: the window surface from here on.
    X11PresenterStop();
    g_state.outputWidth = -1;
  }
  return g_state.renderer != nullptr ? PresentThroughRenderer(in, pitchBytes, width, height)
                                     : PresentThroughSurface(in, pitchBytes, width, height);
}
