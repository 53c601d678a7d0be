#include "filters/mem_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "host/kernel/thread.h"
#include "host/kernel/time.h"

D_CMemStream::D_CMemStream(const uint8_t* data, int64_t length, uint32_t rate)
    : data_(data), length_(length), rate_(rate), startTime_(HostTimeMs()) {}

HRESULT D_CMemStream::SetPointer(int64_t position) {
  if (position < 0 || position > length_) return S_FALSE;
  CriticalSectionGuard guard(lock_);
  position_ = position;
  return S_OK;
}

HRESULT D_CMemStream::Read(uint8_t* buffer, uint32_t count, bool, uint32_t* bytesRead) {
  CriticalSectionGuard guard(lock_);
  const uint32_t now = HostTimeMs();
  int64_t n = count;
  if (position_ + n > length_) n = length_ - position_;
  if (n < 0) n = 0;
  if (rate_ != kUnpacedStreamRate) {
    const uint32_t arrival = static_cast<uint32_t>(position_ + n) / rate_;
    const uint32_t elapsed = now - startTime_;
    if (elapsed < arrival) HostSleep(arrival - elapsed);  // holding the lock, as a slow device would
  }
  if (n > 0) std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  *bytesRead = static_cast<uint32_t>(n);
  return S_OK;
}

int64_t D_CMemStream::Size(int64_t* available) {
  if (available != nullptr) {
    if (rate_ == kUnpacedStreamRate) {
      *available = length_;
    } else {
      const uint64_t arrived = static_cast<uint64_t>(HostTimeMs() - startTime_) * rate_;
      *available = static_cast<int64_t>(std::min<uint64_t>(arrived, static_cast<uint64_t>(length_)));
    }
  }
  return length_;
}

D_CMemStream* CreateMemStream(const uint8_t* data, uint32_t lengthLow, uint32_t lengthHigh, uint32_t rate) {
  if (rate == 0) return nullptr;
  const int64_t length = static_cast<int64_t>((static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
  return new (std::nothrow) D_CMemStream(data, length, rate);
}

void DeleteMemStream(D_CStreamBase* stream) { delete stream; }
