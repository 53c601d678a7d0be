#pragma once
// The automation side of IMediaPosition: type information from the holder, Invoke
// through it. The position methods themselves are left to the derived pass-through.
#include "filters/com_base.h"
#include "filters/type_info_holder.h"
#include "host/dshow/interfaces.h"

class D_CPositionDispatch : public IMediaPosition, public D_CComBase {
 public:
  D_CPositionDispatch(const char* objectName, IUnknown* outer);

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, char16_t** names, uint32_t count, LCID locale, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID iid, LCID locale, uint16_t flags, DISPPARAMS* parameters,
                 VARIANT* result, EXCEPINFO* exception, uint32_t* argumentError) override;

 private:
  D_CTypeInfoHolder typeInfo_;
};
