#include "softrender/fill_rect.h"

#include <algorithm>

#include "softrender/draw_state.h"
#include "softrender/pixel_ops.h"

namespace {

template <class Op>
[[gnu::flatten, gnu::noinline]] void FillRows(uint8_t* row, int pitch, int width, int height,
                               const soft::ConstColour k) {
  using F = typename Op::Format;
#if defined(__SSE2__)
  // RGB565 blending modes eight pixels at a time: the image operation on a source of
  // eight copies of the colour gives exactly the constant-colour combine.
  constexpr int kMode = Op::kMode;
  if constexpr (F::kBytes == 2 && kMode != BlendCopy) {
    using Image = soft::ImageOp<soft::Rgb565, kMode, false, false>;
    soft::PixelContext c;
    c.p = k.p;
    alignas(16) uint16_t colours[8];
    for (auto& v : colours) v = static_cast<uint16_t>(k.colour);
    for (int y = 0; y < height; ++y, row += pitch) {
      int x = 0;
      for (; x + 8 <= width; x += 8) Image::Opaque8(row + x * 2, reinterpret_cast<const uint8_t*>(colours), c);
      for (; x < width; ++x) Op::Apply(row + x * 2, k);
    }
    return;
  }
#endif
  for (int y = 0; y < height; ++y, row += pitch) {
    uint8_t* d = row;
    for (int x = 0; x < width; ++x, d += F::kBytes) Op::Apply(d, k);
  }
}

}  // namespace

void SoftFillRectInArea(MEMIMG* dst, const Rect* rect, uint32_t colour, const Rect* area) {
  if (!soft::DrawableTarget(dst)) return;
  Rect r = rect ? Rect{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                       std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)}
                : Rect{0, 0, dst->width, dst->height};
  const Rect clip = soft::ClipAreaTo(dst, area ? *area : Rect{0, 0, dst->width, dst->height});
  ClipRectByRect(&r, &clip);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  const MemImageBody* body = dst->body;
  const int bpp = body->format->bytesPerPixel;
  const int p = soft::BlendParam();
  const bool tint = soft::TintOn(DrawBright);
  uint8_t* row = dst->pixels + static_cast<std::ptrdiff_t>(r.top) * body->pitch + r.left * bpp;
  soft::DispatchConst(body->depthClass, DrawBlendMode, p, [&]<class Op>(Op) {
    using F = typename Op::Format;
    FillRows<Op>(row, body->pitch, width, height, soft::PrepareConstColour<F>(colour, tint, DrawBright, p));
  });
}

void SoftFillRect(MEMIMG* dst, const Rect* rect, uint32_t colour) {
  SoftFillRectInArea(dst, rect, colour, &DrawArea);
}
