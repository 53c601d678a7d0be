#pragma once
// Pacing of the frame loop: the bulk of the wait for the end of a pass is slept, the
// last stretch spun, so a pass ends close to its deadline without burning a core.
#include <cstdint>

class PassClock {
 public:
  virtual ~PassClock() = default;
  virtual int64_t NowUs() = 0;
  virtual void SleepUs(int64_t us) = 0;
};

// The monotonic clock and the real sleep.
PassClock& SystemPassClock();

// Sleeping is only trusted up to this close to the deadline; the rest is spun.
constexpr int64_t kPassSpinUs = 2000;

// Returns once `passLengthUs` have passed since `passStartUs` on `clock`.
void WaitForPassEnd(PassClock& clock, int64_t passStartUs, int64_t passLengthUs);
