#include "movie/yuv_convert.h"

#include <cstddef>
#include <cstring>

#include "movie/theora_movie.h"

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define YUV_X86 1
#include <immintrin.h>
#endif

namespace {

enum { kRFromV, kGFromU, kGFromV, kBFromU, kY };

inline uint8_t Channel(int sum) { return static_cast<uint8_t>(YuvClampTable[sum / 16384 + 512]); }

// Where the rows of one chroma row start; the second output row is null when the
// picture has an odd height and this is its last row.
struct RowPair {
  const uint8_t* y0;
  const uint8_t* y1;
  const uint8_t* u;
  const uint8_t* v;
  uint8_t* out0;
  uint8_t* out1;
};

// Columns [from, width) of one or two rows that share a chroma row.
void ConvertColumns(const RowPair& p, int from, int width) {
  const int* rv = YuvCoefficientTables[kRFromV];
  const int* gu = YuvCoefficientTables[kGFromU];
  const int* gv = YuvCoefficientTables[kGFromV];
  const int* bu = YuvCoefficientTables[kBFromU];
  const int* yt = YuvCoefficientTables[kY];
  for (int col = from; col < width; ++col) {
    const int c = col >> 1;
    const int red = rv[p.v[c]], green = gu[p.u[c]] + gv[p.v[c]], blue = bu[p.u[c]];
    for (int r = 0; r < (p.out1 != nullptr ? 2 : 1); ++r) {
      const int luma = yt[(r ? p.y1 : p.y0)[col]];
      uint8_t* px = (r ? p.out1 : p.out0) + col * 4;
      px[0] = Channel(luma + blue);
      px[1] = Channel(luma + green);
      px[2] = Channel(luma + red);
      px[3] = 255;
    }
  }
}

#if YUV_X86
// The vector kernels work in 16-bit lanes and still give the tables' exact bytes.
// A channel is floor((19070 Y + C) / 2^14) for the chroma term C of its block (the
// luma table's constant folded in; a floor and the truncating division agree after
// the clamp, since every negative sum clamps to 0). Split 19070 Y = 2^14 a + b and
// C = 2^14 q + r with b and r below 2^14: the channel is a + q, plus 1 when b + r
// reaches 2^14, that is when b > 16383 - r. a is Y + (10744 Y >> 16) and b the low
// 14 bits of 19070 Y, both from 16-bit multiplies.
constexpr int kRedBase = -305120 - 3346944, kRedV = 26148;
constexpr int kGreenBase = -305120 + 819968 + 1705984, kGreenU = 6406, kGreenV = 13320;
constexpr int kBlueBase = -305120 - 4231936, kBlueU = 33062;
constexpr int kLumaHigh = 10744, kLumaLow = 19070;

#define YUV_INLINE inline __attribute__((always_inline))
#define YUV_AVX2 __attribute__((target("avx2")))

// q and 16383 - r of one channel's chroma term, for each pixel of a block.
struct Term128 {
  __m128i q, rest;
};
struct Term256 {
  __m256i q, rest;
};

// x * k for eight unsigned 16-bit x and a constant below 65536, as two vectors of four
// 32-bit products.
YUV_INLINE void Products(__m128i x, int k, __m128i* low, __m128i* high) {
  const __m128i kk = _mm_set1_epi16(static_cast<short>(k));
  const __m128i lo = _mm_mullo_epi16(x, kk), hi = _mm_mulhi_epu16(x, kk);
  *low = _mm_unpacklo_epi16(lo, hi);
  *high = _mm_unpackhi_epi16(lo, hi);
}

// The terms of eight chroma samples, each repeated for the two pixels it covers:
// `first` for pixels 0-7, `second` for pixels 8-15.
YUV_INLINE void SplitTerms(__m128i c0, __m128i c1, Term128* first, Term128* second) {
  const __m128i mask = _mm_set1_epi32(0x3FFF);
  const __m128i q = _mm_packs_epi32(_mm_srai_epi32(c0, 14), _mm_srai_epi32(c1, 14));
  const __m128i rest = _mm_packs_epi32(_mm_andnot_si128(c0, mask), _mm_andnot_si128(c1, mask));
  *first = {_mm_unpacklo_epi16(q, q), _mm_unpacklo_epi16(rest, rest)};
  *second = {_mm_unpackhi_epi16(q, q), _mm_unpackhi_epi16(rest, rest)};
}

// Eight pixels of one row; the compares give -1 where the low parts carry, and the
// packs clamp.
YUV_INLINE void Row8(const uint8_t* y, uint8_t* px, const Term128& b, const Term128& g, const Term128& r) {
  const __m128i yy = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), _mm_setzero_si128());
  const __m128i a = _mm_add_epi16(yy, _mm_mulhi_epu16(yy, _mm_set1_epi16(kLumaHigh)));
  const __m128i low = _mm_and_si128(_mm_mullo_epi16(yy, _mm_set1_epi16(kLumaLow)), _mm_set1_epi16(0x3FFF));
  const __m128i blue = _mm_sub_epi16(_mm_add_epi16(a, b.q), _mm_cmpgt_epi16(low, b.rest));
  const __m128i green = _mm_sub_epi16(_mm_add_epi16(a, g.q), _mm_cmpgt_epi16(low, g.rest));
  const __m128i red = _mm_sub_epi16(_mm_add_epi16(a, r.q), _mm_cmpgt_epi16(low, r.rest));
  const __m128i br = _mm_packus_epi16(blue, red), ga = _mm_packus_epi16(green, _mm_set1_epi16(255));
  const __m128i bg = _mm_unpacklo_epi8(br, ga), ra = _mm_unpackhi_epi8(br, ga);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(bg, ra));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi16(bg, ra));
}

// Columns [0, width rounded down to 16); gives where the scalar form takes over.
template <bool kTwoRows>
int ConvertColumnsSse2(const RowPair& p, int width) {
  const uint8_t *y0 = p.y0, *y1 = p.y1, *uRow = p.u, *vRow = p.v;
  uint8_t *out0 = p.out0, *out1 = p.out1;
  const __m128i zero = _mm_setzero_si128();
  const int end = width & ~15;
  for (int col = 0; col < end; col += 16) {
    const __m128i u = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(uRow + col / 2)), zero);
    const __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(vRow + col / 2)), zero);
    __m128i rv0, rv1, gu0, gu1, gv0, gv1, bu0, bu1;
    Products(v, kRedV, &rv0, &rv1);
    Products(u, kGreenU, &gu0, &gu1);
    Products(v, kGreenV, &gv0, &gv1);
    Products(u, kBlueU, &bu0, &bu1);
    const __m128i greenBase = _mm_set1_epi32(kGreenBase), blueBase = _mm_set1_epi32(kBlueBase),
                  redBase = _mm_set1_epi32(kRedBase);
    Term128 b0, b1, g0, g1, r0, r1;
    SplitTerms(_mm_add_epi32(bu0, blueBase), _mm_add_epi32(bu1, blueBase), &b0, &b1);
    SplitTerms(_mm_sub_epi32(_mm_sub_epi32(greenBase, gu0), gv0), _mm_sub_epi32(_mm_sub_epi32(greenBase, gu1), gv1),
               &g0, &g1);
    SplitTerms(_mm_add_epi32(rv0, redBase), _mm_add_epi32(rv1, redBase), &r0, &r1);
    Row8(y0 + col, out0 + col * 4, b0, g0, r0);
    Row8(y0 + col + 8, out0 + col * 4 + 32, b1, g1, r1);
    if (kTwoRows) {
      Row8(y1 + col, out1 + col * 4, b0, g0, r0);
      Row8(y1 + col + 8, out1 + col * 4 + 32, b1, g1, r1);
    }
  }
  return end;
}

// q and 16383 - r of a chroma term, in both 16-bit halves of its 32-bit lane (16383 - r
// is r's low 14 bits inverted).
YUV_AVX2 YUV_INLINE Term256 SplitTerm(__m256i c) {
  const __m256i twice = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13,  //
                                         0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
  const __m256i mask = _mm256_set1_epi32(0x3FFF);
  return {_mm256_shuffle_epi8(_mm256_srai_epi32(c, 14), twice),
          _mm256_shuffle_epi8(_mm256_andnot_si256(c, mask), twice)};
}

// Sixteen pixels of one row, held with pixels 0-3 and 8-11 in the low 128-bit lane and
// 4-7 and 12-15 in the high one: the in-lane interleaves at the end then give pixels
// 0-7 and 8-15 in order, without a move across lanes.
YUV_AVX2 YUV_INLINE void Row16(const uint8_t* y, uint8_t* px, const Term256& b, const Term256& g, const Term256& r) {
  const __m256i spread = _mm256_setr_epi8(0, -1, 1, -1, 2, -1, 3, -1, 8, -1, 9, -1, 10, -1, 11, -1,  //
                                          4, -1, 5, -1, 6, -1, 7, -1, 12, -1, 13, -1, 14, -1, 15, -1);
  const __m256i yy = _mm256_shuffle_epi8(
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y))), spread);
  const __m256i a = _mm256_add_epi16(yy, _mm256_mulhi_epu16(yy, _mm256_set1_epi16(kLumaHigh)));
  const __m256i low =
      _mm256_and_si256(_mm256_mullo_epi16(yy, _mm256_set1_epi16(kLumaLow)), _mm256_set1_epi16(0x3FFF));
  const __m256i blue = _mm256_sub_epi16(_mm256_add_epi16(a, b.q), _mm256_cmpgt_epi16(low, b.rest));
  const __m256i green = _mm256_sub_epi16(_mm256_add_epi16(a, g.q), _mm256_cmpgt_epi16(low, g.rest));
  const __m256i red = _mm256_sub_epi16(_mm256_add_epi16(a, r.q), _mm256_cmpgt_epi16(low, r.rest));
  const __m256i br = _mm256_packus_epi16(blue, red), ga = _mm256_packus_epi16(green, _mm256_set1_epi16(255));
  const __m256i bg = _mm256_unpacklo_epi8(br, ga), ra = _mm256_unpackhi_epi8(br, ga);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(px), _mm256_unpacklo_epi16(bg, ra));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(px + 32), _mm256_unpackhi_epi16(bg, ra));
}

// Eight chroma samples widened to 32 bits in the order the rows' lanes need: 0, 1, 4, 5
// low and 2, 3, 6, 7 high.
YUV_AVX2 YUV_INLINE __m256i LoadChroma8(const uint8_t* c) {
  const __m256i order = _mm256_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 4, -1, -1, -1, 5, -1, -1, -1,  //
                                         2, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 7, -1, -1, -1);
  int64_t eight;
  std::memcpy(&eight, c, 8);
  return _mm256_shuffle_epi8(_mm256_set1_epi64x(eight), order);
}

template <bool kTwoRows>
YUV_AVX2 int ConvertColumnsAvx2(const RowPair& p, int width) {
  const uint8_t *y0 = p.y0, *y1 = p.y1, *uRow = p.u, *vRow = p.v;
  uint8_t *out0 = p.out0, *out1 = p.out1;
  const int end = width & ~15;
  for (int col = 0; col < end; col += 16) {
    const __m256i u = LoadChroma8(uRow + col / 2), v = LoadChroma8(vRow + col / 2);
    const Term256 blue =
        SplitTerm(_mm256_add_epi32(_mm256_mullo_epi32(u, _mm256_set1_epi32(kBlueU)), _mm256_set1_epi32(kBlueBase)));
    const Term256 green = SplitTerm(
        _mm256_sub_epi32(_mm256_set1_epi32(kGreenBase), _mm256_add_epi32(_mm256_mullo_epi32(u, _mm256_set1_epi32(kGreenU)),
                                                                          _mm256_mullo_epi32(v, _mm256_set1_epi32(kGreenV)))));
    const Term256 red =
        SplitTerm(_mm256_add_epi32(_mm256_mullo_epi32(v, _mm256_set1_epi32(kRedV)), _mm256_set1_epi32(kRedBase)));
    Row16(y0 + col, out0 + col * 4, blue, green, red);
    if (kTwoRows) Row16(y1 + col, out1 + col * 4, blue, green, red);
  }
  return end;
}

// The AVX-512 kernel works in 32-bit lanes holding 4 x a channel's exact sum, so that the
// sum's floor / 16384 is the lane's high 16 bits, which the saturating byte pack clamps
// (as for the AVX2 kernel, floor and truncation agree once clamped); the low half packs
// to a byte that the final permute drops. The luma part 4 x 19070 Y = 76280 Y is
// (Y + 65536 Y) + 10743 Y, one multiply-add on the word pair (Y, Y); the chroma part is
// worked out once per chroma sample and widened to the two pixels it covers.
#define YUV_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi,avx512vnni")))

// 4 x the chroma part of each channel's sum (luma table constant included), one 32-bit
// lane per pixel.
struct Chroma8 {
  __m256i blue, green, red;
};

// Eight pixels' luma part, 76280 Y, from eight of the sixteen luma bytes that `bytes`
// holds in both 128-bit lanes (`order` picks them: pixels 0-3 low lane, 4-7 high).
YUV_AVX512 YUV_INLINE __m256i LumaPart(__m256i bytes, __m256i order) {
  const __m256i pair = _mm256_shuffle_epi8(bytes, order);  // (Y, Y) words = 65537 Y
  return _mm256_dpwssd_epi32(pair, pair, _mm256_set1_epi32(10743));
}

// Eight pixels to 32 bytes B, G, R, 255. `red` holds the packed reds of this group (odd
// bytes 1-7 of each lane when `second` is false, 9-15 when true).
YUV_AVX512 YUV_INLINE __m256i Pixels8(__m256i luma, const Chroma8& c, __m256i red, bool second) {
  const __m256i bg = _mm256_packus_epi16(_mm256_add_epi32(c.blue, luma), _mm256_add_epi32(c.green, luma));
  alignas(32) static const uint8_t kOrder[2][32] = {
      {1, 9, 33, 255, 3, 11, 35, 255, 5, 13, 37, 255, 7, 15, 39, 255,
       17, 25, 49, 255, 19, 27, 51, 255, 21, 29, 53, 255, 23, 31, 55, 255},
      {1, 9, 41, 255, 3, 11, 43, 255, 5, 13, 45, 255, 7, 15, 47, 255,
       17, 25, 57, 255, 19, 27, 59, 255, 21, 29, 61, 255, 23, 31, 63, 255}};
  // Alpha bytes are not selected and keep the order's 255.
  return _mm256_mask2_permutex2var_epi8(bg, _mm256_load_si256(reinterpret_cast<const __m256i*>(kOrder[second])),
                                        0x77777777u, red);
}

YUV_AVX512 YUV_INLINE void Row16(const uint8_t* y, uint8_t* px, const Chroma8& c0, const Chroma8& c1) {
  const __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
  const __m256i order0 = _mm256_setr_epi8(0, -1, 0, -1, 1, -1, 1, -1, 2, -1, 2, -1, 3, -1, 3, -1,  //
                                          4, -1, 4, -1, 5, -1, 5, -1, 6, -1, 6, -1, 7, -1, 7, -1);
  const __m256i order1 = _mm256_add_epi8(order0, _mm256_set1_epi16(8));
  const __m256i luma0 = LumaPart(bytes, order0), luma1 = LumaPart(bytes, order1);
  const __m256i red = _mm256_packus_epi16(_mm256_add_epi32(c0.red, luma0), _mm256_add_epi32(c1.red, luma1));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(px), Pixels8(luma0, c0, red, false));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(px + 32), Pixels8(luma1, c1, red, true));
}

// 4 x each channel's sum less the luma part, for Y, U and V terms 19070 Y - 305120,
// 33062 U - 4231936 (blue), 819968 - 6406 U + 1705984 - 13320 V (green) and
// 26148 V - 3346944 (red).
constexpr int kBlue4U = 4 * 33062, kBlue4 = 4 * (-305120 - 4231936);
constexpr int kGreen4U = 4 * -6406, kGreen4V = 4 * -13320, kGreen4 = 4 * (-305120 + 819968 + 1705984);
constexpr int kRed4V = 4 * 26148, kRed4 = 4 * (-305120 - 3346944);

// Thirty-two columns at a time in 512-bit vectors, with even and odd pixels in separate
// vectors: 32-bit lane j holds pixel 2j in one and 2j + 1 in the other, the two pixels
// chroma sample j covers, so the chroma terms need no widening. The luma words (Y even,
// Y odd) of a lane give 76280 Y odd as (Y even + 65536 Y odd) - Y even + 10744 Y odd,
// and 76280 Y even as 65536 Y even + 10744 Y even, one multiply-add each.
struct Chroma16 {
  __m512i blue, green, red;
};

// The bytes of pixel p (p = 2j + parity): in `bg` (packed blues and greens, even pixels'
// bytes moved down one place to merge with the odd ones') B at 16l + 2k + parity and G
// 8 further, with l = j / 4 and k = j % 4; in `red` (the second source) R at 16l + 2k + 1
// for even pixels and 16l + 2k + 9 for odd ones. Alpha bytes keep the index's 255.
struct Order32 {
  alignas(64) uint8_t index[2][64];
  Order32() {
    for (int half = 0; half < 2; ++half) {
      for (int q = 0; q < 16; ++q) {
        const int p = 16 * half + q, j = p / 2, parity = p % 2, l = j / 4, k = j % 4;
        uint8_t* px = index[half] + 4 * q;
        px[0] = static_cast<uint8_t>(16 * l + 2 * k + parity);
        px[1] = static_cast<uint8_t>(16 * l + 8 + 2 * k + parity);
        px[2] = static_cast<uint8_t>(64 + 16 * l + 2 * k + 1 + 8 * parity);
        px[3] = 255;
      }
    }
  }
};

YUV_AVX512 YUV_INLINE void Row32(const uint8_t* y, uint8_t* px, const Chroma16& c, const Order32& order) {
  const __m512i w = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y)));
  const __m512i odd = _mm512_dpwssd_epi32(w, w, _mm512_set1_epi32((10744 << 16) | 0xFFFF));
  // (The zero-masked shift over all lanes is the plain one; GCC's plain form reads an
  // undefined vector it then warns about.)
  const __m512i even = _mm512_dpwssd_epi32(_mm512_maskz_slli_epi32(0xFFFF, w, 16), w, _mm512_set1_epi32(10744));
  const __m512i bgEven = _mm512_packus_epi16(_mm512_add_epi32(c.blue, even), _mm512_add_epi32(c.green, even));
  const __m512i bgOdd = _mm512_packus_epi16(_mm512_add_epi32(c.blue, odd), _mm512_add_epi32(c.green, odd));
  const __m512i red = _mm512_packus_epi16(_mm512_add_epi32(c.red, even), _mm512_add_epi32(c.red, odd));
  // Even pixels' bytes from the low byte of each word, odd pixels' from the high one.
  const __m512i bg = _mm512_ternarylogic_epi32(_mm512_srli_epi16(bgEven, 8), bgOdd, _mm512_set1_epi16(-256), 0xF8);
  constexpr __mmask64 kColours = 0x7777777777777777ull;
  _mm512_storeu_si512(px, _mm512_mask2_permutex2var_epi8(bg, _mm512_load_si512(order.index[0]), kColours, red));
  _mm512_storeu_si512(px + 64, _mm512_mask2_permutex2var_epi8(bg, _mm512_load_si512(order.index[1]), kColours, red));
}

// The signed words (low, high) in every 32-bit lane: the factors of a multiply-add.
YUV_AVX512 YUV_INLINE __m512i WordPair(int low, int high) {
  static_assert(kBlue4U % 8 == 0 && kGreen4U % 8 == 0 && kGreen4V % 8 == 0 && kRed4V % 8 == 0, "exact eighths");
  return _mm512_set1_epi32(static_cast<int>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF)));
}

template <bool kTwoRows>
YUV_AVX512 int ConvertColumnsAvx512(const RowPair& pair, int width) {
  const RowPair p = pair;  // a copy the stores cannot alias, so its pointers stay in registers
  static const Order32 order;
  // Byte j of U to byte 4j, byte j of V to byte 4j + 2; the odd bytes are cleared.
  constexpr __mmask64 kLowBytes = 0x5555555555555555ull;
  const __m512i spreadUv = _mm512_add_epi32(
      _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), _mm512_set1_epi32(0x10001)),
      _mm512_set1_epi32(64 << 16));
  const int wide = width & ~31;
  for (int col = 0; col < wide; col += 32) {
    // Lane j: the words 8 U and 8 V of chroma sample j (8, so that every coefficient fits
    // a signed word), then one multiply-add a channel.
    const __m512i u = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p.u + col / 2)));
    const __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p.v + col / 2)));
    const __m512i uv8 = _mm512_slli_epi16(_mm512_maskz_permutex2var_epi8(kLowBytes, u, spreadUv, v), 3);
    const Chroma16 c{_mm512_dpwssd_epi32(_mm512_set1_epi32(kBlue4), uv8, WordPair(kBlue4U / 8, 0)),
                     _mm512_dpwssd_epi32(_mm512_set1_epi32(kGreen4), uv8, WordPair(kGreen4U / 8, kGreen4V / 8)),
                     _mm512_dpwssd_epi32(_mm512_set1_epi32(kRed4), uv8, WordPair(0, kRed4V / 8))};
    Row32(p.y0 + col, p.out0 + col * 4, c, order);
    if (kTwoRows) Row32(p.y1 + col, p.out1 + col * 4, c, order);
  }
  const int end = width & ~15;
  for (int col = wide; col < end; col += 16) {
    // LoadChroma8's order: widening each lane to two pixels gives pixels 0-7, then 8-15.
    const __m256i u = LoadChroma8(p.u + col / 2), v = LoadChroma8(p.v + col / 2);
    const __m256i blue = _mm256_add_epi32(_mm256_mullo_epi32(u, _mm256_set1_epi32(kBlue4U)), _mm256_set1_epi32(kBlue4));
    const __m256i green = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(u, _mm256_set1_epi32(kGreen4U)), _mm256_mullo_epi32(v, _mm256_set1_epi32(kGreen4V))),
        _mm256_set1_epi32(kGreen4));
    const __m256i red = _mm256_add_epi32(_mm256_mullo_epi32(v, _mm256_set1_epi32(kRed4V)), _mm256_set1_epi32(kRed4));
    const Chroma8 c0{_mm256_unpacklo_epi32(blue, blue), _mm256_unpacklo_epi32(green, green),
                     _mm256_unpacklo_epi32(red, red)};
    const Chroma8 c1{_mm256_unpackhi_epi32(blue, blue), _mm256_unpackhi_epi32(green, green),
                     _mm256_unpackhi_epi32(red, red)};
    Row16(p.y0 + col, p.out0 + col * 4, c0, c1);
    if (kTwoRows) Row16(p.y1 + col, p.out1 + col * 4, c0, c1);
  }
  return end;
}
#endif

void Convert(YuvKernel kernel, const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height) {
  for (int row = 0; row < height; row += 2) {
    RowPair p;
    p.y0 = planes.y + static_cast<ptrdiff_t>(row) * planes.yStride;
    p.y1 = p.y0 + planes.yStride;
    p.u = planes.u + static_cast<ptrdiff_t>(row / 2) * planes.uvStride;
    p.v = planes.v + static_cast<ptrdiff_t>(row / 2) * planes.uvStride;
    p.out0 = out + static_cast<ptrdiff_t>(row) * pitch;
    p.out1 = row + 1 < height ? p.out0 + pitch : nullptr;
    int from = 0;
#if YUV_X86
    if (kernel == YuvKernel::kAvx512)
      from = p.out1 != nullptr ? ConvertColumnsAvx512<true>(p, width) : ConvertColumnsAvx512<false>(p, width);
    if (kernel == YuvKernel::kAvx2)
      from = p.out1 != nullptr ? ConvertColumnsAvx2<true>(p, width) : ConvertColumnsAvx2<false>(p, width);
    if (kernel == YuvKernel::kSse2)
      from = p.out1 != nullptr ? ConvertColumnsSse2<true>(p, width) : ConvertColumnsSse2<false>(p, width);
#endif
    ConvertColumns(p, from, width);
  }
}

#if YUV_X86
bool Avx512Runs() {
  return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vnni");
}
#endif

YuvKernel FastestKernel() {
#if YUV_X86
  if (Avx512Runs()) return YuvKernel::kAvx512;
  return __builtin_cpu_supports("avx2") ? YuvKernel::kAvx2 : YuvKernel::kSse2;
#else
  return YuvKernel::kScalar;
#endif
}

}  // namespace

bool YuvKernelRuns(YuvKernel kernel) {
  switch (kernel) {
    case YuvKernel::kScalar:
      return true;
#if YUV_X86
    case YuvKernel::kSse2:
      return true;
    case YuvKernel::kAvx2:
      return __builtin_cpu_supports("avx2");
    case YuvKernel::kAvx512:
      return Avx512Runs();
#endif
    default:
      return false;
  }
}

void ConvertYuv420(const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height) {
  static const YuvKernel fastest = FastestKernel();
  Convert(fastest, planes, out, pitch, width, height);
}

void ConvertYuv420With(YuvKernel kernel, const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height) {
  Convert(YuvKernelRuns(kernel) ? kernel : YuvKernel::kScalar, planes, out, pitch, width, height);
}
