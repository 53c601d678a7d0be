#pragma once
// One-shot timers, all served by one timer thread that calls each procedure once its
// delay has passed. On the manual time source (time.h) a timer is due when the manual
// milliseconds reach it.
#include <cstdint>

using HostTimerProc = void (*)(uint32_t timerId, uintptr_t user);

constexpr uint32_t kMinTimerDelayMs = 1;
constexpr uint32_t kMaxTimerDelayMs = 1000000;

// The timer's id (never 0), or 0 when the delay is outside 1 to 1,000,000 ms or no
// procedure is given.
uint32_t StartOneShotTimer(uint32_t delayMs, HostTimerProc proc, uintptr_t user);
// Removes a timer that has not fired yet (true). For one that is firing it waits until
// the procedure has returned (false), except on the timer thread itself, where waiting
// would never end: a procedure may kill its own timer.
bool CancelTimer(uint32_t timerId);
// Timers started and neither fired nor cancelled, counted once a callback that is
// running has returned. For tests; never call it from a timer procedure.
int LiveTimerCount();

// The system timer resolution requests: counted only, so tests can check that every
// raise is undone. Both return 0.
uint32_t timeBeginPeriod(uint32_t periodMs);
uint32_t timeEndPeriod(uint32_t periodMs);
int TimerPeriodRequests();
