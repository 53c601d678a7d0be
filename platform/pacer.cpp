#include "platform/pacer.h"

#include <cstdio>
#include <cstdlib>

#include "host/kernel/time.h"
#include "platform/clock.h"

namespace {
class SystemClock : public PassClock {
 public:
  SystemClock() {
    // A measuring aid for the play benchmark, not a setting.
    if (const char* path = std::getenv("PASS_TIME_LOG")) log_ = std::fopen(path, "w");
  }
  ~SystemClock() override {
    if (log_ != nullptr) std::fclose(log_);
  }
  int64_t NowUs() override { return GetTimeUs(); }
  void SleepUntilUs(int64_t deadlineUs) override { HostSleepUntilUs(deadlineUs); }
  void PassEnded(int64_t nowUs) override {
    if (log_ != nullptr)
      std::fprintf(log_, "%lld %lld\n", static_cast<long long>(nowUs),
                   static_cast<long long>(HostProcessCpuUs()));
  }

 private:
  std::FILE* log_ = nullptr;
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
    clock.SleepUntilUs(deadline - kPassSpinUs);
    now = clock.NowUs();
  }
  while (now < deadline) now = clock.NowUs();
  clock.PassEnded(now);
}
