#pragma once
// The base of input pins: the allocator agreement and the checks every received
// sample passes (filter state, flushing, a refused type change).
#include <atomic>

#include "filters/pin_base.h"

class D_CInputPinBase : public D_CPinBase, public IMemInputPin {
 public:
  D_CInputPinBase(const char* objectName, D_CFilterBase* filter, CriticalSection* lock, HRESULT* result,
                  const char16_t* pinName);
  ~D_CInputPinBase() override;

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT Notify(IBaseFilter* sender, Quality quality) override;

  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveMultiple(IMediaSample** samples, int32_t count, int32_t* processed) override;
  HRESULT ReceiveCanBlock() override;

  HRESULT OnDeactivate() override;
  HRESULT ReleaseConnection() override;
  // S_OK when a sample may be taken now; checked on every sample.
  virtual HRESULT CheckStreamingState();
  HRESULT PassQualityUpstream(const Quality& quality);

  // The properties of the last sample received.
  const AM_SAMPLE2_PROPERTIES& SampleProperties() const { return sampleProperties_; }
  IMemAllocator* Allocator() const { return allocator_; }

 protected:
  void FreeReceivedType();

  IMemAllocator* allocator_ = nullptr;  // holds a reference
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
  AM_SAMPLE2_PROPERTIES sampleProperties_{};
  // The type copy taken from a sample without IMediaSample2: this pin's to free.
  AM_MEDIA_TYPE* receivedType_ = nullptr;
};
