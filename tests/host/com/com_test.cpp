#include <vector>

#include <gtest/gtest.h>

#include "host/com/class_registry.h"
#include "host/com/task_memory.h"
#include "host/dshow/interfaces.h"

namespace {
struct NamedId {
  const char* name;
  GUID id;
};
#define LIST_IDENTIFIER(name, text) {#name, name},
const NamedId kIdentifiers[] = {COM_IDENTIFIERS(LIST_IDENTIFIER) DSHOW_IDENTIFIERS(LIST_IDENTIFIER)};

TEST(Identifiers, NoTwoAreEqualAndTheFixedOnesKeepTheirValues) {
  for (size_t i = 0; i < std::size(kIdentifiers); ++i) {
    EXPECT_NE(kIdentifiers[i].id, GUID_NULL) << kIdentifiers[i].name;
    for (size_t j = i + 1; j < std::size(kIdentifiers); ++j) {
      EXPECT_NE(kIdentifiers[i].id, kIdentifiers[j].id) << kIdentifiers[i].name << " " << kIdentifiers[j].name;
    }
  }
  EXPECT_EQ(IID_IDispatch.Data1, 0x00020400u);
  EXPECT_EQ(MEDIATYPE_Video.Data1, 0x73646976u);
  EXPECT_EQ(CLSID_SampleGrabber.Data4[7], 0x33);
  EXPECT_EQ(MEDIASUBTYPE_PCM.Data4[0], 0x80);
  EXPECT_EQ(MEDIASUBTYPE_PCM.Data4[7], 0x71);
}

// A minimal registered class: answers IUnknown only and counts itself.
int g_live = 0;
struct Plain final : IUnknown {
  uint32_t count = 1;
  Plain() { ++g_live; }
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown) return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++count; }
  uint32_t Release() override {
    if (--count != 0) return count;
    --g_live;
    delete this;
    return 0;
  }
};

HRESULT MakePlain(IUnknown* outer, REFIID iid, void** out) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* p = new Plain;
  HRESULT hr = p->QueryInterface(iid, out);
  p->Release();
  return hr;
}

TEST(ClassRegistry, CreatesRegisteredClassesAndRefusesUnknownOnes) {
  const CLSID kClass = MakeGuid("3E6F4D0A-5C2B-4F11-9A7E-0C1D2E3F4A5B");
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  RegisterComClass(kClass, MakePlain);
  ASSERT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(g_live, 1);
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPin, &object), E_NOINTERFACE);
  EXPECT_EQ(g_live, 0);
  UnregisterComClass(kClass);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, 0, IID_IUnknown, nullptr), E_POINTER);
}

TEST(TaskMemory, CountsLiveBlocksAndFailsOnRequest) {
  void* a = CoTaskMemAlloc(16);
  EXPECT_EQ(LiveTaskMemoryCount(), 1);
  FailNextTaskMemoryAllocations(2);
  EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
  EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
  void* b = CoTaskMemAlloc(8);
  EXPECT_NE(b, nullptr);
  CoTaskMemFree(a);
  CoTaskMemFree(b);
  CoTaskMemFree(nullptr);
  EXPECT_EQ(LiveTaskMemoryCount(), 0);
}

}  // namespace
