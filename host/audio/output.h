#pragma once
// Where the mixed audio goes: SDL2's audio device, or a manual clock that tests step.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class AudioMixer;

constexpr uint32_t kOutputRate = 44100;

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Starts pulling mixed audio from `mixer`; kAudioOk or kAudioErrDeviceFailed.
  virtual int Start(AudioMixer* mixer) = 0;
  virtual void Stop() = 0;
};

std::unique_ptr<AudioOutput> MakeSdlAudioOutput();

// The test output: nothing plays until Advance is called; what was mixed is kept.
class ManualAudioOutput : public AudioOutput {
 public:
  int Start(AudioMixer* mixer) override;
  void Stop() override;

  // Mixes exactly `frames` output frames (44100 per second).
  void Advance(int64_t frames);
  void AdvanceMs(int ms) { Advance(static_cast<int64_t>(ms) * kOutputRate / 1000); }
  // Interleaved stereo samples mixed so far (since the last take).
  std::vector<int16_t> TakeCaptured();
  int64_t framesMixed() const { return framesMixed_.load(); }
  // The source bytes a buffer has played, in play order.
  std::vector<uint8_t> PlayedBytes(uint32_t bufferId);
  // The next `count` buffer creations on the device fail.
  void FailNextBufferCreations(int count) { failBufferCreations_.store(count); }
  bool ConsumeBufferCreationFailure();
  // The next `count` buffer locks fail.
  void FailNextLocks(int count);
  // Recording of played bytes is on from the start; a benchmark turns it off.
  void SetRecording(bool on);

 private:
  AudioMixer* mixer_ = nullptr;
  std::mutex captureMutex_;
  std::vector<int16_t> captured_;
  std::atomic<int64_t> framesMixed_{0};
  std::atomic<int> failBufferCreations_{0};
};

// Test control. With the manual output chosen, every device initialised afterwards
// uses a ManualAudioOutput, reachable through CurrentManualAudioOutput while it lives.
void UseManualAudioOutput(bool on);
ManualAudioOutput* CurrentManualAudioOutput();
// The next AudioDevice::Create returns null.
void FailNextAudioDeviceCreation();
