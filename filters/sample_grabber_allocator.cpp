#include "filters/sample_grabber_allocator.h"

#include <new>

#include "filters/media_sample.h"

D_CSampleGrabberAllocator::D_CSampleGrabberAllocator(const ALLOCATOR_PROPERTIES& properties, uint8_t* buffer,
                                                     HRESULT* result)
    : D_CVirtualMemAllocator("SampleGrabberAllocator", nullptr, result),
      callerProperties_(properties),
      callerBuffer_(buffer) {}

D_CSampleGrabberAllocator::~D_CSampleGrabberAllocator() {
  // The buffer is the caller's: only the samples over it go.
  Decommit();
  DeleteFreeSamples();
}

void D_CSampleGrabberAllocator::DeleteFreeSamples() {
  CriticalSectionGuard guard(lock_);
  while (D_CMediaSampleObj* s = PopFree()) delete s;
  allocated_ = 0;
}

HRESULT D_CSampleGrabberAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr || actual == nullptr) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  *actual = {};
  const ALLOCATOR_PROPERTIES& own = callerProperties_;
  if (request->cbAlign != own.cbAlign) return VFW_E_BADALIGN;
  if (request->cbPrefix != own.cbPrefix || request->cbBuffer > own.cbBuffer || request->cBuffers > own.cBuffers) {
    return E_FAIL;
  }
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (freeCount_ < allocated_) return VFW_E_BUFFERS_OUTSTANDING;
  count_ = own.cBuffers;
  size_ = own.cbBuffer;
  alignment_ = own.cbAlign;
  prefix_ = own.cbPrefix;
  changed_ = true;
  *actual = own;
  return S_OK;
}

HRESULT D_CSampleGrabberAllocator::AllocateSamples() {
  CriticalSectionGuard guard(lock_);
  HRESULT hr = D_CAllocatorBase::AllocateSamples();
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) return S_OK;
  DeleteFreeSamples();
  const int64_t stride = static_cast<int64_t>(size_) + prefix_;
  for (int32_t i = 0; i < count_; ++i) {
    auto* sample = new (std::nothrow) D_CMediaSampleObj(this, callerBuffer_ + i * stride + prefix_, size_);
    if (sample == nullptr) return E_OUTOFMEMORY;
    PushFree(sample);
    ++allocated_;
  }
  changed_ = false;
  return S_OK;
}
