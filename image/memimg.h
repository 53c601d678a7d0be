#pragma once
// Memory images: the pixel store of the software renderer. A MEMIMG is a view (a
// rectangle of pixels) onto a MemImageBody that the views of one image share.
#include <cstdint>

// The pixel-format record of a memory image. The blits read only bytesPerPixel.
struct PixelFormat {
  uint16_t bytesPerPixel;  // 4 XRGB8888 or RGB565 + alpha, 2 RGB565, 1 paletted
  uint16_t bitsPerPixel;   // significant colour bits (8 for a paletted image)
  uint32_t redMask, greenMask, blueMask, alphaMask;  // 0 for a paletted image
};

extern const PixelFormat kPixelFormatXrgb8888;      // B, G, R, unused byte
extern const PixelFormat kPixelFormatArgb8888;      // B, G, R, alpha
extern const PixelFormat kPixelFormatRgb565;        // one little-endian word
extern const PixelFormat kPixelFormatRgb565Alpha;   // word, alpha byte, unused byte
extern const PixelFormat kPixelFormatPaletted8;     // one index byte

// Run codes of a TransRunTable: per source row, runs of 1 to 64 pixels, each a byte
// with the kind in bits 6-7 and the length minus 1 in bits 0-5, then a row end byte.
using TransRunTable = uint8_t;
enum : uint8_t {
  kRunSkip = 0x00,
  kRunOpaque = 0x40,
  kRunTranslucent = 0x80,
  kRunRowEnd = 0xC0,  // any byte of 0xC0 or above ends a row
  kRunMaxLength = 64,
};

enum : int { kDepthRgb565 = 0, kDepthXrgb8888 = 1 };

// Where the pixels that a run table does not skip lie in its view: each such pixel (x, y)
// has x, y, x + y and x - y within these bounds. xMin > xMax when every pixel skips.
struct DrawnBounds {
  int xMin, xMax, yMin, yMax, sumMin, sumMax, diffMin, diffMax;
};

struct MemImageBody {
  int pitch;                   // bytes from one row to the next
  const PixelFormat* format;
  uint32_t transColor;         // direct: whole pixel value; paletted: the index
  int depthClass;              // kDepthRgb565 or kDepthXrgb8888; other values draw nothing
  int paletted;                // 1: one index byte per pixel
  int paletteCount;            // entries in use, at most 256
  int alpha;                   // 1: the pixels carry alpha
  int runTableValid;           // 1 while transRunTable matches the pixels
  void* palette;               // 256 entries, zero past paletteCount (4 or 2 bytes each)
  TransRunTable* transRunTable;
  // Owner's bookkeeping, not read by the blits.
  int width, height;
  uint8_t* pixels;
  int runTableCapacity;
  // The view the run table was built for; the run-coded loops only trust it for that view.
  const uint8_t* runTableOrigin;
  int runTableWidth, runTableHeight;
  DrawnBounds drawn;  // made with the run table, valid while it is
  uint64_t runTableSerial;  // new with every build of the run table, never 0 after one
};

struct MEMIMG {
  int width, height;
  uint8_t* pixels;  // top-left pixel of this view
  MemImageBody* body;
};

// Bytes per pixel that a body's depth class, paletted flag and alpha flag imply;
// 0 for a combination that no blit draws.
int MemImageBytesPerPixel(int depthClass, int paletted, int alpha);

// Allocates a zero-filled image with its own body, a 256-entry palette when paletted
// and room for its run table. Returns 0, or -1 (image zeroed) for a bad size,
// an undrawable kind or no memory.
int CreateMemImage(MEMIMG* image, int width, int height, int depthClass, int paletted,
                   int alpha);
// Frees what CreateMemImage allocated and zeroes the record; a zeroed record is ignored.
void ReleaseMemImage(MEMIMG* image);
// A view of the rectangle (x, y, width, height) of `image`, clipped to it, sharing its body.
void MakeMemImageView(MEMIMG* view, const MEMIMG* image, int x, int y, int width, int height);

// Rebuilds the run table of a whole image and its drawn bounds from its pixels and sets
// runTableValid: alpha 0 or the transparent colour (index) skip, alpha 255 or no alpha
// opaque, other alpha translucent; a palette index past paletteCount skips.
void BuildTransRunTable(MEMIMG* image);
// Called after pixels of (x, y, width, height) of the image were written: a transfer
// covering the whole image rebuilds the run table, a partial one invalidates it.
void NoteMemImageTransfer(MEMIMG* image, int x, int y, int width, int height);
