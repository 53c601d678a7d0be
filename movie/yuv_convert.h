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

// The loops a conversion can run; every one gives the scalar form's bytes.
enum class YuvKernel {
  kScalar,  // two rows at a time through the tables
  kSse2,    // eight columns at a time
  kAvx2,    // sixteen columns at a time
  kAvx512,  // thirty-two columns at a time in 512-bit vectors of 32-bit lanes (sixteen for what
            // is left), with AVX-512 byte permutes and multiply-adds
};

// Converts with the fastest kernel the processor runs.
void ConvertYuv420(const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height);
// Converts with `kernel` (one the processor runs: see YuvKernelRuns).
void ConvertYuv420With(YuvKernel kernel, const YuvPlanes& planes, uint8_t* out, int pitch, int width, int height);
bool YuvKernelRuns(YuvKernel kernel);
