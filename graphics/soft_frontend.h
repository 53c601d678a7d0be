#pragma once
// The software front-ends of the draw functions: each turns its arguments into the form
// of one software routine, drawing onto SoftDrawTarget with SoftBlendImage. Each
// returns 0 and does not check the routine's work.
struct GraphRecord;

int DrawImageAtSoft(int x, int y, int transFlag, const GraphRecord* graph);
int DrawImageStretchedSoft(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transFlag);
// Centre truncated toward zero; angle and scale passed on as floats.
int DrawImageRotatedSoft(float cx, float cy, double angle, double scale, int transFlag, int turnFlag,
                         const GraphRecord* graph);
// Corners as x, y pairs: 0 takes texel (0, 0), 1 (w, 0), 2 (0, h), 3 (w, h); drawn as
// the triangles (0, 1, 2) and (1, 2, 3).
int DrawImageQuadSoft(const int corners[8], const GraphRecord* graph, int transFlag);
int DrawImageQuadSoftF(const float corners[8], const GraphRecord* graph, int transFlag);
int FillRectSoft(int left, int top, int right, int bottom, unsigned colour);
// The outline with right and bottom exclusive: every pixel of a box at least 2 x 2 is
// drawn once.
int DrawBoxFrameSoft(int left, int top, int right, int bottom, unsigned colour);
// Filled only for a fill flag of exactly 1, else the three edges as lines.
int DrawTriangleSoft(int x1, int y1, int x2, int y2, int x3, int y3, unsigned colour, int fillFlag);
