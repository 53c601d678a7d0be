#pragma once
// The pool of free samples and the commit state shared by the library's allocators.
// A commit holds a reference to the allocator itself until every sample is back after
// the decommit, so an allocator outlives the samples it lent.
#include <cstdint>

#include "filters/com_base.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/sync.h"

class D_CMediaSampleObj;

class D_CAllocatorBase : public D_CComBase, public IMemAllocatorCallbackTemp {
 public:
  // `withSemaphore`: GetBuffer may wait for a sample. `releaseCallback`: the
  // allocator offers IMemAllocatorCallbackTemp.
  D_CAllocatorBase(const char* objectName, IUnknown* outer, HRESULT* result, bool withSemaphore,
                   bool releaseCallback);
  ~D_CAllocatorBase() override;

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, uint32_t flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;
  HRESULT SetNotify(IMemAllocatorNotifyCallbackTemp* notify) override;
  HRESULT GetFreeCount(int32_t* free) override;

  // GetBuffer calls now waiting for a sample (tests watch it instead of sleeping).
  int32_t WaitingCount();

 protected:
  virtual void FreeSamples() = 0;
  // VFW_E_SIZENOTSET without usable properties, S_FALSE when nothing changed since the
  // last allocation, S_OK when the derived allocator must allocate.
  virtual HRESULT AllocateSamples();

  void PushFree(D_CMediaSampleObj* sample);
  D_CMediaSampleObj* PopFree();
  void WakeWaiters();

  CriticalSection lock_;
  D_CMediaSampleObj* freeList_ = nullptr;
  int32_t freeCount_ = 0;
  Semaphore* semaphore_ = nullptr;
  int32_t waiting_ = 0;
  int32_t count_ = 0;
  int32_t allocated_ = 0;
  int32_t size_ = 0;
  int32_t alignment_ = 0;
  int32_t prefix_ = 0;
  bool changed_ = false;
  bool committed_ = false;
  bool decommitPending_ = false;
  IMemAllocatorNotifyCallbackTemp* notify_ = nullptr;
  bool releaseCallback_;
};
