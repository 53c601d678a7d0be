#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "host/audio/audio.h"
#include "host/audio/mixer.h"
#include "host/audio/output.h"

namespace {

std::atomic<uint32_t> g_nextBufferId{1};
std::atomic<bool> g_useManualOutput{false};
std::atomic<bool> g_failNextDevice{false};
std::atomic<ManualAudioOutput*> g_manualOutput{nullptr};

bool IsPlayableFormat(const WaveFormatEx& f) {
  return f.formatTag == kWaveFormatPcm && (f.channels == 1 || f.channels == 2) &&
         (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.samplesPerSec >= kFrequencyMin &&
         f.samplesPerSec <= kFrequencyMax && f.blockAlign == f.channels * f.bitsPerSample / 8;
}

}  // namespace

void UseManualAudioOutput(bool on) { g_useManualOutput.store(on); }
ManualAudioOutput* CurrentManualAudioOutput() { return g_manualOutput.load(); }
void FailNextAudioDeviceCreation() { g_failNextDevice.store(true); }

bool AudioWaitMs(int ms) {
  if (ManualAudioOutput* manual = g_manualOutput.load()) {
    manual->AdvanceMs(ms);
    return true;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return false;
}

// ---- AudioBuffer ----

AudioBuffer::AudioBuffer(AudioMixer* mixer, std::unique_ptr<AudioBufferState> state)
    : mixer_(mixer), state_(std::move(state)) {}
AudioBuffer::~AudioBuffer() = default;

uint32_t AudioBuffer::id() const { return state_->id; }

int AudioBuffer::SetFormat(const WaveFormatEx* format) {
  if (!format || !state_->primary) return kAudioErrInvalidParam;
  if (!IsPlayableFormat(*format)) return kAudioErrBadFormat;
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  state_->format = *format;
  return kAudioOk;
}

int AudioBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1,
                      void** region2, uint32_t* size2, uint32_t /*flags*/) {
  if (state_->primary || locked_ || !region1 || !size1) return kAudioErrInvalidParam;
  const uint32_t total = state_->bytes;
  if (offset >= total || bytes == 0 || bytes > total) return kAudioErrInvalidParam;
  uint32_t first = std::min(bytes, total - offset);
  uint32_t second = bytes - first;
  if (second > 0 && (!region2 || !size2)) return kAudioErrInvalidParam;
  if (mixer_->ConsumeLockFailure()) return kAudioErrInvalidParam;
  staging_.resize(bytes);
  {
    std::lock_guard<std::mutex> lock(mixer_->mutex());
    const uint8_t* mem = state_->memory->data();
    std::memcpy(staging_.data(), mem + offset, first);
    if (second) std::memcpy(staging_.data() + first, mem, second);
  }
  *region1 = staging_.data();
  *size1 = first;
  if (region2) *region2 = second ? staging_.data() + first : nullptr;
  if (size2) *size2 = second;
  lockedOffset_ = offset;
  locked_ = true;
  return kAudioOk;
}

int AudioBuffer::Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) {
  if (!locked_ || region1 != staging_.data()) return kAudioErrInvalidParam;
  const uint32_t total = state_->bytes;
  uint32_t first = std::min<uint32_t>(size1, total - lockedOffset_);
  uint32_t second = region2 ? std::min<uint32_t>(size2, static_cast<uint32_t>(staging_.size()) - first) : 0;
  if (region2 && region2 != staging_.data() + (total - lockedOffset_)) return kAudioErrInvalidParam;
  {
    std::lock_guard<std::mutex> lock(mixer_->mutex());
    uint8_t* mem = state_->memory->data();
    std::memcpy(mem + lockedOffset_, staging_.data(), first);
    if (second) std::memcpy(mem, region2, second);
  }
  locked_ = false;
  return kAudioOk;
}

int AudioBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  if (state_->primary) return kAudioOk;
  state_->playing = true;
  state_->looping = (flags & kPlayLooping) != 0;
  return kAudioOk;
}

int AudioBuffer::Stop() {
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  mixer_->FadeOutLocked(*state_);
  state_->playing = false;
  return kAudioOk;
}

int AudioBuffer::GetStatus(uint32_t* status) const {
  if (!status) return kAudioErrInvalidParam;
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  *status = (state_->playing ? kStatusPlaying : 0) |
            (state_->playing && state_->looping ? kStatusLooping : 0);
  return kAudioOk;
}

int AudioBuffer::GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) const {
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  // The mixer reads buffer memory only while it mixes, so everything from the play
  // cursor on may be written: the write cursor is the play cursor.
  uint32_t pos = static_cast<uint32_t>(state_->position >> 32) * state_->format.blockAlign;
  if (playCursor) *playCursor = pos;
  if (writeCursor) *writeCursor = pos;
  return kAudioOk;
}

int AudioBuffer::SetCurrentPosition(uint32_t playCursor) {
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  if (state_->primary || playCursor >= state_->bytes) return kAudioErrInvalidParam;
  const uint64_t position = static_cast<uint64_t>(playCursor / state_->format.blockAlign) << 32;
  if (position != state_->position) mixer_->FadeOutLocked(*state_);  // a jump while sounding
  state_->position = position;
  return kAudioOk;
}

int AudioBuffer::SetVolume(int volume) {
  if (!(state_->flags & kBufferCtrlVolume)) return kAudioErrUnsupported;
  if (volume < kVolumeMin || volume > kVolumeMax) return kAudioErrInvalidParam;
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  state_->volume = volume;
  AudioMixer::UpdateGainsLocked(*state_);
  return kAudioOk;
}

int AudioBuffer::GetVolume(int* volume) const {
  if (!volume) return kAudioErrInvalidParam;
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  *volume = state_->volume;
  return kAudioOk;
}

int AudioBuffer::SetPan(int pan) {
  if (!(state_->flags & kBufferCtrlPan)) return kAudioErrUnsupported;
  if (pan < kPanLeft || pan > kPanRight) return kAudioErrInvalidParam;
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  state_->pan = pan;
  AudioMixer::UpdateGainsLocked(*state_);
  return kAudioOk;
}

int AudioBuffer::SetFrequency(uint32_t hertz) {
  if (!(state_->flags & kBufferCtrlFrequency)) return kAudioErrUnsupported;
  if (hertz != kFrequencyOriginal && (hertz < kFrequencyMin || hertz > kFrequencyMax)) {
    return kAudioErrInvalidParam;
  }
  std::lock_guard<std::mutex> lock(mixer_->mutex());
  state_->frequency = hertz;
  return kAudioOk;
}

void AudioBuffer::Release() {
  {
    std::lock_guard<std::mutex> lock(mixer_->mutex());
    mixer_->FadeOutLocked(*state_);
    mixer_->RemoveLocked(this);
  }
  delete this;
}

// ---- AudioDevice ----

AudioDevice::AudioDevice() = default;
AudioDevice::~AudioDevice() = default;

AudioDevice* AudioDevice::Create() {
  if (g_failNextDevice.exchange(false)) return nullptr;
  return new (std::nothrow) AudioDevice();
}

int AudioDevice::Initialize(const void*) {
  if (initialized_) return kAudioErrInvalidParam;
  mixer_ = std::make_unique<AudioMixer>(kOutputRate);
  ManualAudioOutput* manual = nullptr;
  if (g_useManualOutput.load()) {
    auto out = std::make_unique<ManualAudioOutput>();
    manual = out.get();
    output_ = std::move(out);
  } else {
    output_ = MakeSdlAudioOutput();
  }
  if (output_->Start(mixer_.get()) != kAudioOk) {
    output_.reset();
    mixer_.reset();
    return kAudioErrDeviceFailed;
  }
  if (manual) g_manualOutput.store(manual);
  initialized_ = true;
  return kAudioOk;
}

int AudioDevice::SetCooperativeLevel(uintptr_t, int) {
  return initialized_ ? kAudioOk : kAudioErrNotInitialized;
}

int AudioDevice::CreateSoundBuffer(const AudioBufferDesc* desc, AudioBuffer** out) {
  if (!initialized_) return kAudioErrNotInitialized;
  if (!desc || !out) return kAudioErrInvalidParam;
  *out = nullptr;
  if (ManualAudioOutput* manual = g_manualOutput.load()) {
    if (manual == output_.get() && manual->ConsumeBufferCreationFailure()) return kAudioErrOutOfMemory;
  }
  auto state = std::make_unique<AudioBufferState>();
  state->id = g_nextBufferId.fetch_add(1);
  state->flags = desc->flags;
  if (desc->flags & kBufferPrimary) {
    if (desc->bufferBytes != 0 || desc->format != nullptr) return kAudioErrInvalidParam;
    state->primary = true;
    state->format = {kWaveFormatPcm, 2, 22050, 88200, 4, 16, 0};
  } else {
    if (!desc->format || !IsPlayableFormat(*desc->format)) return kAudioErrBadFormat;
    if (desc->bufferBytes < desc->format->blockAlign || desc->bufferBytes > 0x0FFFFFFF) {
      return kAudioErrInvalidParam;
    }
    state->format = *desc->format;
    state->frames = desc->bufferBytes / desc->format->blockAlign;
    state->bytes = state->frames * desc->format->blockAlign;
    auto memory = std::make_shared<std::vector<uint8_t>>();
    try {
      memory->assign(state->bytes, desc->format->bitsPerSample == 8 ? 0x80 : 0);
    } catch (const std::bad_alloc&) {
      return kAudioErrOutOfMemory;
    }
    state->memory = std::move(memory);
  }
  AudioBuffer* buffer = new AudioBuffer(mixer_.get(), std::move(state));
  {
    std::lock_guard<std::mutex> lock(mixer_->mutex());
    mixer_->AddLocked(buffer);
  }
  *out = buffer;
  return kAudioOk;
}

int AudioDevice::DuplicateSoundBuffer(AudioBuffer* original, AudioBuffer** out) {
  if (!initialized_) return kAudioErrNotInitialized;
  if (!original || !out || original->state_->primary) return kAudioErrInvalidParam;
  *out = nullptr;
  if (ManualAudioOutput* manual = g_manualOutput.load()) {
    if (manual == output_.get() && manual->ConsumeBufferCreationFailure()) return kAudioErrOutOfMemory;
  }
  auto state = std::make_unique<AudioBufferState>();
  {
    std::lock_guard<std::mutex> lock(mixer_->mutex());
    const AudioBufferState& src = *original->state_;
    state->flags = src.flags;
    state->format = src.format;
    state->bytes = src.bytes;
    state->frames = src.frames;
    state->memory = src.memory;
  }
  // A duplicate starts stopped, at 0, full volume, centred, at the buffer's own rate.
  state->id = g_nextBufferId.fetch_add(1);
  AudioBuffer* buffer = new AudioBuffer(mixer_.get(), std::move(state));
  {
    std::lock_guard<std::mutex> lock(mixer_->mutex());
    mixer_->AddLocked(buffer);
  }
  *out = buffer;
  return kAudioOk;
}

int AudioDevice::GetCaps(AudioCaps* caps) const {
  if (!caps) return kAudioErrInvalidParam;
  caps->flags = kCapsPrimaryMono | kCapsPrimaryStereo | kCapsPrimary8Bit | kCapsPrimary16Bit |
                kCapsSecondaryMono | kCapsSecondaryStereo | kCapsSecondary8Bit |
                kCapsSecondary16Bit;
  caps->minSecondarySampleRate = kFrequencyMin;
  caps->maxSecondarySampleRate = kFrequencyMax;
  caps->totalHwMemBytes = 0;
  caps->freeHwMemBytes = 0;
  return kAudioOk;
}

void AudioDevice::AddRef() { refs_.fetch_add(1); }

void AudioDevice::Release() {
  if (refs_.fetch_sub(1) != 1) return;
  if (output_) {
    output_->Stop();
    ManualAudioOutput* current = g_manualOutput.load();
    if (current != nullptr && static_cast<AudioOutput*>(current) == output_.get()) {
      g_manualOutput.store(nullptr);
    }
  }
  output_.reset();
  mixer_.reset();  // buffers must have been released before the device
  delete this;
}

int EnumerateAudioDevices(AudioEnumCallback callback, void* context) {
  if (!callback) return kAudioErrInvalidParam;
  const char* module = g_useManualOutput.load() ? "manual-clock" : "sdl2";
  callback(nullptr, "Primary Sound Driver", module, context);
  return kAudioOk;
}
