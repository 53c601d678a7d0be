#include "tests/filters/test_filters.h"

#include <cstring>

#include "host/com/task_memory.h"

void MakeTestType(D_CMediaTypeRec& type, const GUID& major, const GUID& sub, uint8_t tag) {
  FreeMediaTypeRecord(&type);
  type.ClearToDefaults();
  type.SetMajorType(major);
  type.SetSubtype(sub);
  type.formattype = FORMAT_None;
  type.cbFormat = 1;
  type.pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(1));
  type.pbFormat[0] = tag;
}

namespace {
bool Listed(const std::vector<D_CMediaTypeRec*>& list, const AM_MEDIA_TYPE* type) {
  for (const D_CMediaTypeRec* t : list) {
    if (t->Equals(*type)) return true;
  }
  return false;
}

HRESULT Propose(const std::vector<D_CMediaTypeRec*>& list, int32_t position, D_CMediaTypeRec* type) {
  if (position < 0) return E_INVALIDARG;
  if (position >= static_cast<int32_t>(list.size())) return VFW_S_NO_MORE_ITEMS;
  return type->SetFrom(*list[position]);
}

void DeleteAll(std::vector<D_CMediaTypeRec*>& list) {
  for (D_CMediaTypeRec* t : list) delete t;
  list.clear();
}
}  // namespace

TestSourcePin::TestSourcePin(TestSource* filter, CriticalSection* lock)
    : D_COutputPinBase("source pin", filter, lock, nullptr, u"Out"), source_(filter) {}

HRESULT TestSourcePin::AcceptsType(const AM_MEDIA_TYPE* type) { return Listed(source_->offered, type) ? S_OK : S_FALSE; }

HRESULT TestSourcePin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  return Propose(source_->offered, position, type);
}

HRESULT TestSourcePin::SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  if (source_->firstAllocatorSized == nullptr) source_->firstAllocatorSized = allocator;
  if (source_->sizeBuffersRefusals > 0) {
    --source_->sizeBuffersRefusals;
    return E_FAIL;
  }
  properties->cBuffers = source_->bufferCount;
  properties->cbBuffer = source_->bufferSize;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(properties, &actual);
}

TestSource::TestSource() : D_CFilterBase("test source", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {}

TestSource::~TestSource() { DeleteAll(offered); }

HRESULT TestSource::Pause() {
  CriticalSectionGuard guard(lock_);
  ++pauseCalls;
  bool starting = IsStopped();
  HRESULT hr = D_CFilterBase::Pause();
  if (SUCCEEDED(hr) && starting && samplesToPush > 0) thread_ = CreateHostThread(StreamThread, this, false);
  return hr;
}

HRESULT TestSource::Stop() {
  HRESULT hr = D_CFilterBase::Stop();  // decommits: a push waiting for a sample returns
  CloseHostThread(thread_);
  thread_ = nullptr;
  return hr;
}

HRESULT TestSource::PushSample(const uint8_t* data, int32_t length, REFERENCE_TIME start) {
  IMediaSample* sample = nullptr;
  HRESULT hr = pin_.GetEmptySample(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  uint8_t* buffer = nullptr;
  sample->GetPointer(&buffer);
  std::memcpy(buffer, data, static_cast<size_t>(length));
  sample->SetActualDataLength(length);
  REFERENCE_TIME stop = start + 1;
  sample->SetTime(&start, &stop);
  hr = pin_.DeliverSample(sample);
  sample->Release();
  return hr;
}

uint32_t TestSource::StreamThread(void* self) {
  auto* s = static_cast<TestSource*>(self);
  std::vector<uint8_t> data(static_cast<size_t>(s->bufferSize));
  for (int k = 0; k < s->samplesToPush; ++k) {
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((k * data.size() + i) * 7);
    HRESULT hr = s->PushSample(data.data(), s->bufferSize, k);
    s->lastPushResult = hr;
    if (hr != S_OK) return 1;
    s->pushed.fetch_add(1);
  }
  s->pin_.DeliverEndOfStream();
  return 0;
}

TestSinkPin::TestSinkPin(TestSink* filter, CriticalSection* lock)
    : D_CInputPinBase("sink pin", filter, lock, nullptr, u"In"), sink_(filter) {}

HRESULT TestSinkPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  ++sink_->acceptsCalls;
  return sink_->accepted.empty() || Listed(sink_->accepted, type) ? S_OK : S_FALSE;
}

HRESULT TestSinkPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  return Propose(sink_->proposed, position, type);
}

HRESULT TestSinkPin::FinishConnection(IPin*) { return sink_->finishResult; }

HRESULT TestSinkPin::Receive(IMediaSample* sample) {
  HRESULT hr = D_CInputPinBase::Receive(sample);
  if (hr != S_OK) return hr;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  int32_t length = sample->GetActualDataLength();
  if (sink_->recordBytes) {
    REFERENCE_TIME start = -1, stop = -1;
    if (FAILED(sample->GetTime(&start, &stop))) start = -1;
    sink_->starts.push_back(start);
    sink_->discontinuities.push_back(sample->IsDiscontinuity() == S_OK);
    sink_->bytes.insert(sink_->bytes.end(), data, data + length);
  }
  sink_->bytesSeen.fetch_add(length);
  if (sink_->holdSamples) {
    sample->AddRef();
    sink_->held.push_back(sample);
  }
  sink_->samples.fetch_add(1);
  sink_->received.Set();
  return S_OK;
}

HRESULT TestSinkPin::EndOfStream() {
  sink_->endOfStream.Set();
  return S_OK;
}

HRESULT TestSinkPin::EndFlush() {
  HRESULT hr = D_CInputPinBase::EndFlush();
  CriticalSectionGuard guard(*lock_);
  sink_->bytesAtFlush = sink_->bytes.size();
  sink_->startsAtFlush = sink_->starts.size();
  sink_->endOfStream.Reset();
  return hr;
}

TestSink::TestSink() : D_CFilterBase("test sink", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {}

TestSink::~TestSink() {
  ReleaseHeld();
  DeleteAll(accepted);
  DeleteAll(proposed);
}

void TestSink::ReleaseHeld() {
  for (IMediaSample* s : held) s->Release();
  held.clear();
}
