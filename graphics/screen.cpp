#include "graphics/screen.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "font/default_font.h"
#include "graphics/frame_dump.h"
#include "graphics/graph.h"
#include "image/blend_tables.h"
#include "platform/library.h"
#include "platform/log.h"
#include "platform/window.h"
#include "softrender/draw_state.h"

namespace {

MEMIMG g_backScreen = {};
MEMIMG g_frontScreen = {};
int g_drawTarget = kBackScreen;
int g_started = 0;
int g_flipCount = 0;

void SelectTarget(MEMIMG* image, int target) {
  SoftDrawTarget = image;
  g_drawTarget = target;
  DrawArea = {0, 0, image->width, image->height};
}

int BytesPerPixel(const MEMIMG* image) { return image->body->alpha ? 4 : 2; }

}  // namespace

int StartGraphics() {
  if (g_started) return 0;
  InitBlendTables();
  if (CreateMemImage(&g_backScreen, kScreenWidth, kScreenHeight, kDepthRgb565, 0, 0) != 0 ||
      CreateMemImage(&g_frontScreen, kScreenWidth, kScreenHeight, kDepthRgb565, 0, 0) != 0) {
    ReleaseMemImage(&g_backScreen);
    return WriteLog("Graphics: cannot make the screens\n");
  }
  DrawBlendMode = BlendCopy;
  DrawBlendParam = 255;
  DrawBright = 0xFFFFFF;
  SoftBlendImage = nullptr;
  SelectTarget(&g_backScreen, kBackScreen);
  g_flipCount = 0;
  // Text is drawn nowhere without the font, but the game still runs: only logged.
  StartDefaultFont();
  ConfigureFrameChecks();
  g_started = 1;
  return 0;
}

int EndGraphics() {
  if (!g_started) return 0;
  ReleaseAllGraphs();
  EndDefaultFont();
  CloseFrameChecks();
  SoftDrawTarget = nullptr;
  ReleaseMemImage(&g_backScreen);
  ReleaseMemImage(&g_frontScreen);
  g_started = 0;
  return 0;
}

void RegisterGraphicsStep() { RegisterLibraryStep(LibraryStep::Graphics, StartGraphics, EndGraphics); }

int SetDrawScreen(int target) {
  if (!g_started) return -1;
  if (target == kBackScreen) {
    SelectTarget(&g_backScreen, kBackScreen);
    return 0;
  }
  if (target == kFrontScreen) {
    SelectTarget(&g_frontScreen, kFrontScreen);
    return 0;
  }
  GraphRecord* record = GetGraphRecord(target);
  if (record == nullptr || !record->isScreen) return -1;
  record->image.body->runTableValid = 0;
  SelectTarget(&record->image, target);
  return 0;
}

int GetDrawScreen() { return g_drawTarget; }

int SetDrawArea(int x1, int y1, int x2, int y2) {
  if (SoftDrawTarget == nullptr) return -1;
  Rect area = {x1, y1, x2, y2};
  const Rect whole = {0, 0, SoftDrawTarget->width, SoftDrawTarget->height};
  ClipRectByRect(&area, &whole);
  DrawArea = area;
  return 0;
}

int ClearDrawScreen() {
  if (SoftDrawTarget == nullptr) return -1;
  MEMIMG* target = SoftDrawTarget;
  const size_t rowBytes = static_cast<size_t>(target->width) * BytesPerPixel(target);
  for (int y = 0; y < target->height; ++y)
    std::memset(target->pixels + static_cast<ptrdiff_t>(y) * target->body->pitch, 0, rowBytes);
  target->body->runTableValid = 0;
  return 0;
}

int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int graph) {
  GraphRecord* record = GetGraphRecord(graph);
  if (SoftDrawTarget == nullptr || record == nullptr || &record->image == SoftDrawTarget) return -1;
  Rect area = {x1, y1, x2, y2};
  const Rect whole = {0, 0, SoftDrawTarget->width, SoftDrawTarget->height};
  ClipRectByRect(&area, &whole);
  const int width = std::min(area.right - area.left, record->width);
  const int height = std::min(area.bottom - area.top, record->height);
  if (width <= 0 || height <= 0) return 0;
  MEMIMG& dst = record->image;
  const int srcBytes = BytesPerPixel(SoftDrawTarget);
  for (int row = 0; row < height; ++row) {
    const uint8_t* in = SoftDrawTarget->pixels +
                        static_cast<ptrdiff_t>(area.top + row) * SoftDrawTarget->body->pitch +
                        area.left * srcBytes;
    uint8_t* out = dst.pixels + static_cast<ptrdiff_t>(row) * dst.body->pitch;
    if (!dst.body->alpha) {
      std::memcpy(out, in, static_cast<size_t>(width) * 2);
      continue;
    }
    for (int col = 0; col < width; ++col) {
      out[col * 4 + 0] = in[col * srcBytes + 0];
      out[col * 4 + 1] = in[col * srcBytes + 1];
      out[col * 4 + 2] = 255;
      out[col * 4 + 3] = 0;
    }
  }
  NoteMemImageTransfer(&dst, 0, 0, width, height);
  return 0;
}

int FlipScreen() {
  if (!g_started) return -1;
  const MEMIMG& shown = g_drawTarget == kFrontScreen ? g_frontScreen : g_backScreen;
  const auto* pixels = reinterpret_cast<const uint16_t*>(shown.pixels);
  ++g_flipCount;
  RunFrameChecks(g_flipCount, pixels, shown.body->pitch, shown.width, shown.height);
  return PresentScreen(pixels, shown.body->pitch, shown.width, shown.height) == 0 ? 0 : -1;
}

int GetFlipCount() { return g_flipCount; }

const uint16_t* GetBackScreenPixels(int* pitchBytes) {
  if (!g_started) return nullptr;
  if (pitchBytes != nullptr) *pitchBytes = g_backScreen.body->pitch;
  return reinterpret_cast<const uint16_t*>(g_backScreen.pixels);
}

void ForgetDrawTargetGraph(const GraphRecord* record) {
  if (SoftDrawTarget == &record->image) SelectTarget(&g_backScreen, kBackScreen);
}
