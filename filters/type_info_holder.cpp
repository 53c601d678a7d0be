#include "filters/type_info_holder.h"

#include "filters/com_base.h"
#include "host/dshow/guids.h"
#include "host/kernel/last_error.h"

namespace {

using LoadRegTypeLibProc = HRESULT (*)(REFGUID library, uint16_t major, uint16_t minor, LCID locale,
                                       ITypeLib** out);
using LoadTypeLibProc = HRESULT (*)(const char16_t* file, ITypeLib** out);

HRESULT LastErrorResult() { return MakeHresult(0x80070000u | (GetLastError() & 0xFFFFu)); }

// The automation module, loaded once while framework objects live.
HostModule* LoadOleAutModule() {
  HostModule* module = OleAutModule.load();
  if (module) return module;
  module = LoadHostModule("OleAut32.dll");
  HostModule* expected = nullptr;
  if (module && !OleAutModule.compare_exchange_strong(expected, module)) {
    FreeHostModule(module);
    module = expected;
  }
  return module;
}

}  // namespace

D_CTypeInfoHolder::~D_CTypeInfoHolder() {
  if (info_) info_->Release();
}

HRESULT D_CTypeInfoHolder::GetTypeInfo(REFIID iid, uint32_t index, LCID locale, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
  if (!info_) {
    HostModule* module = LoadOleAutModule();
    if (!module) return LastErrorResult();
    auto loadReg = reinterpret_cast<LoadRegTypeLibProc>(GetHostModuleProc(module, "LoadRegTypeLib"));
    if (!loadReg) return LastErrorResult();
    ITypeLib* library = nullptr;
    HRESULT hr = loadReg(LIBID_MediaControlTypeLib, 1, 0, locale, &library);
    if (FAILED(hr)) {
      auto load = reinterpret_cast<LoadTypeLibProc>(GetHostModuleProc(module, "LoadTypeLib"));
      if (!load) return LastErrorResult();
      hr = load(u"control.tlb", &library);
      if (FAILED(hr)) return hr;
    }
    hr = library->GetTypeInfoOfGuid(iid, &info_);
    library->Release();
    if (FAILED(hr)) return hr;
  }
  *out = info_;
  info_->AddRef();
  return S_OK;
}

HRESULT D_CTypeInfoHolder::GetIDsOfNames(REFIID iid, char16_t** names, uint32_t count, LCID locale,
                                         DISPID* ids) {
  ITypeInfo* info = nullptr;
  HRESULT hr = GetTypeInfo(iid, 0, locale, &info);
  if (FAILED(hr)) return hr;
  hr = info->GetIDsOfNames(names, count, ids);
  info->Release();
  return hr;
}
