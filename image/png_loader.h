#pragma once
// PNG through libpng. Every colour type and depth is accepted and decoded to 32-bit
// pixels (blue, green, red, alpha bytes); the record's format says whether the alpha
// byte means anything (an alpha channel or a tRNS chunk).
#include "image/image_record.h"
#include "platform/stream.h"

enum PngLoadResult {
  kPngLoaded = 0,
  kPngNotPng = -1,   // the stream does not start with the PNG signature
  kPngBroken = -2,   // a PNG that cannot be decoded (corrupt, truncated, too large)
};

// Reads from the stream's current position. On success `record` owns new pixels; on
// failure it is left zeroed and a broken PNG has been logged.
int LoadPngImage(const StreamFunctionTable* stream, StreamHandle handle, ImageRecord* record);

// Largest width or height accepted, so that a forged header cannot ask for gigabytes.
constexpr int kPngMaxDimension = 16384;
