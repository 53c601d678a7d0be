#pragma once
// Times our primitive, the memcpy reference and (when given) SDL2's equivalent in the
// same loop, so that the ratios are taken under the same machine load.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <class Ours, class Copy, class Other>
void Measure(benchmark::State& state, int64_t pixels, Ours&& ours, Copy&& copy, Other* other) {
  double tOurs = 0, tCopy = 0, tOther = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    ours();
    const auto t1 = Clock::now();
    copy();
    const auto t2 = Clock::now();
    if (other) (*other)();
    const auto t3 = Clock::now();
    tOurs += Seconds(t1 - t0);
    tCopy += Seconds(t2 - t1);
    tOther += Seconds(t3 - t2);
    state.SetIterationTime(Seconds(t1 - t0));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["Mpx/s"] = pixels * n / tOurs / 1e6;
  state.counters["vs_memcpy"] = tCopy / tOurs;
  if (other) state.counters["vs_SDL"] = tOther / tOurs;
}

}  // namespace bench
