#include "platform/pacer.h"

#include "host/kernel/thread.h"
#include "platform/clock.h"

namespace {
class SystemClock : public PassClock {
 public:
  int64_t NowUs() override { return GetTimeUs(); }
  void SleepUs(int64_t us) override { HostSleepUs(us); }
};
}  // namespace

PassClock& SystemPassClock() {
  static SystemClock clock;
  return clock;
}

void WaitForPassEnd(PassClock& clock, int64_t passStartUs, int64_t passLengthUs) {
  const int64_t deadline = passStartUs + passLengthUs;
  int64_t now = clock.NowUs();
  if (deadline - now > kPassSpinUs) {
    clock.SleepUs(deadline - now - kPassSpinUs);
    now = clock.NowUs();
  }
  while (now < deadline) now = clock.NowUs();
}
