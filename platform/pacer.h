#pragma once
// Pacing of the frame loop: the wait for the end of a pass is slept to an absolute
// time just short of the deadline and only the last stretch spun, so a pass ends on its
// deadline without burning a core.
#include <cstdint>

class PassClock {
 public:
  virtual ~PassClock() = default;
  virtual int64_t NowUs() = 0;
  // Sleeps until NowUs() reaches `deadlineUs` or later.
  virtual void SleepUntilUs(int64_t deadlineUs) = 0;
  // Told the time at which each pass ended.
  virtual void PassEnded(int64_t nowUs) { (void)nowUs; }
};

// The monotonic clock and the real sleep. With PASS_TIME_LOG=<file> set, every pass end
// is written there as "<monotonic us> <process CPU us>".
PassClock& SystemPassClock();

// A sleep is woken this much before the deadline, which covers the wake-up latency of an
// idle machine (the sleep asks for a timer slack of 1 ns); the rest is spun.
constexpr int64_t kPassSpinUs = 60;

// Returns once `passLengthUs` have passed since `passStartUs` on `clock`.
void WaitForPassEnd(PassClock& clock, int64_t passStartUs, int64_t passLengthUs);
