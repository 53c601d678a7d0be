#include "filters/enum_pins.h"

#include <algorithm>
#include <new>

#include "filters/filter_base.h"
#include "filters/pin_base.h"

D_CEnumPinsObj::D_CEnumPinsObj(D_CFilterBase* filter, const D_CEnumPinsObj* source) : filter_(filter) {
  filter_->AsBaseFilter()->AddRef();
  if (source != nullptr) {
    position_ = source->position_;
    pinCount_ = source->pinCount_;
    version_ = source->version_;
    handedOut_.AppendList(source->handedOut_);
  } else {
    version_ = filter_->PinListVersion();
    pinCount_ = filter_->PinCount();
  }
}

D_CEnumPinsObj::~D_CEnumPinsObj() {
  filter_->AsBaseFilter()->Release();
}

bool D_CEnumPinsObj::OutOfSync() const { return filter_->PinListVersion() != version_; }

void D_CEnumPinsObj::Refresh() {
  version_ = filter_->PinListVersion();
  pinCount_ = filter_->PinCount();
  position_ = 0;
}

HRESULT D_CEnumPinsObj::Next(uint32_t count, IPin** pins, uint32_t* fetched) {
  if (pins == nullptr) return E_POINTER;
  if (fetched != nullptr) {
    *fetched = 0;
  } else if (count > 1) {
    return E_INVALIDARG;
  }
  if (OutOfSync()) Refresh();
  int64_t real = std::min<int64_t>(pinCount_ - position_, count);
  if (real <= 0) return S_FALSE;
  uint32_t got = 0;
  while (real > 0 && position_ < pinCount_) {
    D_CPinBase* pin = filter_->PinAt(position_++);
    if (pin == nullptr) {
      // Nothing of a failed call stays with the caller, and the pins it would have
      // handed out remain to be handed out.
      while (got > 0) {
        IPin* given = pins[--got];
        handedOut_.Remove(handedOut_.Find(static_cast<D_CPinBase*>(given)));
        given->Release();
        pins[got] = nullptr;
      }
      return VFW_E_ENUM_OUT_OF_SYNC;
    }
    if (handedOut_.Find(pin) != nullptr) continue;
    pins[got] = pin->AsPin();
    pins[got]->AddRef();
    ++got;
    handedOut_.AddTail(pin);
    --real;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT D_CEnumPinsObj::Skip(uint32_t count) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  if (static_cast<int64_t>(count) > pinCount_ - position_) return S_FALSE;
  position_ += static_cast<int32_t>(count);
  return S_OK;
}

HRESULT D_CEnumPinsObj::Reset() {
  Refresh();
  handedOut_.RemoveAll();
  return S_OK;
}

HRESULT D_CEnumPinsObj::Clone(IEnumPins** copy) {
  if (copy == nullptr) return E_POINTER;
  *copy = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  *copy = new (std::nothrow) D_CEnumPinsObj(filter_, this);
  return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
}
