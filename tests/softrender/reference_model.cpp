#include "tests/softrender/reference_model.h"

#include <algorithm>
#include <cstring>

#include "tests/softrender/model_rules.h"

namespace ref {
namespace {

using i64 = int64_t;

// Channel layout: index 0 blue, 1 green, 2 red.
struct Layout {
  bool is565;
  int shift[3];
  int bits[3];
};
const Layout kL8888 = {false, {0, 8, 16}, {8, 8, 8}};
const Layout kL565 = {true, {0, 5, 11}, {5, 6, 5}};

i64 Floor(i64 num, int shiftBits) { return model::FloorDiv(num, i64{1} << shiftBits); }
i64 Trunc(i64 num, i64 den) { return num / den; }  // C++ truncates toward zero

int Get(const Layout& L, uint32_t v, int ch) { return (v >> L.shift[ch]) & ((1 << L.bits[ch]) - 1); }
int Max(const Layout& L, int ch) { return (1 << L.bits[ch]) - 1; }

uint32_t ReadPixel(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}
void WritePixel(uint8_t* p, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

using model::BrightByte;
bool Tinted(const State& st) { return (st.bright & 0xFFFFFF) != 0xFFFFFF; }
// Image tint: v * bright / 255, truncated.
int TintImg(const State& st, int ch, int v) {
  return Tinted(st) ? static_cast<int>(Trunc(i64{v} * BrightByte(st.bright, ch), 255)) : v;
}

// The saturating add and subtract are the same rule in both models.
uint32_t SatAdd(const Layout& L, uint32_t D, const int c[3]) { return model::AddSat(L.is565 ? 0 : 1, D, c); }
uint32_t SatSub(const Layout& L, uint32_t D, const int c[3]) { return model::SubSat(L.is565 ? 0 : 1, D, c); }

enum class Path { Plain, RunCoded, Stretched };

// One source pixel as the rules see it.
struct SrcPixel {
  uint32_t colour;  // the pixel (direct) or palette entry, whole
  bool alphaFactor; // alpha takes part as a factor
  int a;
};

// The new destination pixel for one drawn source pixel.
uint32_t Combine(const Layout& L, uint32_t D, const SrcPixel& sp, bool blend, int w,
                 bool sourceHasAlpha, Path path, const State& st) {
  const int mode = st.mode == 1 && st.p == 255 ? 0 : st.mode;
  const int p = st.p;
  const bool tint = Tinted(st);
  const uint32_t S = sp.colour;
  const bool a = sp.alphaFactor;
  const uint32_t keep = L.is565 ? 0 : (D & 0xFF000000u);
  uint32_t out = 0;

  if (mode == 1 && path == Path::Plain && !tint && !blend && !sourceHasAlpha) {
    const int plane = p / 4;
    for (int ch = 0; ch < 3; ++ch) {
      const int s = Get(L, S, ch), d = Get(L, D, ch);
      int v;
      if (p == 128) v = (s >> 1) + (d >> 1);
      else if (L.is565) v = (plane * s + (63 - plane) * d) / 63;
      else v = static_cast<int>(Floor(i64{d} * 256 + i64{s - d} * p, 8));
      out |= static_cast<uint32_t>(v) << L.shift[ch];
    }
    return p == 128 ? out : out | keep;  // the half-sum clears the fourth byte
  }

  // Factors in their order: w, a, p (p only in the interpolating modes 1, 10, 11).
  std::vector<int> factors;
  if (blend) factors.push_back(w);
  if (a) factors.push_back(sp.a);

  if (mode == 0 || mode == 1 || mode == 10 || mode == 11) {
    if (mode != 0) factors.push_back(p);
    const int n = static_cast<int>(factors.size());
    i64 P = 1;
    for (int f : factors) P *= f;
    if (n == 0 && !tint) return S;  // untinted plain copy: the whole pixel
    for (int ch = 0; ch < 3; ++ch) {
      const int s = Get(L, S, ch), d = Get(L, D, ch);
      int x;
      if (mode == 10) x = TintImg(st, ch, Max(L, ch) - s);
      else if (mode == 11) x = (d * TintImg(st, ch, s)) >> L.bits[ch];
      else x = TintImg(st, ch, s);
      int v;
      if (n == 0) {
        v = x;
      } else if (L.is565 && mode == 11 && ch == 1 && !tint && !blend && a) {
        const int g = (s * d) >> 1;
        v = static_cast<int>(Floor(i64{d} * (1 << 21) + i64{g - 32 * d} * sp.a * p, 21));
      } else if (L.is565 && n == 1 && mode != 0 && !blend && !a) {
        v = d + static_cast<int>(Trunc(i64{x - d} * p, 255));
      } else {
        v = static_cast<int>(Floor(i64{d} * (i64{1} << (8 * n)) + i64{x - d} * P, 8 * n));
      }
      out |= static_cast<uint32_t>(v) << L.shift[ch];
    }
    return out | keep;
  }
  if (mode == 2 || mode == 3) {
    const int m = static_cast<int>(factors.size());
    i64 Q = 1;
    for (int f : factors) Q *= f;
    int c[3];
    for (int ch = 0; ch < 3; ++ch) {
      const int u = Get(L, S, ch);
      if (L.is565) {
        int X;
        if (tint && !blend && a) X = TintImg(st, ch, static_cast<int>(Floor(i64{u} * sp.a, 8)));
        else X = static_cast<int>(Floor(TintImg(st, ch, u) * Q, 8 * m));
        c[ch] = static_cast<int>(Trunc(i64{p} * X, 255));
      } else if (m == 0) {
        c[ch] = static_cast<int>(Trunc(i64{p} * TintImg(st, ch, u), 255));
      } else {
        c[ch] = static_cast<int>(Floor(TintImg(st, ch, u) * Q * p, 8 * (m + 1)));
      }
    }
    return mode == 2 ? SatAdd(L, D, c) : SatSub(L, D, c);
  }
  // mode 4
  const int m = static_cast<int>(factors.size());
  i64 Q = 1;
  for (int f : factors) Q *= f;
  for (int ch = 0; ch < 3; ++ch) {
    const int s = TintImg(st, ch, Get(L, S, ch)), d = Get(L, D, ch);
    out |= static_cast<uint32_t>(Floor(i64{d} * s * Q, L.bits[ch] + 8 * m)) << L.shift[ch];
  }
  return out | keep;
}

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
  const Layout& L = dst->body->depthClass == 1 ? kL8888 : kL565;
  const int bytes = L.is565 ? 2 : 4;
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
  WritePixel(dp, bytes, Combine(L, D, px, blend != nullptr, w, hasAlpha, path, st));
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
  const Layout& L = dst->body->depthClass == 1 ? kL8888 : kL565;
  const int bytes = L.is565 ? 2 : 4;
  Rect r = rect ? Rect{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                       std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)}
                : Rect{0, 0, dst->width, dst->height};
  r = Intersect(r, Rect{0, 0, dst->width, dst->height});
  if (area) r = Intersect(r, *area);
  if (L.is565) colour &= 0xFFFF;
  const int mode = st.mode == 1 && st.p == 255 ? 0 : st.mode;
  int c[3];
  for (int ch = 0; ch < 3; ++ch) {
    c[ch] = Get(L, colour, ch);
    if (Tinted(st)) c[ch] = (c[ch] * BrightByte(st.bright, ch)) >> 8;
  }
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      uint8_t* dp = dst->pixels + y * dst->body->pitch + x * bytes;
      const uint32_t D = ReadPixel(dp, bytes);
      uint32_t out = 0;
      if (mode == 2 || mode == 3) {
        int s[3];
        for (int ch = 0; ch < 3; ++ch) s[ch] = static_cast<int>(Trunc(i64{st.p} * c[ch], 255));
        out = mode == 2 ? SatAdd(L, D, s) : SatSub(L, D, s);
      } else if (mode == 0) {
        out = L.is565 ? 0 : (colour & 0xFF000000u);
        for (int ch = 0; ch < 3; ++ch) out |= static_cast<uint32_t>(c[ch]) << L.shift[ch];
      } else {
        for (int ch = 0; ch < 3; ++ch) {
          const int d = Get(L, D, ch);
          int v;
          if (mode == 4) {
            v = (d * c[ch]) >> L.bits[ch];
          } else {
            const int x = mode == 10 ? Max(L, ch) - c[ch] : mode == 11 ? (d * c[ch]) >> L.bits[ch] : c[ch];
            v = L.is565 ? d + static_cast<int>(Trunc(i64{st.p} * (x - d), 255))
                        : static_cast<int>(Floor(i64{d} * 256 + i64{x - d} * st.p, 8));
          }
          out |= static_cast<uint32_t>(v) << L.shift[ch];
        }
        if (!L.is565) out |= D & 0xFF000000u;
      }
      WritePixel(dp, bytes, out);
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
