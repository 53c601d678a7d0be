#include "filters/com_base.h"

#include "host/dshow/interfaces.h"
#include "tests/filters/framework_fixture.h"

namespace {
// An object with two published interfaces; its destructor may reference itself.
class Thing final : public D_CComBase, public IPersist, public IAMovieSetup {
 public:
  Thing(IUnknown* outer, int* destroyed, bool selfReference)
      : D_CComBase("Thing", outer), destroyed_(destroyed), selfReference_(selfReference) {}
  ~Thing() override {
    if (selfReference_) {
      AddRef();
      Release();
    }
    ++*destroyed_;
  }
  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IPersist) return HandOutInterface(static_cast<IPersist*>(this), out);
    if (iid == IID_IAMovieSetup) return HandOutInterface(static_cast<IAMovieSetup*>(this), out);
    return D_CComBase::InnerQueryInterface(iid, out);
  }
  HRESULT GetClassID(CLSID* clsid) override { return *clsid = GUID_NULL, S_OK; }
  HRESULT Register() override { return S_FALSE; }
  HRESULT Unregister() override { return S_FALSE; }

 private:
  int* destroyed_;
  bool selfReference_;
};

// A test outer object aggregating a Thing: it answers IPersist from the inner object.
class Outer final : public IUnknown {
 public:
  explicit Outer(int* destroyed) { inner_ = (new Thing(this, destroyed, false))->InnerUnknown(); inner_->AddRef(); }
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown) return HandOutInterface(this, out);
    return inner_->QueryInterface(iid, out);
  }
  uint32_t AddRef() override { return ++count; }
  uint32_t Release() override {
    if (--count != 0) return count;
    inner_->Release();
    delete this;
    return 0;
  }
  uint32_t count = 1;

 private:
  IUnknown* inner_;
};

using ComBase = FrameworkTest;

TEST_F(ComBase, OneIdentityThroughEveryInterfaceAndOneDestructionAtTheLastRelease) {
  for (bool selfReference : {false, true}) {
    int destroyed = 0;
    auto* thing = new Thing(nullptr, &destroyed, selfReference);
    EXPECT_EQ(thing->InnerAddRef(), 1u);  // from 0
    IPersist* persist = nullptr;
    IAMovieSetup* setup = nullptr;
    IUnknown* viaPersist = nullptr;
    IUnknown* viaSetup = nullptr;
    ASSERT_EQ(thing->InnerUnknown()->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    ASSERT_EQ(persist->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)), S_OK);
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaPersist)), S_OK);
    ASSERT_EQ(setup->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaSetup)), S_OK);
    EXPECT_EQ(viaPersist, thing->InnerUnknown());
    EXPECT_EQ(viaSetup, viaPersist);
    void* none = thing;
    EXPECT_EQ(setup->QueryInterface(IID_IPin, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(setup->QueryInterface(IID_IPin, nullptr), E_POINTER);
    EXPECT_EQ(setup->AddRef(), 6u);  // one count for all interfaces
    for (IUnknown* u : {static_cast<IUnknown*>(setup), static_cast<IUnknown*>(setup), static_cast<IUnknown*>(persist),
                        viaPersist, viaSetup}) {
      u->Release();
    }
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(thing->InnerRelease(), 0u);
    EXPECT_EQ(destroyed, 1) << selfReference;
  }
}

TEST_F(ComBase, AnAggregatedObjectCountsOnItsOuterAndIsFreedOnceWithIt) {
  int destroyed = 0;
  auto* outer = new Outer(&destroyed);
  IPersist* persist = nullptr;
  ASSERT_EQ(outer->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_EQ(outer->count, 2u);
  IUnknown* identity = nullptr;
  ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, outer);  // the outer object's identity, not the inner one's
  EXPECT_EQ(outer->count, 3u);
  identity->Release();
  persist->Release();
  EXPECT_EQ(LiveObjectCount.load(), 1);
  outer->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST_F(ComBase, WideStringCopiesGoToTaskMemory) {
  char16_t* copy = nullptr;
  ASSERT_EQ(CopyWideStringToTaskMemory(u"Renderer", &copy), S_OK);
  EXPECT_EQ(std::u16string(copy), u"Renderer");
  CoTaskMemFree(copy);
  FailNextTaskMemoryAllocations(1);
  EXPECT_EQ(CopyWideStringToTaskMemory(u"In", &copy), E_OUTOFMEMORY);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(CopyWideStringToTaskMemory(u"In", nullptr), E_POINTER);
}
}  // namespace
