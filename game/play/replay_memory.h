#pragma once
// The in-memory replay: input bytes recorded as (byte, repeat count) pairs and read
// back in order. The buffer is static, so recording never allocates.
#include <cstdint>

struct ReplayPair {
  uint8_t input;
  uint8_t count;  // 1-255
};

constexpr int kReplayPairCapacity = 1048576;

extern ReplayPair g_replayPairs[kReplayPairCapacity];
extern int g_replayPairCount;   // pairs recorded
extern int g_replayStepCount;   // steps recorded (the sum of the counts)

void ClearRecording();
// Appends one step's byte; a full buffer clears g_recordOk and keeps what it has.
void AppendRecordedInput(int inputByte);

// Playback source and cursor.
void StartPlaybackSource(const ReplayPair* pairs, int count);
// The next recorded byte; false when none is left.
bool NextPlaybackInput(int* inputByte);
