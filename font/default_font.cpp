#include "font/default_font.h"

#include <cstdarg>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <string>

#include "font/glyph_cache.h"
#include "image/memimg.h"
#include "softrender/draw_image.h"
#include "softrender/draw_state.h"

namespace {

void ReleaseGlyphImage(void* image) {
  auto* memimg = static_cast<MEMIMG*>(image);
  ReleaseMemImage(memimg);
  delete memimg;
}

// The glyph as a white RGB565 image whose alpha is the coverage; null for an empty one.
const MEMIMG* GlyphImage(GlyphBitmap* glyph) {
  if (glyph->image != nullptr || glyph->width == 0) return static_cast<const MEMIMG*>(glyph->image);
  auto* image = new MEMIMG();
  if (CreateMemImage(image, glyph->width, glyph->height, kDepthRgb565, 0, 1) != 0) {
    delete image;
    return nullptr;
  }
  for (int y = 0; y < glyph->height; ++y) {
    uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->body->pitch;
    for (int x = 0; x < glyph->width; ++x) {
      row[x * 4 + 0] = 0xFF;
      row[x * 4 + 1] = 0xFF;
      row[x * 4 + 2] = glyph->coverage[static_cast<size_t>(y) * glyph->width + x];
      row[x * 4 + 3] = 0;
    }
  }
  NoteMemImageTransfer(image, 0, 0, glyph->width, glyph->height);
  glyph->image = image;
  return image;
}

// The smallest 8-bit value whose tint of a full field gives the field value back.
uint32_t FieldToBright(unsigned field, unsigned fieldMax) {
  return (field * 255 + fieldMax - 1) / fieldMax;
}

const char* TextEnd(const char* text, int lengthBytes) {
  const void* nul = std::memchr(text, 0, static_cast<size_t>(lengthBytes));
  return nul != nullptr ? static_cast<const char*>(nul) : text + lengthBytes;
}

}  // namespace

int StartDefaultFont() { return OpenGlyphFaces(); }

void EndDefaultFont() { CloseGlyphFaces(ReleaseGlyphImage); }

int GetStringWidthDefaultFont(const char* text, int lengthBytes, int vertical) {
  if (text == nullptr || vertical != 0 || lengthBytes < 0 || !GlyphFacesOpen()) return -1;
  const char* end = TextEnd(text, lengthBytes);
  int width = 0;
  while (text < end) width += GetGlyph(NextUtf8CodePoint(&text, end))->advance;
  return width;
}

int DrawStringDefaultFont(int x, int y, const char* text, unsigned colour) {
  if (text == nullptr || SoftDrawTarget == nullptr || !GlyphFacesOpen()) return -1;
  const uint32_t savedBright = DrawBright;
  const unsigned red = (colour >> 11) & 31, green = (colour >> 5) & 63, blue = colour & 31;
  DrawBright = FieldToBright(blue, 31) | (FieldToBright(green, 63) << 8) | (FieldToBright(red, 31) << 16);
  const char* end = text + std::strlen(text);
  const int baseline = y + GlyphAscent();
  int pen = x;
  while (text < end) {
    GlyphBitmap* glyph = GetGlyph(NextUtf8CodePoint(&text, end));
    if (const MEMIMG* image = GlyphImage(glyph))
      SoftDrawImage(SoftDrawTarget, image, pen + glyph->left, baseline - glyph->top, 1, nullptr);
    pen += glyph->advance;
  }
  DrawBright = savedBright;
  return 0;
}

int DrawFormattedStringDefaultFont(int x, int y, unsigned colour, const char* format, ...) {
  if (format == nullptr) return -1;
  char small[512];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(small, sizeof(small), format, args);
  va_end(args);
  if (length < 0) return -1;
  if (static_cast<size_t>(length) < sizeof(small)) return DrawStringDefaultFont(x, y, small, colour);
  std::string text(static_cast<size_t>(length), '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return DrawStringDefaultFont(x, y, text.c_str(), colour);
}
