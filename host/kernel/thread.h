#pragma once
// Threads as the library starts them: possibly suspended at creation, resumed later,
// given a priority, waited for with a time-out.
#include <cstdint>

using HostThreadProc = uint32_t (*)(void* argument);
struct HostThread;

// Null when the thread cannot be started (the last error then says why). A suspended
// thread runs `proc` only after ResumeHostThread.
HostThread* CreateHostThread(HostThreadProc proc, void* argument, bool suspended);
void ResumeHostThread(HostThread* thread);
// Recorded only: every thread here runs at the normal priority.
void SetHostThreadPriority(HostThread* thread, int priority);
// True once the thread has ended (waiting up to `timeoutMs`, kInfinite for ever).
bool WaitHostThread(HostThread* thread, uint32_t timeoutMs);
uint32_t GetHostThreadExitCode(HostThread* thread);
// Waits for the thread to end and frees it. A thread still suspended never runs.
void CloseHostThread(HostThread* thread);

// Threads created and not yet closed.
int LiveHostThreadCount();
// Test seam: the next CreateHostThread fails as if the system had no resources left.
void FailNextThreadCreation();

uint64_t CurrentHostThreadId();
// Gives up the processor for `ms` milliseconds; 0 only yields. On the manual time
// source the sleep advances the manual time instead of waiting.
void HostSleep(uint32_t ms);
void HostSleepUs(int64_t us);
int HostProcessorCount();
