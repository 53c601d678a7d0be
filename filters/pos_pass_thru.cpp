#include "filters/pos_pass_thru.h"

D_CPosPassThru::D_CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin)
    : D_CPositionDispatch(objectName, outer), pin_(pin) {
  if (!pin && result) *result = E_POINTER;
}

HRESULT D_CPosPassThru::InnerQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IMediaSeeking) return HandOutInterface(static_cast<IMediaSeeking*>(this), out);
  return D_CPositionDispatch::InnerQueryInterface(iid, out);
}

HRESULT D_CPosPassThru::LastSampleTimes(REFERENCE_TIME*, REFERENCE_TIME*) { return E_FAIL; }

namespace {

// The peer of `pin` asked for `iid`: E_NOTIMPL when there is no peer or it has none.
HRESULT PeerInterface(IPin* pin, REFIID iid, void** out) {
  *out = nullptr;
  IPin* peer = nullptr;
  if (!pin || FAILED(pin->ConnectedTo(&peer)) || !peer) return E_NOTIMPL;
  HRESULT hr = peer->QueryInterface(iid, out);
  peer->Release();
  return FAILED(hr) ? E_NOTIMPL : S_OK;
}

}  // namespace

HRESULT D_CPosPassThru::PeerSeeking(IMediaSeeking** out) {
  return PeerInterface(pin_, IID_IMediaSeeking, reinterpret_cast<void**>(out));
}

HRESULT D_CPosPassThru::PeerPosition(IMediaPosition** out) {
  return PeerInterface(pin_, IID_IMediaPosition, reinterpret_cast<void**>(out));
}

template <class I, class F>
HRESULT D_CPosPassThru::Via(HRESULT (D_CPosPassThru::*peerInterface)(I**), F call) {
  I* peer = nullptr;
  HRESULT hr = (this->*peerInterface)(&peer);
  if (FAILED(hr)) return hr;
  hr = call(peer);
  peer->Release();
  return hr;
}

template <class F>
HRESULT D_CPosPassThru::ViaSeeking(F call) {
  return Via(&D_CPosPassThru::PeerSeeking, call);
}

template <class F>
HRESULT D_CPosPassThru::ViaPosition(F call) {
  return Via(&D_CPosPassThru::PeerPosition, call);
}

HRESULT D_CPosPassThru::GetCapabilities(uint32_t* c) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetCapabilities(c); }); }
HRESULT D_CPosPassThru::CheckCapabilities(uint32_t* c) { return ViaSeeking([&](IMediaSeeking* s) { return s->CheckCapabilities(c); }); }
HRESULT D_CPosPassThru::IsFormatSupported(const GUID* f) { return ViaSeeking([&](IMediaSeeking* s) { return s->IsFormatSupported(f); }); }
HRESULT D_CPosPassThru::QueryPreferredFormat(GUID* f) { return ViaSeeking([&](IMediaSeeking* s) { return s->QueryPreferredFormat(f); }); }
HRESULT D_CPosPassThru::GetTimeFormat(GUID* f) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetTimeFormat(f); }); }
HRESULT D_CPosPassThru::IsUsingTimeFormat(const GUID* f) { return ViaSeeking([&](IMediaSeeking* s) { return s->IsUsingTimeFormat(f); }); }
HRESULT D_CPosPassThru::SetTimeFormat(const GUID* f) { return ViaSeeking([&](IMediaSeeking* s) { return s->SetTimeFormat(f); }); }
HRESULT D_CPosPassThru::GetDuration(int64_t* d) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetDuration(d); }); }
HRESULT D_CPosPassThru::GetStopPosition(int64_t* p) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetStopPosition(p); }); }

HRESULT D_CPosPassThru::GetCurrentPosition(int64_t* current) {
  if (SUCCEEDED(LastSampleTimes(current, nullptr))) return S_OK;
  return ViaSeeking([&](IMediaSeeking* s) { return s->GetCurrentPosition(current); });
}

HRESULT D_CPosPassThru::ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                          const GUID* sourceFormat) {
  return ViaSeeking([&](IMediaSeeking* s) { return s->ConvertTimeFormat(target, targetFormat, source, sourceFormat); });
}
HRESULT D_CPosPassThru::SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) {
  return ViaSeeking([&](IMediaSeeking* s) { return s->SetPositions(current, currentFlags, stop, stopFlags); });
}
HRESULT D_CPosPassThru::GetPositions(int64_t* c, int64_t* st) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetPositions(c, st); }); }
HRESULT D_CPosPassThru::GetAvailable(int64_t* e, int64_t* l) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetAvailable(e, l); }); }

HRESULT D_CPosPassThru::SetRate(double rate) {
  if (rate == 0.0) return E_INVALIDARG;
  return ViaSeeking([&](IMediaSeeking* s) { return s->SetRate(rate); });
}
HRESULT D_CPosPassThru::GetRate(double* r) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetRate(r); }); }
HRESULT D_CPosPassThru::GetPreroll(int64_t* p) { return ViaSeeking([&](IMediaSeeking* s) { return s->GetPreroll(p); }); }

HRESULT D_CPosPassThru::get_Duration(REFTIME* t) { return ViaPosition([&](IMediaPosition* p) { return p->get_Duration(t); }); }
HRESULT D_CPosPassThru::put_CurrentPosition(REFTIME t) { return ViaPosition([&](IMediaPosition* p) { return p->put_CurrentPosition(t); }); }
HRESULT D_CPosPassThru::get_CurrentPosition(REFTIME* t) { return ViaPosition([&](IMediaPosition* p) { return p->get_CurrentPosition(t); }); }
HRESULT D_CPosPassThru::get_StopTime(REFTIME* t) { return ViaPosition([&](IMediaPosition* p) { return p->get_StopTime(t); }); }
HRESULT D_CPosPassThru::put_StopTime(REFTIME t) { return ViaPosition([&](IMediaPosition* p) { return p->put_StopTime(t); }); }
HRESULT D_CPosPassThru::get_PrerollTime(REFTIME* t) { return ViaPosition([&](IMediaPosition* p) { return p->get_PrerollTime(t); }); }
HRESULT D_CPosPassThru::put_PrerollTime(REFTIME t) { return ViaPosition([&](IMediaPosition* p) { return p->put_PrerollTime(t); }); }

HRESULT D_CPosPassThru::put_Rate(double rate) {
  if (rate == 0.0) return E_INVALIDARG;
  return ViaPosition([&](IMediaPosition* p) { return p->put_Rate(rate); });
}
HRESULT D_CPosPassThru::get_Rate(double* r) { return ViaPosition([&](IMediaPosition* p) { return p->get_Rate(r); }); }
HRESULT D_CPosPassThru::CanSeekForward(int32_t* c) { return ViaPosition([&](IMediaPosition* p) { return p->CanSeekForward(c); }); }
HRESULT D_CPosPassThru::CanSeekBackward(int32_t* c) { return ViaPosition([&](IMediaPosition* p) { return p->CanSeekBackward(c); }); }
