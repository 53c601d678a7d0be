#pragma once
// The two walks that carry the image-source pixel operations: the rotated blit's
// bounding box and the triangle's scan-line spans. Positions are 14.18 fixed point
// (one pixel or texel = 262144) held in 64 bits, so no coordinate the callers can pass
// overflows; per row the columns whose texel lies inside the source are found up front,
// so the inner loops hold no bound test and every read stays inside the source.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "softrender/pixel_ops.h"

namespace soft {

constexpr int kFixShift = 18;
constexpr int64_t kFixOne = int64_t{1} << kFixShift;

using Int128 = __int128;

// Truncation toward zero, saturating at +-2^62 (NaN gives 0); no conversion the
// renderer makes can overflow.
inline int64_t TruncToInt64(double value) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  if (!(value == value)) return 0;
  if (value >= kLimit) return int64_t{1} << 62;
  if (value <= -kLimit) return -(int64_t{1} << 62);
  return static_cast<int64_t>(value);
}

inline Int128 FloorDiv(Int128 a, Int128 b) {  // b > 0
  Int128 q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}
inline Int128 CeilDiv(Int128 a, Int128 b) {  // b > 0
  Int128 q = a / b;
  if (a % b != 0 && a > 0) ++q;
  return q;
}

// Narrows [lo, hi) to the steps i for which 0 <= start + i * step < limit.
inline void KeepInside(Int128 start, int64_t step, int64_t limit, int& lo, int& hi) {
  Int128 first, end;  // end exclusive
  if (step == 0) {
    if (start >= 0 && start < limit) return;
    hi = lo;
    return;
  }
  if (step > 0) {
    first = start >= 0 ? Int128{0} : CeilDiv(-start, step);
    end = FloorDiv(Int128{limit} - 1 - start, step) + 1;
  } else {
    const Int128 back = -Int128{step};
    first = CeilDiv(start - (limit - 1), back);
    if (first < 0) first = 0;
    end = FloorDiv(start, back) + 1;
  }
  if (first > lo) lo = first > hi ? hi : static_cast<int>(first);
  if (end < hi) hi = end < lo ? lo : static_cast<int>(end);
}

// Where the texels of a call are read: the source view and the blend image by row and
// pitch, so no scratch table limits their size.
struct TexelSource {
  const uint8_t* src;
  intptr_t pitch;
  const uint8_t* blend;  // null without a blend image
  intptr_t blendPitch;
  int64_t uLimit, vLimit;  // source width and height in 14.18
};

// Runs kernel K over the columns [lo, hi) of one row, u and v being 14.18 texel
// positions at column 0 and stepping by du, dv per column.
template <class K>
inline void TexelRun(const PixelContext& c, const TexelSource& ts, uint8_t* row, int lo, int hi,
                     Int128 u0, Int128 v0, int64_t du, int64_t dv) {
  constexpr int bpp = K::kDstBytes;
  const int64_t uLimit = ts.uLimit, vLimit = ts.vLimit;
  KeepInside(u0, du, uLimit, lo, hi);
  KeepInside(v0, dv, vLimit, lo, hi);
  if (lo >= hi) return;
  // Inside the kept range every u and v lies in [0, limit): no overflow, no test.
  int64_t u = static_cast<int64_t>(u0 + Int128{du} * lo);
  int64_t v = static_cast<int64_t>(v0 + Int128{dv} * lo);
  uint8_t* d = row + static_cast<intptr_t>(lo) * bpp;
  for (int i = lo; i < hi; ++i, d += bpp, u += du, v += dv) {
    const intptr_t tx = u >> kFixShift, ty = v >> kFixShift;
    const uint8_t* b = nullptr;
    if constexpr (K::kBlend) b = ts.blend + ty * ts.blendPitch + tx;
    K::Pixel(d, ts.src + ty * ts.pitch + tx * K::kSrcBytes, b, c);
  }
}

// The rotated blit's box: cols x rows destination pixels from `dst`, texel position
// (u0, v0) at its top-left pixel, (du, dv) per column and (rowU, rowV) per row.
struct RotatedWalk {
  uint8_t* dst;
  intptr_t pitch;
  int cols, rows;
  int64_t u0, v0, du, dv, rowU, rowV;

  template <class K>
  void Run(const PixelContext& c, const TexelSource& ts) const {
    uint8_t* row = dst;
    for (int k = 0; k < rows; ++k, row += pitch)
      TexelRun<K>(c, ts, row, 0, cols, Int128{u0} + Int128{rowU} * k, Int128{v0} + Int128{rowV} * k,
                  du, dv);
  }
};

// One band of a triangle: rows [rowBegin, rowEnd), the left and right edge positions
// (14.18, pixel centres) at rowBegin and their steps per row.
struct TriangleBand {
  int64_t rowBegin, rowEnd;
  int64_t left, leftStep, right, rightStep;
};

// A set-up triangle: at most two bands, the clip rectangle (already the draw area cut
// to the destination) and, when textured, the plane of texel positions.
struct TriangleWalk {
  uint8_t* dst;
  intptr_t pitch;
  int clipLeft, clipTop, clipRight, clipBottom;
  int bandCount;
  TriangleBand bands[2];
  int64_t u0, v0;  // texel position at pixel (xA, yA)
  int64_t xA, yA;
  int64_t dudx, dvdx, dudy, dvdy;

  // Calls span(row pointer, row, first x, last x) for every clipped span, top down.
  // Rows above the clip cost nothing: the edges are moved there in one step.
  template <class SpanFn>
  void ForEachSpan(SpanFn&& span) const {
    for (int b = 0; b < bandCount; ++b) {
      const TriangleBand& band = bands[b];
      const int64_t first = std::max<int64_t>(band.rowBegin, clipTop);
      const int64_t end = std::min<int64_t>(band.rowEnd, clipBottom);
      if (first >= end) continue;
      // Within a band k * step never passes the edge's own length, so this fits.
      int64_t xl = band.left + (first - band.rowBegin) * band.leftStep;
      int64_t xr = band.right + (first - band.rowBegin) * band.rightStep;
      uint8_t* row = dst + static_cast<intptr_t>(first) * pitch;
      for (int64_t y = first; y < end; ++y, row += pitch, xl += band.leftStep, xr += band.rightStep) {
        const int64_t x0 = std::max<int64_t>(xl >> kFixShift, clipLeft);
        const int64_t x1 = std::min<int64_t>(xr >> kFixShift, clipRight - 1);
        if (x0 > x1) continue;
        span(row, static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1));
      }
    }
  }

  template <class K>
  void Run(const PixelContext& c, const TexelSource& ts) const {
    ForEachSpan([&](uint8_t* row, int y, int x0, int x1) {
      const Int128 u = Int128{u0} + Int128{x0 - xA} * dudx + Int128{y - yA} * dudy;
      const Int128 v = Int128{v0} + Int128{x0 - xA} * dvdx + Int128{y - yA} * dvdy;
      TexelRun<K>(c, ts, row + static_cast<intptr_t>(x0) * K::kDstBytes, 0, x1 - x0 + 1, u, v, dudx,
                  dvdx);
    });
  }

  template <class Op>
  void RunFlat(const ConstColour& k) const {
    ForEachSpan([&](uint8_t* row, int, int x0, int x1) {
      constexpr int bpp = Op::Format::kBytes;
      for (uint8_t* d = row + static_cast<intptr_t>(x0) * bpp, *end = d + (x1 - x0 + 1) * bpp; d < end;
           d += bpp)
        Op::Apply(d, k);
    });
  }
};

}  // namespace soft
