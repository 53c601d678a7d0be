// The per-frame cost of the screen: clearing the back screen and flipping it into the
// window (SDL through the host window; headless with the dummy video driver unless a
// display is given). Reported as a share of the 16.7 ms frame and against memcpy of the
// same 640 x 480 RGB565 pixels, both measured in this run.
#include <benchmark/benchmark.h>

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

// The flip alone, against memcpy of the screen timed in the same loop: x_memcpy on the
// thread's CPU time (what the game's thread spends), x_memcpy_wall on the wall clock
// (which on a real display also holds the wait for the display server).
void BM_Flip(benchmark::State& state) {
  double flip = 0, copy = 0, flipWall = 0, copyWall = 0;
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
    flip += std::chrono::duration<double>(c1 - c0).count();
    copy += std::chrono::duration<double>(c2 - c1).count();
    flipWall += std::chrono::duration<double>(w1 - w0).count();
    copyWall += std::chrono::duration<double>(w2 - w1).count();
  }
  state.counters["x_memcpy"] = flip / copy;
  state.counters["x_memcpy_wall"] = flipWall / copyWall;
}
BENCHMARK(BM_Flip)->Unit(benchmark::kMicrosecond);

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
