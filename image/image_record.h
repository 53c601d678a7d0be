#pragma once
// One decoded image: the common currency of the image loaders, graph creation and the
// movie layer's frame images. The pixels are owned by the record (TrackedAlloc) unless
// a caller fills the fields with memory of its own.
#include <cstdint>

struct ImageFormatDesc {
  int bitsPerPixel;   // 8 (paletted), 24 or 32
  int isPaletted;     // 1: one palette index byte per pixel
  int hasAlpha;       // 1: byte 3 of a 32-bit pixel (or of a palette entry) is alpha
  uint32_t redMask, greenMask, blueMask, alphaMask;
  int paletteCount;   // entries of `palette` in use
  // Palette entries as stored in memory: blue, green, red, alpha (or unused) bytes.
  uint32_t palette[256];
};

struct ImageRecord {
  ImageFormatDesc format;
  int width;
  int height;
  int pitch;      // bytes from one row to the next
  void* pixels;   // top-left pixel
};

// Sets the record to 32-bit XRGB 8:8:8 and allocates width x height pixels, pitch
// rounded up to a multiple of 4 bytes. 0, or -1 when memory runs out or the size is
// not positive.
int CreateImageRecord(int width, int height, ImageRecord* record);
// Frees the pixel memory and zeroes the record.
void ReleaseImageRecord(ImageRecord* record);

// Format descriptors: 24-bit RGB (3 bytes: blue, green, red), 32-bit XRGB and 32-bit
// ARGB (4 bytes: blue, green, red, alpha).
void SetPixelFormatRgb888(ImageFormatDesc* format);
void SetPixelFormatXrgb8888(ImageFormatDesc* format);
void SetPixelFormatArgb8888(ImageFormatDesc* format);
