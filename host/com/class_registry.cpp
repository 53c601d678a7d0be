#include "host/com/class_registry.h"

#include <mutex>
#include <vector>

namespace {
struct Entry {
  CLSID clsid;
  ClassFactoryProc factory;
};

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}
}  // namespace

void RegisterComClass(REFCLSID clsid, ClassFactoryProc factory) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (Entry& e : Registry()) {
    if (e.clsid == clsid) {
      e.factory = factory;
      return;
    }
  }
  Registry().push_back({clsid, factory});
}

void UnregisterComClass(REFCLSID clsid) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto& entries = Registry();
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->clsid == clsid) {
      entries.erase(it);
      return;
    }
  }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && iid != IID_IUnknown) return E_INVALIDARG;
  ClassFactoryProc factory = nullptr;
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    for (const Entry& e : Registry()) {
      if (e.clsid == clsid) factory = e.factory;
    }
  }
  if (factory == nullptr) return REGDB_E_CLASSNOTREG;
  return factory(outer, iid, out);
}
