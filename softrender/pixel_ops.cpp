#include "softrender/pixel_ops.h"

namespace soft {

void PreparePixelContext(PixelContext* c, const MemImageBody* src, bool keyed) {
  const int p = BlendParam();
  c->p = p;
  for (int i = 0; i < 3; ++i) c->bright[i] = (DrawBright >> (8 * i)) & 0xFF;
  c->tint[0] = MulDiv255Table[DrawBright & 0xFF];
  c->tint[1] = MulDiv255Table[(DrawBright >> 8) & 0xFF];
  c->tint[2] = MulDiv255Table[(DrawBright >> 16) & 0xFF];
  c->scaleP = MulDiv255Table[p];
  c->lerpP = &BlendLerpTable[p][255];
  c->lerp6 = &Lerp6Table[p >> 2][0][0];
  c->weight = BlendImageWeightTable;
  if (!src) return;
  c->key = src->transColor;
  c->palette = static_cast<const uint8_t*>(src->palette);
  if (src->paletted == 1) {
    const int count = src->paletteCount < 0 ? 0 : src->paletteCount;
    for (int i = 0; i < 256; ++i) c->paletteSkip[i] = i >= count;
    if (keyed && src->transColor < 256) c->paletteSkip[src->transColor] = 1;
  }
}

Rect ClipAreaTo(const MEMIMG* dst, const Rect& area) {
  Rect clipped = area;
  const Rect bounds = {0, 0, dst->width, dst->height};
  ClipRectByRect(&clipped, &bounds);
  return clipped;
}

bool DrawableTarget(const MEMIMG* dst) {
  if (!dst || !dst->body || !dst->pixels || !dst->body->format) return false;
  const MemImageBody* b = dst->body;
  if (b->paletted == 1 || b->alpha == 1) return false;
  const int bpp = MemImageBytesPerPixel(b->depthClass, 0, 0);
  return bpp != 0 && b->format->bytesPerPixel == bpp;
}

bool DrawableSource(const MEMIMG* src, const MEMIMG* dst) {
  if (!src || !src->body || !src->pixels || !src->body->format) return false;
  const MemImageBody* b = src->body;
  if (b->depthClass != dst->body->depthClass) return false;
  const int bpp = MemImageBytesPerPixel(b->depthClass, b->paletted, b->alpha);
  if (bpp == 0 || b->format->bytesPerPixel != bpp) return false;
  return b->paletted != 1 || b->palette != nullptr;
}

bool BlendImageCovers(const MEMIMG* blend, const MEMIMG* src) {
  if (!blend) return true;
  return blend->body && blend->pixels && blend->body->format &&
         blend->body->format->bytesPerPixel == 1 && blend->width >= src->width &&
         blend->height >= src->height;
}

}  // namespace soft
