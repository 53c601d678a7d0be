#pragma once
// An in-place filter that passes every sample on unchanged and hands each, on the way,
// to a callback with its times and a user value. It accepts only the type it is told to.
#include "filters/in_place_filter.h"

class D_CSampleGrabberInPin;

class D_CSampleGrabber : public D_CInPlaceFilter, public GrabberControl {
 public:
  D_CSampleGrabber(IUnknown* outer, HRESULT* result);
  ~D_CSampleGrabber() override;

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT SetAcceptedType(const AM_MEDIA_TYPE* type) override;
  HRESULT GetConnectionType(AM_MEDIA_TYPE* type) override;
  HRESULT SetSampleCallback(SampleCallback callback, uintptr_t user) override;
  HRESULT SetOutputBuffer(ALLOCATOR_PROPERTIES properties, uint8_t* buffer) override;

  HRESULT AcceptsInputType(const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveSample(IMediaSample* sample) override;
  HRESULT TransformInPlace(IMediaSample* sample) override;

  GUID AcceptedMajorType();
  GrabberControl* AsGrabberControl() { return this; }

 private:
  D_CSampleGrabberInPin* GrabberInput() const;

  D_CMediaTypeRec accepted_;
  SampleCallback callback_ = nullptr;
  CriticalSection grabberLock_;
  uintptr_t user_ = 0;
};

// A grabber with no reference yet (null when it cannot be made; *result says why).
D_CSampleGrabber* CreateSampleGrabber(IUnknown* outer, HRESULT* result);
