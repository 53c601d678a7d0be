#pragma once
// A source filter over bytes in memory whose output pin others read from through
// IAsyncReader, as the system's parsers read a file; for tests and benchmarks.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "movie/dshow/filter_base.h"
#include "movie/dshow/pin_base.h"

// An output pin that others read from, over bytes in memory.
class FilePin final : public D_CPinBase, public IAsyncReader {
 public:
  FilePin(D_CFilterBase* filter, CriticalSection* lock, const std::vector<uint8_t>& bytes)
      : D_CPinBase("file pin", filter, lock, nullptr, u"Output", PINDIR_OUTPUT), bytes_(bytes) {}
  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IAsyncReader) return HandOutInterface(static_cast<IAsyncReader*>(this), out);
    return D_CPinBase::InnerQueryInterface(iid, out);
  }
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override {
    return type->majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
  }
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type->SetMajorType(MEDIATYPE_Stream);
    type->SetSubtype(MEDIASUBTYPE_MPEG1Audio);
    return S_OK;
  }

  HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                           IMemAllocator** actual) override {
    ALLOCATOR_PROPERTIES got{};
    HRESULT hr = preferred->SetProperties(properties, &got);
    if (FAILED(hr)) return hr;
    preferred->AddRef();
    *actual = preferred;
    return S_OK;
  }
  HRESULT Request(IMediaSample* sample, uintptr_t user) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (flushing_) return VFW_E_WRONG_STATE;
    REFERENCE_TIME start = 0, stop = 0;
    sample->GetTime(&start, &stop);
    uint8_t* buffer = nullptr;
    sample->GetPointer(&buffer);
    int32_t n = 0;
    SyncRead(start / 10000000, static_cast<int32_t>((stop - start) / 10000000), buffer, &n);
    sample->SetActualDataLength(n);
    done_.push_back({sample, user});
    ready_.notify_all();
    return S_OK;
  }
  HRESULT WaitForNext(uint32_t, IMediaSample** sample, uintptr_t* user) override {
    std::unique_lock<std::mutex> lock(mutex_);
    *sample = nullptr;
    ready_.wait(lock, [&] { return flushing_ || !done_.empty(); });
    if (done_.empty()) return VFW_E_WRONG_STATE;
    *sample = done_.front().first;
    *user = done_.front().second;
    done_.pop_front();
    return S_OK;
  }
  HRESULT SyncReadAligned(IMediaSample*) override { return E_NOTIMPL; }
  HRESULT SyncRead(int64_t position, int32_t length, uint8_t* buffer) override {
    int32_t n = 0;
    return SyncRead(position, length, buffer, &n);
  }
  HRESULT Length(int64_t* total, int64_t* available) override {
    *total = *available = static_cast<int64_t>(bytes_.size());
    return S_OK;
  }
  HRESULT BeginFlush() override {
    std::lock_guard<std::mutex> lock(mutex_);
    flushing_ = true;
    for (auto& d : done_) d.first->Release();
    done_.clear();
    ready_.notify_all();
    return S_OK;
  }
  HRESULT EndFlush() override {
    std::lock_guard<std::mutex> lock(mutex_);
    flushing_ = false;
    return S_OK;
  }

 private:
  HRESULT SyncRead(int64_t position, int32_t length, uint8_t* buffer, int32_t* got) {
    int64_t size = static_cast<int64_t>(bytes_.size());
    *got = static_cast<int32_t>(std::clamp<int64_t>(size - position, 0, length));
    if (*got > 0) std::memcpy(buffer, bytes_.data() + position, static_cast<size_t>(*got));
    return *got == length ? S_OK : S_FALSE;
  }

  const std::vector<uint8_t>& bytes_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::pair<IMediaSample*, uintptr_t>> done_;
  bool flushing_ = false;
};

class FileSource final : public D_CFilterBase {
 public:
  explicit FileSource(const std::vector<uint8_t>& bytes) : D_CFilterBase("file", nullptr, &lock_, GUID_NULL), pin_(this, &lock_, bytes) {}
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }
  IPin* pin() { return &pin_; }
  static FileSource* Make(const std::vector<uint8_t>& bytes) {
    auto* f = new FileSource(bytes);
    f->AsBaseFilter()->AddRef();
    return f;
  }

 private:
  CriticalSection lock_;
  FilePin pin_;
};

