// libFuzzer entry over the movie layer's graph branch: the input, written to a file, is
// played as PlayAndSeekGraphMovie plays it, with every byte of every frame read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "filters/system/system_filters.h"
#include "platform/file.h"
#include "tests/movie/graph_movie_steps.h"

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
  PlayAndSeekGraphMovie(path.c_str(), ReadWholeFrame);
  std::remove(path.c_str());
  return 0;
}
