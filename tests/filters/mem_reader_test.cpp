// The memory stream and the memory reader: paced reads on the manual clock, reads at
// and past the end, flushes, a worker that cannot start, and random requests checked
// against the source bytes.
#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include "filters/mem_reader.h"
#include "filters/mem_stream.h"
#include "filters/virtual_mem_allocator.h"
#include "host/kernel/time.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/test_filters.h"

namespace {

// A stream whose reads wait until the test lets them go.
class GatedStream final : public D_CStreamBase {
 public:
  HRESULT SetPointer(int64_t) override { return S_OK; }
  HRESULT Read(uint8_t*, uint32_t count, bool, uint32_t* bytesRead) override {
    entered.Set();
    WaitForObject(&release, kInfinite);
    *bytesRead = count;
    return S_OK;
  }
  int64_t Size(int64_t* available) override {
    if (available) *available = 1 << 20;
    return 1 << 20;
  }
  uint32_t Alignment() override { return 1; }
  void Lock() override {}
  void Unlock() override {}
  Event entered{false, false}, release{true, false};
};

// A stream of `length` bytes read in aligned blocks of 4, as a device's would be, whose
// reads may come back short: at the end of its data, or after `cap` bytes anywhere.
class ShortStream final : public D_CStreamBase {
 public:
  ShortStream(const std::vector<uint8_t>& data, int64_t length, uint32_t cap) : data_(data), length_(length), cap_(cap) {}
  HRESULT SetPointer(int64_t position) override {
    if (position < 0 || position > length_) return S_FALSE;
    position_ = position;
    return S_OK;
  }
  HRESULT Read(uint8_t* buffer, uint32_t count, bool, uint32_t* bytesRead) override {
    const int64_t n = std::min<int64_t>({count, length_ - position_, cap_});
    std::memcpy(buffer, &data_[position_], static_cast<size_t>(n));
    position_ += n;
    *bytesRead = static_cast<uint32_t>(n);
    return S_OK;
  }
  int64_t Size(int64_t* available) override {
    if (available) *available = length_;
    return length_;
  }
  uint32_t Alignment() override { return 4; }
  void Lock() override {}
  void Unlock() override {}

 private:
  const std::vector<uint8_t>& data_;
  int64_t length_;
  int64_t position_ = 0;
  uint32_t cap_;
};

class Readers : public FrameworkTest {
 protected:
  void SetUp() override {
    data.resize(5000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
  }
  void TearDown() override {
    UseManualTime(false);
    FrameworkTest::TearDown();
  }
  // A reader with one reference, and an allocator of 4 samples of 4 KiB committed.
  void Open(D_CStreamBase* s) {
    HRESULT hr;
    reader = CreateMemReader(s, nullptr, &hr);
    ASSERT_EQ(hr, S_OK);
    reader->AsBaseFilter()->AddRef();
    async = &reader->OutputPin();
    IMemAllocator* preferred = nullptr;
    ASSERT_EQ(CreateReaderAllocator(&preferred), S_OK);
    ALLOCATOR_PROPERTIES request{4, 4096, 0, 0};
    ASSERT_EQ(async->RequestAllocator(preferred, &request, &allocator), S_OK);
    preferred->Release();
    ASSERT_EQ(allocator->Commit(), S_OK);
  }
  void Close() {
    allocator->Decommit();
    allocator->Release();
    reader->AsBaseFilter()->Release();
  }
  IMediaSample* Sample(int64_t position, int64_t length) {
    IMediaSample* s = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME start = position * 10000000, stop = (position + length) * 10000000;
    s->SetTime(&start, &stop);
    return s;
  }
  // One queued read into a new sample, waited for; the sample comes back with the
  // request's user value and the expected result.
  IMediaSample* ReadThrough(int64_t position, int64_t length, HRESULT expected) {
    IMediaSample* s = Sample(position, length);
    EXPECT_EQ(async->Request(s, 42), S_OK);
    IMediaSample* done = nullptr;
    uintptr_t user = 0;
    EXPECT_EQ(async->WaitForNext(5000, &done, &user), expected);
    EXPECT_EQ(done, s);
    EXPECT_EQ(user, 42u);
    return s;
  }

  std::vector<uint8_t> data;
  D_CMemReader* reader = nullptr;
  D_CAsyncOutPin* async = nullptr;
  IMemAllocator* allocator = nullptr;
};

}  // namespace

TEST_F(Readers, StreamEdgesAndPacingOnTheManualClock) {
  UseManualTime(true, 1000);
  EXPECT_EQ(CreateMemStream(data.data(), 5000, 0, 0), nullptr);  // nothing would ever arrive
  D_CMemStream* unpaced = CreateMemStream(data.data(), 5000, 0, kUnpacedStreamRate);
  D_CMemStream* paced = CreateMemStream(data.data(), 5000, 0, 1);
  int64_t available = -1;
  EXPECT_EQ(unpaced->Size(&available), 5000);
  EXPECT_EQ(available, 5000);  // unpaced: all there from the start
  EXPECT_EQ(paced->Size(&available), 5000);
  EXPECT_EQ(available, 0);
  uint8_t buffer[100];
  uint32_t got = 99;
  EXPECT_EQ(unpaced->SetPointer(5001), S_FALSE);
  EXPECT_EQ(unpaced->SetPointer(5000), S_OK);
  EXPECT_EQ(unpaced->Read(buffer, 100, false, &got), S_OK);
  EXPECT_EQ(got, 0u);
  unpaced->SetPointer(4980);
  unpaced->Read(buffer, 100, false, &got);
  EXPECT_EQ(got, 20u);
  EXPECT_EQ(std::memcmp(buffer, &data[4980], 20), 0);
  EXPECT_EQ(HostTimeMs(), 1000u);  // an unpaced read never sleeps
  // 200 ms after creation a read ending at byte 500 sleeps exactly the 300 ms left.
  AdvanceManualTime(200);
  paced->SetPointer(400);
  paced->Read(buffer, 100, false, &got);
  EXPECT_EQ(HostTimeMs(), 1500u);
  paced->Size(&available);
  EXPECT_EQ(available, 500);
  DeleteMemStream(unpaced);
  DeleteMemStream(paced);
}

TEST_F(Readers, RequestsPastTheEndAndRefusedPositionsReadNothing) {
  D_CMemStream* stream = CreateMemStream(data.data(), 5000, 0, kUnpacedStreamRate);
  Open(stream);
  struct Case {
    int64_t position, length;
    HRESULT result;
    int32_t bytes;
    REFERENCE_TIME stop;
  } cases[] = {
      {0, 100, S_OK, 100, 100},
      {4980, 100, S_OK, 20, 5000},   // cut to the end, the stop time too
      {6000, 100, S_OK, 0, 6000},    // wholly past: length 0, never negative
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.position);
    IMediaSample* s = ReadThrough(k.position, k.length, k.result);
    EXPECT_EQ(s->GetActualDataLength(), k.bytes);
    REFERENCE_TIME start, stop;
    s->GetTime(&start, &stop);
    EXPECT_EQ(stop, k.stop * 10000000);
    uint8_t* p;
    s->GetPointer(&p);
    if (k.bytes > 0) {
      EXPECT_EQ(std::memcmp(p, &data[k.position], k.bytes), 0);
    }
    s->Release();
  }
  // A refused position counts 0 bytes read, whatever was asked.
  uint8_t buffer[10];
  ReadRequest request{nullptr, stream, 7000, false, 10, buffer, nullptr, 0, VFW_E_TIMEOUT};
  EXPECT_EQ(D_CReadRequestQueue::CompleteRead(&request), S_FALSE);
  EXPECT_EQ(request.length, 0);
  Close();
  DeleteMemStream(stream);
}

// A read that comes back short is whole when it stops at the end of the stream (the
// aligned request reached past an end that is no multiple of the alignment); stopping
// anywhere before the end, it has lost data and fails.
TEST_F(Readers, AShortReadSucceedsOnlyWhenItEndsAtTheEndOfTheStream) {
  struct Case {
    const char* what;
    int64_t length;
    uint32_t cap;
    int64_t position, request;
    HRESULT result;
    int32_t bytes;
  } cases[] = {
      {"whole", 998, 4096, 0, 8, S_OK, 8},
      {"cut by the end", 998, 4096, 992, 8, S_OK, 6},
      {"cut two bytes before the end", 1000, 4096, 992, 8, S_OK, 8},
      {"short in the middle", 998, 2, 500, 8, E_FAIL, 2},
      {"short, one byte before the end", 998, 5, 992, 8, E_FAIL, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShortStream stream(data, c.length, c.cap);
    Open(&stream);
    IMediaSample* s = ReadThrough(c.position, c.request, c.result);
    if (c.result == S_OK) {
      EXPECT_EQ(s->GetActualDataLength(), c.bytes);
      uint8_t* p;
      s->GetPointer(&p);
      EXPECT_EQ(std::memcmp(p, &data[c.position], c.bytes), 0);
    }
    s->Release();
    Close();
  }
}

TEST_F(Readers, AWorkerThatCannotStartFailsTheRequestAndALaterOneTriesAgain) {
  D_CMemStream* stream = CreateMemStream(data.data(), 5000, 0, kUnpacedStreamRate);
  Open(stream);
  IMediaSample* s = Sample(10, 10);
  FailNextThreadCreation();
  HRESULT hr = async->Request(s, 1);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(hr, MakeHresult(0x8007000B));
  IMediaSample* done = nullptr;
  uintptr_t user;
  EXPECT_EQ(async->WaitForNext(0, &done, &user), VFW_E_TIMEOUT);  // nothing was left queued
  ASSERT_EQ(async->Request(s, 2), S_OK);
  EXPECT_EQ(async->WaitForNext(5000, &done, &user), S_OK);
  EXPECT_EQ(user, 2u);
  s->Release();
  Close();
  DeleteMemStream(stream);
}

TEST_F(Readers, AFlushReturnsQueuedRequestsUnreadAndNeverBlocksAWaiter) {
  GatedStream stream;
  Open(&stream);
  IMediaSample* samples[3] = {Sample(0, 10), Sample(10, 10), Sample(20, 10)};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(async->Request(samples[i], i), S_OK);
  ASSERT_EQ(WaitForObject(&stream.entered, 5000), 0);  // the first is being read
  std::thread flush([&] { static_cast<IAsyncReader*>(async)->BeginFlush(); });
  while (!reader->Queue().FlushWaiting()) std::this_thread::yield();
  stream.release.Set();  // the flush waited for the read in progress
  flush.join();
  // The two unread come back with VFW_E_TIMEOUT, then the one read.
  IMediaSample* done = nullptr;
  uintptr_t user = 9;
  for (auto [want, result] : {std::pair<uintptr_t, HRESULT>{1, VFW_E_TIMEOUT}, {2, VFW_E_TIMEOUT}, {0, S_OK}}) {
    EXPECT_EQ(async->WaitForNext(0, &done, &user), result);
    EXPECT_EQ(user, want);
    EXPECT_EQ(done, samples[want]);
  }
  // Nothing left while flushing: back at once; a Request is refused.
  EXPECT_EQ(async->WaitForNext(kInfinite, &done, &user), VFW_E_WRONG_STATE);
  EXPECT_EQ(async->Request(samples[0], 5), VFW_E_WRONG_STATE);
  static_cast<IAsyncReader*>(async)->EndFlush();
  EXPECT_EQ(async->WaitForNext(0, &done, &user), VFW_E_TIMEOUT);
  for (IMediaSample* s : samples) s->Release();
  Close();
}

TEST_F(Readers, RandomRequestsGiveTheSourceBytes) {
  D_CMemStream* stream = CreateMemStream(data.data(), 5000, 0, kUnpacedStreamRate);
  Open(stream);
  std::mt19937 random(7);
  for (int i = 0; i < 1000; ++i) {
    const int64_t position = random() % 5200, length = 1 + random() % 4096;
    IMediaSample* s = Sample(position, length);
    ASSERT_EQ(async->Request(s, i), S_OK);
    IMediaSample* done = nullptr;
    uintptr_t user;
    ASSERT_EQ(async->WaitForNext(5000, &done, &user), S_OK) << i;
    ASSERT_EQ(user, static_cast<uintptr_t>(i));
    const int64_t want = std::max<int64_t>(0, std::min<int64_t>(length, 5000 - position));
    ASSERT_EQ(done->GetActualDataLength(), want) << i;
    uint8_t* p;
    done->GetPointer(&p);
    if (want > 0) {
      ASSERT_EQ(std::memcmp(p, &data[position], want), 0) << i;
    }
    s->Release();
  }
  Close();
  DeleteMemStream(stream);
}

TEST_F(Readers, APinThatNeverAsksForTheReaderCannotConnectAndAHeldReaderIsNotDeleted) {
  D_CMemStream* stream = CreateMemStream(data.data(), 5000, 0, kUnpacedStreamRate);
  D_CMediaTypeRec type;
  type.SetMajorType(MEDIATYPE_Stream);
  HRESULT hr;
  D_CMemReader* held = CreateMemReader(stream, &type, &hr);
  held->AsBaseFilter()->AddRef();
  DeleteMemReader(held);  // referenced: left alone
  TestSink* sink = MakeReferenced<TestSink>();
  EXPECT_TRUE(FAILED(held->OutputPin().AsPin()->Connect(sink->pin().AsPin(), nullptr)));
  EXPECT_FALSE(sink->pin().IsConnected());
  sink->AsBaseFilter()->Release();
  held->AsBaseFilter()->Release();
  DeleteMemReader(CreateMemReader(stream, &type, &hr));  // never referenced: deleted
  DeleteMemStream(stream);
}
