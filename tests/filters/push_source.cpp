#include "tests/filters/push_source.h"

#include "host/kernel/time.h"

PushSourcePin::PushSourcePin(PushSource* filter, CriticalSection* lock)
    : D_COutputPinBase("push pin", filter, lock, nullptr, u"Out"), source_(filter) {}

HRESULT PushSourcePin::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMediaSeeking) return HandOutInterface(static_cast<IMediaSeeking*>(this), out);
  return D_COutputPinBase::InnerQueryInterface(iid, out);
}

HRESULT PushSourcePin::AcceptsType(const AM_MEDIA_TYPE* type) { return source_->type.Equals(*type) ? S_OK : S_FALSE; }

HRESULT PushSourcePin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  return type->SetFrom(source_->type);
}

HRESULT PushSourcePin::SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  properties->cBuffers = 2;
  properties->cbBuffer = source_->sampleSize;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(properties, &actual);
}

HRESULT PushSourcePin::GetDuration(int64_t* duration) {
  *duration = source_->count * source_->period;
  return S_OK;
}

HRESULT PushSourcePin::SetPositions(int64_t* current, uint32_t currentFlags, int64_t*, uint32_t) {
  if ((currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_AbsolutePositioning) return E_INVALIDARG;
  return source_->Seek(*current);
}

PushSource::PushSource() : D_CFilterBase("push source", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {
  type.SetMajorType(MEDIATYPE_Video);
  type.SetSubtype(MEDIASUBTYPE_RGB24);
  type.formattype = FORMAT_None;
}

PushSource::~PushSource() { JoinThread(); }

HRESULT PushSource::Pause() {
  CriticalSectionGuard guard(lock_);
  bool starting = IsStopped();
  HRESULT hr = D_CFilterBase::Pause();
  if (SUCCEEDED(hr) && starting) {
    next_ = 0;
    StartThread();
  }
  return hr;
}

HRESULT PushSource::Stop() {
  stopping_ = true;
  HRESULT hr = D_CFilterBase::Stop();  // decommits: a wait for a buffer returns
  JoinThread();
  return hr;
}

HRESULT PushSource::Seek(REFERENCE_TIME position) {
  stopping_ = true;
  pin_.DeliverBeginFlush();  // a renderer holding our thread lets it go
  JoinThread();
  pin_.DeliverEndFlush();
  next_ = static_cast<int>(position / period);
  // Its samples keep the stream's own times after a seek, so they count from 0.
  pin_.DeliverNewSegment(0, count * period, 1.0);
  segments.fetch_add(1);
  if (!IsStopped()) StartThread();
  return S_OK;
}

void PushSource::StartThread() {
  stopping_ = false;
  ended.Reset();
  thread_ = CreateHostThread(StreamThread, this, false);
}

void PushSource::JoinThread() {
  CloseHostThread(thread_);
  thread_ = nullptr;
}

uint32_t PushSource::StreamThread(void* self) {
  auto* s = static_cast<PushSource*>(self);
  for (int k = s->next_; k < s->count; ++k) {
    if (s->stopping_) return 0;
    IMediaSample* sample = nullptr;
    if (s->pin_.GetEmptySample(&sample, nullptr, nullptr, 0) != S_OK) return 1;
    uint8_t* data = nullptr;
    sample->GetPointer(&data);
    for (int i = 0; i < s->sampleSize; ++i) data[i] = Pattern(k, i);
    sample->SetActualDataLength(k == s->shortAt ? s->shortLength : s->sampleSize);
    if (k == s->changeAt) sample->SetMediaType(&s->changed);
    if (k < s->untimedFrom) {
      REFERENCE_TIME start = k * s->period, stop = (k + 1) * s->period;
      sample->SetTime(&start, &stop);
    }
    HRESULT hr = s->pin_.DeliverSample(sample);
    sample->Release();
    if (hr != S_OK) return 1;
    s->delivered.fetch_add(1);
    s->sampleDone.Set();
  }
  if (!s->stopping_) {
    s->pin_.DeliverEndOfStream();
    s->ended.Set();
  }
  return 0;
}

HRESULT TestRenderer::CheckAcceptedType(const AM_MEDIA_TYPE* type) {
  return type->majortype == MEDIATYPE_Video ? S_OK : E_FAIL;
}

HRESULT TestRenderer::RenderSampleData(IMediaSample* sample) {
  REFERENCE_TIME start = -1, stop = -1;
  if (FAILED(sample->GetTime(&start, &stop))) start = -1;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    draws_.push_back({start, data[0]});
  }
  changed_.Set();
  return S_OK;
}

void TestRenderer::BeforeWait() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++waits_;
  }
  changed_.Set();
}

std::vector<TestRenderer::Draw> TestRenderer::draws() {
  std::lock_guard<std::mutex> lock(mutex_);
  return draws_;
}

int TestRenderer::waits() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waits_;
}

void EndStream(D_CFilterBase* source, D_CFilterBase* renderer, IReferenceClock* clock) {
  if (renderer != nullptr) renderer->Stop();
  source->Stop();
  source->PinAt(0)->DropConnection();
  if (renderer != nullptr) {
    renderer->PinAt(0)->DropConnection();
    renderer->AsBaseFilter()->Release();
  }
  source->AsBaseFilter()->Release();
  clock->Release();
  UseManualTime(false);
}
