#include "host/mci/mci.h"

#include <wildmidi_lib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/audio/audio.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrameBytes = 4;
constexpr uint32_t kVoiceBytes = kRate * kFrameBytes;  // one second
constexpr int64_t kLeadFrames = kRate / 2;             // rendered ahead of the cursor

struct Sequencer {
  std::vector<uint8_t> file;
  int64_t lengthFrames = 0;
  midi* renderer = nullptr;
  AudioBuffer* voice = nullptr;
  bool playing = false;
  bool notify = false;
  uintptr_t notifyWindow = 0;
  int64_t written = 0;  // frames
  int64_t played = 0;
  uint32_t lastCursor = 0;
  uint32_t writeOffset = 0;
};

struct State {
  std::mutex mutex;
  std::condition_variable wake;
  std::map<uint32_t, std::unique_ptr<Sequencer>> devices;
  uint32_t nextId = 1;
  AudioDevice* device = nullptr;
  void (*post)(uintptr_t, unsigned, uintptr_t, intptr_t) = nullptr;
  int patches = -1;  // -1 not tried, 0 none found, 1 loaded
  std::thread feeder;
  bool feederRunning = false;
  bool quit = false;
  ~State() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      quit = true;
    }
    wake.notify_all();
    if (feeder.joinable()) feeder.join();
    if (patches == 1) WildMidi_Shutdown();
  }
};

State& S() {
  static State state;
  return state;
}

bool LoadPatchesLocked(State& s) {
  if (s.patches < 0) {
    const char* configs[] = {"/etc/wildmidi/wildmidi.cfg", "/etc/timidity/freepats.cfg"};
    s.patches = 0;
    for (const char* cfg : configs) {
      if (FILE* f = std::fopen(cfg, "r")) {
        std::fclose(f);
        if (WildMidi_Init(cfg, kRate, 0) == 0) {
          s.patches = 1;
          break;
        }
      }
    }
  }
  return s.patches == 1;
}

void ReleaseLocked(Sequencer& q) {
  if (q.voice) {
    q.voice->Stop();
    q.voice->Release();
    q.voice = nullptr;
  }
  if (q.renderer) {
    WildMidi_Close(q.renderer);
    q.renderer = nullptr;
  }
}

// Renders `frames` frames at the write offset: the music while it lasts, then silence.
void WriteAheadLocked(Sequencer& q, int64_t frames) {
  std::vector<uint8_t> pcm(static_cast<size_t>(frames) * kFrameBytes, 0);
  int64_t musical = std::clamp<int64_t>(q.lengthFrames - q.written, 0, frames);
  if (q.renderer != nullptr && musical > 0) {
    size_t done = 0;
    const size_t want = static_cast<size_t>(musical) * kFrameBytes;
    while (done < want) {
      int got = WildMidi_GetOutput(q.renderer, reinterpret_cast<int8_t*>(pcm.data() + done),
                                   static_cast<uint32_t>(want - done));
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
  }
  if (q.voice != nullptr) {
    void *r1, *r2;
    uint32_t n1, n2;
    if (q.voice->Lock(q.writeOffset, static_cast<uint32_t>(pcm.size()), &r1, &n1, &r2, &n2, 0) == kAudioOk) {
      std::memcpy(r1, pcm.data(), n1);
      if (r2) std::memcpy(r2, pcm.data() + n1, n2);
      q.voice->Unlock(r1, n1, r2, n2);
    }
  }
  q.writeOffset = static_cast<uint32_t>((q.writeOffset + pcm.size()) % kVoiceBytes);
  q.written += frames;
}

void ProcessLocked(State& s) {
  for (auto& [id, q] : s.devices) {
    if (!q->playing) continue;
    if (q->voice != nullptr) {
      uint32_t cursor = 0;
      q->voice->GetCurrentPosition(&cursor, nullptr);
      q->played += ((cursor + kVoiceBytes - q->lastCursor) % kVoiceBytes) / kFrameBytes;
      q->lastCursor = cursor;
    } else {
      q->played = q->lengthFrames;  // nothing to play through: the end is reached
    }
    if (q->played >= q->lengthFrames) {
      if (q->voice) q->voice->Stop();
      q->playing = false;
      if (q->notify && s.post) s.post(q->notifyWindow, kMciNotifyMessage, kMciNotifySuccessful, id);
      continue;
    }
    while (q->written - q->played < kLeadFrames) WriteAheadLocked(*q, std::min<int64_t>(4096, kLeadFrames - (q->written - q->played)));
  }
}

void EnsureFeederLocked(State& s) {
  if (s.feederRunning) return;
  if (s.feeder.joinable()) s.feeder.join();  // ended by itself; it holds no lock now
  s.feederRunning = true;
  s.feeder = std::thread([&s] {
    std::unique_lock<std::mutex> lock(s.mutex);
    while (!s.quit && !s.devices.empty()) {
      ProcessLocked(s);
      s.wake.wait_for(lock, std::chrono::milliseconds(20));
    }
    s.feederRunning = false;
  });
}

int Open(State& s, uint32_t flags, MciOpenParams* p) {
  if (!(flags & kMciOpenType) || !(flags & kMciOpenElement) || p->deviceType == nullptr ||
      std::strcmp(p->deviceType, "sequencer") != 0 || p->elementName == nullptr) {
    return kMciErrInvalidDevice;
  }
  FILE* f = std::fopen(p->elementName, "rb");
  if (!f) return kMciErrFileNotFound;
  auto q = std::make_unique<Sequencer>();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) q->file.insert(q->file.end(), buf, buf + n);
  std::fclose(f);
  int64_t us = MidiFileLengthUs(q->file.data(), q->file.size());
  if (us < 0) return kMciErrInvalidFile;
  q->lengthFrames = (us * kRate + 999999) / 1000000;
  if (LoadPatchesLocked(s)) {
    q->renderer = WildMidi_OpenBuffer(q->file.data(), static_cast<uint32_t>(q->file.size()));
  }
  if (s.device != nullptr) {
    WaveFormatEx fmt{kWaveFormatPcm, 2, kRate, kVoiceBytes, kFrameBytes, 16, 0};
    AudioBufferDesc desc{0x180E2, kVoiceBytes, &fmt};
    if (s.device->CreateSoundBuffer(&desc, &q->voice) != kAudioOk) {
      ReleaseLocked(*q);
      return kMciErrHardware;
    }
  }
  p->deviceId = s.nextId++;
  s.devices[p->deviceId] = std::move(q);
  EnsureFeederLocked(s);
  return 0;
}

int Play(State& s, Sequencer& q, uint32_t flags, MciPlayParams* p) {
  bool fromStart = (flags & kMciFrom) && p != nullptr && p->from == 0;
  if (fromStart || q.played >= q.lengthFrames) {
    if (q.renderer) {
      unsigned long zero = 0;
      WildMidi_FastSeek(q.renderer, &zero);
    }
    q.written = q.played = 0;
    q.lastCursor = q.writeOffset = 0;
    if (q.voice) {
      q.voice->Stop();
      q.voice->SetCurrentPosition(0);
    }
  }
  q.notify = (flags & kMciNotify) != 0;
  q.notifyWindow = p != nullptr ? p->callback : 0;
  q.playing = true;
  while (q.written - q.played < kLeadFrames) WriteAheadLocked(q, 4096);
  if (q.voice) q.voice->Play(0, 0, kPlayLooping);
  s.wake.notify_all();
  return 0;
}

}  // namespace

int MciSendCommand(uint32_t deviceId, uint32_t command, uint32_t flags, void* params) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (command == kMciOpen) {
    return params ? Open(s, flags, static_cast<MciOpenParams*>(params)) : kMciErrInvalidDevice;
  }
  auto it = s.devices.find(deviceId);
  if (it == s.devices.end()) return kMciErrInvalidDevice;
  Sequencer& q = *it->second;
  switch (command) {
    case kMciStatus: {
      auto* p = static_cast<MciStatusParams*>(params);
      if (!p || !(flags & kMciStatusItem) || p->item != kMciSeqStatusPort) return kMciErrUnrecognizedCommand;
      p->returnValue = kMidiMapper;
      return 0;
    }
    case kMciPlay:
      return Play(s, q, flags, static_cast<MciPlayParams*>(params));
    case kMciClose:
      // A close ends the play without a notify.
      ReleaseLocked(q);
      s.devices.erase(it);
      return 0;
    default:
      return kMciErrUnrecognizedCommand;
  }
}

void MciSetNotifyPoster(void (*post)(uintptr_t, unsigned, uintptr_t, intptr_t)) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.post = post;
}

void MciSetAudioDevice(AudioDevice* device) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (device == nullptr) {
    for (auto& [id, q] : s.devices) ReleaseLocked(*q);
    s.devices.clear();
  }
  s.device = device;
}

void MciProcess() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  ProcessLocked(s);
}
