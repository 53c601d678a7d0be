#pragma once
// One-shot timers, all served by one timer thread that calls each procedure once its
// delay has passed.
#include <cstdint>

using HostTimerProc = void (*)(uint32_t timerId, uintptr_t user);

// The timer's id (never 0), or 0 on failure.
uint32_t StartOneShotTimer(uint32_t delayMs, HostTimerProc proc, uintptr_t user);
// Cancels a timer that has not fired yet (true), or waits until a firing one has
// returned (false). Must not be called from the timer's own procedure for itself.
bool CancelTimer(uint32_t timerId);
