#include "game/draw/banner_canvas.h"

#include "font/default_font.h"
#include "graphics/draw.h"

namespace {

const BannerCanvas kGraphicsCanvas = {
    [](int mode) { SetFilterMode(mode); },
    [](int mode, int param) { SetBlendModeParam(mode, param); },
    [](int x1, int y1, int x2, int y2, int image, int transparent) {
      DrawGraphStretched(x1, y1, x2, y2, image, transparent);
    },
    [](int x, int y, int image, int transparent) { DrawGraphAt(x, y, image, transparent); },
    [](const char* text, int length, int vertical) {
      return GetStringWidthDefaultFont(text, length, vertical);
    },
    [](int r, int g, int b) { return MakeScreenColor(r, g, b); },
    [](int x, int y, unsigned colour, const char* text) {
      DrawFormattedStringDefaultFont(x, y, colour, "%s", text);
    },
};

}  // namespace

const BannerCanvas* GraphicsBannerCanvas() { return &kGraphicsCanvas; }
