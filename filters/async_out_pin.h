#pragma once
// The async reader's output pin. It delivers nothing itself: the downstream filter
// pulls bytes through IAsyncReader, and a downstream pin that never asks for that
// interface cannot connect.
#include <atomic>

#include "filters/pin_base.h"

class D_CAsyncReaderBase;
class D_CReadRequestQueue;

// IPin and IAsyncReader both have BeginFlush and EndFlush: the reader's get names of
// their own here, so that the pin's stay the pin's.
struct AsyncReaderFlushNames : IAsyncReader {
  HRESULT BeginFlush() final { return ReaderBeginFlush(); }
  HRESULT EndFlush() final { return ReaderEndFlush(); }
  virtual HRESULT ReaderBeginFlush() = 0;
  virtual HRESULT ReaderEndFlush() = 0;
};

class D_CAsyncOutPin : public D_CPinBase, public AsyncReaderFlushNames {
 public:
  D_CAsyncOutPin(D_CAsyncReaderBase* reader, D_CReadRequestQueue* queue, CriticalSection* lock, HRESULT* result);

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT CheckPeer(IPin* peer) override;
  HRESULT ReleaseConnection() override;
  HRESULT FinishConnection(IPin* peer) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;

  HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                           IMemAllocator** actual) override;
  HRESULT Request(IMediaSample* sample, uintptr_t user) override;
  HRESULT WaitForNext(uint32_t timeoutMs, IMediaSample** sample, uintptr_t* user) override;
  HRESULT SyncReadAligned(IMediaSample* sample) override;
  HRESULT SyncRead(int64_t position, int32_t length, uint8_t* buffer) override;
  HRESULT Length(int64_t* total, int64_t* available) override;
  HRESULT ReaderBeginFlush() override;
  HRESULT ReaderEndFlush() override;

  // The byte range a sample's times ask for, cut at the end of the stream (its stop
  // time too), never negative, and the sample's buffer to read it into.
  HRESULT SampleRange(IMediaSample* sample, int64_t* position, int32_t* length, uint8_t** buffer);

 private:
  D_CAsyncReaderBase* reader_;
  D_CReadRequestQueue* queue_;
  std::atomic<bool> queried_{false};
};

// The reader's own allocator for a downstream filter that brings none that suits.
HRESULT CreateReaderAllocator(IMemAllocator** out);
