#include "filters/system/media_file_source.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "filters/filter_base.h"
#include "filters/output_pin_base.h"
#include "filters/system/media_stream.h"
#include "host/dshow/seeking_position.h"
#include "host/kernel/last_error.h"
#include "host/kernel/thread.h"
#include "host/kernel/wide_string.h"

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                   AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                   AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

class MediaFileSource;

class MediaStreamPin final : public D_COutputPinBase, public IMediaSeeking, public SeekingPosition {
 public:
  MediaStreamPin(MediaFileSource* filter, CriticalSection* lock, std::unique_ptr<MediaStream> stream,
                 const std::u16string& name);
  ~MediaStreamPin() override { Halt(false); }

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IMediaSeeking) return HandOutInterface(static_cast<IMediaSeeking*>(this), out);
    if (iid == IID_IMediaPosition) return HandOutInterface(static_cast<IMediaPosition*>(this), out);
    return D_COutputPinBase::InnerQueryInterface(iid, out);
  }
  IMediaSeeking* PositionSeeking() override { return this; }
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

  // IMediaSeeking, in media time only; positions are the whole filter's.
  HRESULT GetCapabilities(uint32_t* capabilities) override {
    return capabilities ? (*capabilities = kCapabilities, S_OK) : E_POINTER;
  }
  HRESULT CheckCapabilities(uint32_t* capabilities) override {
    if (!capabilities) return E_POINTER;
    const uint32_t asked = *capabilities;
    *capabilities &= kCapabilities;
    return *capabilities == asked ? S_OK : *capabilities ? S_FALSE : E_FAIL;
  }
  HRESULT IsFormatSupported(const GUID* format) override {
    return !format ? E_POINTER : *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  }
  HRESULT QueryPreferredFormat(GUID* format) override { return GetTimeFormat(format); }
  HRESULT GetTimeFormat(GUID* format) override { return format ? (*format = TIME_FORMAT_MEDIA_TIME, S_OK) : E_POINTER; }
  HRESULT IsUsingTimeFormat(const GUID* format) override { return IsFormatSupported(format); }
  HRESULT SetTimeFormat(const GUID* format) override { return IsFormatSupported(format) == S_OK ? S_OK : E_INVALIDARG; }
  HRESULT GetDuration(int64_t* duration) override;
  HRESULT GetStopPosition(int64_t* stop) override;
  HRESULT GetCurrentPosition(int64_t* current) override {
    return current ? (*current = position_.load(), S_OK) : E_POINTER;
  }
  HRESULT ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source, const GUID* sourceFormat) override;
  HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) override;
  HRESULT GetPositions(int64_t* current, int64_t* stop) override {
    if (current && FAILED(GetCurrentPosition(current))) return E_POINTER;
    return stop ? GetStopPosition(stop) : S_OK;
  }
  HRESULT GetAvailable(int64_t* earliest, int64_t* latest) override {
    if (earliest) *earliest = 0;
    return latest ? GetDuration(latest) : S_OK;
  }
  HRESULT SetRate(double rate) override { return rate == 1.0 ? S_OK : E_INVALIDARG; }
  HRESULT GetRate(double* rate) override { return rate ? (*rate = 1.0, S_OK) : E_POINTER; }
  HRESULT GetPreroll(int64_t* preroll) override { return preroll ? (*preroll = 0, S_OK) : E_POINTER; }

  const MediaStream& stream() const { return *stream_; }
  // Starts streaming from `start`, announcing the segment first.
  HRESULT Start(REFERENCE_TIME start);
  // Ends streaming: whatever the thread waits in returns (a flush of the peer lets a
  // held sample go, the decommit ends a wait for an empty one). With `flush` the peer
  // is flushed and the allocator committed again, ready for a restart.
  void Halt(bool flush);
  void SetPosition(REFERENCE_TIME position) { position_ = position; }

 private:
  static uint32_t ThreadMain(void* self);
  void Stream();
  HRESULT DeliverVideo(REFERENCE_TIME start, bool bottomUp, bool first);
  // Delivers `bytes` of pending PCM; S_OK also when there is nothing to deliver.
  HRESULT DeliverPcm(size_t bytes, bool first);

  MediaFileSource* source_;
  std::unique_ptr<MediaStream> stream_;
  HostThread* thread_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::atomic<REFERENCE_TIME> position_{0};
  REFERENCE_TIME start_ = 0;
  // Audio not yet delivered: its bytes, where it starts and how many frames of it
  // went out since then.
  std::vector<uint8_t> pending_;
  REFERENCE_TIME pcmBase_ = 0;
  int64_t pcmFrames_ = 0;
};

class MediaFileSource final : public D_CFilterBase, public IFileSourceFilter {
 public:
  explicit MediaFileSource(IUnknown* outer) : D_CFilterBase("media file source", outer, &lock_, CLSID_MediaFileSource) {}
  ~MediaFileSource() override { pins_.clear(); }

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IFileSourceFilter) return HandOutInterface(static_cast<IFileSourceFilter*>(this), out);
    return D_CFilterBase::InnerQueryInterface(iid, out);
  }

  HRESULT Load(const char16_t* fileName, const AM_MEDIA_TYPE* type) override;
  HRESULT GetCurFile(char16_t** fileName, AM_MEDIA_TYPE* type) override;

  int32_t PinCount() override { return static_cast<int32_t>(pins_.size()); }
  D_CPinBase* PinAt(int32_t index) override {
    return index >= 0 && index < PinCount() ? pins_[static_cast<size_t>(index)].get() : nullptr;
  }
  HRESULT Pause() override;
  HRESULT Stop() override {
    CriticalSectionGuard guard(lock_);
    for (auto& pin : pins_) pin->Halt(false);
    return D_CFilterBase::Stop();
  }

  HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags);
  int64_t duration() const { return duration_; }
  int64_t stop() const { return stop_.load(); }
  // Whether a frame starting at `start` is past the stop position. With no stop set
  // short of the duration every frame up to the end of the file goes out: a container
  // may report as its duration the start of its last frame.
  bool PastStop(REFERENCE_TIME start) const { return stopSet_.load() && start >= stop_.load(); }

 private:
  CriticalSection lock_;
  std::u16string name_;
  std::vector<std::unique_ptr<MediaStreamPin>> pins_;
  int64_t duration_ = 0;
  REFERENCE_TIME start_ = 0;
  std::atomic<REFERENCE_TIME> stop_{0};
  std::atomic<bool> stopSet_{false};
};

MediaStreamPin::MediaStreamPin(MediaFileSource* filter, CriticalSection* lock, std::unique_ptr<MediaStream> stream,
                               const std::u16string& name)
    : D_COutputPinBase("media file source output", filter, lock, nullptr, name.c_str()),
      source_(filter),
      stream_(std::move(stream)) {}

HRESULT MediaStreamPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (position < 0) return E_INVALIDARG;
  if (!type) return E_POINTER;
  const MediaStream& s = *stream_;
  AM_MEDIA_TYPE t{};
  t.bFixedSizeSamples = 1;
  if (s.kind() == MediaStream::Kind::Video) {
    // Bottom-up rows first, as bitmaps have them; top-down second.
    if (position > 1) return VFW_S_NO_MORE_ITEMS;
    VIDEOINFOHEADER info{};
    info.rcSource = info.rcTarget = {0, 0, s.width(), s.height()};
    info.AvgTimePerFrame = s.frameTime();
    info.dwBitRate = static_cast<uint32_t>(std::min<int64_t>(
        INT32_MAX, int64_t{s.FrameBytes()} * 8 * 10000000 / std::max<int64_t>(s.frameTime(), 1)));
    BITMAPINFOHEADER& bmi = info.bmiHeader;
    bmi = {sizeof bmi, s.width(), position == 0 ? s.height() : -s.height(), 1, 24, BI_RGB,
           static_cast<uint32_t>(s.FrameBytes()), 0, 0, 0, 0};
    t.majortype = MEDIATYPE_Video;
    t.subtype = MEDIASUBTYPE_RGB24;
    t.lSampleSize = static_cast<uint32_t>(s.FrameBytes());
    t.formattype = FORMAT_VideoInfo;
    t.cbFormat = sizeof info;
    t.pbFormat = reinterpret_cast<uint8_t*>(&info);
    return type->SetFrom(t);
  }
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const auto block = static_cast<uint16_t>(s.channels() * 2);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, static_cast<uint16_t>(s.channels()), static_cast<uint32_t>(s.rate()),
                      static_cast<uint32_t>(s.rate()) * block, block, 16, 0};
  t.majortype = MEDIATYPE_Audio;
  t.subtype = MEDIASUBTYPE_PCM;
  t.lSampleSize = block;
  t.formattype = FORMAT_WaveFormatEx;
  t.cbFormat = sizeof format;
  t.pbFormat = reinterpret_cast<uint8_t*>(&format);
  return type->SetFrom(t);
}

// Only the types the pin proposes, the sample fields aside.
HRESULT MediaStreamPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  for (int32_t i = 0;; ++i) {
    D_CMediaTypeRec own;
    if (ProposedType(i, &own) != S_OK) return S_FALSE;
    if (own.Equals(*type)) return S_OK;
  }
}

HRESULT MediaStreamPin::SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  const MediaStream& s = *stream_;
  // A renderer holds one frame while the next is decoded; audio goes in tenths of a second.
  const bool video = s.kind() == MediaStream::Kind::Video;
  properties->cBuffers = std::max(properties->cBuffers, video ? 3 : 4);
  properties->cbBuffer = video ? s.FrameBytes() : std::max(s.rate() / 10, 1) * s.channels() * 2;
  properties->cbAlign = std::max(properties->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(properties, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers < 1 || actual.cbBuffer < properties->cbBuffer ? E_FAIL : S_OK;
}

HRESULT MediaStreamPin::GetDuration(int64_t* duration) {
  return duration ? (*duration = source_->duration(), S_OK) : E_POINTER;
}

HRESULT MediaStreamPin::GetStopPosition(int64_t* stop) { return stop ? (*stop = source_->stop(), S_OK) : E_POINTER; }

HRESULT MediaStreamPin::ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                          const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  auto media = [](const GUID* f) { return !f || *f == TIME_FORMAT_MEDIA_TIME; };
  if (!media(targetFormat) || !media(sourceFormat)) return E_INVALIDARG;
  *target = source;
  return S_OK;
}

HRESULT MediaStreamPin::SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) {
  return source_->SetPositions(current, currentFlags, stop, stopFlags);
}

HRESULT MediaStreamPin::Start(REFERENCE_TIME start) {
  start_ = start;
  position_ = start;
  stopping_ = false;
  thread_ = CreateHostThread(ThreadMain, this, false);
  if (thread_) return S_OK;
  const uint32_t error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_OUTOFMEMORY;
}

void MediaStreamPin::Halt(bool flush) {
  if (!thread_) return;
  stopping_ = true;
  if (flush) DeliverBeginFlush();
  if (allocator_) allocator_->Decommit();
  CloseHostThread(thread_);
  thread_ = nullptr;
  if (flush) {
    if (allocator_) allocator_->Commit();
    DeliverEndFlush();
  }
}

uint32_t MediaStreamPin::ThreadMain(void* self) {
  static_cast<MediaStreamPin*>(self)->Stream();
  return 0;
}

void MediaStreamPin::Stream() {
  const bool video = stream_->kind() == MediaStream::Kind::Video;
  bool bottomUp = false;
  if (video && connectionType_.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    bottomUp = reinterpret_cast<const VIDEOINFOHEADER*>(connectionType_.pbFormat)->bmiHeader.biHeight > 0;
  }
  pending_.clear();
  pcmFrames_ = 0;
  // A position the file cannot reach (past the data of a file cut short) is its end.
  const bool placed = stream_->Seek(start_);
  DeliverNewSegment(start_, source_->stop(), 1.0);
  const size_t chunk = allocator_ ? [this] {
    ALLOCATOR_PROPERTIES p{};
    allocator_->GetProperties(&p);
    return static_cast<size_t>(std::max(p.cbBuffer, 1));
  }() : 1;
  HRESULT hr = S_OK;
  bool first = true;
  while (placed && hr == S_OK && !stopping_ && stream_->NextFrame() == 1 && !source_->PastStop(stream_->FrameStart())) {
    if (video) {
      hr = DeliverVideo(start_, bottomUp, first);
    } else {
      const std::vector<uint8_t>& pcm = stream_->ConvertAudio();
      if (pending_.empty()) {
        pcmBase_ = stream_->FrameStart();
        pcmFrames_ = 0;
      }
      pending_.insert(pending_.end(), pcm.begin(), pcm.end());
      while (hr == S_OK && pending_.size() >= chunk) {
        hr = DeliverPcm(chunk, first);
        first = false;
      }
    }
    first = first && hr != S_OK;
  }
  if (placed && hr == S_OK && !video && !stopping_) {
    // The last frames' tail, which the converter held back, is heard too. A stop or a
    // seek drops it: the stream does not go on from there.
    const std::vector<uint8_t>& tail = stream_->DrainAudio();
    pending_.insert(pending_.end(), tail.begin(), tail.end());
    hr = DeliverPcm(pending_.size(), first);
  }
  if (stopping_) return;
  if (FAILED(hr)) {
    source_->SendGraphEvent(EC_ERRORABORT, hr, 0);
  } else if (hr == S_OK) {
    // Ended, the stream stands at its stop, as a renderer then reports it: whoever
    // watches the position sees the end also when nothing came after a seek.
    position_ = source_->stop();
    DeliverEndOfStream();
  }
}

HRESULT MediaStreamPin::DeliverVideo(REFERENCE_TIME start, bool bottomUp, bool first) {
  IMediaSample* sample = nullptr;
  HRESULT hr = GetEmptySample(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return stopping_ ? S_FALSE : hr;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  const int bytes = stream_->FrameBytes();
  if (sample->GetSize() < bytes || !stream_->ConvertVideo(data, bottomUp)) {
    sample->Release();
    return E_FAIL;
  }
  REFERENCE_TIME from = stream_->FrameStart() - start, to = stream_->FrameStop() - start;
  sample->SetTime(&from, &to);
  sample->SetSyncPoint(1);
  sample->SetDiscontinuity(first ? 1 : 0);
  sample->SetActualDataLength(bytes);
  position_ = stream_->FrameStart();
  hr = DeliverSample(sample);
  sample->Release();
  return hr;
}

HRESULT MediaStreamPin::DeliverPcm(size_t bytes, bool first) {
  if (bytes == 0) return S_OK;
  IMediaSample* sample = nullptr;
  HRESULT hr = GetEmptySample(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return stopping_ ? S_FALSE : hr;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  bytes = std::min(bytes, static_cast<size_t>(std::max(sample->GetSize(), 0)));
  std::copy(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(bytes), data);
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(bytes));
  const int block = stream_->channels() * 2;
  const int64_t rate = stream_->rate();
  REFERENCE_TIME from = pcmBase_ + pcmFrames_ * 10000000 / rate - start_;
  pcmFrames_ += static_cast<int64_t>(bytes) / block;
  REFERENCE_TIME to = pcmBase_ + pcmFrames_ * 10000000 / rate - start_;
  sample->SetTime(&from, &to);
  sample->SetSyncPoint(1);
  sample->SetDiscontinuity(first ? 1 : 0);
  sample->SetActualDataLength(static_cast<int32_t>(bytes));
  position_ = from + start_;
  hr = DeliverSample(sample);
  sample->Release();
  return hr;
}

HRESULT MediaFileSource::Load(const char16_t* fileName, const AM_MEDIA_TYPE*) {
  if (!fileName) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  if (!pins_.empty()) return E_UNEXPECTED;
  const std::string path = WideToUtf8(fileName);
  auto stream = std::make_unique<MediaStream>();
  const bool first = stream->Open(path.c_str(), 0);
  const int count = stream->fileStreams();
  if (count < 0) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return HRESULT_FROM_WIN32(kErrorFileNotFound);
    std::fclose(file);
    return VFW_E_UNSUPPORTED_STREAM;
  }
  std::vector<std::unique_ptr<MediaStream>> opened;  // in the file's order
  for (int i = 0; i < count; ++i) {
    if (i > 0) {
      stream = std::make_unique<MediaStream>();
      if (!stream->Open(path.c_str(), i)) continue;
    } else if (!first) {
      continue;
    }
    opened.push_back(std::move(stream));
  }
  // One sound only, the one FFmpeg would play: several would be heard mixed, and the
  // graph's volume reaches a single renderer. Should that one not open, the first that
  // does.
  const int best = opened.empty() ? -1 : opened.front()->bestAudio();
  const bool bestOpened = std::any_of(opened.begin(), opened.end(), [&](auto& s) { return s->index() == best; });
  int videos = 0;
  bool audio = false;
  for (std::unique_ptr<MediaStream>& s : opened) {
    const bool video = s->kind() == MediaStream::Kind::Video;
    if (!video && (audio || (bestOpened && s->index() != best))) continue;
    std::u16string name = video ? u"Video" : u"Audio";
    if (video && ++videos > 1) name += u" " + std::u16string(1, static_cast<char16_t>(u'0' + std::min(videos, 9)));
    audio = audio || !video;
    duration_ = std::max(duration_, s->duration());
    pins_.push_back(std::make_unique<MediaStreamPin>(this, &lock_, std::move(s), name));
  }
  if (pins_.empty()) return VFW_E_UNSUPPORTED_STREAM;
  name_ = fileName;
  stop_ = duration_;
  stopSet_ = false;
  ++pinVersion_;
  return S_OK;
}

HRESULT MediaFileSource::GetCurFile(char16_t** fileName, AM_MEDIA_TYPE* type) {
  if (!fileName) return E_POINTER;
  *fileName = nullptr;
  CriticalSectionGuard guard(lock_);
  if (pins_.empty()) return E_FAIL;
  if (type) *type = AM_MEDIA_TYPE{MEDIATYPE_Stream, GUID_NULL, 1, 0, 1, FORMAT_None, nullptr, 0, nullptr};
  return CopyWideStringToTaskMemory(name_.c_str(), fileName);
}

HRESULT MediaFileSource::Pause() {
  CriticalSectionGuard guard(lock_);
  const bool wasStopped = IsStopped();
  HRESULT hr = D_CFilterBase::Pause();
  if (FAILED(hr) || !wasStopped) return hr;
  for (auto& pin : pins_) {
    if (pin->IsConnected() && FAILED(hr = pin->Start(start_))) break;
  }
  if (FAILED(hr)) Stop();
  return hr;
}

HRESULT MediaFileSource::SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) {
  const uint32_t how = currentFlags & AM_SEEKING_PositioningBitsMask;
  const uint32_t stopHow = stopFlags & AM_SEEKING_PositioningBitsMask;
  if ((how != AM_SEEKING_NoPositioning && !current) || (stopHow != AM_SEEKING_NoPositioning && !stop)) return E_POINTER;
  if (how > AM_SEEKING_RelativePositioning || stopHow > AM_SEEKING_RelativePositioning) return E_INVALIDARG;
  CriticalSectionGuard guard(lock_);
  int64_t now = start_;
  if (!pins_.empty()) pins_[0]->GetCurrentPosition(&now);
  const int64_t start = how == AM_SEEKING_AbsolutePositioning   ? *current
                        : how == AM_SEEKING_RelativePositioning ? now + *current
                                                                : now;
  const int64_t end = stopHow == AM_SEEKING_AbsolutePositioning   ? *stop
                      : stopHow == AM_SEEKING_RelativePositioning ? stop_ + *stop
                                                                  : stop_.load();
  const int64_t newStart = std::clamp<int64_t>(start, 0, duration_);
  const int64_t newStop = std::clamp<int64_t>(end, 0, duration_);
  if (currentFlags & AM_SEEKING_ReturnTime) *current = newStart;
  if (stopFlags & AM_SEEKING_ReturnTime) *stop = newStop;
  stop_ = newStop;
  stopSet_ = newStop < duration_;
  if (how == AM_SEEKING_NoPositioning) return S_OK;
  // Every stream restarts at the new position: the flush drops what is on its way.
  start_ = newStart;
  for (auto& pin : pins_) {
    pin->Halt(true);
    pin->SetPosition(newStart);
  }
  HRESULT hr = S_OK;
  if (!IsStopped()) {
    for (auto& pin : pins_) {
      if (pin->IsConnected() && SUCCEEDED(hr)) hr = pin->Start(newStart);
    }
  }
  return hr;
}

}  // namespace

HRESULT CreateMediaFileSource(IUnknown* outer, REFIID iid, void** out) {
  return MakeObjectFor<MediaFileSource>(iid, out, outer);
}
