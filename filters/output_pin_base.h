#pragma once
// The base of output pins that push samples: the allocator choice at connection and
// delivery to the connected input.
#include "filters/pin_base.h"

class D_COutputPinBase : public D_CPinBase {
 public:
  D_COutputPinBase(const char* objectName, D_CFilterBase* filter, CriticalSection* lock, HRESULT* result,
                   const char16_t* pinName);
  ~D_COutputPinBase() override;

  HRESULT EndOfStream() override { return E_UNEXPECTED; }

  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT CheckPeer(IPin* peer) override;
  HRESULT ReleaseConnection() override;
  HRESULT FinishConnection(IPin* receivePin) override;

  // The peer's allocator when it suits SizeBuffers, else one of our own.
  virtual HRESULT ChooseAllocator(IMemInputPin* peer, IMemAllocator** allocator);
  virtual HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT GetEmptySample(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, uint32_t flags);
  virtual HRESULT DeliverSample(IMediaSample* sample);
  virtual HRESULT CreateOwnAllocator(IMemAllocator** allocator);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemAllocator* Allocator() const { return allocator_; }

 protected:
  IMemAllocator* allocator_ = nullptr;  // holds a reference
  IMemInputPin* peerInput_ = nullptr;   // holds a reference
};
