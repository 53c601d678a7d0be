#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "font/default_font.h"
#include "font/glyph_cache.h"
#include "graphics/frame_dump.h"
#include "image/png_loader.h"
#include "platform/file.h"
#include "platform/stream.h"
#include "tests/graphics/demo_scene.h"
#include "tests/graphics/graphics_test_env.h"

namespace {

class Text : public GraphicsTest {};
class Flip : public GraphicsTest {
 protected:
  void TearDown() override {
    unsetenv("DUMP_FRAMES");
    unsetenv("DUMP_EVERY");
    unsetenv("FRAME_HASH_LOG");
    ConfigureFrameChecks();
  }
};

// Columns [first, last] of the back screen that hold any non-black pixel in rows
// [top, bottom); first > last when there is none.
void InkColumns(int top, int bottom, int* first, int* last) {
  *first = kScreenWidth, *last = -1;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < kScreenWidth; ++x)
      if (GraphicsTest::Pixel(x, y) != 0) {
        if (x < *first) *first = x;
        if (x > *last) *last = x;
      }
}

TEST_F(Text, StringWidthAgreesWithTheDrawnExtent) {
  const char* texts[] = {"Hello, world", "iiiii", "WWW", "Score 0123456789", "\xE5\xBC\xBE\xE5\xB9\x95 mixed"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    ClearDrawScreen();
    const int width = GetStringWidthDefaultFont(text, static_cast<int>(std::strlen(text)), 0);
    ASSERT_GT(width, 0);
    ASSERT_EQ(DrawStringDefaultFont(100, 100, text, 0xFFFF), 0);
    int first, last;
    InkColumns(96, 130, &first, &last);
    // Ink starts at the pen and ends within the last glyph's advance.
    EXPECT_GE(first, 100);
    EXPECT_LE(first, 102);
    EXPECT_LT(last, 100 + width);
    EXPECT_GE(last, 100 + width - 4);
    // Only the given number of bytes is measured; a NUL ends the text early.
    EXPECT_LT(GetStringWidthDefaultFont(text, 2, 0), width);
  }
  EXPECT_EQ(GetStringWidthDefaultFont("ab\0cd", 5, 0), GetStringWidthDefaultFont("ab", 2, 0));
  EXPECT_EQ(GetStringWidthDefaultFont("ab", 2, 1), -1);  // vertical text is not drawn
}

// Each glyph of a line lands where the line's width up to it says: the line drawn at
// once is, pixel for pixel, its characters drawn one by one at the measured pens, left
// bearings and overlaps included. Odd and even starting columns, Latin pairs that
// overhang, narrow glyphs, and CJK from the second face.
TEST_F(Text, EachGlyphOfALineLandsAtTheWidthOfWhatComesBeforeIt) {
  const char* texts[] = {"AVAWAY", "iWi.l|j", "f/T,y\"", "\xE5\xBC\xBE\xE5\xB9\x95 ok!", "1.25x"};
  auto snapshot = [] {
    std::vector<uint16_t> rows;
    for (int y = 90; y < 130; ++y)
      for (int x = 0; x < kScreenWidth; ++x) rows.push_back(Pixel(x, y));
    return rows;
  };
  for (const char* text : texts) {
    for (int x0 : {100, 37}) {
      SCOPED_TRACE(testing::Message() << text << " at " << x0);
      ClearDrawScreen();
      ASSERT_EQ(DrawStringDefaultFont(x0, 100, text, 0xFFFF), 0);
      const std::vector<uint16_t> whole = snapshot();
      ClearDrawScreen();
      const int length = static_cast<int>(std::strlen(text));
      for (int at = 0; at < length;) {
        int next = at + 1;
        while (next < length && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
        const std::string one(text + at, text + next);
        ASSERT_EQ(DrawStringDefaultFont(x0 + GetStringWidthDefaultFont(text, at, 0), 100, one.c_str(), 0xFFFF), 0);
        at = next;
      }
      const std::vector<uint16_t> glyphs = snapshot();
      int inked = 0;
      for (size_t i = 0; i < whole.size(); ++i) {
        ASSERT_EQ(whole[i], glyphs[i]) << "column " << i % kScreenWidth << ", row " << 90 + i / kScreenWidth;
        inked += whole[i] != 0;
      }
      EXPECT_GT(inked, 20 * length / 2);
    }
  }
  // A glyph alone is its coverage bitmap placed at the pen plus its left bearing, its
  // top that far above the baseline: solid where the coverage is full, nothing outside.
  const char* glyphs[] = {"A", "H", "f", "y", "\xE5\xBC\xBE"};
  for (const char* text : glyphs) {
    SCOPED_TRACE(text);
    const char* p = text;
    const GlyphBitmap* g = GetGlyph(NextUtf8CodePoint(&p, text + std::strlen(text)));
    ASSERT_NE(g, nullptr);
    ASSERT_GT(g->width, 0);
    ClearDrawScreen();
    ASSERT_EQ(DrawStringDefaultFont(200, 100, text, 0xFFFF), 0);
    const int left = 200 + g->left, top = 100 + GlyphAscent() - g->top;
    int solid = 0;
    for (int y = 80; y < 140; ++y) {
      for (int x = 180; x < 240; ++x) {
        const bool inside = x >= left && x < left + g->width && y >= top && y < top + g->height;
        const int coverage = inside ? g->coverage[static_cast<size_t>(y - top) * g->width + (x - left)] : 0;
        if (coverage == 255) {
          ASSERT_EQ(Pixel(x, y), 0xFFFF) << x << "," << y;
          ++solid;
        } else if (coverage == 0) {
          ASSERT_EQ(Pixel(x, y), 0) << x << "," << y;
        }
      }
    }
    EXPECT_GT(solid, 3);
  }
}

TEST_F(Text, DrawsInTheGivenColourAndFormatsLikePrintf) {
  const unsigned yellow = MakeScreenColor(255, 255, 0), teal = MakeScreenColor(0, 128, 128);
  DrawFormattedStringDefaultFont(10, 10, yellow, "%s=%04d", "hp", 42);
  DrawStringDefaultFont(10, 40, "hp=0042", yellow);
  DrawStringDefaultFont(10, 70, "hp=0042", teal);
  int solidYellow = 0, solidTeal = 0;
  for (int y = 0; y < 26; ++y)
    for (int x = 0; x < 100; ++x) {
      // The formatted text is the plain text, pixel for pixel.
      ASSERT_EQ(Pixel(x, 10 + y), Pixel(x, 40 + y)) << x << "," << y;
      const uint16_t p = Pixel(x, 40 + y), q = Pixel(x, 70 + y);
      EXPECT_EQ(p & 31, 0) << "blue in yellow text at " << x << "," << y;
      EXPECT_EQ(q >> 11, 0) << "red in teal text at " << x << "," << y;
      solidYellow += p == yellow;
      solidTeal += q == teal;
    }
  EXPECT_GT(solidYellow, 20);
  EXPECT_EQ(solidYellow, solidTeal);  // full coverage gives exactly the colour asked for
  // Longer than any fixed buffer: still drawn whole.
  std::string longText(3000, 'x');
  EXPECT_EQ(DrawFormattedStringDefaultFont(0, 200, 0xFFFF, "%s|", longText.c_str()), 0);
}

TEST_F(Flip, DumpsEveryNthFrameAsPngAndLogsEveryFrameHash) {
  TempDir dir;
  const std::string& folder = dir.path();
  setenv("DUMP_FRAMES", folder.c_str(), 1);
  setenv("DUMP_EVERY", "2", 1);
  setenv("FRAME_HASH_LOG", (folder + "/hashes.txt").c_str(), 1);
  ConfigureFrameChecks();
  const int start = GetFlipCount();
  std::string expectedLog;
  int pitch = 0;
  const uint16_t* back = GetBackScreenPixels(&pitch);
  for (int i = 1; i <= 4; ++i) {
    DrawFilledBox(i * 10, 0, i * 10 + 5, 5, MakeScreenColor(40 * i, 255, 100));
    FlipScreen();  // no window here: the checks still run
    char line[64];
    std::snprintf(line, sizeof(line), "%d %016llx\n", start + i,
                  static_cast<unsigned long long>(HashScreenPixels(back, pitch, kScreenWidth, kScreenHeight)));
    expectedLog += line;
  }
  CloseFrameChecks();
  EXPECT_EQ(ReadWholeFile(folder + "/hashes.txt"), expectedLog);
  for (int i = 1; i <= 4; ++i) {
    char name[64];
    std::snprintf(name, sizeof(name), "/frame_%06d.png", start + i);
    EXPECT_EQ(std::filesystem::exists(folder + name), (start + i) % 2 == 0) << name;
  }
  // The last dumped frame holds the back screen's pixels.
  char name[64];
  std::snprintf(name, sizeof(name), "/frame_%06d.png", start + 4 - (start + 4) % 2);
  const FileHandle file = OpenFileViaTable((folder + name).c_str(), 0, 1, 0);
  ASSERT_NE(file, 0u);
  ImageRecord image;
  ASSERT_EQ(LoadPngImage(GetFileStreamFunctions(), file, &image), kPngLoaded);
  CloseFileViaTable(file);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 60; ++x) {
      const uint8_t* p = static_cast<uint8_t*>(image.pixels) + y * image.pitch + x * 4;
      ASSERT_EQ(MakeScreenColor(p[2], p[1], p[0]), Pixel(x, y)) << x << "," << y;
    }
  ReleaseImageRecord(&image);
}

TEST_F(Flip, DemoSceneFrameHasItsKnownHash) {
  ASSERT_EQ(StartDemoScene(), 0);
  int pitch = 0;
  const uint16_t* back = GetBackScreenPixels(&pitch);
  DrawDemoScene(30);
  const uint64_t first = HashScreenPixels(back, pitch, kScreenWidth, kScreenHeight);
  DrawDemoScene(31);
  EXPECT_NE(HashScreenPixels(back, pitch, kScreenWidth, kScreenHeight), first);  // it moves
  DrawDemoScene(30);
  EXPECT_EQ(HashScreenPixels(back, pitch, kScreenWidth, kScreenHeight), first);  // nothing left over
  EXPECT_EQ(first, 0x6085d5f11b1550deull) << std::hex << first;
  EndDemoScene();
}

}  // namespace
