#include "tests/graphics/demo_scene.h"

#include <cmath>
#include <cstring>

#include "font/default_font.h"
#include "graphics/draw.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "image/image_record.h"

namespace {

int g_orb = -1;      // 32 x 32 with alpha: a soft round light
int g_ship = -1;     // 48 x 32 without alpha: black is its colour key
int g_checker = -1;  // 64 x 64 without alpha: a patterned tile
int g_canvas = -1;   // 96 x 96 screen graph, drawn into every frame

void PutPixel(ImageRecord* image, int x, int y, unsigned r, unsigned g, unsigned b, unsigned a) {
  auto* p = static_cast<uint8_t*>(image->pixels) + y * image->pitch + x * 4;
  p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r);
  p[3] = static_cast<uint8_t>(a);
}

// A graph of w x h whose pixels `paint` sets.
int PaintGraph(int w, int h, bool alpha, void (*paint)(ImageRecord*)) {
  ImageRecord image;
  if (CreateImageRecord(w, h, &image) != 0) return -1;
  if (alpha) SetPixelFormatArgb8888(&image.format);
  paint(&image);
  const int graph = CreateGraphFromImage(&image);
  ReleaseImageRecord(&image);
  return graph;
}

void PaintOrb(ImageRecord* image) {
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const int dx = x * 2 - 31, dy = y * 2 - 31;
      const int d2 = dx * dx + dy * dy;  // up to 1922
      const int alpha = d2 >= 1024 ? 0 : 255 - d2 * 255 / 1024;
      PutPixel(image, x, y, 255, 160 + (31 - y) * 3, 80 + x * 5, static_cast<unsigned>(alpha));
    }
}

void PaintShip(ImageRecord* image) {
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) {
      // An arrow pointing right, with a cockpit; outside it stays black (the key).
      const int halfWidth = (48 - x) * 16 / 48;
      const bool body = std::abs(y - 16) < halfWidth;
      const bool cockpit = (x - 30) * (x - 30) + (y - 16) * (y - 16) < 20;
      if (cockpit)
        PutPixel(image, x, y, 90, 220, 255, 0);
      else if (body)
        PutPixel(image, x, y, 60 + x * 4, 90, 200 - x * 2, 0);
      else
        PutPixel(image, x, y, 0, 0, 0, 0);
    }
}

void PaintChecker(ImageRecord* image) {
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
      PutPixel(image, x, y, dark ? 40 + x * 3 : 230, dark ? 60 : 200 - y * 2, dark ? 120 + y : 90, 0);
    }
  // Corner marks show which way up the tile is drawn: red top-left, green top-right.
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      PutPixel(image, x, y, 255, 0, 0, 0);
      PutPixel(image, 56 + x, y, 0, 255, 0, 0);
    }
}

void DrawCanvas(int frame) {
  // The screen graph as a target: its own little picture, redrawn every frame.
  SetDrawScreen(g_canvas);
  ClearDrawScreen();
  SetBlendModeParam(0, 255);
  DrawFilledBox(0, 0, 96, 96, MakeScreenColor(20, 40, 70));
  for (int i = 0; i < 6; ++i) {
    const int x = (frame * 2 + i * 16) % 96;
    DrawTriangleShape(x, 90, x + 8, 70 - i * 6, x + 16, 90, MakeScreenColor(80 + i * 30, 200, 120), 1);
  }
  DrawGraphAt(32, 32, g_orb, 1);
  DrawFrameBox(0, 0, 96, 96, MakeScreenColor(255, 255, 255));
  SetDrawScreen(kBackScreen);
}

const char* const kModeNames[] = {"copy", "alpha", "add", "sub", "mul", "inv", "mula"};
const int kModes[] = {0, 1, 2, 3, 4, 10, 11};

}  // namespace

int StartDemoScene() {
  g_orb = PaintGraph(32, 32, true, PaintOrb);
  g_ship = PaintGraph(48, 32, false, PaintShip);
  g_checker = PaintGraph(64, 64, false, PaintChecker);
  g_canvas = MakeScreenGraph(96, 96);
  return (g_orb == -1 || g_ship == -1 || g_checker == -1 || g_canvas == -1) ? -1 : 0;
}

void EndDemoScene() {
  for (int* graph : {&g_orb, &g_ship, &g_checker, &g_canvas}) {
    ReleaseGraphHandle(*graph);
    *graph = -1;
  }
}

void DrawDemoScene(int frame) {
  DrawCanvas(frame);
  SetDrawScreen(kBackScreen);
  SetBlendModeParam(0, 255);
  SetDrawBright(255, 255, 255);

  // Background: a vertical gradient of filled boxes.
  for (int band = 0; band < 60; ++band)
    DrawFilledBox(0, band * 8, 640, band * 8 + 8, MakeScreenColor(10, 20 + band, 50 + band * 2));

  DrawStringDefaultFont(16, 8, "Graphics demo: every draw function, every blend mode", MakeScreenColor(255, 255, 255));
  DrawFormattedStringDefaultFont(16, 28, MakeScreenColor(255, 220, 60), "frame %d  \xE5\xBC\xBE\xE5\xB9\x95 UTF-8 text", frame);

  // Plain, keyed, stretched, tinted.
  DrawGraphAt(16, 56, g_checker, 0);
  DrawGraphAt(96, 72, g_ship, 1);
  DrawGraphAt(96, 104, g_ship, 0);
  DrawGraphStretched(160, 56, 288, 120, g_checker, 0);
  SetDrawBright(255, 120, 120);
  DrawGraphStretchedF(296.5f, 56.0f, 360.5f, 152.0f, g_ship, 1);
  SetDrawBright(255, 255, 255);

  // Rotated (turning with the frame), mirrored, scaled.
  const double angle = frame * 0.05;
  DrawGraphRotatedF(408.0f, 96.0f, 1.0, angle, g_checker, 0);
  DrawGraphRotatedF(496.0f, 96.0f, 1.5, -angle, g_ship, 1, 1);
  DrawGraphRotatedF(584.0f, 96.0f, 2.0, angle * 0.5, g_orb, 1);

  // Quads: a trapezoid, a twisted one.
  DrawGraphQuad(24, 168, 120, 176, 136, 248, 16, 240, g_checker, 0);
  const float wobble = static_cast<float>(std::sin(frame * 0.1) * 12.0);
  DrawGraphQuadF(160.0f + wobble, 168.0f, 256.0f, 168.0f - wobble, 240.0f, 248.0f, 176.0f - wobble, 240.0f,
                 g_ship, 1);

  // Shapes.
  DrawFilledBox(280, 168, 344, 232, MakeScreenColor(200, 60, 60));
  DrawFrameBox(352, 168, 416, 232, MakeScreenColor(255, 255, 0));
  DrawFrameBox(356, 172, 412, 228, MakeScreenColor(0, 255, 255));
  DrawTriangleShape(424, 232, 456, 168, 488, 232, MakeScreenColor(60, 220, 90), 1);
  DrawTriangleShape(496, 232, 528, 168, 560, 232, MakeScreenColor(250, 250, 250), 0);

  // The screen graph as a source, plain and stretched.
  DrawGraphAt(568, 160, g_canvas, 0);
  DrawGraphStretched(16, 256, 80, 320, g_canvas, 0);

  // Every blend mode over the same striped panel, at two parameters.
  for (int i = 0; i < 7; ++i) {
    const int x = 96 + i * 76, y = 264;
    SetBlendModeParam(0, 255);
    for (int s = 0; s < 8; ++s)
      DrawFilledBox(x, y + s * 12, x + 68, y + s * 12 + 12, MakeScreenColor(s * 32, 128, 255 - s * 32));
    DrawStringDefaultFont(x + 4, y + 100, kModeNames[i], MakeScreenColor(255, 255, 255));
    SetBlendModeParam(kModes[i], 255);
    DrawGraphAt(x + 2, y + 8, g_orb, 1);
    DrawGraphAt(x + 2, y + 50, g_ship, 1);
    SetBlendModeParam(kModes[i], 128);
    DrawGraphAt(x + 34, y + 8, g_orb, 1);
    DrawGraphRotatedF(static_cast<float>(x + 44), static_cast<float>(y + 66), 0.6, angle, g_ship, 1);
    DrawFilledBox(x + 4, y + 84, x + 64, y + 94, MakeScreenColor(255, 128, 64));
  }
  SetBlendModeParam(0, 255);
  DrawStringDefaultFont(16, 452, "Blend: copy alpha add sub mul inv mula (top 255, right 128)", MakeScreenColor(200, 200, 200));
}
