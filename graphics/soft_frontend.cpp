#include "graphics/soft_frontend.h"

#include "graphics/draw_state.h"
#include "graphics/graph.h"
#include "platform/util.h"
#include "softrender/draw_image.h"
#include "softrender/draw_image_stretched.h"
#include "softrender/fill_rect.h"

int DrawImageAtSoft(int x, int y, int transFlag, const GraphRecord* graph) {
  SoftDrawImage(SoftDrawTarget, &graph->image, x, y, transFlag, SoftBlendImage);
  return 0;
}

int DrawImageStretchedSoft(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transFlag) {
  const Rect rect = {x1, y1, x2, y2};
  SoftDrawImageStretched(SoftDrawTarget, &graph->image, &rect, transFlag, SoftBlendImage);
  return 0;
}

int FillRectSoft(int left, int top, int right, int bottom, unsigned colour) {
  const Rect rect = {left, top, right, bottom};
  SoftFillRect(SoftDrawTarget, &rect, colour);
  return 0;
}
