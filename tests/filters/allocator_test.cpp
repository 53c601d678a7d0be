#include <atomic>
#include <cstddef>

#include "filters/media_sample.h"
#include "filters/media_type.h"
#include "filters/system_allocator.h"
#include "filters/virtual_mem_allocator.h"
#include "host/com/class_registry.h"
#include "host/kernel/sync.h"
#include "host/kernel/thread.h"
#include "tests/filters/framework_fixture.h"

namespace {
using Allocators = FrameworkTest;

// A referenced allocator of `count` samples of `size` bytes, committed when asked.
D_CVirtualMemAllocator* MakeAllocator(int32_t count, int32_t size, bool commit) {
  HRESULT hr = S_OK;
  auto* a = new D_CVirtualMemAllocator("test", nullptr, &hr);
  a->InnerAddRef();
  ALLOCATOR_PROPERTIES request{count, size, 1, 0}, actual{};
  EXPECT_EQ(a->SetProperties(&request, &actual), S_OK);
  if (commit) {
    EXPECT_EQ(a->Commit(), S_OK);
  }
  return a;
}

TEST_F(Allocators, PropertiesAreRoundedToTheAlignmentOrRefused) {
  struct Case {
    ALLOCATOR_PROPERTIES request;
    HRESULT result;
    int32_t size;
  } cases[] = {
      {{3, 1000, 16, 8}, S_OK, 1000},
      {{3, 1000, 16, 10}, S_OK, 1014},
      {{1, 1, 1, 0}, S_OK, 1},
      {{2, 100, 0, 0}, VFW_E_BADALIGN, 0},
      {{2, 100, 131072, 0}, VFW_E_BADALIGN, 0},
      {{2, 100, 4, -8}, E_INVALIDARG, 0},
      {{-1, 100, 4, 0}, E_INVALIDARG, 0},
      {{1, 0x7FFFFFF0, 64, 64}, E_INVALIDARG, 0},
  };
  D_CVirtualMemAllocator* a = MakeAllocator(1, 1, false);
  for (const Case& c : cases) {
    ALLOCATOR_PROPERTIES request = c.request, actual{9, 9, 9, 9};
    EXPECT_EQ(a->SetProperties(&request, &actual), c.result) << c.request.cbBuffer << " " << c.request.cbPrefix;
    EXPECT_EQ(actual.cbBuffer, c.size);
  }
  ALLOCATOR_PROPERTIES none{0, 100, 1, 0}, actual{};
  ASSERT_EQ(a->SetProperties(&none, &actual), S_OK);
  EXPECT_EQ(a->Commit(), VFW_E_SIZENOTSET);
  ALLOCATOR_PROPERTIES two{2, 100, 1, 0};
  ASSERT_EQ(a->SetProperties(&two, &actual), S_OK);
  ASSERT_EQ(a->Commit(), S_OK);
  EXPECT_EQ(a->SetProperties(&two, &actual), VFW_E_ALREADY_COMMITTED);
  IMediaSample* out = nullptr;
  ASSERT_EQ(a->GetBuffer(&out, nullptr, nullptr, 0), S_OK);
  a->Decommit();
  EXPECT_EQ(a->SetProperties(&two, &actual), VFW_E_BUFFERS_OUTSTANDING);
  out->Release();
  a->InnerRelease();
}

TEST_F(Allocators, ARecommitReusesTheSamplesUnlessThePropertiesChanged) {
  D_CVirtualMemAllocator* a = MakeAllocator(1, 4000, true);
  IMediaSample* s = nullptr;
  uint8_t *first = nullptr, *again = nullptr;
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  s->GetPointer(&first);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % kAllocationGranularity, 0u);
  s->Release();
  a->Decommit();
  ASSERT_EQ(a->Commit(), S_OK);
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  s->GetPointer(&again);
  EXPECT_EQ(again, first);
  EXPECT_EQ(LiveVirtualBlockCount(), 1);
  s->Release();
  a->Decommit();
  ALLOCATOR_PROPERTIES request{2, 10, 8, 4}, actual{};
  ASSERT_EQ(a->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(a->Commit(), S_OK);
  IMediaSample *x = nullptr, *y = nullptr;
  ASSERT_EQ(a->GetBuffer(&x, nullptr, nullptr, 0), S_OK);
  ASSERT_EQ(a->GetBuffer(&y, nullptr, nullptr, 0), S_OK);
  uint8_t *px = nullptr, *py = nullptr;
  x->GetPointer(&px);
  y->GetPointer(&py);
  EXPECT_EQ(std::abs(px - py), 16);  // stride: 12 + 4 rounded up to 8
  EXPECT_EQ(reinterpret_cast<uintptr_t>(px - 4) % 8, 0u);
  EXPECT_EQ(LiveVirtualBlockCount(), 1);
  x->Release();
  y->Release();
  a->Decommit();
  a->InnerRelease();
}

struct Waiter {
  D_CVirtualMemAllocator* allocator;
  IMediaSample* sample = nullptr;
  std::atomic<HRESULT> result{E_UNEXPECTED};
  HostThread* thread = nullptr;
  Event done{true, false};
  void Start() {
    thread = CreateHostThread([](void* p) -> uint32_t {
      auto* w = static_cast<Waiter*>(p);
      w->result = w->allocator->GetBuffer(&w->sample, nullptr, nullptr, 0);
      w->done.Set();
      return 0;
    }, this, false);
  }
  void AwaitBlocked() {
    while (allocator->WaitingCount() == 0) HostSleep(0);
  }
};

TEST_F(Allocators, ABlockedGetBufferGetsTheSampleReleasedOrFailsOnDecommit) {
  D_CVirtualMemAllocator* a = MakeAllocator(2, 64, true);
  IMediaSample *x = nullptr, *y = nullptr;
  ASSERT_EQ(a->GetBuffer(&x, nullptr, nullptr, 0), S_OK);
  ASSERT_EQ(a->GetBuffer(&y, nullptr, nullptr, 0), S_OK);
  IMediaSample* none = x;
  EXPECT_EQ(a->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(a->WaitingCount(), 0);  // a no-wait caller is not counted as waiting

  Waiter second{a};
  second.Start();
  second.AwaitBlocked();
  x->Release();
  CloseHostThread(second.thread);
  EXPECT_EQ(second.result.load(), S_OK);
  EXPECT_EQ(second.sample, x);  // the very sample released

  Waiter third{a};
  third.Start();
  third.AwaitBlocked();
  EXPECT_EQ(a->Decommit(), S_OK);  // two samples out: the decommit waits for them
  CloseHostThread(third.thread);
  EXPECT_EQ(third.result.load(), VFW_E_NOT_COMMITTED);
  IMediaSample* late = nullptr;
  EXPECT_EQ(a->GetBuffer(&late, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);

  // The pending decommit keeps the allocator alive past its owner's release; the last
  // sample back ends it, and nothing touches the allocator after that.
  a->InnerRelease();
  EXPECT_EQ(LiveObjectCount.load(), 1);
  second.sample->Release();
  EXPECT_EQ(LiveObjectCount.load(), 1);
  y->Release();
  EXPECT_EQ(LiveObjectCount.load(), 0);
}

TEST_F(Allocators, EveryWaiterWakesForItsReleaseAndARecommitCancelsThePendingDecommit) {
  D_CVirtualMemAllocator* a = MakeAllocator(3, 64, true);
  IMediaSample* out[3] = {};
  for (IMediaSample*& s : out) ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  Waiter waiters[3] = {{a}, {a}, {a}};
  for (Waiter& w : waiters) w.Start();
  while (a->WaitingCount() < 3) HostSleep(0);
  // Three releases in a row, before any waiter has run: none may be left asleep.
  for (IMediaSample* s : out) s->Release();
  int served = 0;
  for (Waiter& w : waiters) served += WaitForObject(&w.done, 5000) == 0;
  EXPECT_EQ(served, 3) << "a waiter slept through its release";
  if (served < 3) a->Decommit();  // lets a forgotten waiter go
  for (Waiter& w : waiters) {
    CloseHostThread(w.thread);
    ASSERT_EQ(w.result.load(), S_OK);
  }
  EXPECT_EQ(a->WaitingCount(), 0);

  // A commit before the samples come back keeps the pool: nothing is freed at the last
  // release, and the samples lent before still belong to a live pool.
  uint8_t* lent = nullptr;
  waiters[0].sample->GetPointer(&lent);
  ASSERT_EQ(a->Decommit(), S_OK);
  ASSERT_EQ(a->Commit(), S_OK);
  for (Waiter& w : waiters) w.sample->Release();
  IMediaSample* again[3] = {};
  bool found = false;
  for (IMediaSample*& s : again) {
    ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    uint8_t* p = nullptr;
    s->GetPointer(&p);
    found = found || p == lent;
  }
  EXPECT_TRUE(found);
  for (IMediaSample* s : again) s->Release();
  a->Decommit();
  a->InnerRelease();
  EXPECT_EQ(LiveObjectCount.load(), 0);  // one self-reference, given back once
}

TEST_F(Allocators, SampleTimesLengthsTypesAndPropertiesFollowTheirRules) {
  D_CVirtualMemAllocator* a = MakeAllocator(1, 100, true);
  IMediaSample* s = nullptr;
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  REFERENCE_TIME t0 = 500, t1 = 900, start = 0, stop = 0;
  EXPECT_EQ(s->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
  s->SetTime(&t0, nullptr);
  EXPECT_EQ(s->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(stop, 501);
  s->SetTime(&t0, &t1);
  EXPECT_EQ(s->GetTime(&start, &stop), S_OK);
  EXPECT_EQ(stop, 900);
  int64_t m0 = 10, m1 = 30;
  EXPECT_EQ(s->GetMediaTime(&m0, &m1), VFW_E_MEDIA_TIME_NOT_SET);
  m0 = 10;
  s->SetMediaTime(&m0, &m1);
  m1 = 0;
  EXPECT_EQ(s->GetMediaTime(&m0, &m1), S_OK);
  EXPECT_EQ(m1, 30);
  EXPECT_EQ(s->SetActualDataLength(100), S_OK);
  EXPECT_EQ(s->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);

  D_CMediaTypeRec type;
  type.SetMajorType(MEDIATYPE_Audio);
  AM_MEDIA_TYPE* got = nullptr;
  EXPECT_EQ(s->GetMediaType(&got), S_FALSE);
  ASSERT_EQ(s->SetMediaType(&type), S_OK);
  ASSERT_EQ(s->GetMediaType(&got), S_OK);
  EXPECT_EQ(got->majortype, MEDIATYPE_Audio);
  DeleteMediaTypeRecord(got);

  auto* s2 = static_cast<IMediaSample2*>(static_cast<D_CMediaSampleObj*>(s));
  AM_SAMPLE2_PROPERTIES p{};
  ASSERT_EQ(s2->GetProperties(sizeof(p), reinterpret_cast<uint8_t*>(&p)), S_OK);
  EXPECT_EQ(p.dwSampleFlags, AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID | AM_SAMPLE_TYPECHANGED);  // no media time
  EXPECT_NE(p.pMediaType, nullptr);
  uint8_t* buffer = nullptr;
  s->GetPointer(&buffer);
  const uint32_t uptoBuffer = offsetof(AM_SAMPLE2_PROPERTIES, pbBuffer);
  struct Case {
    const char* what;
    uint32_t size;
    void (*change)(AM_SAMPLE2_PROPERTIES&);
    HRESULT result;
  } cases[] = {
      {"too short to say anything", 3, [](AM_SAMPLE2_PROPERTIES& q) { q.lActual = 1; }, S_OK},
      {"a record that claims more than it is", sizeof(p), [](AM_SAMPLE2_PROPERTIES& q) { q.cbData += 1; },
       E_INVALIDARG},
      {"unknown flag", sizeof(p), [](AM_SAMPLE2_PROPERTIES& q) { q.dwSampleFlags |= 0x200; }, E_INVALIDARG},
      {"media time flag", sizeof(p), [](AM_SAMPLE2_PROPERTIES& q) { q.dwSampleFlags |= 0x20; }, E_INVALIDARG},
      {"another buffer", sizeof(p), [](AM_SAMPLE2_PROPERTIES& q) { q.pbBuffer += 1; }, E_INVALIDARG},
      {"another size", sizeof(p), [](AM_SAMPLE2_PROPERTIES& q) { q.cbBuffer = 50; }, E_INVALIDARG},
      {"length past the buffer", uptoBuffer, [](AM_SAMPLE2_PROPERTIES& q) { q.lActual = 101; }, E_INVALIDARG},
      {"type flag without type", sizeof(p), [](AM_SAMPLE2_PROPERTIES& q) { q.pMediaType = nullptr; }, E_POINTER},
      {"a call larger than the record: only the record", sizeof(p) + 8,
       [](AM_SAMPLE2_PROPERTIES& q) { q.cbData = offsetof(AM_SAMPLE2_PROPERTIES, tStart), q.lActual = 3; }, S_OK},
      {"copy up to the buffer", uptoBuffer, [](AM_SAMPLE2_PROPERTIES& q) { q.lActual = 7, q.tStart = 1; }, S_OK},
  };
  for (const Case& c : cases) {
    // Room for every call size: what lies past the record is not the record.
    struct {
      AM_SAMPLE2_PROPERTIES q;
      uint8_t past[8];
    } call{p, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    call.q.cbData = std::min<uint32_t>(c.size, sizeof(call.q));
    c.change(call.q);
    EXPECT_EQ(s2->SetProperties(c.size, reinterpret_cast<const uint8_t*>(&call)), c.result) << c.what;
    if (c.size == sizeof(p) + 8) {
      EXPECT_EQ(s->GetActualDataLength(), 3);
    }
  }
  EXPECT_EQ(s->GetActualDataLength(), 7);
  EXPECT_EQ(s->GetTime(&start, &stop), S_OK);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(s->IsSyncPoint(), S_FALSE);
  s->SetSyncPoint(1);
  s->Release();  // back to the pool with its type and flags gone
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(s->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(s->GetMediaType(&got), S_FALSE);
  s->Release();
  a->Decommit();
  a->InnerRelease();
}

TEST_F(Allocators, TheSystemAllocatorComesFromTheRegistryAndReportsReleases) {
  IMemAllocator* allocator = nullptr;
  EXPECT_EQ(CoCreateInstance(MakeGuid("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&allocator)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(allocator, nullptr);
  ASSERT_EQ(CreateSystemAllocator(&allocator), S_OK);
  IMemAllocatorCallbackTemp* callback = nullptr;
  ASSERT_EQ(allocator->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&callback)), S_OK);
  struct Notify final : IMemAllocatorNotifyCallbackTemp {
    HRESULT QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    HRESULT NotifyRelease() override { return ++releases, S_OK; }
    uint32_t refs = 1;
    int releases = 0;
  } notify;
  callback->SetNotify(&notify);
  ALLOCATOR_PROPERTIES request{3, 10, 1, 0}, actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* s = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  int32_t free = 0;
  callback->GetFreeCount(&free);
  EXPECT_EQ(free, 2);
  s->Release();
  EXPECT_EQ(notify.releases, 1);
  allocator->Decommit();
  callback->Release();
  allocator->Release();
  EXPECT_EQ(notify.refs, 1u);
}
}  // namespace
