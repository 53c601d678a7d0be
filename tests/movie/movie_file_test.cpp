// Movie files made with libavcodec's encoders, opened through the movie layer's graph
// branch: every frame reaches the frame callback in order, on the manual clock, equal
// to what libavcodec and libswscale alone make of the file; the sound reaches the sound
// system's mixer as libavcodec and libswresample make it, and a movie whose sound has
// nowhere to go still plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "filters/system/audio_renderer.h"
#include "filters/system/system_filters.h"
#include "host/audio/audio.h"
#include "host/audio/output.h"
#include "host/dshow/reference_clock.h"
#include "movie/movie.h"
#include "movie/movie_layer.h"
#include "movie/movie_renderer.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/log.h"
#include "platform/util.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/system/ffmpeg_media.h"
#include "tests/movie/theora_media.h"
#include "tests/test_files.h"

namespace {

std::vector<std::vector<uint8_t>> g_frames;
int KeepFrame(MovieRecord* r, uint32_t) {
  const ImageRecord* image = r->currentFrameImage;
  const auto* pixels = static_cast<const uint8_t*>(image->pixels);
  g_frames.emplace_back(pixels, pixels + static_cast<size_t>(image->pitch) * image->height);
  return 0;
}

// The frames of `movie` go to g_frames, `copied` set as each is copied.
void Watch(int movie, Event* copied) {
  GetMovieRecord(movie)->renderer->SetFrameEvent(copied);
  g_frames.clear();
  SetMovieCallback(movie, KeepFrame, 0);
}

// As Watch, with the movie's graph on a new manual clock (the caller's reference).
ManualReferenceClock* WatchOnManualClock(int movie, Event* copied) {
  ManualReferenceClock* clock = ManualReferenceClock::Create(0);
  IMediaFilter* filter = nullptr;
  GetMovieRecord(movie)->graphBuilder->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
  if (filter != nullptr) {
    filter->SetSyncSource(clock);
    filter->Release();
  }
  Watch(movie, copied);
  return clock;
}

// Pauses the movie's graph until its renderer holds the first picture: that picture's
// time, which may come after the sound's priming; -1 when none comes.
int64_t FirstPictureTime(MovieRecord* r) {
  r->mediaControl->Pause();
  FILTER_STATE state;
  int64_t first = -1;
  if (r->renderer->GetState(5000, &state) != S_OK || r->mediaSeeking->GetCurrentPosition(&first) != S_OK) return -1;
  return first;
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
    Event copied(false, false);
    ManualReferenceClock* clock = WatchOnManualClock(movie, &copied);
    const int64_t first = FirstPictureTime(r);
    ASSERT_GE(first, 0);
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
    CloseMovieHandle(movie);
    clock->Release();
  }
  UseManualAudioOutput(false);
  EXPECT_EQ(TrackedLiveCount(), tracked);
  EXPECT_EQ(LiveHostMediaObjectCount(), 0);
}

// Movies opened through OpenMovie with the sound system up on the manual speaker (or
// down), each test's files in a fresh folder with the log.
class GraphMovies : public FrameworkTest {
 protected:
  void SetUp() override {
    StartLog(folder_.path().c_str());
    InstallPlainFileAccess();
    StartMovieLayer();
    UseManualAudioOutput(true);
    g_processorCount = 1;  // no refill thread: nothing here streams a sound
    tracked_ = TrackedLiveCount();
  }
  void TearDown() override {
    if (soundUp_) EndSoundSystem();
    UseManualAudioOutput(false);
    EXPECT_EQ(TrackedLiveCount(), tracked_);
    EXPECT_EQ(LiveHostMediaObjectCount(), 0);
    FrameworkTest::TearDown();
  }
  void StartSound() {
    ASSERT_EQ(InitSoundSystem(), 0);
    soundUp_ = true;
    speaker_ = CurrentManualAudioOutput();
    ASSERT_NE(speaker_, nullptr);
  }
  // The id the next buffer made on the sound system's device gets.
  static uint32_t NextBufferId() {
    WaveFormatEx f{kWaveFormatPcm, 1, 8000, 16000, 2, 16, 0};
    AudioBufferDesc desc{0, 64, &f};
    AudioBuffer* probe = nullptr;
    if (g_soundDevice->CreateSoundBuffer(&desc, &probe) != kAudioOk) return 0;
    const uint32_t id = probe->id() + 1;
    probe->Release();
    return id;
  }
  std::string Write(const char* name, const FfmpegMovieSpec& spec) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(WriteFfmpegMovie(path, spec));
    return path;
  }
  static IBaseFilter* AudioRendererOf(MovieRecord* r) {
    IBaseFilter* filter = nullptr;
    r->graphBuilder->FindFilterByName(u"Audio Renderer", &filter);
    if (filter) filter->Release();  // the graph's reference keeps it
    return filter;
  }
  static void Resume(MovieRecord* r) {
    r->playRequested = 1;
    ResumeAllMovies();
  }
  bool LogHas(const std::string& utf8) const {
    return ReadWholeFile(folder_.File("Log.txt")).find(ShiftJis(utf8)) != std::string::npos;
  }
  size_t LogCount(const std::string& utf8) const {
    const std::string log = ReadWholeFile(folder_.File("Log.txt")), want = ShiftJis(utf8);
    size_t n = 0;
    for (size_t at = log.find(want); at != std::string::npos; at = log.find(want, at + 1)) ++n;
    return n;
  }

  TempDir folder_;
  int tracked_ = 0;
  bool soundUp_ = false;
  ManualAudioOutput* speaker_ = nullptr;
};

// Waits, without sleeping, for the renderer to have taken `bytes`; false after 10 s.
bool WaitForSound(IBaseFilter* renderer, int64_t bytes) {
  const REFERENCE_TIME deadline = SteadyReferenceTime() + 100000000;
  while (AudioRendererBytesTaken(renderer) < bytes) {
    if (SteadyReferenceTime() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST_F(GraphMovies, TheSoundReachesTheSoundSystemsMixerAsFfmpegDecodesItAndPacesThePictures) {
  StartSound();
  struct Case {
    const char* name;
    FfmpegMovieSpec spec;
    int32_t volume;  // through IBasicAudio, onto the mixer
  };
  const Case cases[] = {
      {"mpeg4-aac.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 160, 120, 12, 25}, 0},
      {"mpeg4-mono.mkv", {"matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2, 161, 120, 12, 25, 10, 22050, 1}, -10000},
      // One track plays, and the volume silences it: no second track goes on beside it.
      {"two-tracks.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 64, 48, 12, 25, 10, 22050, 1, 2}, -10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    speaker_->TakeCaptured();
    const std::string path = Write(c.name, c.spec);
    const std::vector<uint8_t> pcm = DecodePcmDirectly(path);
    ASSERT_FALSE(pcm.empty());
    const size_t frames = DecodeFramesDirectly(path, false).size();  // MP4 keeps 11 of 12
    const uint32_t id = NextBufferId();
    const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    MovieRecord* r = GetMovieRecord(movie);
    IBaseFilter* audio = AudioRendererOf(r);
    ASSERT_NE(audio, nullptr);
    ASSERT_EQ(r->basicAudio->put_Volume(c.volume), S_OK);
    Event copied(false, false);
    Watch(movie, &copied);
    const int64_t first = FirstPictureTime(r);
    ASSERT_GE(first, 0);
    Resume(r);
    EXPECT_EQ(r->paused, 0);
    // The whole sound fits the renderer's second of buffer before anything is heard.
    ASSERT_TRUE(WaitForSound(audio, static_cast<int64_t>(pcm.size())));
    // The speaker is the graph's clock: pictures come as the sound is heard, no sooner.
    const int step = 441;  // 10 ms of the speaker
    const REFERENCE_TIME soundEnd =
        static_cast<REFERENCE_TIME>(pcm.size() / (2 * c.spec.channels)) * 10000000 / c.spec.rate;
    REFERENCE_TIME heard = 0;
    while (g_frames.size() < frames || heard < soundEnd) {
      ASSERT_LT(heard, soundEnd + 10000000) << "the pictures stopped";
      speaker_->Advance(step);
      heard += static_cast<REFERENCE_TIME>(step) * 10000000 / 44100;
      const size_t due = heard < first ? 0 : std::min(static_cast<size_t>((heard - first) / 400000 + 1), frames);
      while (g_frames.size() < due) {
        ASSERT_EQ(WaitForObject(&copied, 5000), 0) << "frame " << g_frames.size() << " at " << heard;
        UpdateMovieFrame(movie, 0);
      }
      UpdateMovieFrame(movie, 0);
      EXPECT_LE(g_frames.size(), due + 1) << "pictures ran ahead of the sound at " << heard;
    }
    const std::vector<uint8_t> played = speaker_->PlayedBytes(id);
    ASSERT_GE(played.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin())) << "the sound differs from libavcodec's";
    EXPECT_TRUE(std::all_of(played.begin() + static_cast<ptrdiff_t>(pcm.size()), played.end(),
                            [](uint8_t b) { return b == 0; }))
        << "after the end only silence";
    const std::vector<int16_t> mixed = speaker_->TakeCaptured();
    const bool loud = std::any_of(mixed.begin(), mixed.end(), [](int16_t v) { return v != 0; });
    EXPECT_EQ(loud, c.volume > -10000) << "the volume did not reach the mixer";
    CloseMovieHandle(movie);
  }
}

TEST_F(GraphMovies, AMovieWhoseSoundHasNowhereToGoPlaysItsPicturesOnTheClock) {
  struct Case {
    const char* what;
    bool soundUp;  // else the sound system is down: no device at all
    int refusedBuffers;
  };
  const Case cases[] = {{"no device", false, 0}, {"the device refuses the buffer", true, 1}};
  const FfmpegMovieSpec spec{"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 160, 120, 12, 25};
  const std::string path = Write("mpeg4-aac.mp4", spec);
  const size_t frames = DecodeFramesDirectly(path, false).size();
  const std::string line = "No audio output for the movie's sound";
  size_t logged = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.soundUp) StartSound();
    const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    MovieRecord* r = GetMovieRecord(movie);
    Event copied(false, false);
    ManualReferenceClock* clock = WatchOnManualClock(movie, &copied);
    if (c.refusedBuffers) speaker_->FailNextBufferCreations(c.refusedBuffers);
    Resume(r);
    EXPECT_EQ(r->paused, 0);
    EXPECT_EQ(LogCount(line), ++logged);
    for (size_t k = 0; k < frames; ++k) {
      ASSERT_EQ(WaitForObject(&copied, 5000), 0) << "frame " << k;
      UpdateMovieFrame(movie, 0);
      clock->Advance(400000);
    }
    EXPECT_EQ(g_frames.size(), frames);
    CloseMovieHandle(movie);
    clock->Release();
  }
}

// The renderer holds its own reference to the sound system's device: the sound system
// may end while a movie plays, and the movie goes on until it is closed.
TEST_F(GraphMovies, TheSoundSystemMayEndUnderAPlayingMovie) {
  StartSound();
  const std::string path = Write("mpeg4-aac.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 160, 120, 12, 25});
  const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  MovieRecord* r = GetMovieRecord(movie);
  Event copied(false, false);
  Watch(movie, &copied);
  Resume(r);
  ASSERT_TRUE(WaitForSound(AudioRendererOf(r), 4096));
  ASSERT_EQ(EndSoundSystem(), 0);
  soundUp_ = false;
  ManualAudioOutput* speaker = CurrentManualAudioOutput();
  ASSERT_EQ(speaker, speaker_) << "closed under the movie";
  speaker->Advance(44100 / 10);
  ASSERT_EQ(WaitForObject(&copied, 5000), 0) << "no picture after the end of the sound system";
  CloseMovieHandle(movie);
  EXPECT_EQ(CurrentManualAudioOutput(), nullptr) << "the last reference closes the device";
}

// Waits, without sleeping, until `done` holds, calling UpdateMovieFrame meanwhile;
// false after 10 s.
template <class Done>
bool UpdateUntil(int movie, Done done) {
  const REFERENCE_TIME deadline = SteadyReferenceTime() + 100000000;
  while (!done()) {
    if (SteadyReferenceTime() > deadline) return false;
    UpdateMovieFrame(movie, 0);
    std::this_thread::yield();
  }
  return true;
}

TEST_F(GraphMovies, ThePositionIsTheFilesThroughSeekPauseResumeLoopAndClose) {
  struct Case {
    const char* name;
    FfmpegMovieSpec spec;
  };
  // Two seconds each; the sound, with the sound system down, is dropped on its clock.
  const Case cases[] = {
      {"mpeg4.avi", {"avi", AV_CODEC_ID_MPEG4, 0, 160, 120, 50, 25}},
      {"mpeg4-aac.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 160, 120, 50, 25}},
  };
  constexpr REFERENCE_TIME kFrame = 400000, kSecond = 10000000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write(c.name, c.spec);
    const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    MovieRecord* r = GetMovieRecord(movie);
    Event copied(false, false);
    ManualReferenceClock* clock = WatchOnManualClock(movie, &copied);
    const int64_t first = FirstPictureTime(r);
    ASSERT_GE(first, 0);
    EXPECT_LT(first, kFrame);
    FILTER_STATE state;
    // The position is that of the picture shown or held next: within a frame of the
    // time played from where play began.
    auto position = [&] {
      int64_t p = -1;
      EXPECT_EQ(r->mediaSeeking->GetCurrentPosition(&p), S_OK);
      return p;
    };
    auto play = [&](REFERENCE_TIME from, int frames, const char* what) {
      const REFERENCE_TIME span = frames * kFrame;
      for (REFERENCE_TIME t = 0; t < span; t += kFrame) {
        clock->Advance(kFrame);
        ASSERT_EQ(WaitForObject(&copied, 5000), 0) << what << " at " << t;
        UpdateMovieFrame(movie, 0);
      }
      EXPECT_NEAR(static_cast<double>(position()), static_cast<double>(from + span), kFrame + first) << what;
    };
    Resume(r);
    ASSERT_EQ(WaitForObject(&copied, 5000), 0);  // the first picture, due at once
    play(0, 2, "play");
    // A seek goes on from where it went.
    int64_t at = kSecond;
    ASSERT_EQ(r->mediaSeeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
              S_OK);
    ASSERT_EQ(WaitForObject(&copied, 5000), 0);
    play(kSecond, 12, "seek to 1 s, about half a second on");
    // Paused, time passes and the position stays.
    ASSERT_EQ(PauseMovieHandle(movie, 0), 0);
    ASSERT_EQ(r->renderer->GetState(5000, &state), S_OK);  // the next picture is in
    const int64_t held = position();
    clock->Advance(kSecond / 4);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(position(), held) << "paused";
    // Resumed, it goes on from there.
    Resume(r);
    play(held, 2, "resumed");
    // Looping, the end rewinds to the start.
    r->playType = 3;
    clock->Advance(kSecond);
    ASSERT_TRUE(UpdateUntil(movie, [&] { return position() < kSecond; })) << "no rewind at the end";
    EXPECT_EQ(r->paused, 0);
    ASSERT_EQ(WaitForObject(&copied, 5000), 0);
    play(0, 3, "looped");
    CloseMovieHandle(movie);
    EXPECT_EQ(GetMovieRecord(movie), nullptr);
    clock->Release();
  }
}

// A file cut short keeps its whole length in its header. A seek past its data ends
// the movie at once, with no clock time passing, or rewinds a looping one to its first
// picture.
TEST_F(GraphMovies, ASeekPastTheDataOfACutFileEndsOrLoopsTheMovie) {
  struct Case {
    const char* name;
    FfmpegMovieSpec spec;
  };
  const Case cases[] = {
      {"cut.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 64, 48, 50, 25, 10, 22050, 1, 1, -1, "movflags=+faststart"}},
      {"cut.webm", {"webm", AV_CODEC_ID_VP8, AV_CODEC_ID_VORBIS, 96, 64, 50, 25, 10}},
  };
  for (const Case& c : cases) {
    const std::string path = Write(c.name, c.spec);
    const auto expected = DecodeFramesDirectly(path, false);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 3 / 10);
    ASSERT_GT(DecodeFramesDirectly(path, false).size(), 2u) << "no pictures before the cut";
    for (bool loops : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (loops ? " looping" : ""));
      const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
      ASSERT_NE(movie, -1);
      MovieRecord* r = GetMovieRecord(movie);
      ASSERT_GT(r->stopPosition, 15000000) << "the header's length";
      Event copied(false, false);
      ManualReferenceClock* clock = WatchOnManualClock(movie, &copied);
      const int64_t first = FirstPictureTime(r);
      ASSERT_GE(first, 0);
      Resume(r);
      if (loops) r->playType = 3;
      clock->Advance(first);
      ASSERT_EQ(WaitForObject(&copied, 5000), 0);
      UpdateMovieFrame(movie, 0);
      int64_t at = 15000000;
      ASSERT_EQ(r->mediaSeeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
                S_OK);
      g_frames.clear();
      if (loops) {
        // Rewound: the first picture comes again in its time.
        ASSERT_TRUE(UpdateUntil(movie, [&] {
          int64_t p = at;
          r->mediaSeeking->GetCurrentPosition(&p);
          return p < at;
        })) << "not rewound";
        clock->Advance(first);
        ASSERT_TRUE(UpdateUntil(movie, [&] { return !g_frames.empty(); })) << "no picture after the rewind";
        EXPECT_TRUE(g_frames[0] == expected[0]);
        EXPECT_EQ(r->paused, 0);
      } else {
        ASSERT_TRUE(UpdateUntil(movie, [&] { return r->paused == 1; })) << "never ended";
        EXPECT_EQ(r->playRequested, 0);
        EXPECT_TRUE(g_frames.empty());
      }
      CloseMovieHandle(movie);
      clock->Release();
    }
  }
}

// A picture copied before a seek and not yet handed out is not handed out after it:
// the first picture after the seek is the one at the new position.
TEST_F(GraphMovies, NoPictureFromBeforeASeekIsHandedOutAfterIt) {
  const std::string path = Write("clip.avi", {"avi", AV_CODEC_ID_MPEG4, 0, 64, 48, 40, 25, 10});
  const auto expected = DecodeFramesDirectly(path, false);
  const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  MovieRecord* r = GetMovieRecord(movie);
  Event copied(false, false);
  ManualReferenceClock* clock = WatchOnManualClock(movie, &copied);
  Resume(r);
  ASSERT_EQ(WaitForObject(&copied, 5000), 0);
  UpdateMovieFrame(movie, 0);
  ASSERT_EQ(g_frames.size(), 1u);
  clock->Advance(400000);
  ASSERT_EQ(WaitForObject(&copied, 5000), 0);  // picture 1, copied and not taken
  ASSERT_EQ(PauseMovieHandle(movie, 0), 0);
  int64_t at = 10000000;
  ASSERT_EQ(r->mediaSeeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  FILTER_STATE state;
  ASSERT_EQ(r->renderer->GetState(5000, &state), S_OK);  // the picture at 1 s is in, held
  UpdateMovieFrame(movie, 0);
  EXPECT_EQ(g_frames.size(), 1u) << "the picture from before the seek was handed out";
  Resume(r);
  ASSERT_EQ(WaitForObject(&copied, 5000), 0);
  UpdateMovieFrame(movie, 0);
  ASSERT_GE(g_frames.size(), 2u);
  EXPECT_TRUE(g_frames[1] == expected[25]) << "not the picture at 1 s";
  CloseMovieHandle(movie);
  clock->Release();
}

// A folder is no movie: the file layer says so once, and no empty line comes with it.
TEST_F(GraphMovies, AFolderIsRefusedWithOneLineSayingWhy) {
  const std::string dir = folder_.File("clips.mp4");
  std::filesystem::create_directory(dir);
  EXPECT_EQ(OpenMovie(dir.c_str(), nullptr, nullptr, 0), -1);
  EXPECT_EQ(LogCount(dir + " is not a regular file"), 1u);
  const std::string log = ReadWholeFile(folder_.File("Log.txt"));
  size_t lines = 0;
  for (size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1, ++lines) {
    // "<milliseconds>:<text>\r"
    std::string text = log.substr(start, end - start);
    text.erase(0, text.find(':') + 1);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    EXPECT_FALSE(text.empty()) << "an empty line";
  }
  EXPECT_EQ(lines, 3u) << log;  // why, and the two lines of the failed open
}

// The library's names are Shift-JIS: a Japanese name (with a trail byte of '\\') opens
// an MP4 through the graph by its name, and an Ogg Theora file with the library's own
// decoder rather than through the graph.
TEST_F(GraphMovies, JapaneseNamesOpenEachKindOfFileOnItsOwnPath) {
  const std::string mp4 = Write("ムービー表.mp4", {"mp4", AV_CODEC_ID_MPEG4, 0, 160, 120, 12, 25});
  MovieSpec theoraSpec;
  theoraSpec.width = 48;
  const std::string ogv = folder_.File("ソフト.ogv");
  ASSERT_TRUE(WriteWholeFile(ogv, EncodeTheoraMovie(theoraSpec)));
  struct Case {
    std::string path;
    int width, theora;
  } cases[] = {{mp4, 160, 0}, {ogv, 48, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    int w = 0;
    const int movie = OpenMovie(Utf8ToShiftJis(c.path).c_str(), &w, nullptr, 0);
    ASSERT_NE(movie, -1);
    MovieRecord* r = GetMovieRecord(movie);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(r->theora, c.theora);
    EXPECT_EQ(r->temporary, 0) << "read through a copy";
    CloseMovieHandle(movie);
  }
}

FileAccessTable g_plainFiles;
int g_opens = 0;
FileHandle CountedOpen(const char* path, int useCache, int block, int async) {
  ++g_opens;
  return g_plainFiles.open(path, useCache, block, async);
}

// A file the graph opened and found no picture in is refused at once: it is not read
// again into a temporary copy to be found wanting a second time.
TEST_F(GraphMovies, AFileWithoutAPictureIsRefusedWithoutACopy) {
  const std::string path = Write("sound.mkv", {"matroska", 0, AV_CODEC_ID_MP2});
  g_plainFiles = g_fileAccessTable;
  g_fileAccessTable.open = CountedOpen;
  g_opens = 0;
  EXPECT_EQ(OpenMovie(path.c_str(), nullptr, nullptr, 0), -1);
  g_fileAccessTable = g_plainFiles;
  EXPECT_EQ(g_opens, 1) << "only the look for a Theora stream reads it";
  EXPECT_TRUE(LogHas("ファイル:" + path + " が開けませんでした"));
  EXPECT_TRUE(LogHas("ムービーファイルオープン処理時にエラーが発生しました"));
}

// A filter whose Pause and Run fail while it is told to.
class Refuser final : public D_CFilterBase {
 public:
  Refuser() : D_CFilterBase("refuser", nullptr, &lock_, GUID_NULL) {}
  int32_t PinCount() override { return 0; }
  D_CPinBase* PinAt(int32_t) override { return nullptr; }
  HRESULT Pause() override { return refuse ? E_FAIL : D_CFilterBase::Pause(); }
  HRESULT Run(REFERENCE_TIME start) override { return refuse ? E_FAIL : D_CFilterBase::Run(start); }
  bool refuse = false;

 private:
  CriticalSection lock_;
};

TEST_F(GraphMovies, AGraphThatWillNotRunOrPauseIsLoggedAndNeverReportedPlaying) {
  const FfmpegMovieSpec spec{"avi", AV_CODEC_ID_MPEG4, 0, 160, 120, 12, 25};
  const std::string path = Write("mpeg4.avi", spec);
  const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  MovieRecord* r = GetMovieRecord(movie);
  auto* refuser = new Refuser;
  refuser->AsBaseFilter()->AddRef();
  ASSERT_EQ(r->graphBuilder->AddFilter(refuser->AsBaseFilter(), u"refuser"), S_OK);
  refuser->refuse = true;
  Resume(r);
  EXPECT_EQ(r->paused, 1);
  EXPECT_EQ(r->playRequested, 1);  // asked still: the next resume tries again
  EXPECT_EQ(LogCount("ムービーの再生を開始できませんでした"), 1u);
  refuser->refuse = false;
  ResumeAllMovies();
  EXPECT_EQ(r->paused, 0);
  refuser->refuse = true;
  EXPECT_EQ(PauseMovieHandle(movie, 0), 0);
  EXPECT_TRUE(LogHas("ムービーの一時停止に失敗しました"));
  EXPECT_EQ(r->paused, 1);
  refuser->refuse = false;
  refuser->AsBaseFilter()->Release();
  CloseMovieHandle(movie);
}

}  // namespace
