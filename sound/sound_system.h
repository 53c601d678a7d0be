#pragma once
// Internal: the refill thread's handshake and the music layer's hook at sound end.
#include <atomic>

// 0 running, 1 stop requested, 2 stopped (written by the thread as it ends).
extern std::atomic<int> g_refillThreadState;
// Wakes the refill thread out of its wait between passes.
void WakeStreamSoundThread();
