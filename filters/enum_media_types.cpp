#include "filters/enum_media_types.h"

#include <new>

#include "filters/pin_base.h"
#include "host/com/task_memory.h"

std::atomic<int32_t> LiveEnumeratorCount{0};

D_CEnumMediaTypesObj::D_CEnumMediaTypesObj(D_CPinBase* pin, const D_CEnumMediaTypesObj* source)
    : pin_(pin), version_(source != nullptr ? source->version_ : pin->TypeListVersion()) {
  pin_->AsPin()->AddRef();
  if (source != nullptr) position_ = source->position_;
}

D_CEnumMediaTypesObj::~D_CEnumMediaTypesObj() {
  pin_->AsPin()->Release();
}

bool D_CEnumMediaTypesObj::OutOfSync() const { return pin_->TypeListVersion() != version_; }

HRESULT D_CEnumMediaTypesObj::Next(uint32_t count, AM_MEDIA_TYPE** types, uint32_t* fetched) {
  if (types == nullptr) return E_POINTER;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  if (fetched != nullptr) {
    *fetched = 0;
  } else if (count > 1) {
    return E_INVALIDARG;
  }
  uint32_t got = 0;
  while (count > 0) {
    D_CMediaTypeRec local;
    HRESULT hr = pin_->ProposedType(position_++, &local);
    if (hr != S_OK) break;
    auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (record == nullptr) break;
    // The format block and the reference pass to the caller without a copy.
    *record = local;
    local.pbFormat = nullptr;
    local.cbFormat = 0;
    local.pUnk = nullptr;
    types[got++] = record;
    --count;
  }
  if (fetched != nullptr) *fetched = got;
  return count == 0 ? S_OK : S_FALSE;
}

HRESULT D_CEnumMediaTypesObj::Skip(uint32_t count) {
  if (count == 0) return S_OK;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  position_ += static_cast<int32_t>(count);
  D_CMediaTypeRec local;
  return pin_->ProposedType(position_ - 1, &local) == S_OK ? S_OK : S_FALSE;
}

HRESULT D_CEnumMediaTypesObj::Reset() {
  position_ = 0;
  version_ = pin_->TypeListVersion();
  return S_OK;
}

HRESULT D_CEnumMediaTypesObj::Clone(IEnumMediaTypes** copy) {
  if (copy == nullptr) return E_POINTER;
  *copy = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  *copy = new (std::nothrow) D_CEnumMediaTypesObj(pin_, this);
  return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
}
