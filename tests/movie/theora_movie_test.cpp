// The Theora decoder against libtheora alone: every frame it shows, played, sought,
// wrapped, is the picture libtheora decodes for that frame, turned into RGB by the rule.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "movie/theora_movie.h"
#include "platform/alloc.h"
#include "platform/log.h"
#include "tests/movie/theora_media.h"
#include "tests/test_files.h"
#include "tests/thread_sleep.h"

namespace {

// The first pixel that differs from the model, or "" when the image is the frame.
std::string Mismatch(const ImageRecord* image, const YuvFrame& f) {
  if (image->width != f.width || image->height != f.height) return "size";
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      uint8_t want[3];
      ModelRgb(f, x, y, want);
      const uint8_t* got = static_cast<const uint8_t*>(image->pixels) + y * image->pitch + x * 4;
      if (std::memcmp(got, want, 3) != 0 || got[3] != 255)
        return "pixel " + std::to_string(x) + "," + std::to_string(y);
    }
  return "";
}

// The installed file operations, but each read hands over 1000 bytes at most, as a slow
// reader may: pages then arrive in pieces across the decoder's feeds.
size_t ReadInPieces(void* buffer, size_t elementSize, size_t count, FileHandle handle) {
  const size_t most = elementSize > 0 && elementSize < 1000 ? 1000 / elementSize : 1;
  return g_fileAccessTable.read(buffer, elementSize, count < most ? count : most, handle);
}

class TheoraDecoder : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    InstallPlainFileAccess();
    InitYuvTables();
  }
  void TearDown() override {
    InjectTheoraStoreFault(0);
    SetTheoraWaitClock(nullptr);
    CloseMovie();
  }
  void CloseMovie() {
    if (movie_ != nullptr) CloseTheoraMovie(movie_);
    if (file_ != 0) CloseFileViaTable(file_);
    movie_ = nullptr;
    file_ = 0;
  }
  // Writes the movie and opens it with a stock of `stock` frames, read through `files`.
  TheoraMovie* Open(const Bytes& data, int stock = 10, const FileAccessTable* files = &g_fileAccessTable) {
    const std::string path = folder_.File("clip.ogv");
    EXPECT_TRUE(WriteWholeFile(path, data));
    file_ = OpenFileViaTable(path.c_str(), 0, 1, 0);
    EXPECT_NE(file_, 0u);
    movie_ = OpenTheoraMovie(files, file_, stock);
    return movie_;
  }
  // Opens a 12-frame clip with a stock of `stock` frames; the clip as libtheora decodes it.
  std::vector<YuvFrame> OpenTwelveFrames(int stock) {
    MovieSpec spec;
    spec.frames = 12;
    const Bytes data = EncodeTheoraMovie(spec);
    Open(data, stock);
    return DecodeWithLibtheora(data);
  }
  // The current frame converted now (the cached image is dropped first).
  const ImageRecord* Shown() {
    EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 0), 1);
    return GetTheoraInfoPtr(movie_);
  }

  // What the log holds of `text`: how many times it was written.
  int LogCount(const std::string& text) {
    const std::string log = ReadWholeFile(folder_.File("Log.txt"));
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }

  TempDir folder_;
  FileHandle file_ = 0;
  TheoraMovie* movie_ = nullptr;
};

TEST_F(TheoraDecoder, EveryFramePlayedThroughIsLibtheorasPictureInRgb) {
  for (int format : {0, 2, 3}) {
    SCOPED_TRACE(format);
    MovieSpec spec;
    spec.pixelFormat = format;
    spec.width = 48;
    const Bytes data = EncodeTheoraMovie(spec);
    const std::vector<YuvFrame> reference = DecodeWithLibtheora(data);
    ASSERT_EQ(reference.size(), 12u);
    ASSERT_NE(Open(data), nullptr);
    TheoraMovieInfo info;
    GetTheoraMovieInfo(movie_, &info);
    EXPECT_EQ(info.frameCount, 12);
    EXPECT_EQ(info.width * 1000 + info.height, 48032);
    EXPECT_DOUBLE_EQ(info.framesPerSecond, 30.0);
    EXPECT_EQ(GetTheoraSurface(movie_), nullptr);  // no Direct3D device here
    // The open converted frame 0 already; asking again converts nothing.
    EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 1), 0);
    EXPECT_EQ(Mismatch(GetTheoraInfoPtr(movie_), reference[0]), "");
    for (int i = 1; i < 12; ++i) {
      AdvanceTheoraFrames(movie_, 1);
      ASSERT_EQ(GetTheoraCurrentFrame(movie_), i);
      ASSERT_EQ(Mismatch(Shown(), reference[i]), "") << "frame " << i;
    }
    // The source picture survives the trip: a flat-chroma pixel is near what was encoded.
    const YuvFrame source = TestPicture(spec, 11);
    for (size_t i = 0; i < source.y.size(); i += 97) EXPECT_NEAR(reference[11].y[i], source.y[i], 12);
    CloseMovie();
  }
}

// With sound (Vorbis pages between the Theora ones), with several frames to a page and
// frames continued across pages, with junk between pages, with only frame 0 a key frame;
// the file read whole or in pieces.
TEST_F(TheoraDecoder, SeeksShowTheTargetFrameInEveryLayout) {
  struct Layout {
    int audio, pageSegments, junk, keyFrameEvery;
    bool inPieces;
  } layouts[] = {{0, 0, 0, 8, false},     {22050, 0, 0, 8, false}, {0, 3, 0, 8, false},   {0, 0, 45, 8, false},
                 {0, 3, 45, 1000, false}, {22050, 0, 0, 8, true},  {0, 3, 45, 1000, true}};
  FileAccessTable inPieces = g_fileAccessTable;
  inPieces.read = ReadInPieces;
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.audio + layout.pageSegments + layout.junk + layout.keyFrameEvery + (layout.inPieces ? 1 : 0));
    MovieSpec spec;
    spec.frames = 40;
    spec.keyFrameEvery = layout.keyFrameEvery;
    spec.audioSamples = layout.audio;
    spec.pageSegments = layout.pageSegments;
    if (layout.pageSegments > 0) spec.width = spec.height = 96;  // frames of several segments
    spec.junkAfterPages = layout.junk;
    const Bytes data = EncodeTheoraMovie(spec);
    const std::vector<YuvFrame> reference = DecodeWithLibtheora(data);
    ASSERT_EQ(reference.size(), 40u);
    CloseMovie();
    ASSERT_NE(Open(data, 10, layout.inPieces ? &inPieces : &g_fileAccessTable), nullptr);
    struct Case {
      int target, shown;
    } cases[] = {{17, 17}, {3, 3}, {39, 39}, {8, 8}, {7, 7}, {-5, 0}, {25, 25}, {40, 39}, {1000, 39}, {16, 16}, {0, 0}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.target);
      SeekTheoraFrame(movie_, c.target);
      ASSERT_EQ(GetTheoraCurrentFrame(movie_), c.shown);
      ASSERT_EQ(Mismatch(Shown(), reference[c.shown]), "");
      // Playing on from the seek gives the following frames.
      AdvanceTheoraFrames(movie_, 1);
      ASSERT_EQ(Mismatch(Shown(), reference[(c.shown + 1) % 40]), "");
    }
    // Seeking to the frame shown changes nothing: the image stays current.
    SeekTheoraFrame(movie_, 5);
    Shown();
    SeekTheoraFrame(movie_, 5);
    EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 0), 0);
    // Two seeks in a row: the second one's target is what shows.
    SeekTheoraFrame(movie_, 30);
    SeekTheoraFrame(movie_, 12);
    EXPECT_EQ(Mismatch(Shown(), reference[12]), "");
  }
}

TEST_F(TheoraDecoder, AdvancingWrapsThroughTheEndToTheStartsPictures) {
  const std::vector<YuvFrame> reference = OpenTwelveFrames(10);
  ASSERT_NE(movie_, nullptr);
  // Steps that cross the end; the 11-frame jump meets a stock full of the window's
  // wrapped frames; steps of several lengths of the movie still land inside it.
  const int steps[] = {5, 5, 3, 11, 1, 7, 36, 25, 1, 1, 11, 11};
  int expected = 0;
  for (int step : steps) {
    SCOPED_TRACE(step);
    AdvanceTheoraFrames(movie_, step);
    expected = (expected + step) % 12;
    ASSERT_EQ(GetTheoraCurrentFrame(movie_), expected);
    ASSERT_EQ(Mismatch(Shown(), reference[expected]), "");
  }
  AdvanceTheoraFrames(movie_, 0);
  AdvanceTheoraFrames(movie_, -3);
  EXPECT_EQ(GetTheoraCurrentFrame(movie_), expected);
}

TEST_F(TheoraDecoder, BadFilesAreRefusedOrPlayWhatTheyHold) {
  MovieSpec spec;
  spec.frames = 16;
  const Bytes good = EncodeTheoraMovie(spec);
  ASSERT_GT(good.size(), 400u);
  const Bytes onlyHeaderBytes(good.begin(), good.begin() + 60);
  Bytes notOgg = good;
  notOgg[0] = 'X';
  Bytes noTheora = good;  // the Theora identification header spoiled
  noTheora[29] ^= 0xFF;
  const Bytes empty;
  for (const Bytes* bad : std::vector<const Bytes*>{&empty, &notOgg, &noTheora, &onlyHeaderBytes}) {
    EXPECT_EQ(Open(*bad), nullptr);
    CloseMovie();
  }
  // Cut anywhere after the headers: the frames that are whole still play, in a loop.
  const std::vector<YuvFrame> reference = DecodeWithLibtheora(good);
  for (size_t length : {good.size() / 4, good.size() / 3, good.size() / 2, good.size() * 2 / 3,
                        good.size() * 9 / 10, good.size() - 1}) {
    SCOPED_TRACE(length);
    const Bytes cut(good.begin(), good.begin() + static_cast<long>(length));
    const size_t whole = DecodeWithLibtheora(cut).size();
    if (Open(cut) == nullptr) {
      EXPECT_EQ(whole, 0u);
    } else {
      TheoraMovieInfo info;
      GetTheoraMovieInfo(movie_, &info);
      ASSERT_EQ(info.frameCount, static_cast<int>(whole));
      for (size_t i = 1; i < whole + 3; ++i) {
        AdvanceTheoraFrames(movie_, 1);
        ASSERT_EQ(Mismatch(Shown(), reference[i % whole]), "") << i;
      }
    }
    CloseMovie();
  }
  // Scrambled bytes in pages and packets: no crash, no hang, every frame comes back.
  Bytes scrambled = good;
  for (size_t i = good.size() * 7 / 10; i < good.size(); i += 41) scrambled[i] ^= 0x5A;
  ASSERT_NE(Open(scrambled), nullptr);
  TheoraMovieInfo info;
  GetTheoraMovieInfo(movie_, &info);
  for (int i = 0; i < info.frameCount + 2; ++i) {
    AdvanceTheoraFrames(movie_, 1);
    EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 0), 1);
  }
}

// Pictures of changing shape into one stock entry, as the decoder reports them:
// flipped rows (negative stride) whose last row ends where its picture ends. Every
// plane keeps an allocation of its own size and holds exactly the picture's bytes.
TEST(TheoraStock, EachPlaneCopyHoldsItsOwnPictureAndNothingAroundIt) {
  struct Shape {
    int width, height, chromaWidth, chromaHeight, padding;
  } shapes[] = {{32, 32, 16, 16, 8}, {32, 32, 32, 32, 0}, {48, 16, 24, 8, 16}, {32, 32, 16, 32, 4}, {16, 16, 8, 8, 0}};
  TheoraFrameStockEntry entry{};
  const size_t before = TrackedLiveBytes();
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.chromaWidth * 1000 + s.chromaHeight);
    std::vector<uint8_t> source[3];
    unsigned char* rows[3];
    int strides[3];
    size_t expectedBytes = 0;
    for (int plane = 0; plane < 3; ++plane) {
      const int w = plane == 0 ? s.width : s.chromaWidth, h = plane == 0 ? s.height : s.chromaHeight;
      const int stride = w + s.padding;
      source[plane].resize(static_cast<size_t>(stride) * (h - 1) + w);
      for (size_t i = 0; i < source[plane].size(); ++i) source[plane][i] = static_cast<uint8_t>(i * 7 + plane * 50 + w);
      rows[plane] = source[plane].data() + static_cast<ptrdiff_t>(stride) * (h - 1);
      strides[plane] = -stride;
      expectedBytes += static_cast<size_t>(stride) * h;
    }
    yuv_buffer picture{};
    picture.y_width = s.width, picture.y_height = s.height, picture.y_stride = strides[0];
    picture.uv_width = s.chromaWidth, picture.uv_height = s.chromaHeight, picture.uv_stride = strides[1];
    picture.y = rows[0], picture.u = rows[1], picture.v = rows[2];
    ASSERT_EQ(CopyTheoraPicture(&entry, &picture), 0);
    EXPECT_EQ(TrackedLiveBytes() - before, expectedBytes);
    for (int plane = 0; plane < 3; ++plane) {
      const int w = plane == 0 ? s.width : s.chromaWidth, h = plane == 0 ? s.height : s.chromaHeight;
      const int copyStride = plane == 0 ? entry.yStride : entry.uvStride;
      for (int row = 0; row < h; ++row)
        ASSERT_EQ(std::memcmp(entry.planes[plane] + row * copyStride, rows[plane] + row * strides[plane], w), 0)
            << "plane " << plane << " row " << row;
    }
  }
  // A row stride smaller than the width is refused, never read past.
  std::vector<uint8_t> narrow(16 * 16);
  yuv_buffer bad{};
  bad.y_width = bad.uv_width = 32, bad.y_height = bad.uv_height = 16, bad.y_stride = bad.uv_stride = 16;
  bad.y = bad.u = bad.v = narrow.data();
  EXPECT_EQ(CopyTheoraPicture(&entry, &bad), -1);
  for (uint8_t* plane : entry.planes) TrackedFree(plane);
}

// Closing while the thread seeks or decodes ends it first and leaves nothing behind.
TEST_F(TheoraDecoder, ClosingWhileTheThreadSeeksOrDecodesLeavesNothing) {
  MovieSpec spec;
  spec.frames = 40;
  spec.keyFrameEvery = 40;  // every step decodes from frame 0
  const Bytes data = EncodeTheoraMovie(spec);
  const int live = TrackedLiveCount();
  for (int seek : {1, 0}) {
    ASSERT_NE(Open(data), nullptr);
    if (seek) SeekTheoraFrame(movie_, 39);
    else AdvanceTheoraFrames(movie_, 30);
    CloseMovie();
    EXPECT_EQ(TrackedLiveCount(), live) << seek;
  }
}

// Frames whose packets are empty before any picture was decoded have no picture: they
// are not shown (the image keeps what it held) and the frames after them play.
TEST_F(TheoraDecoder, FramesBeforeTheFirstPictureShowNothingAndTheRestPlays) {
  MovieSpec spec;
  spec.frames = 8;
  spec.emptyFirstFrames = 2;
  const Bytes data = EncodeTheoraMovie(spec);
  const std::vector<YuvFrame> reference = DecodeWithLibtheora(data);
  ASSERT_EQ(reference.size(), 8u);
  ASSERT_TRUE(reference[1].y.empty() && !reference[2].y.empty());
  ASSERT_NE(Open(data), nullptr);
  const ImageRecord* image = GetTheoraInfoPtr(movie_);
  const std::vector<uint8_t> blank(static_cast<size_t>(image->pitch) * image->height, 0);
  EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 0), 0);
  EXPECT_EQ(std::memcmp(image->pixels, blank.data(), blank.size()), 0);
  for (int i = 2; i < 8; ++i) {
    AdvanceTheoraFrames(movie_, i == 2 ? 2 : 1);
    ASSERT_EQ(Mismatch(Shown(), reference[i]), "") << i;
  }
  AdvanceTheoraFrames(movie_, 1);  // round to frame 0, which has no picture
  EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 0), 0);
  EXPECT_EQ(Mismatch(image, reference[7]), "");
}

// The caller converts the current frame's entry outside the stock lock, marked as
// being read: once the thread frees it (the current frame jumps on) it is no room,
// the thread fills the other entry and then waits, and only once the reading ends
// does the stock move on.
TEST_F(TheoraDecoder, AnEntryBeingConvertedIsNotRefilledUntilTheReadingEnds) {
  const std::vector<YuvFrame> reference = OpenTwelveFrames(2);
  ASSERT_NE(movie_, nullptr);
  // Passes of the thread begun after now: each waits until a pass starts after a
  // raise, so all but the last have ended.
  auto passes = [this](int count) {
    for (int pass = 0; pass < count; ++pass) {
      movie_->wakeThread.Raise();
      const uint32_t raised = movie_->wakeThread.Count();
      for (long spins = 0; movie_->passWake.load() != raised && spins < 100000000; ++spins)
        std::this_thread::yield();
      ASSERT_EQ(movie_->passWake.load(), raised);
    }
  };
  passes(3);  // the stock is full: frames 0 and 1
  TheoraFrameStockEntry& read = movie_->stock[0];
  ASSERT_EQ(read.frame.load(), 0);
  const std::vector<uint8_t> held(read.planes[0], read.planes[0] + read.planeBytes[0]);
  {
    CriticalSectionGuard guard(movie_->stockLock);
    read.reading.store(1);
  }
  AdvanceTheoraFrames(movie_, 5);  // both entries leave the window
  passes(3);
  EXPECT_EQ(read.frame.load(), 0);
  EXPECT_EQ(std::memcmp(read.planes[0], held.data(), held.size()), 0);
  EXPECT_EQ(movie_->stock[1].frame.load(), 5);
  EXPECT_EQ(movie_->state.load(), kTheoraIdle);  // no room left: the thread waits
  {
    CriticalSectionGuard guard(movie_->stockLock);
    read.reading.store(0);
  }
  AdvanceTheoraFrames(movie_, 1);
  EXPECT_EQ(Mismatch(Shown(), reference[6]), "");
}

// While a caller converts the decoder's own picture, lent to it in place of a copy,
// the thread decodes nothing over it; once the reading ends the movie plays on.
TEST_F(TheoraDecoder, ThePictureLentToAWaitingCallerIsNotDecodedOverWhileRead) {
  // One stock entry: once it holds a copy of the frame too, the loan stays out.
  const std::vector<YuvFrame> reference = OpenTwelveFrames(1);
  ASSERT_NE(movie_, nullptr);
  TheoraFrameStockEntry& lent = movie_->lent;
  auto until = [](auto done) {
    for (long spins = 0; !done() && spins < 20000000; ++spins) std::this_thread::yield();
    return done();
  };
  movie_->waitedFrame.store(5);  // as a caller waiting for frame 5 says
  SeekTheoraFrame(movie_, 5);
  ASSERT_TRUE(until([&] {
    CriticalSectionGuard guard(movie_->stockLock);
    if (lent.inUse.load() && lent.frame.load() == 5) lent.reading.store(1);  // as the caller marks it
    return lent.reading.load() == 1;
  }));
  AdvanceTheoraFrames(movie_, 1);  // frame 6 is wanted: the thread would decode on
  // The thread says it waits, and says so again on its next round: it is held there.
  ASSERT_TRUE(until([&] { return movie_->lentAwaited.load() == 1; }));
  movie_->lentAwaited.store(0);
  movie_->wakeThread.Raise();
  ASSERT_TRUE(until([&] { return movie_->lentAwaited.load() == 1; }));
  EXPECT_EQ(movie_->decoderPosition.load(), 5);
  {
    CriticalSectionGuard guard(movie_->stockLock);
    lent.reading.store(0);
  }
  movie_->wakeThread.Raise();
  EXPECT_EQ(Mismatch(Shown(), reference[6]), "");
}

// The hand-off between caller and decode thread: a raise wakes a sleeping waiter at
// once, and a raise just before the wait (after the count was taken) is no wait.
TEST(TheoraHandOff, ARaiseWakesTheWaiterAtOnceAndIsNeverMissed) {
  using Clock = std::chrono::steady_clock;
  constexpr uint32_t kLongMs = 4000;  // a missed raise shows as this whole wait
  auto seconds = [](Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); };
  TheoraWake wake;
  const int waiter = CurrentThreadId();
  for (int round = 0; round < 3; ++round) {
    const uint32_t seen = wake.Count();
    std::thread raiser([&] {
      AwaitSleeping(waiter);
      wake.Raise();
    });
    const auto start = Clock::now();
    while (wake.Count() == seen) wake.WaitPast(seen, kLongMs);
    EXPECT_LT(seconds(start), kLongMs / 2000.0);
    raiser.join();
  }
  const uint32_t seen = wake.Count();
  wake.Raise();
  const auto start = Clock::now();
  wake.WaitPast(seen, kLongMs);
  EXPECT_LT(seconds(start), kLongMs / 2000.0);
}

uint32_t g_fakeMs = 0;
uint32_t StepClock() { return g_fakeMs += 100; }

// A frame the decode thread cannot store, or does not store (stuck), does not stop the
// caller: the last frame stays, one log line says why, and the frame comes once it can.
TEST_F(TheoraDecoder, AFrameTheThreadCannotSupplyKeepsTheLastFrameAndIsLoggedOnce) {
  StartLog(folder_.path().c_str());
  const std::vector<YuvFrame> reference = OpenTwelveFrames(3);
  ASSERT_NE(movie_, nullptr);
  struct Case {
    int fault, frame;
    const char* line;
  } cases[] = {{2, 9, "frame 9 was not decoded in time"}, {1, 4, "frame 4 could not be stored"}};
  int shown = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    InjectTheoraStoreFault(c.fault);
    SeekTheoraFrame(movie_, c.frame);  // far from the stock: the frame must be decoded
    if (c.fault == 2) SetTheoraWaitClock(StepClock);  // the wait runs out on the clock
    for (int again = 0; again < 2; ++again) {
      EXPECT_EQ(GetTheoraFrameImage(movie_, 1, 0), 0);
      EXPECT_EQ(Mismatch(GetTheoraInfoPtr(movie_), reference[shown]), "");
    }
    EXPECT_EQ(LogCount(c.line), 1);
    SetTheoraWaitClock(nullptr);
    InjectTheoraStoreFault(0);
    ASSERT_EQ(Mismatch(Shown(), reference[c.frame]), "");
    shown = c.frame;
  }
}

}  // namespace
