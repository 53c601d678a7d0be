// The flat triangle and lines against the naive model, plus the coverage rules the model
// cannot check by itself: no gap between triangles that share an edge and draws cut by the draw area.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include "image/blend_tables.h"
#include "softrender/draw_state.h"
#include "softrender/lines.h"
#include "softrender/rotated_blit.h"
#include "softrender/triangle.h"
#include "tests/softrender/primitive_images.h"
#include "tests/softrender/primitive_model.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

// A 32-bit canvas whose pixels count how often an additive draw touched them.
struct Canvas {
  MemImageBody body{};
  MEMIMG view{};
  std::vector<uint32_t> pixels;
  int width, height;

  Canvas(int w, int h) : pixels(static_cast<size_t>(w) * h), width(w), height(h) {
    body.pitch = w * 4;
    body.format = &kPixelFormatXrgb8888;
    body.depthClass = kDepthXrgb8888;
    view = {w, h, reinterpret_cast<uint8_t*>(pixels.data()), &body};
  }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  Pixels Covered() const {
    Pixels s;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y)) s.insert({x, y});
    return s;
  }
};

// Counting draws: additive blend of the flat colour 1 (blue), so each pixel's blue
// channel is the number of times it was drawn.
void CountingState(int w, int h) {
  InitBlendTables();
  SetDrawState(2, 255, 0xFFFFFF, {0, 0, w, h});
}

void Flat(Canvas& c, std::initializer_list<std::pair<int, int>> v) {
  SoftTriVertex t[3];
  int i = 0;
  for (auto [x, y] : v) t[i++] = {x, y, 0, 0};
  SoftDrawTriangle(&c.view, nullptr, t, 0, nullptr, 1);
}

TEST(TriangleCoverage, TrianglesSharingAnEdgeLeaveNoGap) {
  // A fan of triangles around a centre, closing the full turn: every pixel strictly
  // inside the hull is covered, none more often than by the triangles touching it.
  CountingState(64, 64);
  std::mt19937 rng(4);
  for (int n = 0; n < 50; ++n) {
    const int cx = 20 + static_cast<int>(rng() % 24), cy = 20 + static_cast<int>(rng() % 24);
    const int k = 3 + static_cast<int>(rng() % 8);
    std::vector<std::pair<int, int>> rim;
    for (int i = 0; i < k; ++i) {
      const double a = 6.283185307179586 * i / k;
      rim.push_back({cx + static_cast<int>(std::lround(18 * std::cos(a))),
                     cy + static_cast<int>(std::lround(18 * std::sin(a)))});
    }
    Canvas c(64, 64);
    for (int i = 0; i < k; ++i) Flat(c, {{cx, cy}, rim[i], rim[(i + 1) % k]});
    // How often the model's scan-line rules cover each pixel, triangle by triangle.
    Pixels any;
    std::vector<int> times(64 * 64);
    for (int i = 0; i < k; ++i) {
      const int v[3][4] = {{cx, cy, 0, 0}, {rim[i].first, rim[i].second, 0, 0},
                           {rim[(i + 1) % k].first, rim[(i + 1) % k].second, 0, 0}};
      model::TriangleWalk(v, Rect{0, 0, 64, 64}, [&](int x, int y, int64_t, int64_t) {
        ++times[y * 64 + x];
        any.insert({x, y});
      });
    }
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        ASSERT_EQ(static_cast<int>(c.At(x, y) & 0xFF), times[y * 64 + x])
            << "pixel " << x << "," << y << " of fan " << n;
    // No gap: along every shared edge from the centre, a row between two triangles
    // has no uncovered pixel between covered ones.
    for (int y = 0; y < 64; ++y) {
      int first = -1, last = -1;
      for (int x = 0; x < 64; ++x)
        if (any.count({x, y})) last = x, first = first < 0 ? x : first;
      for (int x = first; first >= 0 && x <= last; ++x)
        ASSERT_TRUE(any.count({x, y})) << "gap at " << x << "," << y << " in fan " << n;
    }
  }
}

// Flat triangles and lines over random geometry, modes, formats and brights.
TEST(ConstantColourShapes, FlatTrianglesAndLinesMatchTheModel) {
  InitBlendTables();
  std::mt19937 rng(21);
  const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 6, 12, -1};
  const int kParams[] = {0, 1, 127, 128, 254, 255};
  const uint32_t kBrights[] = {0xFFFFFF, 0x33FFFFFF, 0x808080, 0xFF00FF, 0xFEFFFF};
  for (int depth = 0; depth < 2; ++depth)
    for (int mode : kModes)
      for (int p : kParams)
        for (uint32_t bright : kBrights)
          for (int shape = 0; shape < 2; ++shape) {
            GuardedImage dst(24 + static_cast<int>(rng() % 6), 24, depth, false, false, rng);
            model::State st;
            st.mode = mode;
            st.p = p;
            st.bright = bright;
            st.area = rng() % 3 ? Rect{static_cast<int>(rng() % 8), static_cast<int>(rng() % 8), 18, 30}
                                : Rect{-4, -4, 40, 40};
            SetDrawState(mode, p, bright, st.area);
            model::Image want = dst.Model();
            const uint32_t colour = static_cast<uint32_t>(rng());
            if (shape == 0) {
              int v[3][4];
              SoftTriVertex t[3];
              for (int i = 0; i < 3; ++i) {
                v[i][0] = static_cast<int>(rng() % 40) - 8, v[i][1] = static_cast<int>(rng() % 40) - 8;
                v[i][2] = v[i][3] = 0;
                t[i] = {v[i][0], v[i][1], 0, 0};
              }
              model::Triangle(want, nullptr, v, false, nullptr, colour, st);
              SoftDrawTriangle(&dst.view, nullptr, t, 0, nullptr, colour);
            } else {
              for (int n = 0; n < 6; ++n) {
                const int x1 = static_cast<int>(rng() % 60) - 15, y1 = static_cast<int>(rng() % 60) - 15;
                const int x2 = static_cast<int>(rng() % 60) - 15, y2 = static_cast<int>(rng() % 60) - 15;
                model::Line(want, x1, y1, x2, y2, colour, st);
                SoftDrawLine(&dst.view, x1, y1, x2, y2, colour);
              }
            }
            ASSERT_EQ(dst.bytes, want.bytes) << "depth " << depth << " mode " << mode << " p " << p
                                             << " bright " << std::hex << bright << " shape " << shape;
          }
}

// Texel (tx, ty) of a 16 x 16 source is stored as the pixel value (ty << 8) | tx | 0x10000,
// so a drawn pixel tells which texel it took.
Canvas TexelIds() {
  Canvas src(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) src.pixels[y * 16 + x] = 0x10000u | (y << 8) | x;
  return src;
}

TEST(TriangleTexels, SpanCutByTheDrawAreaStartsWithThatPixelsTexel) {
  PlainCopyState({5, 0, 32, 32});
  Canvas src = TexelIds();
  Canvas dst(32, 32);
  const SoftTriVertex v[3] = {{0, 0, 0, 0}, {16, 0, 16, 0}, {0, 16, 0, 16}};
  SoftDrawTriangle(&dst.view, &src.view, v, 0, nullptr, 0);
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(dst.At(4, y), 0u);
    EXPECT_EQ(dst.At(5, y), src.At(5, y));
  }
}

TEST(RotatedBlitGeometry, OddWidthAndNegativeScale) {
  PlainCopyState({0, 0, 32, 32});
  Canvas src(5, 3);
  for (int i = 0; i < 15; ++i) src.pixels[i] = 0x100u + i;
  Canvas dst(32, 32);
  SoftDrawImageRotated(&dst.view, &src.view, 10, 10, 0.0f, 1.0f, 0, 0, nullptr);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.At(8 + x, 10), src.At(x, 1)) << "column " << x;
  // A negative scale turns the image by a further half turn: the same as angle pi.
  Canvas negative(32, 32), turned(32, 32);
  Canvas even(4, 4);
  for (int i = 0; i < 16; ++i) even.pixels[i] = 0x100u + i;
  SoftDrawImageRotated(&negative.view, &even.view, 10, 10, 0.0f, -1.0f, 0, 0, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(negative.At(12 - x, 12 - y), even.At(x, y)) << x << "," << y;
}

TEST(ImageQuadCoverage, FourEqualCornersDrawNothing) {
  PlainCopyState({0, 0, 32, 32});
  Canvas src = TexelIds(), dst(32, 32);
  const int corners[8] = {7, 7, 7, 7, 7, 7, 7, 7};
  SoftDrawImageQuad(&dst.view, &src.view, corners, 0, nullptr);
  EXPECT_TRUE(dst.Covered().empty());
}

}  // namespace
