// A script's view of a playing movie: the frame renderer's position interface and the
// graph manager's own, reached by member names through IDispatch as an automation
// caller reaches them, on a movie file made with libavcodec and a manual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "filters/system/system_filters.h"
#include "host/com/automation.h"
#include "host/dshow/reference_clock.h"
#include "movie/movie.h"
#include "movie/movie_renderer.h"
#include "platform/alloc.h"
#include "platform/file.h"
#include "platform/log.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/system/ffmpeg_media.h"
#include "tests/test_files.h"

namespace {

// The picture shown first, and the one shown last, as the frame callback sees them.
std::vector<uint8_t> g_firstShown, g_lastShown;
int KeepFirstShown(MovieRecord* r, uint32_t) {
  const ImageRecord& image = *r->currentFrameImage;
  const uint8_t* begin = static_cast<const uint8_t*>(image.pixels);
  g_lastShown.assign(begin, begin + static_cast<size_t>(image.pitch) * image.height);
  if (g_firstShown.empty()) g_firstShown = g_lastShown;
  return 0;
}

// An automation caller: it knows the members only by name.
class Script {
 public:
  explicit Script(IDispatch* object) : object_(object) {}
  DISPID Id(const char16_t* name) {
    std::u16string text(name);
    char16_t* names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    last = object_->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
    return id;
  }
  // The value of a property or of a method without arguments; NaN when refused.
  double Get(const char16_t* name, uint16_t flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    last = object_->Invoke(Id(name), GUID_NULL, 0, flags, &none, &result, nullptr, nullptr);
    if (FAILED(last)) return std::nan("");
    return result.vt == VT_R8 ? result.dblVal : result.vt == VT_I4 ? result.lVal : std::nan("");
  }
  HRESULT Put(const char16_t* name, double value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_R8;
    argument.dblVal = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{&argument, &named, 1, 1};
    return last = object_->Invoke(Id(name), GUID_NULL, 0, DISPATCH_PROPERTYPUT, &parameters, nullptr, nullptr,
                                  nullptr);
  }
  HRESULT last = S_OK;

 private:
  IDispatch* object_;
};

// An MPEG-4 clip of 25 frames a second opened through the graph, on a manual clock,
// each copied frame signalled and each shown one kept.
class PositionByName : public FrameworkTest {
 protected:
  void OpenClip(int frames) {
    StartLog(folder_.path().c_str());
    InstallPlainFileAccess();
    RegisterSystemFilters();
    tracked_ = TrackedLiveCount();
    const std::string path = folder_.File("clip.avi");
    FfmpegMovieSpec spec{"avi", AV_CODEC_ID_MPEG4, 0, 160, 120, frames, 25, 5};
    ASSERT_TRUE(WriteFfmpegMovie(path, spec));
    expected = DecodeFramesDirectly(path, false);
    ASSERT_EQ(expected.size(), static_cast<size_t>(frames));
    movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    r = GetMovieRecord(movie);
    clock = ManualReferenceClock::Create(0);
    ASSERT_EQ(r->graphBuilder->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter_)), S_OK);
    filter_->SetSyncSource(clock);
    r->renderer->SetFrameEvent(&copied);
    g_firstShown.clear();
    SetMovieCallback(movie, KeepFirstShown, 0);
  }
  void CloseClip() {
    if (filter_ != nullptr) filter_->Release();
    CloseMovieHandle(movie);
    if (clock != nullptr) clock->Release();
    EXPECT_EQ(TrackedLiveCount(), tracked_);
    EXPECT_EQ(LiveHostMediaObjectCount(), 0);
  }

  std::vector<std::vector<uint8_t>> expected;
  int movie = -1;
  MovieRecord* r = nullptr;
  ManualReferenceClock* clock = nullptr;
  Event copied{false, false};

 private:
  TempDir folder_;
  IMediaFilter* filter_ = nullptr;
  int tracked_ = 0;
};

TEST_F(PositionByName, AScriptReadsAndSetsAPlayingMoviesPositionThroughItsNames) {
  ASSERT_NO_FATAL_FAILURE(OpenClip(25));

  IMediaPosition* position = nullptr;
  ASSERT_EQ(r->renderer->AsBaseFilter()->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position)),
            S_OK);
  Script script(position);
  uint32_t infos = 0;
  ASSERT_EQ(position->GetTypeInfoCount(&infos), S_OK);
  EXPECT_EQ(infos, 1u);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(position->GetTypeInfo(0, 0, &info), S_OK);
  info->Release();
  EXPECT_EQ(script.Id(u"Volume"), DISPID_UNKNOWN);
  EXPECT_EQ(script.last, DISP_E_UNKNOWNNAME);

  // By name, the same answers the interface gives when called directly.
  REFTIME direct = 0;
  ASSERT_EQ(position->get_Duration(&direct), S_OK);
  EXPECT_NEAR(direct, 1.0, 0.041);
  EXPECT_EQ(script.Get(u"duration"), direct);
  EXPECT_EQ(script.Get(u"CanSeekForward", DISPATCH_METHOD), -1);
  EXPECT_EQ(script.Get(u"Rate"), 1.0);
  EXPECT_EQ(script.Put(u"Rate", 0.0), E_INVALIDARG);  // refused before it goes upstream
  EXPECT_EQ(script.Put(u"Duration", 2.0), DISP_E_MEMBERNOTFOUND);

  // Paused at the start, then sent to 0.4 s by name: the first frame the playing movie
  // shows is the one at 0.4 s.
  r->mediaControl->Pause();
  FILTER_STATE state;
  ASSERT_EQ(r->renderer->GetState(5000, &state), S_OK);
  ASSERT_EQ(position->get_CurrentPosition(&direct), S_OK);
  EXPECT_EQ(script.Get(u"CurrentPosition"), direct);
  ASSERT_EQ(script.Put(u"CurrentPosition", 0.4), S_OK);
  ASSERT_EQ(r->renderer->GetState(5000, &state), S_OK);
  const double now = script.Get(u"CurrentPosition");
  ASSERT_EQ(position->get_CurrentPosition(&direct), S_OK);
  EXPECT_EQ(now, direct);
  r->playRequested = 1;
  ResumeAllMovies();
  // Samples after a seek are timed from the new segment: 10 ms makes the frame at 0.4 s
  // due and leaves the next one waiting, so the copy is that frame and no later one.
  clock->Advance(100000);
  ASSERT_EQ(WaitForObject(&copied, 5000), 0);
  UpdateMovieFrame(movie, 0);
  EXPECT_TRUE(g_firstShown == expected[10]) << "not the frame at 0.4 s";

  position->Release();
  CloseClip();
}

// The graph manager's own position interface, by name, on a playing movie: a new
// position pauses the graph, seeks and runs it again from the new start, so play goes
// on from 1.0 s one frame per 40 ms of clock, with no rush of frames to catch up.
TEST_F(PositionByName, AScriptMovesARunningGraphAndPlayGoesOnAtItsPace) {
  ASSERT_NO_FATAL_FAILURE(OpenClip(50));
  IQualProp* statistics = nullptr;
  ASSERT_EQ(r->renderer->AsBaseFilter()->QueryInterface(IID_IQualProp, reinterpret_cast<void**>(&statistics)), S_OK);
  auto drawn = [&] {
    int32_t n = -1;
    EXPECT_EQ(statistics->get_FramesDrawn(&n), S_OK);
    return n;
  };
  constexpr REFERENCE_TIME kFrame = 400000;
  // One frame of clock: the next picture is due and is shown; the one after it waits.
  auto step = [&](int frame) {
    clock->Advance(kFrame);
    ASSERT_EQ(WaitForObject(&copied, 5000), 0) << "frame " << frame;
    UpdateMovieFrame(movie, 0);
    EXPECT_TRUE(g_lastShown == expected[frame]) << "not frame " << frame;
  };

  IMediaPosition* position = nullptr;
  ASSERT_EQ(r->graphBuilder->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position)), S_OK);
  Script script(position);
  uint32_t infos = 0;
  ASSERT_EQ(position->GetTypeInfoCount(&infos), S_OK);
  EXPECT_EQ(infos, 1u);
  EXPECT_EQ(script.Id(u"Volume"), DISPID_UNKNOWN);
  EXPECT_EQ(script.last, DISP_E_UNKNOWNNAME);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(position->Invoke(script.Id(u"Duration"), IID_IMediaPosition, 0, DISPATCH_PROPERTYGET, &none, nullptr,
                             nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_NEAR(script.Get(u"Duration"), 2.0, 0.041);
  EXPECT_EQ(script.Get(u"CanSeekBackward", DISPATCH_METHOD), -1);

  r->playRequested = 1;
  ResumeAllMovies();
  ASSERT_EQ(WaitForObject(&copied, 5000), 0);  // the first picture, due at once
  UpdateMovieFrame(movie, 0);
  // 0.8 s in: a seek that left the stream time there would find 0.8 s of frames late.
  for (int frame = 1; frame <= 20; ++frame) step(frame);
  EXPECT_NEAR(script.Get(u"CurrentPosition"), 0.8, 0.041);

  ASSERT_EQ(script.Put(u"CurrentPosition", 1.0), S_OK);
  OAFilterState state = -1;
  EXPECT_EQ(r->mediaControl->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
  ASSERT_EQ(WaitForObject(&copied, 5000), 0);  // the picture at 1.0 s, due at once
  UpdateMovieFrame(movie, 0);
  EXPECT_TRUE(g_lastShown == expected[25]) << "not the frame at 1.0 s";
  for (int frame = 26; frame <= 35; ++frame) step(frame);
  EXPECT_NEAR(script.Get(u"CurrentPosition"), 1.4, 0.041);
  // Counted since the graph ran again: the frame at 1.0 s and one per step, none that
  // rushed out late.
  EXPECT_EQ(drawn(), 11);

  statistics->Release();
  position->Release();
  CloseClip();
}

}  // namespace
