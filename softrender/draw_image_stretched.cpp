#include "softrender/draw_image_stretched.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "softrender/draw_image.h"
#include "softrender/draw_state.h"
#include "softrender/pixel_ops.h"

namespace {

struct Stretch {
  uint8_t* dst;
  int dstPitch;
  const uint8_t* src;   // first source pixel to draw
  const uint8_t* blend; // its blend byte, or null
  std::ptrdiff_t srcStep, srcRowStep, blendStep, blendRowStep;
  int width, height;
  int64_t rx, ry, ex0, ey0;  // 16.16 ratios and the error starts, in 1 .. ratio
  // The source's run codes by row, or null: then every pixel takes the kernel's own test.
  const uint8_t* const* runRows;
  int col0, row0;  // source column and row of the first pixel drawn
  int srcHeight;
  bool mirrorX, mirrorY;
};

// The source rows' run codes, when the run table can stand in for the per-pixel test:
// it is valid for this very view, and the test it replaces skips exactly its skip runs
// (the transparency flag set: colour key, alpha 0, or a palette index keyed or past the
// palette's entries).
constexpr int kMaxRunRows = 4096;
// Destination columns walked at a time.
constexpr int kChunk = 512;
// Destination rows ahead of the one drawn whose source lines are requested.
constexpr int kRowsAhead = 2;
bool FindRunRows(const MEMIMG* src, int transFlag, const uint8_t* rows[kMaxRunRows]) {
  const MemImageBody* b = src->body;
  if (transFlag == 0 || b->runTableValid != 1 || !b->transRunTable || b->runTableOrigin != src->pixels ||
      b->runTableWidth != src->width || b->runTableHeight != src->height || src->height > kMaxRunRows)
    return false;
  const uint8_t* p = b->transRunTable;
  for (int y = 0; y < src->height; ++y) {
    rows[y] = p;
    while (*p < kRunRowEnd) ++p;
    ++p;
  }
  return true;
}

// One destination row: the pixels [x0, x1) of the chunk, source offsets from srcCols.
template <class K>
SOFT_INLINE void DrawSpan(uint8_t* drow, const uint8_t* srow, const uint8_t* brow, const std::ptrdiff_t* srcCols,
                          const std::ptrdiff_t* blendCols, int x0, int x1, const soft::PixelContext& c) {
  using F = typename K::Format;
  int x = x0;
#if defined(__SSE2__)
  if constexpr (K::kBlock8) {
    alignas(16) uint16_t gathered[8];
    for (; x + 8 <= x1; x += 8) {
      for (int i = 0; i < 8; ++i) std::memcpy(&gathered[i], srow + srcCols[x + i], 2);
      K::Op::Opaque8(drow + x * 2, reinterpret_cast<const uint8_t*>(gathered), c);
    }
  } else if constexpr (K::kTexel8) {
    for (; x + 8 <= x1; x += 8) {
      __m128i lo, hi;
      soft::Gather8<K::kSrcBytes>(srow, srcCols + x, lo, hi);
      K::Pixels8v(drow + x * 2, lo, hi, c, _mm_set1_epi16(-1));
    }
  }
#endif
  for (; x < x1; ++x)
    K::Pixel(drow + x * F::kBytes, srow + srcCols[x], K::kBlend ? brow + blendCols[x] : nullptr, c);
}

// The chunk's columns [x0, x1) of one destination row whose source pixels lie in a run
// that is not a skip run, passed to span(x0, x1): each run of the source row found in the
// chunk's columns by its first and last step, so a transparent run costs one lookup
// however many pixels it covers.
template <class Span>
SOFT_INLINE void EachRunSpan(const Stretch& st, const uint8_t* codes, const int* steps, int n, Span span) {
  // Source columns [a, b) as the chunk's columns [x0, x1): the columns whose step count
  // from the first column lies in the run.
  const int first = steps[0], last = steps[n - 1];
  auto draw = [&](int a, int b) {
    int s0 = st.mirrorX ? st.col0 - b + 1 : a - st.col0;
    int s1 = st.mirrorX ? st.col0 - a + 1 : b - st.col0;
    if (s1 <= first || s0 > last) return;
    const int x0 = s0 <= first ? 0 : static_cast<int>(std::lower_bound(steps, steps + n, s0) - steps);
    const int x1 = s1 > last ? n : static_cast<int>(std::lower_bound(steps + x0, steps + n, s1) - steps);
    span(x0, x1);
  };
  int col = 0, spanStart = -1;
  for (uint8_t code; (code = *codes++) < kRunRowEnd;) {
    if ((code & 0xC0) == kRunSkip) {
      if (spanStart >= 0) draw(spanStart, col);
      spanStart = -1;
    } else if (spanStart < 0) {
      spanStart = col;
    }
    col += (code & 63) + 1;
  }
  if (spanStart >= 0) draw(spanStart, col);
}

#if defined(__x86_64__)
#define AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
// Texel: colour word, alpha byte, unused byte; each 32-bit lane's colour and alpha.
AVX2_INLINE __m256i TexelColour(__m256i t) { return _mm256_srai_epi32(_mm256_slli_epi32(t, 16), 16); }
AVX2_INLINE __m256i TexelAlpha(__m256i t) { return _mm256_srli_epi32(_mm256_slli_epi32(t, 8), 24); }
// A field scaled by the texel's alpha factor, then by p / 255 (Translucent8v, ScaleFields8).
AVX2_INLINE __m256i ScaledField(__m256i f, __m256i factor, int p) {
  f = _mm256_srli_epi16(_mm256_mullo_epi16(f, factor), 8);
  if (p == 255) return f;
  const __m256i n = _mm256_mullo_epi16(f, _mm256_set1_epi16(static_cast<short>(p)));
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(n, _mm256_set1_epi16(1)), _mm256_srli_epi16(n, 8)), 8);
}
// The four 4-byte texels at srow + cols[0..3]. (Loads and inserts: a hardware gather
// took 15 % longer here, soft::Gather4's unpacks 4 % longer.)
AVX2_INLINE __m128i Four(const uint8_t* srow, const int32_t* cols) {
  int32_t t[4];
  for (int i = 0; i < 4; ++i) std::memcpy(&t[i], srow + cols[i], 4);
  __m128i v = _mm_cvtsi32_si128(t[0]);
  v = _mm_insert_epi32(v, t[1], 1);
  v = _mm_insert_epi32(v, t[2], 2);
  return _mm_insert_epi32(v, t[3], 3);
}

// Sixteen pixels a step for the commonest large stretch, an RGB565 source with alpha added
// (or subtracted) untinted: the bomb's ring. Each step does what Kernel::Pixels8v does for
// eight, in 256-bit lanes, with the same formulas (ImageOp::AddSub8, ScaleFields8,
// Translucent8v; lanes of alpha 0 left alone, alpha 255 a factor of 256). cols: the
// texels' byte offsets from srow. Returns where it stopped.
template <bool kAdd>
__attribute__((target("avx2"))) int AlphaChange16(uint8_t* drow, const uint8_t* srow, const int32_t* cols, int x,
                                                  int x1, int p) {
  const __m256i zero = _mm256_setzero_si256(), opaque = _mm256_set1_epi16(255);
  const __m256i fieldMask = _mm256_set1_epi16(static_cast<short>(0xF7DF));
  const __m256i guards = _mm256_set1_epi16(0x0820), red = _mm256_set1_epi16(static_cast<short>(0xF800));
  for (; x + 16 <= x1; x += 16) {
    // The pack below interleaves 128-bit halves: texels 0-3 and 8-11 are gathered into
    // one register, 4-7 and 12-15 into the other, so that it yields pixels 0-15 in order.
    const __m256i a = _mm256_inserti128_si256(_mm256_castsi128_si256(Four(srow, cols + x)), Four(srow, cols + x + 8), 1);
    const __m256i b = _mm256_inserti128_si256(_mm256_castsi128_si256(Four(srow, cols + x + 4)), Four(srow, cols + x + 12), 1);
    const __m256i av = _mm256_packs_epi32(TexelAlpha(a), TexelAlpha(b));
    const __m256i skip = _mm256_cmpeq_epi16(av, zero);
    if (_mm256_movemask_epi8(skip) == -1) continue;
    const __m256i sv = _mm256_packs_epi32(TexelColour(a), TexelColour(b));
    const __m256i factor = _mm256_sub_epi16(av, _mm256_cmpeq_epi16(av, opaque));
    const __m256i bf = ScaledField(_mm256_and_si256(sv, _mm256_set1_epi16(31)), factor, p);
    const __m256i gf = ScaledField(_mm256_and_si256(_mm256_srli_epi16(sv, 5), _mm256_set1_epi16(63)), factor, p);
    const __m256i rf = ScaledField(_mm256_srli_epi16(sv, 11), factor, p);
    const __m256i cv = _mm256_or_si256(_mm256_or_si256(bf, _mm256_slli_epi16(gf, 5)), _mm256_slli_epi16(rf, 11));
    auto* d = reinterpret_cast<__m256i*>(drow + x * 2);
    const __m256i dv = _mm256_loadu_si256(d);
    const __m256i cm = _mm256_and_si256(cv, fieldMask);
    __m256i out;
    if constexpr (kAdd) {
      const __m256i dm = _mm256_and_si256(dv, fieldMask);
      const __m256i sum = _mm256_add_epi16(dm, cm);
      const __m256i carry = _mm256_andnot_si256(_mm256_cmpeq_epi16(sum, _mm256_adds_epu16(dm, cm)), red);
      const __m256i k = _mm256_and_si256(sum, guards);
      out = _mm256_or_si256(_mm256_or_si256(_mm256_sub_epi16(k, _mm256_srli_epi16(k, 5)), carry),
                            _mm256_or_si256(_mm256_and_si256(_mm256_or_si256(dv, cv), guards), sum));
    } else {
      const __m256i dg = _mm256_or_si256(dv, guards);
      const __m256i e = _mm256_sub_epi16(dg, cm);
      const __m256i borrow = _mm256_andnot_si256(_mm256_cmpeq_epi16(dg, cm),
                                                 _mm256_cmpeq_epi16(_mm256_subs_epu16(dg, cm), zero));
      const __m256i k = _mm256_and_si256(e, guards);
      out = _mm256_and_si256(_mm256_or_si256(_mm256_sub_epi16(k, _mm256_srli_epi16(k, 5)), _mm256_andnot_si256(borrow, red)), e);
    }
    _mm256_storeu_si256(d, _mm256_blendv_epi8(out, dv, skip));
  }
  return x;
}

#undef AVX2_INLINE

template <class K>
constexpr bool kAlphaChange16 = K::kTexel8 && K::kSrcBytes == 4 && K::kTest == soft::Test::AlphaSkip &&
                                (K::Op::kMode == BlendAddSat || K::Op::kMode == BlendSubSat);
#endif

// One walk for every loop: each axis steps its source while its error is at or below 0.
// Columns are stepped once per call into a table (a chunk of columns at a time, so that
// nothing is allocated); rows are stepped as they are drawn.
template <class K>
[[gnu::flatten, gnu::noinline]] void DrawStretched(const Stretch& stretch, const soft::PixelContext& ctx) {
  using F = typename K::Format;
  // Own copies: stores through the byte pointers could alias the caller's values.
  const Stretch st = stretch;
  const soft::PixelContext c = ctx;
  constexpr bool kRunsReplaceTest = K::kTest == soft::Test::Key || K::kTest == soft::Test::AlphaSkip;
  const bool runs = kRunsReplaceTest && st.runRows != nullptr;
#if defined(__x86_64__)
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  int32_t cols32[kChunk];  // srcCols for AlphaChange16
#endif
  std::ptrdiff_t srcCols[kChunk], blendCols[kChunk];
  int steps[kChunk];  // source steps from the first column
  std::ptrdiff_t so = 0, bo = 0;
  int taken = 0;
  int64_t e = st.ex0;
  for (int x0 = 0; x0 < st.width; x0 += kChunk) {
    const int n = std::min(kChunk, st.width - x0);
    for (int x = 0; x < n; ++x) {
      srcCols[x] = so;
      blendCols[x] = bo;
      steps[x] = taken;
      for (e -= 65536; e <= 0; e += st.rx) {
        so += st.srcStep;
        bo += st.blendStep;
        ++taken;
      }
    }
#if defined(__x86_64__)
    if constexpr (kAlphaChange16<K>)
      if (hasAvx2)
        for (int x = 0; x < n; ++x) cols32[x] = static_cast<int32_t>(srcCols[x]);
#endif
    const uint8_t* srow = st.src;
    const uint8_t* brow = st.blend;
    int srcRow = st.row0;
    uint8_t* drow = st.dst + x0 * F::kBytes;
    int64_t ey = st.ey0;
    bool sameRow = false;
    // The lines of the source row kRowsAhead destination rows below are requested
    // while this row is drawn; lo and hi: the bytes of a row this chunk reads.
    const std::ptrdiff_t lo = std::min(srcCols[0], srcCols[n - 1]);
    const std::ptrdiff_t hi = std::max(srcCols[0], srcCols[n - 1]) + K::kSrcBytes;
    const bool fetchAhead = soft::FetchAheadPays(hi - lo);
    auto fetchRow = [&](int row) {
      const uint8_t* at = st.src + (row - st.row0) * (st.mirrorY ? -st.srcRowStep : st.srcRowStep);
      if (!runs) {
        soft::FetchLines(at + lo, hi - lo);
        return;
      }
      // Only the runs that are drawn, within the chunk's columns.
      const uint8_t* rowStart = at - static_cast<std::ptrdiff_t>(st.col0) * K::kSrcBytes;
      const std::ptrdiff_t first = st.col0 + lo / K::kSrcBytes, end = st.col0 + hi / K::kSrcBytes;
      std::ptrdiff_t col = 0;
      for (const uint8_t* code = st.runRows[row]; *code < kRunRowEnd && col < end; ++code) {
        const std::ptrdiff_t a = std::max(col, first);
        col += (*code & 63) + 1;
        if ((*code & 0xC0) != kRunSkip && a < std::min(col, end))
          soft::FetchLines(rowStart + a * K::kSrcBytes, (std::min(col, end) - a) * K::kSrcBytes);
      }
    };
    int aheadY = 0, aheadRow = srcRow;  // the destination row looked at last and its source row
    int64_t eAhead = ey;
    for (int y = 0;;) {
      while (fetchAhead && aheadY < y + kRowsAhead && aheadY + 1 < st.height) {
        const int before = aheadRow;
        ++aheadY;
        for (eAhead -= 65536; eAhead <= 0; eAhead += st.ry) aheadRow += st.mirrorY ? -1 : 1;
        if (aheadRow != before && aheadRow >= 0 && aheadRow < st.srcHeight) fetchRow(aheadRow);
      }
      if constexpr (K::kRowCopy) {
        // A copy does not read the destination: a row that repeats the source row above
        // repeats the destination row above.
        if (sameRow) {
          std::memcpy(drow, drow - st.dstPitch, static_cast<size_t>(n) * F::kBytes);
        } else {
          for (int x = 0; x < n; ++x) F::Store(drow + x * F::kBytes, F::Load(srow + srcCols[x]));
        }
      } else {
        auto span = [&](int a, int b) {
#if defined(__x86_64__)
          if constexpr (kAlphaChange16<K>) {
            if (hasAvx2) a = AlphaChange16<K::Op::kMode == BlendAddSat>(drow, srow, cols32, a, b, c.p);
          }
#endif
          DrawSpan<K>(drow, srow, brow, srcCols, blendCols, a, b, c);
        };
        if (runs) {
          EachRunSpan(st, st.runRows[srcRow], steps, n, span);
        } else {
          span(0, n);
        }
      }
      if (++y == st.height) break;
      drow += st.dstPitch;
      sameRow = true;
      for (ey -= 65536; ey <= 0; ey += st.ry) {
        sameRow = false;
        srow += st.srcRowStep;
        srcRow += st.mirrorY ? -1 : 1;
        if constexpr (K::kBlend) brow += st.blendRowStep;
      }
    }
  }
}

}  // namespace

void SoftDrawImageStretched(MEMIMG* dst, const MEMIMG* src, const Rect* rect, int transFlag,
                            const MEMIMG* blendImage) {
  if (!rect || !soft::DrawableTarget(dst) || !soft::DrawableSource(src, dst) ||
      !soft::BlendImageCovers(blendImage, src))
    return;
  const bool mirrorX = rect->left > rect->right, mirrorY = rect->top > rect->bottom;
  const int left = std::min(rect->left, rect->right), right = std::max(rect->left, rect->right);
  const int top = std::min(rect->top, rect->bottom), bottom = std::max(rect->top, rect->bottom);
  const int64_t dstW = static_cast<int64_t>(right) - left;
  const int64_t dstH = static_cast<int64_t>(bottom) - top;
  const int srcW = src->width, srcH = src->height;
  if (dstW == 0 || dstH == 0 || srcW <= 0 || srcH <= 0) return;
  if (dstW == srcW && dstH == srcH && !mirrorX && !mirrorY) {
    SoftDrawImage(dst, src, left, top, transFlag, blendImage);
    return;
  }
  // 64-bit limits: exact for any int rectangle; a source 65536 or more wide or high
  // could step past its last column, so it is refused.
  if (srcW >= 65536 || srcH >= 65536) return;
  const int64_t rx = (dstW << 16) / srcW, ry = (dstH << 16) / srcH;
  if (rx == 0 || ry == 0) return;

  Rect r = {left, top, right, bottom};
  const Rect area = soft::ClipAreaTo(dst, DrawArea);
  ClipRectByRect(&r, &area);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  const int64_t kx = static_cast<int64_t>(r.left) - left, ky = static_cast<int64_t>(r.top) - top;
  const int64_t sx0 = (kx << 16) / rx, sy0 = (ky << 16) / ry;

  const MemImageBody* sb = src->body;
  const int bpp = sb->format->bytesPerPixel;
  const int64_t col = mirrorX ? srcW - 1 - sx0 : sx0;
  const int64_t row = mirrorY ? srcH - 1 - sy0 : sy0;
  Stretch st;
  st.dst = dst->pixels + static_cast<std::ptrdiff_t>(r.top) * dst->body->pitch +
           r.left * dst->body->format->bytesPerPixel;
  st.dstPitch = dst->body->pitch;
  st.src = src->pixels + row * sb->pitch + col * bpp;
  st.srcStep = mirrorX ? -bpp : bpp;
  st.srcRowStep = mirrorY ? -sb->pitch : sb->pitch;
  if (blendImage) {
    const int bp = blendImage->body->pitch;
    st.blend = blendImage->pixels + row * bp + col;
    st.blendStep = mirrorX ? -1 : 1;
    st.blendRowStep = mirrorY ? -bp : bp;
  } else {
    st.blend = nullptr;
    st.blendStep = st.blendRowStep = 0;
  }
  st.width = width;
  st.height = height;
  st.rx = rx;
  st.ry = ry;
  st.ex0 = rx - (kx << 16) % rx;
  st.ey0 = ry - (ky << 16) % ry;

  st.col0 = static_cast<int>(col);
  st.row0 = static_cast<int>(row);
  st.mirrorX = mirrorX;
  st.mirrorY = mirrorY;
  st.srcHeight = srcH;
  const uint8_t* runRows[kMaxRunRows];
  st.runRows = FindRunRows(src, transFlag, runRows) ? runRows : nullptr;

  soft::PixelContext c;
  soft::PreparePixelContext(&c, sb, transFlag != 0);
  const soft::ImageCall call = {sb, DrawBlendMode, soft::BlendParam(), blendImage != nullptr,
                                soft::TintOn(DrawBright), transFlag != 0};
  soft::DispatchImage<soft::Flavor::Scaled>(call, [&]<class K>(K) { DrawStretched<K>(st, c); });
}
