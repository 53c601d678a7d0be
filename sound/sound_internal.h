#pragma once
// The sound layer's records, globals and buffer-slot operations, shared by its units
// (and by the tests, which look at the buffers a handle plays through).
#include <cstdint>

#include "host/audio/audio.h"
#include "host/kernel/sync.h"
#include "platform/handle.h"
#include "platform/list.h"
#include "sound/decoders/sound_converter.h"
#include "sound/stream_sound.h"

constexpr int kSoundHandleCapacity = 32768;
constexpr int kMaxSoundBuffers = 10;

enum SoundKind : int { kMemorySound = 0, kStreamSound = 1 };

struct SoundBufferSlot {
  int inUse;
  AudioBuffer* buffer;
};

struct StreamSource;  // stream_sound.h

struct SoundRecord {
  int checkNumber;
  SoundBufferSlot slots[kMaxSoundBuffers];
  WaveFormatEx format;
  int kind;
  // Stream sound state (stream_sound.cpp).
  StreamState* stream;
  int sourceCount;
  ListNode node;
  // Memory sound.
  uint32_t pcmSize;
  uint8_t* pcmData;
  int* pcmRefCount;
  int bufferCount;
  int currentBuffer;
  int volume;
  int pan;
  int frequency;
  bool nextPlayVolumeSet, nextPlayPanSet, nextPlayFrequencySet;
  int nextPlayVolume, nextPlayPan, nextPlayFrequency;
};

extern AudioDevice* g_soundDevice;
extern CriticalSection g_soundLock;
extern int g_soundCreateMode;
extern List g_streamSoundList;
extern TypedHandleTable<SoundRecord> g_soundHandles;

// The record of a valid handle while the sound system is up, else null.
SoundRecord* GetSoundRecord(int handle);

int CreateSlotBuffer(SoundBufferSlot* slot, const AudioBufferDesc* desc);
int DuplicateSlotBuffer(SoundBufferSlot* slot, SoundBufferSlot* source);
int ReleaseSlotBuffer(SoundBufferSlot* slot);
int PlaySlotBuffer(SoundBufferSlot* slot, int loop);
int StopSlotBuffer(SoundBufferSlot* slot);
int GetSlotBufferStatus(SoundBufferSlot* slot, uint32_t* status);
int LockSlotBuffer(SoundBufferSlot* slot, uint32_t offset, uint32_t bytes, void** region1,
                   uint32_t* size1, void** region2, uint32_t* size2);
int UnlockSlotBuffer(SoundBufferSlot* slot, void* region1, uint32_t size1, void* region2,
                     uint32_t size2);
int SetSlotBufferFrequency(SoundBufferSlot* slot, int hertz);
int SetSlotBufferPan(SoundBufferSlot* slot, int pan);
int SetSlotBufferVolume(SoundBufferSlot* slot, int volume);
int SetSlotBufferPosition(SoundBufferSlot* slot, uint32_t byteOffset);
int GetSlotBufferPosition(SoundBufferSlot* slot, uint32_t* playCursor, uint32_t* writeCursor);

// mode 0 memory sound (bufferCount static buffers sharing one memory), 1 stream sound.
int CreateSoundBuffers(int source, const WaveFormatEx* format, uint32_t byteCount, int mode,
                       int bufferCount, int handle);
// 1000 x log10(volume / 255) hundredths of a decibel, -10000 for 0 and below.
int SoundVolumeToDecibels(int volume);
// Chooses the next buffer of a memory sound for a play: 0 ready, 1 already sounding
// (no restart asked), -1 no usable buffer.
int PrepareNextSoundBuffer(int restartFlag, SoundRecord* record);

// Stream sounds (stream_sound.cpp).
int AddStreamSoundFile(const char* fileName, int loopCount, int handle, int createMode,
                       int sharedStreamHandle);
int AddStreamSoundMemory(const void* image, int size, int loopCount, int handle, int createMode,
                         int sharedStreamHandle);
int StartStreamRefill(int handle);
int PlayStreamSound(int handle, int playType, int restartFlag);
int IsStreamSoundPlaying(int handle);
int StopStreamSound(int handle);
int GetStreamSoundCurrentTime(int handle);
int GetStreamSoundTotalSamples(SoundRecord* record);
// Frees what a stream sound holds; 1 when it must stay (other sounds still share its
// buffer), else 0.
int ReleaseStreamSound(int handle, SoundRecord* record);
void ProcessStreamSounds();
// One millisecond of a play that waits for its sound's end (play type 0).
void WaitForPlayingSound();
// Passes over the stream sound list so far (tests wait on it instead of on time).
uint32_t StreamRefillPasses();
uint32_t StreamSoundThreadProc(void* argument);
