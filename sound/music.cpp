// Music handles, MIDI through the sequencer and the current music.
#include "sound/music.h"

#include <cstdio>
#include <cstring>

#include "host/mci/mci.h"
#include "platform/alloc.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/window.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {

struct MusicRecord {
  int checkNumber;
  int playing;
  int stopped;
  uint8_t* data;
  int size;
};

TypedHandleTable<MusicRecord> g_musicHandles(kMusicHandleType, 256);
int g_midiPlaying = 0;
int g_midiLoop = 0;
uint32_t g_midiDevice = 0;
int g_lastMidiHandle = -1;
char g_tempMidiPath[4096] = {};
int g_midiTempFileInUse = 0;
int g_currentMusic = 0;
int g_currentMusicIsSound = 0;

MusicRecord* GetMusic(int handle) {
  if (g_soundDevice == nullptr) return nullptr;
  return g_musicHandles.Get(handle);
}

void DeleteTempMidiFile() {
  if (g_tempMidiPath[0] != '\0') std::remove(g_tempMidiPath);
}

void CloseMidiDevice() { MciSendCommand(g_midiDevice, kMciClose, 0, nullptr); }

}  // namespace

int AddMusicData() {
  if (g_soundDevice == nullptr) return -1;
  if (g_musicHandles.count() >= g_musicHandles.capacity()) {
    return WriteLog("ミュージックデータの数が許容量を越えました終了します");
  }
  auto* r = static_cast<MusicRecord*>(TrackedAllocZeroed(sizeof(MusicRecord), "", 0));
  if (r == nullptr) return WriteLog("メモリ領域の確保に失敗しました in AddMusicData");
  int h = g_musicHandles.Add(r);
  if (h == -1) {
    TrackedFree(r);
    return -1;
  }
  r->checkNumber = h & (kHandleCheckMask << kHandleCheckShift);
  return h;
}

int CreateMusicFromMemory(const void* image, int size) {
  int h = AddMusicData();
  if (h == -1) return -1;
  MusicRecord* r = GetMusic(h);
  r->data = static_cast<uint8_t*>(TrackedAlloc(size > 0 ? static_cast<size_t>(size) : 1, "", 0));
  if (r->data == nullptr) {
    WriteLog("ミュージックデータを一時的に保存しておくメモリ領域の確保に失敗しました\n");
    DeleteMusicHandle(h);
    return -1;
  }
  if (size > 0) std::memcpy(r->data, image, static_cast<size_t>(size));
  r->size = size;
  r->playing = 0;
  return h;
}

int LoadMusicMem(const char* fileName) {
  FileHandle f = OpenFileViaTable(fileName, 0, 1, 0);
  if (f == 0) return WriteLogFormat("ミュージックファイル %s の読み込みに失敗しました in LoadMusicMem", fileName);
  SeekFileViaTable(f, 0, 2);
  int64_t size = TellFileViaTable(f);
  SeekFileViaTable(f, 0, 0);
  void* block = size >= 0 && size < 0x7FFFFFFF ? TrackedAlloc(static_cast<size_t>(size) + 1, "", 0) : nullptr;
  if (block == nullptr) {
    CloseFileViaTable(f);
    return WriteLogFormat("ミュージックファイル %s を読み込むメモリ領域の確保に失敗しました in LoadMusicMem", fileName);
  }
  size_t got = ReadFileViaTable(block, 1, static_cast<size_t>(size), f);
  CloseFileViaTable(f);
  int h = CreateMusicFromMemory(block, static_cast<int>(got));
  TrackedFree(block);
  return h;
}

int PlayMusicHandle(int handle, int playType) {
  MusicRecord* r = GetMusic(handle);
  if (r == nullptr) return -1;
  StopMusicHandle(g_lastMidiHandle);
  DeleteTempMidiFile();
  FILE* temp = CreateTempFile(g_tempMidiPath);
  if (temp == nullptr) return -1;
  std::fwrite(r->data, 1, static_cast<size_t>(r->size), temp);
  std::fclose(temp);

  MciOpenParams open{0, 0, "sequencer", g_tempMidiPath};
  if (MciSendCommand(0, kMciOpen, kMciOpenType | kMciOpenElement, &open) != 0) {
    DeleteTempMidiFile();
    return -1;
  }
  g_midiDevice = open.deviceId;
  MciStatusParams status{0, 0, kMciSeqStatusPort};
  if (MciSendCommand(g_midiDevice, kMciStatus, kMciStatusItem, &status) != 0) {
    CloseMidiDevice();
    WriteLog("ＭＩＤＩ演奏開始処理でエラーが起きました１\n");
    DeleteTempMidiFile();
    return -1;
  }
  if ((status.returnValue & 0xFFFF) != kMidiMapper) {
    CloseMidiDevice();
    return WriteLog("ＭＩＤＩ演奏開始処理でエラーが起きました２\n");
  }
  MciPlayParams play{GetMainWindow(), 0, 0};
  if (MciSendCommand(g_midiDevice, kMciPlay, kMciNotify, &play) != 0) {
    CloseMidiDevice();
    return WriteLog("ＭＩＤＩ演奏に失敗しました\n");
  }
  g_midiTempFileInUse = 1;
  g_midiPlaying = 1;
  g_lastMidiHandle = handle;
  g_midiLoop = playType == 3 ? 1 : 0;
  r->playing = 1;
  r->stopped = 0;
  if (playType != 0) return 0;
  int quit = PumpWindowMessages();
  while (quit == 0 && GetMusicHandleState(handle) == 1) {
    AudioWaitMs(1);
    MciProcess();
    quit = PumpWindowMessages();
  }
  if (g_midiTempFileInUse) DeleteTempMidiFile();
  g_midiTempFileInUse = 0;
  return 0;
}

int OnMciMusicNotify() {
  if (g_midiLoop == 1) {
    MciPlayParams play{GetMainWindow(), 0, 0};
    MciSendCommand(g_midiDevice, kMciPlay, kMciNotify | kMciFrom, &play);
    g_midiPlaying = 1;
  } else if (g_midiPlaying == 1) {
    CloseMidiDevice();
    g_midiPlaying = 0;
  }
  return 0;
}

int StopMusicHandle(int handle) {
  MusicRecord* r = GetMusic(handle);
  if (r == nullptr) return -1;
  g_midiLoop = 0;
  OnMciMusicNotify();
  for (int i = 0; i < 5; ++i) PumpWindowMessages();
  if (g_midiTempFileInUse) {
    DeleteTempMidiFile();
    g_midiTempFileInUse = 0;
  }
  r->playing = 0;
  r->stopped = 0;
  return 0;
}

int GetMusicHandleState(int handle) { return GetMusic(handle) != nullptr ? g_midiPlaying : -1; }

int DeleteMusicHandle(int handle) {
  MusicRecord* r = GetMusic(handle);
  if (r == nullptr) return -1;
  if (GetMusicHandleState(handle) == 1) StopMusicHandle(handle);
  if (r->data != nullptr) {
    std::memset(r->data, 0, static_cast<size_t>(r->size));
    TrackedFree(r->data);
  }
  g_musicHandles.Remove(handle);
  TrackedFree(r);
  return 0;
}

int DeleteAllMusicHandles() {
  for (int slot = 0; slot < g_musicHandles.capacity(); ++slot) {
    int h = g_musicHandles.HandleAt(slot);
    if (h != -1) DeleteMusicHandle(h);
  }
  return 0;
}

int PlayMusicFile(const char* fileName, int playType) {
  if (g_currentMusic != 0) {
    if (g_currentMusicIsSound) DeleteSoundHandle(g_currentMusic);
    else DeleteMusicHandle(g_currentMusic);
    g_currentMusic = 0;
  }
  int music = LoadMusicMem(fileName);
  if (music == -1) return -1;
  g_currentMusic = music;
  g_currentMusicIsSound = 0;
  if (PlayMusicHandle(music, playType) == 0) return 0;
  DeleteMusicHandle(music);
  g_currentMusic = 0;
  int oldMode = g_soundCreateMode;
  g_soundCreateMode = 2;
  int sound = LoadSoundFile(fileName, 1, -1);
  g_soundCreateMode = oldMode;
  if (sound == -1) return -1;
  PlaySoundHandle(sound, playType, 1);
  g_currentMusic = sound;
  g_currentMusicIsSound = 1;
  return 0;
}

int StopCurrentMusic() {
  if (g_currentMusic == 0) return 0;
  if (g_currentMusicIsSound) {
    StopSoundHandle(g_currentMusic);
    DeleteSoundHandle(g_currentMusic);
  } else {
    StopMusicHandle(g_currentMusic);
    DeleteMusicHandle(g_currentMusic);
  }
  g_currentMusic = 0;
  return 0;
}

int SetMusicVolume(int volume) {
  if (g_soundDevice == nullptr) return -1;
  if (g_currentMusic != 0 && g_currentMusicIsSound) SetSoundHandleVolume(volume, g_currentMusic);
  return 0;
}

int ProcessMusicStates() { return 0; }

int GetCurrentMusic(int* isSound) {
  if (isSound) *isSound = g_currentMusicIsSound;
  return g_currentMusic;
}

void EndMusicSystem() {
  DeleteAllMusicHandles();
  DeleteTempMidiFile();
  g_currentMusic = 0;
}
