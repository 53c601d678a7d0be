#include "graphics/draw.h"

#include <algorithm>

#include "graphics/graph.h"
#include "graphics/soft_frontend.h"
#include "softrender/draw_state.h"

namespace {


// The record of a graph that may be drawn now, else null. A graph bound to a movie
// brings its current frame in first.
const GraphRecord* DrawableGraph(int graph) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || SoftDrawTarget == nullptr || &record->image == SoftDrawTarget) return nullptr;
  UpdateGraphMovie(record);
  return record;
}

int Clamp255(int value) { return std::clamp(value, 0, 255); }

}  // namespace

int DrawGraphAt(int x, int y, int graph, int transFlag) {
  const GraphRecord* record = DrawableGraph(graph);
  if (record == nullptr) return -1;
  DrawImageAtSoft(x, y, transFlag, record);
  return 0;
}

int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transFlag) {
  const GraphRecord* record = DrawableGraph(graph);
  if (record == nullptr) return -1;
  DrawImageStretchedSoft(x1, y1, x2, y2, record, transFlag);
  return 0;
}

int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int transFlag) {
  return DrawGraphStretched(FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2), graph,
                            transFlag);
}

int DrawGraphRotatedF(float x, float y, double scale, double angle, int graph, int transFlag,
                      int turnFlag) {
  const GraphRecord* record = DrawableGraph(graph);
  if (record == nullptr) return -1;
  DrawImageRotatedSoft(x, y, angle, scale, transFlag, turnFlag, record);
  return 0;
}

int DrawGraphQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, int graph,
                  int transFlag) {
  const GraphRecord* record = DrawableGraph(graph);
  if (record == nullptr) return -1;
  // Clockwise corners to the front-end's texel order (0, 0), (w, 0), (0, h), (w, h).
  const int corners[8] = {x1, y1, x2, y2, x4, y4, x3, y3};
  DrawImageQuadSoft(corners, record, transFlag);
  return 0;
}

int DrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                   int graph, int transFlag) {
  const GraphRecord* record = DrawableGraph(graph);
  if (record == nullptr) return -1;
  const float corners[8] = {x1, y1, x2, y2, x4, y4, x3, y3};
  DrawImageQuadSoftF(corners, record, transFlag);
  return 0;
}

int DrawFilledBox(int x1, int y1, int x2, int y2, unsigned colour) {
  if (SoftDrawTarget == nullptr) return -1;
  FillRectSoft(x1, y1, x2, y2, colour);
  return 0;
}

int DrawFrameBox(int x1, int y1, int x2, int y2, unsigned colour) {
  if (SoftDrawTarget == nullptr) return -1;
  DrawBoxFrameSoft(x1, y1, x2, y2, colour);
  return 0;
}

int DrawTriangleShape(int x1, int y1, int x2, int y2, int x3, int y3, unsigned colour, int fillFlag) {
  if (SoftDrawTarget == nullptr) return -1;
  DrawTriangleSoft(x1, y1, x2, y2, x3, y3, colour, fillFlag);
  return 0;
}

int SetBlendModeParam(int mode, int param) {
  param = Clamp255(param);
  if (mode == DrawBlendMode && param == DrawBlendParam) return 0;
  DrawBlendMode = mode;
  DrawBlendParam = param;
  return 0;
}

int SetFilterMode(int mode) { return mode == 0 || mode == 1 ? 0 : -1; }

int SetDrawBright(int red, int green, int blue) {
  DrawBright = static_cast<uint32_t>(Clamp255(blue)) | (static_cast<uint32_t>(Clamp255(green)) << 8) |
               (static_cast<uint32_t>(Clamp255(red)) << 16);
  return 0;
}

unsigned MakeScreenColor(int red, int green, int blue) {
  return (static_cast<unsigned>(Clamp255(red)) >> 3 << 11) | (static_cast<unsigned>(Clamp255(green)) >> 2 << 5) |
         (static_cast<unsigned>(Clamp255(blue)) >> 3);
}
