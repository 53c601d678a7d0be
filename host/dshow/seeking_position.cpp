#include "host/dshow/seeking_position.h"

#include <cmath>

#include "host/dshow/control_type_library.h"

namespace {
constexpr double kUnitsPerSecond = 10000000.0;

// Seconds as media time, rounded to the nearest unit; E_INVALIDARG past its range.
HRESULT ToMediaTime(REFTIME seconds, int64_t* units) {
  const double value = std::nearbyint(seconds * kUnitsPerSecond);
  if (!(value > -9.2e18 && value < 9.2e18)) return E_INVALIDARG;
  *units = static_cast<int64_t>(value);
  return S_OK;
}

template <class Ask>
HRESULT Seconds(REFTIME* out, Ask ask) {
  if (out == nullptr) return E_POINTER;
  int64_t units = 0;
  HRESULT hr = ask(&units);
  if (SUCCEEDED(hr)) *out = static_cast<double>(units) / kUnitsPerSecond;
  return hr;
}
}  // namespace

HRESULT SeekingPosition::GetTypeInfoCount(uint32_t* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT SeekingPosition::GetTypeInfo(uint32_t index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
  return GetMediaPositionTypeInfo(info);
}

HRESULT SeekingPosition::GetIDsOfNames(REFIID, char16_t** names, uint32_t count, LCID locale, DISPID* ids) {
  ITypeInfo* info = nullptr;
  HRESULT hr = GetTypeInfo(0, locale, &info);
  if (FAILED(hr)) return hr;
  hr = info->GetIDsOfNames(names, count, ids);
  info->Release();
  return hr;
}

HRESULT SeekingPosition::Invoke(DISPID id, REFIID iid, LCID locale, uint16_t flags, DISPPARAMS* parameters,
                                VARIANT* result, EXCEPINFO* exception, uint32_t* argumentError) {
  if (iid != GUID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetTypeInfo(0, locale, &info);
  if (FAILED(hr)) return hr;
  hr = info->Invoke(static_cast<IMediaPosition*>(this), id, flags, parameters, result, exception, argumentError);
  info->Release();
  return hr;
}

HRESULT SeekingPosition::get_Duration(REFTIME* length) {
  return Seconds(length, [&](int64_t* t) { return PositionSeeking()->GetDuration(t); });
}

HRESULT SeekingPosition::put_CurrentPosition(REFTIME time) {
  int64_t units = 0;
  if (FAILED(ToMediaTime(time, &units))) return E_INVALIDARG;
  return PositionSeeking()->SetPositions(&units, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT SeekingPosition::get_CurrentPosition(REFTIME* time) {
  return Seconds(time, [&](int64_t* t) { return PositionSeeking()->GetCurrentPosition(t); });
}

HRESULT SeekingPosition::get_StopTime(REFTIME* time) {
  return Seconds(time, [&](int64_t* t) { return PositionSeeking()->GetStopPosition(t); });
}

HRESULT SeekingPosition::put_StopTime(REFTIME time) {
  int64_t units = 0;
  if (FAILED(ToMediaTime(time, &units))) return E_INVALIDARG;
  return PositionSeeking()->SetPositions(nullptr, AM_SEEKING_NoPositioning, &units, AM_SEEKING_AbsolutePositioning);
}

HRESULT SeekingPosition::get_PrerollTime(REFTIME* time) {
  return Seconds(time, [&](int64_t* t) { return PositionSeeking()->GetPreroll(t); });
}

// Media seeking has no way to set a preroll.
HRESULT SeekingPosition::put_PrerollTime(REFTIME) { return E_NOTIMPL; }

HRESULT SeekingPosition::put_Rate(double rate) { return PositionSeeking()->SetRate(rate); }

HRESULT SeekingPosition::get_Rate(double* rate) { return PositionSeeking()->GetRate(rate); }

HRESULT SeekingPosition::CanSeekForward(int32_t* canSeek) {
  if (canSeek == nullptr) return E_POINTER;
  uint32_t capabilities = AM_SEEKING_CanSeekForwards;
  *canSeek = PositionSeeking()->CheckCapabilities(&capabilities) == S_OK ? -1 : 0;
  return S_OK;
}

HRESULT SeekingPosition::CanSeekBackward(int32_t* canSeek) {
  if (canSeek == nullptr) return E_POINTER;
  uint32_t capabilities = AM_SEEKING_CanSeekBackwards;
  *canSeek = PositionSeeking()->CheckCapabilities(&capabilities) == S_OK ? -1 : 0;
  return S_OK;
}
