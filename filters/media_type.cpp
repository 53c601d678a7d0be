#include "filters/media_type.h"

#include <cstring>

#include "host/com/task_memory.h"

namespace {
bool SameFormat(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  return a.cbFormat == b.cbFormat && (a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}
}  // namespace

HRESULT CopyMediaTypeRecord(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  *target = *source;
  if (source->cbFormat != 0) {
    target->pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
      target->cbFormat = 0;
      // The target took no reference of its own: keeping the pointer would make a
      // later free release a reference it never held.
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  }
  if (target->pUnk != nullptr) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CloneMediaTypeRecord(const AM_MEDIA_TYPE* source) {
  auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (record == nullptr) return nullptr;
  if (FAILED(CopyMediaTypeRecord(record, source))) {
    CoTaskMemFree(record);
    return nullptr;
  }
  return record;
}

void FreeMediaTypeRecord(AM_MEDIA_TYPE* record) {
  if (record->cbFormat != 0) {
    CoTaskMemFree(record->pbFormat);
    record->cbFormat = 0;
    record->pbFormat = nullptr;
  }
  if (record->pUnk != nullptr) {
    record->pUnk->Release();
    record->pUnk = nullptr;
  }
}

void DeleteMediaTypeRecord(AM_MEDIA_TYPE* record) {
  if (record == nullptr) return;
  FreeMediaTypeRecord(record);
  CoTaskMemFree(record);
}

void D_CMediaTypeRec::ClearToDefaults() {
  std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
  bFixedSizeSamples = 1;
  lSampleSize = 1;
}

HRESULT D_CMediaTypeRec::SetFrom(const AM_MEDIA_TYPE& source) {
  if (&source == this) return S_OK;
  FreeMediaTypeRecord(this);
  return FAILED(CopyMediaTypeRecord(this, &source)) ? E_OUTOFMEMORY : S_OK;
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  return a.majortype == b.majortype && a.subtype == b.subtype && a.formattype == b.formattype && SameFormat(a, b);
}

bool MediaTypeIsPartial(const AM_MEDIA_TYPE& type) {
  return type.majortype == GUID_NULL || type.formattype == GUID_NULL;
}

bool MediaTypeMatchesTemplate(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& templ) {
  if (templ.majortype != GUID_NULL && templ.majortype != type.majortype) return false;
  if (templ.subtype != GUID_NULL && templ.subtype != type.subtype) return false;
  if (templ.formattype != GUID_NULL) return templ.formattype == type.formattype && SameFormat(type, templ);
  return true;
}
