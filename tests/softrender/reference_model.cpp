#include "tests/softrender/reference_model.h"

#include <algorithm>
#include <cstring>

#include "tests/softrender/primitive_model.h"

namespace ref {
namespace {

using i64 = int64_t;

uint32_t ReadPixel(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}
void WritePixel(uint8_t* p, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

model::State Rules(const State& st) { return {st.mode, st.p, st.bright, st.area, st.weight.data()}; }
bool Tinted(const State& st) { return (st.bright & 0xFFFFFF) != 0xFFFFFF; }

enum class Path { Plain, RunCoded, Stretched };

// One source pixel as the rules see it.
struct SrcPixel {
  uint32_t colour;  // the pixel (direct) or palette entry, whole
  bool alphaFactor; // alpha takes part as a factor
  int a;
};

bool ModeDraws(const State& st) { return model::ModeDraws(st.mode, st.p); }

bool TargetOk(const MEMIMG* dst) {
  const MemImageBody* b = dst->body;
  if (b->paletted == 1 || b->alpha == 1) return false;
  if (b->depthClass == 0) return b->format->bytesPerPixel == 2;
  if (b->depthClass == 1) return b->format->bytesPerPixel == 4;
  return false;
}

// Reads source pixel (sx, sy); false when it is not drawn at all. `kind` returns the
// run kind the pixel has (0 skip, 1 opaque, 2 translucent), for the run-coded path.
struct Fetched {
  SrcPixel px;
  int runKind;
  bool keyed;  // skipped under the transparency flag (key, alpha 0) or always (bad index)
  bool badIndex;
};
Fetched Fetch(const MEMIMG* src, int sx, int sy) {
  const MemImageBody* b = src->body;
  const uint8_t* p = src->pixels + sy * b->pitch + sx * b->format->bytesPerPixel;
  Fetched f{};
  if (b->paletted == 1) {
    const int idx = *p;
    const int entry = b->depthClass == 1 ? 4 : 2;
    f.px.colour = ReadPixel(static_cast<const uint8_t*>(b->palette) + idx * entry, entry);
    f.badIndex = idx >= b->paletteCount;
    f.keyed = static_cast<uint32_t>(idx) == b->transColor;
    f.runKind = f.keyed || f.badIndex ? 0 : 1;
    return f;
  }
  if (b->alpha == 1) {
    f.px.colour = ReadPixel(p, b->depthClass == 1 ? 4 : 2);
    f.px.a = b->depthClass == 1 ? p[3] : p[2];
    f.keyed = f.px.a == 0;
    f.runKind = f.px.a == 0 ? 0 : f.px.a == 255 ? 1 : 2;
    return f;
  }
  f.px.colour = ReadPixel(p, b->depthClass == 1 ? 4 : 2);
  f.keyed = f.px.colour == b->transColor;
  f.runKind = f.keyed ? 0 : 1;
  return f;
}

bool SourceOk(const MEMIMG* src, const MEMIMG* dst, const MEMIMG* blend) {
  const MemImageBody* b = src->body;
  if (b->depthClass != dst->body->depthClass) return false;
  const int want = b->paletted == 1 ? 1 : b->depthClass == 1 ? 4 : b->alpha == 1 ? 4 : 2;
  if (b->format->bytesPerPixel != want) return false;
  if (blend && (blend->width < src->width || blend->height < src->height)) return false;
  return true;
}

// Draws source pixel (sx, sy) onto destination pixel (dx, dy).
void DrawOne(MEMIMG* dst, int dx, int dy, const MEMIMG* src, int sx, int sy, int transFlag,
             const MEMIMG* blend, Path path, const State& st) {
  const int depth = dst->body->depthClass, bytes = depth == 1 ? 4 : 2;
  uint8_t* dp = dst->pixels + dy * dst->body->pitch + dx * bytes;
  const Fetched f = Fetch(src, sx, sy);
  const MemImageBody* b = src->body;
  const bool hasAlpha = b->paletted != 1 && b->alpha == 1;
  SrcPixel px = f.px;
  if (path == Path::RunCoded) {
    if (f.runKind == 0) return;
    px.alphaFactor = f.runKind == 2;
  } else {
    if (f.badIndex) return;
    if (transFlag != 0 && f.keyed) return;
    if (hasAlpha) {
      const bool plainCopy = path == Path::Plain && (st.mode == 0 || (st.mode == 1 && st.p == 255)) &&
                             !Tinted(st) && !blend;
      if (transFlag != 0) px.alphaFactor = px.a != 255;
      else px.alphaFactor = !plainCopy;
    }
  }
  const int w = blend ? st.weight[blend->pixels[sy * blend->body->pitch + sx]] : 0;
  const uint32_t D = ReadPixel(dp, bytes);
  WritePixel(dp, bytes, model::Combine(depth, Rules(st), px.colour, px.alphaFactor, px.a, blend != nullptr, w,
                                       path == Path::Plain && !hasAlpha, D));
}

Rect Intersect(Rect a, const Rect& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a;
}

}  // namespace

void FillRect(MEMIMG* dst, const Rect* rect, uint32_t colour, const Rect* area, const State& st) {
  if (!TargetOk(dst) || !ModeDraws(st)) return;
  const int depth = dst->body->depthClass, bytes = depth == 1 ? 4 : 2;
  Rect r = rect ? Rect{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                       std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)}
                : Rect{0, 0, dst->width, dst->height};
  r = Intersect(r, Rect{0, 0, dst->width, dst->height});
  if (area) r = Intersect(r, *area);
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      uint8_t* dp = dst->pixels + y * dst->body->pitch + x * bytes;
      WritePixel(dp, bytes, model::ConstPixel(depth, Rules(st), colour, false, ReadPixel(dp, bytes)));
    }
  }
}

void DrawImage(MEMIMG* dst, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* blend,
               const State& st) {
  if (!TargetOk(dst) || !SourceOk(src, dst, blend) || !ModeDraws(st)) return;
  const Rect r = Intersect(Intersect(Rect{x, y, x + src->width, y + src->height},
                                     Rect{0, 0, dst->width, dst->height}),
                           st.area);
  if (r.right <= r.left || r.bottom <= r.top) return;
  const MemImageBody* b = src->body;
  const bool whole = r.left == x && r.top == y && r.right == x + src->width &&
                     r.bottom == y + src->height;
  const Path path = transFlag == 1 && b->runTableValid == 1 && whole ? Path::RunCoded : Path::Plain;
  for (int dy = r.top; dy < r.bottom; ++dy)
    for (int dx = r.left; dx < r.right; ++dx)
      DrawOne(dst, dx, dy, src, dx - x, dy - y, transFlag, blend, path, st);
}

void DrawImageStretched(MEMIMG* dst, const MEMIMG* src, const Rect& rect, int transFlag,
                        const MEMIMG* blend, const State& st) {
  const bool mx = rect.left > rect.right, my = rect.top > rect.bottom;
  const int left = std::min(rect.left, rect.right), right = std::max(rect.left, rect.right);
  const int top = std::min(rect.top, rect.bottom), bottom = std::max(rect.top, rect.bottom);
  const i64 dw = i64{right} - left, dh = i64{bottom} - top;
  if (dw == 0 || dh == 0) return;
  if (dw == src->width && dh == src->height && !mx && !my) {
    DrawImage(dst, src, left, top, transFlag, blend, st);
    return;
  }
  if (!TargetOk(dst) || !SourceOk(src, dst, blend) || !ModeDraws(st)) return;
  const i64 rx = (dw << 16) / src->width, ry = (dh << 16) / src->height;
  const Rect r = Intersect(Intersect(Rect{left, top, right, bottom}, Rect{0, 0, dst->width, dst->height}),
                           st.area);
  for (int dy = r.top; dy < r.bottom; ++dy) {
    const int row = static_cast<int>(((i64{dy} - top) << 16) / ry);
    for (int dx = r.left; dx < r.right; ++dx) {
      const int col = static_cast<int>(((i64{dx} - left) << 16) / rx);
      DrawOne(dst, dx, dy, src, mx ? src->width - 1 - col : col, my ? src->height - 1 - row : row,
              transFlag, blend, Path::Stretched, st);
    }
  }
}

}  // namespace ref
