#pragma once
// The base of filters with one input and one output pin that pass samples through.
// State changes, flushing and connections run under the filter lock; each Receive and
// EndOfStream runs under the receive lock.
#include "filters/filter_base.h"
#include "filters/media_type.h"

class D_CTransformInPin;
class D_CTransformOutPin;

class D_CTransformFilterBase : public D_CFilterBase {
 public:
  D_CTransformFilterBase(const char* objectName, IUnknown* outer, REFCLSID clsid);
  ~D_CTransformFilterBase() override;

  int32_t PinCount() override { return 2; }
  // Makes the "XForm In" and "XForm Out" pins on first need.
  D_CPinBase* PinAt(int32_t index) override;
  HRESULT FindPin(const char16_t* id, IPin** pin) override;
  HRESULT Stop() override;
  HRESULT Pause() override;

  virtual HRESULT TransformSample(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }
  virtual HRESULT AcceptsInputType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT AcceptsTransform(const AM_MEDIA_TYPE* input, const AM_MEDIA_TYPE* output) = 0;
  virtual HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT ProposedOutputType(int32_t position, D_CMediaTypeRec* type) = 0;
  virtual HRESULT OnStartStreaming() { return S_OK; }
  virtual HRESULT OnStopStreaming() { return S_OK; }
  virtual HRESULT AdjustQuality(Quality) { return S_FALSE; }
  virtual HRESULT OnPinTypeSet(PIN_DIRECTION, const AM_MEDIA_TYPE*) { return S_OK; }
  virtual HRESULT CheckPinPeer(PIN_DIRECTION, IPin*) { return S_OK; }
  virtual HRESULT OnPinDisconnect(PIN_DIRECTION) { return S_OK; }
  virtual HRESULT OnPinConnected(PIN_DIRECTION, IPin*) { return S_OK; }
  // Under the receive lock, after the input pin's checks.
  virtual HRESULT ReceiveSample(IMediaSample* sample);
  virtual HRESULT OnEndOfStream();
  virtual HRESULT OnBeginFlush();
  virtual HRESULT OnEndFlush();
  virtual HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  D_CTransformInPin* InputPin() const { return input_; }
  D_CTransformOutPin* OutputPin() const { return output_; }
  CriticalSection& FilterLock() { return filterLock_; }
  CriticalSection& ReceiveLock() { return receiveLock_; }

 protected:
  bool endOfStreamDelivered_ = false;
  bool sampleSkipped_ = false;
  bool qualityChanged_ = false;
  CriticalSection filterLock_;
  CriticalSection receiveLock_;
  D_CTransformInPin* input_ = nullptr;
  D_CTransformOutPin* output_ = nullptr;
};
