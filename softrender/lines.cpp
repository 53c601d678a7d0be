#include "softrender/lines.h"

#include <algorithm>
#include <cstdlib>

#include "softrender/draw_state.h"
#include "softrender/image_walks.h"

using namespace soft;

void SoftDrawLine(MEMIMG* dst, int x1, int y1, int x2, int y2, uint32_t colour) {
  if (!DrawableTarget(dst)) return;
  const Rect area = ClipAreaTo(dst, DrawArea);
  const int64_t left = area.left, top = area.top, right = area.right, bottom = area.bottom;
  if (left >= right || top >= bottom) return;
  // The end points' box wholly beside the area draws nothing.
  if (bottom - 1 - std::min(y1, y2) < 0 || right - 1 - std::min(x1, x2) < 0 ||
      std::max(y1, y2) - top < 0 || std::max(x1, x2) - left < 0)
    return;

  // The unclipped line's equations, in double precision, for moving the ends onto the
  // area's edges: the first point inside, the end point at most one pixel outside.
  const double fx1 = x1, fy1 = y1, fx2 = x2, fy2 = y2;
  const double dxdy = y1 != y2 ? (fx2 - fx1) / (fy2 - fy1) : 0.0;
  const double dydx = x1 != x2 ? (fy2 - fy1) / (fx2 - fx1) : 0.0;
  const double bx = fx1 - dxdy * fy1, by = fy1 - dydx * fx1;
  auto yAt = [&](int64_t x) { return TruncToInt64(by + dydx * static_cast<double>(x)); };
  auto xAt = [&](int64_t y) { return TruncToInt64(bx + dxdy * static_cast<double>(y)); };
  int64_t ax = x1, ay = y1, ex = x2, ey = y2;
  if (ax < left) ax = left, ay = yAt(left);
  else if (ax >= right) ax = right - 1, ay = yAt(right - 1);
  if (ex < left) ex = left - 1, ey = yAt(left - 1);
  else if (ex >= right) ex = right, ey = yAt(right);
  if (ay < top) ay = top, ax = xAt(top);
  else if (ay >= bottom) ay = bottom - 1, ax = xAt(bottom - 1);
  if (ey < top) ey = top - 1, ex = xAt(top - 1);
  else if (ey >= bottom) ey = bottom, ex = xAt(bottom);
  ax = std::clamp(ax, left, right - 1);
  ay = std::clamp(ay, top, bottom - 1);
  ex = std::clamp(ex, left - 1, right);
  ey = std::clamp(ey, top - 1, bottom);

  const int64_t dx = ex - ax, dy = ey - ay;
  if (dx == 0 && dy == 0) return;
  const int64_t adx = std::abs(dx), ady = std::abs(dy);
  const intptr_t pitch = dst->body->pitch;
  const int p = BlendParam();
  DispatchConst(dst->body->depthClass, DrawBlendMode, p, [&](auto op) {
    using Op = decltype(op);
    using F = typename Op::Format;
    const ConstColour k = PrepareConstColour<F>(colour, TintOn(DrawBright), DrawBright, p);
    const intptr_t stepX = dx < 0 ? -F::kBytes : F::kBytes;
    const intptr_t stepY = dy < 0 ? -pitch : pitch;
    // Every pixel but the end point lies strictly between the clipped ends, so inside.
    const bool xMajor = adx >= ady;
    const intptr_t major = xMajor ? stepX : stepY, minor = xMajor ? stepY : stepX;
    const int64_t majorLength = xMajor ? adx : ady, minorLength = xMajor ? ady : adx;
    uint8_t* d = dst->pixels + ay * pitch + ax * F::kBytes;
    int64_t error = 0;
    for (int64_t i = 0; i < majorLength; ++i) {
      Op::Apply(d, k);
      d += major;
      error += minorLength;
      if (error >= majorLength) {
        d += minor;
        error -= majorLength;
      }
    }
  });
}

void SoftDrawLines(MEMIMG* dst, const SoftLineRecord* records, int count) {
  if (!records) return;
  for (int i = 0; i < count; ++i) {
    const SoftLineRecord& r = records[i];
    SoftDrawLine(dst, r.x1, r.y1, r.x2, r.y2, static_cast<uint32_t>(r.colour));
  }
}
