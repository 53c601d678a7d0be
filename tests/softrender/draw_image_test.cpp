#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "softrender/draw_image.h"
#include "softrender/draw_image_stretched.h"
#include "softrender/pixel_ops.h"
#include "tests/softrender/random_draws.h"

namespace {

struct Scene {
  TestImage dst, src, blend;
  bool useBlend = false;
  int trans = 0;
};

// A random destination (now and then one that must be refused), source and blend image.
Scene MakeScene(std::mt19937& rng, int depth, int kind) {
  Scene s;
  const int dstKind = Pick(rng, 30);
  const int dstDepth = dstKind == 0 ? 1 - depth : depth;
  s.dst.Init(8 + Pick(rng, 32), 8 + Pick(rng, 24), dstDepth, dstKind == 1, dstKind == 2,
             Pick(rng, 6), rng);
  const int w = 1 + Pick(rng, 24), h = 1 + Pick(rng, 24);
  s.src.Init(w, h, depth, kind == kPaletted, kind == kDirectAlpha, Pick(rng, 6), rng);
  FillSource(s.src, kind, rng);
  s.useBlend = Pick(rng, 2) == 0;
  const bool small = Pick(rng, 12) == 0 && (w > 1 || h > 1);
  s.blend.Init(small ? std::max(1, w - 1) : w + Pick(rng, 3), small ? h - (w > 1 ? 0 : 1) : h + Pick(rng, 3),
               0, 1, 0, Pick(rng, 4), rng);
  s.trans = Pick(rng, 5) == 0 ? 2 : Pick(rng, 2);
  if (s.trans == 1 && Pick(rng, 3) != 0) s.src.BuildRuns();
  return s;
}

void ExpectSameBuffers(const TestImage& got, const TestImage& want, const std::string& what) {
  ASSERT_EQ(got.buffer.size(), want.buffer.size());
  for (size_t i = 0; i < got.buffer.size(); ++i) {
    if (got.buffer[i] != want.buffer[i]) {
      const long off = static_cast<long>(i) - TestImage::kGuard;
      FAIL() << what << ": byte " << off << " (row " << off / got.body.pitch << ", byte in row "
             << off % got.body.pitch << ") is " << int{got.buffer[i]} << ", model " << int{want.buffer[i]};
    }
  }
}

// A scene for draws that find transparent pixels through the run table: wider sources
// with transparent stretches longer than one run, the run table built, the flag set.
// Fills the scene's source with transparent and drawn stretches across its rows and
// builds its run table.
void FillRunSource(Scene& s, std::mt19937& rng, int depth, int kind) {
  FillSource(s.src, kind, rng);
  const MemImageBody& b = s.src.body;
  for (int y = 0; y < s.src.image.height; ++y)
    for (int x = Pick(rng, 20); x < s.src.image.width; x += 40 + Pick(rng, 80)) {
      const int end = std::min(s.src.image.width, x + 1 + Pick(rng, 100));
      for (int i = x; i < end; ++i) {
        uint8_t* p = s.src.Pixel(i, y);
        if (kind == kPaletted) {
          *p = static_cast<uint8_t>(b.transColor < 256 ? b.transColor : 255);
        } else if (kind == kDirectAlpha) {
          p[depth == 1 ? 3 : 2] = 0;
        } else {
          std::memcpy(p, &b.transColor, b.format->bytesPerPixel);
        }
      }
    }
  if (kind == kPaletted && b.transColor >= 256) s.src.body.paletteCount = 255;
  // Drawn stretches longer than one run, which the copies take whole.
  for (int y = 0; y < s.src.image.height; ++y) {
    const int x0 = Pick(rng, s.src.image.width), end = std::min(s.src.image.width, x0 + 60 + Pick(rng, 100));
    for (int i = x0; i < end; ++i) {
      uint8_t* p = s.src.Pixel(i, y);
      if (kind == kPaletted) {
        if (*p == b.transColor || *p >= b.paletteCount) *p = static_cast<uint8_t>(b.transColor == 0 ? 0 + (b.paletteCount > 1) : 0);
      } else if (kind == kDirectAlpha) {
        p[depth == 1 ? 3 : 2] = 255;
      } else if (std::memcmp(p, &b.transColor, b.format->bytesPerPixel) == 0) {
        p[0] ^= 1;
      }
    }
  }
  s.blend.Init(s.src.image.width + Pick(rng, 3), s.src.image.height + Pick(rng, 3), 0, 1, 0, Pick(rng, 4), rng);
  s.trans = 1 + Pick(rng, 2);
  s.src.BuildRuns();
}

Scene MakeRunScene(std::mt19937& rng, int depth, int kind) {
  Scene s = MakeScene(rng, depth, kind);
  s.dst.Init(8 + Pick(rng, 120), 8 + Pick(rng, 60), depth, 0, 0, Pick(rng, 6), rng);
  s.src.Init(8 + Pick(rng, 150), 1 + Pick(rng, 30), depth, kind == kPaletted, kind == kDirectAlpha, Pick(rng, 6),
             rng);
  FillRunSource(s, rng, depth, kind);
  return s;
}

// The same with a destination that holds the whole source, so that it is drawn whole.
Scene MakeWholeRunScene(std::mt19937& rng, int depth, int kind) {
  Scene s = MakeRunScene(rng, depth, kind);
  s.dst.Init(s.src.image.width + 8 + Pick(rng, 8), s.src.image.height + 8, depth, 0, 0, Pick(rng, 6), rng);
  return s;
}

// Runs `draw` (which draws one random case into the scene's destination and its model
// copy) over every format, source kind, mode and boundary parameter, comparing whole
// buffers, guard bytes included.
template <class Draw>
void CompareWithModel(unsigned seed, Draw&& draw, Scene (*make)(std::mt19937&, int, int) = MakeScene) {
  InitBlendTables();
  std::mt19937 rng(seed);
  int draws = 0, changed = 0;
  for (int depth = 0; depth < 2; ++depth)
    for (int kind = 0; kind < kSourceKinds; ++kind)
      for (int mode : kModes)
        for (int param : kParams)
          for (int rep = 0; rep < 24; ++rep) {
            Scene s = make(rng, depth, kind);
            const ref::State st = RandomState(rng, mode, param, s.dst.image);
            TestImage want = s.dst;
            const std::vector<uint8_t> before = want.buffer;
            const MEMIMG* blend = s.useBlend ? &s.blend.image : nullptr;
            const std::string where = draw(rng, s, want, blend, st);
            ExpectSameBuffers(s.dst, want, Describe(depth, kind, st, s.trans, s.useBlend) + where);
            if (::testing::Test::HasFatalFailure()) return;
            ++draws;
            changed += want.buffer != before;
          }
  // The random cases must mostly draw something, or the comparison proves little.
  EXPECT_GT(changed, draws / 4) << changed << " of " << draws;
}

TEST(SoftDrawImage, MatchesReferenceModelForEveryModeFormatSourceKindAndVariant) {
  CompareWithModel(1234, [](std::mt19937& rng, Scene& s, TestImage& want, const MEMIMG* blend,
                            const ref::State& st) {
    const int x = Pick(rng, s.dst.image.width + 4) - 8;
    const int y = Pick(rng, s.dst.image.height + 4) - 8;
    ref::DrawImage(&want.image, &s.src.image, x, y, s.trans, blend, st);
    SoftDrawImage(&s.dst.image, &s.src.image, x, y, s.trans, blend);
    return " at " + std::to_string(x) + "," + std::to_string(y);
  });
}

TEST(SoftDrawImage, WholeSourcesWithLongRunsMatchReferenceModel) {
  CompareWithModel(
      8765,
      [](std::mt19937& rng, Scene& s, TestImage& want, const MEMIMG* blend, const ref::State& st) {
        const int x = Pick(rng, 9), y = Pick(rng, 9);
        ref::DrawImage(&want.image, &s.src.image, x, y, s.trans, blend, st);
        SoftDrawImage(&s.dst.image, &s.src.image, x, y, s.trans, blend);
        return " at " + std::to_string(x) + "," + std::to_string(y);
      },
      MakeWholeRunScene);
}

TEST(SoftDrawImage, WholeDrawThroughRunCodesMatchesClippedDrawOfTheSamePixels) {
  InitBlendTables();
  std::mt19937 rng(99);
  for (int depth = 0; depth < 2; ++depth)
    for (int kind = 0; kind < kSourceKinds; ++kind)
      for (int mode : {0, 1, 2, 3, 4, 10, 11})
        for (int rep = 0; rep < 8; ++rep) {
          // Mode 1 untinted without blend image on a source without alpha has its own
          // per-pixel forms (half-sum, Lerp6Table), so the two paths may differ there.
          if (mode == 1 && kind != kDirectAlpha) continue;
          Scene s = MakeScene(rng, depth, kind);
          s.dst.Init(40, 30, depth, 0, 0, 0, rng);
          s.src.BuildRuns();
          const ref::State st = RandomState(rng, mode, -1, s.dst.image);
          if (rep % 2 == 0) DrawBright = 0xFFFFFF;
          if (rep % 4 < 2) s.useBlend = false;
          DrawArea = {0, 0, 40, 30};
          TestImage whole = s.dst;
          const MEMIMG* blend = s.useBlend ? &s.blend.image : nullptr;
          SoftDrawImage(&whole.image, &s.src.image, 3, 2, 1, blend);
          // The same draw without its run table takes the per-pixel tests.
          s.src.body.runTableValid = 0;
          SoftDrawImage(&s.dst.image, &s.src.image, 3, 2, 1, blend);
          ExpectSameBuffers(s.dst, whole, Describe(depth, kind, st, 1, s.useBlend));
          if (HasFatalFailure()) return;
        }
}

// A source whose rows the walks request ahead of drawing them: whole through its runs,
// through the per-pixel rows, and stretched smaller and larger mirrored, whole and cut
// by the draw area.
TEST(SoftDrawImage, SourcesFetchedAheadMatchReferenceModel) {
  InitBlendTables();
  std::mt19937 rng(2626);
  for (int depth = 0; depth < 2; ++depth)
    for (int kind = 0; kind < kSourceKinds; ++kind)
      for (int mode : {0, 2})
        for (int cut = 0; cut < 2; ++cut) {
          Scene s = MakeScene(rng, depth, kind);
          s.src.Init(420, 330, depth, kind == kPaletted, kind == kDirectAlpha, 6, rng);
          FillRunSource(s, rng, depth, kind);
          ASSERT_TRUE(soft::FetchAheadPays(s.src.image.width));
          s.dst.Init(440, 350, depth, 0, 0, 2, rng);
          ref::State st = RandomState(rng, mode, 200, s.dst.image);
          st.bright = 0xFFFFFF;  // untinted: the kernels that take blocks of pixels
          st.area = cut ? Rect{13, 7, 300, 250} : Rect{0, 0, 440, 350};
          SetDrawState(st.mode, st.p, st.bright, st.area);
          TestImage want = s.dst;
          for (int trans : {0, 1}) {
            ref::DrawImage(&want.image, &s.src.image, 9, 11, trans, nullptr, st);
            SoftDrawImage(&s.dst.image, &s.src.image, 9, 11, trans, nullptr);
          }
          for (const Rect& r : {Rect{5, 4, 215, 170}, Rect{430, 340, -30, -20}}) {
            ref::DrawImageStretched(&want.image, &s.src.image, r, 1, nullptr, st);
            SoftDrawImageStretched(&s.dst.image, &s.src.image, &r, 1, nullptr);
          }
          ExpectSameBuffers(s.dst, want, Describe(depth, kind, st, 1, false));
          if (HasFatalFailure()) return;
        }
}

// RGB565 sprites with alpha under the modes drawn eight pixels at a time: every row length
// around the block size and around the widest run-coded sprite taken in blocks, each
// drawn whole through its runs and cut by the draw area on either side.
TEST(SoftDrawImage, SpritesWithAlphaMatchReferenceModelAtEveryRowLength) {
  InitBlendTables();
  std::mt19937 rng(2929);
  const int widths[] = {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 23, 24, 25, 40, 63, 64, 65};
  const ref::State states[] = {{0, 255, 0xFFFFFF, {}, {}}, {1, 255, 0xFFFFFF, {}, {}},
                               {2, 255, 0xFFFFFF, {}, {}}, {2, 77, 0xFFFFFF, {}, {}},
                               {3, 255, 0xFFFFFF, {}, {}}, {3, 200, 0xFFFFFF, {}, {}}};
  for (int width : widths)
    for (ref::State st : states)
      for (int cut = 0; cut < 3; ++cut) {
        TestImage src, dst;
        src.Init(width, 1 + Pick(rng, 5), 0, 0, 1, Pick(rng, 3) * 4, rng);
        FillSource(src, kDirectAlpha, rng);
        src.BuildRuns();
        dst.Init(width + 24, 12, 0, 0, 0, Pick(rng, 4) * 2, rng);
        // cut 0: all of it; 1: its first three columns; 2: its last two.
        st.area = {cut == 1 ? 11 : 0, 0, cut == 2 ? 8 + width - 2 : dst.image.width, dst.image.height};
        SetDrawState(st.mode, st.p, st.bright, st.area);
        TestImage want = dst;
        ref::DrawImage(&want.image, &src.image, 8, 3, 1, nullptr, st);
        SoftDrawImage(&dst.image, &src.image, 8, 3, 1, nullptr);
        ExpectSameBuffers(dst, want, "width " + std::to_string(width) + " cut " + std::to_string(cut) +
                                         Describe(0, kDirectAlpha, st, 1, false));
        if (HasFatalFailure()) return;
      }
}

// One random stretched draw of the scene, enlarged or reduced up to `maxW` x `maxH`.
std::string DrawStretchedCase(std::mt19937& rng, Scene& s, TestImage& want, const MEMIMG* blend,
                              const ref::State& st, int maxW, int maxH) {
  Rect r;
  r.left = Pick(rng, s.dst.image.width + 4) - 8;
  r.top = Pick(rng, s.dst.image.height + 4) - 8;
  const int sizeCase = Pick(rng, 8);
  const int w = sizeCase == 0 ? s.src.image.width : sizeCase == 1 ? 0 : 1 + Pick(rng, maxW);
  const int h = sizeCase == 0 ? s.src.image.height : 1 + Pick(rng, maxH);
  r.right = r.left + w;
  r.bottom = r.top + h;
  if (Pick(rng, 3) == 0) std::swap(r.left, r.right);
  if (Pick(rng, 3) == 0) std::swap(r.top, r.bottom);
  ref::DrawImageStretched(&want.image, &s.src.image, r, s.trans, blend, st);
  SoftDrawImageStretched(&s.dst.image, &s.src.image, &r, s.trans, blend);
  return " rect " + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(SoftDrawImageStretched, MatchesReferenceModelForEveryModeFormatSourceKindAndMirroring) {
  CompareWithModel(5678, [](std::mt19937& rng, Scene& s, TestImage& want, const MEMIMG* blend,
                            const ref::State& st) { return DrawStretchedCase(rng, s, want, blend, st, 50, 40); });
}

// Transparent stretches skipped a run at a time, through the scale and the mirroring,
// whatever part of them the clip leaves.
TEST(SoftDrawImageStretched, SkipsThroughRunTablesExactlyAsThePerPixelTests) {
  CompareWithModel(
      4321,
      [](std::mt19937& rng, Scene& s, TestImage& want, const MEMIMG* blend, const ref::State& st) {
        return DrawStretchedCase(rng, s, want, blend, st, 260, 70);
      },
      MakeRunScene);
}

// RGB565 sprites with alpha added and subtracted untinted, the commonest large stretch,
// taken sixteen pixels at a time where the processor can: spans of every length around
// the block, enlarged and reduced, mirrored, through the runs and through the per-pixel
// test (which draws the texels of alpha 0 a run table would skip).
TEST(SoftDrawImageStretched, SpritesWithAlphaAddedMatchReferenceModelAtEveryRowLength) {
  InitBlendTables();
  std::mt19937 rng(1616);
  const ref::State states[] = {{2, 255, 0xFFFFFF, {}, {}}, {2, 77, 0xFFFFFF, {}, {}},
                               {3, 255, 0xFFFFFF, {}, {}}, {3, 200, 0xFFFFFF, {}, {}}};
  for (int width = 1; width <= 40; ++width)
    for (const ref::State& base : states)
      for (int rep = 0; rep < 4; ++rep) {
        TestImage src, dst;
        src.Init(4 + Pick(rng, 30), 1 + Pick(rng, 6), 0, 0, 1, Pick(rng, 3) * 4, rng);
        FillSource(src, kDirectAlpha, rng);
        if (rep % 2 == 0) src.BuildRuns();
        dst.Init(width + 20, 14, 0, 0, 0, Pick(rng, 4) * 2, rng);
        ref::State st = base;
        st.area = rep < 2 ? Rect{0, 0, dst.image.width, dst.image.height} : Rect{3 + Pick(rng, 6), 0, width + 14, 14};
        SetDrawState(st.mode, st.p, st.bright, st.area);
        const int h = 1 + Pick(rng, 12);
        Rect r = {5, 1, 5 + width, 1 + h};
        if (Pick(rng, 3) == 0) std::swap(r.left, r.right);
        if (Pick(rng, 3) == 0) std::swap(r.top, r.bottom);
        TestImage want = dst;
        ref::DrawImageStretched(&want.image, &src.image, r, 1, nullptr, st);
        SoftDrawImageStretched(&dst.image, &src.image, &r, 1, nullptr);
        ExpectSameBuffers(dst, want, "width " + std::to_string(width) + " source " + std::to_string(src.image.width) +
                                         " rep " + std::to_string(rep) + Describe(0, kDirectAlpha, st, 1, false));
        if (HasFatalFailure()) return;
      }
}

}  // namespace
