#include "filters/pin_base.h"

#include <new>

#include "filters/enum_media_types.h"
#include "filters/filter_base.h"
#include "host/kernel/wide_string.h"

namespace {
// Failures that say only "not this type": negotiation goes on and reports something
// more telling when it can.
bool IsPlainRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

HRESULT AsRefusal(HRESULT hr) {
  return SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG ? VFW_E_TYPE_NOT_ACCEPTED : hr;
}
}  // namespace

D_CPinBase::D_CPinBase(const char* objectName, D_CFilterBase* filter, CriticalSection* lock, HRESULT*,
                       const char16_t* pinName, PIN_DIRECTION direction)
    : D_CComBase(objectName, nullptr), direction_(direction), lock_(lock), filter_(filter) {
  if (pinName != nullptr) {
    size_t length = WideLength(pinName) + 1;
    name_ = new (std::nothrow) char16_t[length];
    if (name_ != nullptr) WideCopyN(name_, pinName, length);
  }
}

D_CPinBase::~D_CPinBase() { delete[] name_; }

HRESULT D_CPinBase::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IPin) return HandOutInterface(static_cast<IPin*>(this), out);
  if (iid == IID_IQualityControl) return HandOutInterface(static_cast<IQualityControl*>(this), out);
  return D_CComBase::InnerQueryInterface(iid, out);
}

uint32_t D_CPinBase::InnerAddRef() { return filter_->AsBaseFilter()->AddRef(); }
uint32_t D_CPinBase::InnerRelease() { return filter_->AsBaseFilter()->Release(); }

void D_CPinBase::SetConnected(IPin* pin) {
  if (pin != nullptr) pin->AddRef();
  if (IPin* old = connected_.exchange(pin)) old->Release();
}

HRESULT D_CPinBase::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (receivePin == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = NegotiateType(receivePin, type);
  if (FAILED(hr)) {
    ReleaseConnection();
    return hr;
  }
  return S_OK;
}

HRESULT D_CPinBase::NegotiateType(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (type != nullptr && !MediaTypeIsPartial(*type)) return TryConnectWithType(receivePin, type);
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  // The receiving pin's types first, then this pin's own (a derived list included).
  for (IPin* source : {receivePin, AsPin()}) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(source->EnumMediaTypes(&types)) || types == nullptr) continue;
    HRESULT hr = TryTypeList(receivePin, type, types);
    types->Release();
    if (SUCCEEDED(hr)) return S_OK;
    if (!IsPlainRefusal(hr)) failure = hr;
  }
  return failure;
}

HRESULT D_CPinBase::TryTypeList(IPin* receivePin, const AM_MEDIA_TYPE* templ, IEnumMediaTypes* types) {
  HRESULT hr = types->Reset();
  if (FAILED(hr)) return hr;
  HRESULT failure = S_OK;
  AM_MEDIA_TYPE* candidate = nullptr;
  uint32_t fetched = 0;
  while (types->Next(1, &candidate, &fetched) == S_OK) {
    if (templ != nullptr && !MediaTypeMatchesTemplate(*candidate, *templ)) {
      DeleteMediaTypeRecord(candidate);
      continue;
    }
    hr = TryConnectWithType(receivePin, candidate);
    DeleteMediaTypeRecord(candidate);
    // Any success means connected: trying on would connect a second time.
    if (SUCCEEDED(hr)) return S_OK;
    if (SUCCEEDED(failure) && !IsPlainRefusal(hr)) failure = hr;
  }
  return FAILED(failure) ? failure : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT D_CPinBase::TryConnectWithType(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  HRESULT hr = CheckPeer(receivePin);
  if (FAILED(hr)) {
    ReleaseConnection();
    return hr;
  }
  hr = AcceptsType(type);
  if (hr == S_OK) {
    SetConnected(receivePin);  // looks connected while the peer works
    hr = StoreConnectionType(type);
    if (SUCCEEDED(hr)) hr = receivePin->ReceiveConnection(AsPin(), type);
    if (SUCCEEDED(hr)) {
      hr = FinishConnection(receivePin);
      if (SUCCEEDED(hr)) return hr;
      receivePin->Disconnect();
    }
  } else {
    hr = AsRefusal(hr);
  }
  ReleaseConnection();
  SetConnected(nullptr);
  return hr;
}

HRESULT D_CPinBase::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckPeer(connector);
  if (FAILED(hr)) {
    ReleaseConnection();
    return hr;
  }
  hr = AcceptsType(type);
  if (hr != S_OK) {
    ReleaseConnection();
    return AsRefusal(hr);
  }
  SetConnected(connector);
  hr = StoreConnectionType(type);
  if (SUCCEEDED(hr)) hr = FinishConnection(connector);
  if (SUCCEEDED(hr)) return S_OK;
  SetConnected(nullptr);
  ReleaseConnection();
  return hr;
}

HRESULT D_CPinBase::Disconnect() {
  CriticalSectionGuard guard(*lock_);
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  return DropConnection();
}

HRESULT D_CPinBase::DropConnection() {
  if (!IsConnected()) return S_FALSE;
  HRESULT hr = ReleaseConnection();
  if (FAILED(hr)) return hr;
  SetConnected(nullptr);
  return S_OK;
}

HRESULT D_CPinBase::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  // No lock: streaming threads ask this while the graph's thread may hold the filter's
  // lock; the peer changes only while the filter is stopped.
  *pin = connected_.load();
  if (*pin == nullptr) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT D_CPinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  if (IsConnected()) {
    // A copy without its format block is no answer: report the failure.
    return CopyMediaTypeRecord(type, &connectionType_);
  }
  *type = {};
  type->bFixedSizeSamples = 1;
  type->lSampleSize = 1;
  return VFW_E_NOT_CONNECTED;
}

HRESULT D_CPinBase::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = filter_ != nullptr ? filter_->AsBaseFilter() : nullptr;
  if (info->pFilter != nullptr) info->pFilter->AddRef();
  WideCopyN(info->achName, name_, kMaxPinName);
  info->dir = direction_;
  return S_OK;
}

HRESULT D_CPinBase::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT D_CPinBase::QueryId(char16_t** id) { return CopyWideStringToTaskMemory(name_, id); }

HRESULT D_CPinBase::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  HRESULT hr = AcceptsType(type);
  return FAILED(hr) ? S_FALSE : hr;
}

HRESULT D_CPinBase::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  *types = new (std::nothrow) D_CEnumMediaTypesObj(this, nullptr);
  return *types != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT D_CPinBase::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  segmentStart_ = start;
  segmentStop_ = stop;
  segmentRate_ = rate;
  return S_OK;
}

HRESULT D_CPinBase::SetSink(IQualityControl* sink) {
  CriticalSectionGuard guard(*lock_);
  qualitySink_ = sink;
  return S_OK;
}

HRESULT D_CPinBase::OnDeactivate() {
  runtimeError_ = false;
  return S_OK;
}

HRESULT D_CPinBase::StoreConnectionType(const AM_MEDIA_TYPE* type) { return connectionType_.SetFrom(*type); }

HRESULT D_CPinBase::CheckPeer(IPin* peer) {
  PIN_DIRECTION peerDirection;
  HRESULT hr = peer->QueryDirection(&peerDirection);
  if (FAILED(hr)) return hr;
  return peerDirection == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT D_CPinBase::ProposedType(int32_t, D_CMediaTypeRec*) { return E_UNEXPECTED; }
