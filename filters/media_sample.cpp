#include "filters/media_sample.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "filters/allocator_base.h"
#include "filters/media_type.h"

namespace {
constexpr uint32_t kKnownFlags = 0x1FF;

// The caller's record covers a field when its byte count reaches the field's end.
#define COVERS(n, field) \
  (offsetof(AM_SAMPLE2_PROPERTIES, field) + sizeof(AM_SAMPLE2_PROPERTIES::field) <= (n))
}  // namespace

D_CMediaSampleObj::D_CMediaSampleObj(D_CAllocatorBase* allocator, uint8_t* buffer, int32_t size)
    : buffer_(buffer), actualLength_(size), size_(size), allocator_(allocator) {}

D_CMediaSampleObj::~D_CMediaSampleObj() { DeleteMediaTypeRecord(mediaType_); }

HRESULT D_CMediaSampleObj::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMediaSample || iid == IID_IMediaSample2 || iid == IID_IUnknown) {
    *out = static_cast<IMediaSample2*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t D_CMediaSampleObj::AddRef() { return static_cast<uint32_t>(count_.fetch_add(1) + 1); }

uint32_t D_CMediaSampleObj::Release() {
  int32_t n = count_.fetch_sub(1) - 1;
  if (n != 0) return static_cast<uint32_t>(n);
  SetMediaType(nullptr);
  flags_ = 0;
  typeSpecificFlags_ = 0;
  streamId_ = 0;
  // The last sample back may end a pending decommit and, with it, the allocator and
  // this sample: neither is touched after this call.
  allocator_->ReleaseBuffer(this);
  return 0;
}

HRESULT D_CMediaSampleObj::GetPointer(uint8_t** buffer) {
  if (buffer == nullptr) return E_POINTER;
  *buffer = buffer_;
  return S_OK;
}

HRESULT D_CMediaSampleObj::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  if (start == nullptr || stop == nullptr) return E_POINTER;
  if ((flags_ & AM_SAMPLE_STOPVALID) != 0) {
    *start = start_;
    *stop = stop_;
    return S_OK;
  }
  if ((flags_ & AM_SAMPLE_TIMEVALID) != 0) {
    *start = start_;
    *stop = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  return VFW_E_SAMPLE_TIME_NOT_SET;
}

HRESULT D_CMediaSampleObj::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  flags_ &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
  if (start == nullptr) return S_OK;
  start_ = *start;
  flags_ |= AM_SAMPLE_TIMEVALID;
  if (stop != nullptr) {
    stop_ = *stop;
    flags_ |= AM_SAMPLE_STOPVALID;
  }
  return S_OK;
}

HRESULT D_CMediaSampleObj::SetActualDataLength(int32_t length) {
  if (length > size_) return VFW_E_BUFFER_OVERFLOW;
  if (length < 0) return E_INVALIDARG;
  actualLength_ = length;
  return S_OK;
}

HRESULT D_CMediaSampleObj::GetMediaType(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  *type = nullptr;
  if ((flags_ & AM_SAMPLE_TYPECHANGED) == 0) return S_FALSE;
  *type = CloneMediaTypeRecord(mediaType_);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT D_CMediaSampleObj::SetMediaType(AM_MEDIA_TYPE* type) {
  DeleteMediaTypeRecord(mediaType_);
  mediaType_ = nullptr;
  flags_ &= ~AM_SAMPLE_TYPECHANGED;
  if (type == nullptr) return S_OK;
  mediaType_ = CloneMediaTypeRecord(type);
  if (mediaType_ == nullptr) return E_OUTOFMEMORY;
  flags_ |= AM_SAMPLE_TYPECHANGED;
  return S_OK;
}

HRESULT D_CMediaSampleObj::GetMediaTime(int64_t* start, int64_t* end) {
  if (start == nullptr || end == nullptr) return E_POINTER;
  if ((flags_ & AM_SAMPLE_MEDIATIMEVALID) == 0) return VFW_E_MEDIA_TIME_NOT_SET;
  *start = mediaStart_;
  *end = mediaStart_ + mediaEnd_;
  return S_OK;
}

HRESULT D_CMediaSampleObj::SetMediaTime(int64_t* start, int64_t* end) {
  if (start == nullptr) {
    flags_ &= ~AM_SAMPLE_MEDIATIMEVALID;
    return S_OK;
  }
  if (end == nullptr) return E_POINTER;
  mediaStart_ = *start;
  mediaEnd_ = static_cast<int32_t>(*end - *start);
  flags_ |= AM_SAMPLE_MEDIATIMEVALID;
  return S_OK;
}

HRESULT D_CMediaSampleObj::GetProperties(uint32_t size, uint8_t* properties) {
  if (size == 0) return S_OK;
  if (properties == nullptr) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  p.cbData = std::min<uint32_t>(size, sizeof(p));
  p.dwTypeSpecificFlags = typeSpecificFlags_;
  p.dwSampleFlags = flags_ & ~AM_SAMPLE_MEDIATIMEVALID;
  p.lActual = actualLength_;
  p.tStart = start_;
  p.tStop = stop_;
  p.dwStreamId = streamId_;
  p.pMediaType = (flags_ & AM_SAMPLE_TYPECHANGED) != 0 ? mediaType_ : nullptr;
  p.pbBuffer = buffer_;
  p.cbBuffer = size_;
  std::memcpy(properties, &p, p.cbData);
  return S_OK;
}

HRESULT D_CMediaSampleObj::SetProperties(uint32_t size, const uint8_t* properties) {
  if (size < sizeof(uint32_t)) return S_OK;
  if (properties == nullptr) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  std::memcpy(&p, properties, std::min<size_t>(size, sizeof(p)));
  // The record says how much of it is meant; a larger call size only reaches past it.
  const size_t n = std::min<uint32_t>(size, p.cbData);
  if (n > sizeof(p) || p.cbData > sizeof(p)) return E_INVALIDARG;

  const bool flagsGiven = COVERS(n, dwSampleFlags);
  const uint32_t requested = flagsGiven ? p.dwSampleFlags : 0;
  if (flagsGiven) {
    if ((requested & ~kKnownFlags) != 0 || (requested & AM_SAMPLE_MEDIATIMEVALID) != 0) return E_INVALIDARG;
    if ((requested & AM_SAMPLE_TIMEVALID) != 0 && (flags_ & AM_SAMPLE_TIMEVALID) == 0 && !COVERS(n, tStop)) {
      return E_INVALIDARG;
    }
  }
  if (COVERS(n, pbBuffer) && p.pbBuffer != nullptr && p.pbBuffer != buffer_) return E_INVALIDARG;
  if (COVERS(n, cbBuffer) && p.cbBuffer != 0 && p.cbBuffer != size_) return E_INVALIDARG;
  if (COVERS(n, cbBuffer) && COVERS(n, lActual) && p.cbBuffer < p.lActual) return E_INVALIDARG;
  // Whatever else is given, the data length never passes the buffer.
  if (COVERS(n, lActual) && (p.lActual < 0 || p.lActual > size_)) return E_INVALIDARG;
  AM_MEDIA_TYPE* newType = nullptr;
  const bool typeGiven = (requested & AM_SAMPLE_TYPECHANGED) != 0 && COVERS(n, pMediaType);
  if (typeGiven) {
    if (p.pMediaType == nullptr) return E_POINTER;
    newType = CloneMediaTypeRecord(p.pMediaType);
    if (newType == nullptr) return E_OUTOFMEMORY;
  }

  if (COVERS(n, dwStreamId)) streamId_ = p.dwStreamId;
  if (flagsGiven) {
    flags_ = requested | (flags_ & AM_SAMPLE_MEDIATIMEVALID);
    typeSpecificFlags_ = p.dwTypeSpecificFlags;
  } else if (COVERS(n, dwTypeSpecificFlags)) {
    typeSpecificFlags_ = p.dwTypeSpecificFlags;
  }
  if (COVERS(n, lActual)) actualLength_ = p.lActual;
  if (COVERS(n, tStop)) stop_ = p.tStop;
  if (COVERS(n, tStart)) start_ = p.tStart;
  if (typeGiven) {
    DeleteMediaTypeRecord(mediaType_);
    mediaType_ = newType;
  }
  flags_ = mediaType_ != nullptr ? (flags_ | AM_SAMPLE_TYPECHANGED) : (flags_ & ~AM_SAMPLE_TYPECHANGED);
  return S_OK;
}
