#pragma once
// The channel rules both reference models use alike: which modes draw, floor division,
// the bright bytes, and the saturating add and subtract with their low-bit effects.
#include <cstdint>

namespace model {

inline bool ModeDraws(int mode, int p) {
  if (mode < 0 || mode > 11 || (mode >= 5 && mode <= 9)) return false;
  if ((mode == 1 || mode == 2 || mode == 3) && p == 0) return false;
  return true;
}

struct Field {
  int shift, bits;
};
inline const Field* Fields(int depth) {
  static const Field kXrgb[3] = {{0, 8}, {8, 8}, {16, 8}};  // blue, green, red
  static const Field kRgb565[3] = {{0, 5}, {5, 6}, {11, 5}};
  return depth == 1 ? kXrgb : kRgb565;
}
inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}
inline int BrightByte(uint32_t bright, int f) { return (bright >> (8 * f)) & 255; }

// Saturating add and subtract of scaled amounts c[f] into d, read channel by channel.
inline uint32_t AddSat(int depth, uint32_t d, const int* c) {
  const Field* fl = Fields(depth);
  int v[3];
  bool carry = false;
  for (int f = 0; f < 3; ++f) {
    const int max = (1 << fl[f].bits) - 1;
    const int dv = (d >> fl[f].shift) & max;
    if (f == 0) {
      carry = dv + c[f] > max;
      v[f] = carry ? max : dv + c[f];
      continue;
    }
    const int half = (dv >> 1) + (c[f] >> 1);
    const int low = ((dv | c[f]) & 1) | (carry ? 1 : 0);
    carry = half > (max >> 1);
    if (carry)
      v[f] = (depth == 0 && f == 1) ? (max - 1) | low : max;  // RGB565 green keeps its low bit
    else
      v[f] = half * 2 + low;
  }
  uint32_t out = 0;
  for (int f = 0; f < 3; ++f) out |= uint32_t(v[f]) << fl[f].shift;
  if (depth == 1 && carry) out |= 1u << 24;
  return out;
}

inline uint32_t SubSat(int depth, uint32_t d, const int* c) {
  const Field* fl = Fields(depth);
  int v[3];
  bool borrow = false;
  for (int f = 0; f < 3; ++f) {
    const int max = (1 << fl[f].bits) - 1;
    const int dv = (d >> fl[f].shift) & max;
    int r = f == 0 ? dv - c[f] : (dv | 1) - (c[f] & ~1) - (borrow ? 1 : 0);
    borrow = r < 0;
    if (borrow) r = 0;
    if (depth == 0 && f == 1) r &= ~1;  // RGB565 green's low bit is always 0
    v[f] = r;
  }
  uint32_t out = 0;
  for (int f = 0; f < 3; ++f) out |= uint32_t(v[f]) << fl[f].shift;
  return out;
}

}  // namespace model
