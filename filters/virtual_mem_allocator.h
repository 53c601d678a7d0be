#pragma once
// The allocator that places all its samples in one page block per allocation. The
// block is kept across a decommit and reused by the next commit when the properties
// did not change.
#include "filters/allocator_base.h"

class D_CVirtualMemAllocator : public D_CAllocatorBase {
 public:
  D_CVirtualMemAllocator(const char* objectName, IUnknown* outer, HRESULT* result);
  ~D_CVirtualMemAllocator() override;

  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;

 protected:
  void FreeSamples() override {}
  HRESULT AllocateSamples() override;
  void ReleaseSampleMemory();

  uint8_t* block_ = nullptr;
};
