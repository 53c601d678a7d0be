#include "host/window/window.h"

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "host/window/keymap.h"

namespace {
struct WindowState {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  uint8_t keys[256] = {};
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
  g_state.texture = SDL_CreateTexture(g_state.renderer, SDL_PIXELFORMAT_RGB565,
                                      SDL_TEXTUREACCESS_STREAMING, width, height);
  // Letterboxed rather than stretched on a full screen of another shape.
  SDL_RenderSetLogicalSize(g_state.renderer, width, height);
  g_state.textureWidth = g_state.texture != nullptr ? width : 0;
  g_state.textureHeight = g_state.texture != nullptr ? height : 0;
  return g_state.texture != nullptr;
}

void Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      HostPostMessage(kMsgClose, 0, 0);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        HostPostMessage(kMsgClose, 0, 0);
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        HostPostMessage(kMsgActivateApp, 1, 0);
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        // Keys released while away would otherwise stay down.
        std::memset(g_state.keys, 0, sizeof g_state.keys);
        HostPostMessage(kMsgActivateApp, 0, 0);
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (uint8_t code = DirectInputCodeOf(event.key.keysym.scancode)) {
        g_state.keys[code] = event.type == SDL_KEYDOWN ? 0x80 : 0;
      }
      break;
    default:
      break;
  }
}
}  // namespace

uintptr_t HostCreateWindow(const char* title, int width, int height, bool windowed) {
  if (g_state.window != nullptr) return reinterpret_cast<uintptr_t>(g_state.window);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    Fail("SDL_InitSubSystem");
    return 0;
  }
  Uint32 flags = windowed ? 0u : static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP);
  g_state.window = SDL_CreateWindow(title != nullptr ? title : "", SDL_WINDOWPOS_CENTERED,
                                    SDL_WINDOWPOS_CENTERED, width, height, flags);
  if (g_state.window == nullptr) {
    Fail("SDL_CreateWindow");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
  }
  g_state.renderer = SDL_CreateRenderer(g_state.window, -1, 0);
  if (g_state.renderer == nullptr) {
    Fail("SDL_CreateRenderer");
    HostDestroyWindow();
    return 0;
  }
  std::memset(g_state.keys, 0, sizeof g_state.keys);
  g_owner.store(std::this_thread::get_id());
  return reinterpret_cast<uintptr_t>(g_state.window);
}

void HostDestroyWindow() {
  if (g_state.window == nullptr) return;
  if (g_state.texture != nullptr) SDL_DestroyTexture(g_state.texture);
  if (g_state.renderer != nullptr) SDL_DestroyRenderer(g_state.renderer);
  SDL_DestroyWindow(g_state.window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_owner.store(std::thread::id());
  g_state.texture = nullptr;
  g_state.renderer = nullptr;
  g_state.window = nullptr;
  g_state.textureWidth = g_state.textureHeight = 0;
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

void HostKeyboardState(uint8_t keys[256]) { std::memcpy(keys, g_state.keys, 256); }

int HostPresent(const uint16_t* pixels, int pitchBytes, int width, int height) {
  if (g_state.renderer == nullptr || pixels == nullptr || width <= 0 || height <= 0) return -1;
  if (!CreateTexture(width, height)) {
    Fail("SDL_CreateTexture");
    return -1;
  }
  if (SDL_UpdateTexture(g_state.texture, nullptr, pixels, pitchBytes) != 0 ||
      SDL_RenderClear(g_state.renderer) != 0 ||
      SDL_RenderCopy(g_state.renderer, g_state.texture, nullptr, nullptr) != 0) {
    Fail("present");
    return -1;
  }
  SDL_RenderPresent(g_state.renderer);
  return 0;
}
