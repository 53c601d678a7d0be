#include "host/kernel/module.h"

#include <strings.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/kernel/last_error.h"

struct HostModule {
  std::string name;
  const HostModuleExport* exports;
  size_t count;
};

namespace {
std::mutex g_modulesMutex;
// Never shrinks: a module handed out stays valid for the process.
std::vector<std::unique_ptr<HostModule>> g_modules;
std::atomic<int> g_loaded{0};
}  // namespace

void RegisterHostModule(const char* name, const HostModuleExport* exports, size_t count) {
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  for (auto& m : g_modules) {
    if (strcasecmp(m->name.c_str(), name) == 0) {
      m->exports = exports;
      m->count = count;
      return;
    }
  }
  g_modules.push_back(std::make_unique<HostModule>(HostModule{name, exports, count}));
}

HostModule* LoadHostModule(const char* name) {
  if (name != nullptr) {
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    for (auto& m : g_modules) {
      if (strcasecmp(m->name.c_str(), name) == 0) {
        g_loaded.fetch_add(1);
        return m.get();
      }
    }
  }
  SetLastError(kErrorModuleNotFound);
  return nullptr;
}

void* GetHostModuleProc(HostModule* module, const char* name) {
  if (module != nullptr && name != nullptr) {
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    for (size_t i = 0; i < module->count; ++i) {
      if (std::strcmp(module->exports[i].name, name) == 0) return module->exports[i].address;
    }
  }
  SetLastError(kErrorProcNotFound);
  return nullptr;
}

void FreeHostModule(HostModule* module) {
  if (module != nullptr) g_loaded.fetch_sub(1);
}

int LiveHostModuleCount() { return g_loaded.load(); }
