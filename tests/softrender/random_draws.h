#pragma once
// Random draw states and images for comparing the renderer with the reference model.
#include <random>
#include <string>

#include "image/blend_tables.h"
#include "softrender/draw_state.h"
#include "tests/softrender/reference_model.h"
#include "tests/softrender/test_image.h"
#include "tests/softrender/test_support.h"

// Fills a source with the values the rules single out: alpha 0, 1, 128, 254, 255, the
// transparent colour, palette indexes past the palette's entries.
inline void FillSource(TestImage& t, int kind, std::mt19937& rng) {
  MemImageBody& b = t.body;
  const int bpp = b.format->bytesPerPixel;
  uint8_t keyBytes[4];
  for (auto& k : keyBytes) k = static_cast<uint8_t>(rng());
  if (kind == kPaletted) {
    b.paletteCount = Pick(rng, 3) == 0 ? 1 + Pick(rng, 256) : 256;
    b.transColor = Pick(rng, 4) == 0 ? 300 : static_cast<uint32_t>(Pick(rng, 256));
  } else {
    uint32_t key = 0;
    for (int i = 0; i < (b.depthClass == 1 ? 4 : 2); ++i) key |= uint32_t{keyBytes[i]} << (8 * i);
    b.transColor = key;
  }
  static const int kAlphas[] = {0, 255, 1, 254, 128, 127, -1};
  const bool longRuns = Pick(rng, 2) == 0;  // opaque runs of 10 pixels, as sprites have
  for (int y = 0; y < t.image.height; ++y) {
    for (int x = 0; x < t.image.width; ++x) {
      uint8_t* p = t.Pixel(x, y);
      if (kind == kPaletted) {
        if (Pick(rng, 4) == 0) *p = static_cast<uint8_t>(b.transColor);
        continue;
      }
      if (kind == kDirect && Pick(rng, 4) == 0) {
        std::memcpy(p, keyBytes, bpp);
        if (bpp == 4 && Pick(rng, 4) == 0) p[3] ^= 1;  // differs only in the fourth byte
      }
      if (kind == kDirectAlpha) {
        const int a = longRuns && (x / 10) % 2 == 0 ? 255 : kAlphas[Pick(rng, 7)];
        p[b.depthClass == 1 ? 3 : 2] = static_cast<uint8_t>(a < 0 ? rng() : a);
      }
    }
  }
}

// Sets the globals from a model state with a random weight table and draw area.
inline ref::State RandomState(std::mt19937& rng, int mode, int param, const MEMIMG& dst) {
  ref::State st;
  st.mode = mode;
  st.p = param < 0 ? Pick(rng, 256) : param;
  st.bright = RandomBright(rng);
  switch (Pick(rng, 8)) {
    case 0: case 4: case 5: case 6: st.area = {0, 0, dst.width, dst.height}; break;
    case 1: st.area = {-7, -9, dst.width + 11, dst.height + 13}; break;  // larger than dst
    case 2: st.area = {Pick(rng, 10), Pick(rng, 10), 10 + Pick(rng, 40), 10 + Pick(rng, 30)}; break;
    default: st.area = {Pick(rng, 30), Pick(rng, 30), Pick(rng, 30), Pick(rng, 30)}; break;
  }
  st.weight.resize(256);
  for (int i = 0; i < 256; ++i) st.weight[i] = static_cast<uint8_t>(i < 2 ? i * 255 : rng());
  for (int i = 0; i < 256; ++i) BlendImageWeightTable[i] = st.weight[i];
  SetDrawState(st.mode, st.p, st.bright, st.area);
  return st;
}

inline std::string Describe(int depth, int kind, const ref::State& st, int trans, bool blend) {
  return "depth " + std::to_string(depth) + " kind " + std::to_string(kind) + " mode " +
         std::to_string(st.mode) + " p " + std::to_string(st.p) + " bright " +
         std::to_string(st.bright) + " trans " + std::to_string(trans) + " blend " +
         std::to_string(blend) + " area " + std::to_string(st.area.left) + "," +
         std::to_string(st.area.top) + "," + std::to_string(st.area.right) + "," +
         std::to_string(st.area.bottom);
}
