#include "softrender/rotated_blit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/util.h"
#include "softrender/draw_state.h"
#include "softrender/image_walks.h"
#include "softrender/triangle.h"

using namespace soft;

namespace {

// Sources this size or larger would not fit 14.18 texel positions in 31 bits.
constexpr int kMaxSourceSize = 8192;

// Floor of a 14.18 value in whole pixels, or false when it leaves the int range.
bool FixToPixel(int64_t fix, int* pixel) {
  const int64_t whole = fix >> kFixShift;
  if (whole < INT32_MIN || whole > INT32_MAX) return false;
  *pixel = static_cast<int>(whole);
  return true;
}

}  // namespace

void SoftDrawImageRotated(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle,
                          float scale, int transFlag, int turnFlag, const MEMIMG* blendImage) {
  if (!DrawableTarget(dst) || !DrawableSource(src, dst) || !BlendImageCovers(blendImage, src))
    return;
  if (!std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f) return;
  if (src->width <= 0 || src->height <= 0 || src->width >= kMaxSourceSize ||
      src->height >= kMaxSourceSize)
    return;

  // Geometry in single precision, each step rounded to float as the callers expect.
  float sine, cosine;
  ComputeSinCos(angle, &sine, &cosine);
  // Both products lie within +-262144, so the plain conversion truncates as FloatToInt does.
  const int c = static_cast<int>(cosine * 262144.0f);
  const int s = static_cast<int>(sine * 262144.0f);
  const float hw = static_cast<float>(src->width) * scale * 0.5f;
  const float hh = static_cast<float>(src->height) * scale * 0.5f;
  const float a = static_cast<float>(c) * hw, b = static_cast<float>(s) * hw;
  const float cc = static_cast<float>(c) * hh, d = static_cast<float>(s) * hh;
  const int64_t ox = int64_t{cx} * kFixOne, oy = int64_t{cy} * kFixOne;
  // Corners: source top-left, bottom-left, bottom-right, top-right.
  const int64_t x[4] = {TruncToInt64(-a + d) + ox, TruncToInt64(-a - d) + ox,
                        TruncToInt64(a - d) + ox, TruncToInt64(a + d) + ox};
  const int64_t y[4] = {TruncToInt64(-cc - b) + oy, TruncToInt64(cc - b) + oy,
                        TruncToInt64(cc + b) + oy, TruncToInt64(-cc + b) + oy};

  if (turnFlag) {
    // Mirrored: the quad puts texel column 0 on its first corner, the top-right one.
    static constexpr int kOrder[4] = {3, 0, 2, 1};
    int corners[8];
    for (int i = 0; i < 4; ++i)
      if (!FixToPixel(x[kOrder[i]], &corners[2 * i]) || !FixToPixel(y[kOrder[i]], &corners[2 * i + 1]))
        return;
    SoftDrawImageQuad(dst, src, corners, transFlag, blendImage);
    return;
  }

  // The box of the four corners, widened by 2 pixels up-left and 4 down-right.
  const int64_t minX = *std::min_element(x, x + 4), maxX = *std::max_element(x, x + 4);
  const int64_t minY = *std::min_element(y, y + 4), maxY = *std::max_element(y, y + 4);
  const Rect area = ClipAreaTo(dst, DrawArea);
  const int64_t left = std::max<int64_t>(minX / kFixOne - 2, area.left);
  const int64_t top = std::max<int64_t>(minY / kFixOne - 2, area.top);
  const int64_t right = std::min<int64_t>(maxX / kFixOne + 4, area.right);
  const int64_t bottom = std::min<int64_t>(maxY / kFixOne + 4, area.bottom);
  if (left >= right || top >= bottom) return;

  // Texel position of a destination point by the inverse turn; the centre maps to
  // texel (width / 2, height / 2).
  const int64_t halfU = int64_t{src->width >> 1} * kFixOne;
  const int64_t halfV = int64_t{src->height >> 1} * kFixOne;
  // Sprites are mostly drawn at scale 1, where the quotient is the numerator exactly:
  // six divisions saved per call.
  const bool unscaled = scale == 1.0f;
  auto byScale = [&](float num) { return unscaled ? num : num / scale; };
  auto texelU = [&](int64_t px, int64_t py) {
    return TruncToInt64(byScale(static_cast<float>((px - cx) * c + (py - cy) * s))) + halfU;
  };
  auto texelV = [&](int64_t px, int64_t py) {
    return TruncToInt64(byScale(static_cast<float>((py - cy) * c - (px - cx) * s))) + halfV;
  };

  RotatedWalk walk;
  walk.pitch = dst->body->pitch;
  walk.dst = dst->pixels + top * walk.pitch + left * dst->body->format->bytesPerPixel;
  walk.cols = static_cast<int>(right - left);
  walk.rows = static_cast<int>(bottom - top);
  walk.roomRight = static_cast<int>(dst->width - left);
  walk.u0 = texelU(left, top);
  walk.v0 = texelV(left, top);
  walk.du = MakeColumnStep(TruncToInt64(byScale(static_cast<float>(c))));
  walk.dv = MakeColumnStep(TruncToInt64(byScale(static_cast<float>(-s))));
  // Positions saturate at 2^62, so a difference of two below that fits 64 bits.
  auto rowStep = [&](int64_t end, int64_t start) {
    constexpr int64_t kSat = int64_t{1} << 62;
    if (end > -kSat && end < kSat && start > -kSat && start < kSat) return (end - start) / walk.rows;
    return static_cast<int64_t>((Int128{end} - start) / walk.rows);
  };
  walk.rowU = rowStep(texelU(left, bottom), walk.u0);
  walk.rowV = rowStep(texelV(left, bottom), walk.v0);

  const TexelSource texels = {src->pixels, src->body->pitch, blendImage ? blendImage->pixels : nullptr,
                              blendImage ? blendImage->body->pitch : 0,
                              int64_t{src->width} * kFixOne, int64_t{src->height} * kFixOne};
  PixelContext context;
  PreparePixelContext(&context, src->body, transFlag != 0);
  const ImageCall call = {src->body, DrawBlendMode, BlendParam(), blendImage != nullptr,
                          TintOn(DrawBright), transFlag != 0};
  DispatchImage<Flavor::Scaled>(call, [&](auto kernel) {
    walk.Run<decltype(kernel)>(context, texels);
  });
}
