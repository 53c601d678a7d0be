// Movie handles on the manual clock: the frame a movie shows for its time, its end and
// its loop, pause and resume, its sound as its clock, graphs made from movie files, and
// the refusal of what cannot be played.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/graph.h"
#include "host/audio/output.h"
#include "host/window/window.h"
#include "movie/movie.h"
#include "movie/movie_layer.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/window.h"
#include "sound/decoders/sound_converter.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "tests/graphics/graphics_test_env.h"
#include "tests/movie/theora_media.h"
#include "tests/test_files.h"
#include "tests/sound/test_media.h"

namespace {

int64_t g_nowUs = 0;
int64_t ManualNow() { return g_nowUs; }

class Movies : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartLog(folder_.path().c_str());
    UseManualAudioOutput(true);
    ASSERT_EQ(InitSoundSystem(), 0);
    ASSERT_EQ(StartMovieLayer(), 0);
    g_nowUs = 5000000;
    SetMovieClock(ManualNow);
  }
  void TearDown() override {
    for (int h : handles_) CloseMovieHandle(h);
    SetMovieClock(nullptr);
    SetMovieGraphEntries(nullptr);
    EndSoundSystem();
  }
  std::string Write(const std::string& name, const Bytes& data) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(WriteWholeFile(path, data));
    return path;
  }
  int Open(const std::string& path) {
    const int h = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    if (h != -1) handles_.push_back(h);
    return h;
  }
  // Sets the play request nothing in the library sets, and resumes.
  static void Play(int h, int playType) {
    MovieRecord* r = GetMovieRecord(h);
    r->playType = playType;
    r->playRequested = 1;
    ResumeAllMovies();
  }
  static int Frame(int h) { return GetTheoraCurrentFrame(GetMovieRecord(h)->decoder); }
  bool LogHas(const std::string& utf8) const {
    const std::string log = ReadWholeFile(folder_.File("Log.txt"));
    std::string want;
    for (char c : utf8) want += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return log.find(ShiftJis(want)) != std::string::npos;
  }

  TempDir folder_;
  std::vector<int> handles_;
};

TEST_F(Movies, FramesFollowTheClockAndAMovieThatIsNotLoopedEndsOnItsLastFrame) {
  MovieSpec spec;  // 12 frames at 30 per second
  const std::string path = Write("clip.ogv", EncodeTheoraMovie(spec));
  struct Case {
    int playType;
    int64_t afterUs;
    int frame, paused, requested;
  } cases[] = {
      {1, -70000, 0, 0, 1},  // a clock before the start
      {1, 0, 0, 0, 1},       {1, 16000, 0, 0, 1},    {1, 17000, 1, 0, 1},  {1, 100000, 3, 0, 1},
      {1, 350000, 10, 0, 1},  // 10.5 rounds to even (13.5 below to 14)
      {1, 383000, 11, 0, 1},  {1, 400000, 11, 1, 0},  // the second look at the last frame ends it
      {3, 383000, 11, 0, 1},  {3, 400000, 0, 0, 1},   {3, 450000, 2, 0, 1}, {3, 2000000, 0, 0, 1},
      {0, 500000, 11, 1, 0},  // play type 0 plays once
  };
  int h = -1, lastType = -1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.afterUs);
    if (c.playType != lastType) {
      if (h != -1) CloseMovieHandle(h);
      h = Open(path);
      ASSERT_NE(h, -1);
      Play(h, c.playType);
      EXPECT_EQ(GetMovieRecord(h)->playType, c.playType == 0 ? 1 : c.playType);
      lastType = c.playType;
    }
    const int64_t start = GetMovieRecord(h)->startTime;
    g_nowUs = start + c.afterUs;
    UpdateMovieFrame(h, 0);
    if (c.frame == 11 && c.playType != 3 && c.afterUs > 383000) UpdateMovieFrame(h, 0);
    EXPECT_EQ(Frame(h), c.frame);
    EXPECT_EQ(GetMovieRecord(h)->paused, c.paused);
    EXPECT_EQ(GetMovieRecord(h)->playRequested, c.requested);
  }
}

TEST_F(Movies, ResumeContinuesFromThePausedFrameAndOnlyAKeptRequestResumes) {
  MovieSpec spec;
  spec.frames = 60;
  const std::string path = Write("clip.ogv", EncodeTheoraMovie(spec));
  const int h = Open(path);
  ASSERT_NE(h, -1);
  static int s_calls;
  s_calls = 0;
  SetMovieCallback(h, [](MovieRecord*, uint32_t user) { return s_calls += static_cast<int>(user), 0; }, 1);
  // Freshly opened: paused, not requested, frame 0 held whatever the clock says.
  g_nowUs += 10000000;
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 0);
  EXPECT_EQ(s_calls, 1);  // the held frame is still handed over
  Play(h, 1);
  g_nowUs += 200000;
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 6);
  MainWindowProc(0, kMsgActivateApp, 0, 0);  // the window lost the focus: the request stays
  EXPECT_EQ(GetMovieRecord(h)->paused, 1);
  EXPECT_EQ(GetMovieRecord(h)->playRequested, 1);
  g_nowUs += 30000000;
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 6);
  MainWindowProc(0, kMsgActivateApp, 1, 0);  // and got it back
  g_nowUs += 34000;  // the start is set back by 6 frames' time; just over one frame more
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 7);
  EXPECT_EQ(GetMovieRecord(h)->playTime, 234u);
  EXPECT_EQ(PauseMovieHandle(h, 0), 0);
  EXPECT_EQ(GetMovieRecord(h)->playRequested, 0);
  ResumeAllMovies();
  EXPECT_EQ(GetMovieRecord(h)->paused, 1);  // nothing asked it to play again
  EXPECT_GE(s_calls, 5);
  EXPECT_EQ(GetMovieRecord(h)->frameReady, 1);
  // Resumed more than 2^31 microseconds in (100 s a frame, frame 25): it goes on there.
  spec.fpsNumerator = 1;
  spec.fpsDenominator = 100;
  const int slow = Open(Write("slow.ogv", EncodeTheoraMovie(spec)));
  ASSERT_NE(slow, -1);
  Play(slow, 1);
  g_nowUs += 2520000000LL;
  UpdateMovieFrame(slow, 0);
  ASSERT_EQ(Frame(slow), 25);
  PauseMovieHandle(slow, 1);
  ResumeAllMovies();
  g_nowUs += 1000000;
  UpdateMovieFrame(slow, 0);
  EXPECT_EQ(Frame(slow), 25);
}

TEST_F(Movies, AMovieWithSoundRunsOnItsSoundsTime) {
  MovieSpec spec;
  spec.frames = 30;
  spec.audioSamples = 22050;  // one second
  // The open loads the sound with its own settings and gives the caller's back.
  SetSoundDecoderMask(0x10);
  SetSoundCreateMode(2);
  const int h = Open(Write("talk.ogv", EncodeTheoraMovie(spec)));
  ASSERT_NE(h, -1);
  EXPECT_EQ(GetSoundDecoderMask(), 0x10);
  EXPECT_EQ(GetSoundCreateMode(), 2);
  EXPECT_EQ(MovieSoundFlag, 0);
  SetSoundDecoderMask(0);
  SetSoundCreateMode(0);
  const int sound = GetMovieRecord(h)->soundHandle;
  ASSERT_NE(sound, -1);
  EXPECT_EQ(GetSoundTotalTime(sound), 1000);
  Play(h, 1);
  EXPECT_EQ(CheckSoundHandlePlaying(sound), 1);
  g_nowUs += 900000;  // the clock alone moves nothing
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), 0);
  CurrentManualAudioOutput()->AdvanceMs(500);
  UpdateMovieFrame(h, 0);
  const int expected = static_cast<int>(GetSoundCurrentTime(sound) * 30 / 1000.0 + 0.5);
  EXPECT_GE(expected, 13);
  EXPECT_EQ(Frame(h), expected);
  // Pausing stops the sound.
  PauseMovieHandle(h, 1);
  EXPECT_EQ(CheckSoundHandlePlaying(sound), 0);
  // A sound that cannot tell its time (here: gone) moves nothing, never wraps to frame 0.
  Play(h, 1);
  const int held = Frame(h);
  ASSERT_GT(held, 0);
  DeleteSoundHandle(sound);
  UpdateMovieFrame(h, 0);
  EXPECT_EQ(Frame(h), held);
  EXPECT_EQ(CloseMovieHandle(h), 0);
  EXPECT_EQ(CheckSoundHandlePlaying(sound), -1);  // the movie's sound went with it
  handles_.clear();
}

// The sound is the clock of a movie that has one. Played once, the pictures follow it
// to its end and the movie ends there on its last picture, never going back to the
// first when the ended sound reads 0; looping, sound and pictures start over together.
TEST_F(Movies, AMovieWithSoundEndsWithItOrLoopsWithIt) {
  MovieSpec spec;
  spec.frames = 30;
  spec.audioSamples = 22050;  // one second, as long as the pictures
  const std::string path = Write("talk.ogv", EncodeTheoraMovie(spec));
  for (int playType : {1, 3}) {
    SCOPED_TRACE(playType);
    const int h = Open(path);
    ASSERT_NE(h, -1);
    MovieRecord* r = GetMovieRecord(h);
    const int sound = r->soundHandle;
    ASSERT_NE(sound, -1);
    Play(h, playType);
    int last = Frame(h), wraps = 0;
    // 1.5 s of sound in refill periods, the pictures looked at after each.
    for (int ms = 0; ms < 1500; ms += 30) {
      CurrentManualAudioOutput()->AdvanceMs(30);
      ProcessStreamSounds();
      UpdateMovieFrame(h, 0);
      if (Frame(h) < last) ++wraps;
      last = Frame(h);
      g_nowUs += 30000;  // the clock moves too, and moves nothing
    }
    if (playType == 1) {
      EXPECT_EQ(wraps, 0) << "went back";
      EXPECT_EQ(CheckSoundHandlePlaying(sound), 0);
      EXPECT_EQ(Frame(h), 29);
      EXPECT_EQ(r->paused, 1);
      EXPECT_EQ(r->playRequested, 0);
      // Ended: more time and more looks change nothing.
      CurrentManualAudioOutput()->AdvanceMs(500);
      ProcessStreamSounds();
      UpdateMovieFrame(h, 0);
      EXPECT_EQ(Frame(h), 29);
      EXPECT_EQ(r->paused, 1);
    } else {
      EXPECT_EQ(wraps, 1);
      EXPECT_EQ(CheckSoundHandlePlaying(sound), 1);
      EXPECT_EQ(r->paused, 0);
      EXPECT_EQ(r->playRequested, 1);
      const int expected = static_cast<int>(GetSoundCurrentTime(sound) * 30 / 1000.0 + 0.5);
      EXPECT_GE(expected, 10);
      EXPECT_LE(expected, 20);
      EXPECT_EQ(Frame(h), expected);
    }
    // A pause stops the sound without ending the movie.
    Play(h, playType);
    EXPECT_EQ(PauseMovieHandle(h, 1), 0);
    EXPECT_EQ(r->playRequested, 1);
    CloseMovieHandle(h);
    handles_.clear();
  }
}

TEST_F(Movies, HandlesFollowTheSchemeAndBadOnesAreRefused) {
  MovieSpec spec;
  spec.frames = 2;
  spec.width = spec.height = 16;
  const std::string path = Write("tiny.ogv", EncodeTheoraMovie(spec));
  std::vector<int> open;
  for (int i = 0; i < kMovieHandleCapacity; ++i) {
    const int h = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(h, -1) << i;
    EXPECT_EQ(h & 0x78000000, kMovieHandleType);
    EXPECT_EQ(h & 0xFFFF, i);
    open.push_back(h);
  }
  EXPECT_EQ(OpenMovie(path.c_str(), nullptr, nullptr, 0), -1);  // the 101st
  ASSERT_EQ(CloseMovieHandle(open[40]), 0);
  const int reused = OpenMovie(path.c_str(), nullptr, nullptr, 0);
  EXPECT_EQ(reused & 0xFFFF, 40);  // the first empty slot
  const int bad[] = {-1, 0, open[40], open[3] ^ (1 << 16), (open[3] & ~0x78000000) | kSoundHandleType,
                     kMovieHandleType | 100, 0x7FFFFFFF};
  for (int b : bad) {
    SCOPED_TRACE(b);
    EXPECT_EQ(CloseMovieHandle(b), -1);
    EXPECT_EQ(GetMovieRecord(b), nullptr);
    EXPECT_EQ(UpdateMovieFrame(b, 0), 0);
    EXPECT_EQ(SetMovieCallback(b, nullptr, 0), -1);
    EXPECT_EQ(PauseMovieHandle(b, 0), -1);
    EXPECT_EQ(DrawMovieToRect(0, 0, 1.0, b, 1), -1);
  }
  EXPECT_EQ(DrawMovieToRect(0, 0, 1.0, reused, 1), 0);
  EXPECT_EQ(DrawAllMovies(), 0);
  for (int h : open) CloseMovieHandle(h);
  CloseMovieHandle(reused);
  // The check number runs to 2047 and wraps to 0.
  uint32_t check = 0;
  for (int i = 0; i < 2048 && check != 2047; ++i) {
    const int h = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(h, -1);
    check = (static_cast<uint32_t>(h) >> 16) & 0x7FF;
    CloseMovieHandle(h);
  }
  ASSERT_EQ(check, 2047u);
  const int wrapped = Open(path);
  EXPECT_EQ((static_cast<uint32_t>(wrapped) >> 16) & 0x7FF, 0u);
  EXPECT_EQ((static_cast<uint32_t>(wrapped) >> 16), 0x1800u);
}

TEST_F(Movies, ANewMovieTakesTheFirstFreeSlotAndTheWindowReachesEveryOpenOne) {
  MovieSpec spec;
  spec.frames = 30;
  spec.width = spec.height = 16;
  const std::string path = Write("tiny.ogv", EncodeTheoraMovie(spec));
  int movie[4];
  for (int& h : movie) ASSERT_NE(h = Open(path), -1);
  ASSERT_EQ(CloseMovieHandle(movie[0]), 0);
  ASSERT_EQ(CloseMovieHandle(movie[2]), 0);
  // Slot 0 again, below movies still open, and never under the closed movie's handle.
  const int reused = Open(path);
  EXPECT_EQ(reused & kHandleIndexMask, 0);
  EXPECT_NE(reused, movie[0]);
  EXPECT_EQ(GetMovieRecord(movie[0]), nullptr);
  // Losing and regaining the focus pauses and resumes each open movie, past the gap too.
  const int playing[] = {reused, movie[1], movie[3]};
  for (int h : playing) Play(h, 1);
  MainWindowProc(0, kMsgActivateApp, 0, 0);
  for (int h : playing) EXPECT_EQ(GetMovieRecord(h)->paused, 1) << (h & kHandleIndexMask);
  MainWindowProc(0, kMsgActivateApp, 1, 0);
  for (int h : playing) EXPECT_EQ(GetMovieRecord(h)->paused, 0) << (h & kHandleIndexMask);
  EXPECT_EQ(Open(path) & kHandleIndexMask, 2);
  EXPECT_EQ(Open(path) & kHandleIndexMask, 4);
}

TEST_F(Movies, FilesThatAreNoTheoraMovieFailCleanly) {
  MovieSpec spec;
  Bytes cut = EncodeTheoraMovie(spec);
  cut.resize(50);
  const Bytes noise = NoiseBytes(3000, 7);
  const std::string paths[] = {Write("clip.avi", noise), Write("cut.ogv", cut), folder_.File("missing.ogv"),
                               Write("song.ogg", EncodeOgg(TestTone(4000, 1, 22050), 1, 22050))};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    int w = 123, h = 456;
    EXPECT_EQ(OpenMovie(path.c_str(), &w, &h, 0), -1);
    EXPECT_EQ(w * 1000 + h, 123456);
  }
  EXPECT_TRUE(LogHas("ムービーファイルオープン処理時にエラーが発生しました\n"));
  EXPECT_EQ(GraphicsTest::Pixel(0, 0), 0);
  // What stays open keeps working.
  const int good = Open(Write("good.ogv", EncodeTheoraMovie(spec)));
  EXPECT_NE(good, -1);
}

TEST_F(Movies, AMovieFileLoadedAsAGraphDrawsItsFirstFrameAndClosesWithIt) {
  MovieSpec spec;
  spec.width = 48;
  const Bytes data = EncodeTheoraMovie(spec);
  const std::vector<YuvFrame> reference = DecodeWithLibtheora(data);
  const int graph = LoadGraphFromFile(Write("intro.ogv", data).c_str());
  ASSERT_NE(graph, -1);
  int w = 0, h = 0;
  GetGraphSize(graph, &w, &h);
  EXPECT_EQ(w * 1000 + h, 48032);
  const int movie = GetGraphRecord(graph)->movieHandle;
  ASSERT_NE(GetMovieRecord(movie), nullptr);
  g_nowUs += 3000000;  // nothing plays it: the first frame stays
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(DrawGraphAt(10, 20, graph, 0), 0);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 48; ++x) {
        uint8_t bgr[3];
        ModelRgb(reference[0], x, y, bgr);
        const uint16_t want = static_cast<uint16_t>(((bgr[2] >> 3) << 11) | ((bgr[1] >> 2) << 5) | (bgr[0] >> 3));
        ASSERT_EQ(Pixel(10 + x, 20 + y), want) << x << "," << y;
      }
    ClearDrawScreen();
  }
  EXPECT_EQ(Frame(movie), 0);
  EXPECT_EQ(ReleaseGraphHandle(graph), 0);
  EXPECT_EQ(GetMovieRecord(movie), nullptr);
}

// A movie is named for what it is in the log, whatever its file name: a Theora file
// saved as an image shows without sound and logs no failed WAVE set-up.
TEST_F(Movies, TheLogNamesAMovieWithoutSoundForWhatItIs) {
  MovieSpec silent;
  MovieSpec voiced;
  voiced.audioSamples = 22050;
  const struct {
    const char* name;
    const MovieSpec& spec;
    bool sound;
  } cases[] = {{"title.png", silent, false}, {"opening.ogv", voiced, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write(c.name, EncodeTheoraMovie(c.spec));
    const int graph = LoadGraphFromFile(path.c_str());
    ASSERT_NE(graph, -1);
    const MovieRecord* r = GetMovieRecord(GetGraphRecord(graph)->movieHandle);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->soundHandle != -1, c.sound);
    EXPECT_EQ(LogHas(path + ": opened as a Theora movie without an Ogg Vorbis stream"), !c.sound);
    EXPECT_FALSE(LogHas("ＷＡＶファイル"));
    EXPECT_FALSE(LogHas("音声データのオープンに失敗しました"));
    EXPECT_EQ(ReleaseGraphHandle(graph), 0);
  }
}

}  // namespace
