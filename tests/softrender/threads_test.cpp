// The rotated blit on several threads at once. Sprites whose run table is known and that
// are drawn again at the same turn and scale are kept as ready-walked copies; each
// thread keeps its own, or walks every sprite when all the stores are lent, so threads
// drawing at once get exactly what each gets alone, and the thread sanitizer sees no
// write that two make.
#include <gtest/gtest.h>

#include <barrier>
#include <deque>
#include <random>
#include <thread>
#include <vector>

#include "image/memimg.h"
#include "softrender/rotated_blit.h"
#include "tests/game/heap_counter.h"
#include "tests/softrender/primitive_images.h"

namespace {

// An ellipse of texels with alpha 1 to 255 in a margin of alpha 0, its run table built
// into `runs`.
void MakeSprite(GuardedImage& img, std::mt19937& rng, std::vector<uint8_t>& runs) {
  const int w = img.view.width, h = img.view.height, alphaByte = img.body.depthClass == 1 ? 3 : 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double ex = (x + 0.5) / w * 2 - 1, ey = (y + 0.5) / h * 2 - 1;
      const bool inside = ex * ex + ey * ey <= 1.0;
      img.At(x, y)[alphaByte] = inside ? static_cast<uint8_t>(rng() % 3 ? 255 : 1 + rng() % 254) : 0;
    }
  runs.assign(static_cast<size_t>(w + 1) * h, 0);
  img.body.transRunTable = runs.data();
  img.body.runTableCapacity = static_cast<int>(runs.size());
  BuildTransRunTable(&img.view);
}

// Each turn three times at centres a few pixels apart, inside the target: the first
// sight walks the sprite, the second keeps its copy, the third draws from it.
void DrawTurns(GuardedImage& dst, const GuardedImage& src) {
  for (int i = 0; i < 200; ++i)
    for (int k = 0; k < 3; ++k)
      SoftDrawImageRotated(&dst.view, &src.view, 28 + 3 * k, 30 - 2 * k, 0.031f * i, i % 4 ? 1.0f : 1.25f, 1, 0,
                           nullptr);
}

TEST(RotatedBlitThreads, TurnedSpritesOnTwoThreadsAtOnceMatchTheirSingleRuns) {
  std::mt19937 rng(11);
  PlainCopyState({0, 0, 64, 64});
  DrawBlendMode = BlendAlpha;
  DrawBlendParam = 200;
  std::vector<uint8_t> runs[2];
  // One sprite of each pixel format that keeps its alpha in four bytes.
  GuardedImage src[2] = {GuardedImage(21, 15, 0, false, true, rng), GuardedImage(17, 23, 1, false, true, rng)};
  for (int t = 0; t < 2; ++t) MakeSprite(src[t], rng, runs[t]);
  std::mt19937 same[2] = {std::mt19937(1), std::mt19937(1)};  // twin destinations
  GuardedImage alone[2] = {GuardedImage(64, 64, 0, false, false, same[0]),
                           GuardedImage(64, 64, 1, false, false, same[0])};
  GuardedImage together[2] = {GuardedImage(64, 64, 0, false, false, same[1]),
                              GuardedImage(64, 64, 1, false, false, same[1])};
  // Each thread's first draw borrows the store for its copies; after it, drawing calls
  // no heap.
  auto run = [](GuardedImage& dst, const GuardedImage& sprite, long* heapCalls) {
    SoftDrawImageRotated(&dst.view, &sprite.view, 30, 30, 0.0f, 1.0f, 1, 0, nullptr);
    const long before = HeapCallCount();
    DrawTurns(dst, sprite);
    *heapCalls = HeapCallCount() - before;
  };
  // Counted on the thread alone; while the other thread starts, its first draw may fall
  // in the main thread's count.
  long heapCalls[3] = {}, untold = 0;
  run(alone[0], src[0], &heapCalls[0]);
  run(alone[1], src[1], &heapCalls[1]);
  // New run tables: the copies kept above are not found again, so both threads make
  // theirs at the same time.
  for (GuardedImage& s : src) BuildTransRunTable(&s.view);
  std::thread other([&] { run(together[1], src[1], &heapCalls[2]); });
  run(together[0], src[0], &untold);
  other.join();
  EXPECT_EQ(together[0].bytes, alone[0].bytes);
  EXPECT_EQ(together[1].bytes, alone[1].bytes);
#ifndef BUILT_WITH_SANITIZER  // the heap is not counted under a sanitizer
  EXPECT_TRUE(HeapCountingWorks());
  EXPECT_EQ(heapCalls[0], 0);
  EXPECT_EQ(heapCalls[1], 0);
  EXPECT_EQ(heapCalls[2], 0) << "on the second thread";
#endif
}

// More threads than there are caches, all holding what they borrowed at once: no two
// share a cache, those left without one walk their sprites to the same pixels, and the
// caches come back when the threads end. Pixels cannot tell a walked sprite from a
// stamped one, so the loans are counted.
TEST(RotatedBlitThreads, MoreThreadsThanCachesDrawAsAloneAndGiveTheCachesBack) {
  constexpr int kThreads = 8;
  std::mt19937 rng(23);
  PlainCopyState({0, 0, 64, 64});
  DrawBlendMode = BlendAlpha;
  DrawBlendParam = 200;
  std::vector<uint8_t> runs[kThreads];
  std::deque<GuardedImage> src, alone, together;  // grows without moving its images
  for (int t = 0; t < kThreads; ++t) {
    src.emplace_back(15 + t, 22 - t, t % 2, false, true, rng);  // a sprite of its own each
    MakeSprite(src[t], rng, runs[t]);
    std::mt19937 same[2] = {std::mt19937(t), std::mt19937(t)};
    alone.emplace_back(64, 64, t % 2, false, false, same[0]);
    together.emplace_back(64, 64, t % 2, false, false, same[1]);
  }
  // The first draw borrows a cache, if one is free.
  auto first = [&](int t, GuardedImage& dst) {
    SoftDrawImageRotated(&dst.view, &src[t].view, 30, 30, 0.0f, 1.0f, 1, 0, nullptr);
  };
  for (int t = 0; t < kThreads; ++t) first(t, alone[t]), DrawTurns(alone[t], src[t]);
  const int before = LentStampCaches();  // this thread's own among them

  // All ask at once, and none starts turning before every one has asked.
  int lentAtOnce = 0;
  std::barrier ask(kThreads);
  std::barrier asked(kThreads, [&]() noexcept { lentAtOnce = LentStampCaches(); });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      ask.arrive_and_wait();
      first(t, together[t]);
      asked.arrive_and_wait();
      DrawTurns(together[t], src[t]);
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_GT(lentAtOnce, before);
  EXPECT_LT(lentAtOnce, before + kThreads) << "every thread found a cache: too few threads";
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(together[t].bytes, alone[t].bytes) << "thread " << t;
  EXPECT_EQ(LentStampCaches(), before) << "caches kept after their threads ended";
  int lentByLater = 0;
  std::thread later([&] {
    first(0, together[0]);
    lentByLater = LentStampCaches();
  });
  later.join();
  EXPECT_EQ(lentByLater, before + 1) << "a later thread found no cache";
}

}  // namespace
