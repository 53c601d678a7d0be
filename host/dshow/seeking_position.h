#pragma once
// IMediaPosition, in seconds, answered from the same object's IMediaSeeking in media
// time: for pins that seek but have no position interface of their own, so that a
// position pass-through downstream (a renderer's) has one to forward to.
#include "host/dshow/interfaces.h"
#include "host/dshow/without_type_info.h"

class SeekingPosition : public WithoutTypeInfo<IMediaPosition> {
 public:
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
