#pragma once
// Glyphs of the default font, rasterised once by FreeType and kept: an 8-bit coverage
// bitmap with its placement and advance. Latin comes from DejaVu Sans, everything it
// lacks (CJK) from WenQuanYi Micro Hei.
#include <cstdint>
#include <vector>

struct GlyphBitmap {
  int width = 0;
  int height = 0;
  int left = 0;     // from the pen position to the bitmap's left column
  int top = 0;      // from the baseline up to the bitmap's top row
  int advance = 0;  // whole pixels the pen moves
  std::vector<uint8_t> coverage;  // width x height, 0 to 255
  void* image = nullptr;          // the drawable form, owned by the font layer
};

constexpr int kDefaultFontPixelSize = 16;

// Opens the faces. 0, or -1 (logged) when FreeType or no face can be opened.
int OpenGlyphFaces();
// Frees every cached glyph (calling `releaseImage` on each drawable form) and the faces.
void CloseGlyphFaces(void (*releaseImage)(void* image));
int GlyphFacesOpen();
// Baseline distance below the top of a text line, in pixels.
int GlyphAscent();
// The glyph of a code point, rasterised on first use; null when no face is open.
GlyphBitmap* GetGlyph(uint32_t codePoint);

// Decodes one UTF-8 character at `*text` (not past `end`) and advances past it; a
// malformed sequence gives U+FFFD and consumes one byte.
uint32_t NextUtf8CodePoint(const char** text, const char* end);
