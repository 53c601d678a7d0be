#pragma once
// What the presenters must show of a 640 x 480 screen in a window of each size: the
// screen letterboxed, each pixel the nearest screen pixel widened, black bars.
#include <SDL.h>

#include <cstdint>

namespace letterbox {

constexpr int kW = 640, kH = 480;

struct Case {
  int w, h;
  SDL_Rect shown;
};

constexpr Case kCases[] = {
    {640, 480, {0, 0, 640, 480}},     // as made
    {1000, 600, {100, 0, 800, 600}},  // wider: bars left and right
    {300, 400, {0, 87, 300, 225}},    // narrower and smaller: bars above and below
    {1280, 960, {0, 0, 1280, 960}},   // twice the size: every pixel doubled
};

// The window pixel (x, y) without its top byte.
inline uint32_t Expected(const uint16_t* screen, const SDL_Rect& s, int x, int y) {
  if (x < s.x || x >= s.x + s.w || y < s.y || y >= s.y + s.h) return 0;
  const uint32_t v = screen[(y - s.y) * kH / s.h * kW + (x - s.x) * kW / s.w];
  const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

}  // namespace letterbox
