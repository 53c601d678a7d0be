#pragma once
// Small numeric and geometric helpers shared by the whole library.
#include <cstdint>

struct Rect {
  int left, top, right, bottom;  // right and bottom exclusive
};

// Converts in the processor's current rounding mode (to nearest unless changed).
int DoubleToInt(double value);
// Converts by truncation toward zero.
int FloatToInt(float value);
void ComputeSinCos(float angle, float* sine, float* cosine);
// Clips `rect` in place to `area`; the result never has a negative width or height.
int ClipRectByRect(Rect* rect, const Rect* area);

// Processors counted by the library start (0 before it); only compared with 1.
extern int g_processorCount;
extern int g_multiByteCodePage;  // 932 (Shift-JIS) unless set otherwise
