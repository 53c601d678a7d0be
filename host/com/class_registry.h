#pragma once
// One class registry for the whole library: each module registers the classes it
// serves (from an idempotent set-up function it calls before its first creation), and
// CoCreateInstance makes an object of a registered class.
#include <cstdint>

#include "host/com/unknown.h"

constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;

// Makes an object aggregated under `outer` (or not, for null) and answers `iid` on it;
// the out pointer holds the only reference.
using ClassFactoryProc = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// A second registration of the same class replaces the first.
void RegisterComClass(REFCLSID clsid, ClassFactoryProc factory);
void UnregisterComClass(REFCLSID clsid);

// E_POINTER for a null out pointer; REGDB_E_CLASSNOTREG for an unknown class; an outer
// object may ask only for IUnknown (E_INVALIDARG); otherwise the factory's result.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t context, REFIID iid, void** out);
