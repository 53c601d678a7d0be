#include "image/image_record.h"

#include <cstring>

#include "platform/alloc.h"

namespace {
void SetDirectFormat(ImageFormatDesc* format, int bits, int alpha) {
  std::memset(format, 0, sizeof(*format));
  format->bitsPerPixel = bits;
  format->hasAlpha = alpha;
  format->redMask = 0x00FF0000;
  format->greenMask = 0x0000FF00;
  format->blueMask = 0x000000FF;
  format->alphaMask = alpha ? 0xFF000000u : 0;
}
}  // namespace

void SetPixelFormatRgb888(ImageFormatDesc* format) { SetDirectFormat(format, 24, 0); }
void SetPixelFormatXrgb8888(ImageFormatDesc* format) { SetDirectFormat(format, 32, 0); }
void SetPixelFormatArgb8888(ImageFormatDesc* format) { SetDirectFormat(format, 32, 1); }

int CreateImageRecord(int width, int height, ImageRecord* record) {
  std::memset(record, 0, sizeof(*record));
  if (width <= 0 || height <= 0 || width > (1 << 20) || height > (1 << 20)) return -1;
  SetPixelFormatXrgb8888(&record->format);
  const size_t pitch = (static_cast<size_t>(width) * 4 + 3) & ~static_cast<size_t>(3);
  void* pixels = TrackedAlloc(pitch * static_cast<size_t>(height), "image_record", __LINE__);
  if (pixels == nullptr) return -1;
  record->width = width;
  record->height = height;
  record->pitch = static_cast<int>(pitch);
  record->pixels = pixels;
  return 0;
}

void ReleaseImageRecord(ImageRecord* record) {
  if (record == nullptr) return;
  TrackedFree(record->pixels);
  std::memset(record, 0, sizeof(*record));
}
