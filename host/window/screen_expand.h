#pragma once
// RGB565 screens widened to 32-bit pixels for the display: blue in the low byte, then
// green and red, the top byte 0xFF; each field widened by repeating its top bits, so
// that white stays white and black black.
#include <cstdint>

// One row of `count` pixels, with the fastest kernel this processor runs.
void ExpandRgb565Row(const uint16_t* in, uint32_t* out, int count);

// The kernels, each giving the same pixels; the tests run every one the processor has.
// kAvx2Streaming writes around the cache: dearer while the pixels stay with us, far
// cheaper when another core's cache holds the lines it overwrites.
enum class ExpandKernel { kScalar, kSse2, kAvx2, kAvx2Streaming };
bool ExpandKernelRuns(ExpandKernel kernel);
void ExpandRgb565RowWith(ExpandKernel kernel, const uint16_t* in, uint32_t* out, int count);
// After rows widened with kAvx2Streaming, before anyone else reads them: one fence for
// all the rows, since each one waits for the stores to drain.
void ExpandStreamFence();

// A width x height screen scaled to outWidth x outHeight, each output pixel taking the
// screen pixel floor(x * width / outWidth), floor(y * height / outHeight).
void ExpandRgb565Scaled(const uint8_t* in, int inPitch, int width, int height, uint8_t* out,
                        int outPitch, int outWidth, int outHeight);
