#include "host/kernel/module.h"

#include "host/kernel/last_error.h"

HostModule* LoadHostModule(const char*) {
  SetLastError(kErrorModuleNotFound);
  return nullptr;
}

void FreeHostModule(HostModule*) {}
