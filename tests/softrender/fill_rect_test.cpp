#include <gtest/gtest.h>

#include "softrender/fill_rect.h"
#include "tests/softrender/random_draws.h"

namespace {

TEST(SoftFillRect, MatchesReferenceModelForEveryModeAndFormat) {
  InitBlendTables();
  std::mt19937 rng(77);
  int draws = 0, changed = 0;
  for (int depth = 0; depth < 2; ++depth)
    for (int mode : kModes)
      for (int param : kParams)
        for (int rep = 0; rep < 10; ++rep) {
          TestImage dst;
          const int dstKind = Pick(rng, 20);
          dst.Init(1 + Pick(rng, 40), 1 + Pick(rng, 30), dstKind == 0 ? 2 : depth, dstKind == 1,
                   dstKind == 2, Pick(rng, 6), rng);
          const ref::State st = RandomState(rng, mode, param, dst.image);
          const int w = dst.image.width, h = dst.image.height;
          Rect r = {Pick(rng, w + 10) - 5, Pick(rng, h + 10) - 5, Pick(rng, w + 10) - 5, Pick(rng, h + 10) - 5};
          const Rect* rect = Pick(rng, 6) == 0 ? nullptr : &r;
          uint32_t colour = static_cast<uint32_t>(rng());
          if (depth == 0 && Pick(rng, 2)) colour &= 0xFFFF;  // upper bits set half the time
          TestImage want = dst;
          const std::vector<uint8_t> before = dst.buffer;
          const bool ownBounds = Pick(rng, 5) == 0;  // the colour fill of a graph
          ref::FillRect(&want.image, rect, colour, ownBounds ? nullptr : &st.area, st);
          if (ownBounds) {
            SoftFillRectInArea(&dst.image, rect, colour, nullptr);
          } else {
            SoftFillRect(&dst.image, rect, colour);
          }
          ASSERT_TRUE(dst.buffer == want.buffer) << Describe(depth, 0, st, 0, false) << " colour "
                                                 << colour << " own bounds " << ownBounds;
          ++draws;
          changed += want.buffer != before;
        }
  // The random cases must mostly draw something, or the comparison proves little.
  EXPECT_GT(changed, draws / 4) << changed << " of " << draws;
}

}  // namespace
