// Exact pixels of draws the random model comparison does not reach: zero-height and very
// wide stretches, and a 565 key with bits above the pixel.
#include <gtest/gtest.h>

#include "graphics/draw_state.h"
#include "image/blend_tables.h"
#include "softrender/draw_image.h"
#include "softrender/draw_image_stretched.h"
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
