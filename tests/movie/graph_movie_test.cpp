// Movies through a media-filter graph: the frame renderer's copy of each sample, and
// the graph built for a movie file, its frames, end, pause and failures. A test source
// registered as the graph's file source plays files written by the test.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "filters/system/system_filters.h"
#include "host/com/class_registry.h"
#include "host/com/task_memory.h"
#include "host/dshow/reference_clock.h"
#include "movie/graph_movie.h"
#include "movie/movie.h"
#include "movie/movie_renderer.h"
#include "platform/alloc.h"
#include "platform/file.h"
#include "platform/log.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/push_source.h"
#include "tests/filters/test_filters.h"
#include "tests/test_files.h"

namespace {

constexpr REFERENCE_TIME kMs = 10000;

int32_t PitchOf(int32_t width) { return (width * 3 + 3) & ~3; }

void MakeVideoType(D_CMediaTypeRec& type, int32_t width, int32_t height) {
  FreeMediaTypeRecord(&type);
  type.ClearToDefaults();
  type.SetMajorType(MEDIATYPE_Video);
  type.SetSubtype(MEDIASUBTYPE_RGB24);
  type.formattype = FORMAT_VideoInfo;
  VIDEOINFOHEADER header{};
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  header.bmiHeader.biBitCount = 24;
  type.cbFormat = sizeof(header);
  type.pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(sizeof(header)));
  std::memcpy(type.pbFormat, &header, sizeof(header));
}

// Frame buffer row of sample row `row`, for a frame of `height` (negative: top-down).
int32_t BufferRow(int32_t row, int32_t height) { return height > 0 ? height - 1 - row : row; }

class FrameCopy : public FrameworkTest {
 protected:
  void SetUp() override {
    source = MakeReferenced<PushSource>();
    renderer = CreateMovieRenderer(nullptr, nullptr);
    renderer->AsBaseFilter()->AddRef();
    renderer->JoinFilterGraph(&events, u"renderer");
    events.Clear();
  }
  void Play() {
    ASSERT_EQ(source->pin().Connect(renderer->PinAt(0)->AsPin(), nullptr), S_OK);
    ASSERT_TRUE(SUCCEEDED(renderer->Run(0)));
    ASSERT_EQ(source->Run(0), S_OK);
  }
  void TearDown() override {
    renderer->Stop();
    source->Stop();
    source->pin().Disconnect();
    renderer->PinAt(0)->Disconnect();
    renderer->AsBaseFilter()->Release();
    source->AsBaseFilter()->Release();
    FrameworkTest::TearDown();
  }
  EventLog events;
  PushSource* source = nullptr;
  D_CMovieRenderer* renderer = nullptr;
};

TEST_F(FrameCopy, RowsLandTopDownWithinTheSampleAndTheFrame) {
  struct Case {
    const char* what;
    int32_t width, height;
    int32_t lastRows;  // whole rows in the last sample, -1: all of them
    int32_t pitch;
  };
  const Case cases[] = {
      {"bottom-up reversed", 5, 4, -1, 16},
      {"top-down, 641 wide", 641, -2, -1, 1924},
      {"short sample: only its whole rows", 5, 4, 1, 16},
      {"short top-down sample", 7, -3, 2, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    MakeVideoType(source->type, c.width, c.height);
    const int32_t rows = std::abs(c.height);
    source->sampleSize = c.pitch * rows;
    source->count = 2;
    if (c.lastRows >= 0) {
      source->shortAt = 1;
      source->shortLength = c.pitch * c.lastRows + c.pitch / 2;  // and half a row more
    }
    Play();
    ASSERT_EQ(WaitForObject(&events.complete, 5000), 0);
    bool seen = renderer->TakeNewFrame([&](const D_CMovieRenderer::Frame& f) {
      ASSERT_EQ(f.pitch, c.pitch);
      ASSERT_EQ(f.height, rows);
      const int32_t fresh = c.lastRows >= 0 ? c.lastRows : rows;
      for (int32_t row = 0; row < rows; ++row) {
        const uint8_t* line = f.buffer + BufferRow(row, c.height) * f.pitch;
        for (int32_t x = 0; x < f.pitch; ++x) {
          ASSERT_EQ(line[x], PushSource::Pattern(row < fresh ? 1 : 0, row * c.pitch + x)) << row << "," << x;
        }
      }
    });
    EXPECT_TRUE(seen);
  }
}

TEST_F(FrameCopy, TypeChangeMidStreamWhileFramesAreTaken) {
  MakeVideoType(source->type, 8, -6);
  MakeVideoType(source->changed, 4, 4);
  source->sampleSize = PitchOf(8) * 6;
  source->count = 40;
  source->changeAt = 20;
  Play();
  int32_t lastWidth = 0;
  while (WaitForObject(&events.complete, 1) != 0) {
    renderer->TakeNewFrame([&](const D_CMovieRenderer::Frame& f) { lastWidth = f.width; });
  }
  renderer->TakeNewFrame([&](const D_CMovieRenderer::Frame& f) { lastWidth = f.width; });
  EXPECT_EQ(lastWidth, 4);
  EXPECT_EQ(renderer->Height(), 4);
}

TEST_F(FrameCopy, OnlyWholeRgb24FramesAreAccepted) {
  struct Case {
    const char* what;
    int32_t width, height;
    void (*spoil)(D_CMediaTypeRec&);
    HRESULT result;
  };
  const Case cases[] = {
      {"RGB24 video", 320, -240, nullptr, S_OK},
      {"another format", 320, 240, [](D_CMediaTypeRec& t) { t.formattype = FORMAT_None; }, E_INVALIDARG},
      {"another subtype", 320, 240, [](D_CMediaTypeRec& t) { t.SetSubtype(MEDIASUBTYPE_RGB32); }, E_FAIL},
      {"short format block", 320, 240, [](D_CMediaTypeRec& t) { t.cbFormat = sizeof(VIDEOINFOHEADER) - 1; },
       E_INVALIDARG},
      {"width 0", 0, 240, nullptr, E_INVALIDARG},
      {"height 0", 320, 0, nullptr, E_INVALIDARG},
      {"height INT32_MIN", 320, INT32_MIN, nullptr, E_INVALIDARG},
      {"a frame past 2 GB", 40000, 40000, nullptr, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    D_CMediaTypeRec type;
    MakeVideoType(type, c.width, c.height);
    if (c.spoil) c.spoil(type);
    EXPECT_EQ(renderer->CheckAcceptedType(&type), c.result) << c.what;
    type.cbFormat = sizeof(VIDEOINFOHEADER);
  }
  EXPECT_EQ(renderer->CheckAcceptedType(nullptr), E_POINTER);
}

// The graph's file source for these tests: it loads files that begin with "MOVIE"
// and a width, height and frame count, and pushes frames of that size 40 ms apart.
class TestFileSource final : public PushSource, public IFileSourceFilter {
 public:
  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (out && iid == IID_IFileSourceFilter) return HandOutInterface(static_cast<IFileSourceFilter*>(this), out);
    return PushSource::InnerQueryInterface(iid, out);
  }
  HRESULT Load(const char16_t* name, const AM_MEDIA_TYPE*) override {
    std::string path;
    for (const char16_t* p = name; *p; ++p) path += static_cast<char>(*p);  // the tests' names are ASCII
    std::ifstream file(path, std::ios::binary);
    char magic[5] = {};
    int32_t header[3] = {};
    file.read(magic, 5);
    file.read(reinterpret_cast<char*>(header), sizeof(header));
    if (!file || std::memcmp(magic, "MOVIE", 5) != 0) return E_FAIL;
    MakeVideoType(type, header[0], header[1]);
    sampleSize = PitchOf(header[0]) * std::abs(header[1]);
    count = header[2];
    return S_OK;
  }
  HRESULT GetCurFile(char16_t**, AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  static HRESULT Create(IUnknown*, REFIID iid, void** out);
};
TestFileSource* g_lastSource = nullptr;

HRESULT TestFileSource::Create(IUnknown*, REFIID iid, void** out) {
  HRESULT hr = MakeObjectFor<TestFileSource>(iid, out);
  if (SUCCEEDED(hr)) g_lastSource = static_cast<TestFileSource*>(static_cast<IBaseFilter*>(*out));
  return hr;
}

std::string MovieFile(int32_t width, int32_t height, int32_t frames, size_t padding = 0) {
  std::string bytes = "MOVIE";
  for (int32_t v : {width, height, frames}) bytes.append(reinterpret_cast<const char*>(&v), sizeof(v));
  return bytes + std::string(padding, 'x');
}

// Files the file layer can read that exist nowhere on disk.
std::map<std::string, std::string> g_memoryFiles;
struct MemoryFile {
  std::string data;
  size_t position = 0;
};

FileAccessTable MemoryFileTable() {
  FileAccessTable t = g_fileAccessTable;
  t.open = [](const char* path, int, int, int) -> FileHandle {
    auto it = g_memoryFiles.find(path);
    return it == g_memoryFiles.end() ? 0 : reinterpret_cast<FileHandle>(new MemoryFile{it->second});
  };
  t.close = [](FileHandle h) { return delete reinterpret_cast<MemoryFile*>(h), 0; };
  t.tell = [](FileHandle h) { return static_cast<int64_t>(reinterpret_cast<MemoryFile*>(h)->position); };
  t.seek = [](FileHandle h, int64_t offset, int origin) {
    auto* f = reinterpret_cast<MemoryFile*>(h);
    f->position = static_cast<size_t>(offset + (origin == 2 ? f->data.size() : origin == 1 ? f->position : 0));
    return 0;
  };
  t.read = [](void* buffer, size_t size, size_t count, FileHandle h) {
    auto* f = reinterpret_cast<MemoryFile*>(h);
    size_t n = std::min(size * count, f->data.size() - std::min(f->position, f->data.size()));
    std::memcpy(buffer, f->data.data() + f->position, n);
    f->position += n;
    return n / size;
  };
  return t;
}

class GraphMovies : public FrameworkTest {
 protected:
  void SetUp() override {
    StartLog(folder_.path().c_str());
    InstallPlainFileAccess();
    saved_ = g_fileAccessTable;
    std::filesystem::create_directory(folder_.File("tmp"));
    setenv("TMPDIR", folder_.File("tmp").c_str(), 1);
    RegisterSystemFilters();
    RegisterComClass(CLSID_MediaFileSource, TestFileSource::Create);
    tracked_ = TrackedLiveCount();
  }
  void TearDown() override {
    for (int h : handles_) CloseMovieHandle(h);
    g_fileAccessTable = saved_;
    unsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(folder_.File("tmp"))) << "a temporary copy was left";
    EXPECT_EQ(TrackedLiveCount(), tracked_);
    EXPECT_EQ(LiveHostMediaObjectCount(), 0);
    FrameworkTest::TearDown();
  }
  int Open(const std::string& path, int* w = nullptr, int* h = nullptr) {
    int handle = OpenMovie(path.c_str(), w, h, 0);
    if (handle != -1) handles_.push_back(handle);
    return handle;
  }
  bool LogHas(const std::string& utf8) const {
    return ReadWholeFile(folder_.File("Log.txt")).find(ShiftJis(utf8)) != std::string::npos;
  }
  TempDir folder_;
  FileAccessTable saved_;
  std::vector<int> handles_;
  int tracked_ = 0;
};

// The first byte of each frame handed to the callback.
std::vector<uint8_t> g_firstBytes;
int TakeFrame(MovieRecord* r, uint32_t) {
  g_firstBytes.push_back(static_cast<uint8_t*>(r->currentFrameImage->pixels)[0]);
  return 0;
}

TEST_F(GraphMovies, FramesReachTheCallbackOnTheClockAndAPausedEndIsKept) {
  const std::string path = folder_.File("clip.mov");
  ASSERT_TRUE(WriteWholeFile(path, MovieFile(6, -4, 3)));
  int w = 0, h = 0;
  const int movie = Open(path, &w, &h);
  ASSERT_NE(movie, -1);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 4);
  MovieRecord* r = GetMovieRecord(movie);
  EXPECT_EQ(r->duration, 3 * 40 * kMs);
  EXPECT_EQ(r->temporary, 0);
  ManualReferenceClock* clock = ManualReferenceClock::Create(0);
  IMediaFilter* filter = nullptr;
  IMediaEvent* events = nullptr;
  ASSERT_EQ(r->graphBuilder->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter)), S_OK);
  ASSERT_EQ(r->graphBuilder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)), S_OK);
  filter->SetSyncSource(clock);
  TestFileSource* source = g_lastSource;
  g_firstBytes.clear();
  SetMovieCallback(movie, TakeFrame, 0);
  r->playType = 3;  // looping
  r->playRequested = 1;
  ResumeAllMovies();
  // Each frame reaches the callback once the clock reaches it; at its end the looping
  // movie is rewound.
  int32_t code = 0;
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(WaitForObject(&source->sampleDone, 5000), 0) << k;
    if (k == 2) {
      ASSERT_EQ(events->WaitForCompletion(5000, &code), S_OK);
    }
    UpdateMovieFrame(movie, 0);
    ASSERT_EQ(g_firstBytes.size(), size_t(k + 1));
    EXPECT_EQ(g_firstBytes[k], PushSource::Pattern(k, 0)) << k;
    EXPECT_EQ(source->segments.load(), k == 2 ? 1 : 0);
    if (k < 2) clock->Advance(40 * kMs);
  }
  EXPECT_EQ(r->paused, 0);
  // Rewound, stream time starts again at 0: each frame waits for its time once more
  // instead of all arriving late at once.
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(WaitForObject(&source->sampleDone, 5000), 0) << "not played again " << k;
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(g_firstBytes.back(), PushSource::Pattern(k, 0)) << k;
    if (k == 2) break;
    EXPECT_NE(WaitForObject(&source->sampleDone, 50), 0) << "frame " << k + 1 << " before its time";
    clock->Advance(40 * kMs);
  }
  const int segments = source->segments.load();
  // Paused at its end, it stays paused where it is.
  PauseMovieHandle(movie, 0);
  r->stopPosition = 0;
  UpdateMovieFrame(movie, 0);
  EXPECT_EQ(r->paused, 1);
  FILTER_STATE state = State_Stopped;
  filter->GetState(0, &state);
  EXPECT_EQ(state, State_Paused) << "run again while flagged paused";
  EXPECT_EQ(source->segments.load(), segments);
  events->Release();
  filter->Release();
  clock->Release();
}

TEST_F(GraphMovies, AFileOnlyTheFileLayerReadsPlaysFromATemporaryCopy) {
  g_memoryFiles["archive/clip.mov"] = MovieFile(4, 4, 0);
  g_fileAccessTable = MemoryFileTable();
  const int movie = Open("archive/clip.mov");
  ASSERT_NE(movie, -1);
  MovieRecord* r = GetMovieRecord(movie);
  EXPECT_EQ(r->temporary, 1);
  std::string copy;
  for (const char16_t* p = r->fileName; *p; ++p) copy += static_cast<char>(*p);
  EXPECT_EQ(copy.rfind(folder_.File("tmp"), 0), 0u) << copy;
  EXPECT_EQ(ReadWholeFile(copy), g_memoryFiles["archive/clip.mov"]);
  EXPECT_EQ(r->duration, 166666) << "a duration of 0";
  CloseMovieHandle(movie);
  handles_.clear();
  EXPECT_FALSE(std::filesystem::exists(copy));
}

TEST_F(GraphMovies, WhatCannotBePlayedFailsCleanly) {
  struct Case {
    const char* what;
    std::string file;
    rlim_t sizeLimit;  // of files this process writes
    bool failRenderer;
    const char* message;
  };
  const Case cases[] = {
      {"nothing decodes it", "garbage, not a movie", RLIM_INFINITY, false, "ファイル:archive/m が開けませんでした"},
      {"the copy is cut short", MovieFile(4, 4, 1, 300000), 100000, false, "ファイル:archive/m が開けませんでした"},
      {"no renderer", MovieFile(4, 4, 1), RLIM_INFINITY, true, "Could not add renderer filter to graph!"},
  };
  g_fileAccessTable = MemoryFileTable();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_memoryFiles["archive/m"] = c.file;
    {
      FullDisk full(c.sizeLimit);
      ASSERT_TRUE(full.set());
      if (c.failRenderer) FailNextMovieRendererCreation();
      EXPECT_EQ(Open("archive/m"), -1);
    }
    EXPECT_TRUE(LogHas(c.message));
    EXPECT_TRUE(LogHas("ムービーファイルオープン処理時にエラーが発生しました"));
    EXPECT_EQ(LiveObjectCount.load(), 0);
  }
}

}  // namespace
