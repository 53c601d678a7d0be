#pragma once
// A stream over a memory block that the caller owns and frees after the stream. Its
// bytes seem to arrive at `rate` bytes per millisecond from creation: a read of bytes
// not yet "arrived" sleeps until they have. A rate of 0xFFFFFFFF never waits.
#include <cstdint>

#include "filters/stream_base.h"
#include "host/kernel/sync.h"

inline constexpr uint32_t kUnpacedStreamRate = 0xFFFFFFFF;

class D_CMemStream : public D_CStreamBase {
 public:
  D_CMemStream(const uint8_t* data, int64_t length, uint32_t rate);

  HRESULT SetPointer(int64_t position) override;
  HRESULT Read(uint8_t* buffer, uint32_t count, bool aligned, uint32_t* bytesRead) override;
  int64_t Size(int64_t* available = nullptr) override;
  uint32_t Alignment() override { return 1; }
  void Lock() override { lock_.Enter(); }
  void Unlock() override { lock_.Leave(); }

 private:
  CriticalSection lock_;
  const uint8_t* data_;
  int64_t length_;
  int64_t position_ = 0;
  uint32_t rate_;
  uint32_t startTime_;
};

// Null when `rate` is 0 (nothing would ever arrive) or memory runs out.
D_CMemStream* CreateMemStream(const uint8_t* data, uint32_t lengthLow, uint32_t lengthHigh, uint32_t rate);
void DeleteMemStream(D_CStreamBase* stream);
