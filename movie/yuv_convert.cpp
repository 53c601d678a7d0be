#include "movie/yuv_convert.h"

#include <cstddef>
#include <cstring>

#include "movie/theora_movie.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum { kRFromV, kGFromU, kGFromV, kBFromU, kY };

inline uint8_t Channel(int sum) { return static_cast<uint8_t>(YuvClampTable[sum / 16384 + 512]); }

// Columns [from, width) of one or two rows that share a chroma row.
void ConvertColumns(const YuvPlanes& p, int row, uint8_t* out0, uint8_t* out1, int from, int width, bool second) {
  const int* rv = YuvCoefficientTables[kRFromV];
  const int* gu = YuvCoefficientTables[kGFromU];
  const int* gv = YuvCoefficientTables[kGFromV];
  const int* bu = YuvCoefficientTables[kBFromU];
  const int* yt = YuvCoefficientTables[kY];
  const uint8_t* u = p.u + static_cast<ptrdiff_t>(row / 2) * p.uvStride;
  const uint8_t* v = p.v + static_cast<ptrdiff_t>(row / 2) * p.uvStride;
  const uint8_t* y0 = p.y + static_cast<ptrdiff_t>(row) * p.yStride;
  const uint8_t* y1 = y0 + p.yStride;
  for (int col = from; col < width; ++col) {
    const int c = col >> 1;
    const int red = rv[v[c]], green = gu[u[c]] + gv[v[c]], blue = bu[u[c]];
    for (int r = 0; r < (second ? 2 : 1); ++r) {
      const int luma = yt[(r ? y1 : y0)[col]];
      uint8_t* px = (r ? out1 : out0) + col * 4;
      px[0] = Channel(luma + blue);
      px[1] = Channel(luma + green);
      px[2] = Channel(luma + red);
      px[3] = 255;
    }
  }
}

#if defined(__SSE2__)
// x * c for eight unsigned 16-bit x and a constant below 65536, as two vectors of four
// 32-bit products.
inline void Products(__m128i x, int c, __m128i* low, __m128i* high) {
  const __m128i k = _mm_set1_epi16(static_cast<short>(c));
  const __m128i lo = _mm_mullo_epi16(x, k), hi = _mm_mulhi_epu16(x, k);
  *low = _mm_unpacklo_epi16(lo, hi);
  *high = _mm_unpackhi_epi16(lo, hi);
}

// The table entries are a + b * i, so the sums are formed from the products directly:
// an arithmetic shift floors where the division truncates, but both give 0 after the
// clamp for every negative sum.
inline __m128i Channel8(__m128i y0, __m128i y1, __m128i c0, __m128i c1) {
  return _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(y0, c0), 14), _mm_srai_epi32(_mm_add_epi32(y1, c1), 14));
}

inline void Store8(uint8_t* px, __m128i b, __m128i g, __m128i r) {
  const __m128i bg = _mm_packus_epi16(b, g);
  const __m128i ra = _mm_packus_epi16(r, _mm_set1_epi16(255));
  const __m128i bgPairs = _mm_unpacklo_epi8(bg, _mm_srli_si128(bg, 8));
  const __m128i raPairs = _mm_unpacklo_epi8(ra, _mm_srli_si128(ra, 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(bgPairs, raPairs));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi16(bgPairs, raPairs));
}

inline __m128i LoadChroma4(const uint8_t* c) {
  int32_t word;
  std::memcpy(&word, c, 4);
  const __m128i four = _mm_cvtsi32_si128(word);
  return _mm_unpacklo_epi8(_mm_unpacklo_epi8(four, four), _mm_setzero_si128());  // c0 c0 c1 c1 ...
}

inline __m128i LoadLuma8(const uint8_t* y) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), _mm_setzero_si128());
}

// Columns [0, width rounded down to 8); gives where the scalar form takes over.
int ConvertColumns8(const YuvPlanes& p, int row, uint8_t* out0, uint8_t* out1, int width, bool second) {
  const uint8_t* u = p.u + static_cast<ptrdiff_t>(row / 2) * p.uvStride;
  const uint8_t* v = p.v + static_cast<ptrdiff_t>(row / 2) * p.uvStride;
  const uint8_t* y0 = p.y + static_cast<ptrdiff_t>(row) * p.yStride;
  const uint8_t* y1 = y0 + p.yStride;
  const __m128i redBase = _mm_set1_epi32(-305120 - 3346944);
  const __m128i greenBase = _mm_set1_epi32(-305120 + 819968 + 1705984);
  const __m128i blueBase = _mm_set1_epi32(-305120 - 4231936);
  const int end = width & ~7;
  for (int col = 0; col < end; col += 8) {
    const __m128i uu = LoadChroma4(u + col / 2), vv = LoadChroma4(v + col / 2);
    __m128i r0, r1, gu0, gu1, gv0, gv1, b0, b1;
    Products(vv, 26148, &r0, &r1);
    Products(uu, 6406, &gu0, &gu1);
    Products(vv, 13320, &gv0, &gv1);
    Products(uu, 33062, &b0, &b1);
    r0 = _mm_add_epi32(r0, redBase);
    r1 = _mm_add_epi32(r1, redBase);
    const __m128i g0 = _mm_sub_epi32(_mm_sub_epi32(greenBase, gu0), gv0);
    const __m128i g1 = _mm_sub_epi32(_mm_sub_epi32(greenBase, gu1), gv1);
    b0 = _mm_add_epi32(b0, blueBase);
    b1 = _mm_add_epi32(b1, blueBase);
    for (int r = 0; r < (second ? 2 : 1); ++r) {
      __m128i l0, l1;
      Products(LoadLuma8((r ? y1 : y0) + col), 19070, &l0, &l1);
      Store8((r ? out1 : out0) + col * 4, Channel8(l0, l1, b0, b1), Channel8(l0, l1, g0, g1), Channel8(l0, l1, r0, r1));
    }
  }
  return end;
}
#endif

template <bool kVector>
void Convert(const YuvPlanes& p, uint8_t* out, int pitch, int width, int height) {
  for (int row = 0; row < height; row += 2) {
    uint8_t* out0 = out + static_cast<ptrdiff_t>(row) * pitch;
    const bool second = row + 1 < height;
    uint8_t* out1 = out0 + pitch;
    int from = 0;
#if defined(__SSE2__)
    if (kVector) from = ConvertColumns8(p, row, out0, out1, width, second);
#endif
    ConvertColumns(p, row, out0, out1, from, width, second);
  }
}

}  // namespace

void ConvertYuv420(const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height) {
  Convert<true>(planes, out, pitch, width, height);
}

void ConvertYuv420Scalar(const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height) {
  Convert<false>(planes, out, pitch, width, height);
}
