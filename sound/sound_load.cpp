// Turning a sound file into a sound handle.
#include <cstring>

#include "platform/alloc.h"
#include "platform/log.h"
#include "platform/stream.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {
constexpr uint32_t kMemorySoundSecondsLimit = 180;
}

int SetSoundCreateMode(int mode) {
  if (static_cast<unsigned>(mode) > 3) return -1;
  g_soundCreateMode = mode == 1 ? 0 : mode;
  return 0;
}

int GetSoundCreateMode() { return g_soundCreateMode; }

int SetSoundDecoderMask(int mask) {
  g_soundDecoderMask = mask;
  return 0;
}

int GetSoundDecoderMask() { return g_soundDecoderMask; }

int LoadSoundFile(const char* fileName, int bufferCount, int sharedStreamHandle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  if (bufferCount > kMaxSoundBuffers) bufferCount = kMaxSoundBuffers;
  if (g_soundCreateMode != 0) {
    int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    if (AddStreamSoundFile(fileName, 0, handle, g_soundCreateMode, sharedStreamHandle) == -1) {
      DeleteSoundHandle(handle);
      return -1;
    }
    StartStreamRefill(handle);
    return handle;
  }
  uint8_t* image = nullptr;
  uint32_t size = 0;
  if (ReadWholeFile(fileName, &image, &size) != 0) {
    TrackedFree(image);
    return WriteLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", fileName);
  }
  int handle = LoadSoundData(image, static_cast<int>(size), bufferCount, -1);
  if (handle == -1) WriteLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", fileName);
  TrackedFree(image);
  return handle;
}

int LoadSoundFileEntry(const char* fileName, int bufferCount, int sharedStreamHandle) {
  return LoadSoundFile(fileName, bufferCount, sharedStreamHandle);
}

int LoadSoundData(const void* image, int size, int bufferCount, int sharedStreamHandle) {
  if (g_soundDevice == nullptr || bufferCount > kMaxSoundBuffers) return -1;
  CriticalSectionGuard lock(g_soundLock);
  int handle = AddSoundData(-1);
  if (handle == -1) return -1;
  SoundRecord* r = GetSoundRecord(handle);

  const int savedMode = g_soundCreateMode;
  StreamHandle stream = 0;
  SoundConverter converter{};
  bool converterOpen = false;
  uint8_t* pcm = nullptr;
  auto failure = [&]() {
    TrackedFree(pcm);
    DeleteSoundHandle(handle);
    if (converterOpen) CloseSoundConverter(&converter);
    if (stream != 0) BufferStreamClose(stream);
    g_soundCreateMode = savedMode;
    return -1;
  };

  if (g_soundCreateMode == 0) {
    stream = BufferStreamOpen(image, size < 0 ? 0 : static_cast<size_t>(size));
    SoundStream source{*GetBufferStreamFunctions(), stream};
    if (stream == 0 || OpenSoundConverter(&source, &converter) != 0) {
      WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
      return failure();
    }
    converterOpen = true;
    uint32_t pcmSize = 0;
    WaveFormatEx format{};
    if (DecodeSoundConverterToMemory(&converter, &pcm, &pcmSize, &format) != 0) {
      WriteLogFormat("音声ファイルを格納するメモリ領域の確保に失敗しました");
      return failure();
    }
    CloseSoundConverter(&converter);
    converterOpen = false;
    BufferStreamClose(stream);
    stream = 0;

    if (pcmSize / format.avgBytesPerSec > kMemorySoundSecondsLimit ||
        CreateSoundBuffers(-1, &format, pcmSize, 0, bufferCount, handle) != 0) {
      TrackedFree(pcm);
      pcm = nullptr;
      g_soundCreateMode = 2;
    } else {
      r->frequency = static_cast<int>(format.samplesPerSec);
      int* count = static_cast<int*>(TrackedAlloc(sizeof(int), "", 0));
      if (count == nullptr) {
        WriteLogFormat("サウンドデータの参照数を保存するメモリ領域の確保に失敗しました");
        return failure();
      }
      r->format = format;
      r->pcmData = pcm;
      r->pcmSize = pcmSize;
      r->pcmRefCount = count;
      *count = 1;
      pcm = nullptr;  // the record holds it now
      for (int i = 0; i < r->bufferCount; ++i) {
        void *r1 = nullptr, *r2 = nullptr;
        uint32_t n1 = 0, n2 = 0;
        if (LockSlotBuffer(&r->slots[i], 0, r->pcmSize, &r1, &n1, &r2, &n2) != 0) {
          WriteLogFormat("サウンドデータの転送に失敗しました_1");
          return failure();
        }
        std::memcpy(r1, r->pcmData, n1);
        if (r2 != nullptr) std::memcpy(r2, r->pcmData + n1, n2);
        if (UnlockSlotBuffer(&r->slots[i], r1, n1, r2, n2) != 0) {
          WriteLogFormat("サウンドデータの転送に失敗しました_2");
          return failure();
        }
      }
      return handle;
    }
  }
  if (AddStreamSoundMemory(image, size, 0, handle, g_soundCreateMode, sharedStreamHandle) == -1) {
    return failure();
  }
  StartStreamRefill(handle);
  g_soundCreateMode = savedMode;
  return handle;
}
