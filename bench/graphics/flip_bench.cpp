// The per-frame cost of the screen: clearing the back screen and flipping it into the
// window (SDL through the host window; headless with the dummy video driver unless a
// display is given). Reported as a share of the 16.7 ms frame and against memcpy of the
// same 640 x 480 RGB565 pixels, both measured in this run. The reference copies those
// 614,400 bytes between two buffers of its own that stay warm in the cache, as the back
// screen does in a frame that has just been drawn.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/softrender/measure.h"
#include "graphics/screen.h"
#include "platform/library.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr size_t kScreenBytes = kScreenWidth * kScreenHeight * 2;

double SecondsPerCall(int repeats, void (*work)()) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats; ++i) work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
}

std::vector<uint8_t> g_from(kScreenBytes, 7), g_to(kScreenBytes);
void CopyScreenBytes() {
  std::memcpy(g_to.data(), g_from.data(), kScreenBytes);
  benchmark::ClobberMemory();
}

void BM_MemcpyScreen(benchmark::State& state) {
  for (auto _ : state) CopyScreenBytes();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kScreenBytes));
}
BENCHMARK(BM_MemcpyScreen);

void ClearAndFlip() {
  ClearDrawScreen();
  FlipScreen();
}

void BM_ClearAndFlip(benchmark::State& state) {
  const double memcpySeconds = SecondsPerCall(500, CopyScreenBytes);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) ClearAndFlip();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / state.iterations();
  state.counters["share_of_frame_pct"] = 100.0 * seconds / kFrameSeconds;
  state.counters["x_memcpy"] = seconds / memcpySeconds;
}
BENCHMARK(BM_ClearAndFlip)->Unit(benchmark::kMicrosecond);

double Median(std::vector<double>& v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// The flip alone, against the reference copy timed right after each flip: medians of
// the single flips and copies, so that a flip slowed by another process on the core
// does not move the ratio. x_memcpy is on the thread's CPU time, what the game's thread
// spends; x_memcpy_wall on the wall clock, which on a real display also holds the wait
// for the display server (wait_us: the median flip's wall time less its CPU time).
void BM_Flip(benchmark::State& state) {
  std::vector<double> flip, copy, flipWall, copyWall;
  using Wall = std::chrono::steady_clock;
  using Cpu = bench::ThreadClock;
  for (auto _ : state) {
    const auto w0 = Wall::now();
    const auto c0 = Cpu::now();
    FlipScreen();
    const auto c1 = Cpu::now();
    const auto w1 = Wall::now();
    CopyScreenBytes();
    const auto c2 = Cpu::now();
    const auto w2 = Wall::now();
    flip.push_back(std::chrono::duration<double>(c1 - c0).count());
    copy.push_back(std::chrono::duration<double>(c2 - c1).count());
    flipWall.push_back(std::chrono::duration<double>(w1 - w0).count());
    copyWall.push_back(std::chrono::duration<double>(w2 - w1).count());
  }
  const double f = Median(flip), c = Median(copy), fw = Median(flipWall), cw = Median(copyWall);
  state.counters["flip_us"] = f * 1e6;
  state.counters["memcpy_us"] = c * 1e6;
  state.counters["wait_us"] = (fw - f) * 1e6;
  state.counters["x_memcpy"] = f / c;
  state.counters["x_memcpy_wall"] = fw / cw;
}
// Enough flips for a stable median whatever the driver; the time limit alone would give
// a slow display a few hundred.
BENCHMARK(BM_Flip)->Unit(benchmark::kMicrosecond)->Iterations(3000);

void BM_Clear(benchmark::State& state) {
  for (auto _ : state) ClearDrawScreen();
}
BENCHMARK(BM_Clear)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", std::getenv("DISPLAY") != nullptr ? "x11" : "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  RegisterGraphicsStep();
  SetScreenMode(kScreenWidth, kScreenHeight, 16, 60);
  SetWindowMode(1);
  // FLIP_BENCH_SCALE=2 times the flip into a window twice the screen's size.
  if (const char* scale = std::getenv("FLIP_BENCH_SCALE")) SetWindowScale(std::atof(scale));
  if (InitLibrary() != 0) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  EndLibrary();
  return 0;
}
