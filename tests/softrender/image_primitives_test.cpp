// The rotated blit, the textured triangle and the image quad against the naive model,
// over random geometry and draw states, and a paletted source's transparent index through
// the rotated blit.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "image/blend_tables.h"
#include "image/memimg.h"
#include "softrender/draw_state.h"
#include "softrender/rotated_blit.h"
#include "softrender/triangle.h"
#include "tests/softrender/primitive_images.h"
#include "tests/softrender/primitive_model.h"

namespace {

// The test's own weight mapping, installed into the renderer's table.
std::array<uint8_t, 256> RandomWeights(std::mt19937& rng) {
  std::array<uint8_t, 256> w;
  for (auto& v : w) v = static_cast<uint8_t>(rng());
  w[0] = 0;
  w[255] = 255;
  for (int i = 0; i < 256; ++i) BlendImageWeightTable[i] = w[i];
  return w;
}

// Sprinkles the values the rules single out: the colour key, alpha 0 / 255 / near them,
// palette indexes past the palette's entries and the transparent index.
void FillSource(GuardedImage& img, SourceKind kind, std::mt19937& rng) {
  MemImageBody& b = img.body;
  if (kind == kPaletted) {
    b.paletteCount = Pick(rng, 3) == 0 ? 1 + Pick(rng, 256) : 256;
    b.transColor = Pick(rng, 5) == 0 ? 256u : static_cast<uint32_t>(Pick(rng, 256));
  } else {
    b.transColor = b.depthClass == 1 ? static_cast<uint32_t>(rng()) : rng() & 0xFFFF;
  }
  static const int kAlphaValues[] = {0, 255, 1, 254, 128};
  for (int y = 0; y < img.view.height; ++y)
    for (int x = 0; x < img.view.width; ++x) {
      uint8_t* p = img.At(x, y);
      if (kind == kPaletted) {
        if (Pick(rng, 4) == 0) *p = static_cast<uint8_t>(b.transColor);
      } else if (kind == kDirect) {
        if (Pick(rng, 4) == 0) std::memcpy(p, &b.transColor, b.depthClass == 1 ? 4 : 2);
      } else if (Pick(rng, 2) == 0) {
        p[b.depthClass == 1 ? 3 : 2] = static_cast<uint8_t>(kAlphaValues[Pick(rng, 5)]);
      }
    }
}

Rect RandomArea(std::mt19937& rng, int w, int h) {
  if (Pick(rng, 4) == 0) return {-5, -5, w + 9, h + 9};  // larger than the destination
  const int l = Pick(rng, w / 2), t = Pick(rng, h / 2);
  return {l, t, l + 1 + Pick(rng, w - l), t + 1 + Pick(rng, h - t)};
}

std::string Describe(int depth, SourceKind kind, int mode, int p, uint32_t bright, int trans, bool blend) {
  char s[160];
  std::snprintf(s, sizeof s, "depth %d kind %d mode %d p %d bright %08X trans %d blend %d", depth,
                kind, mode, p, bright, trans, blend);
  return s;
}

// Runs `draw(renderer images)` and `drawModel(model images)` over every source kind,
// mode, parameter and sub-variant, with fresh random images each time, and compares the
// whole destination body.
template <class Draw, class DrawModel>
void CompareEverywhere(unsigned seed, Draw draw, DrawModel drawModel) {
  std::mt19937 rng(seed);
  InitBlendTables();
  for (int depth = 0; depth < 2; ++depth)
    for (int k = 0; k < kSourceKinds; ++k)
      for (int mode : kModes)
        for (int variant = 0; variant < 8; ++variant)
          for (int param : kParams) {
            const int p = param < 0 ? Pick(rng, 256) : param;
            const SourceKind kind = static_cast<SourceKind>(k);
            const bool blend = variant & 4;
            const int trans = variant & 1 ? 1 + Pick(rng, 5) : 0;
            const uint32_t bright = variant & 2 ? RandomBright(rng) : 0x00FFFFFF;
            GuardedImage src(1 + Pick(rng, 11), 1 + Pick(rng, 11), depth, kind == kPaletted,
                             kind == kDirectAlpha, rng);
            FillSource(src, kind, rng);
            GuardedImage dst(20 + Pick(rng, 8), 20 + Pick(rng, 8), depth, false, false, rng);
            GuardedImage blendImage(src.view.width + Pick(rng, 3), src.view.height + Pick(rng, 3), 0,
                                    true, false, rng);
            const auto weights = RandomWeights(rng);
            model::State st;
            st.mode = mode;
            st.p = p;
            st.bright = bright;
            st.area = RandomArea(rng, dst.view.width, dst.view.height);
            st.weights = weights.data();
            SetDrawState(st.mode, st.p, st.bright, st.area);
            model::Image want = dst.Model();
            const model::Image srcModel = src.Model(), blendModel = blendImage.Model();
            const unsigned geometry = static_cast<unsigned>(rng());
            drawModel(want, srcModel, blend ? &blendModel : nullptr, trans, st, geometry);
            draw(dst, src, blend ? &blendImage : nullptr, trans, geometry);
            if (dst.bytes != want.bytes) {
              size_t at = 0;
              while (dst.bytes[at] == want.bytes[at]) ++at;
              FAIL() << Describe(depth, kind, mode, p, bright, trans, blend) << " geometry " << geometry
                     << ": byte " << at << " is " << int(dst.bytes[at]) << ", model "
                     << int(want.bytes[at]);
            }
          }
}

struct TriangleGeometry {
  int v[3][4];
  explicit TriangleGeometry(unsigned seed, int srcW, int srcH) {
    std::mt19937 rng(seed);
    for (auto& p : v) {
      p[0] = -8 + Pick(rng, 44);
      p[1] = -8 + Pick(rng, 44);
      p[2] = -3 + Pick(rng, srcW + 7);
      p[3] = -3 + Pick(rng, srcH + 7);
    }
  }
};

TEST(ImagePrimitives, TriangleMatchesModelForEveryKindModeAndVariant) {
  CompareEverywhere(
      11,
      [](GuardedImage& dst, GuardedImage& src, GuardedImage* blend, int trans, unsigned g) {
        const TriangleGeometry t(g, src.view.width, src.view.height);
        SoftTriVertex v[3];
        for (int i = 0; i < 3; ++i) v[i] = {t.v[i][0], t.v[i][1], t.v[i][2], t.v[i][3]};
        SoftDrawTriangle(&dst.view, &src.view, v, trans, blend ? &blend->view : nullptr, 0);
      },
      [](model::Image& dst, const model::Image& src, const model::Image* blend, int trans,
         const model::State& st, unsigned g) {
        const TriangleGeometry t(g, src.width, src.height);
        model::Triangle(dst, &src, t.v, trans != 0, blend, 0, st);
      });
}

// Texel positions far apart across a few pixels: steps of thousands of texels per pixel.
TEST(ImagePrimitives, TriangleWithSteepTexelMappingMatchesModel) {
  CompareEverywhere(
      14,
      [](GuardedImage& dst, GuardedImage& src, GuardedImage* blend, int trans, unsigned g) {
        TriangleGeometry t(g, src.view.width, src.view.height);
        std::mt19937 rng(g);
        SoftTriVertex v[3];
        for (int i = 0; i < 3; ++i)
          v[i] = {t.v[i][0], t.v[i][1], Pick(rng, 80001) - 40000, t.v[i][3]};
        SoftDrawTriangle(&dst.view, &src.view, v, trans, blend ? &blend->view : nullptr, 0);
      },
      [](model::Image& dst, const model::Image& src, const model::Image* blend, int trans,
         const model::State& st, unsigned g) {
        TriangleGeometry t(g, src.width, src.height);
        std::mt19937 rng(g);
        for (auto& p : t.v) p[2] = Pick(rng, 80001) - 40000;
        model::Triangle(dst, &src, t.v, trans != 0, blend, 0, st);
      });
}

struct RotationGeometry {
  int cx, cy, turn;
  float angle, scale;
  explicit RotationGeometry(unsigned seed) {
    std::mt19937 rng(seed);
    static const float kScales[] = {1.0f, 2.0f, 0.5f, -1.0f, 3.7f, 0.3f};
    static const float kAngles[] = {0.0f, 1.5707964f, 3.1415927f, -0.5f};
    cx = -6 + Pick(rng, 40);
    cy = -6 + Pick(rng, 40);
    angle = Pick(rng, 2) ? kAngles[Pick(rng, 4)] : std::ldexp(float(rng() % 100000), -12) - 12.0f;
    scale = kScales[Pick(rng, 6)];
    turn = Pick(rng, 5) == 0;
  }
};

TEST(ImagePrimitives, RotatedBlitMatchesModelForEveryKindModeAndVariant) {
  CompareEverywhere(
      12,
      [](GuardedImage& dst, GuardedImage& src, GuardedImage* blend, int trans, unsigned g) {
        const RotationGeometry r(g);
        SoftDrawImageRotated(&dst.view, &src.view, r.cx, r.cy, r.angle, r.scale, trans, r.turn,
                             blend ? &blend->view : nullptr);
      },
      [](model::Image& dst, const model::Image& src, const model::Image* blend, int trans,
         const model::State& st, unsigned g) {
        const RotationGeometry r(g);
        model::Rotated(dst, src, r.cx, r.cy, r.angle, r.scale, trans != 0, r.turn != 0, blend, st);
      });
}

// Sprites whose box is taller than the walk takes rows at a time, and turns that keep
// one axis still, in the RGB565 modes drawn eight texels at a time.
TEST(ImagePrimitives, RotatedBlitOfTallBoxesMatchesModel) {
  InitBlendTables();
  std::mt19937 rng(29);
  const float kAngles[] = {0.3f, -2.0f, 1.5707964f, 0.0f, 4.0f};
  const float kScales[] = {1.0f, 2.5f, -1.7f, 0.9f};
  for (int mode : {0, 1, 2, 3})
    for (int alpha = 0; alpha < 2; ++alpha)
      for (float angle : kAngles)
        for (float scale : kScales) {
          GuardedImage src(20 + Pick(rng, 40), 20 + Pick(rng, 40), 0, false, alpha == 1, rng);
          FillSource(src, alpha ? kDirectAlpha : kDirect, rng);
          GuardedImage dst(150 + Pick(rng, 20), 170 + Pick(rng, 20), 0, false, false, rng);
          model::State st;
          st.mode = mode;
          st.p = mode == 1 ? 255 : 1 + Pick(rng, 255);
          st.area = {-5, -5, 400, 400};
          SetDrawState(st.mode, st.p, st.bright, st.area);
          model::Image want = dst.Model();
          const int cx = 20 + Pick(rng, 110), cy = 20 + Pick(rng, 130), trans = Pick(rng, 2);
          model::Rotated(want, src.Model(), cx, cy, angle, scale, trans != 0, false, nullptr, st);
          SoftDrawImageRotated(&dst.view, &src.view, cx, cy, angle, scale, trans, 0, nullptr);
          ASSERT_EQ(dst.bytes, want.bytes) << "mode " << mode << " alpha " << alpha << " angle " << angle
                                           << " scale " << scale << " at " << cx << "," << cy;
        }
}

// A sprite like the game's: an ellipse of random texels (alpha, key and index values the
// rules single out among them) in a margin that is all skipped, with its run table built
// into `runs`.
void FillSprite(GuardedImage& img, SourceKind kind, std::mt19937& rng, std::vector<uint8_t>& runs) {
  FillSource(img, kind, rng);
  MemImageBody& b = img.body;
  const int w = img.view.width, h = img.view.height;
  const int bpp = b.format->bytesPerPixel;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double ex = (x + 0.5) / w * 2 - 1, ey = (y + 0.5) / h * 2 - 1;
      if (ex * ex + ey * ey <= 1.0) continue;
      uint8_t* p = img.At(x, y);
      if (kind == kDirectAlpha) p[b.depthClass == 1 ? 3 : 2] = 0;
      else if (kind == kPaletted) *p = static_cast<uint8_t>(b.paletteCount < 256 ? 255 : b.transColor);
      else std::memcpy(p, &b.transColor, bpp);
    }
  runs.assign(static_cast<size_t>(w + 1) * h, 0);
  b.transRunTable = runs.data();
  b.runTableCapacity = static_cast<int>(runs.size());
  BuildTransRunTable(&img.view);
}

std::string Where(int depth, int kind, int mode, int trans, float angle, float scale, int cx, int cy) {
  char s[160];
  std::snprintf(s, sizeof s, "depth %d kind %d mode %d trans %d angle %g scale %g at %d,%d", depth, kind, mode,
                trans, angle, scale, cx, cy);
  return s;
}

// Sprites whose run table is known, drawn again and again at two turns and one scale:
// the walk kept to the texels that can be drawn, and the copies kept for repeated turns
// made and used, against the model. The centres sweep across every edge of the clip.
TEST(ImagePrimitives, RepeatedSpritesWithKnownRunsMatchModel) {
  InitBlendTables();
  std::mt19937 rng(31);
  struct Draw {
    int cx, cy, turn;
  };
  std::vector<Draw> draws = {{35, 35, 0}, {30, 40, 0}, {35, 35, 0}};
  for (int t = -2; t < 22; ++t)
    for (Draw d : {Draw{t, 35, 0}, Draw{35, t, 0}, Draw{69 - t, 35, 0}, Draw{35, 69 - t, 0}}) draws.push_back(d);
  for (Draw d : {Draw{35, 35, 1}, Draw{35, 35, 1}, Draw{36, 33, 1}, Draw{35, 35, 0}}) draws.push_back(d);
  for (int depth = 0; depth < 2; ++depth)
    for (SourceKind kind : {kDirectAlpha, kDirect, kPaletted})
      for (int mode : kModes)
        for (int round = 0; round < 3; ++round) {
          GuardedImage src(3 + Pick(rng, 30), 3 + Pick(rng, 30), depth, kind == kPaletted, kind == kDirectAlpha,
                           rng);
          std::vector<uint8_t> runs;
          FillSprite(src, kind, rng, runs);
          GuardedImage dst(70, 70, depth, false, false, rng);
          GuardedImage blendImage(src.view.width, src.view.height, 0, true, false, rng);
          const bool blend = Pick(rng, 6) == 0;
          const auto weights = RandomWeights(rng);
          model::State st;
          st.mode = mode;
          st.p = Pick(rng, 3) == 0 ? 255 : 1 + Pick(rng, 255);
          st.bright = Pick(rng, 4) == 0 ? RandomBright(rng) : 0x00FFFFFF;
          st.area = Pick(rng, 3) == 0 ? Rect{8, 5, 64, 68} : Rect{0, 0, 70, 70};
          st.weights = weights.data();
          SetDrawState(st.mode, st.p, st.bright, st.area);
          const float angles[2] = {std::ldexp(float(rng() % 100000), -12) - 12.0f,
                                   std::ldexp(float(rng() % 100000), -12) - 12.0f};
          static const float kScales[] = {1.0f, 1.0f, 0.6f, 1.7f, -1.0f};
          const float scale = kScales[Pick(rng, 5)];
          const int trans = Pick(rng, 5) == 0 ? 0 : 1 + Pick(rng, 2);
          model::Image want = dst.Model();
          const model::Image srcModel = src.Model(), blendModel = blendImage.Model();
          for (const Draw& d : draws) {
            const float angle = angles[d.turn];
            model::Rotated(want, srcModel, d.cx, d.cy, angle, scale, trans != 0, false, blend ? &blendModel : nullptr,
                           st);
            SoftDrawImageRotated(&dst.view, &src.view, d.cx, d.cy, angle, scale, trans, 0,
                                 blend ? &blendImage.view : nullptr);
            ASSERT_EQ(dst.bytes, want.bytes) << Where(depth, kind, mode, trans, angle, scale, d.cx, d.cy);
          }
        }
}

// What is kept of a turned sprite follows its pixels: recoloured with the same alpha
// everywhere (the same runs), changed in part (runs unknown), and rebuilt whole.
TEST(ImagePrimitives, TurnedSpritesFollowTheirSourcesChanges) {
  std::mt19937 rng(7);
  for (int depth = 0; depth < 2; ++depth) {
    GuardedImage src(12, 16, depth, false, true, rng);
    std::vector<uint8_t> runs;
    FillSprite(src, kDirectAlpha, rng, runs);
    GuardedImage dst(64, 64, depth, false, false, rng);
    model::State st;
    st.area = {0, 0, 64, 64};
    PlainCopyState(st.area);
    model::Image want = dst.Model();
    auto drawTwice = [&](const char* step) {
      for (int centre : {30, 33}) {
        model::Rotated(want, src.Model(), centre, centre, 0.7f, 1.0f, true, false, nullptr, st);
        SoftDrawImageRotated(&dst.view, &src.view, centre, centre, 0.7f, 1.0f, 1, 0, nullptr);
        ASSERT_EQ(dst.bytes, want.bytes) << step << " depth " << depth << " at " << centre;
      }
    };
    drawTwice("first");
    drawTwice("again");
    auto recolour = [&](int x0, int y0, int w, int h) {
      for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) src.At(x, y)[0] ^= 0x5A;  // colour bits only
    };
    recolour(0, 0, 12, 16);
    NoteMemImageTransfer(&src.view, 0, 0, 12, 16);
    drawTwice("recoloured");
    recolour(2, 3, 5, 5);
    NoteMemImageTransfer(&src.view, 2, 3, 5, 5);
    drawTwice("changed in part");
    drawTwice("changed in part, again");
    BuildTransRunTable(&src.view);
    drawTwice("rebuilt");
    drawTwice("rebuilt, again");
  }
}

TEST(ImagePrimitives, ImageQuadMatchesModelOnRandomCorners) {
  CompareEverywhere(
      13,
      [](GuardedImage& dst, GuardedImage& src, GuardedImage* blend, int trans, unsigned g) {
        std::mt19937 rng(g);
        int c[8];
        for (int& v : c) v = -10 + Pick(rng, 45);
        SoftDrawImageQuad(&dst.view, &src.view, c, trans, blend ? &blend->view : nullptr);
      },
      [](model::Image& dst, const model::Image& src, const model::Image* blend, int trans,
         const model::State& st, unsigned g) {
        std::mt19937 rng(g);
        int c[8];
        for (int& v : c) v = -10 + Pick(rng, 45);
        model::Quad(dst, src, c, trans != 0, blend, st);
      });
}

TEST(ImagePrimitives, PalettedTransparencyComparesTheIndexNotTheColour) {
  InitBlendTables();
  std::mt19937 rng(6);
  for (int depth = 0; depth < 2; ++depth)
    for (uint32_t key : {0u, 256u, 0xFFFFFFFFu}) {
      GuardedImage src(2, 1, depth, true, false, rng);
      src.palette32[0] = src.palette32[1] = 0x00445566;
      src.palette16[0] = src.palette16[1] = 0x4566;
      *src.At(0, 0) = 0;
      *src.At(1, 0) = 1;
      src.body.transColor = key;
      GuardedImage dst(4, 3, depth, false, false, rng);
      std::vector<uint8_t> before = dst.bytes;
      PlainCopyState({0, 0, 4, 3});
      SoftDrawImageRotated(&dst.view, &src.view, 2, 1, 0.0f, 1.0f, 1, 0, nullptr);
      const uint32_t want = depth == 1 ? 0x00445566u : 0x4566u;
      uint32_t left = 0, right = 0;
      std::memcpy(&left, dst.At(1, 1), depth == 1 ? 4 : 2);
      std::memcpy(&right, dst.At(2, 1), depth == 1 ? 4 : 2);
      EXPECT_EQ(right, want) << "index 1 is drawn";
      if (key == 0)
        EXPECT_EQ(0, std::memcmp(dst.At(1, 1), &before[dst.At(1, 1) - dst.bytes.data()], depth == 1 ? 4 : 2))
            << "index 0 is the transparent index";
      else
        EXPECT_EQ(left, want) << "a transparent index of " << key << " matches nothing";
    }
}

}  // namespace
