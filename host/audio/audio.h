#pragma once
// The audio device the sound layer plays through: a device object that makes buffer
// objects, shaped after the operations the sound layer calls. Secondary buffers hold
// 8-bit unsigned or 16-bit signed PCM (1 or 2 channels, 100 to 200000 Hz) and are
// mixed in software into the output (SDL2, or a manual clock for tests).
// Every operation returns 0 on success and a negative code on failure.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/audio/wave_format.h"

constexpr int kAudioOk = 0;
constexpr int kAudioErrInvalidParam = -1;
constexpr int kAudioErrBadFormat = -2;
constexpr int kAudioErrOutOfMemory = -3;
constexpr int kAudioErrUnsupported = -4;
constexpr int kAudioErrNotInitialized = -5;
constexpr int kAudioErrDeviceFailed = -6;

// Buffer description flags.
constexpr uint32_t kBufferPrimary = 0x1;
constexpr uint32_t kBufferStatic = 0x2;
constexpr uint32_t kBufferLocSoftware = 0x8;
constexpr uint32_t kBufferCtrlFrequency = 0x20;
constexpr uint32_t kBufferCtrlPan = 0x40;
constexpr uint32_t kBufferCtrlVolume = 0x80;
constexpr uint32_t kBufferGlobalFocus = 0x8000;
constexpr uint32_t kBufferGetCurrentPosition2 = 0x10000;

// Status bits.
constexpr uint32_t kStatusPlaying = 0x1;
constexpr uint32_t kStatusLooping = 0x4;

// Play flag.
constexpr uint32_t kPlayLooping = 0x1;

constexpr int kVolumeMin = -10000;  // hundredths of a decibel; silent
constexpr int kVolumeMax = 0;
constexpr int kPanLeft = -10000;
constexpr int kPanRight = 10000;
constexpr uint32_t kFrequencyMin = 100;
constexpr uint32_t kFrequencyMax = 200000;
constexpr uint32_t kFrequencyOriginal = 0;

struct AudioBufferDesc {
  uint32_t flags = 0;
  uint32_t bufferBytes = 0;             // 0 for the primary buffer
  const WaveFormatEx* format = nullptr;  // null for the primary buffer
};

// Capability flags and figures of the device.
constexpr uint32_t kCapsPrimaryMono = 0x1;
constexpr uint32_t kCapsPrimaryStereo = 0x2;
constexpr uint32_t kCapsPrimary8Bit = 0x4;
constexpr uint32_t kCapsPrimary16Bit = 0x8;
constexpr uint32_t kCapsSecondaryMono = 0x100;
constexpr uint32_t kCapsSecondaryStereo = 0x200;
constexpr uint32_t kCapsSecondary8Bit = 0x400;
constexpr uint32_t kCapsSecondary16Bit = 0x800;

struct AudioCaps {
  uint32_t flags = 0;
  uint32_t minSecondarySampleRate = 0;
  uint32_t maxSecondarySampleRate = 0;
  uint32_t totalHwMemBytes = 0;
  uint32_t freeHwMemBytes = 0;
};

class AudioMixer;
class AudioOutput;
struct AudioBufferState;

class AudioBuffer {
 public:
  int SetFormat(const WaveFormatEx* format);  // primary buffer only
  // Lock returns up to two regions (the second when the range wraps past the end).
  // The regions are a staging copy; Unlock writes them back under the mixer's lock.
  int Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
           uint32_t* size2, uint32_t flags);
  int Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2);
  int Play(uint32_t reserved1, uint32_t priority, uint32_t flags);
  int Stop();  // keeps the play cursor
  int GetStatus(uint32_t* status) const;
  int GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) const;
  int SetCurrentPosition(uint32_t playCursor);
  int SetVolume(int volume);
  int GetVolume(int* volume) const;
  int SetPan(int pan);
  int SetFrequency(uint32_t hertz);  // 0: the buffer's own rate
  // Drops this object; the shared memory lives while a duplicate still uses it.
  void Release();

  // Serial id, unique over the process; the manual output records played bytes by it.
  uint32_t id() const;

 private:
  friend class AudioDevice;
  friend class AudioMixer;
  AudioBuffer(AudioMixer* mixer, std::unique_ptr<AudioBufferState> state);
  ~AudioBuffer();
  AudioMixer* mixer_;
  std::unique_ptr<AudioBufferState> state_;
  std::vector<uint8_t> staging_;
  uint32_t lockedOffset_ = 0;
  bool locked_ = false;
};

class AudioDevice {
 public:
  // Makes the device object (not yet connected to an output); null when creation is
  // told to fail (tests) or memory runs out.
  static AudioDevice* Create();

  // Opens the output: SDL2 audio at 44100 Hz 16-bit stereo, or the manual-clock
  // output when the tests asked for it. kAudioErrDeviceFailed when it cannot open.
  int Initialize(const void* deviceGuid);
  int SetCooperativeLevel(uintptr_t window, int level);  // accepted, no effect
  int CreateSoundBuffer(const AudioBufferDesc* desc, AudioBuffer** out);
  int DuplicateSoundBuffer(AudioBuffer* original, AudioBuffer** out);
  int GetCaps(AudioCaps* caps) const;
  // A second owner (the movie renderer playing through the sound system's device);
  // the output closes at the last Release.
  void AddRef();
  void Release();

 private:
  AudioDevice();
  ~AudioDevice();
  std::atomic<int32_t> refs_{1};
  std::unique_ptr<AudioMixer> mixer_;
  std::unique_ptr<AudioOutput> output_;
  bool initialized_ = false;
};

using AudioEnumCallback = int (*)(const void* guid, const char* description, const char* module,
                                  void* context);
// Lists the output devices for the log: the default device only. Stops when the
// callback returns 0.
int EnumerateAudioDevices(AudioEnumCallback callback, void* context);

// Sleeps for `ms` milliseconds; under the manual-clock output it advances that clock
// by the same time instead, so that waits on playing sounds finish without real time,
// and returns true.
bool AudioWaitMs(int ms);
