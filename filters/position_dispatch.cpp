#include "filters/position_dispatch.h"

D_CPositionDispatch::D_CPositionDispatch(const char* objectName, IUnknown* outer)
    : D_CComBase(objectName, outer) {}

HRESULT D_CPositionDispatch::InnerQueryInterface(REFIID iid, void** out) {
  if (iid == IID_IMediaPosition) return HandOutInterface(static_cast<IMediaPosition*>(this), out);
  return D_CComBase::InnerQueryInterface(iid, out);
}

HRESULT D_CPositionDispatch::GetTypeInfoCount(uint32_t* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT D_CPositionDispatch::GetTypeInfo(uint32_t index, LCID locale, ITypeInfo** info) {
  return typeInfo_.GetTypeInfo(IID_IMediaPosition, index, locale, info);
}

HRESULT D_CPositionDispatch::GetIDsOfNames(REFIID, char16_t** names, uint32_t count, LCID locale, DISPID* ids) {
  return typeInfo_.GetIDsOfNames(IID_IMediaPosition, names, count, locale, ids);
}

HRESULT D_CPositionDispatch::Invoke(DISPID id, REFIID iid, LCID locale, uint16_t flags, DISPPARAMS* parameters,
                                    VARIANT* result, EXCEPINFO* exception, uint32_t* argumentError) {
  if (iid != GUID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = static_cast<IMediaPosition*>(this)->GetTypeInfo(0, locale, &info);
  if (FAILED(hr)) return hr;
  hr = info->Invoke(static_cast<IMediaPosition*>(this), id, flags, parameters, result, exception, argumentError);
  info->Release();
  return hr;
}
