#pragma once
// Automation: IDispatch and the type-information interfaces it is served from. Only
// the calls the media-filter code makes are given real parameter records; the rest
// keep their place in the method order with opaque records.
#include <cstdint>

#include "host/com/unknown.h"

using DISPID = int32_t;
using LCID = uint32_t;
using MEMBERID = int32_t;
using HREFTYPE = uint32_t;
using BSTR = char16_t*;

struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;
struct TYPEATTR;
struct FUNCDESC;
struct VARDESC;
struct TLIBATTR;
struct ITypeComp;
struct ITypeLib;

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** attributes) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  virtual HRESULT GetFuncDesc(uint32_t index, FUNCDESC** description) = 0;
  virtual HRESULT GetVarDesc(uint32_t index, VARDESC** description) = 0;
  virtual HRESULT GetNames(MEMBERID id, BSTR* names, uint32_t maxNames, uint32_t* count) = 0;
  virtual HRESULT GetRefTypeOfImplType(uint32_t index, HREFTYPE* type) = 0;
  virtual HRESULT GetImplTypeFlags(uint32_t index, int32_t* flags) = 0;
  virtual HRESULT GetIDsOfNames(char16_t** names, uint32_t count, MEMBERID* ids) = 0;
  virtual HRESULT Invoke(void* instance, MEMBERID id, uint16_t flags, DISPPARAMS* parameters,
                         VARIANT* result, EXCEPINFO* exception, uint32_t* argumentError) = 0;
  virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, uint32_t* helpContext,
                                   BSTR* helpFile) = 0;
  virtual HRESULT GetDllEntry(MEMBERID id, int32_t kind, BSTR* dll, BSTR* name, uint16_t* ordinal) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) = 0;
  virtual HRESULT AddressOfMember(MEMBERID id, int32_t kind, void** address) = 0;
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  virtual HRESULT GetMops(MEMBERID id, BSTR* mops) = 0;
  virtual HRESULT GetContainingTypeLib(ITypeLib** library, uint32_t* index) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* attributes) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* description) = 0;
  virtual void ReleaseVarDesc(VARDESC* description) = 0;
};

struct ITypeLib : IUnknown {
  virtual uint32_t GetTypeInfoCount() = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, ITypeInfo** info) = 0;
  virtual HRESULT GetTypeInfoType(uint32_t index, int32_t* kind) = 0;
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
  virtual HRESULT GetLibAttr(TLIBATTR** attributes) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  virtual HRESULT GetDocumentation(int32_t index, BSTR* name, BSTR* doc, uint32_t* helpContext,
                                   BSTR* helpFile) = 0;
  virtual HRESULT IsName(char16_t* name, uint32_t hash, int32_t* found) = 0;
  virtual HRESULT FindName(char16_t* name, uint32_t hash, ITypeInfo** infos, MEMBERID* ids,
                           uint16_t* found) = 0;
  virtual void ReleaseTLibAttr(TLIBATTR* attributes) = 0;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, LCID locale, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID iid, char16_t** names, uint32_t count, LCID locale, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID iid, LCID locale, uint16_t flags, DISPPARAMS* parameters,
                         VARIANT* result, EXCEPINFO* exception, uint32_t* argumentError) = 0;
};
