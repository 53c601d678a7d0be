// libFuzzer entry over the movie layer's graph branch: the input, written to a file, is
// opened with OpenMovie (the Theora decoder refuses what is no Ogg Theora, so the graph
// over FFmpeg's file source takes it), run without a clock towards its end with every
// frame read, sought back to its middle and run again, and closed.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "filters/system/system_filters.h"
#include "host/audio/output.h"
#include "host/dshow/interfaces.h"
#include "movie/movie.h"
#include "platform/file.h"

namespace {

uint32_t g_frameSum = 0;

// Reads every byte of the frame, so that a frame smaller than it claims is found.
int ReadWholeFrame(MovieRecord* r, uint32_t) {
  const ImageRecord* image = r->currentFrameImage;
  if (image == nullptr || image->pixels == nullptr || image->pitch <= 0 || image->height <= 0) return 0;
  const auto* pixels = static_cast<const uint8_t*>(image->pixels);
  const size_t bytes = static_cast<size_t>(image->pitch) * static_cast<size_t>(image->height);
  for (size_t i = 0; i < bytes; i += 7) g_frameSum += pixels[i];
  g_frameSum += pixels[bytes - 1];
  return 0;
}

// Runs the graph until it completes or `waits` short waits have passed; the manual
// speaker plays a second of sound at each, so that the sound renderer reaches its end.
void RunFor(int movie, MovieRecord* r, IMediaEvent* events, int waits) {
  r->mediaControl->Run();
  for (int i = 0; i < waits; ++i) {
    int32_t code = 0;
    if (events->WaitForCompletion(1, &code) == S_OK && code == EC_COMPLETE) break;
    if (ManualAudioOutput* speaker = CurrentManualAudioOutput()) speaker->Advance(48000);
    UpdateMovieFrame(movie, 0);
  }
  UpdateMovieFrame(movie, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    RegisterSystemFilters();
    InstallPlainFileAccess();
    UseManualAudioOutput(true);
    return "/tmp/movie_graph_fuzz_" + std::to_string(getpid()) + ".bin";
  }();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) return 0;
  int width = 0, height = 0;
  const int movie = OpenMovie(path.c_str(), &width, &height, 0);
  if (movie != -1) {
    MovieRecord* r = GetMovieRecord(movie);
    if (r->graphBuilder != nullptr) {
      IMediaFilter* filter = nullptr;
      IMediaEvent* events = nullptr;
      if (SUCCEEDED(r->graphBuilder->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter)))) {
        filter->SetSyncSource(nullptr);  // as fast as the filters go
        filter->Release();
      }
      if (SUCCEEDED(r->graphBuilder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)))) {
        SetMovieCallback(movie, ReadWholeFrame, 0);
        RunFor(movie, r, events, 40);
        int64_t middle = r->duration / 2;
        r->mediaSeeking->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        RunFor(movie, r, events, 10);
        r->mediaControl->Pause();
        events->Release();
      }
    }
    CloseMovieHandle(movie);
  }
  std::remove(path.c_str());
  return 0;
}
