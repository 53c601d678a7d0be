#pragma once
// The software mixer behind the audio device: every playing secondary buffer is
// resampled to the output rate with linear interpolation, scaled by its volume and pan
// gains, summed in 32 bits and brought to 16-bit stereo through a soft limiter. A voice
// cut while it sounds (stopped, restarted, moved or released) fades out over a few
// milliseconds instead of jumping to silence; a voice that plays to its end is untouched.
#include <cstdint>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "host/audio/wave_format.h"

class AudioBuffer;

struct AudioBufferState {
  uint32_t id = 0;
  uint32_t flags = 0;
  bool primary = false;
  WaveFormatEx format{};
  uint32_t bytes = 0;
  uint32_t frames = 0;
  std::shared_ptr<std::vector<uint8_t>> memory;  // shared by duplicates
  bool playing = false;
  bool looping = false;
  uint64_t position = 0;  // 32.32 fixed point, in frames
  int volume = 0;
  int pan = 0;
  uint32_t frequency = 0;  // 0 = the format's rate
  int32_t gainLeft = 65536;  // Q16
  int32_t gainRight = 65536;
};

class AudioMixer {
 public:
  explicit AudioMixer(uint32_t outputRate) : outputRate_(outputRate) {}
  uint32_t outputRate() const { return outputRate_; }

  std::mutex& mutex() { return mutex_; }
  // The calls below that take `Locked` expect mutex() held by the caller.
  void AddLocked(AudioBuffer* buffer);
  void RemoveLocked(AudioBuffer* buffer);
  static void UpdateGainsLocked(AudioBufferState& state);
  // Keeps what `state` would have played next, faded out over kFadeFrames output
  // frames; called just before a sounding voice is cut.
  void FadeOutLocked(const AudioBufferState& state);
  static constexpr int kFadeFrames = 220;  // 5 ms at 44.1 kHz

  // Mixes `frames` stereo frames into `out` (interleaved int16), advancing every
  // playing buffer. Takes the mutex.
  void Mix(int16_t* out, int frames);

  // The output stage: a mixed sample within +-kLimiterKnee passes unchanged; beyond it
  // the sample is bent smoothly toward kLimiterCeiling, never reaching full scale.
  static constexpr int32_t kLimiterKnee = 24576, kLimiterCeiling = 32766;
  static int16_t LimitSample(int32_t mixed);

  // With recording on, the source bytes each buffer plays are appended to a record
  // kept by buffer id (kept after the buffer is released).
  void SetRecording(bool on);
  std::vector<uint8_t> PlayedBytes(uint32_t bufferId);
  // Test control: the next `count` locks fail.
  void FailNextLocks(int count) { failLocks_.store(count); }
  bool ConsumeLockFailure() {
    int n = failLocks_.load();
    while (n > 0) {
      if (failLocks_.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
  }

 private:
  void MixBuffer(AudioBufferState& s, int32_t* acc, int frames);
  void Record(const AudioBufferState& s, uint32_t startFrame, uint64_t frameCount);
  void MixFades(int32_t* acc, int frames);

  // The last moments of a cut voice: its next source frames copied out (the buffer
  // may be refilled or freed meanwhile), played at its rate and gains under a
  // falling ramp.
  struct Fade {
    WaveFormatEx format{};
    std::vector<uint8_t> frames;
    uint64_t position = 0;  // 32.32 fixed point, in copied frames
    uint64_t step = 0;
    int32_t gainLeft = 0, gainRight = 0;
    int done = 0;  // output frames of the ramp already played
  };

  uint32_t outputRate_;
  std::mutex mutex_;
  std::vector<AudioBuffer*> buffers_;
  std::vector<int32_t> accumulator_;
  std::vector<Fade> fades_;
  bool recording_ = false;
  std::atomic<int> failLocks_{0};
  std::map<uint32_t, std::vector<uint8_t>> played_;
};
