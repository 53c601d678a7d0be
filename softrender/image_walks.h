#pragma once
// The two walks that carry the image-source pixel operations: the rotated blit's
// bounding box and the triangle's scan-line spans. Positions are 14.18 fixed point
// (one pixel or texel = 262144) held in 64 bits, so no coordinate the callers can pass
// overflows; per row the columns whose texel lies inside the source are found up front,
// so the inner loops hold no bound test and every read stays inside the source.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

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

// The smallest q in [lo, hi] with q * b >= x (b > 0): ceil(x / b) clamped. A floating
// estimate, then exact integer corrections, so no wide division is needed.
inline int CeilDivClamped(Int128 x, int64_t b, int lo, int hi) {
  if (x <= Int128{b} * lo) return lo;
  if (x > Int128{b} * (hi - 1)) return hi;
  const double e = std::ceil(static_cast<double>(x) / static_cast<double>(b));
  int q = e < lo ? lo : e > hi ? hi : static_cast<int>(e);
  while (q > lo && x <= Int128{b} * (q - 1)) --q;
  while (q < hi && x > Int128{b} * q) ++q;
  return q;
}

// Narrows [lo, hi) to the steps i for which 0 <= start + i * step < limit, which are one
// run of consecutive i because the position moves in a straight line: for step > 0,
// i >= ceil(-start / step) and i < ceil((limit - start) / step); for a negative step the
// same with the roles of 0 and limit - 1 exchanged. 128 bits, for extreme positions.
inline void KeepInside(Int128 start, int64_t step, int64_t limit, int& lo, int& hi) {
  if (lo >= hi) return;
  auto inside = [&](int i) {
    const Int128 at = start + Int128{step} * i;
    return at >= 0 && at < limit;
  };
  if (inside(lo) && inside(hi - 1)) return;  // both ends inside: all inside
  if (step == 0) {
    hi = lo;
    return;
  }
  const int64_t b = step > 0 ? step : -step;
  lo = CeilDivClamped(step > 0 ? -start : start - (limit - 1), b, lo, hi);
  hi = std::max(lo, CeilDivClamped(step > 0 ? Int128{limit} - start : start + 1, b, lo, hi));
}

// A per-column texel step with what the narrowing needs, worked out once per call.
struct ColumnStep {
  int64_t step = 0;
  int64_t size = 0;     // |step|
  double inverse = 0;   // 1 / |step|
  bool narrow = false;  // |step| < 2^31: positions along a row fit 64 bits
};
inline ColumnStep MakeColumnStep(int64_t step) {
  ColumnStep s;
  s.step = step;
  s.size = step < 0 ? -step : step;
  s.inverse = s.size ? 1.0 / static_cast<double>(s.size) : 0.0;
  s.narrow = s.size < (int64_t{1} << 31);
  return s;
}

// ceil(x / |step|) clamped to [lo, hi], for x, |step| * hi within 2^62: a floating
// estimate corrected exactly.
inline int CeilDivNarrow(int64_t x, const ColumnStep& s, int lo, int hi) {
  const int64_t b = s.size;
  if (x <= b * lo) return lo;
  if (x > b * (hi - 1)) return hi;
  const double e = std::ceil(static_cast<double>(x) * s.inverse);
  int q = e < lo ? lo : e > hi ? hi : static_cast<int>(e);
  while (q > lo && x <= b * (q - 1)) --q;
  while (q < hi && x > b * q) ++q;
  return q;
}

// KeepInside for a start within 2^61 and a narrow step: plain 64-bit arithmetic.
[[gnu::always_inline]] inline void KeepInsideNarrow(int64_t start, const ColumnStep& s,
                                                    int64_t limit, int& lo, int& hi) {
  if (lo >= hi) return;
  auto inside = [&](int i) {
    return static_cast<uint64_t>(start + s.step * i) < static_cast<uint64_t>(limit);
  };
  // Ends one or two steps outside, common on the edges of thin shapes, are stepped over;
  // farther ones are found by division.
  if (!inside(lo)) {
    if (lo + 1 < hi && inside(lo + 1))
      lo += 1;
    else if (lo + 2 < hi && inside(lo + 2))
      lo += 2;
    else if (s.step == 0)
      lo = hi;
    else
      lo = CeilDivNarrow(s.step > 0 ? -start : start - (limit - 1), s, lo, hi);
  }
  if (lo < hi && !inside(hi - 1)) {
    if (hi - 2 >= lo && inside(hi - 2))
      hi -= 1;
    else if (hi - 3 >= lo && inside(hi - 3))
      hi -= 2;
    else
      hi = std::max(lo, CeilDivNarrow(s.step > 0 ? limit - start : start + 1, s, lo, hi));
  }
}

inline bool Within61(Int128 v) { return v > -(Int128{1} << 61) && v < (Int128{1} << 61); }

// Where the texels of a call are read: the source view and the blend image by row and
// pitch, so no scratch table limits their size.
struct TexelSource {
  const uint8_t* src;
  intptr_t pitch;
  const uint8_t* blend;  // null without a blend image
  intptr_t blendPitch;
  int64_t uLimit, vLimit;  // source width and height in 14.18
};

// Runs kernel K over the columns [lo, hi) of one row whose texels all lie inside the
// source, u and v being the 14.18 texel position at column lo. Kept out of line: on its
// own the loop keeps its positions in registers instead of spilling them.
template <class K>
[[gnu::noinline]] void TexelPixels(const PixelContext& c, const TexelSource& ts, uint8_t* row, int lo, int hi,
                        int64_t u, int64_t v, int64_t du, int64_t dv) {
  constexpr int bpp = K::kDstBytes;
  // Locals, so that the stores through d cannot make the compiler reload them.
  const uint8_t* const src = ts.src;
  const uint8_t* const blend = ts.blend;
  const intptr_t pitch = ts.pitch, blendPitch = ts.blendPitch;
  uint8_t* d = row + static_cast<intptr_t>(lo) * bpp;
  int i = lo;
#if defined(__SSE2__)
  if constexpr (K::kTexel8) {
    alignas(16) uint8_t texels[8 * K::kSrcBytes];
    for (; i + 8 <= hi; i += 8, d += 8 * bpp) {
      for (int j = 0; j < 8; ++j, u += du, v += dv) {
        const intptr_t tx = u >> kFixShift, ty = v >> kFixShift;
        std::memcpy(texels + j * K::kSrcBytes, src + ty * pitch + tx * K::kSrcBytes, K::kSrcBytes);
      }
      K::Pixels8(d, texels, c);
    }
  }
#endif
  for (; i < hi; ++i, d += bpp, u += du, v += dv) {
    const intptr_t tx = u >> kFixShift, ty = v >> kFixShift;
    const uint8_t* b = nullptr;
    if constexpr (K::kBlend) b = blend + ty * blendPitch + tx;
    K::Pixel(d, src + ty * pitch + tx * K::kSrcBytes, b, c);
  }
}

// Runs kernel K over the columns of [lo, hi) whose texel lies inside the source, u and v
// being 14.18 texel positions at column 0 and stepping by su, sv per column.
template <class K>
inline void TexelRun(const PixelContext& c, const TexelSource& ts, uint8_t* row, int lo, int hi,
                     Int128 u0, Int128 v0, const ColumnStep& su, const ColumnStep& sv) {
  if (su.narrow && sv.narrow && Within61(u0) && Within61(v0)) {
    KeepInsideNarrow(static_cast<int64_t>(u0), su, ts.uLimit, lo, hi);
    KeepInsideNarrow(static_cast<int64_t>(v0), sv, ts.vLimit, lo, hi);
  } else {
    KeepInside(u0, su.step, ts.uLimit, lo, hi);
    KeepInside(v0, sv.step, ts.vLimit, lo, hi);
  }
  if (lo >= hi) return;
  // Inside the kept range every u and v lies in [0, limit): no overflow, no test.
  TexelPixels<K>(c, ts, row, lo, hi, static_cast<int64_t>(u0 + Int128{su.step} * lo),
                 static_cast<int64_t>(v0 + Int128{sv.step} * lo), su.step, sv.step);
}

// ceil(x / b) followed exactly while x moves by a fixed delta each row, as x = q * b - r
// with 0 <= r < b: additions only.
struct CeilTracker {
  int64_t q, r, b, dq, dr;
  // x and delta within 2^51, size below 2^31, inverse = 1 / size: the quotients are
  // estimated in double (off by at most two) and corrected exactly, with no division.
  void Init(int64_t x, int64_t size, double inverse, int64_t delta) {
    b = size;
    q = static_cast<int64_t>(static_cast<double>(x) * inverse);
    r = q * b - x;
    while (r < 0) r += b, ++q;
    while (r >= b) r -= b, --q;
    dq = static_cast<int64_t>(static_cast<double>(delta) * inverse);
    dr = delta - dq * b;
    while (dr < 0) dr += b, --dq;
    while (dr >= b) dr -= b, ++dq;
  }
  // Without a branch: whether the remainder wraps follows no pattern a predictor learns.
  [[gnu::always_inline]] void Next() {
    r -= dr;
    const int64_t wrap = r >> 63;  // all ones when r < 0
    r += b & wrap;
    q += dq - wrap;
  }
};

// The columns of successive rows whose position on one axis lies in [0, limit): from
// ceil(enter / |step|) up to, not including, ceil(leave / |step|) (see KeepInside).
struct AxisRows {
  bool still;  // step 0: the whole row is inside or outside
  int64_t pos, delta, limit;
  CeilTracker first, end;
  void Init(int64_t start, const ColumnStep& s, int64_t rowDelta, int64_t lim) {
    still = s.step == 0;
    pos = start, delta = rowDelta, limit = lim;
    if (still) return;
    if (s.step > 0) {
      first.Init(-start, s.size, s.inverse, -rowDelta);
      end.Init(lim - start, s.size, s.inverse, -rowDelta);
    } else {
      first.Init(start - (lim - 1), s.size, s.inverse, rowDelta);
      end.Init(start + 1, s.size, s.inverse, rowDelta);
    }
  }
  [[gnu::always_inline]] void Narrow(int64_t& lo, int64_t& hi) const {
    if (still) {
      if (static_cast<uint64_t>(pos) >= static_cast<uint64_t>(limit)) hi = lo;
    } else {
      lo = std::max(lo, first.q);
      hi = std::min(hi, end.q);
    }
  }
  [[gnu::always_inline]] void Next() {
    pos += delta;
    if (!still) first.Next(), end.Next();
  }
  // An axis that narrows no row.
  static AxisRows Inside() {
    AxisRows a;
    a.still = true, a.pos = 0, a.delta = 0, a.limit = 1;
    return a;
  }
};

// The rotated blit's box: cols x rows destination pixels from `dst`, texel position
// (u0, v0) at its top-left pixel, (du, dv) per column and (rowU, rowV) per row.
struct RotatedWalk {
  uint8_t* dst;
  intptr_t pitch;
  int cols, rows;
  int roomRight;  // destination pixels from the box's left edge to the row's end
  int64_t u0, v0, rowU, rowV;
  ColumnStep du, dv;
  // With `cut`, the columns whose u + v lies outside [sumLo, sumHi) or whose u - v lies
  // outside [diffLo, diffHi) meet only texels the kernel skips, and are not walked.
  bool cut = false;
  int64_t sumLo = 0, sumHi = 0, diffLo = 0, diffHi = 0;

  // The axes that bound each followable row's columns: u and v inside the source, and
  // the cut's u + v - sumLo and u - v - diffLo each in [0, limit); a cut axis left out
  // (no cut, a step too large) narrows nothing.
  struct RowAxes {
    AxisRows u, v, sum, diff;
  };
  RowAxes Axes(const TexelSource& ts) const {
    RowAxes a;
    a.u.Init(u0, du, rowU, ts.uLimit);
    a.v.Init(v0, dv, rowV, ts.vLimit);
    a.sum = AxisRows::Inside(), a.diff = AxisRows::Inside();
    if (!cut) return a;
    const ColumnStep ss = MakeColumnStep(du.step + dv.step), sd = MakeColumnStep(du.step - dv.step);
    if (ss.narrow) a.sum.Init(u0 + v0 - sumLo, ss, rowU + rowV, sumHi - sumLo);
    if (sd.narrow) a.diff.Init(u0 - v0 - diffLo, sd, rowU - rowV, diffHi - diffLo);
    return a;
  }
  // Each row with columns inside all of `a`: f(row, lo, hi, u, v), with (u, v) the
  // texel position of the row's column 0.
  template <class F>
  [[gnu::always_inline]] void EachRowSpan(RowAxes a, F&& f) const {
    uint8_t* row = dst;
    for (int k = 0; k < rows; ++k, row += pitch, a.u.Next(), a.v.Next(), a.sum.Next(), a.diff.Next()) {
      int64_t lo = 0, hi = cols;
      a.u.Narrow(lo, hi);
      a.v.Narrow(lo, hi);
      a.sum.Narrow(lo, hi);
      a.diff.Narrow(lo, hi);
      if (lo < hi) f(row, static_cast<int>(lo), static_cast<int>(hi), a.u.pos, a.v.pos);
    }
  }

  // Unturned at scale 1 on whole texels: each row is a run of one source row, walked
  // as a plain blit with the same kernel (one without a blend image).
  template <class K>
  bool RunAligned(const PixelContext& c, const TexelSource& ts) const {
    constexpr int64_t kFrac = kFixOne - 1;
    if (du.step != kFixOne || dv.step != 0 || rowU != 0 || rowV != kFixOne || (u0 & kFrac) || (v0 & kFrac))
      return false;
    const int64_t tx0 = u0 >> kFixShift, ty0 = v0 >> kFixShift;
    const int64_t lo = std::max<int64_t>(0, -tx0), hi = std::min<int64_t>(cols, (ts.uLimit >> kFixShift) - tx0);
    const int64_t top = std::max<int64_t>(0, -ty0), bottom = std::min<int64_t>(rows, (ts.vLimit >> kFixShift) - ty0);
    if (lo >= hi || top >= bottom) return true;
    constexpr int bpp = K::kDstBytes, sbpp = K::kSrcBytes;
    for (int64_t k = top; k < bottom; ++k) {
      uint8_t* d = dst + k * pitch + lo * bpp;
      const uint8_t* s = ts.src + (ty0 + k) * ts.pitch + (tx0 + lo) * sbpp;
      int64_t i = lo;
#if defined(__SSE2__)
      if constexpr (K::kTexel8)
        for (; i + 8 <= hi; i += 8, d += 8 * bpp, s += 8 * sbpp) K::Pixels8(d, s, c);
#endif
      for (; i < hi; ++i, d += bpp, s += sbpp) K::Pixel(d, s, nullptr, c);
    }
    return true;
  }

  // Rows can be followed by additions: steps and positions far from the 64-bit limits.
  bool RowsFollowable() const {
    constexpr int64_t kNear = int64_t{1} << 50, kRowNear = int64_t{1} << 40;
    auto near = [](int64_t v, int64_t bound) { return v > -bound && v < bound; };
    return du.narrow && dv.narrow && near(u0, kNear) && near(v0, kNear) && near(rowU, kRowNear) &&
           near(rowV, kRowNear) && rows < (1 << 20);
  }

#if defined(__SSE2__)
  // Each row's inside columns found from the row above by additions, then eight texels
  // a step with no bound test: their positions in 32-bit lanes, their offsets by one
  // multiply-add, the texels gathered into registers. The last part block of a row is
  // drawn masked where the destination row has room for eight pixels. Taken for kernels
  // with an eight-texel form when the source's size and pitch fit those lanes.
  template <class K>
  bool RunEight(const PixelContext& c, const TexelSource& ts) const {
    if (!RowsFollowable() || ts.pitch > 32767 || ts.uLimit > INT32_MAX || ts.vLimit > INT32_MAX) return false;
    constexpr int bpp = K::kDstBytes, sbpp = K::kSrcBytes;
    const int32_t stepU = static_cast<int32_t>(du.step), stepV = static_cast<int32_t>(dv.step);
    const __m128i laneU = _mm_setr_epi32(0, stepU, 2 * stepU, 3 * stepU);
    const __m128i laneV = _mm_setr_epi32(0, stepV, 2 * stepV, 3 * stepV);
    const __m128i fourU = _mm_set1_epi32(4 * stepU), fourV = _mm_set1_epi32(4 * stepV);
    // tx in the low and ty in the high half of each lane: one multiply-add gives the offset.
    const __m128i toOffset = _mm_set1_epi32(sbpp | static_cast<int32_t>(ts.pitch) << 16);
    const __m128i column = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    const __m128i all = _mm_set1_epi16(-1);
    // Locals, so that the stores through the destination cannot make the compiler reload them.
    const uint8_t* const src = ts.src;
    const intptr_t srcPitch = ts.pitch;
    const int64_t colStepU = du.step, colStepV = dv.step;
    const int room = roomRight, width = cols;
    alignas(16) uint32_t offset[8];  // never negative: unsigned, so no sign extension per texel
    // Lanes outside `in` (32-bit masks) read texel 0.
    auto offsets = [&](__m128i u, __m128i v, __m128i in) __attribute__((always_inline)) {
      const __m128i tx = _mm_srai_epi32(u, kFixShift), ty = _mm_srai_epi32(v, kFixShift);
      return _mm_and_si128(_mm_madd_epi16(_mm_or_si128(tx, _mm_slli_epi32(ty, 16)), toOffset), in);
    };
    auto block = [&](uint8_t* d, int32_t u, int32_t v, __m128i keep) __attribute__((always_inline)) {
      const __m128i ua = _mm_add_epi32(_mm_set1_epi32(u), laneU), va = _mm_add_epi32(_mm_set1_epi32(v), laneV);
      _mm_store_si128(reinterpret_cast<__m128i*>(offset), offsets(ua, va, _mm_unpacklo_epi16(keep, keep)));
      _mm_store_si128(reinterpret_cast<__m128i*>(offset + 4),
                      offsets(_mm_add_epi32(ua, fourU), _mm_add_epi32(va, fourV), _mm_unpackhi_epi16(keep, keep)));
      __m128i lo, hi;
      Gather8<sbpp>(src, offset, lo, hi);
      K::Pixels8v(d, lo, hi, c, keep);
    };
    // A last part block of at most four pixels: only the first four texels are read.
    auto halfBlock = [&](uint8_t* d, int32_t u, int32_t v, __m128i keep) __attribute__((always_inline)) {
      const __m128i ua = _mm_add_epi32(_mm_set1_epi32(u), laneU), va = _mm_add_epi32(_mm_set1_epi32(v), laneV);
      _mm_store_si128(reinterpret_cast<__m128i*>(offset), offsets(ua, va, _mm_unpacklo_epi16(keep, keep)));
      const __m128i lo = Gather4<sbpp>(src, offset);
      K::Pixels8v(d, lo, _mm_setzero_si128(), c, keep);
    };
    // The columns [lo, hi) of one row, uPos and vPos the positions at its column 0.
    auto drawRow = [&](uint8_t* row, int lo, int hi, int64_t uPos, int64_t vPos) __attribute__((always_inline)) {
      // Inside the row's columns every position lies in [0, limit): 32 bits hold it.
      int32_t u = static_cast<int32_t>(uPos + lo * colStepU), v = static_cast<int32_t>(vPos + lo * colStepV);
      int x = lo;
      for (; x + 8 <= hi; x += 8) {
        block(row + x * bpp, u, v, all);
        u += 8 * stepU, v += 8 * stepV;
      }
      if (x == hi) return;
      if (x + 8 <= room) {
        const __m128i keep = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(hi - x)), column);
        if (hi - x <= 4) {
          halfBlock(row + x * bpp, u, v, keep);
        } else {
          block(row + x * bpp, u, v, keep);
        }
        return;
      }
      for (; x < hi; ++x, u += stepU, v += stepV)
        K::Pixel(row + x * bpp, src + (v >> kFixShift) * srcPitch + (u >> kFixShift) * sbpp, nullptr, c);
    };
    const RowAxes axes = Axes(ts);
    const AxisRows &ru = axes.u, &rv = axes.v, &rs = axes.sum, &rd = axes.diff;
    uint8_t* row = dst;
    // Every column index the rows reach fits 32 bits.
    auto fits = [&](const CeilTracker& k) {
      return k.q > -(int64_t{1} << 30) && k.q < int64_t{1} << 30 && k.dq > -(int64_t{1} << 30) / rows &&
             k.dq < (int64_t{1} << 30) / rows;
    };
    // A cut's tracker that is still or does not fit is left out: one that narrows nothing.
    static constexpr CeilTracker kNoFirst = {-(int64_t{1} << 29), 0, 1, 0, 0};
    static constexpr CeilTracker kNoEnd = {int64_t{1} << 29, 0, 1, 0, 0};
    auto cutLane = [&](const AxisRows& a, const CeilTracker& k, const CeilTracker& none) {
      return !a.still && fits(k) ? &k : &none;
    };
    if (!ru.still && !rv.still && fits(ru.first) && fits(rv.first) && fits(ru.end) && fits(rv.end)) {
      // The trackers in the lanes of two vectors, [first u, first v, end u, end v] and the
      // same for the cut's axes, moved on together; a row's columns are the largest first
      // and the smallest end.
      const CeilTracker* t[8] = {&ru.first,
                                 &rv.first,
                                 &ru.end,
                                 &rv.end,
                                 cutLane(rs, rs.first, kNoFirst),
                                 cutLane(rd, rd.first, kNoFirst),
                                 cutLane(rs, rs.end, kNoEnd),
                                 cutLane(rd, rd.end, kNoEnd)};
      auto lanes = [&](int at, int64_t CeilTracker::*f) {
        return _mm_setr_epi32(static_cast<int32_t>(t[at]->*f), static_cast<int32_t>(t[at + 1]->*f),
                              static_cast<int32_t>(t[at + 2]->*f), static_cast<int32_t>(t[at + 3]->*f));
      };
      __m128i q = lanes(0, &CeilTracker::q), r = lanes(0, &CeilTracker::r);
      const __m128i b = lanes(0, &CeilTracker::b), dq = lanes(0, &CeilTracker::dq), dr = lanes(0, &CeilTracker::dr);
      __m128i cq = lanes(4, &CeilTracker::q), cr = lanes(4, &CeilTracker::r);
      const __m128i cb = lanes(4, &CeilTracker::b), cdq = lanes(4, &CeilTracker::dq), cdr = lanes(4, &CeilTracker::dr);
      const __m128i endLanes = _mm_setr_epi32(0, 0, -1, -1);
      // Lane by lane the larger of x and y in the first two lanes, the smaller in the last two.
      auto pick = [&](__m128i x, __m128i y) __attribute__((always_inline)) {
        const __m128i m = _mm_xor_si128(_mm_cmpgt_epi32(x, y), endLanes);
        return _mm_or_si128(_mm_and_si128(m, x), _mm_andnot_si128(m, y));
      };
      auto swap = [](__m128i x) __attribute__((always_inline)) { return _mm_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1)); };
      auto next = [](__m128i& tq, __m128i& tr, __m128i tb, __m128i tdq, __m128i tdr) __attribute__((always_inline)) {
        tr = _mm_sub_epi32(tr, tdr);
        const __m128i wrap = _mm_srai_epi32(tr, 31);
        tr = _mm_add_epi32(tr, _mm_and_si128(tb, wrap));
        tq = _mm_sub_epi32(_mm_add_epi32(tq, tdq), wrap);
      };
      int64_t uPos = ru.pos, vPos = rv.pos;
      // Rows in chunks: first their bounds, then their pixels, so that the trackers do
      // not hold registers that the pixel blocks need.
      constexpr int kChunk = 64;
      alignas(16) int32_t bounds[kChunk][4];
      for (int k0 = 0; k0 < rows; k0 += kChunk) {
        const int n = std::min(kChunk, rows - k0);
        for (int k = 0; k < n; ++k) {
          _mm_store_si128(reinterpret_cast<__m128i*>(bounds[k]), pick(pick(q, swap(q)), pick(cq, swap(cq))));
          next(q, r, b, dq, dr);
          next(cq, cr, cb, cdq, cdr);
        }
        for (int k = 0; k < n; ++k, row += pitch, uPos += rowU, vPos += rowV) {
          const int lo = std::max(0, bounds[k][0]), hi = std::min(width, bounds[k][2]);
          if (lo < hi) drawRow(row, lo, hi, uPos, vPos);
        }
      }
      return true;
    }
    EachRowSpan(axes, drawRow);
    return true;
  }
#endif

  template <class K>
  void Run(const PixelContext& c, const TexelSource& ts) const {
    if constexpr (!K::kBlend)
      if (RunAligned<K>(c, ts)) return;
#if defined(__SSE2__)
    if constexpr (K::kTexel8)
      if (RunEight<K>(c, ts)) return;
#endif
    uint8_t* row = dst;
    if (!RowsFollowable()) {
      // Extreme positions: each row on its own, in 128 bits where needed.
      for (int k = 0; k < rows; ++k, row += pitch)
        TexelRun<K>(c, ts, row, 0, cols, Int128{u0} + Int128{rowU} * k, Int128{v0} + Int128{rowV} * k,
                    du, dv);
      return;
    }
    // Every row's inside columns followed from the row above by additions.
    EachRowSpan(Axes(ts), [&](uint8_t* r, int lo, int hi, int64_t u, int64_t v) {
      TexelPixels<K>(c, ts, r, lo, hi, u + lo * du.step, v + lo * dv.step, du.step, dv.step);
    });
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
  ColumnStep stepU, stepV;  // dudx and dvdx

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
      TexelRun<K>(c, ts, row + static_cast<intptr_t>(x0) * K::kDstBytes, 0, x1 - x0 + 1, u, v, stepU,
                  stepV);
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
