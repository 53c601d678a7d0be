#include "host/com/automation.h"

#include <cmath>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

#include "host/kernel/module.h"

namespace {

char16_t Folded(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Names in automation compare without regard to (ASCII) case.
bool SameName(const char16_t* a, const char16_t* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (Folded(*a) != Folded(*b)) return false;
  }
  return *a == *b;
}

// `from` as a value of type `to`, as a script's number reaches a typed parameter.
HRESULT Coerce(const VARIANT& from, VARTYPE to, VARIANT* out) {
  double value = 0;
  switch (from.vt) {
    case VT_I2: value = from.iVal; break;
    case VT_I4: value = from.lVal; break;
    case VT_R4: value = from.fltVal; break;
    case VT_R8: value = from.dblVal; break;
    case VT_BOOL: value = from.boolVal; break;
    default: return DISP_E_TYPEMISMATCH;
  }
  VariantInit(out);
  out->vt = to;
  if (to == VT_R8) {
    out->dblVal = value;
    return S_OK;
  }
  if (to == VT_I4) {
    const double whole = std::nearbyint(value);  // halves to even
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return DISP_E_OVERFLOW;
    out->lVal = static_cast<int32_t>(whole);
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

// The objects below are immutable and live as long as the process: their counts are
// not kept, and each answers only its own interface.
template <class Interface>
HRESULT AnswerFor(Interface* self, REFIID own, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = iid == IID_IUnknown || iid == own ? self : nullptr;
  return *out != nullptr ? S_OK : E_NOINTERFACE;
}

// The type information of one interface.
class TypeInfo final : public ITypeInfo {
 public:
  explicit TypeInfo(const AutomationInterface* described) : described_(described) {}

  HRESULT QueryInterface(REFIID iid, void** out) override { return AnswerFor(this, IID_ITypeInfo, iid, out); }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }

  HRESULT GetIDsOfNames(char16_t** names, uint32_t count, MEMBERID* ids) override {
    if (names == nullptr || ids == nullptr) return E_INVALIDARG;
    if (count == 0) return S_OK;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const AutomationMember& m : Members()) {
      if (names[0] != nullptr && SameName(m.name, names[0])) ids[0] = m.id;
    }
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    // No member names its value: any parameter name is unknown.
    for (uint32_t i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT Invoke(void* instance, MEMBERID id, uint16_t flags, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO*, uint32_t* argumentError) override {
    if (instance == nullptr || parameters == nullptr) return E_INVALIDARG;
    if (parameters->cArgs > 0 && parameters->rgvarg == nullptr) return E_INVALIDARG;
    if (parameters->cNamedArgs > parameters->cArgs ||
        (parameters->cNamedArgs > 0 && parameters->rgdispidNamedArgs == nullptr)) {
      return E_INVALIDARG;
    }
    if (result != nullptr) VariantInit(result);
    bool known = false;
    for (const AutomationMember& m : Members()) known = known || m.id == id;
    if (!known) return DISP_E_MEMBERNOTFOUND;

    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      const AutomationMember* put = Find(id, DISPATCH_PROPERTYPUT);
      if (put == nullptr) return DISP_E_MEMBERNOTFOUND;
      // The one value, named as the put's value or not named at all.
      if (parameters->cNamedArgs > 1 ||
          (parameters->cNamedArgs == 1 && parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
        return DISP_E_NONAMEDARGS;
      }
      if (parameters->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      VARIANT value;
      HRESULT hr = Coerce(parameters->rgvarg[0], put->type, &value);
      if (FAILED(hr)) {
        if (argumentError != nullptr) *argumentError = 0;
        return hr;
      }
      return put->call(instance, &value);
    }
    const AutomationMember* get = nullptr;
    if ((flags & DISPATCH_PROPERTYGET) != 0) get = Find(id, DISPATCH_PROPERTYGET);
    if (get == nullptr && (flags & DISPATCH_METHOD) != 0) get = Find(id, DISPATCH_METHOD);
    if (get == nullptr) return DISP_E_MEMBERNOTFOUND;
    if (parameters->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (parameters->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = get->call(instance, &value);
    if (SUCCEEDED(hr) && result != nullptr) *result = value;
    return hr;
  }

  // The records these answer are not built on this host.
  HRESULT GetTypeAttr(TYPEATTR**) override { return E_NOTIMPL; }
  HRESULT GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT GetFuncDesc(uint32_t, FUNCDESC**) override { return E_NOTIMPL; }
  HRESULT GetVarDesc(uint32_t, VARDESC**) override { return E_NOTIMPL; }
  HRESULT GetNames(MEMBERID, BSTR*, uint32_t, uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetRefTypeOfImplType(uint32_t, HREFTYPE*) override { return E_NOTIMPL; }
  HRESULT GetImplTypeFlags(uint32_t, int32_t*) override { return E_NOTIMPL; }
  HRESULT GetDocumentation(MEMBERID, BSTR*, BSTR*, uint32_t*, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetDllEntry(MEMBERID, int32_t, BSTR*, BSTR*, uint16_t*) override { return E_NOTIMPL; }
  HRESULT GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT AddressOfMember(MEMBERID, int32_t, void**) override { return E_NOTIMPL; }
  HRESULT CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetContainingTypeLib(ITypeLib**, uint32_t*) override { return E_NOTIMPL; }
  void ReleaseTypeAttr(TYPEATTR*) override {}
  void ReleaseFuncDesc(FUNCDESC*) override {}
  void ReleaseVarDesc(VARDESC*) override {}

  const GUID& iid() const { return described_->iid; }

 private:
  struct Span {
    const AutomationMember* first;
    size_t count;
    const AutomationMember* begin() const { return first; }
    const AutomationMember* end() const { return first + count; }
  };
  Span Members() const { return {described_->members, described_->count}; }
  const AutomationMember* Find(MEMBERID id, uint16_t kind) const {
    for (const AutomationMember& m : Members()) {
      if (m.id == id && m.kind == kind) return &m;
    }
    return nullptr;
  }
  const AutomationInterface* described_;
};

class TypeLib final : public ITypeLib {
 public:
  explicit TypeLib(const AutomationLibrary* described) : described_(described) {
    for (size_t i = 0; i < described->count; ++i) infos_.push_back(std::make_unique<TypeInfo>(&described->interfaces[i]));
  }

  HRESULT QueryInterface(REFIID iid, void** out) override { return AnswerFor(this, IID_ITypeLib, iid, out); }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }

  uint32_t GetTypeInfoCount() override { return static_cast<uint32_t>(infos_.size()); }
  HRESULT GetTypeInfo(uint32_t index, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = index < infos_.size() ? infos_[index].get() : nullptr;
    return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    for (auto& t : infos_) {
      if (t->iid() == guid) *info = t.get();
    }
    return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetTypeInfoType(uint32_t, int32_t*) override { return E_NOTIMPL; }
  HRESULT GetLibAttr(TLIBATTR**) override { return E_NOTIMPL; }
  HRESULT GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT GetDocumentation(int32_t, BSTR*, BSTR*, uint32_t*, BSTR*) override { return E_NOTIMPL; }
  HRESULT IsName(char16_t*, uint32_t, int32_t*) override { return E_NOTIMPL; }
  HRESULT FindName(char16_t*, uint32_t, ITypeInfo**, MEMBERID*, uint16_t*) override { return E_NOTIMPL; }
  void ReleaseTLibAttr(TLIBATTR*) override {}

  const AutomationLibrary* described() const { return described_; }

 private:
  const AutomationLibrary* described_;
  std::vector<std::unique_ptr<TypeInfo>> infos_;
};

std::mutex g_librariesMutex;
std::vector<std::unique_ptr<TypeLib>> g_libraries;  // never shrinks

template <class Match>
HRESULT FindLibrary(Match match, HRESULT missing, ITypeLib** out) {
  if (out == nullptr) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(g_librariesMutex);
  for (auto& library : g_libraries) {
    if (match(*library->described())) {
      *out = library.get();
      return S_OK;
    }
  }
  *out = nullptr;
  return missing;
}

// A registered library of this id, the same major version and at least this minor one.
HRESULT LoadRegisteredLibrary(REFGUID libid, uint16_t major, uint16_t minor, LCID, ITypeLib** out) {
  return FindLibrary(
      [&](const AutomationLibrary& l) { return l.libid == libid && l.major == major && l.minor >= minor; },
      TYPE_E_LIBNOTREGISTERED, out);
}

// A library by its file name; any folder in front of the name is ignored.
HRESULT LoadLibraryFile(const char16_t* file, ITypeLib** out) {
  if (file == nullptr) return E_INVALIDARG;
  const char16_t* base = file;
  for (const char16_t* p = file; *p != 0; ++p) {
    if (*p == u'/' || *p == u'\\') base = p + 1;
  }
  return FindLibrary([&](const AutomationLibrary& l) { return SameName(l.fileName, base); },
                     TYPE_E_CANTLOADLIBRARY, out);
}

const HostModuleExport kAutomationExports[] = {
    {"LoadRegTypeLib", reinterpret_cast<void*>(&LoadRegisteredLibrary)},
    {"LoadTypeLib", reinterpret_cast<void*>(&LoadLibraryFile)},
};

}  // namespace

void RegisterTypeLibrary(const AutomationLibrary* library) {
  RegisterHostModule("OleAut32.dll", kAutomationExports, std::size(kAutomationExports));
  std::lock_guard<std::mutex> lock(g_librariesMutex);
  for (auto& l : g_libraries) {
    if (l->described() == library) return;
  }
  g_libraries.push_back(std::make_unique<TypeLib>(library));
}

HRESULT GetRegisteredTypeInfo(const AutomationLibrary* library, REFIID iid, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  RegisterTypeLibrary(library);
  ITypeLib* found = nullptr;
  HRESULT hr = FindLibrary([&](const AutomationLibrary& l) { return &l == library; }, TYPE_E_LIBNOTREGISTERED, &found);
  return FAILED(hr) ? hr : found->GetTypeInfoOfGuid(iid, out);
}
