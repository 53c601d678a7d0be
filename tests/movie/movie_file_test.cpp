// Movie files made with libavcodec's encoders, opened through the movie layer's graph
// branch: every frame reaches the frame callback in order, on the manual clock, equal
// to what libavcodec and libswscale alone make of the file.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "host/audio/output.h"
#include "host/dshow/filters/system_filters.h"
#include "host/dshow/reference_clock.h"
#include "movie/movie.h"
#include "movie/movie_renderer.h"
#include "platform/alloc.h"
#include "platform/file.h"
#include "platform/log.h"
#include "tests/host/dshow/ffmpeg_media.h"
#include "tests/movie/dshow/framework_fixture.h"
#include "tests/test_files.h"

namespace {

std::vector<std::vector<uint8_t>> g_frames;
int KeepFrame(MovieRecord* r, uint32_t) {
  const ImageRecord* image = r->currentFrameImage;
  const auto* pixels = static_cast<const uint8_t*>(image->pixels);
  g_frames.emplace_back(pixels, pixels + static_cast<size_t>(image->pitch) * image->height);
  return 0;
}

using MovieFiles = FrameworkTest;

TEST_F(MovieFiles, EveryFrameOfEachContainerReachesTheCallbackOnTime) {
  TempDir folder;
  StartLog(folder.path().c_str());
  InstallPlainFileAccess();
  RegisterSystemFilters();
  UseManualAudioOutput(true);  // the sound plays to nothing and waits for nobody
  const int tracked = TrackedLiveCount();
  struct Case {
    const char* name;
    FfmpegMovieSpec spec;
  };
  // Matroska with pictures alone gives the last picture's start as its duration.
  const Case cases[] = {
      {"mpeg4.avi", {"avi", AV_CODEC_ID_MPEG4, 0, 160, 120, 12, 25}},
      {"mpeg4.mkv", {"matroska", AV_CODEC_ID_MPEG4, 0, 160, 120, 12, 25}},
      {"mjpeg-aac.mkv", {"matroska", AV_CODEC_ID_MJPEG, AV_CODEC_ID_AAC, 176, 144, 12, 25}},
      {"mpeg4-mono.mkv", {"matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2, 161, 120, 12, 25, 10, 22050, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(c.name);
    ASSERT_TRUE(WriteFfmpegMovie(path, c.spec));
    const auto expected = DecodeFramesDirectly(path, false);
    ASSERT_EQ(expected.size(), size_t(c.spec.frames));
    int w = 0, h = 0;
    const int movie = OpenMovie(path.c_str(), &w, &h, 0);
    ASSERT_NE(movie, -1);
    EXPECT_EQ(w, c.spec.width);
    EXPECT_EQ(h, c.spec.height);
    MovieRecord* r = GetMovieRecord(movie);
    ManualReferenceClock* clock = ManualReferenceClock::Create(0);
    IMediaFilter* filter = nullptr;
    ASSERT_EQ(r->graphBuilder->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter)), S_OK);
    filter->SetSyncSource(clock);
    Event copied(false, false);
    r->renderer->SetFrameEvent(&copied);
    g_frames.clear();
    SetMovieCallback(movie, KeepFrame, 0);
    // Paused, the renderer holds the first picture, whose time the position gives.
    r->mediaControl->Pause();
    FILTER_STATE state;
    ASSERT_EQ(r->renderer->GetState(5000, &state), S_OK);
    int64_t first = -1;
    ASSERT_EQ(r->mediaSeeking->GetCurrentPosition(&first), S_OK);
    r->playRequested = 1;
    ResumeAllMovies();
    clock->Advance(first);
    const REFERENCE_TIME frameTime = 10000000 / c.spec.fps;
    for (int k = 0; k < c.spec.frames; ++k) {
      ASSERT_EQ(WaitForObject(&copied, 5000), 0) << "frame " << k;
      UpdateMovieFrame(movie, 0);
      ASSERT_EQ(g_frames.size(), size_t(k + 1));
      EXPECT_TRUE(g_frames[k] == expected[k]) << "frame " << k << " differs";
      EXPECT_NE(WaitForObject(&copied, 0), 0) << "frame " << k + 1 << " before its time";
      clock->Advance(frameTime);
    }
    filter->Release();
    CloseMovieHandle(movie);
    clock->Release();
  }
  UseManualAudioOutput(false);
  EXPECT_EQ(TrackedLiveCount(), tracked);
  EXPECT_EQ(LiveHostMediaObjectCount(), 0);
}

}  // namespace
