#pragma once
// Loadable modules by name. Nothing is loaded from disk: the host's own modules register
// their exports under a module name, and only those load. Any other name fails with the
// system's "module not found" error.
#include <cstddef>
#include <cstdint>

struct HostModule;

constexpr uint32_t kErrorModuleNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;

struct HostModuleExport {
  const char* name;
  void* address;
};

// Makes `name` loadable (names compare without regard to case); registering the same
// name again replaces its exports. `exports` must live as long as the process.
void RegisterHostModule(const char* name, const HostModuleExport* exports, size_t count);
// The module, counted as loaded until FreeHostModule; null, with the last error set to
// kErrorModuleNotFound, for a name nobody registered.
HostModule* LoadHostModule(const char* name);
// An export by exact name: null, with the last error set to kErrorProcNotFound, when
// the module has none of that name or the module is null.
void* GetHostModuleProc(HostModule* module, const char* name);
// A null module is ignored.
void FreeHostModule(HostModule* module);
// Loads not yet freed (tests watch it return to 0).
int LiveHostModuleCount();
