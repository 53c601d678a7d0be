#pragma once
// A deliberately naive model of the software renderer, written from the pixel rules: one
// pixel at a time, 64-bit arithmetic, plain divisions instead of lookup tables, the
// triangle's edges walked row by row with their counters. It shares no code or table with
// the renderer; every primitive's test compares whole buffers against it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/util.h"

namespace model {

inline bool ModeDraws(int mode, int p) {
  if (mode < 0 || mode > 11 || (mode >= 5 && mode <= 9)) return false;
  if ((mode == 1 || mode == 2 || mode == 3) && p == 0) return false;
  return true;
}

struct Field {
  int shift, bits;
};
inline const Field* Fields(int depth) {
  static const Field kXrgb[3] = {{0, 8}, {8, 8}, {16, 8}};  // blue, green, red
  static const Field kRgb565[3] = {{0, 5}, {5, 6}, {11, 5}};
  return depth == 1 ? kXrgb : kRgb565;
}
inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}
inline int BrightByte(uint32_t bright, int f) { return (bright >> (8 * f)) & 255; }

// Saturating add and subtract of scaled amounts c[f] into d, read channel by channel.
inline uint32_t AddSat(int depth, uint32_t d, const int* c) {
  const Field* fl = Fields(depth);
  int v[3];
  bool carry = false;
  for (int f = 0; f < 3; ++f) {
    const int max = (1 << fl[f].bits) - 1;
    const int dv = (d >> fl[f].shift) & max;
    if (f == 0) {
      carry = dv + c[f] > max;
      v[f] = carry ? max : dv + c[f];
      continue;
    }
    const int half = (dv >> 1) + (c[f] >> 1);
    const int low = ((dv | c[f]) & 1) | (carry ? 1 : 0);
    carry = half > (max >> 1);
    if (carry)
      v[f] = (depth == 0 && f == 1) ? (max - 1) | low : max;  // RGB565 green keeps its low bit
    else
      v[f] = half * 2 + low;
  }
  uint32_t out = 0;
  for (int f = 0; f < 3; ++f) out |= uint32_t(v[f]) << fl[f].shift;
  if (depth == 1 && carry) out |= 1u << 24;
  return out;
}

inline uint32_t SubSat(int depth, uint32_t d, const int* c) {
  const Field* fl = Fields(depth);
  int v[3];
  bool borrow = false;
  for (int f = 0; f < 3; ++f) {
    const int max = (1 << fl[f].bits) - 1;
    const int dv = (d >> fl[f].shift) & max;
    int r = f == 0 ? dv - c[f] : (dv | 1) - (c[f] & ~1) - (borrow ? 1 : 0);
    borrow = r < 0;
    if (borrow) r = 0;
    if (depth == 0 && f == 1) r &= ~1;  // RGB565 green's low bit is always 0
    v[f] = r;
  }
  uint32_t out = 0;
  for (int f = 0; f < 3; ++f) out |= uint32_t(v[f]) << fl[f].shift;
  return out;
}


// A memory image as the model sees it: its own copy of the body's bytes, and where the
// view lies in them.
struct Image {
  int width = 0, height = 0;  // of the view
  int depth = 1;              // 0 RGB565, 1 XRGB8888
  bool paletted = false, alpha = false;
  int pitch = 0;
  size_t origin = 0;  // byte offset of the view's top-left pixel
  std::vector<uint8_t> bytes;
  uint32_t transColor = 0;
  int paletteCount = 0;
  std::vector<uint32_t> palette;  // 256 entries

  int TexelBytes() const { return paletted ? 1 : depth == 1 ? 4 : alpha ? 4 : 2; }
  int PixelBytes() const { return depth == 1 ? 4 : 2; }
  uint8_t* At(int x, int y) { return &bytes[origin + size_t(y) * pitch + size_t(x) * PixelBytes()]; }
  const uint8_t* TexelAt(int x, int y) const {
    return &bytes[origin + size_t(y) * pitch + size_t(x) * TexelBytes()];
  }
  uint32_t Get(int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, At(x, y), PixelBytes());
    return v;
  }
  void Set(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, PixelBytes()); }
};

struct State {
  int mode = 0;
  int p = 255;
  uint32_t bright = 0xFFFFFF;
  Rect area = {0, 0, 0, 0};
  const uint8_t* weights = nullptr;  // blend value -> weight, the test's own mapping
};

// One source pixel s combined into d. translucent: its alpha a weighs in; w: the blend
// image's weight. planes: the unscaled image blit's own mode-1 rule (no tint, no blend,
// no alpha in the source): 6-bit planes in RGB565, the half-sum at 128.
inline uint32_t Combine(int depth, const State& st, uint32_t s, bool translucent, int64_t a, bool blend,
                        int64_t w, bool planes, uint32_t d) {
  int mode = st.mode;
  const int64_t p = st.p;
  if (mode == 1 && p == 255) mode = 0;
  const bool tint = (st.bright & 0xFFFFFF) != 0xFFFFFF;
  const Field* fl = Fields(depth);
  if (planes && mode == 1 && !tint && !blend) {
    uint32_t r = p == 128 || depth == 0 ? 0 : (d & 0xFF000000u);  // the half-sum clears byte 4
    for (int f = 0; f < 3; ++f) {
      const int64_t max = (1 << fl[f].bits) - 1, sv = (s >> fl[f].shift) & max, dv = (d >> fl[f].shift) & max;
      const int64_t v = p == 128   ? (sv >> 1) + (dv >> 1)
                        : depth == 0 ? (p / 4 * sv + (63 - p / 4) * dv) / 63
                                     : FloorDiv(dv * 256 + (sv - dv) * p, 256);
      r |= uint32_t(v) << fl[f].shift;
    }
    return r;
  }

  if (mode == 0 && !blend && !translucent && !tint) return s;

  int64_t out[3];
  int amount[3];
  for (int f = 0; f < 3; ++f) {
    const int64_t max = (1 << fl[f].bits) - 1;
    const int n = fl[f].bits;
    const int64_t raw = (s >> fl[f].shift) & max;
    const int64_t dv = (d >> fl[f].shift) & max;
    const int64_t br = BrightByte(st.bright, f);
    auto tintOf = [&](int64_t v) { return tint ? br * v / 255 : v; };
    const int64_t sc = tintOf(mode == 10 ? max - raw : raw);
    // The change toward t, weighted by whichever of p, a and w the mode and case use.
    auto weighted = [&](int64_t t, bool withP) {
      int64_t num = 1, den = 1;
      if (withP) num *= p, den *= 256;
      if (blend) num *= w, den *= 256;
      if (translucent) num *= a, den *= 256;
      return FloorDiv(dv * den + (t - dv) * num, den);
    };
    switch (mode) {
      case 0:
        out[f] = (!blend && !translucent) ? sc : weighted(sc, false);
        break;
      case 1:
      case 10:
      case 11: {
        int64_t t = mode == 11 ? (dv * sc) >> n : sc;
        if (depth == 0 && !blend && !translucent) {
          out[f] = dv + p * (t - dv) / 255;
        } else if (depth == 0 && mode == 11 && f == 1 && !tint && translucent && !blend) {
          out[f] = FloorDiv((dv << 21) + (((raw * dv) >> 1) - 32 * dv) * a * p, int64_t{1} << 21);
        } else {
          out[f] = weighted(t, true);
        }
        break;
      }
      case 4: {
        int64_t prod = dv * sc;
        int shift = n;
        if (blend) prod *= w, shift += 8;
        if (translucent) prod *= a, shift += 8;
        out[f] = prod >> shift;
        break;
      }
      case 2:
      case 3: {
        int64_t c;
        if (!blend && !translucent) {
          c = p * sc / 255;
        } else if (depth == 1) {
          c = sc * p * (blend ? w : 1) * (translucent ? a : 1) >> (8 + (blend ? 8 : 0) + (translucent ? 8 : 0));
        } else if (!blend) {
          c = p * tintOf((raw * a) >> 8) / 255;
        } else if (translucent) {
          c = p * ((sc * w * a) >> 16) / 255;
        } else {
          c = p * ((sc * w) >> 8) / 255;
        }
        amount[f] = int(c);
        break;
      }
    }
  }
  if (mode == 2) return AddSat(depth, d, amount);
  if (mode == 3) return SubSat(depth, d, amount);
  uint32_t r = depth == 1 ? (d & 0xFF000000u) : 0;
  for (int f = 0; f < 3; ++f) r |= uint32_t(out[f]) << fl[f].shift;
  return r;
}

// What an image-source pixel does to d. nullopt: the pixel is not written.
inline std::optional<uint32_t> ImagePixel(const Image& src, const State& st, bool trans, bool blend,
                                          int m, const uint8_t* texel, uint32_t d) {
  const int depth = src.depth;
  uint32_t s;
  bool hasAlpha = false;
  int64_t a = 255;
  if (src.paletted) {
    const uint32_t i = texel[0];
    if (trans && i == src.transColor) return std::nullopt;
    if (int(i) >= src.paletteCount) return std::nullopt;
    s = src.palette[i] & (depth == 1 ? 0xFFFFFFFFu : 0xFFFFu);
  } else if (depth == 1) {
    std::memcpy(&s, texel, 4);
    hasAlpha = src.alpha;
    a = s >> 24;
  } else {
    s = texel[0] | (texel[1] << 8);
    hasAlpha = src.alpha;
    a = texel[2];
  }
  if (hasAlpha && trans && a == 0) return std::nullopt;
  if (!hasAlpha && trans && !src.paletted && s == src.transColor) return std::nullopt;
  return Combine(depth, st, s, hasAlpha && (!trans || a != 255), a, blend, blend ? st.weights[m] : 0, false, d);
}

// The constant-colour combine. tableTint: the flat triangle's bright * c / 255, always;
// otherwise the rectangle's and line's c * bright >> 8, only when not white.
inline uint32_t ConstPixel(int depth, const State& st, uint32_t colour, bool tableTint, uint32_t d) {
  int mode = st.mode;
  const int64_t p = st.p;
  if (mode == 1 && p == 255) mode = 0;
  if (depth == 0) colour &= 0xFFFF;
  const Field* fl = Fields(depth);
  const bool white = (st.bright & 0xFFFFFF) == 0xFFFFFF;
  int64_t c[3];
  uint32_t tinted = depth == 1 ? (colour & 0xFF000000u) : 0;
  for (int f = 0; f < 3; ++f) {
    const int64_t max = (1 << fl[f].bits) - 1;
    const int64_t v = (colour >> fl[f].shift) & max;
    const int64_t br = BrightByte(st.bright, f);
    c[f] = tableTint ? br * v / 255 : white ? v : (v * br) >> 8;
    tinted |= uint32_t(c[f]) << fl[f].shift;
  }
  if (mode == 0) return tinted;
  int amount[3];
  int64_t out[3];
  for (int f = 0; f < 3; ++f) {
    const int n = fl[f].bits;
    const int64_t max = (1 << n) - 1;
    const int64_t dv = (d >> fl[f].shift) & max;
    int64_t t = mode == 10 ? max - c[f] : mode == 11 ? (dv * c[f]) >> n : c[f];
    amount[f] = int(p * c[f] / 255);
    if (mode == 4)
      out[f] = (dv * c[f]) >> n;
    else if (depth == 0)
      out[f] = dv + p * (t - dv) / 255;
    else
      out[f] = FloorDiv(256 * dv + (t - dv) * p, 256);
  }
  if (mode == 2) return AddSat(depth, d, amount);
  if (mode == 3) return SubSat(depth, d, amount);
  uint32_t r = depth == 1 ? (d & 0xFF000000u) : 0;
  for (int f = 0; f < 3; ++f) r |= uint32_t(out[f]) << fl[f].shift;
  return r;
}

// The rectangle a primitive may write: the draw area cut to the view.
inline Rect Clip(const Image& dst, const Rect& area) {
  return {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, dst.width),
          std::min(area.bottom, dst.height)};
}

// Visits the pixels of a triangle by the scan-line rules, with their texel positions.
// visit(x, y, u, v) with 14.18 u, v.
template <class Visit>
void TriangleWalk(const int (&vx)[3][4], const Rect& clip, Visit visit) {
  const int64_t one = 262144;
  auto P = [&](int64_t t) { return FloorDiv(t, one); };
  int64_t X[3], Y[3], U[3], V[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = vx[i][0] * one + one / 2;
    Y[i] = vx[i][1] * one + one / 2;
    U[i] = vx[i][2] * one;
    V[i] = vx[i][3] * one;
  }
  auto sort = [](int64_t* key, int* order) {
    for (int i = 0; i < 2; ++i)
      for (int j = i + 1; j < 3; ++j)
        if (key[order[i]] > key[order[j]]) std::swap(order[i], order[j]);
  };
  int A[3] = {0, 1, 2}, S[3] = {0, 1, 2};
  sort(X, A);
  sort(Y, S);
  const int64_t dx1 = P(X[A[1]] - X[A[0]]), dx2 = P(X[A[2]] - X[A[0]]);
  const int64_t dy1 = P(Y[A[1]] - Y[A[0]]), dy2 = P(Y[A[2]] - Y[A[0]]);
  const int64_t du1 = vx[A[1]][2] - vx[A[0]][2], du2 = vx[A[2]][2] - vx[A[0]][2];
  const int64_t dv1 = vx[A[1]][3] - vx[A[0]][3], dv2 = vx[A[2]][3] - vx[A[0]][3];
  const int64_t area2 = dy1 * dx2 - dy2 * dx1;
  if (area2 == 0) return;
  auto grad = [&](int64_t n) { return int64_t(std::trunc(double(n) * 262144.0 / double(area2))); };
  const int64_t dudx = grad(dy1 * du2 - dy2 * du1), dudy = grad(du1 * dx2 - dx1 * du2);
  const int64_t dvdx = grad(dy1 * dv2 - dy2 * dv1), dvdy = grad(dv1 * dx2 - dv2 * dx1);
  const int64_t U0 = U[A[0]], V0 = V[A[0]], xA = P(X[A[0]]), yA = P(Y[A[0]]);

  const int T = S[0], M = S[1], B = S[2];
  struct Side {
    int64_t x, step, rows;
    bool switched;
  } L{}, R{};
  int64_t l2x = 0, l2step = 0, l2rows = 0, l2row = 0, r2x = 0, r2step = 0, r2rows = 0;
  auto edge = [&](int64_t fromX, int64_t toX, int64_t rows) { return (toX - fromX) / rows; };
  if (Y[T] == Y[M]) {
    const int l = X[T] <= X[M] ? T : M, r = l == T ? M : T;
    const int64_t rows = P(Y[B] - Y[T]);
    if (rows == 0) return;
    L = {X[l], edge(X[l], X[B], rows), rows, true};
    R = {X[r], edge(X[r], X[B], rows), rows, true};
  } else if (Y[M] == Y[B]) {
    const int l = X[M] > X[B] ? B : M, r = l == M ? B : M;
    const int64_t rows = P(Y[B] - Y[T]);
    L = {X[T], edge(X[T], X[l], rows), rows, true};
    R = {X[T], edge(X[T], X[r], rows), rows, true};
  } else {
    const double s1 = double(X[M] - X[T]) / (double(Y[M] - Y[T]) / 262144.0);
    const double s2 = double(X[B] - X[T]) / (double(Y[B] - Y[T]) / 262144.0);
    const int64_t upper = P(Y[M] - Y[T]), lower = P(Y[B] - Y[M]), all = P(Y[B] - Y[T]);
    if (s1 < s2) {
      L = {X[T], edge(X[T], X[M], upper), upper, false};
      l2x = X[M], l2step = edge(X[M], X[B], lower), l2rows = lower, l2row = Y[M];
      R = {X[T], edge(X[T], X[B], all), all, true};
    } else {
      R = {X[T], edge(X[T], X[M], upper), upper, false};
      r2x = X[M] + 1, r2step = edge(X[M] + 1, X[B], lower), r2rows = lower;
      L = {X[T], edge(X[T], X[B], all), all, true};
    }
  }
  int64_t row = P(Y[T]);
  for (;;) {
    int64_t x = P(L.x), n = P(R.x) - x;
    if (x < clip.left) n -= clip.left - x, x = clip.left;
    int64_t count = n + 1;
    if (row >= clip.top && row < clip.bottom && x < clip.right && count > 0) {
      int64_t u = U0 + (x - xA) * dudx + (row - yA) * dudy;
      int64_t v = V0 + (x - xA) * dvdx + (row - yA) * dvdy;
      while (count > 0 && x < clip.right) {
        visit(int(x), int(row), u, v);
        u += dudx, v += dvdx, ++x, --count;
      }
    }
    L.x += L.step, R.x += R.step;
    --L.rows, --R.rows, ++row;
    if (L.rows == 0) {
      if (L.switched) return;
      L = {l2x, l2step, l2rows, true};
      row = P(l2row);
    }
    if (R.rows != 0) continue;
    if (R.switched) return;
    R = {r2x, r2step, r2rows, true};
  }
}

inline bool TexelInside(const Image& src, int64_t u, int64_t v) {
  return u >= 0 && v >= 0 && u < int64_t(src.width) * 262144 && v < int64_t(src.height) * 262144;
}

// A textured (src given) or flat triangle.
inline void Triangle(Image& dst, const Image* src, const int (&vx)[3][4], bool trans,
                     const Image* blend, uint32_t colour, const State& st) {
  if (!ModeDraws(st.mode, st.p)) return;
  if (src && src->depth != dst.depth) return;
  TriangleWalk(vx, Clip(dst, st.area), [&](int x, int y, int64_t u, int64_t v) {
    if (!src) {
      dst.Set(x, y, ConstPixel(dst.depth, st, colour, true, dst.Get(x, y)));
      return;
    }
    if (!TexelInside(*src, u, v)) return;
    const int tx = int(u >> 18), ty = int(v >> 18);
    const int m = blend ? blend->bytes[blend->origin + size_t(ty) * blend->pitch + tx] : 0;
    if (auto r = ImagePixel(*src, st, trans, blend != nullptr, m, src->TexelAt(tx, ty), dst.Get(x, y)))
      dst.Set(x, y, *r);
  });
}

inline void Quad(Image& dst, const Image& src, const int (&c)[8], bool trans, const Image* blend,
                 const State& st) {
  const int64_t minX = std::min({c[0], c[2], c[4], c[6]}), maxX = std::max({c[0], c[2], c[4], c[6]});
  const int64_t minY = std::min({c[1], c[3], c[5], c[7]}), maxY = std::max({c[1], c[3], c[5], c[7]});
  const Rect clip = Clip(dst, st.area);
  if (std::max<int64_t>(minX - 2, clip.left) >= std::min<int64_t>(maxX + 4, clip.right)) return;
  if (std::max<int64_t>(minY - 2, clip.top) >= std::min<int64_t>(maxY + 4, clip.bottom)) return;
  const int w = src.width, h = src.height;
  const int t1[3][4] = {{c[0], c[1], 0, 0}, {c[2], c[3], w, 0}, {c[4], c[5], 0, h}};
  const int t2[3][4] = {{c[2], c[3], w, 0}, {c[4], c[5], 0, h}, {c[6], c[7], w, h}};
  Triangle(dst, &src, t1, trans, blend, 0, st);
  Triangle(dst, &src, t2, trans, blend, 0, st);
}

// The rotated blit, pixel by pixel over its box.
inline void Rotated(Image& dst, const Image& src, int cx, int cy, float angle, float scale,
                    bool trans, bool turn, const Image* blend, const State& st) {
  if (src.depth != dst.depth || !std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f)
    return;
  if (src.width >= 8192 || src.height >= 8192) return;
  float sn, cs;
  ComputeSinCos(angle, &sn, &cs);
  const int64_t c = int64_t(std::trunc(cs * 262144.0f)), s = int64_t(std::trunc(sn * 262144.0f));
  const float hw = float(src.width) * scale * 0.5f, hh = float(src.height) * scale * 0.5f;
  const float A = float(c) * hw, B = float(s) * hw, C = float(c) * hh, D = float(s) * hh;
  auto tr = [](float f) { return int64_t(std::trunc(f)); };
  const int64_t ox = int64_t(cx) * 262144, oy = int64_t(cy) * 262144;
  const int64_t x[4] = {tr(-A + D) + ox, tr(-A - D) + ox, tr(A - D) + ox, tr(A + D) + ox};
  const int64_t y[4] = {tr(-C - B) + oy, tr(C - B) + oy, tr(C + B) + oy, tr(-C + B) + oy};
  if (turn) {
    const int order[4] = {3, 0, 2, 1};
    int corners[8];
    for (int i = 0; i < 4; ++i) {
      corners[2 * i] = int(FloorDiv(x[order[i]], 262144));
      corners[2 * i + 1] = int(FloorDiv(y[order[i]], 262144));
    }
    Quad(dst, src, corners, trans, blend, st);
    return;
  }
  if (!ModeDraws(st.mode, st.p)) return;
  const Rect clip = Clip(dst, st.area);
  const int64_t L = std::max<int64_t>(*std::min_element(x, x + 4) / 262144 - 2, clip.left);
  const int64_t T = std::max<int64_t>(*std::min_element(y, y + 4) / 262144 - 2, clip.top);
  const int64_t R = std::min<int64_t>(*std::max_element(x, x + 4) / 262144 + 4, clip.right);
  const int64_t Bm = std::min<int64_t>(*std::max_element(y, y + 4) / 262144 + 4, clip.bottom);
  if (L >= R || T >= Bm) return;
  auto u = [&](int64_t px, int64_t py) {
    return int64_t(std::trunc(float((px - cx) * c + (py - cy) * s) / scale)) + int64_t(src.width >> 1) * 262144;
  };
  auto v = [&](int64_t px, int64_t py) {
    return int64_t(std::trunc(float((py - cy) * c - (px - cx) * s) / scale)) + int64_t(src.height >> 1) * 262144;
  };
  const int64_t du = int64_t(std::trunc(float(c) / scale)), dv = int64_t(std::trunc(float(-s) / scale));
  const int64_t u0 = u(L, T), v0 = v(L, T);
  const int64_t rowU = (u(L, Bm) - u0) / (Bm - T), rowV = (v(L, Bm) - v0) / (Bm - T);
  for (int64_t k = 0; k < Bm - T; ++k)
    for (int64_t i = 0; i < R - L; ++i) {
      const int64_t uu = u0 + k * rowU + i * du, vv = v0 + k * rowV + i * dv;
      if (!TexelInside(src, uu, vv)) continue;
      const int tx = int(uu >> 18), ty = int(vv >> 18);
      const int px = int(L + i), py = int(T + k);
      const int m = blend ? blend->bytes[blend->origin + size_t(ty) * blend->pitch + tx] : 0;
      if (auto r = ImagePixel(src, st, trans, blend != nullptr, m, src.TexelAt(tx, ty), dst.Get(px, py)))
        dst.Set(px, py, *r);
    }
}

// A line: clipped by the line's equations, then stepped with an error term.
inline void Line(Image& dst, int x1, int y1, int x2, int y2, uint32_t colour, const State& st) {
  if (!ModeDraws(st.mode, st.p)) return;
  const Rect a = Clip(dst, st.area);
  const int64_t l = a.left, t = a.top, r = a.right, b = a.bottom;
  if (l >= r || t >= b) return;
  if (b - 1 - std::min(y1, y2) < 0 || r - 1 - std::min(x1, x2) < 0 || std::max(y1, y2) - t < 0 ||
      std::max(x1, x2) - l < 0)
    return;
  const double dxdy = y1 != y2 ? (double(x2) - x1) / (double(y2) - y1) : 0;
  const double dydx = x1 != x2 ? (double(y2) - y1) / (double(x2) - x1) : 0;
  const double bx = x1 - dxdy * y1, by = y1 - dydx * x1;
  auto yAt = [&](int64_t x) { return int64_t(std::trunc(by + dydx * double(x))); };
  auto xAt = [&](int64_t y) { return int64_t(std::trunc(bx + dxdy * double(y))); };
  int64_t X1 = x1, Y1 = y1, X2 = x2, Y2 = y2;
  if (X1 < l) X1 = l, Y1 = yAt(l); else if (X1 >= r) X1 = r - 1, Y1 = yAt(r - 1);
  if (X2 < l) X2 = l - 1, Y2 = yAt(l - 1); else if (X2 >= r) X2 = r, Y2 = yAt(r);
  if (Y1 < t) Y1 = t, X1 = xAt(t); else if (Y1 >= b) Y1 = b - 1, X1 = xAt(b - 1);
  if (Y2 < t) Y2 = t - 1, X2 = xAt(t - 1); else if (Y2 >= b) Y2 = b, X2 = xAt(b);
  X1 = std::clamp(X1, l, r - 1), Y1 = std::clamp(Y1, t, b - 1);
  X2 = std::clamp(X2, l - 1, r), Y2 = std::clamp(Y2, t - 1, b);
  const int64_t dx = X2 - X1, dy = Y2 - Y1, adx = std::llabs(dx), ady = std::llabs(dy);
  if (dx == 0 && dy == 0) return;
  const int64_t n = std::max(adx, ady), sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  for (int64_t k = 0; k < n; ++k) {
    const int64_t px = adx >= ady ? X1 + k * sx : X1 + sx * (k * adx / ady);
    const int64_t py = adx >= ady ? Y1 + sy * (k * ady / adx) : Y1 + k * sy;
    dst.Set(int(px), int(py), ConstPixel(dst.depth, st, colour, false, dst.Get(int(px), int(py))));
  }
}

}  // namespace model
