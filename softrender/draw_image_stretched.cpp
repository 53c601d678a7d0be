#include "softrender/draw_image_stretched.h"

#include <algorithm>
#include <cstring>

#include "graphics/draw_state.h"
#include "softrender/draw_image.h"
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
};

// One walk for every loop: each axis steps its source while its error is at or below 0.
// Columns are stepped once per call into a table (a chunk of columns at a time, so that
// nothing is allocated); rows are stepped as they are drawn.
template <class K>
[[gnu::flatten, gnu::noinline]] void DrawStretched(const Stretch& stretch, const soft::PixelContext& ctx) {
  using F = typename K::Format;
  // Own copies: stores through the byte pointers could alias the caller's values.
  const Stretch st = stretch;
  const soft::PixelContext c = ctx;
  constexpr int kChunk = 512;
  std::ptrdiff_t srcCols[kChunk], blendCols[kChunk];
  std::ptrdiff_t so = 0, bo = 0;
  int64_t e = st.ex0;
  for (int x0 = 0; x0 < st.width; x0 += kChunk) {
    const int n = std::min(kChunk, st.width - x0);
    for (int x = 0; x < n; ++x) {
      srcCols[x] = so;
      blendCols[x] = bo;
      for (e -= 65536; e <= 0; e += st.rx) {
        so += st.srcStep;
        bo += st.blendStep;
      }
    }
    const uint8_t* srow = st.src;
    const uint8_t* brow = st.blend;
    uint8_t* drow = st.dst + x0 * F::kBytes;
    int64_t ey = st.ey0;
    bool sameRow = false;
    for (int y = 0;;) {
      if constexpr (K::kRowCopy) {
        // A copy does not read the destination: a row that repeats the source row above
        // repeats the destination row above.
        if (sameRow) {
          std::memcpy(drow, drow - st.dstPitch, static_cast<size_t>(n) * F::kBytes);
        } else {
          for (int x = 0; x < n; ++x) F::Store(drow + x * F::kBytes, F::Load(srow + srcCols[x]));
        }
      } else {
        int x = 0;
#if defined(__SSE2__)
        if constexpr (K::kBlock8) {
          alignas(16) uint16_t gathered[8];
          for (; x + 8 <= n; x += 8) {
            for (int i = 0; i < 8; ++i) std::memcpy(&gathered[i], srow + srcCols[x + i], 2);
            K::Op::Opaque8(drow + x * 2, reinterpret_cast<const uint8_t*>(gathered), c);
          }
        }
#endif
        for (; x < n; ++x)
          K::Pixel(drow + x * F::kBytes, srow + srcCols[x], K::kBlend ? brow + blendCols[x] : nullptr, c);
      }
      if (++y == st.height) break;
      drow += st.dstPitch;
      sameRow = true;
      for (ey -= 65536; ey <= 0; ey += st.ry) {
        sameRow = false;
        srow += st.srcRowStep;
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

  soft::PixelContext c;
  soft::PreparePixelContext(&c, sb, transFlag != 0);
  const soft::ImageCall call = {sb, DrawBlendMode, soft::BlendParam(), blendImage != nullptr,
                                soft::TintOn(DrawBright), transFlag != 0};
  soft::DispatchImage<soft::Flavor::Scaled>(call, [&]<class K>(K) { DrawStretched<K>(st, c); });
}
