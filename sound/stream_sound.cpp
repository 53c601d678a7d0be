// Stream sounds and their refill thread.
#include "host/kernel/sync.h"
#include "sound/sound_internal.h"
#include "sound/sound_system.h"

namespace {
Event g_refillWake(false, false);
}

void WakeStreamSoundThread() { g_refillWake.Set(); }

int AddStreamSoundFile(const char*, int, int, int, int) { return -1; }
int AddStreamSoundMemory(const void*, int, int, int, int, int) { return -1; }
int StartStreamRefill(int) { return -1; }
int PlayStreamSound(int, int, int) { return -1; }
int IsStreamSoundPlaying(int) { return -1; }
int StopStreamSound(int) { return -1; }
int GetStreamSoundCurrentTime(int) { return -1; }
int GetStreamSoundTotalSamples(SoundRecord*) { return 0; }
int ReleaseStreamSound(int, SoundRecord*) { return 0; }

void ProcessStreamSounds() {}

uint32_t StreamSoundThreadProc(void*) {
  while (g_refillThreadState.load() == 0) {
    {
      CriticalSectionGuard lock(g_soundLock);
      ProcessStreamSounds();
    }
    WaitForObject(&g_refillWake, 30);
  }
  g_refillThreadState.store(2);
  return 0;
}
