#include "filters/async_out_pin.h"

#include <new>

#include "filters/async_reader_base.h"
#include "filters/read_request_queue.h"
#include "filters/virtual_mem_allocator.h"

namespace {
constexpr int64_t kUnitsPerByte = 10000000;
}

HRESULT CreateReaderAllocator(IMemAllocator** out) {
  *out = nullptr;
  HRESULT hr = S_OK;
  auto* allocator = new (std::nothrow) D_CVirtualMemAllocator(nullptr, nullptr, &hr);
  if (allocator == nullptr) return E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete allocator;
    return hr;
  }
  allocator->InnerAddRef();
  hr = allocator->InnerQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(out));
  allocator->InnerRelease();
  return FAILED(hr) ? E_NOINTERFACE : S_OK;
}

D_CAsyncOutPin::D_CAsyncOutPin(D_CAsyncReaderBase* reader, D_CReadRequestQueue* queue, CriticalSection* lock,
                               HRESULT* result)
    : D_CPinBase(nullptr, reader, lock, result, u"Output", PINDIR_OUTPUT), reader_(reader), queue_(queue) {}

HRESULT D_CAsyncOutPin::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IAsyncReader) {
    queried_ = true;
    return HandOutInterface(static_cast<IAsyncReader*>(this), out);
  }
  return D_CPinBase::InnerQueryInterface(iid, out);
}

HRESULT D_CAsyncOutPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  return reader_->ConnectOutput(receivePin, type);
}

HRESULT D_CAsyncOutPin::CheckPeer(IPin* peer) {
  queried_ = false;
  return D_CPinBase::CheckPeer(peer);
}

HRESULT D_CAsyncOutPin::ReleaseConnection() {
  queried_ = false;
  return S_OK;
}

HRESULT D_CAsyncOutPin::FinishConnection(IPin* peer) {
  return queried_ ? D_CPinBase::FinishConnection(peer) : E_FAIL;
}

HRESULT D_CAsyncOutPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (type == nullptr) return E_POINTER;
  if (reader_ == nullptr) return E_UNEXPECTED;
  return type->SetFrom(reader_->OfferedType());
}

HRESULT D_CAsyncOutPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  const AM_MEDIA_TYPE& offered = reader_->OfferedType();
  if (type->majortype != offered.majortype) return S_FALSE;
  return offered.subtype == GUID_NULL || offered.subtype == type->subtype ? S_OK : S_FALSE;
}

HRESULT D_CAsyncOutPin::RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                         IMemAllocator** actual) {
  if (preferred == nullptr || properties == nullptr || actual == nullptr) return E_POINTER;
  *actual = nullptr;
  int32_t alignment = 1;
  queue_->StreamAlignment(&alignment);
  if (properties->cbAlign == 0 || (properties->cbAlign & (alignment - 1)) != 0) properties->cbAlign = alignment;
  ALLOCATOR_PROPERTIES got{};
  HRESULT hr = preferred->SetProperties(properties, &got);
  if (SUCCEEDED(hr) && (got.cbAlign & (alignment - 1)) == 0) {
    preferred->AddRef();
    *actual = preferred;
    return S_OK;
  }
  IMemAllocator* own = nullptr;
  hr = CreateReaderAllocator(&own);
  if (FAILED(hr)) return hr;
  hr = own->SetProperties(properties, &got);
  if (SUCCEEDED(hr) && (got.cbAlign & (alignment - 1)) == 0) {
    *actual = own;
    return S_OK;
  }
  own->Release();
  return FAILED(hr) ? hr : VFW_E_BADALIGN;
}

HRESULT D_CAsyncOutPin::SampleRange(IMediaSample* sample, int64_t* position, int32_t* length,
                                    uint8_t** buffer) {
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT hr = sample->GetTime(&start, &stop);
  if (FAILED(hr)) return hr;
  *position = start / kUnitsPerByte;
  *length = static_cast<int32_t>((stop - start) / kUnitsPerByte);
  int64_t total = 0;
  queue_->StreamLength(&total, nullptr);
  if (*position + *length > total) {
    int32_t alignment = 1;
    queue_->StreamAlignment(&alignment);
    total = (total + alignment - 1) & ~static_cast<int64_t>(alignment - 1);
    if (*position + *length > total) {
      // Past the end reads nothing, never a negative count.
      *length = *position < total ? static_cast<int32_t>(total - *position) : 0;
      REFERENCE_TIME newStop = (*position + *length) * kUnitsPerByte;
      sample->SetTime(&start, &newStop);
    }
  }
  return sample->GetPointer(buffer);
}

HRESULT D_CAsyncOutPin::Request(IMediaSample* sample, uintptr_t user) {
  if (sample == nullptr) return E_POINTER;
  int64_t position = 0;
  int32_t length = 0;
  uint8_t* buffer = nullptr;
  HRESULT hr = SampleRange(sample, &position, &length, &buffer);
  if (FAILED(hr)) return hr;
  return queue_->QueueRead(position, length, true, buffer, sample, user);
}

HRESULT D_CAsyncOutPin::WaitForNext(uint32_t timeoutMs, IMediaSample** sample, uintptr_t* user) {
  if (sample == nullptr) return E_POINTER;
  int32_t bytesRead = 0;
  IMediaSample* context = nullptr;
  HRESULT hr = queue_->WaitForCompletedRead(timeoutMs, &context, user, &bytesRead);
  if (SUCCEEDED(hr) && context != nullptr) context->SetActualDataLength(bytesRead);
  *sample = context;
  return hr;
}

HRESULT D_CAsyncOutPin::SyncReadAligned(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  int64_t position = 0;
  int32_t length = 0;
  uint8_t* buffer = nullptr;
  HRESULT hr = SampleRange(sample, &position, &length, &buffer);
  if (FAILED(hr)) return hr;
  int32_t bytesRead = 0;
  hr = queue_->ReadAlignedNow(position, length, buffer, &bytesRead, sample);
  sample->SetActualDataLength(bytesRead);
  return hr;
}

HRESULT D_CAsyncOutPin::SyncRead(int64_t position, int32_t length, uint8_t* buffer) {
  return queue_->ReadNow(position, length, buffer);
}

HRESULT D_CAsyncOutPin::Length(int64_t* total, int64_t* available) { return queue_->StreamLength(total, available); }

HRESULT D_CAsyncOutPin::ReaderBeginFlush() {
  queue_->BeginQueueFlush();
  return S_OK;
}

HRESULT D_CAsyncOutPin::ReaderEndFlush() {
  queue_->EndQueueFlush();
  return S_OK;
}
