#include "platform/util.h"

#include <climits>
#include <cmath>

int g_processorCount = 0;
int g_multiByteCodePage = 932;

namespace {
// Out of range and NaN give INT_MIN, as the processor's conversion does.
bool FitsInt(double value) { return value >= -2147483648.0 && value < 2147483648.0; }
}  // namespace

int DoubleToInt(double value) {
  double rounded = std::nearbyint(value);
  return FitsInt(rounded) ? static_cast<int>(rounded) : INT_MIN;
}

int FloatToInt(float value) {
  double truncated = std::trunc(static_cast<double>(value));
  return FitsInt(truncated) ? static_cast<int>(truncated) : INT_MIN;
}

void ComputeSinCos(float angle, float* sine, float* cosine) {
  double a = angle;
  *sine = static_cast<float>(std::sin(a));
  *cosine = static_cast<float>(std::cos(a));
}

int ClipRectByRect(Rect* rect, const Rect* area) {
  if (rect->right < rect->left) rect->right = rect->left;
  if (rect->bottom < rect->top) rect->bottom = rect->top;
  auto clamp = [](int& v, int low, int high) {
    if (v < low) v = low;
    if (v > high) v = high;
  };
  clamp(rect->top, area->top, area->bottom);
  clamp(rect->bottom, area->top, area->bottom);
  clamp(rect->left, area->left, area->right);
  clamp(rect->right, area->left, area->right);
  return 0;
}
