// The randomised mutation loop over both loaders, for builds without libFuzzer; the
// inputs are random bytes, truncations and patches of good files in every mode of
// the fuzz check (which aborts on any loader fault).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "tests/game/files_fuzz_check.h"

TEST(FileLoaders, SurviveMutatedInputs) {
  const char* env = std::getenv("DANMAKU_FUZZ_RUNS");
  const long runs = env ? std::atol(env) : 20000;
  uint64_t s = 0x9E3779B97F4A7C15ull;
  auto next = [&] {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return s;
  };
  std::vector<uint8_t> input;
  for (long run = 0; run < runs; ++run) {
    size_t size = next() % 4 == 0 ? next() % 9000 : next() % 64;
    input.resize(size);
    for (uint8_t& b : input) b = uint8_t(next());
    if (size > 0 && next() % 2) input[0] = uint8_t(1 + next() % 3);  // favour the deep modes
    FuzzFileLoaders(input.data(), input.size());
  }
  SUCCEED() << runs << " inputs";
}
