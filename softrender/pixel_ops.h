#pragma once
// One description of every pixel operation of the software renderer, per destination
// format, source kind and blend mode. A primitive writes its walk once (rows of a
// blit, spans of a triangle, steps of a line) as a generic lambda over a kernel type,
// and DispatchImage / DispatchConst pick, once per call, the one kernel that the draw
// state asks for; the compiler then makes one specialised loop per combination.
//
// Pixels are read and written through byte pointers with memcpy, so views at any
// alignment are safe; the compiler turns these into plain loads and stores.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/blend_tables.h"
#include "image/memimg.h"
#include "softrender/draw_state.h"

// The pixel operations are small and called once per pixel from every walk; the
// compiler's inliner gives up on them among hundreds of instantiations, so they are
// always inlined into the walk.
#define SOFT_INLINE [[gnu::always_inline]] inline

namespace soft {

// ---------------------------------------------------------------- formats

// XRGB8888: bytes blue, green, red, fourth byte. Channel 0 blue, 1 green, 2 red.
struct Xrgb8888 {
  static constexpr int kDepth = kDepthXrgb8888;
  static constexpr int kBytes = 4;
  static constexpr int kShift[3] = {0, 8, 16};
  static constexpr int kBits[3] = {8, 8, 8};
  SOFT_INLINE static uint32_t Load(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  SOFT_INLINE static void Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
};

// RGB565: one word, blue bits 0-4 (channel 0), green 5-10 (1), red 11-15 (2).
struct Rgb565 {
  static constexpr int kDepth = kDepthRgb565;
  static constexpr int kBytes = 2;
  static constexpr int kShift[3] = {0, 5, 11};
  static constexpr int kBits[3] = {5, 6, 5};
  SOFT_INLINE static uint32_t Load(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  SOFT_INLINE static void Store(uint8_t* p, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  }
};

template <class F, int Ch>
constexpr int ChannelMax() {
  return (1 << F::kBits[Ch]) - 1;
}
template <class F, int Ch>
SOFT_INLINE int Channel(uint32_t v) {
  return static_cast<int>((v >> F::kShift[Ch]) & ChannelMax<F, Ch>());
}

// Applies fn(channel tag, s channel, d channel) -> new channel to the three channels and
// packs the results; the XRGB8888 fourth byte of the result is 0.
template <class F, class Fn>
SOFT_INLINE uint32_t MapChannels(uint32_t s, uint32_t d, Fn&& fn) {
  using C0 = std::integral_constant<int, 0>;
  using C1 = std::integral_constant<int, 1>;
  using C2 = std::integral_constant<int, 2>;
  return (static_cast<uint32_t>(fn(C0{}, Channel<F, 0>(s), Channel<F, 0>(d))) << F::kShift[0]) |
         (static_cast<uint32_t>(fn(C1{}, Channel<F, 1>(s), Channel<F, 1>(d))) << F::kShift[1]) |
         (static_cast<uint32_t>(fn(C2{}, Channel<F, 2>(s), Channel<F, 2>(d))) << F::kShift[2]);
}

// Stores the three channels of v and keeps the destination's XRGB8888 fourth byte.
template <class F>
SOFT_INLINE void StoreChannels(uint8_t* d, uint32_t v, uint32_t old) {
  if constexpr (F::kBytes == 4) {
    F::Store(d, v | (old & 0xFF000000u));
  } else {
    F::Store(d, v);
  }
}

// ---------------------------------------------------------------- packed saturation
// Whole-pixel add and subtract with guard bits. The low-bit effects (green and red add
// and subtract only their upper bits, the carry or borrow of the channel below lands
// in their lowest bit) are part of the result.

SOFT_INLINE uint32_t PackedAdd(Xrgb8888, uint32_t d, uint32_t c) {
  const uint32_t sum = (d & 0x00FEFEFFu) + (c & 0x00FEFEFFu);
  const uint32_t k = sum & 0x01010100u;
  return (k - (k >> 8)) | ((d | c) & 0x00010100u) | sum;
}
SOFT_INLINE uint32_t PackedSub(Xrgb8888, uint32_t d, uint32_t c) {
  const uint32_t e = (d | 0x01010100u) - (c & 0xFEFEFEFFu);
  const uint32_t k = e & 0x01010100u;
  return (k - (k >> 8)) & e;
}
SOFT_INLINE uint32_t PackedAdd(Rgb565, uint32_t d, uint32_t c) {
  const uint32_t sum = (d & 0xF7DEF7DFu) + (c & 0xF7DEF7DFu);
  const uint32_t k = sum & 0x08210820u;
  return ((k - (k >> 5)) | ((d | c) & 0x0820u) | sum) & 0xFFFFu;
}
SOFT_INLINE uint32_t PackedSub(Rgb565, uint32_t d, uint32_t c) {
  const uint32_t e = (d | 0x08210820u) - (c & 0xF7DEF7DFu);
  const uint32_t k = e & 0x08210820u;
  return ((k - (k >> 5)) & e) & 0xFFFFu;
}

// Mode table entry: which modes draw at all, as every primitive tests them.
inline bool ModeDraws(int mode) {
  const unsigned m = static_cast<unsigned>(mode);
  return m <= 4 || m == 10 || m == 11;
}
inline bool TintOn(uint32_t bright) { return (bright & 0xFFFFFFu) != 0xFFFFFFu; }

// ---------------------------------------------------------------- per-call values

struct PixelContext {
  int p = 0;                          // DrawBlendParam
  int bright[3] = {};                 // bright blue, green, red bytes
  const int* tint[3] = {};            // their MulDiv255Table rows
  const int* scaleP = nullptr;        // MulDiv255Table row p
  const int* lerpP = nullptr;         // BlendLerpTable row p, at difference 0
  const uint8_t* lerp6 = nullptr;     // Lerp6Table plane p / 4
  const uint8_t* weight = BlendImageWeightTable;
  uint32_t key = 0;                   // transparent colour (direct sources)
  const uint8_t* palette = nullptr;   // 256 entries of the source format
  // Index keyed, or past the palette's entries. Filled for paletted sources only, the
  // only ones that read it: clearing it costs more than a small sprite's pixels.
  uint8_t paletteSkip[256];
};

// DrawBlendParam clamped into 0 to 255, as every primitive reads it.
inline int BlendParam() { return DrawBlendParam < 0 ? 0 : DrawBlendParam > 255 ? 255 : DrawBlendParam; }

// Fills the per-call values from the draw state and (when not null) the source body.
// `keyed`: the transparency flag of the call (the key only counts when it is set).
void PreparePixelContext(PixelContext* c, const MemImageBody* src, bool keyed);

// ---------------------------------------------------------------- source kinds
// Colour(): the source pixel's colour as a pixel of the format (a palette entry for a
// paletted source; for XRGB8888 the whole dword, fourth byte included).

template <class F>
struct SrcDirect {
  using Format = F;
  static constexpr int kBytes = F::kBytes;
  static constexpr bool kAlpha = false, kPaletted = false;
  SOFT_INLINE static uint32_t Colour(const uint8_t* p, const PixelContext&) { return F::Load(p); }
  SOFT_INLINE static bool Keyed(const uint8_t* p, const PixelContext& c) { return F::Load(p) == c.key; }
  SOFT_INLINE static int Alpha(const uint8_t*) { return 255; }
};

// XRGB8888 with alpha in the fourth byte; RGB565 with alpha: word, alpha byte, one unused byte.
template <class F>
struct SrcDirectAlpha {
  using Format = F;
  static constexpr int kBytes = 4;
  static constexpr bool kAlpha = true, kPaletted = false;
  SOFT_INLINE static uint32_t Colour(const uint8_t* p, const PixelContext&) { return F::Load(p); }
  SOFT_INLINE static bool Keyed(const uint8_t*, const PixelContext&) { return false; }
  SOFT_INLINE static int Alpha(const uint8_t* p) { return F::kBytes == 4 ? p[3] : p[2]; }
};

template <class F>
struct SrcPaletted {
  using Format = F;
  static constexpr int kBytes = 1;
  static constexpr bool kAlpha = false, kPaletted = true;
  SOFT_INLINE static uint32_t Colour(const uint8_t* p, const PixelContext& c) {
    return F::Load(c.palette + *p * F::kBytes);
  }
  SOFT_INLINE static bool Keyed(const uint8_t* p, const PixelContext& c) { return c.paletteSkip[*p] != 0; }
  SOFT_INLINE static int Alpha(const uint8_t*) { return 255; }
};

// ---------------------------------------------------------------- image-source operations
// Op::Opaque(d, s, w, c): the formula without alpha; Op::Translucent(d, s, a, w, c): with
// alpha as a factor. s is the source colour as fetched (untinted), w the blend-image
// weight (ignored without a blend image).

// The divisions by 255 of MulDiv255Table and BlendLerpTable, worked out instead of looked
// up so that the loops around them can take several pixels per step. Exact for every
// table entry (0 <= n <= 65025; |t| <= 65025).
SOFT_INLINE int Div255(int n) { return (n + 1 + (n >> 8)) >> 8; }
SOFT_INLINE int TruncDiv255(int t) {
  const int q = Div255(t < 0 ? -t : t);
  return t < 0 ? -q : q;
}
// floor(n / 63) for 0 <= n <= 3969: a Lerp6Table entry is Div63(i * j + (63 - i) * k).
SOFT_INLINE int Div63(int n) { return (n * 2081) >> 17; }

template <class F, bool Tint, int Ch>
SOFT_INLINE int TintCh(int v, const PixelContext& c) {
  if constexpr (Tint) {
    return Div255(v * c.bright[Ch]);
  } else {
    (void)c;
    return v;
  }
}

// d + (x - d) * f / 2^bits, floored; f <= 2^bits keeps the sum non-negative.
SOFT_INLINE int LerpShift(int d, int x, int f, int bits) { return ((d << bits) + (x - d) * f) >> bits; }
SOFT_INLINE int LerpShift64(int d, int x, int64_t f, int bits) {
  return static_cast<int>(((static_cast<int64_t>(d) << bits) + (x - d) * f) >> bits);
}

#if defined(__SSE2__)
// Eight RGB565 pixels of a direct source at once, for the operations that the
// compiler does not take several pixels per step by itself. Each gives exactly the
// result of its one-pixel form.
struct Block8 {
  static __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static __m128i Pack(__m128i b, __m128i g, __m128i r) {
    return _mm_or_si128(_mm_or_si128(b, _mm_slli_epi16(g, 5)), _mm_slli_epi16(r, 11));
  }
  static __m128i Blue(__m128i v) { return _mm_and_si128(v, _mm_set1_epi16(31)); }
  static __m128i Green(__m128i v) { return _mm_and_si128(_mm_srli_epi16(v, 5), _mm_set1_epi16(63)); }
  static __m128i Red(__m128i v) { return _mm_srli_epi16(v, 11); }
};

// The 2-byte texel at base + offset.
SOFT_INLINE int TexelWord(const uint8_t* base, intptr_t offset) {
  uint16_t t;
  std::memcpy(&t, base + offset, 2);
  return t;
}

// Texels at base + off[j], straight into registers (small stores read back as one vector
// would stall). Four: for 4-byte texels one in each lane, for 2-byte texels in words 0-3.
template <int kTexelBytes, class Offset>
SOFT_INLINE __m128i Gather4(const uint8_t* base, const Offset* off) {
  if constexpr (kTexelBytes == 4) {
    auto at = [&](int j) {
      uint32_t t;
      std::memcpy(&t, base + off[j], 4);
      return _mm_cvtsi32_si128(static_cast<int>(t));
    };
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(at(0), at(1)), _mm_unpacklo_epi32(at(2), at(3)));
  } else {
    static_assert(kTexelBytes == 2);
    __m128i v = _mm_cvtsi32_si128(TexelWord(base, off[0]));
    v = _mm_insert_epi16(v, TexelWord(base, off[1]), 1), v = _mm_insert_epi16(v, TexelWord(base, off[2]), 2);
    return _mm_insert_epi16(v, TexelWord(base, off[3]), 3);
  }
}
// Eight: for 4-byte texels four in each of lo and hi, for 2-byte texels all eight words in
// lo, in the layout Kernel::Pixels8v takes.
template <int kTexelBytes, class Offset>
SOFT_INLINE void Gather8(const uint8_t* base, const Offset* off, __m128i& lo, __m128i& hi) {
  lo = Gather4<kTexelBytes>(base, off);
  if constexpr (kTexelBytes == 4) {
    hi = Gather4<kTexelBytes>(base, off + 4);
  } else {
    lo = _mm_insert_epi16(lo, TexelWord(base, off[4]), 4), lo = _mm_insert_epi16(lo, TexelWord(base, off[5]), 5);
    lo = _mm_insert_epi16(lo, TexelWord(base, off[6]), 6), lo = _mm_insert_epi16(lo, TexelWord(base, off[7]), 7);
    hi = _mm_setzero_si128();
  }
}
#endif

// The colour words of n RGB565 pixels with alpha (word, alpha byte, unused byte), packed
// into n RGB565 pixels: an opaque run copied.
SOFT_INLINE void PackColourWords(uint8_t* d, const uint8_t* s, int n) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= n; i += 8) {
    // Each 32-bit lane's low word sign-extended, so that the saturating pack keeps it.
    const __m128i lo = _mm_srai_epi32(_mm_slli_epi32(Block8::Load(s + i * 4), 16), 16);
    const __m128i hi = _mm_srai_epi32(_mm_slli_epi32(Block8::Load(s + i * 4 + 16), 16), 16);
    Block8::Store(d + i * 2, _mm_packs_epi32(lo, hi));
  }
#endif
  for (; i < n; ++i) std::memcpy(d + i * 2, s + i * 4, 2);
}

template <class F, int Mode, bool Blend, bool Tint>
struct ImageOp {
  static constexpr int kMode = Mode;
  static constexpr bool kRgb565 = F::kBytes == 2;
  // Untinted mode 0 without blend image stores the source pixel whole.
  static constexpr bool kWholeCopy = Mode == BlendCopy && !Blend && !Tint;
  // Block form: RGB565, untinted, no blend image, the modes whose fields fit 16 bits.
  static constexpr bool kBlock8 = kRgb565 && !Blend && !Tint &&
                                  (Mode == BlendAlpha || Mode == BlendInvertAlpha ||
                                   Mode == BlendMultiplyAlpha || Mode == BlendMultiply ||
                                   Mode == BlendAddSat || Mode == BlendSubSat);

  // Target of an interpolating mode for channel Ch.
  template <int Ch>
  SOFT_INLINE static int Target(int s, int d, const PixelContext& c) {
    if constexpr (Mode == BlendInvertAlpha) {
      return TintCh<F, Tint, Ch>(ChannelMax<F, Ch>() - s, c);
    } else if constexpr (Mode == BlendMultiplyAlpha) {
      return (d * TintCh<F, Tint, Ch>(s, c)) >> F::kBits[Ch];
    } else {
      return TintCh<F, Tint, Ch>(s, c);
    }
  }

  // Scaled source channel of modes 2 and 3.
  template <int Ch>
  SOFT_INLINE static int Scaled(int s, bool translucent, int a, int w, const PixelContext& c) {
    if constexpr (kRgb565) {
      if (!translucent) {
        if constexpr (Blend) return Div255(c.p * ((TintCh<F, Tint, Ch>(s, c) * w) >> 8));
        return Div255(c.p * TintCh<F, Tint, Ch>(s, c));
      }
      // Without a blend image the alpha scales the field before the tint.
      if constexpr (Blend) return Div255(c.p * ((TintCh<F, Tint, Ch>(s, c) * w * a) >> 16));
      return Div255(c.p * TintCh<F, Tint, Ch>((s * a) >> 8, c));
    } else {
      const uint32_t t = static_cast<uint32_t>(TintCh<F, Tint, Ch>(s, c));
      const uint32_t p = static_cast<uint32_t>(c.p);
      if (!translucent) {
        if constexpr (Blend) return static_cast<int>((t * w * p) >> 16);
        return Div255(static_cast<int>(t * p));
      }
      if constexpr (Blend) return static_cast<int>((t * w * a * p) >> 24);
      return static_cast<int>((t * a * p) >> 16);
    }
  }

  SOFT_INLINE static void Combine(uint8_t* dp, uint32_t s, bool translucent, int a, int w,
                      const PixelContext& c) {
    const uint32_t d = F::Load(dp);
    if constexpr (Mode == BlendCopy) {
      if (!translucent && !Blend) {
        if constexpr (!Tint) {
          F::Store(dp, s);
        } else {
          StoreChannels<F>(dp, MapChannels<F>(s, d, [&](auto ch, int sc, int) {
            return TintCh<F, Tint, decltype(ch)::value>(sc, c);
          }), d);
        }
        return;
      }
      const int f = translucent ? (Blend ? w * a : a) : w;
      const int bits = translucent && Blend ? 16 : 8;
      StoreChannels<F>(dp, MapChannels<F>(s, d, [&](auto ch, int sc, int dc) {
        return LerpShift(dc, TintCh<F, Tint, decltype(ch)::value>(sc, c), f, bits);
      }), d);
    } else if constexpr (Mode == BlendAlpha || Mode == BlendInvertAlpha ||
                         Mode == BlendMultiplyAlpha) {
      const int p = c.p;
      StoreChannels<F>(dp, MapChannels<F>(s, d, [&](auto ch, int sc, int dc) {
        constexpr int kCh = decltype(ch)::value;
        if constexpr (kRgb565 && kCh == 1 && Mode == BlendMultiplyAlpha && !Blend && !Tint) {
          // Untinted mode 11 with alpha keeps five more fraction bits of green's product.
          if (translucent) return (((dc << 21) + (((sc * dc) >> 1) - 32 * dc) * a * p) >> 21);
        }
        const int x = Target<kCh>(sc, dc, c);
        if (!translucent) {
          if constexpr (Blend) return LerpShift(dc, x, w * p, 16);
          if constexpr (kRgb565) return dc + TruncDiv255((x - dc) * p);
          return LerpShift(dc, x, p, 8);
        }
        if constexpr (Blend) return LerpShift64(dc, x, static_cast<int64_t>(w * a) * p, 24);
        return LerpShift(dc, x, a * p, 16);
      }), d);
    } else if constexpr (Mode == BlendAddSat || Mode == BlendSubSat) {
      const uint32_t sc = MapChannels<F>(s, d, [&](auto ch, int v, int) {
        return Scaled<decltype(ch)::value>(v, translucent, a, w, c);
      });
      F::Store(dp, Mode == BlendAddSat ? PackedAdd(F{}, d, sc) : PackedSub(F{}, d, sc));
    } else if constexpr (Mode == BlendMultiply) {
      StoreChannels<F>(dp, MapChannels<F>(s, d, [&](auto ch, int v, int dc) {
        constexpr int kCh = decltype(ch)::value;
        const uint32_t prod = static_cast<uint32_t>(dc * TintCh<F, Tint, kCh>(v, c));
        constexpr int n = F::kBits[kCh];
        if (!translucent) {
          if constexpr (Blend) return static_cast<int>((prod * w) >> (n + 8));
          return static_cast<int>(prod >> n);
        }
        if constexpr (Blend) return static_cast<int>((prod * w * a) >> (n + 16));
        return static_cast<int>((prod * a) >> (n + 8));
      }), d);
    }
  }

  SOFT_INLINE static void Opaque(uint8_t* d, uint32_t s, int w, const PixelContext& c) {
    Combine(d, s, false, 255, w, c);
  }
#if defined(__SSE2__)
  // Eight texels at a time for the rotated blit and the triangle: the untinted modes
  // without blend image whose translucent formula fits 16-bit lanes.
  static constexpr bool kTexel8 =
      kRgb565 && !Blend && !Tint && (Mode == BlendCopy || Mode == BlendAddSat || Mode == BlendSubSat);
  // The copy's formula is three multiplies: cheaper than a mispredicted test.
  static constexpr bool kCheapTranslucent8 = Mode == BlendCopy;

  // Modes 2 and 3: the scaled source fields added to or subtracted from d with the packed
  // guard-bit rule; the guard bit above red, bit 16, is the carry (borrow) out of the lane.
  SOFT_INLINE static __m128i AddSub8(__m128i dv, __m128i cv) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i guards = _mm_set1_epi16(0x0820), red = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i cm = _mm_and_si128(cv, _mm_set1_epi16(static_cast<short>(0xF7DF)));
    if constexpr (Mode == BlendAddSat) {
      const __m128i dm = _mm_and_si128(dv, _mm_set1_epi16(static_cast<short>(0xF7DF)));
      const __m128i sum = _mm_add_epi16(dm, cm);
      const __m128i carry = _mm_andnot_si128(_mm_cmpeq_epi16(sum, _mm_adds_epu16(dm, cm)), red);
      const __m128i k = _mm_and_si128(sum, guards);
      return _mm_or_si128(_mm_or_si128(_mm_sub_epi16(k, _mm_srli_epi16(k, 5)), carry),
                          _mm_or_si128(_mm_and_si128(_mm_or_si128(dv, cv), guards), sum));
    } else {
      const __m128i dg = _mm_or_si128(dv, guards);
      const __m128i e = _mm_sub_epi16(dg, cm);
      const __m128i borrow = _mm_andnot_si128(_mm_cmpeq_epi16(dg, cm),
                                              _mm_cmpeq_epi16(_mm_subs_epu16(dg, cm), zero));
      const __m128i k = _mm_and_si128(e, guards);
      return _mm_and_si128(_mm_or_si128(_mm_sub_epi16(k, _mm_srli_epi16(k, 5)), _mm_andnot_si128(borrow, red)), e);
    }
  }
  // Each field f of modes 2 and 3 scaled by p / 255.
  SOFT_INLINE static __m128i ScaleFields8(__m128i b, __m128i g, __m128i r, const PixelContext& c) {
    if (c.p == 255) return Block8::Pack(b, g, r);  // a field times 255 / 255 is itself
    const __m128i p = _mm_set1_epi16(static_cast<short>(c.p)), one = _mm_set1_epi16(1);
    auto scale = [&](__m128i f) {
      const __m128i n = _mm_mullo_epi16(f, p);
      return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(n, one), _mm_srli_epi16(n, 8)), 8);
    };
    return Block8::Pack(scale(b), scale(g), scale(r));
  }

  // Eight pixels of the opaque formula: kBlock8's modes, and mode 0 (the source whole).
  SOFT_INLINE static __m128i Opaque8v(__m128i dv, __m128i sv, const PixelContext& c) {
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
    const __m128i p = _mm_set1_epi16(static_cast<short>(c.p));
    if constexpr (Mode == BlendCopy) {
      (void)dv, (void)c;
      return sv;
    } else if constexpr (Mode == BlendAddSat || Mode == BlendSubSat) {
      return AddSub8(dv, ScaleFields8(Block8::Blue(sv), Block8::Green(sv), Block8::Red(sv), c));
    } else {
      auto field = [&](__m128i sf, __m128i df, int bits) {
        if constexpr (Mode == BlendMultiply) {
          return _mm_srli_epi16(_mm_mullo_epi16(sf, df), bits);
        } else {
          __m128i x = sf;
          if constexpr (Mode == BlendInvertAlpha) x = _mm_sub_epi16(_mm_set1_epi16((1 << bits) - 1), sf);
          if constexpr (Mode == BlendMultiplyAlpha) x = _mm_srli_epi16(_mm_mullo_epi16(sf, df), bits);
          // d + trunc((x - d) * p / 255): |(x - d) * p| <= 63 * 255 fits a signed word.
          const __m128i t = _mm_mullo_epi16(_mm_sub_epi16(x, df), p);
          const __m128i neg = _mm_cmpgt_epi16(zero, t);
          const __m128i a = _mm_max_epi16(t, _mm_sub_epi16(zero, t));
          const __m128i q = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a, one), _mm_srli_epi16(a, 8)), 8);
          return _mm_add_epi16(df, _mm_sub_epi16(_mm_xor_si128(q, neg), neg));
        }
      };
      return Block8::Pack(field(Block8::Blue(sv), Block8::Blue(dv), 5), field(Block8::Green(sv), Block8::Green(dv), 6),
                          field(Block8::Red(sv), Block8::Red(dv), 5));
    }
  }
  SOFT_INLINE static void Opaque8(uint8_t* dp, const uint8_t* sp, const PixelContext& c) {
    Block8::Store(dp, Opaque8v(Block8::Load(dp), Block8::Load(sp), c));
  }

  // Eight pixels of kTexel8's translucent formula, av the alphas in the lanes: 0 to 255,
  // or 256, which gives the opaque formula.
  SOFT_INLINE static __m128i Translucent8v(__m128i dv, __m128i sv, __m128i av, const PixelContext& c) {
    if constexpr (Mode == BlendCopy) {
      (void)c;
      // (d * 256 + (s - d) * a) >> 8 = d + floor((s - d) * 256 * a / 65536): the high
      // word of a signed product, |s - d| * 256 <= 16128 and a <= 256 fitting signed words.
      // Each field's change lies between -d and the room above d, so the three changes
      // added to the whole pixel never carry or borrow across a field.
      auto change = [&](__m128i difference256) { return _mm_mulhi_epi16(difference256, av); };
      const __m128i blue = _mm_set1_epi16(31), green = _mm_set1_epi16(0x07E0);
      const __m128i b = change(_mm_slli_epi16(_mm_sub_epi16(_mm_and_si128(sv, blue), _mm_and_si128(dv, blue)), 8));
      const __m128i g = change(_mm_slli_epi16(_mm_sub_epi16(_mm_and_si128(sv, green), _mm_and_si128(dv, green)), 3));
      const __m128i r = change(_mm_slli_epi16(_mm_sub_epi16(Block8::Red(sv), Block8::Red(dv)), 8));
      return _mm_add_epi16(_mm_add_epi16(dv, b), _mm_add_epi16(_mm_slli_epi16(g, 5), _mm_slli_epi16(r, 11)));
    } else {
      // The alpha scales each field before p does.
      auto alpha = [&](__m128i f) { return _mm_srli_epi16(_mm_mullo_epi16(f, av), 8); };
      return AddSub8(dv, ScaleFields8(alpha(Block8::Blue(sv)), alpha(Block8::Green(sv)), alpha(Block8::Red(sv)), c));
    }
  }
#endif
  SOFT_INLINE static void Translucent(uint8_t* d, uint32_t s, int a, int w, const PixelContext& c) {
    Combine(d, s, true, a, w, c);
  }
};


// Mode 1 at p = 128, untinted, no blend image, source without alpha (plain blits only):
// the half-sum of whole pixels, without carries between channels.
template <class F>
struct HalfSumOp {
  static constexpr bool kWholeCopy = false;
  static constexpr bool kBlock8 = F::kBytes == 2;
  SOFT_INLINE static void Opaque(uint8_t* dp, uint32_t s, int, const PixelContext&) {
    const uint32_t m = F::kBytes == 4 ? 0x7F7F7Fu : 0x7BEFu;
    F::Store(dp, ((s >> 1) & m) + ((F::Load(dp) >> 1) & m));
  }
  SOFT_INLINE static void Translucent(uint8_t* dp, uint32_t s, int, int w, const PixelContext& c) {
    Opaque(dp, s, w, c);
  }
#if defined(__SSE2__)
  SOFT_INLINE static void Opaque8(uint8_t* dp, const uint8_t* sp, const PixelContext&) {
    const __m128i m = _mm_set1_epi16(0x7BEF);
    Block8::Store(dp, _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(Block8::Load(sp), 1), m),
                                    _mm_and_si128(_mm_srli_epi16(Block8::Load(dp), 1), m)));
  }
#endif
};

// RGB565 mode 1 untinted, no blend image, source without alpha (plain blits only):
// each field as the Lerp6Table plane of p / 4 gives it.
struct Lerp6Op {
  static constexpr bool kWholeCopy = false;
  static constexpr bool kBlock8 = true;
  SOFT_INLINE static void Opaque(uint8_t* dp, uint32_t s, int, const PixelContext& c) {
    const uint32_t d = Rgb565::Load(dp);
    const int i = c.p >> 2;
    Rgb565::Store(dp, MapChannels<Rgb565>(s, d, [&](auto, int sc, int dc) {
      return Div63(i * sc + (63 - i) * dc);
    }));
  }
  SOFT_INLINE static void Translucent(uint8_t* dp, uint32_t s, int, int w, const PixelContext& c) {
    Opaque(dp, s, w, c);
  }
#if defined(__SSE2__)
  SOFT_INLINE static void Opaque8(uint8_t* dp, const uint8_t* sp, const PixelContext& c) {
    const __m128i sv = Block8::Load(sp), dv = Block8::Load(dp);
    const __m128i i = _mm_set1_epi16(static_cast<short>(c.p >> 2));
    const __m128i j = _mm_set1_epi16(static_cast<short>(63 - (c.p >> 2)));
    const __m128i one = _mm_set1_epi16(1);
    auto field = [&](__m128i sf, __m128i df) {
      // floor(n / 63) = (n + (n >> 6) + 1) >> 6 for every n up to 63 * 63.
      const __m128i n = _mm_add_epi16(_mm_mullo_epi16(sf, i), _mm_mullo_epi16(df, j));
      return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(n, _mm_srli_epi16(n, 6)), one), 6);
    };
    Block8::Store(dp, Block8::Pack(field(Block8::Blue(sv), Block8::Blue(dv)),
                                   field(Block8::Green(sv), Block8::Green(dv)),
                                   field(Block8::Red(sv), Block8::Red(dv))));
  }
#endif
};

// ---------------------------------------------------------------- kernels

// Per-pixel transparency test of a kernel.
enum class Test {
  None,         // every pixel opaque (alpha, if any, ignored)
  Key,          // colour key (direct) or skip table (paletted), then opaque
  AlphaSkip,    // alpha 0 skipped, 255 opaque, other translucent
  AlphaAlways,  // translucent for every alpha
};

template <class SrcT, class OpT, Test T, bool BlendT>
struct Kernel {
  using Src = SrcT;
  using Op = OpT;
  using Format = typename Src::Format;
  static constexpr Test kTest = T;
  static constexpr bool kBlend = BlendT;
  static constexpr int kSrcBytes = Src::kBytes;
  static constexpr int kDstBytes = Format::kBytes;
  // Rows can be copied with memcpy: untinted mode 0 of a direct source of the
  // destination's own pixel size, with nothing to test.
  static constexpr bool kRowCopy =
      Op::kWholeCopy && T == Test::None && !Src::kPaletted && Src::kBytes == Format::kBytes;
  // A keyed whole-pixel copy that can be written as a select.
  static constexpr bool kKeyedCopy =
      Op::kWholeCopy && T == Test::Key && !Src::kPaletted && !Src::kAlpha;

  // Eight pixels per step where the operation has a block form: an RGB565 direct source
  // without a per-pixel test.
  static constexpr bool kBlock8 = [] {
    if constexpr (requires { Op::kBlock8; }) {
      return Op::kBlock8 && T == Test::None && !Src::kPaletted && Src::kBytes == 2 &&
             Format::kBytes == 2;
    }
    return false;
  }();
  // Opaque runs of an RGB565 source with alpha: the colour words are gathered first.
  static constexpr bool kBlock8Gather = [] {
    if constexpr (requires { Op::kBlock8; }) {
      return Op::kBlock8 && Src::kAlpha && Format::kBytes == 2;
    }
    return false;
  }();
  // The same with the colour key: the block is drawn, then keyed pixels are put back.
  static constexpr bool kBlock8Keyed = [] {
    if constexpr (requires { Op::kBlock8; }) {
      return Op::kBlock8 && T == Test::Key && !Src::kPaletted && Src::kBytes == 2 &&
             Format::kBytes == 2;
    }
    return false;
  }();

  // Eight texels per step in the rotated blit and the triangle: an RGB565 destination, a
  // direct RGB565 source and an operation with a 16-bit-lane form.
  static constexpr bool kTexel8 = [] {
    if constexpr (requires { Op::kTexel8; }) {
      return Op::kTexel8 && !Src::kPaletted && Format::kBytes == 2;
    }
    return false;
  }();
#if defined(__SSE2__)
  // Draws the pixels at d of the lanes set in `keep` (16-bit lanes, all ones or zero) from
  // eight source texels laid out in a row, kSrcBytes each, exactly as Pixel would; the
  // other lanes keep their pixels.
  SOFT_INLINE static void Pixels8(uint8_t* d, const uint8_t* texels, const PixelContext& c,
                                  __m128i keep = _mm_set1_epi16(-1)) {
    if constexpr (Src::kBytes == 4) {
      Pixels8v(d, Block8::Load(texels), Block8::Load(texels + 16), c, keep);
    } else {
      Pixels8v(d, Block8::Load(texels), _mm_setzero_si128(), c, keep);
    }
  }
  // The same with the texels in registers: four in each of lo and hi for a source of 4
  // bytes a pixel, all eight words in lo for one of 2.
  SOFT_INLINE static void Pixels8v(uint8_t* d, __m128i lo, __m128i hi, const PixelContext& c, __m128i keep) {
    __m128i sv;
    __m128i skip = _mm_xor_si128(keep, _mm_set1_epi16(-1));
    if constexpr (Src::kBytes == 4) {
      // Each half's colour words to its low and alpha words to its high eight bytes.
      auto split = [](__m128i v) {
        constexpr int kEvenFirst = _MM_SHUFFLE(3, 1, 2, 0);
        return _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_shufflelo_epi16(v, kEvenFirst), kEvenFirst), kEvenFirst);
      };
      const __m128i l = split(lo), h = split(hi);
      sv = _mm_unpacklo_epi64(l, h);
      const __m128i av = _mm_and_si128(_mm_unpackhi_epi64(l, h), _mm_set1_epi16(0xFF));
      if constexpr (T == Test::AlphaAlways) {
        const __m128i dv = Block8::Load(d);
        Block8::Store(d, _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, Op::Translucent8v(dv, sv, av, c))));
        return;
      } else if constexpr (T == Test::AlphaSkip) {
        // All transparent: nothing written. (Not tested for the copy, whose every pixel
        // costs less than a mispredicted test, and whose formula at alpha 0 gives the
        // destination pixel itself.)
        if constexpr (!Op::kCheapTranslucent8) {
          skip = _mm_or_si128(skip, _mm_cmpeq_epi16(av, _mm_setzero_si128()));
          if (_mm_movemask_epi8(skip) == 0xFFFF) return;
        }
        // Alpha 255 drops out of the formula: as a factor of 256 (a whole shift) the
        // translucent formula gives the opaque one exactly, so one formula serves every lane.
        const __m128i factor = _mm_sub_epi16(av, _mm_cmpeq_epi16(av, _mm_set1_epi16(255)));
        const __m128i dv = Block8::Load(d);
        Block8::Store(d, _mm_or_si128(_mm_and_si128(skip, dv),
                                      _mm_andnot_si128(skip, Op::Translucent8v(dv, sv, factor, c))));
        return;
      }
    } else {
      (void)hi;
      sv = lo;
    }
    if constexpr (T == Test::Key) {
      // A key above 16 bits matches no pixel.
      if (c.key <= 0xFFFF) skip = _mm_or_si128(skip, _mm_cmpeq_epi16(sv, _mm_set1_epi16(static_cast<short>(c.key))));
      if (_mm_movemask_epi8(skip) == 0xFFFF) return;
    }
    const __m128i dv = Block8::Load(d);
    Block8::Store(d, _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, Op::Opaque8v(dv, sv, c))));
  }
#endif

  SOFT_INLINE static int Weight(const uint8_t* b, const PixelContext& c) {
    if constexpr (BlendT) return c.weight[*b];
    (void)b;
    (void)c;
    return 0;
  }

  // One pixel of the walk: s the source pixel, b the blend byte (unused without one).
  SOFT_INLINE static void Pixel(uint8_t* d, const uint8_t* s, const uint8_t* b, const PixelContext& c) {
    if constexpr (T == Test::None) {
      Op::Opaque(d, Src::Colour(s, c), Weight(b, c), c);
    } else if constexpr (T == Test::Key) {
      if (Src::Keyed(s, c)) return;
      Op::Opaque(d, Src::Colour(s, c), Weight(b, c), c);
    } else if constexpr (T == Test::AlphaSkip) {
      const int a = Src::Alpha(s);
      if (a == 0) return;
      if (a == 255) {
        Op::Opaque(d, Src::Colour(s, c), Weight(b, c), c);
      } else {
        Op::Translucent(d, Src::Colour(s, c), a, Weight(b, c), c);
      }
    } else {
      Op::Translucent(d, Src::Colour(s, c), Src::Alpha(s), Weight(b, c), c);
    }
  }
  // Pixels of an opaque run: no test, alpha dropped.
  SOFT_INLINE static void OpaquePixel(uint8_t* d, const uint8_t* s, const uint8_t* b, const PixelContext& c) {
    Op::Opaque(d, Src::Colour(s, c), Weight(b, c), c);
  }
  // Pixels of a translucent run: alpha a factor, without the 0 and 255 tests.
  SOFT_INLINE static void TranslucentPixel(uint8_t* d, const uint8_t* s, const uint8_t* b,
                               const PixelContext& c) {
    if constexpr (Src::kAlpha) {
      Op::Translucent(d, Src::Colour(s, c), Src::Alpha(s), Weight(b, c), c);
    } else {
      OpaquePixel(d, s, b, c);
    }
  }
};

// ---------------------------------------------------------------- dispatch

// Which family of loops a primitive has.
enum class Flavor {
  Plain,     // the unscaled blit's per-pixel loops: half-sum and Lerp6Table forms of
             // mode 1, and the untinted mode 0 copy of an alpha source without the flag
  RunCoded,  // the unscaled blit's run-coded loops: tests come from the runs
  Scaled,    // stretched blits and every other image primitive: the general rules
};

struct ImageCall {
  const MemImageBody* src;  // depth class, paletted and alpha flags are read
  int mode;                 // DrawBlendMode
  int p;                    // DrawBlendParam
  bool blend;               // a blend image is given
  bool tint;                // TintOn(DrawBright)
  bool trans;               // the transparency flag is non-zero
};

namespace detail {

template <class F, class Src, int Mode, bool Blend, bool Tint, class Walk>
bool RunImage(Test t, Walk& walk) {
  using Op = ImageOp<F, Mode, Blend, Tint>;
  switch (t) {
    case Test::None: walk(Kernel<Src, Op, Test::None, Blend>{}); break;
    case Test::Key:
      if constexpr (!Src::kAlpha) walk(Kernel<Src, Op, Test::Key, Blend>{});
      break;
    case Test::AlphaSkip:
      if constexpr (Src::kAlpha) walk(Kernel<Src, Op, Test::AlphaSkip, Blend>{});
      break;
    case Test::AlphaAlways:
      if constexpr (Src::kAlpha) walk(Kernel<Src, Op, Test::AlphaAlways, Blend>{});
      break;
  }
  return true;
}

template <Flavor Fl, class F, class Src, int Mode, class Walk>
bool RunImageMode(const ImageCall& call, Test t, Walk& walk) {
  if constexpr (Fl == Flavor::Plain && Mode == BlendAlpha && !Src::kAlpha) {
    if (!call.blend && !call.tint) {
      if (call.p == 128) {
        if (t == Test::Key) {
          walk(Kernel<Src, HalfSumOp<F>, Test::Key, false>{});
        } else {
          walk(Kernel<Src, HalfSumOp<F>, Test::None, false>{});
        }
        return true;
      }
      if constexpr (F::kBytes == 2) {
        if (t == Test::Key) {
          walk(Kernel<Src, Lerp6Op, Test::Key, false>{});
        } else {
          walk(Kernel<Src, Lerp6Op, Test::None, false>{});
        }
        return true;
      }
    }
  }
  // Nothing draws through a blend image in a hot loop: its loops always tint, which with
  // a white bright colour (each channel times 255 / 255) leaves every channel as it is,
  // and the loops without the tint are not built at all.
  if (call.blend) return RunImage<F, Src, Mode, true, true>(t, walk);
  return call.tint ? RunImage<F, Src, Mode, false, true>(t, walk)
                   : RunImage<F, Src, Mode, false, false>(t, walk);
}

template <Flavor Fl, class F, class Src, class Walk>
bool RunImageSource(const ImageCall& call, int mode, Test t, Walk& walk) {
  switch (mode) {
    case BlendCopy: return RunImageMode<Fl, F, Src, BlendCopy>(call, t, walk);
    case BlendAlpha: return RunImageMode<Fl, F, Src, BlendAlpha>(call, t, walk);
    case BlendAddSat: return RunImageMode<Fl, F, Src, BlendAddSat>(call, t, walk);
    case BlendSubSat: return RunImageMode<Fl, F, Src, BlendSubSat>(call, t, walk);
    case BlendMultiply: return RunImageMode<Fl, F, Src, BlendMultiply>(call, t, walk);
    case BlendInvertAlpha: return RunImageMode<Fl, F, Src, BlendInvertAlpha>(call, t, walk);
    case BlendMultiplyAlpha: return RunImageMode<Fl, F, Src, BlendMultiplyAlpha>(call, t, walk);
    default: return false;
  }
}

}  // namespace detail

// Makes every decision of an image-source call once and runs walk(Kernel{}) with the
// one kernel that fits; returns false (walk not run) when the call draws nothing:
// a mode outside 0-4, 10, 11, p = 0 in modes 1 to 3, or a source kind no loop has.
// Mode 1 at p = 255 runs the mode 0 kernels.
template <Flavor Fl, class Walk>
bool DispatchImage(const ImageCall& call, Walk&& walk) {
  int mode = call.mode;
  if (!ModeDraws(mode)) return false;
  if (mode == BlendAlpha && call.p == 255) mode = BlendCopy;
  if ((mode == BlendAlpha || mode == BlendAddSat || mode == BlendSubSat) && call.p == 0)
    return false;
  const MemImageBody* src = call.src;
  const bool paletted = src->paletted == 1;
  const bool alpha = !paletted && src->alpha == 1;
  Test t;
  if (Fl == Flavor::RunCoded) {
    t = Test::None;
  } else if (paletted) {
    t = Test::Key;  // the skip table also holds indexes past the palette's entries
  } else if (alpha) {
    const bool plainCopy = Fl == Flavor::Plain && mode == BlendCopy && !call.tint && !call.blend;
    t = call.trans ? Test::AlphaSkip : plainCopy ? Test::None : Test::AlphaAlways;
  } else {
    t = call.trans ? Test::Key : Test::None;
  }
  auto run = [&]<class F>(F) {
    if (paletted) return detail::RunImageSource<Fl, F, SrcPaletted<F>>(call, mode, t, walk);
    if (alpha) return detail::RunImageSource<Fl, F, SrcDirectAlpha<F>>(call, mode, t, walk);
    return detail::RunImageSource<Fl, F, SrcDirect<F>>(call, mode, t, walk);
  };
  if (src->depthClass == kDepthXrgb8888) return run(Xrgb8888{});
  if (src->depthClass == kDepthRgb565) return run(Rgb565{});
  return false;
}

// ---------------------------------------------------------------- constant colour

// The colour of a constant-colour primitive, worked out once per call.
struct ConstColour {
  uint32_t colour = 0;    // tinted pixel (XRGB8888: fourth byte as given)
  int ch[3] = {};         // its channels
  int inv[3] = {};        // the complemented channels (mode 10)
  uint32_t scaled = 0;    // channels through MulDiv255Table row p (modes 2, 3)
  int p = 0;
  const int* lerpP = nullptr;  // BlendLerpTable row p, at difference 0
};

// Prepares the colour for a destination of format F: an RGB565 colour is masked to 16
// bits; with `tint` each channel is multiplied by its bright byte and shifted right 8.
template <class F>
ConstColour PrepareConstColour(uint32_t colour, bool tint, uint32_t bright, int p) {
  ConstColour k;
  if constexpr (F::kBytes == 2) colour &= 0xFFFFu;
  const int brightCh[3] = {static_cast<int>(bright & 0xFF), static_cast<int>((bright >> 8) & 0xFF),
                           static_cast<int>((bright >> 16) & 0xFF)};
  uint32_t packed = F::kBytes == 4 ? (colour & 0xFF000000u) : 0;
  uint32_t scaled = 0;
  for (int i = 0; i < 3; ++i) {
    const int max = (1 << F::kBits[i]) - 1;
    int v = static_cast<int>((colour >> F::kShift[i]) & max);
    if (tint) v = (v * brightCh[i]) >> 8;
    k.ch[i] = v;
    k.inv[i] = max - v;
    packed |= static_cast<uint32_t>(v) << F::kShift[i];
    scaled |= static_cast<uint32_t>(MulDiv255Table[p][v]) << F::kShift[i];
  }
  k.colour = packed;
  k.scaled = scaled;
  k.p = p;
  k.lerpP = &BlendLerpTable[p][255];
  return k;
}

// ConstOp<F, Mode>::Apply(d, k): one destination pixel under the constant-colour combine.
template <class F, int Mode>
struct ConstOp {
  using Format = F;
  static constexpr int kMode = Mode;
  static constexpr bool kRgb565 = F::kBytes == 2;
  SOFT_INLINE static void Apply(uint8_t* dp, const ConstColour& k) {
    if constexpr (Mode == BlendCopy) {
      F::Store(dp, k.colour);
    } else if constexpr (Mode == BlendAddSat) {
      F::Store(dp, PackedAdd(F{}, F::Load(dp), k.scaled));
    } else if constexpr (Mode == BlendSubSat) {
      F::Store(dp, PackedSub(F{}, F::Load(dp), k.scaled));
    } else {
      const uint32_t d = F::Load(dp);
      StoreChannels<F>(dp, MapChannels<F>(0, d, [&](auto ch, int, int dc) {
        constexpr int kCh = decltype(ch)::value;
        int x;
        if constexpr (Mode == BlendMultiply) {
          return (dc * k.ch[kCh]) >> F::kBits[kCh];
        } else if constexpr (Mode == BlendInvertAlpha) {
          x = k.inv[kCh];
        } else if constexpr (Mode == BlendMultiplyAlpha) {
          x = (dc * k.ch[kCh]) >> F::kBits[kCh];
        } else {
          x = k.ch[kCh];
        }
        if constexpr (kRgb565) return dc + TruncDiv255((x - dc) * k.p);
        return ((dc << 8) + (x - dc) * k.p) >> 8;
      }), d);
    }
  }
};

// Runs walk(ConstOp<F, Mode>{}) for the format of `depthClass` and the mode; returns false
// when nothing is drawn (other depth class, a mode outside 0-4, 10, 11, p = 0 in modes
// 1 to 3). Mode 1 at p = 255 runs mode 0.
template <class Walk>
bool DispatchConst(int depthClass, int mode, int p, Walk&& walk) {
  if (!ModeDraws(mode)) return false;
  if (mode == BlendAlpha && p == 255) mode = BlendCopy;
  if ((mode == BlendAlpha || mode == BlendAddSat || mode == BlendSubSat) && p == 0) return false;
  auto run = [&]<class F>(F) {
    switch (mode) {
      case BlendCopy: walk(ConstOp<F, BlendCopy>{}); break;
      case BlendAlpha: walk(ConstOp<F, BlendAlpha>{}); break;
      case BlendAddSat: walk(ConstOp<F, BlendAddSat>{}); break;
      case BlendSubSat: walk(ConstOp<F, BlendSubSat>{}); break;
      case BlendMultiply: walk(ConstOp<F, BlendMultiply>{}); break;
      case BlendInvertAlpha: walk(ConstOp<F, BlendInvertAlpha>{}); break;
      default: walk(ConstOp<F, BlendMultiplyAlpha>{}); break;
    }
    return true;
  };
  if (depthClass == kDepthXrgb8888) return run(Xrgb8888{});
  if (depthClass == kDepthRgb565) return run(Rgb565{});
  return false;
}

// ---------------------------------------------------------------- fetching ahead
// What a frame draws has mostly left the cache by the next frame, and rows of a few
// hundred bytes are too short for the hardware to see a stream: walks whose source rows
// span this many bytes request the lines of a row or two ahead of the one they draw.
constexpr std::ptrdiff_t kFetchAheadRowBytes = 256;
inline bool FetchAheadPays(std::ptrdiff_t rowBytes) { return rowBytes >= kFetchAheadRowBytes; }
// Requests the cache lines holding bytes [p, p + bytes) into the outer caches; a request
// never faults. A request into the first level holds one of its few miss slots until the
// line arrives, and a row's worth of them stalled the walk that made them: drawn from cold
// caches, the frame overlay and the bomb's ring took a quarter to a third longer.
SOFT_INLINE void FetchLines(const uint8_t* p, std::ptrdiff_t bytes) {
  const uintptr_t end = reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(bytes);
  for (uintptr_t a = reinterpret_cast<uintptr_t>(p) & ~uintptr_t{63}; a < end; a += 64)
    __builtin_prefetch(reinterpret_cast<const void*>(a), 0, 1);
}

// ---------------------------------------------------------------- checks shared by primitives

// The draw area clipped to the destination's own rectangle, so that a draw area left
// larger than the destination never writes outside it.
Rect ClipAreaTo(const MEMIMG* dst, const Rect& area);

// A destination that can be drawn into: depth class 0 or 1, not paletted, no alpha
// channel, and the pixel size its class implies.
bool DrawableTarget(const MEMIMG* dst);
// A source whose pixel size matches its kind and whose depth class is the destination's.
bool DrawableSource(const MEMIMG* src, const MEMIMG* dst);
// A blend image of one byte per pixel at least as large as `src`, or none.
bool BlendImageCovers(const MEMIMG* blend, const MEMIMG* src);

}  // namespace soft
