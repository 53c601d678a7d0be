#include "filters/system_allocator.h"

#include <mutex>
#include <new>

#include "filters/seeking_pass_thru.h"
#include "filters/virtual_mem_allocator.h"
#include "host/com/class_registry.h"

namespace {
HRESULT MakeMemoryAllocator(IUnknown* outer, REFIID iid, void** out) {
  HRESULT hr = S_OK;
  auto* allocator = new (std::nothrow) D_CVirtualMemAllocator("", outer, &hr);
  if (allocator == nullptr) return E_OUTOFMEMORY;
  // Held across the query so that a refused interface frees the object.
  allocator->InnerAddRef();
  if (SUCCEEDED(hr)) hr = allocator->InnerQueryInterface(iid, out);
  allocator->InnerRelease();
  return hr;
}
}  // namespace

void RegisterFrameworkClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterComClass(CLSID_MemoryAllocator, MakeMemoryAllocator);
    RegisterComClass(CLSID_SeekingPassThru, CreateSeekingPassThruObject);
  });
}

HRESULT CreateSystemAllocator(IMemAllocator** out) {
  RegisterFrameworkClasses();
  return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                          reinterpret_cast<void**>(out));
}
