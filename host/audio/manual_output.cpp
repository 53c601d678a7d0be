#include <algorithm>

#include "host/audio/audio.h"
#include "host/audio/mixer.h"
#include "host/audio/output.h"

int ManualAudioOutput::Start(AudioMixer* mixer) {
  mixer_ = mixer;
  mixer_->SetRecording(true);
  return kAudioOk;
}

void ManualAudioOutput::Stop() { mixer_ = nullptr; }

void ManualAudioOutput::Advance(int64_t frames) {
  if (!mixer_) return;
  constexpr int kChunk = 1024;
  int16_t chunk[kChunk * 2];
  while (frames > 0) {
    int n = static_cast<int>(std::min<int64_t>(frames, kChunk));
    mixer_->Mix(chunk, n);
    {
      std::lock_guard<std::mutex> lock(captureMutex_);
      captured_.insert(captured_.end(), chunk, chunk + n * 2);
    }
    framesMixed_.fetch_add(n);
    frames -= n;
  }
}

std::vector<int16_t> ManualAudioOutput::TakeCaptured() {
  std::lock_guard<std::mutex> lock(captureMutex_);
  std::vector<int16_t> out;
  out.swap(captured_);
  return out;
}

std::vector<uint8_t> ManualAudioOutput::PlayedBytes(uint32_t bufferId) {
  return mixer_ ? mixer_->PlayedBytes(bufferId) : std::vector<uint8_t>{};
}

bool ManualAudioOutput::ConsumeBufferCreationFailure() {
  int n = failBufferCreations_.load();
  while (n > 0) {
    if (failBufferCreations_.compare_exchange_weak(n, n - 1)) return true;
  }
  return false;
}

void ManualAudioOutput::SetRecording(bool on) {
  if (mixer_) mixer_->SetRecording(on);
}

void ManualAudioOutput::FailNextLocks(int count) {
  if (mixer_) mixer_->FailNextLocks(count);
}
