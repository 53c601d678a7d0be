// Which pixels the triangle, the image quad, the rotated blit and the lines cover, and
// the flat triangle and lines against the naive model.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include "graphics/draw_state.h"
#include "image/blend_tables.h"
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

Pixels Span(int y, int x0, int x1) {
  Pixels s;
  for (int x = x0; x <= x1; ++x) s.insert({x, y});
  return s;
}

TEST(TriangleCoverage, WorkedCoverageExamples) {
  CountingState(40, 40);
  {
    Canvas c(40, 40);
    Flat(c, {{10, 10}, {20, 10}, {10, 20}});
    Pixels want;
    for (int y = 10; y < 20; ++y) want.merge(Span(y, 10, 20 - (y - 10)));
    EXPECT_EQ(c.Covered(), want);
  }
  {
    Canvas c(40, 40);
    Flat(c, {{20, 10}, {10, 20}, {20, 20}});
    Pixels want;
    for (int y = 10; y < 20; ++y) want.merge(Span(y, 20 - (y - 10), 20));
    EXPECT_EQ(c.Covered(), want);
  }
  {
    Canvas c(40, 40);
    Flat(c, {{0, 0}, {1, 0}, {0, 1}});
    EXPECT_EQ(c.Covered(), (Pixels{{0, 0}, {1, 0}}));
  }
  {
    Canvas c(40, 40);
    Flat(c, {{5, 0}, {0, 1}, {10, 1}});
    EXPECT_EQ(c.Covered(), (Pixels{{5, 0}}));
  }
  for (auto v : {std::initializer_list<std::pair<int, int>>{{3, 3}, {9, 9}, {15, 15}},
                 {{3, 3}, {3, 3}, {15, 4}}, {{2, 7}, {9, 7}, {30, 7}}, {{8, 2}, {8, 2}, {8, 20}}}) {
    Canvas c(40, 40);
    Flat(c, v);
    EXPECT_TRUE(c.Covered().empty()) << "degenerate triangles draw nothing";
  }
}

TEST(TriangleCoverage, EveryVertexOrderAndWindingCoversTheSamePixels) {
  CountingState(48, 48);
  std::mt19937 rng(3);
  for (int n = 0; n < 200; ++n) {
    std::pair<int, int> v[3];
    for (auto& p : v) p = {static_cast<int>(rng() % 60) - 6, static_cast<int>(rng() % 60) - 6};
    int order[3] = {0, 1, 2};
    Pixels first;
    do {
      Canvas c(48, 48);
      Flat(c, {v[order[0]], v[order[1]], v[order[2]]});
      if (order[0] == 0 && order[1] == 1) first = c.Covered();
      ASSERT_EQ(c.Covered(), first);
    } while (std::next_permutation(order, order + 3));
  }
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

TEST(TriangleCoverage, WholePixelTranslationMovesThePixelsAcrossRowAndColumnZero) {
  CountingState(96, 96);
  std::mt19937 rng(5);
  for (int n = 0; n < 300; ++n) {
    std::pair<int, int> v[3];
    for (auto& p : v) p = {static_cast<int>(rng() % 30) - 15, static_cast<int>(rng() % 30) - 15};
    Canvas base(96, 96);
    Flat(base, {{v[0].first + 50, v[0].second + 50}, {v[1].first + 50, v[1].second + 50},
                {v[2].first + 50, v[2].second + 50}});
    DrawArea = {-100, -100, 96, 96};  // the draw area may start left of the image
    const int dx = static_cast<int>(rng() % 60) - 30, dy = static_cast<int>(rng() % 60) - 30;
    Canvas moved(96, 96);
    Flat(moved, {{v[0].first + 50 + dx, v[0].second + 50 + dy}, {v[1].first + 50 + dx, v[1].second + 50 + dy},
                 {v[2].first + 50 + dx, v[2].second + 50 + dy}});
    DrawArea = {0, 0, 96, 96};
    for (int y = 0; y < 96; ++y)
      for (int x = 0; x < 96; ++x) {
        const int sx = x - dx, sy = y - dy;
        if (sx < 0 || sy < 0 || sx >= 96 || sy >= 96) continue;
        ASSERT_EQ(moved.At(x, y), base.At(sx, sy)) << x << "," << y;
      }
  }
}

TEST(ImageQuadCoverage, AxisAlignedQuadDrawsEachTexelOnceAtItsOffset) {
  InitBlendTables();
  for (int ox : {-3, 0, 5})
    for (int oy : {-2, 0, 4}) {
      Canvas src(6, 4), dst(16, 16);
      for (int i = 0; i < 24; ++i) src.pixels[i] = 0x010000u * (i + 1);
      PlainCopyState({0, 0, 16, 16});
      const int corners[8] = {ox, oy, ox + 6, oy, ox, oy + 4, ox + 6, oy + 4};
      SoftDrawImageQuad(&dst.view, &src.view, corners, 0, nullptr);
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
          const int tx = x - ox, ty = y - oy;
          const uint32_t want = tx >= 0 && ty >= 0 && tx < 6 && ty < 4 ? src.At(tx, ty) : 0;
          ASSERT_EQ(dst.At(x, y), want) << "pixel " << x << "," << y << " offset " << ox << "," << oy;
        }
    }
}

TEST(RotatedBlitGeometry, WorkedPlacementExamples) {
  PlainCopyState({0, 0, 32, 32});
  Canvas src(4, 2);
  for (int i = 0; i < 8; ++i) src.pixels[i] = 0x100u + i;
  for (int scale : {1, 2}) {
    // Centred on (10, 10); scale 2 draws each texel as a 2 x 2 block.
    Canvas dst(32, 32);
    SoftDrawImageRotated(&dst.view, &src.view, 10, 10, 0.0f, static_cast<float>(scale), 0, 0, nullptr);
    const int left = 10 - 2 * scale, top = 10 - scale;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const int tx = (x - left) / scale, ty = (y - top) / scale;  // read only when x, y lie past left, top
        ASSERT_EQ(dst.At(x, y), x >= left && tx < 4 && y >= top && ty < 2 ? src.At(tx, ty) : 0u)
            << "scale " << scale << " pixel " << x << "," << y;
      }
  }
  {
    // A quarter turn puts the top row on the right side, running top to bottom.
    Canvas dst(32, 32);
    SoftDrawImageRotated(&dst.view, &src.view, 10, 10, 1.5707964f, 1.0f, 0, 0, nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.At(11, 8 + i), src.At(i, 0));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.At(10, 8 + i), src.At(i, 1));
    EXPECT_EQ(dst.Covered().size(), 8u);
  }
  {
    // With the turn flag at angle 0 the image is mirrored left to right.
    Canvas dst(32, 32);
    SoftDrawImageRotated(&dst.view, &src.view, 10, 10, 0.0f, 1.0f, 0, 1, nullptr);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.At(12 - x, 9 + y), src.At(x, y)) << x << "," << y;
    EXPECT_EQ(dst.Covered().size(), 8u);
  }
  {
    // A centre whose box misses the draw area draws nothing.
    Canvas dst(32, 32);
    SoftDrawImageRotated(&dst.view, &src.view, 300, -40, 0.3f, 1.0f, 0, 0, nullptr);
    EXPECT_TRUE(dst.Covered().empty());
  }
}

TEST(Lines, WorkedExamples) {
  CountingState(120, 40);
  struct Case {
    int x1, y1, x2, y2;
    Rect area;
    Pixels want;
  };
  auto row = [](int y, int from, int to) {
    Pixels s;
    for (int x = std::min(from, to); x <= std::max(from, to); ++x) s.insert({x, y});
    return s;
  };
  const Case cases[] = {
      {0, 0, 4, 0, {0, 0, 120, 40}, row(0, 0, 3)},
      {0, 0, 0, 0, {0, 0, 120, 40}, {}},
      {0, 0, 4, 1, {0, 0, 120, 40}, row(0, 0, 3)},
      {0, 0, 3, 3, {0, 0, 120, 40}, {{0, 0}, {1, 1}, {2, 2}}},
      {-10, 5, 10, 5, {0, 0, 120, 40}, row(5, 0, 9)},
      {0, 5, 500, 5, {0, 0, 100, 40}, row(5, 0, 99)},
      {500, 5, 0, 5, {0, 0, 100, 40}, row(5, 1, 99)},
  };
  for (const Case& c : cases) {
    Canvas dst(120, 40);
    DrawArea = c.area;
    SoftDrawLine(&dst.view, c.x1, c.y1, c.x2, c.y2, 1);
    EXPECT_EQ(dst.Covered(), c.want) << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
  }
}

TEST(Lines, BoxOutlineTouchesEveryOutlinePixelOnce) {
  CountingState(40, 40);
  for (auto [l, t, r, b] : {std::tuple{3, 4, 20, 15}, {0, 0, 40, 40}, {5, 5, 7, 9}}) {
    Canvas dst(40, 40);
    const SoftLineRecord box[4] = {{l, t, r - 1, t, 1, 99},
                                   {r - 1, t, r - 1, b - 1, 1, 99},
                                   {r - 1, b - 1, l, b - 1, 1, 99},
                                   {l, b - 1, l, t, 1, 99}};
    SoftDrawLines(&dst.view, box, 4);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        const bool onOutline = x >= l && x < r && y >= t && y < b &&
                               (x == l || x == r - 1 || y == t || y == b - 1);
        ASSERT_EQ(dst.At(x, y), onOutline ? 1u : 0u) << x << "," << y;
      }
    Canvas none(40, 40);
    SoftDrawLines(&none.view, box, 0);
    SoftDrawLines(&none.view, box, -1);
    EXPECT_TRUE(none.Covered().empty());
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

TEST(TriangleTexels, WorkedMappingExamples) {
  PlainCopyState({0, 0, 32, 32});
  Canvas src = TexelIds();
  struct Case {
    SoftTriVertex v[3];
    int (*tx)(int x, int y);  // expected texel of a covered pixel, -1: not drawn
    int (*ty)(int x, int y);
  };
  const Case cases[] = {
      {{{0, 0, 0, 0}, {8, 0, 8, 0}, {0, 8, 0, 8}}, [](int x, int) { return x; }, [](int, int y) { return y; }},
      {{{0, 0, 0, 0}, {8, 0, 16, 0}, {0, 8, 0, 16}}, [](int x, int) { return 2 * x; }, [](int, int y) { return 2 * y; }},
      {{{0, 0, 0, 0}, {16, 0, 8, 0}, {0, 16, 0, 8}}, [](int x, int) { return x / 2; }, [](int, int y) { return y / 2; }},
      // Mirrored: pixel (x, y) takes texel (8 - x, y) of an 8 wide source; pixel 0 fails.
      {{{0, 0, 8, 0}, {8, 0, 0, 0}, {0, 8, 8, 8}}, [](int x, int) { return x == 0 ? -1 : 8 - x; },
       [](int, int y) { return y; }},
  };
  for (const Case& c : cases) {
    Canvas dst(32, 32);
    MEMIMG view = src.view;
    const bool mirrored = c.v[0].u == 8;
    if (mirrored) view.width = 8;
    SoftDrawTriangle(&dst.view, &view, c.v, 0, nullptr, 0);
    int drawn = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const uint32_t got = dst.At(x, y);
        if (!got) continue;
        ++drawn;
        const int tx = c.tx(x, y), ty = c.ty(x, y);
        ASSERT_GE(tx, 0) << "pixel " << x << "," << y << " should fail the texel test";
        ASSERT_EQ(got, src.At(tx, ty)) << "pixel " << x << "," << y;
      }
    EXPECT_GT(drawn, 20);
  }
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
