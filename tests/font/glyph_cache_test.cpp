#include "font/glyph_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(Utf8, DecodesValidSequencesAndReplacesMalformedOnesByteByByte) {
  const struct {
    const char* name;
    const char* text;
    std::vector<uint32_t> codes;
    size_t cut = 0;  // bytes of `text` lying past the end the decoder is given
  } cases[] = {
      {"ascii", "Ab", {'A', 'b'}},
      {"two bytes", "\xC3\xA9", {0xE9}},
      {"three bytes", "\xE5\xBC\xBE", {0x5F3E}},
      {"four bytes", "\xF0\x9F\x98\x80", {0x1F600}},
      {"overlong slash", "\xC0\xAF" "a", {0xFFFD, 0xFFFD, 'a'}},
      {"lone continuation", "\x80" "a", {0xFFFD, 'a'}},
      {"surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"cut short", "a\xE5\xBC", {'a', 0xFFFD, 0xFFFD}},
      {"end inside a whole sequence", "\xE5\xBC\xBE", {0xFFFD, 0xFFFD}, 1},
      {"bad continuation", "\xE5" "a", {0xFFFD, 'a'}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const char* p = c.text;
    const char* end = c.text + std::strlen(c.text) - c.cut;
    std::vector<uint32_t> got;
    while (p < end) got.push_back(NextUtf8CodePoint(&p, end));
    EXPECT_EQ(got, c.codes);
    EXPECT_EQ(p, end);  // never reads past the end
  }
}

TEST(GlyphCache, LatinAndCjkGlyphsHaveInkAndAdvancesAndAreCached) {
  ASSERT_EQ(OpenGlyphFaces(), 0);
  EXPECT_GT(GlyphAscent(), 10);
  EXPECT_LE(GlyphAscent(), kDefaultFontPixelSize);
  const uint32_t codes[] = {'A', 'g', 0x5F3E /* CJK, from the second face */, 0x3042 /* kana */};
  for (uint32_t code : codes) {
    SCOPED_TRACE(code);
    GlyphBitmap* glyph = GetGlyph(code);
    ASSERT_NE(glyph, nullptr);
    EXPECT_GT(glyph->advance, 4);
    EXPECT_GT(glyph->width, 0);
    int ink = 0;
    for (uint8_t c : glyph->coverage) ink += c == 255;
    EXPECT_GT(ink, 0);  // anti-aliased, with solid stems
    EXPECT_EQ(GetGlyph(code), glyph);
  }
  EXPECT_EQ(GetGlyph(' ')->width, 0);
  EXPECT_GT(GetGlyph(' ')->advance, 0);
  EXPECT_LT(GetGlyph('g')->top, GetGlyph('g')->height);  // a descender below the baseline
  CloseGlyphFaces(nullptr);
  EXPECT_EQ(GetGlyph('A'), nullptr);
  // Reopened, every glyph is rasterised anew: nothing kept from before the close.
  ASSERT_EQ(OpenGlyphFaces(), 0);
  EXPECT_GT(GetGlyph('A')->advance, 4);
  EXPECT_GT(GetGlyph('A')->width, 0);
  CloseGlyphFaces(nullptr);
}

}  // namespace
