#include "graphics/graph.h"
#include "graphics/soft_frontend.h"
#include "tests/graphics/graphics_test_env.h"

namespace {

class FrontEnds : public GraphicsTest {
 protected:
  // Additive blending of blue 1 per draw: a pixel's blue field counts its draws.
  void CountDraws() { SetBlendModeParam(2, 255); }
  static int Draws(int x, int y) { return Pixel(x, y) & 31; }
  static constexpr unsigned kOne = 1;
};

TEST_F(FrontEnds, BoxOutlineDrawsItsPixelsOnceAndTakesRightAndBottomAsExclusive) {
  const struct {
    int left, top, right, bottom;
  } boxes[] = {{10, 10, 15, 14}, {30, 10, 32, 12}, {40, 10, 41, 11}, {50, 10, 51, 14}, {60, 10, 64, 11}};
  CountDraws();
  for (const auto& b : boxes) DrawFrameBox(b.left, b.top, b.right, b.bottom, kOne);
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.left);
    const int width = b.right - b.left, height = b.bottom - b.top;
    for (int y = b.top - 1; y <= b.bottom; ++y) {
      for (int x = b.left - 1; x <= b.right; ++x) {
        const bool inside = x >= b.left && x < b.right && y >= b.top && y < b.bottom;
        const bool edge = inside && (x == b.left || x == b.right - 1 || y == b.top || y == b.bottom - 1);
        int expected = edge ? 1 : 0;
        if (width == 1 && height == 1) expected = 0;  // four lines of length 0
        // One pixel wide or high: the inner pixels lie on two opposite lines.
        if (width == 1 && height > 1 && edge && y > b.top && y < b.bottom - 1) expected = 2;
        if (height == 1 && width > 1 && edge && x > b.left && x < b.right - 1) expected = 2;
        EXPECT_EQ(Draws(x, y), expected) << x << "," << y;
      }
    }
  }
}

TEST_F(FrontEnds, TriangleIsFilledOnlyForAFillFlagOfExactlyOne) {
  CountDraws();
  const int flags[] = {1, 0, 2, -1, 256};
  for (int i = 0; i < 5; ++i) {
    const int x = 20 + i * 40;
    DrawTriangleShape(x, 100, x + 30, 100, x, 130, kOne, flags[i]);
    SCOPED_TRACE(flags[i]);
    EXPECT_EQ(Draws(x + 5, 105), flags[i] == 1 ? 1 : 0);  // interior
    EXPECT_EQ(Draws(x, 115), 1);                          // on the left edge
    if (flags[i] != 1) {
      // The outline draws each corner once: the lines leave out their end points.
      EXPECT_EQ(Draws(x, 100), 1);
      EXPECT_EQ(Draws(x + 30, 100), 1);
      EXPECT_EQ(Draws(x, 130), 1);
    }
  }
}

TEST_F(FrontEnds, QuadPutsTheGraphCornersOnTheCornersClockwise) {
  // A 2 x 2 graph of four colours, stretched over a square by the quad.
  const int graph = MakeScreenGraph(2, 2);
  const unsigned red = 0xF800, green = 0x07E0, blue = 0x001F, white = 0xFFFF;
  SetDrawScreen(graph);
  DrawFilledBox(0, 0, 1, 1, red);
  DrawFilledBox(1, 0, 2, 1, green);
  DrawFilledBox(0, 1, 1, 2, blue);
  DrawFilledBox(1, 1, 2, 2, white);
  SetDrawScreen(kBackScreen);
  // Upright, then a quarter turn clockwise (the top-left corner given at the top-right).
  ASSERT_EQ(DrawGraphQuad(100, 100, 140, 100, 140, 140, 100, 140, graph, 0), 0);
  ASSERT_EQ(DrawGraphQuadF(240.f, 100.f, 240.f, 140.f, 200.f, 140.f, 200.f, 100.f, graph, 0), 0);
  const struct {
    int x, y;
    unsigned colour;
  } probes[] = {{105, 105, red},   {135, 105, green}, {105, 135, blue},  {135, 135, white},
                {235, 105, red},   {235, 135, green}, {205, 105, blue},  {205, 135, white}};
  for (const auto& p : probes) EXPECT_EQ(Pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
  // The shared diagonal runs from corner 1 to corner 2 of the texel order: no gap on it.
  for (int i = 1; i < 39; ++i) EXPECT_NE(Pixel(140 - i, 100 + i), 0) << i;
  ReleaseGraphHandle(graph);
}

}  // namespace
