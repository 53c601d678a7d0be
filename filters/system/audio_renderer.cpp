#include "filters/system/audio_renderer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "filters/filter_base.h"
#include "filters/input_pin_base.h"
#include "host/audio/audio.h"
#include "host/dshow/reference_clock.h"
#include "host/dshow/without_type_info.h"

namespace {

std::mutex g_deviceMutex;
AudioDevice* g_device = nullptr;  // one reference, ours
std::atomic<void (*)(const char*)> g_log{nullptr};
std::atomic<REFERENCE_TIME (*)()> g_steadyTime{nullptr};

REFERENCE_TIME SteadyTime() {
  REFERENCE_TIME (*now)() = g_steadyTime.load();
  return now ? now() : SteadyReferenceTime();
}

AudioDevice* AcquireDevice() {
  std::lock_guard<std::mutex> lock(g_deviceMutex);
  if (g_device) g_device->AddRef();
  return g_device;
}

// Formats the mixer plays, from a connection type.
bool PlayableFormat(const AM_MEDIA_TYPE& type, WaveFormatEx* format) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
      type.formattype != FORMAT_WaveFormatEx || type.cbFormat < 16 || !type.pbFormat) {
    return false;
  }
  WAVEFORMATEX w{};
  std::memcpy(&w, type.pbFormat, std::min<size_t>(type.cbFormat, sizeof w));
  *format = {w.wFormatTag, w.nChannels, w.nSamplesPerSec, w.nAvgBytesPerSec, w.nBlockAlign, w.wBitsPerSample, 0};
  return w.wFormatTag == WAVE_FORMAT_PCM && (w.nChannels == 1 || w.nChannels == 2) &&
         (w.wBitsPerSample == 8 || w.wBitsPerSample == 16) && w.nBlockAlign == w.nChannels * w.wBitsPerSample / 8 &&
         w.nSamplesPerSec >= kFrequencyMin && w.nSamplesPerSec <= kFrequencyMax;
}

class AudioRenderer;

// The renderer's clock: the time of what the speaker has played while the sound plays,
// else the steady clock, joined so that it never goes back.
class AudioClock final : public ThreadedReferenceClock {
 public:
  // Looked at every 10 ms: the device's clock is not the system's.
  explicit AudioClock(AudioRenderer* renderer) : ThreadedReferenceClock(100000), renderer_(renderer) {}

 protected:
  ~AudioClock() override { StopAdviseThread(); }
  REFERENCE_TIME Now() override;

 private:
  AudioRenderer* renderer_;
};

class AudioRendererPin final : public D_CInputPinBase {
 public:
  AudioRendererPin(AudioRenderer* filter, CriticalSection* lock);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override {
    WaveFormatEx format;
    return type && PlayableFormat(*type, &format) ? S_OK : S_FALSE;
  }
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  AudioRenderer* renderer_;
};

class AudioRenderer final : public D_CFilterBase, public WithoutTypeInfo<IBasicAudio>, public IReferenceClock {
 public:
  explicit AudioRenderer(IUnknown* outer)
      : D_CFilterBase("Audio renderer", outer, &lock_, CLSID_DSoundRender),
        pin_(this, &lock_),
        clock_(new (std::nothrow) AudioClock(this)) {}
  ~AudioRenderer() override {
    if (clock_) clock_->Release();  // its thread asks this renderer for the time
    Close();
  }

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IBasicAudio) return HandOutInterface(static_cast<IBasicAudio*>(this), out);
    if (iid == IID_IReferenceClock && clock_) return HandOutInterface(static_cast<IReferenceClock*>(this), out);
    return D_CFilterBase::InnerQueryInterface(iid, out);
  }

  // IReferenceClock, served by the clock object over this renderer's time.
  HRESULT GetTime(REFERENCE_TIME* time) override { return clock_->GetTime(time); }
  HRESULT AdviseTime(REFERENCE_TIME base, REFERENCE_TIME stream, Event* event, uintptr_t* cookie) override {
    return clock_->AdviseTime(base, stream, event, cookie);
  }
  HRESULT AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, Semaphore* semaphore,
                         uintptr_t* cookie) override {
    return clock_->AdvisePeriodic(start, period, semaphore, cookie);
  }
  HRESULT Unadvise(uintptr_t cookie) override { return clock_->Unadvise(cookie); }

  REFERENCE_TIME ClockTime() {
    std::lock_guard<std::mutex> lock(audio_);
    return ClockTimeLocked();
  }
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }

  HRESULT Stop() override {
    CriticalSectionGuard guard(lock_);
    wake_.Set();  // a streaming thread waiting for room or for the end returns
    HRESULT hr = D_CFilterBase::Stop();
    Close();
    return hr;
  }
  HRESULT Pause() override {
    CriticalSectionGuard guard(lock_);
    const FILTER_STATE old = State();
    if (old == State_Stopped && pin_.IsConnected()) {
      HRESULT hr = Open();
      if (FAILED(hr)) return hr;
    }
    HRESULT hr = D_CFilterBase::Pause();
    if (FAILED(hr)) {
      Close();
      return hr;
    }
    if (old == State_Running) SetPlaying(false);
    return hr;
  }
  HRESULT Run(REFERENCE_TIME start) override {
    CriticalSectionGuard guard(lock_);
    HRESULT hr = D_CFilterBase::Run(start);
    if (SUCCEEDED(hr)) SetPlaying(true);
    return hr;
  }

  int64_t BytesTaken() {
    std::lock_guard<std::mutex> lock(audio_);
    return static_cast<int64_t>(taken_);
  }
  // Copies the sample's bytes into the buffer, waiting for room while it plays.
  HRESULT Write(const uint8_t* data, uint32_t length);
  // Waits until everything written has been heard, then reports the end.
  HRESULT PlayOut();
  void Flush(bool begin) {
    std::lock_guard<std::mutex> lock(audio_);
    if (begin) {
      wake_.Set();
      UpdatePlayedLocked();
      ClearLocked(played_, written_ - played_);  // what was queued is dropped
      written_ = played_;
    } else if (!IsStopped()) {
      wake_.Reset();
    }
  }

  // IBasicAudio
  HRESULT put_Volume(int32_t volume) override { return SetLevel(&volume_, volume, kVolumeMin, kVolumeMax); }
  HRESULT get_Volume(int32_t* volume) override { return GetLevel(volume_, volume); }
  HRESULT put_Balance(int32_t balance) override { return SetLevel(&balance_, balance, kPanLeft, kPanRight); }
  HRESULT get_Balance(int32_t* balance) override { return GetLevel(balance_, balance); }

 private:
  HRESULT Open();
  void Close();
  REFERENCE_TIME ClockTimeLocked();
  void SetPlaying(bool on);
  void UpdatePlayedLocked();
  // Writes silence over `bytes` of the stream from byte `at` on.
  void ClearLocked(uint64_t at, uint64_t bytes);
  void CopyLocked(uint64_t at, const uint8_t* data, uint32_t length);
  HRESULT SetLevel(int32_t* field, int32_t value, int32_t low, int32_t high) {
    if (value < low || value > high) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(audio_);
    *field = value;
    if (buffer_) {
      buffer_->SetVolume(volume_);
      buffer_->SetPan(balance_);
    }
    return S_OK;
  }
  HRESULT GetLevel(int32_t value, int32_t* out) {
    if (!out) return E_POINTER;
    std::lock_guard<std::mutex> lock(audio_);
    *out = value;
    return S_OK;
  }

  CriticalSection lock_;
  AudioRendererPin pin_;
  Event wake_{true, false};  // set: stopping or flushing, nothing may wait
  std::mutex audio_;         // everything below; never held while waiting
  AudioDevice* device_ = nullptr;
  AudioBuffer* buffer_ = nullptr;  // null while open: no output, the sound is dropped
  bool open_ = false;
  WaveFormatEx format_{};
  uint32_t size_ = 0;
  bool playing_ = false;
  uint32_t cursor_ = 0;    // play cursor at the last look
  uint64_t written_ = 0;   // bytes written since Open
  uint64_t played_ = 0;    // bytes played since Open
  uint64_t taken_ = 0;     // bytes received since Open
  int32_t volume_ = 0;
  int32_t balance_ = 0;
  // The clock: its last answer and the steady time then; while playing, the answer at
  // the start of play and the bytes played by then (without output, the bytes that
  // would have been).
  REFERENCE_TIME lastTime_ = 0;
  REFERENCE_TIME lastSteady_ = SteadyTime();
  REFERENCE_TIME anchorTime_ = 0;
  uint64_t anchorPlayed_ = 0;
  AudioClock* clock_;  // one reference, ours
};

REFERENCE_TIME AudioClock::Now() { return renderer_->ClockTime(); }

AudioRendererPin::AudioRendererPin(AudioRenderer* filter, CriticalSection* lock)
    : D_CInputPinBase("Audio renderer pin", filter, lock, nullptr, u"Audio Input pin (rendered)"), renderer_(filter) {}

HRESULT AudioRendererPin::Receive(IMediaSample* sample) {
  HRESULT hr = D_CInputPinBase::Receive(sample);
  if (hr != S_OK) return hr;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  return renderer_->Write(data, static_cast<uint32_t>(std::max(sample->GetActualDataLength(), 0)));
}

HRESULT AudioRendererPin::EndOfStream() {
  HRESULT hr = CheckStreamingState();
  return hr == S_OK ? renderer_->PlayOut() : hr;
}

HRESULT AudioRendererPin::BeginFlush() {
  HRESULT hr = D_CInputPinBase::BeginFlush();
  renderer_->Flush(true);
  return hr;
}

HRESULT AudioRendererPin::EndFlush() {
  renderer_->Flush(false);
  return D_CInputPinBase::EndFlush();
}

HRESULT AudioRenderer::Open() {
  std::lock_guard<std::mutex> lock(audio_);
  if (!PlayableFormat(pin_.ConnectionType(), &format_)) return VFW_E_TYPE_NOT_ACCEPTED;
  // One second of sound between the stream and the speaker.
  const uint32_t rate = format_.samplesPerSec;  // a copy: the packed field binds to no reference
  const uint32_t bytes = std::max<uint32_t>(rate, 1) * format_.blockAlign;
  const AudioBufferDesc desc{kBufferCtrlVolume | kBufferCtrlPan | kBufferGlobalFocus | kBufferGetCurrentPosition2,
                             bytes, &format_};
  device_ = AcquireDevice();
  if (device_ && device_->CreateSoundBuffer(&desc, &buffer_) != kAudioOk) {
    device_->Release();
    device_ = nullptr;
    buffer_ = nullptr;
  }
  if (buffer_) {
    buffer_->SetVolume(volume_);
    buffer_->SetPan(balance_);
  } else if (auto log = g_log.load()) {
    // The pictures still play: their clock does not need a speaker.
    log("No audio output for the movie's sound: it is dropped, the clock keeps the time\n");
  }
  size_ = bytes;
  ClockTimeLocked();
  open_ = true;
  playing_ = false;
  cursor_ = 0;
  written_ = played_ = anchorPlayed_ = taken_ = 0;
  wake_.Reset();
  return S_OK;
}

void AudioRenderer::Close() {
  std::lock_guard<std::mutex> lock(audio_);
  ClockTimeLocked();
  if (buffer_) buffer_->Release();
  if (device_) device_->Release();
  buffer_ = nullptr;
  device_ = nullptr;
  playing_ = false;
  open_ = false;
}

void AudioRenderer::SetPlaying(bool on) {
  std::lock_guard<std::mutex> lock(audio_);
  if (!open_ || playing_ == on) return;
  UpdatePlayedLocked();
  anchorTime_ = ClockTimeLocked();
  anchorPlayed_ = played_;
  playing_ = on;
  if (!buffer_) return;
  if (on) {
    buffer_->Play(0, 0, kPlayLooping);
  } else {
    buffer_->Stop();
  }
}

REFERENCE_TIME AudioRenderer::ClockTimeLocked() {
  const REFERENCE_TIME steady = SteadyTime();
  REFERENCE_TIME t = lastTime_ + (steady - lastSteady_);
  if (playing_ && buffer_) {
    UpdatePlayedLocked();
    const uint64_t perSecond = static_cast<uint64_t>(format_.samplesPerSec) * format_.blockAlign;
    t = anchorTime_ + static_cast<REFERENCE_TIME>((played_ - anchorPlayed_) * 10000000 / perSecond);
  }
  lastTime_ = std::max(t, lastTime_);
  lastSteady_ = steady;
  return lastTime_;
}

void AudioRenderer::UpdatePlayedLocked() {
  if (!open_ || !playing_) return;
  if (!buffer_) {
    // Without output a byte counts as heard once the clock has passed it.
    const uint64_t perSecond = static_cast<uint64_t>(format_.samplesPerSec) * format_.blockAlign;
    const uint64_t due = static_cast<uint64_t>(ClockTimeLocked() - anchorTime_) * perSecond / 10000000;
    played_ = std::max(played_, anchorPlayed_ + due - due % format_.blockAlign);
    written_ = std::max(written_, played_);
    return;
  }
  uint32_t cursor = 0;
  buffer_->GetCurrentPosition(&cursor, nullptr);
  const uint64_t delta = (cursor + size_ - cursor_) % size_;
  cursor_ = cursor;
  const uint64_t before = played_;
  played_ += delta;
  // What has been heard becomes silence, so that a stream that falls behind is heard
  // as a gap rather than as the last second again; writing goes on from the speaker.
  ClearLocked(before, std::min<uint64_t>(delta, size_));
  written_ = std::max(written_, played_);
}

void AudioRenderer::CopyLocked(uint64_t at, const uint8_t* data, uint32_t length) {
  if (!buffer_) return;
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  if (buffer_->Lock(static_cast<uint32_t>(at % size_), length, &p1, &n1, &p2, &n2, 0) != kAudioOk) return;
  const uint8_t silence = format_.bitsPerSample == 8 ? 0x80 : 0;
  if (data) {
    std::memcpy(p1, data, n1);
    if (p2) std::memcpy(p2, data + n1, n2);
  } else {
    std::memset(p1, silence, n1);
    if (p2) std::memset(p2, silence, n2);
  }
  buffer_->Unlock(p1, n1, p2, n2);
}

void AudioRenderer::ClearLocked(uint64_t at, uint64_t bytes) {
  if (bytes > 0) CopyLocked(at, nullptr, static_cast<uint32_t>(std::min<uint64_t>(bytes, size_)));
}

HRESULT AudioRenderer::Write(const uint8_t* data, uint32_t length) {
  length -= length % format_.blockAlign;
  while (length > 0) {
    {
      std::lock_guard<std::mutex> lock(audio_);
      if (!open_) return VFW_E_WRONG_STATE;
      UpdatePlayedLocked();
      const uint64_t room = size_ - (written_ - played_);
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length, room - room % format_.blockAlign));
      if (n > 0) {
        CopyLocked(written_, data, n);
        written_ += n;
        taken_ += n;
        data += n;
        length -= n;
        continue;
      }
    }
    // Full: the speaker makes room as it plays (not at all while paused).
    if (WaitForObject(&wake_, 1) == 0) return S_FALSE;
  }
  return S_OK;
}

HRESULT AudioRenderer::PlayOut() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(audio_);
      UpdatePlayedLocked();
      if (!open_) return S_OK;
      if (State() == State_Running && played_ >= written_) break;
    }
    if (WaitForObject(&wake_, 1) == 0) return S_OK;  // stopped or flushed first
  }
  SetPlaying(false);
  SendGraphEvent(EC_COMPLETE, S_OK, 0);
  return S_OK;
}

}  // namespace

void SetAudioRendererDevice(AudioDevice* device) {
  if (device) device->AddRef();
  AudioDevice* old = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    old = g_device;
    g_device = device;
  }
  if (old) old->Release();
}

int64_t AudioRendererBytesTaken(IBaseFilter* filter) {
  CLSID clsid{};
  if (!filter || FAILED(filter->GetClassID(&clsid)) || clsid != CLSID_DSoundRender) return -1;
  return static_cast<AudioRenderer*>(filter)->BytesTaken();
}

void SetAudioRendererLog(void (*write)(const char* line)) { g_log.store(write); }

void SetAudioRendererSteadyTime(REFERENCE_TIME (*now)()) { g_steadyTime.store(now); }

HRESULT CreateAudioRenderer(IUnknown* outer, REFIID iid, void** out) {
  return MakeObjectFor<AudioRenderer>(iid, out, outer);
}
