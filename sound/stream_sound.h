#pragma once
// Stream sounds: one looping one-second buffer kept topped up from up to three
// sources, each read through its own converter.
#include <cstdint>

#include "sound/decoders/sound_converter.h"

constexpr int kMaxStreamSources = 3;
constexpr int kWriteCursorBeforeFirstFill = -800;

struct StreamSource {
  int8_t loopCount;  // -1 endless from the loop start; 0-127 plays once more that many times
  uint32_t mode;     // 0 decoded whole, 2 file image in memory, 3 the caller's stream
  uint8_t* fileImage;
  uint32_t imageSize;
  SoundStream memoryStream;  // over the file image (modes 0 and 2)
  uint32_t loopStart;        // sample index
  int32_t stopSample;        // -1 none
  SoundConverter converter;
};

struct StreamState {
  uint32_t playType;
  int32_t sharedFrom;
  uint32_t shareCount;
  int32_t currentUser;
  uint32_t deletePending;
  uint32_t bufferSize;
  int32_t writeCursor;
  int32_t safeLimit;
  StreamSource sources[kMaxStreamSources];
  uint8_t ownedStream[kMaxStreamSources];
  int32_t currentSource;
  int32_t repeatCount;
  int32_t sourcePosition;
  uint32_t totalSamples;
  uint32_t playedBytes;
  uint32_t lastPlayCursor;
  uint8_t refillActive;
  uint8_t ending;
  uint8_t loopPending;
  uint8_t passedEnd;
  int32_t loopResumePosition;
  uint32_t endPosition;
  uint32_t endPlayCursor;
  uint32_t loopPoint;
};

struct BufferLockRegion {
  uint32_t lockOffset;
  uint8_t* first;
  uint8_t* second;
  uint32_t firstLength;
  uint32_t secondLength;
  uint32_t firstWrite;
  uint32_t secondWrite;
  uint32_t firstRemaining;
  uint32_t secondRemaining;
};

struct SoundRecord;

int AddSreamSound(const SoundStream* stream, int8_t loopCount, int handle, int mode,
                  int* streamCopied, int shareHandle);
int PrepareStreamPlay(struct SoundBufferSlot** slot, int handle, SoundRecord* record, int playType,
                      int restartFlag);
int RefillStreamSound(int handle);
// playCursor -1: read it from the buffer.
int UpdateStreamPlayPosition(int handle, int64_t playCursor);
uint32_t ReadConverterIntoRegions(BufferLockRegion* region, SoundConverter* converter, uint32_t n);
int AdvanceStreamSource(SoundRecord* record, BufferLockRegion* region, uint32_t playCursor);
int ClaimSharedStreamBuffer(int handle, SoundRecord* record, struct SoundBufferSlot** slot,
                            int takeOver);
void FillSoundBufferSilence(SoundRecord* record, BufferLockRegion* region, uint32_t bytes);
