#pragma once
// The renderer's pass-through: it also keeps the times of the sample being rendered,
// so the current position comes from what is on screen (converted upstream).
#include "filters/pos_pass_thru.h"
#include "host/kernel/sync.h"

class D_CRenderPosPassThru : public D_CPosPassThru {
 public:
  D_CRenderPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin);

  // The sample's times count from `segmentStart`; the position is kept in the media's
  // own time, so that after a seek it reads on from where the seek went.
  HRESULT RecordSampleTimes(IMediaSample* sample, REFERENCE_TIME segmentStart = 0);
  HRESULT LastSampleTimes(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT ClearSampleTimes();
  HRESULT EndOfStreamTimes();

 private:
  // The streaming thread records while the application asks.
  CriticalSection positionLock_;
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME end_ = 0;
  bool reset_ = true;
};
