#pragma once
// The draw functions the game calls. Each checks its graph handle (-1 for one that is
// not a live graph, or for the current draw target drawn onto itself) and draws onto the
// current draw target through the software renderer. Colours are screen colours
// (MakeScreenColor). Coordinates are screen pixels; right and bottom are exclusive.

int DrawGraphAt(int x, int y, int graph, int transFlag);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transFlag);
int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int transFlag);
// Turned by `angle` radians (clockwise on the screen) and scaled by `scale` about the
// centre (x, y); `turnFlag` mirrors the image left to right first.
int DrawGraphRotatedF(float x, float y, double scale, double angle, int graph, int transFlag,
                      int turnFlag = 0);
// Corners clockwise from the graph's top-left: top-left, top-right, bottom-right,
// bottom-left.
int DrawGraphQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, int graph,
                  int transFlag);
int DrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                   int graph, int transFlag);
int DrawFilledBox(int x1, int y1, int x2, int y2, unsigned colour);
int DrawFrameBox(int x1, int y1, int x2, int y2, unsigned colour);
// Filled for a fill flag of exactly 1, else outlined.
int DrawTriangleShape(int x1, int y1, int x2, int y2, int x3, int y3, unsigned colour, int fillFlag);

// Blend mode (0 copy, 1 alpha, 2 add, 3 subtract, 4 multiply, 10 inverted alpha,
// 11 multiplied alpha) and its parameter, clamped to 0-255.
int SetBlendModeParam(int mode, int param);
// 0 nearest, 1 bilinear. Accepted and ignored: the software renderer always samples
// nearest.
int SetFilterMode(int mode);
// Tints every following image draw: each channel scaled by its byte (255 = unchanged).
int SetDrawBright(int red, int green, int blue);
// The RGB565 screen colour of 0-255 components (clamped).
unsigned MakeScreenColor(int red, int green, int blue);
