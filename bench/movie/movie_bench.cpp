// Theora decoding through the library (index, decode thread, frame stock, RGB
// conversion of every frame) against libtheora alone decoding the same file, in one run.
#include <benchmark/benchmark.h>
#include <theora/theoradec.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "movie/theora_movie.h"
#include "platform/file.h"
#include "tests/movie/theora_media.h"
#include "tests/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 90;

const std::string& MovieFile() {
  static const std::string path = [] {
    MovieSpec spec;
    spec.width = 320;
    spec.height = 240;
    spec.frames = kFrames;
    spec.keyFrameEvery = 30;
    static TempDir folder;
    const std::string file = folder.File("bench.ogv");
    WriteWholeFile(file, EncodeTheoraMovie(spec));
    return file;
  }();
  return path;
}

// libtheora alone: every frame decoded from the file's bytes, fed in the same pieces.
int DecodeWithLibtheoraAlone(const Bytes& file) {
  return DecodeEachFrame(
      file, [](void* planes, void*) { benchmark::DoNotOptimize(static_cast<th_img_plane*>(planes)[0].data[0]); },
      nullptr);
}

// Opens the movie and shows every frame once as RGB.
int DecodeThroughLibrary(const std::string& path) {
  const FileHandle file = OpenFileViaTable(path.c_str(), 0, 1, 0);
  TheoraMovie* movie = OpenTheoraMovie(&g_fileAccessTable, file, 10);
  int frames = 1;
  for (int i = 1; i < kFrames; ++i) {
    AdvanceTheoraFrames(movie, 1);
    frames += GetTheoraFrameImage(movie, 1, 0);
  }
  CloseTheoraMovie(movie);
  CloseFileViaTable(file);
  return frames;
}

// Opens the movie and waits for every frame to be decoded into the stock, converting
// none: the library's decode path alone.
int DecodeOnlyThroughLibrary(const std::string& path) {
  const FileHandle file = OpenFileViaTable(path.c_str(), 0, 1, 0);
  TheoraMovie* movie = OpenTheoraMovie(&g_fileAccessTable, file, 10);
  int frames = 0;
  for (int i = 0; i < kFrames; ++i) {
    if (i > 0) AdvanceTheoraFrames(movie, 1);
    for (bool held = false; !held;) {
      const uint32_t seen = movie->wakeCaller.Count();
      for (int k = 0; k < movie->stockSize && !held; ++k) {
        held = movie->stock[k].inUse.load() && movie->stock[k].frame.load() == i;
      }
      if (!held) movie->wakeCaller.WaitPast(seen, 1);
    }
    ++frames;
  }
  CloseTheoraMovie(movie);
  CloseFileViaTable(file);
  return frames;
}

const Bytes& MovieBytes() {
  static const Bytes bytes = [] {
    Bytes b;
    FILE* in = std::fopen(MovieFile().c_str(), "rb");
    char piece[4096];
    size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, in)) > 0) b.insert(b.end(), piece, piece + got);
    std::fclose(in);
    return b;
  }();
  return bytes;
}

// Seconds spent by libtheora alone and by `library` on the movie, over every iteration.
std::pair<double, double> TimeAgainstLibtheora(benchmark::State& state, const Bytes& bytes,
                                               int (*library)(const std::string&)) {
  double alone = 0, ours = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(DecodeWithLibtheoraAlone(bytes));
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(library(MovieFile()));
    auto t2 = Clock::now();
    alone += std::chrono::duration<double>(t1 - t0).count();
    ours += std::chrono::duration<double>(t2 - t1).count();
  }
  return {alone, ours};
}

// The decode path only (index, decode thread, frame stock), against libtheora alone.
void BM_TheoraDecodeOnlyVsLibtheora(benchmark::State& state) {
  InstallPlainFileAccess();
  InitYuvTables();
  const Bytes& bytes = MovieBytes();
  const auto [alone, library] = TimeAgainstLibtheora(state, bytes, DecodeOnlyThroughLibrary);
  state.counters["speed_vs_libtheora"] = alone / library;
}
BENCHMARK(BM_TheoraDecodeOnlyVsLibtheora)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_TheoraLibraryVsLibtheora(benchmark::State& state) {
  InstallPlainFileAccess();
  InitYuvTables();
  const Bytes& bytes = MovieBytes();
  const auto [alone, library] = TimeAgainstLibtheora(state, bytes, DecodeThroughLibrary);
  const double runs = static_cast<double>(state.iterations());
  state.counters["speed_vs_libtheora"] = alone / library;
  state.counters["library_frames_per_s"] = kFrames * runs / library;
  state.counters["libtheora_frames_per_s"] = kFrames * runs / alone;
}
BENCHMARK(BM_TheoraLibraryVsLibtheora)->Unit(benchmark::kMillisecond)->Iterations(10);

// The 4:2:0 RGB conversion alone: one 320 x 240 frame, against copying its RGB bytes.
void BM_RgbConversionVsMemcpy(benchmark::State& state) {
  InstallPlainFileAccess();
  InitYuvTables();
  const FileHandle file = OpenFileViaTable(MovieFile().c_str(), 0, 1, 0);
  TheoraMovie* movie = OpenTheoraMovie(&g_fileAccessTable, file, 10);
  ImageRecord* image = GetTheoraInfoPtr(movie);
  std::string copy(static_cast<size_t>(image->pitch) * image->height, '\0');
  double convert = 0, memcpyTime = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    movie->imageCurrent = 0;
    GetTheoraFrameImage(movie, 1, 0);
    auto t1 = Clock::now();
    std::memcpy(copy.data(), image->pixels, copy.size());
    benchmark::DoNotOptimize(copy.data());
    auto t2 = Clock::now();
    convert += std::chrono::duration<double>(t1 - t0).count();
    memcpyTime += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["conversion_over_memcpy"] = convert / memcpyTime;
  state.counters["conversion_us"] = 1e6 * convert / static_cast<double>(state.iterations());
  CloseTheoraMovie(movie);
  CloseFileViaTable(file);
}
BENCHMARK(BM_RgbConversionVsMemcpy)->Iterations(2000);

}  // namespace

BENCHMARK_MAIN();
