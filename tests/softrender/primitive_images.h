#pragma once
// Images for the primitive tests: a MEMIMG view inside a larger body whose border rows
// and columns act as guard pixels, and the model's copy of the same bytes, so that a
// test compares every byte of the body, border included.
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "image/blend_tables.h"
#include "image/memimg.h"
#include "softrender/draw_state.h"
#include "tests/softrender/primitive_model.h"
#include "tests/softrender/test_support.h"

struct GuardedImage {
  static constexpr int kBorder = 6;
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> palette32 = std::vector<uint32_t>(256);
  std::vector<uint16_t> palette16 = std::vector<uint16_t>(256);
  MemImageBody body{};
  MEMIMG view{};
  size_t origin = 0;

  GuardedImage(int width, int height, int depth, bool paletted, bool alpha, std::mt19937& rng) {
    const PixelFormat* f = FormatOf(depth, paletted, alpha);
    const int bpp = f->bytesPerPixel;
    body.format = f;
    body.pitch = (width + 2 * kBorder) * bpp + static_cast<int>(rng() % 3);
    body.depthClass = depth;
    body.paletted = paletted ? 1 : 0;
    body.paletteCount = paletted ? 256 : 0;
    body.alpha = alpha ? 1 : 0;
    bytes.resize(static_cast<size_t>(body.pitch) * (height + 2 * kBorder));
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    for (auto& e : palette32) e = static_cast<uint32_t>(rng());
    for (auto& e : palette16) e = static_cast<uint16_t>(rng());
    body.palette = depth == 1 ? static_cast<void*>(palette32.data()) : palette16.data();
    origin = static_cast<size_t>(kBorder) * body.pitch + kBorder * bpp;
    view.width = width;
    view.height = height;
    view.body = &body;
    Repoint();
  }
  GuardedImage(const GuardedImage&) = delete;

  void Repoint() {
    body.pixels = bytes.data();
    view.pixels = bytes.data() + origin;
  }
  uint8_t* At(int x, int y) { return view.pixels + static_cast<intptr_t>(y) * body.pitch + x * body.format->bytesPerPixel; }

  model::Image Model() const {
    model::Image m;
    m.width = view.width;
    m.height = view.height;
    m.depth = body.depthClass;
    m.paletted = body.paletted == 1;
    m.alpha = body.alpha == 1;
    m.pitch = body.pitch;
    m.origin = origin;
    m.bytes = bytes;
    m.transColor = body.transColor;
    m.paletteCount = body.paletteCount;
    m.palette.resize(256);
    for (int i = 0; i < 256; ++i) m.palette[i] = body.depthClass == 1 ? palette32[i] : palette16[i];
    return m;
  }
};

// A plain copy without tint, clipped to `area`; the tables built.
inline void PlainCopyState(Rect area) {
  InitBlendTables();
  SetDrawState(0, 255, 0xFFFFFF, area);
}
