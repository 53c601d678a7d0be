#pragma once
// A media sample: one buffer of its allocator's pool with its times, flags and
// attached media type. It goes back to its allocator at its last release and is
// deleted only by the allocator.
#include <atomic>
#include <cstdint>

#include "host/dshow/interfaces.h"

class D_CAllocatorBase;

class D_CMediaSampleObj final : public IMediaSample2 {
 public:
  D_CMediaSampleObj(D_CAllocatorBase* allocator, uint8_t* buffer, int32_t size);
  ~D_CMediaSampleObj();
  D_CMediaSampleObj(const D_CMediaSampleObj&) = delete;
  D_CMediaSampleObj& operator=(const D_CMediaSampleObj&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  HRESULT GetPointer(uint8_t** buffer) override;
  int32_t GetSize() override { return size_; }
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT IsSyncPoint() override { return FlagResult(AM_SAMPLE_SPLICEPOINT); }
  HRESULT SetSyncPoint(int32_t on) override { return SetFlag(AM_SAMPLE_SPLICEPOINT, on); }
  HRESULT IsPreroll() override { return FlagResult(AM_SAMPLE_PREROLL); }
  HRESULT SetPreroll(int32_t on) override { return SetFlag(AM_SAMPLE_PREROLL, on); }
  int32_t GetActualDataLength() override { return actualLength_; }
  HRESULT SetActualDataLength(int32_t length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT IsDiscontinuity() override { return FlagResult(AM_SAMPLE_DATADISCONTINUITY); }
  HRESULT SetDiscontinuity(int32_t on) override { return SetFlag(AM_SAMPLE_DATADISCONTINUITY, on); }
  HRESULT GetMediaTime(int64_t* start, int64_t* end) override;
  HRESULT SetMediaTime(int64_t* start, int64_t* end) override;
  HRESULT GetProperties(uint32_t size, uint8_t* properties) override;
  HRESULT SetProperties(uint32_t size, const uint8_t* properties) override;

 private:
  friend class D_CAllocatorBase;
  HRESULT FlagResult(uint32_t flag) const { return (flags_ & flag) != 0 ? S_OK : S_FALSE; }
  HRESULT SetFlag(uint32_t flag, int32_t on) {
    flags_ = on ? (flags_ | flag) : (flags_ & ~flag);
    return S_OK;
  }

  uint32_t flags_ = 0;
  uint32_t typeSpecificFlags_ = 0;
  uint8_t* buffer_;
  int32_t actualLength_;
  int32_t size_;
  D_CAllocatorBase* allocator_;
  D_CMediaSampleObj* next_ = nullptr;  // free-list link
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME stop_ = 0;
  int64_t mediaStart_ = 0;
  int32_t mediaEnd_ = 0;  // difference from the media start
  AM_MEDIA_TYPE* mediaType_ = nullptr;
  uint32_t streamId_ = 0;
  std::atomic<int32_t> count_{0};
};
