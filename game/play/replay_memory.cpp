#include "game/play/replay_memory.h"

#include "game/play/play_state.h"

ReplayPair g_replayPairs[kReplayPairCapacity];
int g_replayPairCount;
int g_replayStepCount;

namespace {
const ReplayPair* g_source;
int g_sourceCount;
int g_sourcePair;
int g_sourceUsed;  // repeats of the current pair already played
}  // namespace

void ClearRecording() {
  g_replayPairCount = 0;
  g_replayStepCount = 0;
}

void AppendRecordedInput(int inputByte) {
  uint8_t value = static_cast<uint8_t>(inputByte);
  if (g_replayPairCount > 0) {
    ReplayPair& last = g_replayPairs[g_replayPairCount - 1];
    if (last.input == value && last.count < 255) {
      last.count += 1;
      g_replayStepCount += 1;
      return;
    }
  }
  if (g_replayPairCount >= kReplayPairCapacity) {
    g_recordOk = 0;
    return;
  }
  g_replayPairs[g_replayPairCount++] = ReplayPair{value, 1};
  g_replayStepCount += 1;
}

void StartPlaybackSource(const ReplayPair* pairs, int count) {
  g_source = pairs;
  g_sourceCount = count;
  g_sourcePair = 0;
  g_sourceUsed = 0;
}

bool NextPlaybackInput(int* inputByte) {
  while (g_sourcePair < g_sourceCount && g_sourceUsed >= g_source[g_sourcePair].count) {
    ++g_sourcePair;
    g_sourceUsed = 0;
  }
  if (g_source == nullptr || g_sourcePair >= g_sourceCount) return false;
  *inputByte = g_source[g_sourcePair].input;
  ++g_sourceUsed;
  return true;
}
