#pragma once
// Loadable modules by name. This build links everything it uses, so no module can be
// loaded at run time: a load fails with the system's "module not found" error.
#include <cstdint>

struct HostModule;

constexpr uint32_t kErrorModuleNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;

// Null, with the last error set to kErrorModuleNotFound.
HostModule* LoadHostModule(const char* name);
// An entry of a loaded module by name: null, with the last error set to
// kErrorProcNotFound, since no module is ever loaded.
void* GetHostModuleProc(HostModule* module, const char* name);
// A null module is ignored.
void FreeHostModule(HostModule* module);
