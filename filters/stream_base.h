#pragma once
// A positioned byte source that the memory reader's requests read from.
#include <cstdint>

#include "host/com/hresult.h"

class D_CStreamBase {
 public:
  virtual ~D_CStreamBase() = default;
  // S_FALSE (no change) for a position outside [0, length].
  virtual HRESULT SetPointer(int64_t position) = 0;
  virtual HRESULT Read(uint8_t* buffer, uint32_t count, bool aligned, uint32_t* bytesRead) = 0;
  // The length; `available`, when given, receives the bytes readable now.
  virtual int64_t Size(int64_t* available = nullptr) = 0;
  virtual uint32_t Alignment() = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};
