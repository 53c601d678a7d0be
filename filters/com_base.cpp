#include "filters/com_base.h"

#include <cstring>

#include "host/com/task_memory.h"
#include "host/kernel/wide_string.h"

std::atomic<int32_t> LiveObjectCount{0};
std::atomic<HostModule*> OleAutModule{nullptr};

D_CComBase::D_CComBase(const char*, IUnknown* outer) : inner_(this), outer_(outer != nullptr ? outer : &inner_) {
  LiveObjectCount.fetch_add(1);
}

D_CComBase::~D_CComBase() {
  if (LiveObjectCount.fetch_sub(1) == 1) {
    if (HostModule* module = OleAutModule.exchange(nullptr)) FreeHostModule(module);
  }
}

HRESULT D_CComBase::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown) return HandOutInterface(&inner_, out);
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t D_CComBase::InnerAddRef() {
  int32_t n = count_.fetch_add(1) + 1;
  return static_cast<uint32_t>(n < 1 ? 1 : n);
}

uint32_t D_CComBase::InnerRelease() {
  int32_t n = count_.fetch_sub(1) - 1;
  if (n == 0) {
    // A release made by the destructor itself must not destroy the object again.
    count_.store(1);
    delete this;
    return 0;
  }
  return static_cast<uint32_t>(n < 1 ? 1 : n);
}

HRESULT HandOutInterface(IUnknown* pointer, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = pointer;
  pointer->AddRef();
  return S_OK;
}

HRESULT CopyWideStringToTaskMemory(const char16_t* text, char16_t** out) {
  if (out == nullptr) return E_POINTER;
  size_t bytes = (WideLength(text) + 1) * sizeof(char16_t);
  auto* copy = static_cast<char16_t*>(CoTaskMemAlloc(bytes));
  *out = copy;
  if (copy == nullptr) return E_OUTOFMEMORY;
  if (text == nullptr) {
    copy[0] = 0;
  } else {
    std::memcpy(copy, text, bytes);
  }
  return S_OK;
}
