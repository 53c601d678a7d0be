#include "softrender/draw_image.h"

#include <algorithm>
#include <cstring>

#include "softrender/draw_state.h"
#include "softrender/pixel_ops.h"

namespace {

struct Blit {
  uint8_t* dst;
  const uint8_t* src;
  const uint8_t* blend;  // null without a blend image
  int dstPitch, srcPitch, blendPitch;
  int width, height;
  bool fetchAhead;  // request the lines of the row two below the one drawn
};

// Rows ahead of the one drawn whose lines are requested.
constexpr int kRowsAhead = 2;
// Bytes left out between drawn rows past which they are no longer one stream.
constexpr std::ptrdiff_t kFetchAheadGap = 64;

#if defined(__SSE2__)
// A row of at least eight pixels under an eight-texel kernel: whole blocks, then one
// block ending at the row's end with its lanes already drawn kept, so no read or write
// leaves the row and no pixel is drawn twice.
template <class K>
SOFT_INLINE void BlockRow(uint8_t* d, const uint8_t* s, int width, const soft::PixelContext& c) {
  int x = 0;
  for (; x + 8 <= width; x += 8) K::Pixels8(d + x * 2, s + x * K::kSrcBytes, c);
  if (x == width) return;
  const int done = 8 - (width - x);
  const __m128i keep = _mm_cmpgt_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), _mm_set1_epi16(static_cast<short>(done - 1)));
  K::Pixels8(d + (width - 8) * 2, s + (width - 8) * K::kSrcBytes, c, keep);
}
#endif

// The per-pixel loops: one pass over the clipped rectangle.
// Both walks take their own copies of the call's values: stores through the byte
// pointers may alias anything else, and locals let the compiler keep them in registers
// and take several pixels per step.
template <class K>
[[gnu::flatten, gnu::noinline]] void DrawRows(const Blit& blit, const soft::PixelContext& ctx) {
  using F = typename K::Format;
  const Blit b = blit;
  const soft::PixelContext c = ctx;
  const uint8_t* s = b.src;
  const uint8_t* bl = b.blend;
  uint8_t* d = b.dst;
  // The source row kRowsAhead below row y.
  auto fetch = [&](int y, const uint8_t* row) {
    if (b.fetchAhead && y + kRowsAhead < b.height)
      soft::FetchLines(row + kRowsAhead * b.srcPitch, static_cast<std::ptrdiff_t>(b.width) * K::kSrcBytes);
  };
#if defined(__SSE2__)
  // Sources with alpha whose operation has an eight-texel form: whole rows in blocks.
  if constexpr (K::kTexel8 && K::Src::kAlpha && !K::kBlend) {
    if (b.width >= 8) {
      for (int y = 0; y < b.height; ++y, d += b.dstPitch, s += b.srcPitch) {
        fetch(y, s);
        BlockRow<K>(d, s, b.width, c);
      }
      return;
    }
  }
#endif
  for (int y = 0; y < b.height; ++y, d += b.dstPitch, s += b.srcPitch) {
    fetch(y, s);
    if constexpr (K::kRowCopy) {
      // memmove: an image may be drawn onto itself.
      std::memmove(d, s, static_cast<size_t>(b.width) * F::kBytes);
    } else if constexpr (K::kKeyedCopy) {
      // Written as a select so that the compiler can take several pixels per step.
      for (int x = 0; x < b.width; ++x) {
        const uint32_t v = F::Load(s + x * F::kBytes);
        const uint32_t old = F::Load(d + x * F::kBytes);
        F::Store(d + x * F::kBytes, v == c.key ? old : v);
      }
    } else {
      int x = 0;
#if defined(__SSE2__)
      if constexpr (K::kBlock8)
        for (; x + 8 <= b.width; x += 8) K::Op::Opaque8(d + x * 2, s + x * 2, c);
      if constexpr (K::kBlock8Keyed) {
        // A key above 16 bits matches no pixel.
        const __m128i key = _mm_set1_epi16(static_cast<short>(c.key));
        const __m128i keyOn = c.key <= 0xFFFF ? _mm_set1_epi16(-1) : _mm_setzero_si128();
        for (; x + 8 <= b.width; x += 8) {
          const __m128i old = soft::Block8::Load(d + x * 2);
          const __m128i keyed = _mm_and_si128(_mm_cmpeq_epi16(soft::Block8::Load(s + x * 2), key), keyOn);
          K::Op::Opaque8(d + x * 2, s + x * 2, c);
          soft::Block8::Store(d + x * 2, _mm_or_si128(_mm_and_si128(keyed, old),
                                                      _mm_andnot_si128(keyed, soft::Block8::Load(d + x * 2))));
        }
      }
#endif
      for (; x < b.width; ++x)
        K::Pixel(d + x * F::kBytes, s + x * K::kSrcBytes, K::kBlend ? bl + x : nullptr, c);
    }
    if constexpr (K::kBlend) bl += b.blendPitch;
  }
}

// Run-coded sources up to this wide are drawn as whole rows of blocks instead.
constexpr int kBlockRowWidest = 64;

// The run-coded loops: the whole image, its runs deciding skip, opaque or translucent.
template <class K>
[[gnu::flatten, gnu::noinline]] void DrawRuns(const Blit& blit, const uint8_t* codes, const soft::PixelContext& ctx) {
  using F = typename K::Format;
  const Blit b = blit;
  const soft::PixelContext c = ctx;
  const uint8_t* srow = b.src;
  const uint8_t* brow = b.blend;
  uint8_t* drow = b.dst;
#if defined(__SSE2__)
  // Blocks of eight texels with alpha, the alpha of each deciding as its run would (0
  // skipped, 255 opaque, else translucent).
  constexpr bool kAlphaBlocks = K::kTexel8 && K::Src::kAlpha && !K::kBlend;
  using Skip = soft::Kernel<typename K::Src, typename K::Op, soft::Test::AlphaSkip, false>;
  // Sprites: each row whole in blocks. On rows this short the runs' lengths cost more
  // than the pixels they skip.
  if constexpr (kAlphaBlocks) {
    if (b.width >= 8 && b.width <= kBlockRowWidest) {
      for (int y = 0; y < b.height; ++y, drow += b.dstPitch, srow += b.srcPitch)
        BlockRow<Skip>(drow, srow, b.width, c);
      return;
    }
  }
#endif
  for (int y = 0; y < b.height; ++y) {
    // The whole row two below: requests for its runs alone, broken by the skip runs,
    // leave the hardware no stream to follow and have measured slower.
    if (b.fetchAhead && y + kRowsAhead < b.height)
      soft::FetchLines(srow + kRowsAhead * b.srcPitch, static_cast<std::ptrdiff_t>(b.width) * K::kSrcBytes);
    int x = 0;
    for (uint8_t code; (code = *codes++) < kRunRowEnd;) {
      int length = (code & 63) + 1;
      if constexpr (K::Op::kWholeCopy && K::kSrcBytes == F::kBytes && !K::Src::kPaletted) {
        // Opaque runs in a row are one copy: an opaque image is runs of 64 pixels.
        if ((code & 0xC0) == kRunOpaque)
          while (*codes < kRunRowEnd && (*codes & 0xC0) == kRunOpaque) length += (*codes++ & 63) + 1;
      }
      // A run never reaches past the row, whatever the table says.
      const int n = std::min(length, b.width - x);
      uint8_t* d = drow + x * F::kBytes;
      const uint8_t* s = srow + x * K::kSrcBytes;
      const uint8_t* bl = K::kBlend ? brow + x : nullptr;
      if ((code & 0xC0) == kRunOpaque) {
        if constexpr (K::Op::kWholeCopy && K::kSrcBytes == F::kBytes && !K::Src::kPaletted) {
          std::memmove(d, s, static_cast<size_t>(n) * F::kBytes);
        } else if constexpr (K::Op::kWholeCopy && K::Src::kAlpha && F::kBytes == 2) {
          soft::PackColourWords(d, s, n);
        } else {
          int i = 0;
#if defined(__SSE2__)
          if constexpr (K::kBlock8)
            for (; i + 8 <= n; i += 8) K::Op::Opaque8(d + i * 2, s + i * 2, c);
          if constexpr (K::kBlock8Gather) {
            alignas(16) uint16_t words[8];
            for (; i + 8 <= n; i += 8) {
              for (int j = 0; j < 8; ++j) std::memcpy(&words[j], s + (i + j) * 4, 2);
              K::Op::Opaque8(d + i * 2, reinterpret_cast<const uint8_t*>(words), c);
            }
          }
#endif
          for (; i < n; ++i)
            K::OpaquePixel(d + i * F::kBytes, s + i * K::kSrcBytes, K::kBlend ? bl + i : nullptr, c);
        }
      } else if ((code & 0xC0) == kRunTranslucent) {
        int i = 0;
#if defined(__SSE2__)
        // Soft edges and glows: long translucent runs in blocks.
        if constexpr (kAlphaBlocks) {
          if (n >= 8) {
            BlockRow<Skip>(d, s, n, c);
            i = n;
          }
        }
#endif
        for (; i < n; ++i)
          K::TranslucentPixel(d + i * F::kBytes, s + i * K::kSrcBytes, K::kBlend ? bl + i : nullptr, c);
      }
      x += n;
    }
    drow += b.dstPitch;
    srow += b.srcPitch;
    if constexpr (K::kBlend) brow += b.blendPitch;
  }
}

}  // namespace

void SoftDrawImage(MEMIMG* dst, const MEMIMG* src, int x, int y, int transFlag,
                   const MEMIMG* blendImage) {
  if (!soft::DrawableTarget(dst) || !soft::DrawableSource(src, dst) ||
      !soft::BlendImageCovers(blendImage, src))
    return;
  // Positions far outside any image must not overflow the rectangle's right edge.
  const int64_t right = static_cast<int64_t>(x) + src->width;
  const int64_t bottom = static_cast<int64_t>(y) + src->height;
  if (right > INT32_MAX || bottom > INT32_MAX || src->width <= 0 || src->height <= 0) return;
  Rect r = {x, y, static_cast<int>(right), static_cast<int>(bottom)};
  const Rect area = soft::ClipAreaTo(dst, DrawArea);
  ClipRectByRect(&r, &area);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  const int sx = r.left - x, sy = r.top - y;

  const MemImageBody* sb = src->body;
  const int srcBpp = sb->format->bytesPerPixel;
  Blit b;
  b.dst = dst->pixels + static_cast<std::ptrdiff_t>(r.top) * dst->body->pitch +
          r.left * dst->body->format->bytesPerPixel;
  b.src = src->pixels + static_cast<std::ptrdiff_t>(sy) * sb->pitch + sx * srcBpp;
  b.blend = blendImage ? blendImage->pixels + static_cast<std::ptrdiff_t>(sy) * blendImage->body->pitch + sx
                       : nullptr;
  b.dstPitch = dst->body->pitch;
  b.srcPitch = sb->pitch;
  b.blendPitch = blendImage ? blendImage->body->pitch : 0;
  b.width = width;
  b.height = height;
  // Rows that follow each other in memory are one stream the hardware fetches by itself,
  // unless runs are skipped within them.
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * srcBpp;
  b.fetchAhead = soft::FetchAheadPays(rowBytes);

  soft::PixelContext c;
  soft::PreparePixelContext(&c, sb, transFlag != 0);
  const soft::ImageCall call = {sb, DrawBlendMode, soft::BlendParam(), blendImage != nullptr,
                                soft::TintOn(DrawBright), transFlag != 0};
  const bool runCoded = transFlag == 1 && sb->runTableValid == 1 && sb->transRunTable &&
                        sb->runTableOrigin == src->pixels && sb->runTableWidth == src->width &&
                        sb->runTableHeight == src->height && width == src->width &&
                        height == src->height;
  if (runCoded) {
    soft::DispatchImage<soft::Flavor::RunCoded>(
        call, [&]<class K>(K) { DrawRuns<K>(b, sb->transRunTable, c); });
  } else {
    b.fetchAhead = b.fetchAhead && sb->pitch - rowBytes >= kFetchAheadGap;
    soft::DispatchImage<soft::Flavor::Plain>(call, [&]<class K>(K) { DrawRows<K>(b, c); });
  }
}
