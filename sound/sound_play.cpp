// Playing a sound handle: the next of its buffers readied and started, and a wait for
// its end when the caller asks for one.
#include "platform/window.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

int PrepareNextSoundBuffer(int restartFlag, SoundRecord* r) {
  uint32_t cursor = 0;
  if (r->currentBuffer >= 0 && r->currentBuffer < kMaxSoundBuffers &&
      r->slots[r->currentBuffer].inUse) {
    GetSlotBufferPosition(&r->slots[r->currentBuffer], &cursor, nullptr);
  }
  // With no buffers the index wraps to 0 and never leaves the slot array.
  int next = r->currentBuffer + 1;
  if (next >= r->bufferCount || next >= kMaxSoundBuffers || next < 0) next = 0;
  r->currentBuffer = next;
  SoundBufferSlot* slot = &r->slots[next];
  uint32_t status = 0;
  if (!slot->inUse || GetSlotBufferStatus(slot, &status) != 0) return -1;
  if (status & kStatusPlaying) {
    if (restartFlag == 0) return 1;
    StopSlotBuffer(slot);
  }
  SetSlotBufferPosition(slot, restartFlag == 1 ? 0 : cursor);
  SetSlotBufferVolume(slot, r->volume);
  SetSlotBufferPan(slot, r->pan);
  SetSlotBufferFrequency(slot, r->frequency);
  return 0;
}

int PlaySoundHandle(int handle, int playType, int restartFlag) {
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->kind == kStreamSound) return PlayStreamSound(handle, playType, restartFlag);
  int prepared = PrepareNextSoundBuffer(restartFlag, r);
  if (prepared == 1) return 0;
  if (PlaySlotBuffer(&r->slots[r->currentBuffer], playType == 3) != 0) return -1;
  if (playType != 0) return 0;
  int quit = PumpWindowMessages();
  while (quit == 0 && CheckSoundHandlePlaying(handle) == 1) {
    WaitForPlayingSound();
    quit = PumpWindowMessages();
  }
  return 0;
}
