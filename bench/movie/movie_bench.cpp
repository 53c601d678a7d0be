// Theora decoding through the library (index, decode thread, frame stock, RGB
// conversion of every frame) against libtheora alone decoding the same file, in one run.
#include <benchmark/benchmark.h>
#include <theora/theoradec.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

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

// Processor seconds of the whole process, every thread: on a shared machine the time
// other programs take from the core shows in the wall time only.
double ProcessSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Times {
  double alone, library;          // wall seconds
  double aloneCpu, libraryCpu;    // processor seconds
};

// Time spent by libtheora alone and by `library` on the movie, over every iteration.
Times TimeAgainstLibtheora(benchmark::State& state, const Bytes& bytes, int (*library)(const std::string&)) {
  Times times{};
  for (auto _ : state) {
    auto t0 = Clock::now();
    const double c0 = ProcessSeconds();
    benchmark::DoNotOptimize(DecodeWithLibtheoraAlone(bytes));
    auto t1 = Clock::now();
    const double c1 = ProcessSeconds();
    benchmark::DoNotOptimize(library(MovieFile()));
    auto t2 = Clock::now();
    const double c2 = ProcessSeconds();
    times.alone += std::chrono::duration<double>(t1 - t0).count();
    times.library += std::chrono::duration<double>(t2 - t1).count();
    times.aloneCpu += c1 - c0;
    times.libraryCpu += c2 - c1;
  }
  return times;
}

// The wall-time ratio, and the processor-time one beside it (a library that sat idle
// waiting would show in the first only).
void ReportSpeed(benchmark::State& state, const Times& t) {
  state.counters["speed_vs_libtheora"] = t.alone / t.library;
  state.counters["cpu_speed_vs_libtheora"] = t.aloneCpu / t.libraryCpu;
}

// The decode path only (index, decode thread, frame stock), against libtheora alone.
void BM_TheoraDecodeOnlyVsLibtheora(benchmark::State& state) {
  InstallPlainFileAccess();
  InitYuvTables();
  const Bytes& bytes = MovieBytes();
  ReportSpeed(state, TimeAgainstLibtheora(state, bytes, DecodeOnlyThroughLibrary));
}
BENCHMARK(BM_TheoraDecodeOnlyVsLibtheora)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_TheoraLibraryVsLibtheora(benchmark::State& state) {
  InstallPlainFileAccess();
  InitYuvTables();
  const Bytes& bytes = MovieBytes();
  const Times t = TimeAgainstLibtheora(state, bytes, DecodeThroughLibrary);
  const double runs = static_cast<double>(state.iterations());
  ReportSpeed(state, t);
  state.counters["library_frames_per_s"] = kFrames * runs / t.library;
  state.counters["libtheora_frames_per_s"] = kFrames * runs / t.alone;
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

// Informative: one round trip between two threads (caller asks, thread answers), as the
// caller and the decode thread hand each frame over when it is not in the stock yet,
// with the decoder's wait of 10 ms at most against waits of 1 ms. Pinned to one
// processor, each round trip is two switches between the threads; a short wait also
// arms a timer that becomes the processor's next one.
double RoundTripSeconds(int rounds, uint32_t waitMs) {
  TheoraWake ask, answer;
  std::atomic<int> asked{0}, answered{0};
  std::thread thread([&] {
    for (int i = 1; i <= rounds; ++i) {
      for (uint32_t seen = ask.Count(); asked.load() < i; seen = ask.Count())
        if (asked.load() < i) ask.WaitPast(seen, waitMs);
      answered.store(i);
      answer.Raise();
    }
  });
  const auto start = Clock::now();
  for (int i = 1; i <= rounds; ++i) {
    asked.store(i);
    ask.Raise();
    for (uint32_t seen = answer.Count(); answered.load() < i; seen = answer.Count())
      if (answered.load() < i) answer.WaitPast(seen, waitMs);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  thread.join();
  return seconds;
}

void BM_HandOffWaitVsShortWait(benchmark::State& state) {
  constexpr int kRounds = 2000;
  double decoders = 0, shortWaits = 0;
  for (auto _ : state) {
    decoders += RoundTripSeconds(kRounds, 10);
    shortWaits += RoundTripSeconds(kRounds, 1);
  }
  const double runs = static_cast<double>(state.iterations()) * kRounds;
  state.counters["round_trip_us"] = 1e6 * decoders / runs;
  state.counters["short_wait_round_trip_us"] = 1e6 * shortWaits / runs;
  state.counters["hand_off_time_vs_short_wait"] = decoders / shortWaits;
}
BENCHMARK(BM_HandOffWaitVsShortWait)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
