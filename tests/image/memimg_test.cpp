#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "image/blend_tables.h"
#include "image/memimg.h"

namespace {

TEST(BlendTables, EntriesFollowTheirRoundingRules) {
  InitBlendTables();
  struct Case { int v, j, mulDiv; } mul[] = {{255, 255, 255}, {128, 255, 128}, {254, 255, 254},
                                             {200, 3, 2}, {1, 254, 0}, {0, 77, 0}};
  for (auto c : mul) EXPECT_EQ(MulDiv255Table[c.v][c.j], c.mulDiv) << c.v << "," << c.j;
  // Truncation toward zero for negative differences: 128 * -1 / 255 is 0, not -1.
  struct Lerp { int p, e, out; } lerp[] = {{128, -1, 0}, {128, -255, -128}, {255, -255, -255},
                                          {100, 31, 12}, {100, -31, -12}, {1, 255, 1}};
  for (auto c : lerp) EXPECT_EQ(BlendLerpTable[c.p][c.e + 255], c.out) << c.p << "," << c.e;
  EXPECT_EQ(Lerp6Table[0][63][5], 5);    // plane 0 returns the destination
  EXPECT_EQ(Lerp6Table[63][17][40], 17); // plane 63 returns the source
  EXPECT_EQ(Lerp6Table[50][31][0], 24);  // floor(50 * 31 / 63)
  EXPECT_EQ(BlendImageWeightTable[200], 200);
}

// Reads a row of run codes back into one kind per pixel.
std::vector<int> DecodeRow(const uint8_t*& codes) {
  std::vector<int> kinds;
  while (*codes < kRunRowEnd) {
    const int kind = *codes >> 6, n = (*codes & 63) + 1;
    kinds.insert(kinds.end(), n, kind);
    ++codes;
  }
  ++codes;
  return kinds;
}

TEST(TransRunTable, RunsMatchPixelsForEverySourceKind) {
  struct Case { int depth, paletted, alpha; };
  for (Case c : {Case{1, 0, 1}, Case{0, 0, 1}, Case{1, 0, 0}, Case{0, 0, 0}, Case{1, 1, 0}}) {
    MEMIMG img;
    const int w = 200, h = 4;  // the last row: runs of 130 and 70, longer than one code holds
    ASSERT_EQ(CreateMemImage(&img, w, h, c.depth, c.paletted, c.alpha), 0);
    const int bpp = img.body->format->bytesPerPixel;
    img.body->transColor = 7;
    if (c.paletted) img.body->paletteCount = 200;
    std::vector<std::vector<int>> want(h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint8_t* p = img.pixels + y * img.body->pitch + x * bpp;
        const int pick = y == h - 1 ? (x < 130 ? 0 : 1) : (x / (y + 5) + x * y) % 4;
        int kind;
        if (c.alpha) {
          const uint8_t a = pick == 0 ? 0 : pick == 1 ? 255 : 100;
          p[c.depth == 1 ? 3 : 2] = a;
          p[0] = 7;  // a key value must not matter with alpha
          kind = pick == 0 ? 0 : pick == 1 ? 1 : 2;
        } else if (c.paletted) {
          *p = pick == 0 ? 7 : pick == 1 ? 250 : 3;  // 250 lies past the palette's entries
          kind = pick <= 1 ? 0 : 1;
        } else {
          // XRGB8888 compares all four bytes: 7 with a fourth byte set is drawn.
          p[0] = pick == 0 ? 7 : 8;
          if (pick == 3 && bpp == 4) { p[0] = 7; p[3] = 1; }
          kind = pick == 0 ? 0 : 1;
        }
        want[y].push_back(kind);
      }
    }
    NoteMemImageTransfer(&img, 0, 0, w, h);
    ASSERT_EQ(img.body->runTableValid, 1);
    const uint8_t* codes = img.body->transRunTable;
    for (int y = 0; y < h; ++y) EXPECT_EQ(DecodeRow(codes), want[y]) << "row " << y;
    NoteMemImageTransfer(&img, 1, 0, w - 1, h);
    EXPECT_EQ(img.body->runTableValid, 0);
    ReleaseMemImage(&img);
  }
}

// The drawn bounds that come with a run table hold every pixel it does not skip, and
// each bound is met by one of them; an image that is all skipped has none.
TEST(TransRunTable, DrawnBoundsAreTheTightOctagonOfThePixelsNotSkipped) {
  std::mt19937 rng(5);
  uint64_t lastSerial = 0;
  for (int round = 0; round < 40; ++round) {
    MEMIMG img;
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 40);
    ASSERT_EQ(CreateMemImage(&img, w, h, 0, 0, 1), 0);
    const int drawnPerMille = round == 0 ? 0 : static_cast<int>(rng() % 60);
    DrawnBounds want = {w, -1, h, -1, w + h, -w - h, w + h, -w - h};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool drawn = static_cast<int>(rng() % 1000) < drawnPerMille;
        img.pixels[y * img.body->pitch + x * 4 + 2] = drawn ? static_cast<uint8_t>(1 + rng() % 255) : 0;
        if (!drawn) continue;
        want = {std::min(want.xMin, x), std::max(want.xMax, x), std::min(want.yMin, y), std::max(want.yMax, y),
                std::min(want.sumMin, x + y), std::max(want.sumMax, x + y), std::min(want.diffMin, x - y),
                std::max(want.diffMax, x - y)};
      }
    BuildTransRunTable(&img);
    ASSERT_EQ(img.body->runTableValid, 1);
    const DrawnBounds& got = img.body->drawn;
    if (want.xMax < 0) {
      EXPECT_GT(got.xMin, got.xMax) << "round " << round;
    } else {
      EXPECT_EQ(std::vector<int>({got.xMin, got.xMax, got.yMin, got.yMax, got.sumMin, got.sumMax, got.diffMin,
                                  got.diffMax}),
                std::vector<int>({want.xMin, want.xMax, want.yMin, want.yMax, want.sumMin, want.sumMax,
                                  want.diffMin, want.diffMax}))
          << "round " << round;
    }
    // Every build is told apart from every other, of this image or another.
    EXPECT_NE(img.body->runTableSerial, lastSerial);
    lastSerial = img.body->runTableSerial;
    BuildTransRunTable(&img);
    EXPECT_NE(img.body->runTableSerial, lastSerial);
    lastSerial = img.body->runTableSerial;
    ReleaseMemImage(&img);
  }
}

TEST(MemImage, RefusesBadSizesAndKindsAndViewsStayInside) {
  MEMIMG img;
  EXPECT_EQ(CreateMemImage(&img, 0, 5, 0, 0, 0), -1);
  EXPECT_EQ(CreateMemImage(&img, 5, 5, 2, 0, 0), -1);
  EXPECT_EQ(img.body, nullptr);
  ASSERT_EQ(CreateMemImage(&img, 10, 8, 0, 0, 0), 0);
  EXPECT_EQ(img.body->pitch, 20);
  MEMIMG view;
  MakeMemImageView(&view, &img, 7, 6, 10, 10);
  EXPECT_EQ(view.width, 3);
  EXPECT_EQ(view.height, 2);
  EXPECT_EQ(view.pixels, img.pixels + 6 * 20 + 7 * 2);
  ReleaseMemImage(&img);
  ReleaseMemImage(&img);  // a released record is ignored
}

}  // namespace
