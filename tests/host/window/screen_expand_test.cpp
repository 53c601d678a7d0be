// Every RGB565 value widens by repeating each field's top bits, whatever the kernel,
// the row's length and the alignment of either buffer.
#include "host/window/screen_expand.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

uint32_t Widened(uint32_t v) {
  const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
  return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

TEST(ScreenExpand, EveryValueAtEveryRowLengthAndAlignment) {
  std::vector<uint16_t> in(65536 + 8);
  std::vector<uint32_t> out(65536 + 16);
  for (ExpandKernel kernel :
       {ExpandKernel::kScalar, ExpandKernel::kSse2, ExpandKernel::kAvx2, ExpandKernel::kAvx2Streaming}) {
    if (!ExpandKernelRuns(kernel)) continue;
    const int k = static_cast<int>(kernel);
    for (int shift : {0, 1, 3}) {
      for (uint32_t v = 0; v < 65536; ++v) in[shift + v] = static_cast<uint16_t>(v);
      // One long row, then short rows that end inside an eight- or sixteen-pixel block.
      for (int count : {65536, 1, 7, 8, 9, 15, 16, 17, 23, 31, 40}) {
        std::fill(out.begin(), out.end(), 0x12345678u);
        ExpandRgb565RowWith(kernel, &in[shift], &out[shift], count);
        ExpandStreamFence();
        for (int i = 0; i < count; ++i)
          ASSERT_EQ(out[shift + i], Widened(in[shift + i])) << "kernel " << k << ", value " << in[shift + i];
        EXPECT_EQ(out[shift + count], 0x12345678u) << "kernel " << k << " wrote past the row of " << count;
      }
    }
  }
}

}  // namespace
