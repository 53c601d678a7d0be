// Shift-JIS names to UTF-16 and back, and on to the UTF-8 paths the files have here.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/kernel/wide_string.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "tests/test_files.h"

namespace {

TEST(CodePage, JapaneseNamesGoBothWaysAndOnToUtf8) {
  const struct {
    std::string shiftJis;
    std::u16string wide;
    std::string utf8;
  } cases[] = {
      {"movie.avi", u"movie.avi", "movie.avi"},
      // "ムービー" (katakana and the long vowel mark) and a kanji name with a backslash path.
      {"\x83\x80\x81\x5B\x83\x72\x81\x5B.ogv", u"ムービー.ogv", "ムービー.ogv"},
      {"data\\\x95\x97\x8C\x69.avi", u"data\\風景.avi", "data\\風景.avi"},
      // Half-width katakana are single bytes; 0x5C after a lead byte is not a backslash.
      {"\xB1\xB2\x95\x5C", u"ｱｲ表", "ｱｲ表"},
      {"", u"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShiftJisToWide(c.shiftJis), c.wide) << c.utf8;
    EXPECT_EQ(WideToShiftJis(c.wide), c.shiftJis) << c.utf8;
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
    EXPECT_EQ(Utf8ToShiftJis(c.utf8), c.shiftJis);
    EXPECT_EQ(ShiftJisToUtf8(c.shiftJis), c.utf8);
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
  }
}

// The file layer takes and gives the library's names: a Shift-JIS name, a trail byte of
// '\\' within it, opens, lists and changes into the UTF-8 file it names.
TEST(CodePage, TheFileLayerOpensListsAndEntersShiftJisNames) {
  TempDir folder;
  const std::string dir = folder.File("表"), file = dir + "/ソフト.txt";
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  ASSERT_TRUE(WriteWholeFile(file, "data"));
  InstallPlainFileAccess();
  const std::string name = Utf8ToShiftJis(file);
  ASSERT_NE(name, file);
  FileHandle handle = OpenFileViaTable(name.c_str(), 0, 1, 0);
  ASSERT_NE(handle, 0u);
  char text[8] = {};
  EXPECT_EQ(ReadFileViaTable(text, 1, 4, handle), 4u);
  EXPECT_STREQ(text, "data");
  CloseFileViaTable(handle);
  FileFindData found{};
  const uintptr_t find = g_fileAccessTable.findFirst(Utf8ToShiftJis(dir + "/*.txt").c_str(), &found);
  ASSERT_NE(find, 0u);
  EXPECT_STREQ(found.name, Utf8ToShiftJis("ソフト.txt").c_str());
  g_fileAccessTable.findClose(find);
  char here[4096];
  ASSERT_EQ(g_fileAccessTable.getCurrentDirectory(here, sizeof here), 0);
  const std::string back = here;
  ASSERT_EQ(g_fileAccessTable.setCurrentDirectory(Utf8ToShiftJis(dir).c_str()), 0);
  char inside[4096];
  ASSERT_EQ(g_fileAccessTable.getCurrentDirectory(inside, sizeof inside), 0);
  EXPECT_EQ(std::string(inside), Utf8ToShiftJis(std::filesystem::canonical(dir).string()));
  ASSERT_EQ(g_fileAccessTable.setCurrentDirectory(back.c_str()), 0);
}

TEST(CodePage, WhatCannotBeConvertedIsMarkedAndTheRestKept) {
  // A lone lead byte, then text: the byte becomes U+FFFD and the text survives.
  EXPECT_EQ(ShiftJisToWide("\x83 a"), u"\uFFFD a");
  EXPECT_EQ(ShiftJisToWide("ab\x83"), u"ab\uFFFD");
  // Characters outside Shift-JIS, an unpaired surrogate and a pair become one '?' each.
  EXPECT_EQ(WideToShiftJis(u"a\u00E9\U0001F600b"), "a??b");
  EXPECT_EQ(WideToShiftJis(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x?y");
  EXPECT_EQ(WideToUtf8(std::u16string(u"x") + char16_t(0xDC00)), "x\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  // The log's text: bytes that are not UTF-8 stay as they are.
  EXPECT_EQ(Utf8ToShiftJis("\x83\x80 é"), "\x83\x80 ?");
}

}  // namespace
