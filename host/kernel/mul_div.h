#pragma once
// a * b / c with a 64-bit product, rounded half away from zero; -1 when c is 0 or the
// result does not fit in 32 bits, as the platform's MulDiv does.
#include <cstdint>

inline int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t product = static_cast<int64_t>(a) * b;
  int64_t magnitude = (product < 0 ? -product : product);
  int64_t divisor = c < 0 ? -static_cast<int64_t>(c) : c;
  int64_t quotient = (magnitude + divisor / 2) / divisor;
  if ((product < 0) != (c < 0)) quotient = -quotient;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int32_t>(quotient);
}
