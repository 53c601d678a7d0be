#pragma once
// Automation on this host: the variant record, Invoke's parameter record, and type
// libraries of our own. A library describes each dispatch interface it holds as a table
// of members, so that a caller can reach a method or property by name. Libraries are
// found by library id and version, or by file name, through the automation module
// "OleAut32.dll" and its exports "LoadRegTypeLib" and "LoadTypeLib", as the platform's
// are found.
#include <cstddef>

#include "host/com/dispatch.h"
#include "host/com/guid.h"

using VARTYPE = uint16_t;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_BOOL = 11;

constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;

constexpr DISPID DISPID_UNKNOWN = -1;
// The name of the value argument of a property put.
constexpr DISPID DISPID_PROPERTYPUT = -3;

struct VARIANT {
  VARTYPE vt;
  uint16_t reserved1, reserved2, reserved3;
  union {
    int16_t iVal;
    int32_t lVal;
    float fltVal;
    double dblVal;
    int16_t boolVal;  // -1 true, 0 false
    BSTR bstrVal;
    void* byref;
  };
};

// Arguments last to first, as callers push them; named ones first.
struct DISPPARAMS {
  VARIANT* rgvarg;
  DISPID* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};

inline void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->reserved1 = v->reserved2 = v->reserved3 = 0;
  v->dblVal = 0;
}

// One member of a dispatch interface: a method, or one access of a property (a
// property's get and put are two members with one name and id).
struct AutomationMember {
  const char16_t* name;
  DISPID id;
  uint16_t kind;  // DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT
  VARTYPE type;   // of the value put, got or returned
  // Calls the member on `instance`, the interface pointer the object gave to Invoke: a
  // put reads `value` (already of `type`), a get or a method writes it.
  HRESULT (*call)(void* instance, VARIANT* value);
};

struct AutomationInterface {
  GUID iid;
  const AutomationMember* members;
  size_t count;
};

struct AutomationLibrary {
  GUID libid;
  uint16_t major, minor;
  const char16_t* fileName;  // the name LoadTypeLib finds it by
  const AutomationInterface* interfaces;
  size_t count;
};

// Makes `library` (which must live as long as the process) loadable, and the
// automation module with it; registering the same record again changes nothing.
void RegisterTypeLibrary(const AutomationLibrary* library);
// The type information of `iid` in `library` (registered first, as above), for an
// object of this host that serves its own dispatch interface from it.
HRESULT GetRegisteredTypeInfo(const AutomationLibrary* library, REFIID iid, ITypeInfo** out);
