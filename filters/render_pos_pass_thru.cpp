#include "filters/render_pos_pass_thru.h"

D_CRenderPosPassThru::D_CRenderPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin)
    : D_CPosPassThru(objectName, outer, result, pin) {}

HRESULT D_CRenderPosPassThru::RecordSampleTimes(IMediaSample* sample, REFERENCE_TIME segmentStart) {
  CriticalSectionGuard guard(positionLock_);
  REFERENCE_TIME start = 0, end = 0;
  HRESULT hr = sample->GetTime(&start, &end);
  if (FAILED(hr)) return hr;
  start_ = start + segmentStart;
  end_ = end + segmentStart;
  reset_ = false;
  return S_OK;
}

HRESULT D_CRenderPosPassThru::LastSampleTimes(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  CriticalSectionGuard guard(positionLock_);
  if (reset_) return E_FAIL;
  IMediaSeeking* self = this;
  HRESULT hr = self->ConvertTimeFormat(start, nullptr, start_, &TIME_FORMAT_MEDIA_TIME);
  if (end && SUCCEEDED(hr)) hr = self->ConvertTimeFormat(end, nullptr, end_, &TIME_FORMAT_MEDIA_TIME);
  return hr;
}

HRESULT D_CRenderPosPassThru::ClearSampleTimes() {
  CriticalSectionGuard guard(positionLock_);
  start_ = end_ = 0;
  reset_ = true;
  return S_OK;
}

HRESULT D_CRenderPosPassThru::EndOfStreamTimes() {
  {
    CriticalSectionGuard guard(positionLock_);
    if (reset_) return E_FAIL;
  }
  REFERENCE_TIME stop = 0;
  HRESULT hr = static_cast<IMediaSeeking*>(this)->GetStopPosition(&stop);
  if (SUCCEEDED(hr)) {
    CriticalSectionGuard guard(positionLock_);
    start_ = end_ = stop;
  }
  return hr;
}
