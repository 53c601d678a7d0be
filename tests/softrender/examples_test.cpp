// Exact pixels worked by hand: the blending rules' edges, and draws the random model
// comparison does not reach (zero-height and very wide stretches, a 565 key with bits
// above the pixel).
#include <gtest/gtest.h>

#include "image/blend_tables.h"
#include "softrender/draw_image.h"
#include "softrender/draw_image_stretched.h"
#include "softrender/draw_state.h"
#include "softrender/fill_rect.h"
#include "tests/softrender/test_image.h"

namespace {

void SetState(int mode, int p, uint32_t bright = 0xFFFFFF) {
  InitBlendTables();
  SetDrawState(mode, p, bright, {0, 0, 640, 480});
}

uint32_t Read(TestImage& t, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, t.Pixel(x, y), t.body.format->bytesPerPixel);
  return v;
}
void Write(TestImage& t, int x, int y, uint32_t v) { std::memcpy(t.Pixel(x, y), &v, t.body.format->bytesPerPixel); }

// One worked pixel per rounding or saturation edge of the blending rules: these pin the
// reference model itself, which every random comparison trusts.
struct PixelCase {
  const char* what;
  int depth;
  bool alpha;
  uint32_t src;
  int a;
  uint32_t dst;
  int mode, p;
  uint32_t bright;
  int trans;
  int weight;  // -1: no blend image
  uint32_t want;
};

TEST(SoftDrawImage, WorkedPixelExamples) {
  const PixelCase cases[] = {
      {"565 alpha p=128 half-sum", 0, false, 0xFFFF, 0, 0x0000, 1, 128, 0xFFFFFF, 0, -1, 0x7BEF},
      {"565 tinted alpha p=100, red 0 over 31", 0, false, 0x0000, 0, 0xF800, 1, 100, 0x808080, 0, -1, 0x9800},
      {"565 copy at weight 255 never reaches the source", 0, false, 0xF800, 0, 0x0000, 0, 0, 0xFFFFFF, 0, 255, 0xF000},
      {"565 add: blue 1 onto full blue", 0, false, 0x0001, 0, 0x001F, 2, 255, 0xFFFFFF, 0, -1, 0x003F},
      {"565 subtract blue 1 from full blue", 0, false, 0x0001, 0, 0x001F, 3, 255, 0xFFFFFF, 0, -1, 0x081E},
      {"565 untinted copy of an alpha source without the flag", 0, true, 0xFFFF, 7, 0x0000, 0, 0, 0xFFFFFF, 0, -1, 0xFFFF},
      {"8888 add: blue 200 plus 100 saturates, its carry sets green's low bit", 1, false, 0x64, 0, 0xC8, 2, 255, 0xFFFFFF, 0, -1, 0x1FF},
      {"8888 alpha p=128 half-sum clears the fourth byte", 1, false, 0xFF204060, 0, 0x7F102030, 1, 128, 0xFFFFFF, 0, -1, 0x00183048},
      {"8888 weight 255 copy: 255 over 0 gives 254", 1, false, 0xFF, 0, 0, 0, 0, 0xFFFFFF, 0, 255, 0xFE},
  };
  std::mt19937 rng(1);
  for (const PixelCase& c : cases) {
    SetState(c.mode, c.p, c.bright);
    TestImage src, dst, blend;
    src.Init(1, 1, c.depth, 0, c.alpha, 0, rng);
    dst.Init(1, 1, c.depth, 0, 0, 0, rng);
    blend.Init(1, 1, 0, 1, 0, 0, rng);
    *blend.Pixel(0, 0) = 9;
    BlendImageWeightTable[9] = static_cast<uint8_t>(c.weight);
    Write(src, 0, 0, c.src);
    if (c.alpha) src.Pixel(0, 0)[c.depth == 1 ? 3 : 2] = static_cast<uint8_t>(c.a);
    src.body.transColor = 0xDEAD;
    Write(dst, 0, 0, c.dst);
    SoftDrawImage(&dst.image, &src.image, 0, 0, c.trans, c.weight < 0 ? nullptr : &blend.image);
    EXPECT_EQ(Read(dst, 0, 0), c.want) << c.what;
  }
}

TEST(SoftFillRect, WorkedExamples) {
  std::mt19937 rng(3);
  struct Case { const char* what; int depth, mode, p; uint32_t bright, colour, dst, want; } cases[] = {
      {"bright red 254 tints every channel", 1, 0, 0, 0xFEFFFF, 0x00FFFFFF, 0, 0x00FDFEFE},
      {"8888 add white to white", 1, 2, 255, 0xFFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x01FFFFFF},
      {"8888 subtract always clears the fourth byte", 1, 3, 255, 0xFFFFFF, 0, 0xFF000000, 0x00010100},
      {"565 alpha p=128, blue 31 onto 0", 0, 1, 128, 0xFFFFFF, 0x001F, 0, 0x000F},
  };
  for (const Case& c : cases) {
    SetState(c.mode, c.p, c.bright);
    TestImage dst;
    dst.Init(1, 1, c.depth, 0, 0, 0, rng);
    Write(dst, 0, 0, c.dst);
    SoftFillRect(&dst.image, nullptr, c.colour);
    EXPECT_EQ(Read(dst, 0, 0), c.want) << c.what;
  }
}

TEST(SoftDrawImageStretched, ZeroSizeDrawsNothing) {
  SetState(BlendCopy, 255);
  std::mt19937 rng(6);
  TestImage src, dst;
  src.Init(4, 4, 0, 0, 0, 0, rng);
  dst.Init(8, 8, 0, 0, 0, 0, rng);
  const std::vector<uint8_t> before = dst.buffer;
  for (Rect r : {Rect{3, 0, 3, 5}, Rect{0, 2, 6, 2}}) SoftDrawImageStretched(&dst.image, &src.image, &r, 0, nullptr);
  EXPECT_TRUE(dst.buffer == before);
}

TEST(SoftDrawImageStretched, RowsWiderThanOneColumnChunkKeepTheirColumns) {
  SetState(BlendCopy, 255);
  std::mt19937 rng(7);
  TestImage src, dst;
  src.Init(300, 1, 0, 0, 0, 0, rng);
  dst.Init(1200, 1, 0, 0, 0, 0, rng);
  DrawArea = {0, 0, 1200, 1};
  for (int x = 0; x < 300; ++x) Write(src, x, 0, static_cast<uint32_t>(x));
  for (bool mirrored : {false, true}) {
    Rect r = mirrored ? Rect{1100, 0, 0, 1} : Rect{0, 0, 1100, 1};
    SoftDrawImageStretched(&dst.image, &src.image, &r, 0, nullptr);
    const int64_t rx = (int64_t{1100} << 16) / 300;
    for (int j = 0; j < 1100; ++j) {
      const int col = static_cast<int>((int64_t{j} << 16) / rx);
      ASSERT_EQ(Read(dst, j, 0), static_cast<uint32_t>(mirrored ? 299 - col : col)) << j;
    }
  }
}

TEST(SoftDrawImage, Rgb565KeyWithUpperBitsSetMatchesNoPixel) {
  std::mt19937 rng(8);
  for (uint32_t key : {0x1234u, 0x11234u}) {
    SetState(BlendInvertAlpha, 255);
    TestImage src, dst;
    src.Init(16, 1, 0, 0, 0, 0, rng);
    dst.Init(16, 1, 0, 0, 0, 0, rng);
    src.body.transColor = key;
    for (int x = 0; x < 16; ++x) {
      Write(src, x, 0, 0x1234);
      Write(dst, x, 0, 0x5555);
    }
    SoftDrawImage(&dst.image, &src.image, 0, 0, 1, nullptr);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(Read(dst, x, 0), key == 0x1234u ? 0x5555u : 0xEDCBu) << key << " " << x;
  }
}

}  // namespace
