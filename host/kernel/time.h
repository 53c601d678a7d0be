#pragma once
// Monotonic time. Tests may switch the millisecond time to a manual source: it then
// moves only when the test advances it or a thread sleeps, and one-shot timers fire on
// it. Waits with a time-out always run on real time.
#include <cstdint>

int64_t HostTimeUs();
// Sleeps until HostTimeUs() reaches `deadlineUs` (at once when it has).
void HostSleepUntilUs(int64_t deadlineUs);
// Milliseconds that wrap at 32 bits, as the platform's millisecond clock does.
uint32_t HostTimeMs();
// CPU time (user and system) used so far by every thread of the process.
int64_t HostProcessCpuUs();

// Switches the manual source on (starting at `startMs`) or off.
void UseManualTime(bool on, uint32_t startMs = 0);
bool ManualTimeActive();
void AdvanceManualTime(uint32_t ms);
// The manual source's milliseconds without wrapping; the timer service runs on it.
int64_t ManualTimeMs64();
// Called after every manual advance and switch; the timer service registers itself here.
void SetManualTimeListener(void (*listener)());
