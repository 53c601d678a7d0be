#include "host/kernel/module.h"

#include "host/kernel/last_error.h"

HostModule* LoadHostModule(const char*) {
  SetLastError(kErrorModuleNotFound);
  return nullptr;
}

void* GetHostModuleProc(HostModule*, const char*) {
  SetLastError(kErrorProcNotFound);
  return nullptr;
}

void FreeHostModule(HostModule*) {}
