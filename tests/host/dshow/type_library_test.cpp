// The host's media-control type library, found as the library finds it (through the
// automation module's exports) and driven as a script drives it: members by name,
// values of any numeric type, and every malformed call refused without reaching the
// object.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/com/automation.h"
#include "host/dshow/control_type_library.h"
#include "host/dshow/guids.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/last_error.h"
#include "host/kernel/module.h"

namespace {

using LoadRegProc = HRESULT (*)(REFGUID, uint16_t, uint16_t, LCID, ITypeLib**);
using LoadFileProc = HRESULT (*)(const char16_t*, ITypeLib**);

// A position that records each call with its value and answers fixed values.
struct Position final : IMediaPosition {
  std::vector<std::string> calls;
  HRESULT Log(const char* name, double value = 0) {
    calls.push_back(std::string(name) + " " + std::to_string(value));
    return S_OK;
  }
  HRESULT QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, char16_t**, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT get_Duration(REFTIME* t) override { return *t = 12.5, Log("get_Duration"); }
  HRESULT put_CurrentPosition(REFTIME t) override { return Log("put_CurrentPosition", t); }
  HRESULT get_CurrentPosition(REFTIME* t) override { return *t = 3.25, Log("get_CurrentPosition"); }
  HRESULT get_StopTime(REFTIME* t) override { return *t = 9, Log("get_StopTime"); }
  HRESULT put_StopTime(REFTIME t) override { return Log("put_StopTime", t); }
  HRESULT get_PrerollTime(REFTIME*) override { return E_NOTIMPL; }
  HRESULT put_PrerollTime(REFTIME t) override { return Log("put_PrerollTime", t); }
  HRESULT put_Rate(double r) override { return Log("put_Rate", r); }
  HRESULT get_Rate(double* r) override { return *r = 1.5, Log("get_Rate"); }
  HRESULT CanSeekForward(int32_t* can) override { return *can = 1, Log("CanSeekForward"); }
  HRESULT CanSeekBackward(int32_t* can) override { return *can = 0, Log("CanSeekBackward"); }
};

VARIANT Number(VARTYPE vt, double value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  if (vt == VT_I2) v.iVal = static_cast<int16_t>(value);
  if (vt == VT_I4) v.lVal = static_cast<int32_t>(value);
  if (vt == VT_R4) v.fltVal = static_cast<float>(value);
  if (vt == VT_R8) v.dblVal = value;
  if (vt == VT_BOOL) v.boolVal = static_cast<int16_t>(value);
  return v;
}

class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterMediaControlTypeLibrary();
    module = LoadHostModule("oleaut32.DLL");
    ASSERT_NE(module, nullptr);
    loadReg = reinterpret_cast<LoadRegProc>(GetHostModuleProc(module, "LoadRegTypeLib"));
    loadFile = reinterpret_cast<LoadFileProc>(GetHostModuleProc(module, "LoadTypeLib"));
    ASSERT_NE(loadReg, nullptr);
    ASSERT_NE(loadFile, nullptr);
  }
  void TearDown() override {
    FreeHostModule(module);
    EXPECT_EQ(LiveHostModuleCount(), 0);
  }
  ITypeInfo* PositionInfo() {
    ITypeLib* library = nullptr;
    EXPECT_EQ(loadReg(LIBID_MediaControlTypeLib, 1, 0, 0, &library), S_OK);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IMediaPosition, &info), S_OK);
    library->Release();
    return info;
  }
  DISPID Id(ITypeInfo* info, const char16_t* name) {
    std::u16string text(name);
    char16_t* names[] = {text.data()};
    DISPID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK) << "no member";
    return id;
  }

  HostModule* module = nullptr;
  LoadRegProc loadReg = nullptr;
  LoadFileProc loadFile = nullptr;
};

TEST_F(TypeLibrary, TheModuleAndTheLibraryAreFoundByTheirNamesAndVersionOnly) {
  EXPECT_EQ(LoadHostModule("kernel32.dll"), nullptr);
  EXPECT_EQ(GetLastError(), kErrorModuleNotFound);
  EXPECT_EQ(GetHostModuleProc(module, "LoadTypeLibEx"), nullptr);
  EXPECT_EQ(GetLastError(), kErrorProcNotFound);
  struct Case {
    GUID libid;
    uint16_t major, minor;
    HRESULT result;
  } cases[] = {
      {LIBID_MediaControlTypeLib, 1, 0, S_OK},
      {LIBID_MediaControlTypeLib, 1, 1, TYPE_E_LIBNOTREGISTERED},
      {LIBID_MediaControlTypeLib, 2, 0, TYPE_E_LIBNOTREGISTERED},
      {IID_IMediaPosition, 1, 0, TYPE_E_LIBNOTREGISTERED},
  };
  for (const Case& c : cases) {
    ITypeLib* library = reinterpret_cast<ITypeLib*>(1);
    EXPECT_EQ(loadReg(c.libid, c.major, c.minor, 0, &library), c.result) << c.major << "." << c.minor;
    EXPECT_EQ(library != nullptr, c.result == S_OK);
  }
  ITypeLib* library = nullptr;
  EXPECT_EQ(loadFile(u"C:\\windows\\system32\\CONTROL.TLB", &library), S_OK);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IMediaSeeking, &info), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(loadFile(u"control.tlb.bak", &library), TYPE_E_CANTLOADLIBRARY);
}

TEST_F(TypeLibrary, NamesFindTheirMembersWhateverTheirCase) {
  ITypeInfo* info = PositionInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Id(info, u"CurrentPosition"), Id(info, u"currentPOSITION"));
  std::vector<DISPID> ids;
  for (const char16_t* name : {u"Duration", u"CurrentPosition", u"StopTime", u"PrerollTime", u"Rate",
                               u"CanSeekForward", u"CanSeekBackward"}) {
    ids.push_back(Id(info, name));
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "two names share an id";
  std::u16string volume = u"Volume", rate = u"Rate", value = u"value";
  char16_t* unknown[] = {volume.data()};
  DISPID id = 0;
  EXPECT_EQ(info->GetIDsOfNames(unknown, 1, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  char16_t* withParameter[] = {rate.data(), value.data()};
  DISPID two[2] = {};
  EXPECT_EQ(info->GetIDsOfNames(withParameter, 2, two), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(two[0], Id(info, u"Rate"));
  EXPECT_EQ(two[1], DISPID_UNKNOWN);
}

TEST_F(TypeLibrary, InvokeCallsTheNamedMemberWithTheValueConvertedOrRefusesTheCall) {
  ITypeInfo* info = PositionInfo();
  ASSERT_NE(info, nullptr);
  const uint16_t get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, method = DISPATCH_METHOD;
  struct Case {
    const char* what;
    const char16_t* name;
    uint16_t flags;
    std::vector<VARIANT> args;
    int named;  // 1: the value named as the put's; 2: named as something else
    HRESULT result;
    const char* call;  // "" for none
    VARTYPE resultType = VT_EMPTY;
    double resultValue = 0;
  };
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  const Case cases[] = {
      {"get", u"Duration", get, {}, 0, S_OK, "get_Duration 0.000000", VT_R8, 12.5},
      {"get as a script asks", u"CurrentPosition", get | method, {}, 0, S_OK, "get_CurrentPosition 0.000000", VT_R8,
       3.25},
      {"put a double", u"CurrentPosition", put, {Number(VT_R8, 1.5)}, 1, S_OK, "put_CurrentPosition 1.500000"},
      {"put a whole number", u"StopTime", put, {Number(VT_I4, 2)}, 1, S_OK, "put_StopTime 2.000000"},
      {"put a short, unnamed", u"Rate", put, {Number(VT_I2, -1)}, 0, S_OK, "put_Rate -1.000000"},
      {"put a float", u"PrerollTime", put, {Number(VT_R4, 0.25)}, 1, S_OK, "put_PrerollTime 0.250000"},
      {"method", u"CanSeekForward", method, {}, 0, S_OK, "CanSeekForward 0.000000", VT_I4, 1},
      {"method asked as a property", u"CanSeekBackward", get | method, {}, 0, S_OK, "CanSeekBackward 0.000000",
       VT_I4, 0},
      {"the object's failure", u"PrerollTime", get, {}, 0, E_NOTIMPL, ""},
      {"text for a time", u"CurrentPosition", put, {text}, 1, DISP_E_TYPEMISMATCH, ""},
      {"put on a read-only property", u"Duration", put, {Number(VT_R8, 1)}, 1, DISP_E_MEMBERNOTFOUND, ""},
      {"a method put", u"CanSeekForward", put, {Number(VT_I4, 1)}, 1, DISP_E_MEMBERNOTFOUND, ""},
      {"get with an argument", u"Rate", get, {Number(VT_R8, 1)}, 0, DISP_E_BADPARAMCOUNT, ""},
      {"put without a value", u"Rate", put, {}, 0, DISP_E_BADPARAMCOUNT, ""},
      {"put of two values", u"Rate", put, {Number(VT_R8, 1), Number(VT_R8, 2)}, 0, DISP_E_BADPARAMCOUNT, ""},
      {"a value named otherwise", u"Rate", put, {Number(VT_R8, 1)}, 2, DISP_E_NONAMEDARGS, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Position position;
    std::vector<VARIANT> args = c.args;
    DISPID named = c.named == 1 ? DISPID_PROPERTYPUT : 7;
    DISPPARAMS parameters{args.data(), &named, static_cast<uint32_t>(args.size()), c.named != 0 ? 1u : 0u};
    VARIANT result = Number(VT_I4, 99);
    uint32_t argumentError = 77;
    EXPECT_EQ(info->Invoke(static_cast<IMediaPosition*>(&position), Id(info, c.name), c.flags, &parameters, &result,
                           nullptr, &argumentError),
              c.result);
    EXPECT_EQ(position.calls, c.call[0] ? std::vector<std::string>{c.call} : std::vector<std::string>{});
    EXPECT_EQ(result.vt, c.resultType);
    if (c.resultType == VT_R8) {
      EXPECT_EQ(result.dblVal, c.resultValue);
    }
    if (c.resultType == VT_I4) {
      EXPECT_EQ(result.lVal, c.resultValue);
    }
    EXPECT_EQ(argumentError, c.result == DISP_E_TYPEMISMATCH ? 0u : 77u);
  }
  Position position;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(info->Invoke(&position, 99, get, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(info->Invoke(&position, Id(info, u"Rate"), get, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(info->Invoke(&position, Id(info, u"Rate"), get, &none, nullptr, nullptr, nullptr), S_OK);  // result dropped
  EXPECT_EQ(position.calls, std::vector<std::string>{"get_Rate 0.000000"});
}

}  // namespace
