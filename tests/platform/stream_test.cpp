#include "platform/stream.h"

#include <cstring>
#include <set>
#include <string>

#include "platform/file.h"
#include "platform/log.h"
#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace {
const std::string kContent = "0123456789abcdefghij";  // 20 bytes

struct OpenStream {
  const StreamFunctionTable* table;
  StreamHandle handle;
};

// The same checks run over a file stream and a buffer stream.
class StreamKinds : public ::testing::TestWithParam<bool> {
 protected:
  OpenStream Open() {
    if (GetParam()) {
      WriteWholeFile(dir_.File("data.bin"), kContent);
      FileHandle h = OpenFileViaTable(dir_.File("data.bin").c_str(), 0, 1, 0);
      EXPECT_NE(h, 0u);
      return {GetFileStreamFunctions(), h};
    }
    StreamHandle h = BufferStreamOpen(kContent.data(), kContent.size());
    EXPECT_NE(h, 0u);
    return {GetBufferStreamFunctions(), h};
  }
  TempDir dir_;
};

TEST_P(StreamKinds, SeekFromEveryOriginThenTellAndRead) {
  OpenStream s = Open();
  struct Case {
    int64_t offset;
    int origin;
    int64_t position;
    char byte;
  } cases[] = {{5, 0, 5, '5'}, {3, 1, 8, '8'},  {-4, 2, 16, 'g'},
               {-15, 1, 1, '1'}, {0, 2, 20, 0},  {0, 0, 0, '0'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    ASSERT_EQ(s.table->seek(s.handle, c.offset, c.origin), 0);
    EXPECT_EQ(s.table->tell(s.handle), c.position);
    char b = 0;
    size_t got = s.table->read(&b, 1, 1, s.handle);
    EXPECT_EQ(got, c.byte != 0 ? 1u : 0u);
    EXPECT_EQ(b, c.byte);
    s.table->seek(s.handle, -static_cast<int64_t>(got), 1);
  }
  EXPECT_EQ(s.table->seek(s.handle, -1, 0), -1);  // before the start is refused
  EXPECT_EQ(s.table->close(s.handle), 0);
}

TEST_P(StreamKinds, ShortReadAtTheEndDeliversWhatIsThereAndReportsEnd) {
  OpenStream s = Open();
  char buffer[32];
  std::memset(buffer, '.', sizeof buffer);
  ASSERT_EQ(s.table->seek(s.handle, 14, 0), 0);
  EXPECT_EQ(s.table->eof(s.handle), 0);
  EXPECT_EQ(s.table->read(buffer, 4, 2, s.handle), 1u);  // 6 bytes left: one whole element
  EXPECT_EQ(std::string(buffer, 6), "efghij");
  EXPECT_EQ(buffer[6], '.');
  EXPECT_EQ(s.table->tell(s.handle), 20);
  EXPECT_NE(s.table->eof(s.handle), 0);
  EXPECT_EQ(s.table->read(buffer, 1, 8, s.handle), 0u);
  ASSERT_EQ(s.table->seek(s.handle, 0, 0), 0);
  EXPECT_EQ(s.table->eof(s.handle), 0);  // a seek back leaves the end
  EXPECT_EQ(s.table->read(buffer, 1, 20, s.handle), 20u);
  EXPECT_NE(s.table->eof(s.handle), 0);  // reached exactly
  EXPECT_NE(s.table->idleCheck(s.handle), 0);
  EXPECT_EQ(s.table->close(s.handle), 0);
}

// The end is reached the moment the position reaches the size, by a seek as by a read,
// so that a reader that stops exactly there sees it; one byte before, it is not.
TEST_P(StreamKinds, EndFlagFollowsThePositionExactlyAtTheEnd) {
  OpenStream s = Open();
  struct Case {
    int64_t offset;
    int origin;
    size_t readBytes;
    bool atEnd;
  } cases[] = {
      {19, 0, 0, false}, {20, 0, 0, true}, {0, 2, 0, true},  {-1, 2, 0, false},
      {25, 0, 0, true},  {19, 0, 1, true}, {10, 0, 9, false}, {10, 0, 10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin << ", read " << c.readBytes);
    ASSERT_EQ(s.table->seek(s.handle, 0, 0), 0);
    ASSERT_EQ(s.table->seek(s.handle, c.offset, c.origin), 0);
    char buffer[32];
    ASSERT_EQ(s.table->read(buffer, 1, c.readBytes, s.handle), c.readBytes);
    EXPECT_EQ(s.table->eof(s.handle) != 0, c.atEnd);
  }
  EXPECT_EQ(s.table->close(s.handle), 0);
}

INSTANTIATE_TEST_SUITE_P(FileAndBuffer, StreamKinds, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Buffer"; });

TEST(BufferStream, HugeElementCountDoesNotOverflowPastTheBlock) {
  StreamHandle h = BufferStreamOpen(kContent.data(), kContent.size());
  char buffer[32] = {};
  EXPECT_EQ(GetBufferStreamFunctions()->read(buffer, 8, SIZE_MAX / 4, h), 2u);
  EXPECT_EQ(std::string(buffer, 20), kContent);
  BufferStreamClose(h);
}

TEST(FileAccess, BadPathsGiveZeroAndFindWalksMatches) {
  TempDir dir;
  EXPECT_EQ(OpenFileViaTable(dir.File("missing.png").c_str(), 0, 1, 0), 0u);
  EXPECT_EQ(OpenFileViaTable(dir.path().c_str(), 0, 1, 0), 0u);  // a directory is no file
  EXPECT_EQ(OpenFileViaTable(nullptr, 0, 1, 0), 0u);
  StartLog(dir.path().c_str());
  EXPECT_TRUE(ReturnsWithAFifoInPlace(dir.File("pipe.png"), [&] {
    EXPECT_EQ(OpenFileViaTable(dir.File("pipe.png").c_str(), 0, 1, 0), 0u);
  }));
  EXPECT_NE(ReadWholeFile(dir.File("Log.txt")).find("pipe.png is not a regular file"), std::string::npos);

  std::filesystem::create_directory(dir.File("sub"));
  WriteWholeFile(dir.File("sub/a.wav"), "abc");
  WriteWholeFile(dir.File("sub/b.wav"), "abcdef");
  WriteWholeFile(dir.File("sub/c.txt"), "x");
  // Backslashes, as game paths may carry them.
  FileHandle h = OpenFileViaTable((dir.path() + "\\sub\\b.wav").c_str(), 0, 1, 0);
  ASSERT_NE(h, 0u);
  CloseFileViaTable(h);

  FileFindData data;
  std::set<std::string> found;
  uintptr_t find = g_fileAccessTable.findFirst(dir.File("sub/*.wav").c_str(), &data);
  ASSERT_NE(find, 0u);
  do {
    found.insert(data.name + std::string(":") + std::to_string(data.size));
  } while (g_fileAccessTable.findNext(find, &data) == 0);
  EXPECT_EQ(g_fileAccessTable.findClose(find), 0);
  EXPECT_EQ(found, (std::set<std::string>{"a.wav:3", "b.wav:6"}));
  EXPECT_EQ(g_fileAccessTable.findFirst(dir.File("sub/*.ogg").c_str(), &data), 0u);
}

TEST(FileAccess, TempFileIsNewEmptyAndWritable) {
  char path[4096];
  FILE* file = CreateTempFile(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::filesystem::path(path).filename().string().rfind("tmp", 0), 0u) << path;
  std::fputs("MThd", file);
  std::fclose(file);
  EXPECT_EQ(ReadWholeFile(path), "MThd");
  char second[4096];
  FILE* other = CreateTempFile(second);
  ASSERT_NE(other, nullptr);
  EXPECT_STRNE(path, second);
  std::fclose(other);
  std::remove(path);
  std::remove(second);
}
}  // namespace
