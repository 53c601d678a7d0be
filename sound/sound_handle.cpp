// The sound handle table, the buffer slots and the per-handle operations that do not
// depend on how the sound was loaded.
#include <cmath>
#include <cstring>

#include "platform/alloc.h"
#include "platform/log.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

TypedHandleTable<SoundRecord> g_soundHandles(kSoundHandleType, kSoundHandleCapacity);

SoundRecord* GetSoundRecord(int handle) {
  if (g_soundDevice == nullptr) return nullptr;
  return g_soundHandles.Get(handle);
}

// ---- slot operations ----

int CreateSlotBuffer(SoundBufferSlot* slot, const AudioBufferDesc* desc) {
  if (slot->inUse) return -1;
  AudioBuffer* buffer = nullptr;
  if (g_soundDevice->CreateSoundBuffer(desc, &buffer) != kAudioOk) return -1;
  slot->buffer = buffer;
  slot->inUse = 1;
  return 0;
}

int DuplicateSlotBuffer(SoundBufferSlot* slot, SoundBufferSlot* source) {
  if (slot->inUse || !source->inUse) return -1;
  AudioBuffer* buffer = nullptr;
  if (g_soundDevice->DuplicateSoundBuffer(source->buffer, &buffer) != kAudioOk) return -1;
  slot->buffer = buffer;
  slot->inUse = 1;
  return 0;
}

int ReleaseSlotBuffer(SoundBufferSlot* slot) {
  if (!slot->inUse) return -1;
  slot->buffer->Release();
  slot->buffer = nullptr;
  slot->inUse = 0;
  return 0;
}

int PlaySlotBuffer(SoundBufferSlot* slot, int loop) {
  if (!slot->inUse) return -1;
  return slot->buffer->Play(0, 0, loop ? kPlayLooping : 0) == kAudioOk ? 0 : -1;
}

int StopSlotBuffer(SoundBufferSlot* slot) {
  if (!slot->inUse) return -1;
  slot->buffer->Stop();
  return 0;
}

int GetSlotBufferStatus(SoundBufferSlot* slot, uint32_t* status) {
  if (!slot->inUse) return -1;
  return slot->buffer->GetStatus(status) == kAudioOk ? 0 : -1;
}

int LockSlotBuffer(SoundBufferSlot* slot, uint32_t offset, uint32_t bytes, void** region1,
                   uint32_t* size1, void** region2, uint32_t* size2) {
  if (!slot->inUse) return -1;
  return slot->buffer->Lock(offset, bytes, region1, size1, region2, size2, 0) == kAudioOk ? 0 : -1;
}

int UnlockSlotBuffer(SoundBufferSlot* slot, void* region1, uint32_t size1, void* region2,
                     uint32_t size2) {
  if (!slot->inUse) return -1;
  return slot->buffer->Unlock(region1, size1, region2, size2) == kAudioOk ? 0 : -1;
}

int SetSlotBufferFrequency(SoundBufferSlot* slot, int hertz) {
  if (!slot->inUse) return -1;
  slot->buffer->SetFrequency(static_cast<uint32_t>(hertz));
  return 0;
}

int SetSlotBufferPan(SoundBufferSlot* slot, int pan) {
  if (!slot->inUse) return -1;
  slot->buffer->SetPan(pan);
  return 0;
}

int SetSlotBufferVolume(SoundBufferSlot* slot, int volume) {
  if (!slot->inUse) return -1;
  slot->buffer->SetVolume(volume);
  return 0;
}

int SetSlotBufferPosition(SoundBufferSlot* slot, uint32_t byteOffset) {
  if (!slot->inUse) return -1;
  slot->buffer->SetCurrentPosition(byteOffset);
  return 0;
}

int GetSlotBufferPosition(SoundBufferSlot* slot, uint32_t* playCursor, uint32_t* writeCursor) {
  if (!slot->inUse) return -1;
  return slot->buffer->GetCurrentPosition(playCursor, writeCursor) == kAudioOk ? 0 : -1;
}

// ---- handles ----

int AddSoundData(int handle) {
  if (g_soundDevice == nullptr || handle != -1) return -1;
  CriticalSectionGuard lock(g_soundLock);
  if (g_soundHandles.count() >= kSoundHandleCapacity) {
    return WriteLog("サウンドの数が許容量を越えました\n");
  }
  auto* record = static_cast<SoundRecord*>(TrackedAllocZeroed(sizeof(SoundRecord), "", 0));
  if (record == nullptr) return WriteLog("メモリ領域の確保に失敗しました in AddSoundData");
  int h = g_soundHandles.Add(record);
  if (h == -1) {
    TrackedFree(record);
    return WriteLog("サウンドの数が許容量を越えました\n");
  }
  record->checkNumber = h & (kHandleCheckMask << kHandleCheckShift);
  return h;
}

int SoundVolumeToDecibels(int volume) {
  if (volume > 255) volume = 255;
  if (volume <= 0) return kVolumeMin;
  long value = std::lround(1000.0 * std::log10(volume / 255.0));
  return value < kVolumeMin ? kVolumeMin : static_cast<int>(value);
}

int SetSoundHandleVolume(int volume, int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  int value = SoundVolumeToDecibels(volume);
  for (int i = 0; i < r->bufferCount && i < kMaxSoundBuffers; ++i) SetSlotBufferVolume(&r->slots[i], value);
  r->volume = value;
  return 0;
}

int StopSoundHandle(int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->kind == kStreamSound) return StopStreamSound(handle);
  for (int i = 0; i < r->bufferCount && i < kMaxSoundBuffers; ++i) {
    uint32_t status = 0;
    if (GetSlotBufferStatus(&r->slots[i], &status) != 0) return -1;
    if (status & kStatusPlaying) StopSlotBuffer(&r->slots[i]);
  }
  return 0;
}

int CheckSoundHandlePlaying(int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->kind == kStreamSound) return IsStreamSoundPlaying(handle);
  for (int i = 0; i < r->bufferCount && i < kMaxSoundBuffers; ++i) {
    uint32_t status = 0;
    if (GetSlotBufferStatus(&r->slots[i], &status) == 0 && (status & kStatusPlaying)) return 1;
  }
  return 0;
}

int DeleteSoundHandle(int handle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->kind == kStreamSound) {
    StopStreamSound(handle);
    if (ReleaseStreamSound(handle, r) != 0) return 0;  // still shared: deleted later
  } else {
    if (r->slots[0].inUse) StopSoundHandle(handle);
    for (int i = 0; i < r->bufferCount && i < kMaxSoundBuffers; ++i) {
      if (r->slots[i].inUse) ReleaseSlotBuffer(&r->slots[i]);
    }
    if (r->pcmRefCount != nullptr && --*r->pcmRefCount == 0) {
      TrackedFree(r->pcmData);
      TrackedFree(r->pcmRefCount);
    }
  }
  g_soundHandles.Remove(handle);
  TrackedFree(r);
  return 0;
}

int DeleteAllSoundHandles() {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  for (int slot = 0; slot < kSoundHandleCapacity; ++slot) {
    int h = g_soundHandles.HandleAt(slot);
    if (h != -1) DeleteSoundHandle(h);
  }
  return 0;
}

int CreateSoundBuffers(int source, const WaveFormatEx* format, uint32_t byteCount, int mode,
                       int bufferCount, int handle) {
  if (g_soundDevice == nullptr) return -1;
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  SoundRecord* src = nullptr;
  if (source != -1) {
    src = GetSoundRecord(source);
    if (src == nullptr || mode != 0 || !src->slots[0].inUse) return -1;
    format = &src->format;
    byteCount = src->pcmSize;
  }
  if (mode == 0) {
    if (bufferCount > kMaxSoundBuffers) bufferCount = kMaxSoundBuffers;
    int made = 0;
    for (int i = 0; i < bufferCount; ++i) {
      if (i == 0 && src == nullptr) {
        AudioBufferDesc desc{0x80E2, byteCount, format};
        if (CreateSlotBuffer(&r->slots[0], &desc) != 0) {
          desc.flags = 0xC2;
          if (CreateSlotBuffer(&r->slots[0], &desc) != 0) {
            return WriteLog("DirectSoundBuffer の作成に失敗しました\n");
          }
        }
      } else if (DuplicateSlotBuffer(&r->slots[i], i == 0 ? &src->slots[0] : &r->slots[0]) != 0) {
        break;
      }
      made = i + 1;
    }
    r->bufferCount = bufferCount <= 0 ? bufferCount : made;
  } else if (mode == 1) {
    uint32_t second = format->avgBytesPerSec & 0xFFFFFF;
    uint32_t align = format->blockAlign != 0 ? format->blockAlign : 1;
    second = (second + align - 1) / align * align;
    AudioBufferDesc desc{0x180E2, second, format};
    // A buffer the device refuses fails this one load; the program goes on.
    if (CreateSlotBuffer(&r->slots[0], &desc) != 0) {
      return WriteLog("ストリーム風サウンドバッファの作成に失敗しました\n");
    }
    r->bufferCount = 1;
  }
  r->kind = mode;
  if (mode == 1) ListAdd(&g_streamSoundList, &r->node, handle, r);
  return 0;
}

int GetSoundTotalSamples(int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->kind == kMemorySound) return r->format.blockAlign ? static_cast<int>(r->pcmSize / r->format.blockAlign) : 0;
  if (r->kind == kStreamSound) return GetStreamSoundTotalSamples(r);
  return 0;
}

namespace {
int SamplesToMs(int64_t samples, uint32_t rate) {
  return rate == 0 ? 0 : static_cast<int>(samples * 1000 / rate);
}
}  // namespace

int GetSoundTotalTime(int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  return SamplesToMs(GetSoundTotalSamples(handle), r->format.samplesPerSec);
}

int GetSoundCurrentTime(int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->kind == kStreamSound) return GetStreamSoundCurrentTime(handle);
  uint32_t cursor = 0;
  if (r->currentBuffer >= 0 && r->currentBuffer < kMaxSoundBuffers) {
    GetSlotBufferPosition(&r->slots[r->currentBuffer], &cursor, nullptr);
  }
  if (r->format.blockAlign == 0) return 0;
  return SamplesToMs(cursor / r->format.blockAlign, r->format.samplesPerSec);
}
