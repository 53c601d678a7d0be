#pragma once
// An allocator whose samples lie in a buffer its caller supplies: it takes only the
// caller's alignment and prefix and at most the caller's count and size.
#include "filters/virtual_mem_allocator.h"

class D_CSampleGrabberAllocator : public D_CVirtualMemAllocator {
 public:
  // `buffer` holds properties.cBuffers samples of cbBuffer bytes after cbPrefix bytes
  // each and must outlive the allocator.
  D_CSampleGrabberAllocator(const ALLOCATOR_PROPERTIES& properties, uint8_t* buffer, HRESULT* result);
  ~D_CSampleGrabberAllocator() override;

  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;

 protected:
  HRESULT AllocateSamples() override;

 private:
  void DeleteFreeSamples();

  ALLOCATOR_PROPERTIES callerProperties_;
  uint8_t* callerBuffer_;
};
