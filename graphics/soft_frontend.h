#pragma once
// The software front-ends of the draw functions: each turns its arguments into the form
// of one software routine, drawing onto SoftDrawTarget with SoftBlendImage. Each
// returns 0 and does not check the routine's work.
struct GraphRecord;

int DrawImageAtSoft(int x, int y, int transFlag, const GraphRecord* graph);
int DrawImageStretchedSoft(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transFlag);
int FillRectSoft(int left, int top, int right, int bottom, unsigned colour);
