#include "filters/virtual_mem_allocator.h"

#include <new>

#include "filters/media_sample.h"
#include "host/kernel/virtual_block.h"

D_CVirtualMemAllocator::D_CVirtualMemAllocator(const char* objectName, IUnknown* outer, HRESULT* result)
    : D_CAllocatorBase(objectName, outer, result, true, true) {}

D_CVirtualMemAllocator::~D_CVirtualMemAllocator() {
  Decommit();
  ReleaseSampleMemory();
}

HRESULT D_CVirtualMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (actual == nullptr || request == nullptr) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  *actual = {};
  const int32_t align = request->cbAlign;
  if (align <= 0 || (kAllocationGranularity & static_cast<size_t>(align - 1)) != 0) return VFW_E_BADALIGN;
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (freeCount_ < allocated_) return VFW_E_BUFFERS_OUTSTANDING;
  // Negative counts or sizes would place samples outside the block.
  if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
  int64_t total = static_cast<int64_t>(request->cbBuffer) + request->cbPrefix;
  if (int64_t remainder = total % align; remainder != 0) total += align - remainder;
  if (total > INT32_MAX) return E_INVALIDARG;
  size_ = static_cast<int32_t>(total) - request->cbPrefix;
  count_ = request->cBuffers;
  alignment_ = align;
  prefix_ = request->cbPrefix;
  changed_ = true;
  *actual = {count_, size_, alignment_, prefix_};
  return S_OK;
}

HRESULT D_CVirtualMemAllocator::AllocateSamples() {
  CriticalSectionGuard guard(lock_);
  HRESULT hr = D_CAllocatorBase::AllocateSamples();
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) return S_OK;
  ReleaseSampleMemory();
  int64_t stride = static_cast<int64_t>(size_) + prefix_;
  if (alignment_ > 1 && stride % alignment_ != 0) stride += alignment_ - stride % alignment_;
  const int64_t total = stride * count_;
  if (total > INT32_MAX) return E_OUTOFMEMORY;
  block_ = static_cast<uint8_t*>(AllocVirtualBlock(static_cast<size_t>(total)));
  if (block_ == nullptr) return E_OUTOFMEMORY;
  for (int32_t i = 0; i < count_; ++i) {
    auto* sample = new (std::nothrow) D_CMediaSampleObj(this, block_ + i * stride + prefix_, size_);
    if (sample == nullptr) return E_OUTOFMEMORY;
    PushFree(sample);
    ++allocated_;
  }
  changed_ = false;
  return S_OK;
}

void D_CVirtualMemAllocator::ReleaseSampleMemory() {
  CriticalSectionGuard guard(lock_);
  while (D_CMediaSampleObj* s = PopFree()) delete s;
  allocated_ = 0;
  FreeVirtualBlock(block_);
  block_ = nullptr;
}
