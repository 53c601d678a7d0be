#pragma once
// What the renderer tests share: the source kinds, modes and parameters they sweep, the
// random picks, and the pixel format of an image kind.
#include <cstdint>
#include <random>

#include "image/memimg.h"
#include "softrender/draw_state.h"

enum SourceKind { kDirect, kDirectAlpha, kPaletted, kSourceKinds };

// Modes drawn and refused, and the blend parameter's boundaries (-1: a random one).
inline const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
inline const int kParams[] = {0, 1, 127, 128, 254, 255, -1};

inline int Pick(std::mt19937& rng, int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

inline uint32_t RandomBright(std::mt19937& rng) {
  static const uint32_t kBrights[] = {0xFFFFFF, 0x12FFFFFF, 0xFEFFFF, 0x808080, 0x000000, 0xFF80FF};
  return Pick(rng, 7) == 6 ? static_cast<uint32_t>(rng()) : kBrights[Pick(rng, 6)];
}

// Sets the draw-state globals a primitive reads (the tables are left as they are).
inline void SetDrawState(int mode, int p, uint32_t bright, Rect area) {
  DrawBlendMode = mode;
  DrawBlendParam = p;
  DrawBright = bright;
  DrawArea = area;
}

inline const PixelFormat* FormatOf(int depth, bool paletted, bool alpha) {
  return paletted     ? &kPixelFormatPaletted8
         : depth == 1 ? (alpha ? &kPixelFormatArgb8888 : &kPixelFormatXrgb8888)
                      : (alpha ? &kPixelFormatRgb565Alpha : &kPixelFormatRgb565);
}
