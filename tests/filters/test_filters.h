#pragma once
// Small source and sink filters on the framework's bases, for tests and benchmarks.
// The source offers a list of types and pushes samples (from its own thread or from the
// caller); the sink accepts a list of types, proposes another and records what it gets.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "filters/filter_base.h"
#include "filters/input_pin_base.h"
#include "filters/output_pin_base.h"
#include "host/kernel/sync.h"
#include "host/kernel/thread.h"

// A full media type: major type, subtype, and a one-byte format block naming it.
void MakeTestType(D_CMediaTypeRec& type, const GUID& major, const GUID& sub, uint8_t tag);

class TestSource;

class TestSourcePin final : public D_COutputPinBase {
 public:
  TestSourcePin(TestSource* filter, CriticalSection* lock);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
  void BumpTypeList() { ++typeVersion_; }

 private:
  TestSource* source_;
};

class TestSource final : public D_CFilterBase {
 public:
  TestSource();
  ~TestSource() override;
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }
  HRESULT Pause() override;
  HRESULT Stop() override;

  // Fills one sample with `length` bytes of `data` and delivers it.
  HRESULT PushSample(const uint8_t* data, int32_t length, REFERENCE_TIME start);

  TestSourcePin& pin() { return pin_; }
  std::vector<D_CMediaTypeRec*> offered;  // owned
  int32_t bufferCount = 2;
  int32_t bufferSize = 256;
  int sizeBuffersRefusals = 0;  // the next n SizeBuffers calls fail
  IMemAllocator* firstAllocatorSized = nullptr;
  int pauseCalls = 0;
  // The streaming thread (started by Pause when samplesToPush > 0): samples of
  // bufferSize bytes where byte i of the stream is (i * 7) & 0xFF, then end of stream.
  int samplesToPush = 0;
  std::atomic<int> pushed{0};
  std::atomic<HRESULT> lastPushResult{S_OK};

 private:
  static uint32_t StreamThread(void* self);
  CriticalSection lock_;
  TestSourcePin pin_;
  HostThread* thread_ = nullptr;
};

class TestSink;

class TestSinkPin final : public D_CInputPinBase {
 public:
  TestSinkPin(TestSink* filter, CriticalSection* lock);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT FinishConnection(IPin* peer) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT EndFlush() override;

 private:
  TestSink* sink_;
};

class TestSink final : public D_CFilterBase {
 public:
  TestSink();
  ~TestSink() override;
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }
  TestSinkPin& pin() { return pin_; }
  void ReleaseHeld();

  std::vector<D_CMediaTypeRec*> accepted;  // owned; empty accepts everything
  std::vector<D_CMediaTypeRec*> proposed;  // owned
  int acceptsCalls = 0;
  HRESULT finishResult = S_OK;
  bool recordBytes = true;
  bool holdSamples = false;
  std::vector<uint8_t> bytes;
  std::atomic<int64_t> bytesSeen{0};
  std::atomic<int> samples{0};
  std::vector<IMediaSample*> held;
  std::vector<REFERENCE_TIME> starts;  // of each sample recorded, -1 without times
  std::vector<bool> discontinuities;   // of each sample recorded
  // How many bytes and starts were recorded at the last EndFlush: what came after is
  // the restarted stream's. The flush also resets endOfStream.
  size_t bytesAtFlush = 0, startsAtFlush = 0;
  Event endOfStream{true, false};
  Event received{false, false};

 private:
  CriticalSection lock_;
  TestSinkPin pin_;
};

// A graph stand-in that records events (written to from streaming and timer threads)
// and reconnect requests.
class FakeGraph final : public IFilterGraph, public IMediaEventSink {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IMediaEventSink) return HandOutInterface(static_cast<IMediaEventSink*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
  HRESULT Notify(int32_t code, intptr_t p1, intptr_t p2) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events.push_back({code, p1, p2});
    }
    if (code == EC_COMPLETE) complete.Set();
    return S_OK;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events.clear();
    complete.Reset();
  }
  int Count(int32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Event& e : events) n += e.code == code;
    return n;
  }
  HRESULT AddFilter(IBaseFilter*, const char16_t*) override { return E_NOTIMPL; }
  HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
  HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  HRESULT FindFilterByName(const char16_t*, IBaseFilter**) override { return E_NOTIMPL; }
  HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT Reconnect(IPin* pin) override { return reconnected = pin, S_OK; }
  HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }
  struct Event {
    int32_t code;
    intptr_t p1, p2;
  };
  std::vector<Event> events;  // read once the threads are done
  ::Event complete{true, false};
  IPin* reconnected = nullptr;
  std::atomic<uint32_t> refs{1};

 private:
  std::mutex mutex_;
};
using EventLog = FakeGraph;

// A framework filter (count 0 when made) with one reference for the caller.
template <typename F>
F* MakeReferenced() {
  auto* f = new F;
  f->AsBaseFilter()->AddRef();
  return f;
}
