#include "graphics/soft_frontend.h"

#include "graphics/graph.h"
#include "platform/util.h"
#include "softrender/draw_image.h"
#include "softrender/draw_image_stretched.h"
#include "softrender/draw_state.h"
#include "softrender/fill_rect.h"
#include "softrender/lines.h"
#include "softrender/rotated_blit.h"
#include "softrender/triangle.h"

int DrawImageAtSoft(int x, int y, int transFlag, const GraphRecord* graph) {
  SoftDrawImage(SoftDrawTarget, &graph->image, x, y, transFlag, SoftBlendImage);
  return 0;
}

int DrawImageStretchedSoft(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transFlag) {
  const Rect rect = {x1, y1, x2, y2};
  SoftDrawImageStretched(SoftDrawTarget, &graph->image, &rect, transFlag, SoftBlendImage);
  return 0;
}

int DrawImageRotatedSoft(float cx, float cy, double angle, double scale, int transFlag, int turnFlag,
                         const GraphRecord* graph) {
  SoftDrawImageRotated(SoftDrawTarget, &graph->image, FloatToInt(cx), FloatToInt(cy),
                       static_cast<float>(angle), static_cast<float>(scale), transFlag, turnFlag,
                       SoftBlendImage);
  return 0;
}

int DrawImageQuadSoft(const int corners[8], const GraphRecord* graph, int transFlag) {
  const int w = graph->width, h = graph->height;
  const SoftTriVertex v[4] = {
      {corners[0], corners[1], 0, 0},
      {corners[2], corners[3], w, 0},
      {corners[4], corners[5], 0, h},
      {corners[6], corners[7], w, h},
  };
  const SoftTriVertex first[3] = {v[0], v[1], v[2]};
  const SoftTriVertex second[3] = {v[1], v[2], v[3]};
  SoftDrawTriangle(SoftDrawTarget, &graph->image, first, transFlag, SoftBlendImage, 0);
  SoftDrawTriangle(SoftDrawTarget, &graph->image, second, transFlag, SoftBlendImage, 0);
  return 0;
}

int DrawImageQuadSoftF(const float corners[8], const GraphRecord* graph, int transFlag) {
  int whole[8];
  for (int i = 0; i < 8; ++i) whole[i] = FloatToInt(corners[i]);
  return DrawImageQuadSoft(whole, graph, transFlag);
}

int FillRectSoft(int left, int top, int right, int bottom, unsigned colour) {
  const Rect rect = {left, top, right, bottom};
  SoftFillRect(SoftDrawTarget, &rect, colour);
  return 0;
}

int DrawBoxFrameSoft(int left, int top, int right, int bottom, unsigned colour) {
  const int c = static_cast<int>(colour), p = DrawBlendParam;
  const SoftLineRecord lines[4] = {
      {left, top, right - 1, top, c, p},
      {right - 1, top, right - 1, bottom - 1, c, p},
      {right - 1, bottom - 1, left, bottom - 1, c, p},
      {left, bottom - 1, left, top, c, p},
  };
  SoftDrawLines(SoftDrawTarget, lines, 4);
  return 0;
}

int DrawTriangleSoft(int x1, int y1, int x2, int y2, int x3, int y3, unsigned colour, int fillFlag) {
  if (fillFlag == 1) {
    // A flat triangle reads no texel coordinates.
    const SoftTriVertex v[3] = {{x1, y1, 0, 0}, {x2, y2, 0, 0}, {x3, y3, 0, 0}};
    SoftDrawTriangle(SoftDrawTarget, nullptr, v, 0, SoftBlendImage, colour);
    return 0;
  }
  const int c = static_cast<int>(colour), p = DrawBlendParam;
  const SoftLineRecord lines[3] = {
      {x1, y1, x2, y2, c, p},
      {x2, y2, x3, y3, c, p},
      {x3, y3, x1, y1, c, p},
  };
  SoftDrawLines(SoftDrawTarget, lines, 3);
  return 0;
}
