#include "filters/allocator_base.h"

#include "filters/media_sample.h"

D_CAllocatorBase::D_CAllocatorBase(const char* objectName, IUnknown* outer, HRESULT* result, bool withSemaphore,
                                   bool releaseCallback)
    : D_CComBase(objectName, outer), releaseCallback_(releaseCallback) {
  if (withSemaphore) {
    semaphore_ = new (std::nothrow) Semaphore(0, 0x7FFFFFFF);
    if (semaphore_ == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  }
}

D_CAllocatorBase::~D_CAllocatorBase() {
  delete semaphore_;
  if (notify_ != nullptr) notify_->Release();
}

HRESULT D_CAllocatorBase::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMemAllocator || (iid == IID_IMemAllocatorCallbackTemp && releaseCallback_)) {
    return HandOutInterface(static_cast<IMemAllocatorCallbackTemp*>(this), out);
  }
  return D_CComBase::InnerQueryInterface(iid, out);
}

HRESULT D_CAllocatorBase::GetProperties(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  *properties = {count_, size_, alignment_, prefix_};
  return S_OK;
}

HRESULT D_CAllocatorBase::Commit() {
  CriticalSectionGuard guard(lock_);
  if (committed_) return S_OK;
  committed_ = true;
  if (decommitPending_) {
    decommitPending_ = false;  // the samples and the self-reference are still there
    return S_OK;
  }
  HRESULT hr = AllocateSamples();
  if (FAILED(hr)) {
    committed_ = false;
    return hr;
  }
  AddRef();
  return S_OK;
}

HRESULT D_CAllocatorBase::Decommit() {
  bool releaseSelf = false;
  {
    CriticalSectionGuard guard(lock_);
    if (!committed_ && !decommitPending_) return S_OK;
    committed_ = false;
    if (freeCount_ < allocated_) {
      decommitPending_ = true;
    } else if (!decommitPending_) {
      FreeSamples();
      releaseSelf = true;
    }
    WakeWaiters();
  }
  if (releaseSelf) Release();
  return S_OK;
}

HRESULT D_CAllocatorBase::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, uint32_t flags) {
  if (sample == nullptr) return E_POINTER;
  *sample = nullptr;
  for (;;) {
    {
      CriticalSectionGuard guard(lock_);
      if (!committed_) return VFW_E_NOT_COMMITTED;
      if (D_CMediaSampleObj* s = PopFree()) {
        s->count_.store(1);
        *sample = s;
        return S_OK;
      }
      if ((flags & AM_GBF_NOWAIT) != 0 || semaphore_ == nullptr) return VFW_E_TIMEOUT;
      // Only a caller that really waits is counted: a phantom waiter would leave the
      // semaphore raised for nobody.
      ++waiting_;
    }
    WaitForObject(semaphore_, kInfinite);
  }
}

HRESULT D_CAllocatorBase::ReleaseBuffer(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  bool releaseSelf = false;
  IMemAllocatorNotifyCallbackTemp* notify = nullptr;
  {
    CriticalSectionGuard guard(lock_);
    PushFree(static_cast<D_CMediaSampleObj*>(sample));
    if (waiting_ > 0) WakeWaiters();
    if (decommitPending_ && freeCount_ == allocated_) {
      FreeSamples();
      decommitPending_ = false;
      releaseSelf = true;
    }
    notify = notify_;
    if (notify != nullptr) notify->AddRef();
  }
  if (notify != nullptr) {
    notify->NotifyRelease();
    notify->Release();
  }
  // Possibly the last reference: nothing of this allocator is used after it.
  if (releaseSelf) Release();
  return S_OK;
}

HRESULT D_CAllocatorBase::SetNotify(IMemAllocatorNotifyCallbackTemp* notify) {
  CriticalSectionGuard guard(lock_);
  if (notify != nullptr) notify->AddRef();
  if (notify_ != nullptr) notify_->Release();
  notify_ = notify;
  return S_OK;
}

HRESULT D_CAllocatorBase::GetFreeCount(int32_t* free) {
  if (free == nullptr) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  *free = count_ - allocated_ + freeCount_;
  return S_OK;
}

int32_t D_CAllocatorBase::WaitingCount() {
  CriticalSectionGuard guard(lock_);
  return waiting_;
}

HRESULT D_CAllocatorBase::AllocateSamples() {
  if (count_ <= 0 || size_ <= 0 || alignment_ <= 0) return VFW_E_SIZENOTSET;
  return changed_ ? S_OK : S_FALSE;
}

void D_CAllocatorBase::PushFree(D_CMediaSampleObj* sample) {
  sample->next_ = freeList_;
  freeList_ = sample;
  ++freeCount_;
}

D_CMediaSampleObj* D_CAllocatorBase::PopFree() {
  D_CMediaSampleObj* s = freeList_;
  if (s != nullptr) {
    freeList_ = s->next_;
    --freeCount_;
  }
  return s;
}

void D_CAllocatorBase::WakeWaiters() {
  if (waiting_ > 0 && semaphore_ != nullptr) semaphore_->Release(waiting_);
  waiting_ = 0;
}
