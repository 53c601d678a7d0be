#pragma once
// 4:2:0 planes to 32-bit B, G, R, 255 pixels, integers only: one chroma pair serves
// each 2 x 2 block, and every channel is clamp((Y term + chroma terms) / 16384) from
// the tables InitYuvTables fills.
#include <cstdint>

struct YuvPlanes {
  const uint8_t* y;
  const uint8_t* u;
  const uint8_t* v;
  int yStride, uvStride;
};

// Eight pixels at a time with SSE2 where the processor has it, the rest as the scalar
// form: the same bytes either way.
void ConvertYuv420(const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height);
// Two rows at a time through the tables.
void ConvertYuv420Scalar(const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height);
