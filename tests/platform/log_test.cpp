#include "platform/log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>

#include "platform/alloc.h"
#include "tests/test_files.h"

namespace {
// Every line: decimal milliseconds, a colon, the indent tabs, the text, CR LF.
TEST(Log, LinesCarryStampIndentAndCrLfInShiftJis) {
  TempDir dir;
  StartLog(dir.path().c_str());
  WriteLog("start\n");
  IncreaseLogIndent();
  IncreaseLogIndent();
  WriteLog("ライブラリ\n");  // UTF-8 in the source
  DecreaseLogIndent();
  WriteLog("part one, ");  // a line written in two calls gets one stamp
  WriteLog("part two\r\n");  // an existing CR LF is not doubled
  DecreaseLogIndent();
  DecreaseLogIndent();  // stops at 0
  WriteLog("a\nb\n");   // each line of one text is stamped
  WriteLog("€\n");      // no Shift-JIS form: replaced
  WriteLog("\x83\x89.png\n");  // not UTF-8: kept as Shift-JIS
  EXPECT_EQ(WriteLogFormat("%d-%s", 7, "x"), -1);
  WriteLogFormat("ended %s\n", "once");  // a line already ended gets no empty one
  WriteLogFormat("%s", "");              // an empty text is still a line

  std::string bytes = ReadWholeFile(dir.File("Log.txt"));
  const std::string sjis = "\x83\x89\x83\x43\x83\x75\x83\x89\x83\x8a";
  std::regex expected(
      "\\d+:start\r\n"
      "\\d+:\t\t" + sjis + "\r\n"
      "\\d+:\tpart one, part two\r\n"
      "\\d+:a\r\n"
      "\\d+:b\r\n"
      "\\d+:\\?\r\n"
      "\\d+:\x83\x89\\.png\r\n"
      "\\d+:7-x\r\n"
      "\\d+:ended once\r\n"
      "\\d+:\r\n");
  EXPECT_TRUE(std::regex_match(bytes, expected)) << bytes;
}

TEST(Log, StartRecreatesTheFileAndLongFormatIsCutNotOverrun) {
  TempDir dir;
  WriteWholeFile(dir.File("Log.txt"), "old contents\n");
  StartLog(dir.path().c_str());
  std::string longText(5000, 'q');
  WriteLogFormat("%s", longText.c_str());
  std::string bytes = ReadWholeFile(dir.File("Log.txt"));
  EXPECT_EQ(bytes.find("old"), std::string::npos);
  size_t colon = bytes.find(':');
  ASSERT_NE(colon, std::string::npos);
  EXPECT_EQ(bytes.substr(colon + 1), std::string(2046, 'q') + "\r\n");
}

TEST(Log, ALogThatCannotBeOpenedIsToldOnceOnStandardError) {
  TempDir dir;
  // A folder, not empty, where the file must go: it can neither go nor be opened.
  ASSERT_EQ(mkdir(dir.File("Log.txt").c_str(), 0755), 0);
  ASSERT_TRUE(WriteWholeFile(dir.File("Log.txt") + "/keep", "x"));
  testing::internal::CaptureStderr();
  StartLog(dir.path().c_str());
  WriteLog("one\n");
  WriteLogFormat("two %d", 2);
  const std::string told = testing::internal::GetCapturedStderr();
  const std::string line = dir.File("Log.txt") + " cannot be opened for writing";
  const size_t at = told.find(line);
  ASSERT_NE(at, std::string::npos) << told;
  EXPECT_EQ(told.find(line, at + 1), std::string::npos) << told;
  // A log that opens again says nothing.
  TempDir good;
  testing::internal::CaptureStderr();
  StartLog(good.path().c_str());
  WriteLog("three\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Alloc, DumpNamesTagLineAndSizeOfEveryLeakedBlock) {
  TempDir dir;
  StartLog(dir.path().c_str());
  int before = TrackedLiveCount();
  size_t beforeBytes = TrackedLiveBytes();
  void* freed = TrackedAlloc(10, "Freed", 5);
  void* leaked = TrackedAlloc(24, "SoundLoad", 123);
  void* grown = TrackedAllocZeroed(4, "Grow", 1);
  static_cast<char*>(grown)[3] = 9;
  grown = TrackedRealloc(grown, 4000, "GrowMore", 77);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(static_cast<char*>(grown)[3], 9);  // contents kept
  TrackedFree(freed);
  TrackedFree(nullptr);
  EXPECT_EQ(TrackedLiveCount(), before + 2);
  EXPECT_EQ(TrackedLiveBytes(), beforeBytes + 4024);
  DumpLiveAllocations();
  std::string bytes = ReadWholeFile(dir.File("Log.txt"));
  EXPECT_NE(bytes.find("\tSoundLoad(123)"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\tGrowMore(77)"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find(" 24\r\n"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("Freed"), std::string::npos) << bytes;
  TrackedFree(leaked);
  TrackedFree(grown);
  EXPECT_EQ(TrackedLiveCount(), before);
}

TEST(Alloc, ZeroSizeGivesAValidBlockAndZeroedReallyIsZero) {
  void* empty = TrackedAlloc(0, "", 0);
  ASSERT_NE(empty, nullptr);
  void* other = TrackedAlloc(0, "", 0);
  EXPECT_NE(empty, other);
  auto* zeroed = static_cast<unsigned char*>(TrackedAllocZeroed(4096, "", 0));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(zeroed[i], 0) << i;
  MemFill(zeroed, 0xAB, 4096);
  EXPECT_EQ(zeroed[4095], 0xAB);
  EXPECT_EQ(TrackedAlloc(SIZE_MAX - 8, "", 0), nullptr);  // refused, not wrapped
  TrackedFree(empty);
  TrackedFree(other);
  TrackedFree(zeroed);
}
}  // namespace
