#pragma once
// Times our primitive, the memcpy reference and (when given) SDL2's equivalent in the
// same loop, so that the ratios are taken under the same machine load. Times are the
// thread's CPU time: on a shared machine the time spent waiting for a core would
// otherwise land on whichever of the three was running.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdint>

namespace bench {

struct ThreadClock {
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<ThreadClock>;
  static constexpr bool is_steady = true;
  static time_point now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return time_point(duration(int64_t{t.tv_sec} * 1000000000 + t.tv_nsec));
  }
};
using Clock = ThreadClock;

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
