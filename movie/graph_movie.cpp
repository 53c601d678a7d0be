#include "movie/graph_movie.h"

#include <cstdio>
#include <string>
#include <unistd.h>

#include "host/com/class_registry.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/wide_string.h"
#include "movie/movie.h"
#include "movie/movie_renderer.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/log.h"

namespace {

constexpr size_t kCopyChunk = 0x100000;
constexpr int64_t kDurationWhenUnknown = 166666;

// The library's names are Shift-JIS; the graph takes UTF-16.
void ToWideName(const char* text, char16_t* out) {
  WideCopyN(out, ShiftJisToWide(text).c_str(), kMovieFileNameCapacity);
}

template <class T>
void ReleaseField(T*& field) {
  if (field != nullptr) field->Release();
  field = nullptr;
}

void ReleaseInterfaces(MovieRecord* r) {
  ReleaseField(r->basicAudio);
  ReleaseField(r->mediaSeeking);
  ReleaseField(r->mediaControl);
  ReleaseField(r->graphBuilder);
  r->renderer = nullptr;  // the graph's, gone with it
}

void DeleteTemporaryCopy(MovieRecord* r) {
  if (!r->temporary) return;
  unlink(WideToUtf8(r->fileName).c_str());
  r->temporary = 0;
}

// Copies the file through the file layer into a new temporary file whose name goes
// into the record. False when any step fails; a partial copy is deleted.
bool CopyToTemporaryFile(MovieRecord* r, const char* fileName) {
  FileHandle file = g_fileAccessTable.open != nullptr ? g_fileAccessTable.open(fileName, 0, 1, 0) : 0;
  if (file == 0) return false;
  g_fileAccessTable.seek(file, 0, 2);
  int64_t remaining = g_fileAccessTable.tell(file);
  g_fileAccessTable.seek(file, 0, 0);
  void* buffer = TrackedAlloc(kCopyChunk, "", 0);
  char path[4096];
  FILE* copy = buffer != nullptr ? CreateTempFile(path) : nullptr;
  bool whole = copy != nullptr;
  if (copy != nullptr) {
    // The file system's own name, not one of the library's.
    WideCopyN(r->fileName, Utf8ToWide(path).c_str(), kMovieFileNameCapacity);
    r->temporary = 1;
    while (remaining > 0) {
      size_t chunk = remaining < static_cast<int64_t>(kCopyChunk) ? static_cast<size_t>(remaining) : kCopyChunk;
      size_t read = g_fileAccessTable.read(buffer, 1, chunk, file);
      size_t written = std::fwrite(buffer, 1, read, copy);
      remaining -= static_cast<int64_t>(chunk);
      if (written < chunk) {
        whole = false;  // a short copy would play a cut movie, or nothing at all
        break;
      }
    }
    if (std::fclose(copy) != 0) whole = false;
  }
  g_fileAccessTable.close(file);
  TrackedFree(buffer);
  if (!whole) DeleteTemporaryCopy(r);
  return whole;
}

// The file rendered into the graph; one rendered without a picture (sound only) is no
// movie, and `noPicture` says so.
HRESULT RenderMovieFile(MovieRecord* r, bool* noPicture) {
  HRESULT hr = r->graphBuilder->RenderFile(r->fileName, nullptr);
  *noPicture = SUCCEEDED(hr) && r->renderer->Width() <= 0;
  return *noPicture ? VFW_E_CANNOT_RENDER : hr;
}

}  // namespace

int BuildMovieGraph(MovieRecord* r, const char* fileName, int* width, int* height, bool copyable) {
  r->frameImage.pixels = nullptr;
  r->frameReady = 0;
  r->overlayPlacement = {};
  std::string message;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&r->graphBuilder));
  if (FAILED(hr)) {
    message = "CLSID_FilterGraph の作成に失敗しました";
  } else {
    HRESULT result;
    D_CMovieRenderer* renderer = CreateMovieRenderer(nullptr, &result);
    // Our own reference across AddFilter: a refused filter is freed here, not leaked.
    if (renderer != nullptr) renderer->AsBaseFilter()->AddRef();
    r->renderer = renderer;
    hr = renderer == nullptr ? E_OUTOFMEMORY : r->graphBuilder->AddFilter(renderer->AsBaseFilter(), u"MovieRenderer");
    if (renderer != nullptr) renderer->AsBaseFilter()->Release();
    if (FAILED(hr)) message = "Could not add renderer filter to graph!";
  }
  if (message.empty() && FAILED(r->graphBuilder->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&r->basicAudio)))) {
    message = "BasicAudio インターフェースの取得に失敗しました";
  }
  if (message.empty() &&
      FAILED(r->graphBuilder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&r->mediaControl)))) {
    message = "IID_IMediaControlインターフェイスの取得に失敗しました";
  }
  if (message.empty() &&
      FAILED(r->graphBuilder->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&r->mediaSeeking)))) {
    message = "IID_IMediaSeekingインターフェイスの取得に失敗しました";
  }
  if (message.empty()) {
    ToWideName(fileName, r->fileName);
    bool noPicture = false;
    if (FAILED(RenderMovieFile(r, &noPicture))) {
      message = std::string("ファイル:") + fileName + " が開けませんでした";
      // Files the graph cannot open by name (inside an archive, say) play from a copy;
      // one it opened and found no picture in has none in a copy either.
      if (copyable && !noPicture && !r->temporary && CopyToTemporaryFile(r, fileName)) {
        if (SUCCEEDED(RenderMovieFile(r, &noPicture))) {
          message.clear();
        } else {
          DeleteTemporaryCopy(r);
        }
      }
    }
  }
  if (!message.empty()) {
    ReleaseInterfaces(r);
    WriteLog((message + "\n").c_str());
    return -1;
  }
  r->mediaSeeking->GetDuration(&r->duration);
  if (r->duration == 0) r->duration = kDurationWhenUnknown;
  r->mediaSeeking->GetStopPosition(&r->stopPosition);
  if (width != nullptr) *width = r->renderer->Width();
  if (height != nullptr) *height = r->renderer->Height();
  return 0;
}

void UpdateGraphMovieFrame(MovieRecord* r) {
  if (r->renderer != nullptr) {
    r->renderer->TakeNewFrame([&](const D_CMovieRenderer::Frame& frame) {
      if (r->frameCallback == nullptr) return;
      r->frameImage.width = frame.width;
      r->frameImage.height = frame.height;
      r->frameImage.pitch = frame.pitch;
      r->frameImage.pixels = frame.buffer;
      SetPixelFormatRgb888(&r->frameImage.format);
      r->currentFrameImage = &r->frameImage;
      r->frameCallback(r, r->userValue);
    });
  }
  // A paused movie stays where it is: it is neither rewound nor ended.
  if (r->mediaSeeking == nullptr || r->mediaControl == nullptr || r->paused) return;
  int64_t position = 0;
  if (FAILED(r->mediaSeeking->GetCurrentPosition(&position)) || position < r->stopPosition) return;
  if ((r->playType & 2) != 0) {
    int64_t start = 0;
    // The seek of a running graph runs it again itself, and may fail at that.
    if (FAILED(r->mediaSeeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                             AM_SEEKING_NoPositioning)) ||
        FAILED(r->mediaControl->Run())) {
      // Not playing, but still asked to: a later resume tries again.
      WriteLog("ムービーの再生を開始できませんでした\n");
      r->paused = 1;
    }
  } else {
    r->playRequested = 0;
    r->paused = 1;
  }
}

void ReleaseMovieGraph(MovieRecord* r) {
  if (r->mediaControl != nullptr) r->mediaControl->Stop();
  DeleteTemporaryCopy(r);
  ReleaseInterfaces(r);
  r->frameImage.pixels = nullptr;  // the renderer's, freed with it
}
