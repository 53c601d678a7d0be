#pragma once
// The transform filter's input: every connection step and every sample goes through
// the filter's operations.
#include "filters/input_pin_base.h"

class D_CTransformFilterBase;

class D_CTransformInPin : public D_CInputPinBase {
 public:
  D_CTransformInPin(const char* objectName, D_CTransformFilterBase* filter, HRESULT* result, const char16_t* pinName);

  HRESULT QueryId(char16_t** id) override;
  HRESULT CheckPeer(IPin* peer) override;
  HRESULT ReleaseConnection() override;
  HRESULT FinishConnection(IPin* peer) override;
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
  HRESULT CheckStreamingState() override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  REFERENCE_TIME SegmentStart() const { return segmentStart_; }

 protected:
  bool BothConnected() const;

  D_CTransformFilterBase* transform_;
};
