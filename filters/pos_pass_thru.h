#pragma once
// Position requests passed through to the filter upstream: every IMediaSeeking and
// IMediaPosition call asks the pin's peer for the same interface and makes the same
// call on it. A rate of 0 is refused here, and the current position may be answered
// by a derived class from what it has seen.
#include "filters/position_dispatch.h"

class D_CPosPassThru : public IMediaSeeking, public D_CPositionDispatch {
 public:
  // `pin` is the filter's own pin whose peer receives the calls (kept without a
  // reference); a null pin writes E_POINTER into `result`.
  D_CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin);

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  // The times of the sample being rendered; the base has none (E_FAIL).
  virtual HRESULT LastSampleTimes(REFERENCE_TIME* start, REFERENCE_TIME* end);

  // IMediaSeeking
  HRESULT GetCapabilities(uint32_t* capabilities) override;
  HRESULT CheckCapabilities(uint32_t* capabilities) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(int64_t* duration) override;
  HRESULT GetStopPosition(int64_t* stop) override;
  HRESULT GetCurrentPosition(int64_t* current) override;
  HRESULT ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) override;
  HRESULT GetPositions(int64_t* current, int64_t* stop) override;
  HRESULT GetAvailable(int64_t* earliest, int64_t* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(int64_t* preroll) override;

  // IMediaPosition
  HRESULT get_Duration(REFTIME* length) override;
  HRESULT put_CurrentPosition(REFTIME time) override;
  HRESULT get_CurrentPosition(REFTIME* time) override;
  HRESULT get_StopTime(REFTIME* time) override;
  HRESULT put_StopTime(REFTIME time) override;
  HRESULT get_PrerollTime(REFTIME* time) override;
  HRESULT put_PrerollTime(REFTIME time) override;
  HRESULT put_Rate(double rate) override;
  HRESULT get_Rate(double* rate) override;
  HRESULT CanSeekForward(int32_t* canSeek) override;
  HRESULT CanSeekBackward(int32_t* canSeek) override;

 protected:
  HRESULT PeerSeeking(IMediaSeeking** out);
  HRESULT PeerPosition(IMediaPosition** out);

 private:
  // Calls `call` on the peer's interface; E_NOTIMPL without one.
  template <class I, class F>
  HRESULT Via(HRESULT (D_CPosPassThru::*peerInterface)(I**), F call);
  template <class F>
  HRESULT ViaSeeking(F call);
  template <class F>
  HRESULT ViaPosition(F call);

  IPin* pin_;
};
