// The presenter letterboxes the screen into the window's real size, taken again after
// every size change: each shown pixel is the nearest screen pixel, the bars are black.
#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "host/window/window.h"
#include "tests/host/window/letterbox.h"

namespace {
using letterbox::kH;
using letterbox::kW;

TEST(Presenter, LetterboxesIntoTheWindowAfterEveryResize) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  ASSERT_NE(HostCreateWindow("presenter", 640, 480, true), 0u) << HostWindowError();
  auto* window = reinterpret_cast<SDL_Window*>(HostMainWindow());
  std::vector<uint16_t> screen(kW * kH);
  for (int i = 0; i < kW * kH; ++i) screen[i] = static_cast<uint16_t>((i * 2654435761u) >> 13);
  for (const auto& c : letterbox::kCases) {
    SDL_SetWindowSize(window, c.w, c.h);
    HostMessage message;
    while (HostPeekMessage(&message)) {
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->w, c.w);
    std::memset(surface->pixels, 0x55, static_cast<size_t>(surface->pitch) * surface->h);
    ASSERT_EQ(HostPresent(screen.data(), kW * 2, kW, kH), 0) << HostWindowError();
    int wrong = 0;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const uint32_t want = letterbox::Expected(screen.data(), c.shown, x, y);
        uint32_t got;
        std::memcpy(&got, static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, 4);
        if ((got & 0xFFFFFF) != want && wrong++ == 0)
          ADD_FAILURE() << c.w << "x" << c.h << ": pixel (" << x << ", " << y << ") " << std::hex << got
                        << ", want " << want;
      }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
  }
  HostDestroyWindow();
}

}  // namespace
