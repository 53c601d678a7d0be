#include "font/glyph_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include "platform/log.h"

namespace {

const char* const kFacePaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
};
constexpr int kFaceCount = 2;

FT_Library g_freeType = nullptr;
FT_Face g_faces[kFaceCount] = {};
int g_ascent = 0;
std::unordered_map<uint32_t, GlyphBitmap> g_glyphs;
// The map's entries never move, so ASCII, which nearly every string drawn each frame
// is made of, is found by index instead of by hash.
GlyphBitmap* g_asciiGlyphs[128] = {};

FT_Face FirstOpenFace() {
  for (FT_Face face : g_faces)
    if (face != nullptr) return face;
  return nullptr;
}

}  // namespace

int OpenGlyphFaces() {
  if (g_freeType != nullptr) return 0;
  if (FT_Init_FreeType(&g_freeType) != 0) {
    g_freeType = nullptr;
    return WriteLog("Font: FreeType could not be started\n");
  }
  for (int i = 0; i < kFaceCount; ++i) {
    if (FT_New_Face(g_freeType, kFacePaths[i], 0, &g_faces[i]) != 0 ||
        FT_Set_Pixel_Sizes(g_faces[i], 0, kDefaultFontPixelSize) != 0) {
      WriteLogFormat("Font: cannot open %s", kFacePaths[i]);
      if (g_faces[i] != nullptr) FT_Done_Face(g_faces[i]);
      g_faces[i] = nullptr;
    }
  }
  FT_Face primary = FirstOpenFace();
  if (primary == nullptr) {
    FT_Done_FreeType(g_freeType);
    g_freeType = nullptr;
    return WriteLog("Font: no face of the default font could be opened\n");
  }
  g_ascent = static_cast<int>((primary->size->metrics.ascender + 63) >> 6);
  return 0;
}

void CloseGlyphFaces(void (*releaseImage)(void* image)) {
  for (auto& entry : g_glyphs)
    if (entry.second.image != nullptr && releaseImage != nullptr) releaseImage(entry.second.image);
  g_glyphs.clear();
  std::fill(std::begin(g_asciiGlyphs), std::end(g_asciiGlyphs), nullptr);
  for (FT_Face& face : g_faces) {
    if (face != nullptr) FT_Done_Face(face);
    face = nullptr;
  }
  if (g_freeType != nullptr) FT_Done_FreeType(g_freeType);
  g_freeType = nullptr;
}

int GlyphFacesOpen() { return g_freeType != nullptr; }
int GlyphAscent() { return g_ascent; }

GlyphBitmap* GetGlyph(uint32_t codePoint) {
  if (g_freeType == nullptr) return nullptr;
  if (codePoint < 128 && g_asciiGlyphs[codePoint] != nullptr) return g_asciiGlyphs[codePoint];
  auto found = g_glyphs.find(codePoint);
  if (found != g_glyphs.end()) return &found->second;

  FT_Face face = FirstOpenFace();
  FT_UInt index = 0;
  for (FT_Face candidate : g_faces) {
    if (candidate == nullptr) continue;
    FT_UInt i = FT_Get_Char_Index(candidate, codePoint);
    if (i != 0) {
      face = candidate;
      index = i;
      break;
    }
  }
  GlyphBitmap glyph;
  // A glyph that cannot be rendered stays an empty one with no advance, so that a bad
  // character costs one look-up and never stops the rest of the string.
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0 &&
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.width > 0 && bitmap.rows > 0) {
      glyph.width = static_cast<int>(bitmap.width);
      glyph.height = static_cast<int>(bitmap.rows);
      glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.height);
      const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
      for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        for (int x = 0; x < glyph.width; ++x)
          glyph.coverage[static_cast<size_t>(y) * glyph.width + x] =
              static_cast<uint8_t>(row[x] * 255 / levels);
      }
    }
  }
  GlyphBitmap* kept = &g_glyphs.emplace(codePoint, std::move(glyph)).first->second;
  if (codePoint < 128) g_asciiGlyphs[codePoint] = kept;
  return kept;
}

uint32_t NextUtf8CodePoint(const char** text, const char* end) {
  const auto* p = reinterpret_cast<const unsigned char*>(*text);
  const auto* e = reinterpret_cast<const unsigned char*>(end);
  const uint32_t lead = *p;
  int extra = 0;
  uint32_t code = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) {
    *text += 1;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, minimum = 0x10000;
  } else {
    *text += 1;
    return 0xFFFD;
  }
  if (e - p <= extra) {
    *text += 1;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      *text += 1;
      return 0xFFFD;
    }
    code = (code << 6) | (p[i] & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    *text += 1;
    return 0xFFFD;
  }
  *text += 1 + extra;
  return code;
}
