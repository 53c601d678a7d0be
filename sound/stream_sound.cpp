// Stream sounds, their refill and the refill thread.
#include "sound/stream_sound.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "host/audio/audio.h"
#include "host/kernel/sync.h"
#include "platform/alloc.h"
#include "platform/file.h"
#include "platform/log.h"
#include "platform/window.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/sound_system.h"

namespace {

Event g_refillWake(false, false);
std::atomic<uint32_t> g_refillPasses{0};

uint32_t RoundDown(uint32_t bytes, uint32_t align) { return bytes / align * align; }
uint32_t RoundUp(uint32_t bytes, uint32_t align) { return (bytes + align - 1) / align * align; }

uint32_t Align(const SoundRecord* r) { return r->format.blockAlign != 0 ? r->format.blockAlign : 1; }
uint32_t EighthSecond(const SoundRecord* r) { return RoundDown(r->format.avgBytesPerSec / 8, Align(r)); }
uint32_t FirstFill(const SoundRecord* r) {
  return RoundDown(static_cast<uint32_t>(uint64_t{r->format.avgBytesPerSec} * 192 / 256), Align(r));
}
uint32_t SafeDistance(const SoundRecord* r) {
  return RoundUp(static_cast<uint32_t>(uint64_t{r->format.avgBytesPerSec} * 192 / 256), Align(r));
}

// Bytes from `from` forward to `to` around a buffer of `size` bytes.
uint32_t Forward(uint32_t from, uint32_t to, uint32_t size) { return (to + size - from) % size; }

SoundRecord* StreamRecord(int handle) {
  SoundRecord* r = GetSoundRecord(handle);
  return r != nullptr && r->kind == kStreamSound && r->stream != nullptr ? r : nullptr;
}

void SeekSource(StreamSource& s, uint32_t sample) { SeekSoundConverter(&s.converter, sample); }

// The offset in the buffer of the next byte a writer would put into `region`.
uint32_t NextWriteOffset(const BufferLockRegion& region) {
  if (region.firstRemaining > 0) return region.lockOffset + region.firstLength - region.firstRemaining;
  return region.secondLength - region.secondRemaining;
}

void CloseSource(StreamSource& s, bool owned) {
  CloseSoundConverter(&s.converter);
  if (s.memoryStream.handle != 0) BufferStreamClose(s.memoryStream.handle);
  s.memoryStream.handle = 0;
  if (owned && s.mode == 3) s.converter.stream.functions.close(s.converter.stream.handle);
  TrackedFree(s.fileImage);
  s.fileImage = nullptr;
}

void Rewind(StreamState* st) {
  st->passedEnd = 0;
  st->sourcePosition = 0;
  st->playedBytes = 0;
  st->loopPending = 0;
  st->repeatCount = 0;
  st->currentSource = 0;
  st->refillActive = 0;
}

}  // namespace

void WakeStreamSoundThread() { g_refillWake.Set(); }

void WaitForPlayingSound() {
  // Under the manual clock the wait itself moves the clock, far faster than the refill
  // thread's 30 ms of real time, which would leave the buffer replaying its old
  // second: the waiter then refills every 30 ms of the clock.
  static std::atomic<int> clockMs{0};
  if (AudioWaitMs(1) && clockMs.fetch_add(1) % 30 == 29) ProcessStreamSounds();
}
uint32_t StreamRefillPasses() { return g_refillPasses.load(); }

// ---- claiming, stopping, position ----

int ClaimSharedStreamBuffer(int handle, SoundRecord* r, SoundBufferSlot** slot, int takeOver) {
  *slot = &r->slots[0];
  if (r->kind != kStreamSound) return 0;
  SoundRecord* owner = r;
  if (r->stream->sharedFrom != -1) {
    owner = StreamRecord(r->stream->sharedFrom);
    if (owner == nullptr) return -1;
    *slot = &owner->slots[0];
  }
  int& user = owner->stream->currentUser;
  if (user == -1 || user == handle) {
    user = handle;
    return 0;
  }
  if (!takeOver) return -1;
  StopStreamSound(user);
  owner->stream->currentUser = handle;
  return 0;
}

int UpdateStreamPlayPosition(int handle, int64_t playCursor) {
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = StreamRecord(handle);
  if (r == nullptr) return -1;
  StreamState* st = r->stream;
  SoundBufferSlot* slot;
  if (ClaimSharedStreamBuffer(handle, r, &slot, 0) != 0 || !st->refillActive) return 0;
  uint32_t c = 0;
  if (playCursor < 0) {
    if (GetSlotBufferPosition(slot, &c, nullptr) != 0) return 0;
  } else {
    c = static_cast<uint32_t>(playCursor);
  }
  const uint32_t l = st->lastPlayCursor;
  const uint32_t size = st->bufferSize;
  if (c == l || size == 0) return 0;
  // The loop point counts as passed when it lies in (L, C] going forward, wrapped or
  // not, so a point met exactly by the cursor is not missed.
  uint32_t moved = Forward(l, c, size);
  uint32_t toLoop = Forward(l, st->loopPoint, size);
  if (st->loopPending && toLoop != 0 && toLoop <= moved) {
    st->playedBytes = static_cast<uint32_t>(st->loopResumePosition) + Forward(st->loopPoint, c, size);
    st->loopPending = 0;
  } else {
    st->playedBytes += moved;
  }
  st->lastPlayCursor = c;
  return 0;
}

int StopStreamSound(int handle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = StreamRecord(handle);
  if (r == nullptr) return -1;
  UpdateStreamPlayPosition(handle, -1);
  SoundBufferSlot* slot;
  if (ClaimSharedStreamBuffer(handle, r, &slot, 0) != 0) return 0;
  if (r->stream->sharedFrom != -1) {
    if (SoundRecord* owner = StreamRecord(r->stream->sharedFrom)) owner->stream->currentUser = -1;
  }
  uint32_t status = 0;
  if (GetSlotBufferStatus(slot, &status) != 0) return -1;
  if (status & kStatusPlaying) StopSlotBuffer(slot);
  return 0;
}

int GetStreamSoundTotalSamples(SoundRecord* r) { return r->stream ? static_cast<int>(r->stream->totalSamples) : 0; }

int GetStreamSoundCurrentTime(int handle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = StreamRecord(handle);
  if (r == nullptr) return -1;
  UpdateStreamPlayPosition(handle, -1);
  if (r->format.samplesPerSec == 0) return 0;
  int64_t ms = int64_t{r->stream->playedBytes / Align(r)} * 1000 / r->format.samplesPerSec;
  return static_cast<int>(std::min<int64_t>(ms, GetSoundTotalTime(handle)));
}

int IsStreamSoundPlaying(int handle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = StreamRecord(handle);
  if (r == nullptr) return -1;
  SoundBufferSlot* slot = &r->slots[0];
  if (r->stream->sharedFrom != -1) {
    SoundRecord* owner = StreamRecord(r->stream->sharedFrom);
    if (owner == nullptr) return 0;
    if (owner->stream->currentUser != handle && owner->stream->currentUser != -1) return 0;
    slot = &owner->slots[0];
  } else if (r->stream->currentUser != handle && r->stream->currentUser != -1) {
    return 0;
  }
  uint32_t status = 0;
  if (GetSlotBufferStatus(slot, &status) != 0) return 0;
  return (status & kStatusPlaying) ? 1 : 0;
}

// ---- adding sources ----

int AddSreamSound(const SoundStream* stream, int8_t loopCount, int handle, int mode,
                  int* streamCopied, int shareHandle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = GetSoundRecord(handle);
  if (r == nullptr) return -1;
  if (r->sourceCount > 0) {
    if (r->kind != kStreamSound || r->stream == nullptr) {
      return WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
    }
    if (IsStreamSoundPlaying(handle) == 1) {
      return WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
    }
    if (r->sourceCount >= kMaxStreamSources) {
      return WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
    }
  }
  bool fresh = r->stream == nullptr;
  if (fresh) {
    r->stream = static_cast<StreamState*>(TrackedAllocZeroed(sizeof(StreamState), "", 0));
    if (r->stream == nullptr) return WriteLog("メモリ領域の確保に失敗しました in AddSoundData");
    r->stream->sharedFrom = -1;
    r->stream->currentUser = -1;
  }
  auto failFresh = [&]() {
    if (fresh && r->sourceCount == 0) {
      TrackedFree(r->stream);
      r->stream = nullptr;
    }
    return -1;
  };
  StreamSource& s = r->stream->sources[r->sourceCount];
  std::memset(&s, 0, sizeof s);
  s.mode = static_cast<uint32_t>(mode);
  s.stopSample = -1;
  stream->functions.seek(stream->handle, 0, 0);

  auto openFromImage = [&]() {
    s.memoryStream = {*GetBufferStreamFunctions(), BufferStreamOpen(s.fileImage, s.imageSize)};
    if (s.memoryStream.handle == 0 || OpenSoundConverter(&s.memoryStream, &s.converter) != 0) {
      if (s.memoryStream.handle != 0) BufferStreamClose(s.memoryStream.handle);
      s.memoryStream.handle = 0;
      TrackedFree(s.fileImage);
      s.fileImage = nullptr;
      WriteLogFormat("音声データのオープンに失敗しました");
      return false;
    }
    *streamCopied = 1;
    return true;
  };

  if (mode == 2) {
    if (ReadWholeStream(stream, &s.fileImage, &s.imageSize) != 0) {
      WriteLogFormat("音声データの読み込みに失敗しました");
      return failFresh();
    }
    if (!openFromImage()) return failFresh();
  } else if (mode == 3) {
    if (OpenSoundConverter(stream, &s.converter) != 0) {
      WriteLogFormat("音声データのオープンに失敗しました");
      return failFresh();
    }
    *streamCopied = 0;
  } else {
    // Decoded whole and held as a PCM WAVE image.
    uint8_t* file = nullptr;
    uint32_t fileSize = 0;
    if (ReadWholeStream(stream, &file, &fileSize) != 0) {
      WriteLogFormat("音声データの読み込みに失敗しました");
      return failFresh();
    }
    SoundStream whole{*GetBufferStreamFunctions(), BufferStreamOpen(file, fileSize)};
    SoundConverter decoder{};
    uint8_t* pcm = nullptr;
    uint32_t pcmSize = 0;
    WaveFormatEx f{};
    bool ok = whole.handle != 0 && OpenSoundConverter(&whole, &decoder) == 0;
    if (ok) {
      ok = DecodeSoundConverterToMemory(&decoder, &pcm, &pcmSize, &f) == 0;
      CloseSoundConverter(&decoder);
    }
    if (whole.handle != 0) BufferStreamClose(whole.handle);
    TrackedFree(file);
    if (!ok || BuildTempWaveImage(&s.fileImage, &s.imageSize, &f, sizeof f, pcm, pcmSize) != 0) {
      TrackedFree(pcm);
      WriteLogFormat("音声データの変換に失敗しました");
      return failFresh();
    }
    TrackedFree(pcm);
    if (!openFromImage()) return failFresh();
  }

  WaveFormatEx f;
  GetSoundConverterFormat(&s.converter, &f);
  StreamState* st = r->stream;
  if (r->sourceCount > 0) {
    if (std::memcmp(&f, &r->format, sizeof f) != 0) {
      CloseSource(s, false);
      return WriteLogFormat("フォーマットの違う音声データは同時に使うことは出来ません");
    }
  } else {
    r->format = f;
    SoundRecord* share = shareHandle != -1 ? StreamRecord(shareHandle) : nullptr;
    if (share != nullptr && share != r && share->stream->sharedFrom == -1 &&
        std::memcmp(&share->format, &f, sizeof f) == 0) {
      r->kind = kStreamSound;
      r->bufferCount = 1;
      ListAdd(&g_streamSoundList, &r->node, handle, r);
      st->sharedFrom = shareHandle;
      share->stream->shareCount += 1;
      // Playing through the other's buffer: its size and rate are this sound's too.
      st->bufferSize = share->stream->bufferSize;
      r->frequency = share->frequency;
    } else {
      if (CreateSoundBuffers(-1, &f, 0, 1, 1, handle) != 0) {
        CloseSource(s, false);
        return failFresh();
      }
      st->sharedFrom = -1;
      st->bufferSize = RoundUp(f.avgBytesPerSec & 0xFFFFFF, f.blockAlign != 0 ? f.blockAlign : 1);
      r->frequency = static_cast<int>(f.samplesPerSec);
    }
    st->shareCount = 0;
    st->currentUser = -1;
    st->deletePending = 0;
  }
  s.loopCount = loopCount;
  r->sourceCount += 1;
  uint32_t total = 0;
  for (int i = 0; i < r->sourceCount; ++i) {
    total += GetSoundConverterPcmSize(&st->sources[i].converter) / Align(r);
  }
  st->totalSamples = total;
  return 0;
}

int AddStreamSoundFile(const char* fileName, int loopCount, int handle, int mode, int shareHandle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  FileHandle file = OpenFileViaTable(fileName, 0, 1, 0);
  if (file == 0) return WriteLogFormat("右記のＷＡＶファイルのロードに失敗しました：%s \n", fileName);
  SoundStream stream{*GetFileStreamFunctions(), file};
  int copied = 0;
  if (AddSreamSound(&stream, static_cast<int8_t>(loopCount), handle, mode, &copied, shareHandle) != 0) {
    CloseFileViaTable(file);
    return WriteLogFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", fileName);
  }
  if (copied) CloseFileViaTable(file);
  SoundRecord* r = GetSoundRecord(handle);
  r->stream->ownedStream[r->sourceCount - 1] = 1;
  return 0;
}

int AddStreamSoundMemory(const void* image, int size, int loopCount, int handle, int mode,
                         int shareHandle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  if (mode == 3) mode = 2;
  StreamHandle h = BufferStreamOpen(image, size < 0 ? 0 : static_cast<size_t>(size));
  if (h == 0) return WriteLogFormat("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
  SoundStream stream{*GetBufferStreamFunctions(), h};
  int copied = 0;
  if (AddSreamSound(&stream, static_cast<int8_t>(loopCount), handle, mode, &copied, shareHandle) != 0) {
    BufferStreamClose(h);
    return WriteLogFormat("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
  }
  if (copied) BufferStreamClose(h);
  SoundRecord* r = GetSoundRecord(handle);
  r->stream->ownedStream[r->sourceCount - 1] = 1;
  return 0;
}

int ReleaseStreamSound(int handle, SoundRecord* r) {
  StreamState* st = r->stream;
  if (st == nullptr) {
    ListRemove(&r->node);
    if (r->slots[0].inUse) ReleaseSlotBuffer(&r->slots[0]);
    return 0;
  }
  if (st->sharedFrom != -1) {
    SoundRecord* owner = StreamRecord(st->sharedFrom);
    if (owner != nullptr) {
      owner->stream->shareCount -= 1;
      if (owner->stream->currentUser == handle) owner->stream->currentUser = -1;
      if (owner != r && owner->stream->deletePending && owner->stream->shareCount == 0) {
        DeleteSoundHandle(st->sharedFrom);
      }
    }
  }
  if (st->shareCount != 0) {
    st->deletePending = 1;
    return 1;
  }
  ListRemove(&r->node);
  for (int i = 0; i < r->sourceCount; ++i) CloseSource(st->sources[i], st->ownedStream[i] != 0);
  if (r->slots[0].inUse) ReleaseSlotBuffer(&r->slots[0]);
  TrackedFree(st);
  r->stream = nullptr;
  return 0;
}

// ---- starting and playing ----

int StartStreamRefill(int handle) {
  if (g_soundDevice == nullptr) return -1;
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = StreamRecord(handle);
  if (r == nullptr) return -1;
  StreamState* st = r->stream;
  if (IsStreamSoundPlaying(handle) == 1) return 0;
  SoundBufferSlot* slot;
  if (ClaimSharedStreamBuffer(handle, r, &slot, 0) != 0 || st->refillActive) return 0;
  SetSlotBufferPosition(slot, 0);
  st->writeCursor = kWriteCursorBeforeFirstFill;
  st->safeLimit = -1;
  st->lastPlayCursor = 0;
  st->ending = 0;
  SeekSource(st->sources[st->currentSource], static_cast<uint32_t>(st->sourcePosition) / Align(r));
  st->refillActive = 1;
  RefillStreamSound(handle);
  return 0;
}

int PrepareStreamPlay(SoundBufferSlot** slot, int handle, SoundRecord* r, int, int restartFlag) {
  ClaimSharedStreamBuffer(handle, r, slot, 1);
  if (restartFlag == 0 && IsStreamSoundPlaying(handle) == 1) return 1;
  return 0;
}

int PlayStreamSound(int handle, int playType, int restartFlag) {
  if (g_soundDevice == nullptr) return -1;
  SoundRecord* r;
  {
    CriticalSectionGuard lock(g_soundLock);
    r = StreamRecord(handle);
    if (r == nullptr) return -1;
    StreamState* st = r->stream;
    SoundBufferSlot* slot;
    if (PrepareStreamPlay(&slot, handle, r, playType, restartFlag) == 1) return -1;
    StopStreamSound(handle);
    ClaimSharedStreamBuffer(handle, r, &slot, 1);
    if (((st->playType ^ static_cast<uint32_t>(playType)) & 2) != 0 && st->passedEnd) Rewind(st);
    if (restartFlag == 1) {
      st->passedEnd = 0;
      if (st->playedBytes != 0) Rewind(st);
    }
    st->playType = static_cast<uint32_t>(playType);
    StartStreamRefill(handle);
    // A sound that plays through another's buffer sets its own values on that buffer.
    SetSlotBufferVolume(slot, r->nextPlayVolumeSet ? r->nextPlayVolume : r->volume);
    SetSlotBufferPan(slot, r->nextPlayPanSet ? r->nextPlayPan : r->pan);
    SetSlotBufferFrequency(slot, r->nextPlayFrequencySet ? r->nextPlayFrequency : r->frequency);
    r->nextPlayVolumeSet = r->nextPlayPanSet = r->nextPlayFrequencySet = false;
    if (PlaySlotBuffer(slot, 1) != 0) return -1;
  }
  if (playType == 0) {
    int quit = PumpWindowMessages();
    while (quit == 0 && CheckSoundHandlePlaying(handle) == 1) {
      WaitForPlayingSound();
      quit = PumpWindowMessages();
    }
  }
  return 0;
}

// ---- the refill ----

void FillSoundBufferSilence(SoundRecord* r, BufferLockRegion* region, uint32_t bytes) {
  const uint8_t silence = r->format.bitsPerSample == 8 ? 0x7F : 0;
  uint32_t n = std::min(bytes, region->firstRemaining);
  std::memset(region->first + region->firstWrite, silence, n);
  region->firstWrite += n;
  region->firstRemaining -= n;
  bytes -= n;
  n = std::min(bytes, region->secondRemaining);
  if (n > 0) std::memset(region->second + region->secondWrite, silence, n);
  region->secondWrite += n;
  region->secondRemaining -= n;
}

uint32_t ReadConverterIntoRegions(BufferLockRegion* region, SoundConverter* converter, uint32_t n) {
  uint32_t total = 0;
  while (n > 0) {
    int got;
    if (region->firstRemaining > 0) {
      got = ReadSoundConverter(converter, region->first + region->firstWrite, std::min(n, region->firstRemaining));
      if (got <= 0) break;
      region->firstWrite += got;
      region->firstRemaining -= got;
    } else if (region->secondRemaining > 0) {
      got = ReadSoundConverter(converter, region->second + region->secondWrite, std::min(n, region->secondRemaining));
      if (got <= 0) break;
      region->secondWrite += got;
      region->secondRemaining -= got;
    } else {
      break;
    }
    n -= got;
    total += got;
  }
  return total;
}

int AdvanceStreamSource(SoundRecord* r, BufferLockRegion* region, uint32_t playCursor) {
  StreamState* st = r->stream;
  StreamSource& s = st->sources[st->currentSource];
  st->repeatCount += 1;
  auto jumpBack = [&](int source, uint32_t sample) {
    st->loopPending = 1;
    st->loopPoint = NextWriteOffset(*region) % st->bufferSize;
    st->sourcePosition = st->loopResumePosition = static_cast<int32_t>(Align(r) * sample);
    st->currentSource = source;
    SeekSource(st->sources[source], sample);
  };
  if (s.loopCount == -1) {
    if (!st->loopPending) jumpBack(st->currentSource, s.loopStart);
    return 0;
  }
  if (st->repeatCount > s.loopCount) {
    const bool last = st->currentSource == r->sourceCount - 1;
    if (last && st->playType == 3 && st->loopPending) return 0;
    st->repeatCount = 0;
    if (!last) {
      st->currentSource += 1;
      st->sourcePosition = 0;
      SeekSource(st->sources[st->currentSource], 0);
      return 0;
    }
    st->passedEnd = 1;
    if (st->playType == 3) {
      jumpBack(0, 0);
      return 0;
    }
    st->ending = 1;
    st->endPosition = NextWriteOffset(*region) % st->bufferSize;
    st->endPlayCursor = playCursor;
    FillSoundBufferSilence(r, region, EighthSecond(r));
    return -1;
  }
  st->sourcePosition = 0;
  SeekSource(s, 0);
  return 0;
}

int RefillStreamSound(int handle) {
  CriticalSectionGuard lock(g_soundLock);
  SoundRecord* r = StreamRecord(handle);
  if (r == nullptr) return -1;
  StreamState* st = r->stream;
  SoundBufferSlot* slot;
  if (ClaimSharedStreamBuffer(handle, r, &slot, 0) != 0 || !st->refillActive) return 0;
  const uint32_t size = st->bufferSize;
  if (size == 0 || r->format.avgBytesPerSec == 0) return -1;
  UpdateStreamPlayPosition(handle, -1);

  uint32_t n = 0;
  uint32_t lockOffset = 0;
  uint32_t c = 0;
  bool firstFill = false;
  if (st->ending) {
    GetSlotBufferPosition(slot, &c, nullptr);
    const uint32_t e = st->endPosition;
    const uint32_t p = st->endPlayCursor;
    // The end lying where the cursor stood when the ending began means nothing was
    // left to play (an empty source): that counts as passed at once.
    if ((e < c && (p < e || p > c)) || e == p) {
      StopSlotBuffer(slot);
      st->ending = 0;
      Rewind(st);
      return 0;
    }
    n = EighthSecond(r);
    lockOffset = static_cast<uint32_t>(st->writeCursor);
  } else {
    uint32_t status = 0;
    GetSlotBufferStatus(slot, &status);
    if (!(status & kStatusPlaying)) {
      if (st->writeCursor != kWriteCursorBeforeFirstFill) return 0;
      firstFill = true;
      n = FirstFill(r);
      lockOffset = 0;
      c = 0;
    } else {
      if (st->writeCursor < 0) return -1;
      n = EighthSecond(r);
      lockOffset = static_cast<uint32_t>(st->writeCursor);
      GetSlotBufferPosition(slot, &c, nullptr);
    }
  }
  if (!firstFill) {
    // Write only while the play cursor lies between the safe limit and the write
    // cursor, going forward around the buffer.
    const uint32_t safe = static_cast<uint32_t>(st->safeLimit);
    const uint32_t w = static_cast<uint32_t>(st->writeCursor);
    if (Forward(safe, c, size) > Forward(safe, w, size)) return -1;
    if (!st->ending) {
      uint64_t queued = Forward(c, w, size);
      uint64_t q = queued * 512 / r->format.avgBytesPerSec;
      if (q < 192) n = RoundDown(static_cast<uint32_t>((192 - q) * r->format.avgBytesPerSec / 512), Align(r));
    }
  }
  if (n == 0) return 0;
  n = std::min(n, size);

  BufferLockRegion region{};
  region.lockOffset = lockOffset;
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  if (LockSlotBuffer(slot, lockOffset, n, &p1, &n1, &p2, &n2) != 0) return -1;
  region.first = static_cast<uint8_t*>(p1);
  region.second = static_cast<uint8_t*>(p2);
  region.firstLength = region.firstRemaining = n1;
  region.secondLength = region.secondRemaining = p2 != nullptr ? n2 : 0;

  uint32_t left = n;
  if (st->ending) {
    FillSoundBufferSilence(r, &region, n);
    left = 0;
  } else {
    while (left > 0 && !st->ending) {
      const int current = st->currentSource;
      StreamSource& s = st->sources[current];
      uint32_t want = left;
      if (s.stopSample >= 0) {
        int64_t toStop = int64_t{s.stopSample} * Align(r) - st->sourcePosition;
        want = static_cast<uint32_t>(std::clamp<int64_t>(toStop, 0, want));
      }
      uint32_t got = want > 0 ? ReadConverterIntoRegions(&region, &s.converter, want) : 0;
      if (got == 0) {
        AdvanceStreamSource(r, &region, c);
      } else {
        left -= got;
        st->sourcePosition += static_cast<int32_t>(got);
      }
      const bool stopReached = s.stopSample >= 0 && st->sourcePosition >= int64_t{s.stopSample} * Align(r);
      if (st->currentSource == current && (s.stopSample < 0 || stopReached)) break;
    }
  }
  UnlockSlotBuffer(slot, p1, n1, p2, region.secondLength);
  const uint32_t written = n - left;
  if (firstFill) {
    st->writeCursor = static_cast<int32_t>(written % size);
    st->safeLimit = 0;
  } else {
    uint32_t w = static_cast<uint32_t>(st->writeCursor) + written;
    if (w >= size) w -= size;
    st->writeCursor = static_cast<int32_t>(w);
    int64_t safe = int64_t{w} - SafeDistance(r);
    if (safe < 0) safe += size;
    st->safeLimit = static_cast<int32_t>(safe);
  }
  return 0;
}

void ProcessStreamSounds() {
  if (g_soundDevice == nullptr) return;
  CriticalSectionGuard lock(g_soundLock);
  for (ListNode* node = g_streamSoundList.head.next; node != nullptr && node->next != nullptr;
       node = node->next) {
    auto* r = static_cast<SoundRecord*>(node->data);
    if (r->stream != nullptr && r->stream->refillActive) RefillStreamSound(node->value);
  }
  g_refillPasses.fetch_add(1);
}

uint32_t StreamSoundThreadProc(void*) {
  while (g_refillThreadState.load() == 0) {
    ProcessStreamSounds();
    WaitForObject(&g_refillWake, 30);
  }
  g_refillThreadState.store(2);
  return 0;
}
