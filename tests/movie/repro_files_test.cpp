// Files that once crashed or stalled a loader, kept in tests/data/repro: each is read
// whole by the loader it hit, and must be refused or played without a fault (the
// sanitizer builds run this too, which is where an over-read shows).
#include <gtest/gtest.h>

#include <string>

#include "filters/system/system_filters.h"
#include "movie/theora_movie.h"
#include "platform/file.h"
#include "platform/stream.h"
#include "sound/decoders/sound_converter.h"
#include "tests/movie/graph_movie_steps.h"
#include "tests/test_files.h"

namespace {

std::string ReproPath(const char* name) { return std::string(REPRO_DATA_DIR) + "/" + name; }
std::string Repro(const char* name) { return ReadWholeFile(ReproPath(name)); }
int g_graphFrames = 0;

TEST(ReproFiles, DamagedTheoraMoviesPlayEveryFrameOrAreRefused) {
  InstallPlainFileAccess();
  InitYuvTables();
  for (const char* name : {"theora_uv_overflow.ogv", "theora_y_plane_overread.ogv", "theora_y_plane_overread2.ogv"}) {
    SCOPED_TRACE(name);
    const FileHandle file = OpenFileViaTable(ReproPath(name).c_str(), 0, 1, 0);
    ASSERT_NE(file, 0u);
    TheoraMovie* movie = OpenTheoraMovie(&g_fileAccessTable, file, 3);
    if (movie != nullptr) {
      TheoraMovieInfo info;
      GetTheoraMovieInfo(movie, &info);
      ASSERT_GT(info.frameCount, 0);
      for (int frame = 0; frame < info.frameCount; ++frame) {
        SeekTheoraFrame(movie, frame);
        GetTheoraFrameImage(movie, 1, 0);
        EXPECT_EQ(GetTheoraCurrentFrame(movie), frame);
      }
      const ImageRecord* image = GetTheoraInfoPtr(movie);
      ASSERT_NE(image, nullptr);
      EXPECT_GE(image->width, 1);
      CloseTheoraMovie(movie);
    }
    CloseFileViaTable(file);
  }
}

int CountFrame(MovieRecord*, uint32_t) {
  ++g_graphFrames;
  return 0;
}

// Through the movie layer's graph as the graph fuzzer plays them.
TEST(ReproFiles, DamagedGraphMoviesPlayAndSeekOrAreRefused) {
  RegisterSystemFilters();
  InstallPlainFileAccess();
  UseManualAudioOutput(true);
  // A transport stream whose AAC changes its channels and rate, sought into.
  for (const char* name : {"movie_ts_aac_layout_seek.bin"}) {
    SCOPED_TRACE(name);
    g_graphFrames = 0;
    EXPECT_TRUE(PlayAndSeekGraphMovie(ReproPath(name).c_str(), CountFrame));
    EXPECT_GT(g_graphFrames, 0);
  }
  UseManualAudioOutput(false);
}

TEST(ReproFiles, WavesWithImpossibleRatesAreRefused) {
  for (const char* name : {"wav_float_rate.wav", "wav_rate_4G.wav"}) {
    SCOPED_TRACE(name);
    const std::string bytes = Repro(name);
    ASSERT_FALSE(bytes.empty());
    const StreamHandle stream = BufferStreamOpen(bytes.data(), bytes.size());
    SoundStream source{*GetBufferStreamFunctions(), stream};
    SoundConverter c;
    EXPECT_NE(OpenSoundConverter(&source, &c), 0);
    BufferStreamClose(stream);
  }
}

}  // namespace
