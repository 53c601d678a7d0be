// FFmpeg stays out of the process until a media file is opened: nothing of it is mapped
// at start or by a stream that is made and dropped unopened; the first open maps it and
// decodes through it; a file it cannot read still fails cleanly.
#include <gtest/gtest.h>
#include <link.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "filters/system/ffmpeg_calls.h"
#include "filters/system/media_stream.h"

namespace {

bool Mapped(const char* part) {
  struct Search {
    const char* part;
    bool found;
  } search{part, false};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, s->part) != nullptr) s->found = true;
        return 0;
      },
      &search);
  return search.found;
}

// A mono 16-bit WAVE of `samples` samples at 8000 Hz, a slow ramp.
std::string WriteWave(int samples) {
  const std::string path = ::testing::TempDir() + "ffmpeg_on_demand.wav";
  std::vector<uint8_t> bytes;
  auto word = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto text = [&](const char* s) { bytes.insert(bytes.end(), s, s + 4); };
  text("RIFF"), word(36 + 2 * samples, 4), text("WAVE");
  text("fmt "), word(16, 4), word(1, 2), word(1, 2), word(8000, 4), word(16000, 4), word(2, 2), word(16, 2);
  text("data"), word(2 * samples, 4);
  for (int i = 0; i < samples; ++i) word(static_cast<uint16_t>(i * 7), 2);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return "";
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

TEST(FfmpegOnDemand, LoadedOnlyByTheFirstOpen) {
  { MediaStream unopened; }
  EXPECT_FALSE(FfmpegLoaded());
  EXPECT_FALSE(Mapped("libavformat"));
  EXPECT_FALSE(Mapped("libavcodec"));

  const std::string wave = WriteWave(4000);
  ASSERT_FALSE(wave.empty());
  MediaStream stream;
  ASSERT_TRUE(stream.Open(wave.c_str(), 0));
  EXPECT_EQ(stream.kind(), MediaStream::Kind::Audio);
  EXPECT_EQ(stream.rate(), 8000);
  EXPECT_EQ(stream.channels(), 1);
  EXPECT_TRUE(FfmpegLoaded());
  EXPECT_TRUE(Mapped("libavformat"));

  const std::string junk = ::testing::TempDir() + "ffmpeg_on_demand.junk";
  FILE* f = std::fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a media file at all", f);
  std::fclose(f);
  MediaStream refused;
  EXPECT_FALSE(refused.Open(junk.c_str(), 0));
  std::remove(junk.c_str());
  std::remove(wave.c_str());
}

}  // namespace
