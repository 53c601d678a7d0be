#include "softrender/triangle.h"

#include <algorithm>
#include <utility>

#include "softrender/draw_state.h"
#include "softrender/image_walks.h"

using namespace soft;

namespace {

constexpr int64_t kFixHalf = kFixOne / 2;

struct FixVertex {
  int64_t x, y;  // whole pixels
  int64_t X, Y;  // 14.18 pixel centres
  int64_t U, V;  // 14.18 texel corners
};

// Sorts three indexes by key with the exchange sort whose ties keep the given order.
template <class Key>
void ExchangeSort(int (&order)[3], Key key) {
  for (int i = 0; i < 2; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (key(order[i]) > key(order[j])) std::swap(order[i], order[j]);
}

// Edge step per row, rounded toward zero.
int64_t EdgeStep(int64_t from, int64_t to, int64_t rows) { return (to - from) / rows; }

// Works out the bands and the texel plane. False when the triangle has no area.
bool SetUpTriangle(const SoftTriVertex* vertices, TriangleWalk* walk) {
  FixVertex v[3];
  for (int i = 0; i < 3; ++i) {
    v[i].x = vertices[i].x;
    v[i].y = vertices[i].y;
    v[i].X = v[i].x * kFixOne + kFixHalf;
    v[i].Y = v[i].y * kFixOne + kFixHalf;
    v[i].U = int64_t{vertices[i].u} * kFixOne;
    v[i].V = int64_t{vertices[i].v} * kFixOne;
  }
  int byX[3] = {0, 1, 2}, byY[3] = {0, 1, 2};
  ExchangeSort(byX, [&](int i) { return v[i].X; });
  ExchangeSort(byY, [&](int i) { return v[i].Y; });

  // Doubled area and texel gradients, from the leftmost vertex.
  const FixVertex& a0 = v[byX[0]];
  const FixVertex& a1 = v[byX[1]];
  const FixVertex& a2 = v[byX[2]];
  const Int128 dx1 = a1.x - a0.x, dx2 = a2.x - a0.x, dy1 = a1.y - a0.y, dy2 = a2.y - a0.y;
  const Int128 du1 = vertices[byX[1]].u - int64_t{vertices[byX[0]].u};
  const Int128 du2 = vertices[byX[2]].u - int64_t{vertices[byX[0]].u};
  const Int128 dv1 = vertices[byX[1]].v - int64_t{vertices[byX[0]].v};
  const Int128 dv2 = vertices[byX[2]].v - int64_t{vertices[byX[0]].v};
  const Int128 area2 = dy1 * dx2 - dy2 * dx1;
  if (area2 == 0) return false;
  auto gradient = [&](Int128 n) {
    return TruncToInt64(static_cast<double>(n) * 262144.0 / static_cast<double>(area2));
  };
  walk->dudx = gradient(dy1 * du2 - dy2 * du1);
  walk->dudy = gradient(du1 * dx2 - dx1 * du2);
  walk->dvdx = gradient(dy1 * dv2 - dy2 * dv1);
  walk->dvdy = gradient(dv1 * dx2 - dv2 * dx1);
  walk->stepU = MakeColumnStep(walk->dudx);
  walk->stepV = MakeColumnStep(walk->dvdx);
  walk->u0 = a0.U;
  walk->v0 = a0.V;
  walk->xA = a0.x;
  walk->yA = a0.y;

  const FixVertex& t = v[byY[0]];
  const FixVertex& m = v[byY[1]];
  const FixVertex& b = v[byY[2]];
  const int64_t rows = b.y - t.y;
  if (t.Y == m.Y) {
    // Flat top: both edges run to the bottom vertex.
    const bool tLeft = t.X <= m.X;
    const FixVertex& l = tLeft ? t : m;
    const FixVertex& r = tLeft ? m : t;
    walk->bandCount = 1;
    walk->bands[0] = {t.y, b.y, l.X, EdgeStep(l.X, b.X, rows), r.X, EdgeStep(r.X, b.X, rows)};
    return true;
  }
  if (m.Y == b.Y) {
    // Flat bottom: both edges start at the top vertex.
    const bool mLeft = m.X <= b.X;
    const FixVertex& l = mLeft ? m : b;
    const FixVertex& r = mLeft ? b : m;
    walk->bandCount = 1;
    walk->bands[0] = {t.y, b.y, t.X, EdgeStep(t.X, l.X, rows), t.X, EdgeStep(t.X, r.X, rows)};
    return true;
  }
  // General: the long edge top to bottom on one side, two edges on the other. The middle
  // vertex is left of the long edge when the slope to it is the smaller one.
  const int64_t upper = m.y - t.y, lower = b.y - m.y;
  const int64_t longStep = EdgeStep(t.X, b.X, rows);
  const int64_t longAtMiddle = t.X + upper * longStep;
  walk->bandCount = 2;
  if (Int128{m.X - t.X} * (b.Y - t.Y) < Int128{b.X - t.X} * (m.Y - t.Y)) {
    walk->bands[0] = {t.y, m.y, t.X, EdgeStep(t.X, m.X, upper), t.X, longStep};
    walk->bands[1] = {m.y, b.y, m.X, EdgeStep(m.X, b.X, lower), longAtMiddle, longStep};
  } else {
    // The right side's second edge starts one 14.18 unit right of the middle vertex.
    walk->bands[0] = {t.y, m.y, t.X, longStep, t.X, EdgeStep(t.X, m.X, upper)};
    walk->bands[1] = {m.y, b.y, longAtMiddle, longStep, m.X + 1, EdgeStep(m.X + 1, b.X, lower)};
  }
  return true;
}

}  // namespace

// The flat colour, tinted through MulDiv255Table always (a white bright changes
// nothing), as a constant colour of format F.
template <class F>
ConstColour FlatColour(uint32_t colour, int p) {
  if constexpr (F::kBytes == 2) colour &= 0xFFFFu;
  uint32_t tinted = F::kBytes == 4 ? (colour & 0xFF000000u) : 0;
  for (int i = 0; i < 3; ++i) {
    const int v = static_cast<int>((colour >> F::kShift[i]) & ((1u << F::kBits[i]) - 1));
    tinted |= static_cast<uint32_t>(MulDiv255Table[(DrawBright >> (8 * i)) & 0xFF][v]) << F::kShift[i];
  }
  return PrepareConstColour<F>(tinted, false, DrawBright, p);
}

void SoftDrawTriangle(MEMIMG* dst, const MEMIMG* src, const SoftTriVertex* vertices,
                      int transFlag, const MEMIMG* blendImage, uint32_t colour) {
  if (!vertices || !DrawableTarget(dst)) return;
  if (src && (!DrawableSource(src, dst) || !BlendImageCovers(blendImage, src))) return;
  if (src && (src->width <= 0 || src->height <= 0)) return;

  TriangleWalk walk;
  if (!SetUpTriangle(vertices, &walk)) return;
  const Rect area = ClipAreaTo(dst, DrawArea);
  if (area.left >= area.right || area.top >= area.bottom) return;
  walk.clipLeft = area.left;
  walk.clipTop = area.top;
  walk.clipRight = area.right;
  walk.clipBottom = area.bottom;
  walk.pitch = dst->body->pitch;
  walk.dst = dst->pixels;
  const int p = BlendParam();

  if (!src) {
    DispatchConst(dst->body->depthClass, DrawBlendMode, p, [&](auto op) {
      using Op = decltype(op);
      walk.RunFlat<Op>(FlatColour<typename Op::Format>(colour, p));
    });
    return;
  }
  const TexelSource texels = {src->pixels, src->body->pitch, blendImage ? blendImage->pixels : nullptr,
                              blendImage ? blendImage->body->pitch : 0,
                              int64_t{src->width} * kFixOne, int64_t{src->height} * kFixOne};
  PixelContext context;
  PreparePixelContext(&context, src->body, transFlag != 0);
  const ImageCall call = {src->body, DrawBlendMode, p, blendImage != nullptr, TintOn(DrawBright),
                          transFlag != 0};
  DispatchImage<Flavor::Scaled>(call, [&](auto kernel) {
    walk.Run<decltype(kernel)>(context, texels);
  });
}

void SoftDrawImageQuad(MEMIMG* dst, const MEMIMG* src, const int* corners, int transFlag,
                       const MEMIMG* blendImage) {
  if (!dst || !src || !corners) return;
  // A quick test on the corners' box, widened as the rotated blit widens its own.
  int64_t minX = corners[0], maxX = corners[0], minY = corners[1], maxY = corners[1];
  for (int i = 1; i < 4; ++i) {
    minX = std::min<int64_t>(minX, corners[2 * i]);
    maxX = std::max<int64_t>(maxX, corners[2 * i]);
    minY = std::min<int64_t>(minY, corners[2 * i + 1]);
    maxY = std::max<int64_t>(maxY, corners[2 * i + 1]);
  }
  const Rect area = ClipAreaTo(dst, DrawArea);
  if (std::max<int64_t>(minX - 2, area.left) >= std::min<int64_t>(maxX + 4, area.right) ||
      std::max<int64_t>(minY - 2, area.top) >= std::min<int64_t>(maxY + 4, area.bottom))
    return;
  const int w = src->width, h = src->height;
  const SoftTriVertex v[4] = {{corners[0], corners[1], 0, 0},
                              {corners[2], corners[3], w, 0},
                              {corners[4], corners[5], 0, h},
                              {corners[6], corners[7], w, h}};
  SoftDrawTriangle(dst, src, &v[0], transFlag, blendImage, 0);
  SoftDrawTriangle(dst, src, &v[1], transFlag, blendImage, 0);
}
