#pragma once
// IMediaPosition, in seconds, answered from the same object's IMediaSeeking in media
// time: for objects that seek but have no position interface of their own (a source's
// pins, so that a renderer's pass-through has one to forward to; the graph manager,
// whose seeking pauses and restarts the graph around the seek). A script reaches its
// members by name: their type information is the media-control type library's.
#include "host/dshow/interfaces.h"

class SeekingPosition : public IMediaPosition {
 public:
  // IDispatch
  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, char16_t** names, uint32_t count, LCID locale, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID iid, LCID locale, uint16_t flags, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception, uint32_t* argumentError) override;

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
  virtual IMediaSeeking* PositionSeeking() = 0;
};
