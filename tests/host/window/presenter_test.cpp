// The presenter letterboxes the screen into the window's real size, taken again after
// every size change: each shown pixel is the nearest screen pixel, the bars are black.
#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "host/window/window.h"

namespace {

uint32_t Widened(uint16_t v) {
  const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

TEST(Presenter, LetterboxesIntoTheWindowAfterEveryResize) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  ASSERT_NE(HostCreateWindow("presenter", 640, 480, true), 0u) << HostWindowError();
  auto* window = reinterpret_cast<SDL_Window*>(HostMainWindow());
  constexpr int kW = 640, kH = 480;
  std::vector<uint16_t> screen(kW * kH);
  for (int i = 0; i < kW * kH; ++i) screen[i] = static_cast<uint16_t>((i * 2654435761u) >> 13);

  const struct {
    int w, h;
    SDL_Rect shown;
  } cases[] = {
      {640, 480, {0, 0, 640, 480}},      // as made
      {1000, 600, {100, 0, 800, 600}},   // wider: bars left and right
      {300, 400, {0, 87, 300, 225}},     // narrower and smaller: bars above and below
      {1280, 960, {0, 0, 1280, 960}},    // twice the size: every pixel doubled
  };
  for (const auto& c : cases) {
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
        const SDL_Rect& s = c.shown;
        const bool inside = x >= s.x && x < s.x + s.w && y >= s.y && y < s.y + s.h;
        const uint32_t want =
            inside ? Widened(screen[(y - s.y) * kH / s.h * kW + (x - s.x) * kW / s.w]) : 0;
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
