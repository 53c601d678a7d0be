// Extreme coordinates, scales and sizes: the primitives write nothing outside the
// destination view (its border is compared byte for byte), read nothing outside the
// source (the sanitizers watch), and refuse what they cannot draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "image/blend_tables.h"
#include "softrender/draw_state.h"
#include "softrender/lines.h"
#include "softrender/rotated_blit.h"
#include "softrender/triangle.h"
#include "tests/softrender/primitive_images.h"

namespace {

// True when every byte outside the view's pixels is as it was.
bool BorderUnchanged(GuardedImage& img, const std::vector<uint8_t>& before) {
  const int bpp = img.body.format->bytesPerPixel;
  for (size_t i = 0; i < img.bytes.size(); ++i) {
    const long offset = static_cast<long>(i) - static_cast<long>(img.origin);
    const long row = offset >= 0 ? offset / img.body.pitch : -1;
    const long col = offset >= 0 ? offset % img.body.pitch : -1;
    const bool inside = row >= 0 && row < img.view.height && col < img.view.width * bpp;
    if (!inside && img.bytes[i] != before[i]) return false;
  }
  return true;
}

constexpr int kFar = 1 << 20;

TEST(PrimitiveSafety, ExtremeGeometryWritesNothingOutsideTheView) {
  InitBlendTables();
  std::mt19937 rng(8);
  const int kCoords[] = {-kFar, kFar, -kFar - 7, kFar + 3, std::numeric_limits<int>::min(),
                         std::numeric_limits<int>::max(), -1, 0, 5, 40};
  const float kScales[] = {1e30f, -1e30f, 1e-30f, 4096.0f, 1e-6f, 3.0f, -0.001f};
  for (int depth = 0; depth < 2; ++depth)
    for (int n = 0; n < 400; ++n) {
      GuardedImage dst(33, 21, depth, false, false, rng);
      GuardedImage src(1 + rng() % 9, 1 + rng() % 9, depth, n % 3 == 0, n % 3 == 1, rng);
      GuardedImage blend(src.view.width, src.view.height, 0, true, false, rng);
      const std::vector<uint8_t> before = dst.bytes;
      DrawBlendMode = static_cast<int>(rng() % 12);
      DrawBlendParam = static_cast<int>(rng() % 256);
      DrawBright = static_cast<uint32_t>(rng());
      // Sometimes a draw area far larger than the destination.
      DrawArea = n % 2 ? Rect{-kFar, -kFar, kFar, kFar} : Rect{2, 3, 30, 19};
      auto coord = [&] {
        const int64_t c = int64_t{kCoords[rng() % 10]} + static_cast<int>(rng() % 5) - 2;
        return static_cast<int>(std::clamp<int64_t>(c, INT32_MIN, INT32_MAX));
      };
      const MEMIMG* b = n % 4 == 0 ? &blend.view : nullptr;
      SoftTriVertex v[3];
      for (auto& p : v) p = {coord(), coord(), coord(), coord()};
      SoftDrawTriangle(&dst.view, &src.view, v, 1, b, 0);
      SoftDrawTriangle(&dst.view, nullptr, v, 0, nullptr, static_cast<uint32_t>(rng()));
      const int corners[8] = {coord(), coord(), coord(), coord(), coord(), coord(), coord(), coord()};
      SoftDrawImageQuad(&dst.view, &src.view, corners, 0, b);
      SoftDrawImageRotated(&dst.view, &src.view, coord(), coord(), static_cast<float>(rng() % 1000) / 7.0f,
                           kScales[rng() % 7], n & 1, n % 5 == 0, b);
      SoftDrawLine(&dst.view, coord(), coord(), coord(), coord(), static_cast<uint32_t>(rng()));
      ASSERT_TRUE(BorderUnchanged(dst, before)) << "case " << n << " depth " << depth;
    }
}

TEST(PrimitiveSafety, RefusedCallsLeaveTheDestinationUntouched) {
  std::mt19937 rng(9);
  PlainCopyState({0, 0, 16, 16});
  GuardedImage dst(16, 16, 1, false, false, rng);
  GuardedImage src(4, 4, 1, false, false, rng);
  GuardedImage big(8192, 1, 1, false, false, rng);
  GuardedImage small(3, 4, 0, true, false, rng);
  GuardedImage other(4, 4, 0, false, false, rng);
  GuardedImage palettedDst(16, 16, 1, true, false, rng);
  GuardedImage alphaDst(16, 16, 1, false, true, rng);
  const std::vector<uint8_t> before = dst.bytes;
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (float bad : {nan, inf, -inf}) {
    SoftDrawImageRotated(&dst.view, &src.view, 8, 8, bad, 1.0f, 0, 0, nullptr);
    SoftDrawImageRotated(&dst.view, &src.view, 8, 8, 0.5f, bad, 0, 0, nullptr);
  }
  SoftDrawImageRotated(&dst.view, &src.view, 8, 8, 0.0f, 0.0f, 0, 0, nullptr);
  SoftDrawImageRotated(&dst.view, &big.view, 8, 8, 0.0f, 1.0f, 0, 0, nullptr);
  SoftDrawImageRotated(&dst.view, &src.view, 8, 8, 0.0f, 1.0f, 0, 0, &small.view);  // blend too small
  SoftDrawImageRotated(&dst.view, &other.view, 8, 8, 0.0f, 1.0f, 0, 0, nullptr);   // depths differ
  const SoftTriVertex v[3] = {{0, 0, 0, 0}, {15, 0, 4, 0}, {0, 15, 0, 4}};
  SoftDrawTriangle(&dst.view, &src.view, v, 0, &small.view, 0);
  SoftDrawTriangle(&dst.view, &other.view, v, 0, nullptr, 0);
  for (int mode : {5, 9, 12, -1}) {
    DrawBlendMode = mode;
    SoftDrawImageRotated(&dst.view, &src.view, 8, 8, 0.0f, 1.0f, 0, 0, nullptr);
    SoftDrawTriangle(&dst.view, &src.view, v, 0, nullptr, 0);
    SoftDrawTriangle(&dst.view, nullptr, v, 0, nullptr, 0x123456);
    SoftDrawLine(&dst.view, 0, 0, 15, 9, 0x123456);
  }
  DrawBlendMode = 1;
  DrawBlendParam = 0;
  SoftDrawImageRotated(&dst.view, &src.view, 8, 8, 0.0f, 1.0f, 0, 0, nullptr);
  SoftDrawLine(&dst.view, 0, 0, 15, 9, 0x123456);
  EXPECT_EQ(dst.bytes, before);

  // Lines, like the rectangle, refuse a paletted or alpha destination.
  DrawBlendMode = 0;
  DrawBlendParam = 255;
  for (GuardedImage* d : {&palettedDst, &alphaDst}) {
    const std::vector<uint8_t> was = d->bytes;
    SoftDrawLine(&d->view, 0, 0, 15, 9, 0x123456);
    SoftDrawImageRotated(&d->view, &src.view, 8, 8, 0.0f, 1.0f, 0, 0, nullptr);
    SoftDrawTriangle(&d->view, nullptr, v, 0, nullptr, 0x123456);
    EXPECT_EQ(d->bytes, was);
  }
}

TEST(PrimitiveSafety, TinyScaleStillDrawsTheCentreTexel) {
  // The box is a few pixels wide while the texel steps are huge: only the centre pixel
  // maps into the source.
  std::mt19937 rng(10);
  PlainCopyState({0, 0, 16, 16});
  GuardedImage dst(16, 16, 1, false, false, rng);
  GuardedImage src(4, 4, 1, false, false, rng);
  const std::vector<uint8_t> before = dst.bytes;
  SoftDrawImageRotated(&dst.view, &src.view, 8, 8, 0.0f, 1e-9f, 0, 0, nullptr);
  int changed = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (std::memcmp(dst.At(x, y), &before[dst.At(x, y) - dst.bytes.data()], 4) != 0) ++changed;
  EXPECT_EQ(0, std::memcmp(dst.At(8, 8), src.At(2, 2), 4));
  EXPECT_LE(changed, 1);
}

}  // namespace
