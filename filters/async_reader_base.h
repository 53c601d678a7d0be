#pragma once
// A source filter with one pull-mode output pin that serves reads of a stream through
// a request queue and its worker thread.
#include "filters/async_out_pin.h"
#include "filters/filter_base.h"
#include "filters/read_request_queue.h"

class D_CAsyncReaderBase : public D_CFilterBase {
 public:
  D_CAsyncReaderBase(const char* objectName, IUnknown* outer, D_CStreamBase* stream, HRESULT* result);
  ~D_CAsyncReaderBase() override;

  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 && PinCount() >= 1 ? &pin_ : nullptr; }
  const AMOVIESETUP_FILTER* SetupData() override { return nullptr; }
  virtual HRESULT ConnectOutput(IPin* pin, const AM_MEDIA_TYPE* type);

  const D_CMediaTypeRec& OfferedType() const { return offered_; }
  D_CAsyncOutPin& OutputPin() { return pin_; }
  D_CReadRequestQueue& Queue() { return queue_; }

 protected:
  CriticalSection lock_;
  D_CReadRequestQueue queue_;
  D_CAsyncOutPin pin_;
  D_CMediaTypeRec offered_;
};
