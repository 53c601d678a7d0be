#include "image/memimg.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "host/kernel/large_pages.h"

const PixelFormat kPixelFormatXrgb8888 = {4, 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
const PixelFormat kPixelFormatArgb8888 = {4, 32, 0x00FF0000, 0x0000FF00, 0x000000FF,
                                          0xFF000000};
const PixelFormat kPixelFormatRgb565 = {2, 16, 0xF800, 0x07E0, 0x001F, 0};
const PixelFormat kPixelFormatRgb565Alpha = {4, 24, 0xF800, 0x07E0, 0x001F, 0x00FF0000};
const PixelFormat kPixelFormatPaletted8 = {1, 8, 0, 0, 0, 0};

int MemImageBytesPerPixel(int depthClass, int paletted, int alpha) {
  if (depthClass != kDepthRgb565 && depthClass != kDepthXrgb8888) return 0;
  if (paletted == 1) return 1;
  if (depthClass == kDepthXrgb8888) return 4;
  return alpha == 1 ? 4 : 2;
}

static const PixelFormat* FormatFor(int depthClass, int paletted, int alpha) {
  if (paletted == 1) return &kPixelFormatPaletted8;
  if (depthClass == kDepthXrgb8888) return alpha == 1 ? &kPixelFormatArgb8888 : &kPixelFormatXrgb8888;
  return alpha == 1 ? &kPixelFormatRgb565Alpha : &kPixelFormatRgb565;
}

int CreateMemImage(MEMIMG* image, int width, int height, int depthClass, int paletted,
                   int alpha) {
  *image = MEMIMG{};
  const int bpp = MemImageBytesPerPixel(depthClass, paletted, alpha);
  // Sizes stay small enough that pitch * height and the run table fit an int.
  if (bpp == 0 || width <= 0 || height <= 0 || width > 32767 || height > 32767) return -1;
  auto* body = static_cast<MemImageBody*>(std::calloc(1, sizeof(MemImageBody)));
  if (!body) return -1;
  body->pitch = (width * bpp + 3) & ~3;
  body->format = FormatFor(depthClass, paletted, alpha);
  body->depthClass = depthClass;
  body->paletted = paletted == 1 ? 1 : 0;
  body->paletteCount = body->paletted ? 256 : 0;
  body->alpha = body->paletted ? 0 : (alpha == 1 ? 1 : 0);
  body->width = width;
  body->height = height;
  body->runTableCapacity = (width + 1) * height;
  body->pixels = static_cast<uint8_t*>(AllocPixelStore(static_cast<size_t>(body->pitch) * height));
  body->transRunTable = static_cast<uint8_t*>(std::malloc(body->runTableCapacity));
  // Every palette has 256 entries so that no index byte can read past it.
  if (body->paletted) body->palette = std::calloc(256, 4);
  if (!body->pixels || !body->transRunTable || (body->paletted && !body->palette)) {
    FreePixelStore(body->pixels);
    std::free(body->transRunTable);
    std::free(body->palette);
    std::free(body);
    return -1;
  }
  image->width = width;
  image->height = height;
  image->pixels = body->pixels;
  image->body = body;
  return 0;
}

void ReleaseMemImage(MEMIMG* image) {
  if (!image->body) return;
  FreePixelStore(image->body->pixels);
  std::free(image->body->transRunTable);
  std::free(image->body->palette);
  std::free(image->body);
  *image = MEMIMG{};
}

void MakeMemImageView(MEMIMG* view, const MEMIMG* image, int x, int y, int width, int height) {
  const int left = std::clamp(x, 0, image->width);
  const int top = std::clamp(y, 0, image->height);
  const int right = std::clamp(x + std::max(width, 0), left, image->width);
  const int bottom = std::clamp(y + std::max(height, 0), top, image->height);
  const MemImageBody* body = image->body;
  view->width = right - left;
  view->height = bottom - top;
  view->pixels = image->pixels + top * body->pitch + left * body->format->bytesPerPixel;
  view->body = image->body;
}

namespace {

// Kind of one pixel for the run table.
uint8_t PixelRunKind(const MemImageBody* body, const uint8_t* p) {
  if (body->paletted) {
    const bool skip = *p == body->transColor || *p >= body->paletteCount;
    return skip ? kRunSkip : kRunOpaque;
  }
  if (body->alpha == 1) {
    const uint8_t a = body->depthClass == kDepthXrgb8888 ? p[3] : p[2];
    return a == 0 ? kRunSkip : a == 255 ? kRunOpaque : kRunTranslucent;
  }
  uint32_t v;
  if (body->depthClass == kDepthXrgb8888) {
    std::memcpy(&v, p, 4);
  } else {
    uint16_t w;
    std::memcpy(&w, p, 2);
    v = w;
  }
  return v == body->transColor ? kRunSkip : kRunOpaque;
}

}  // namespace

void BuildTransRunTable(MEMIMG* image) {
  MemImageBody* body = image->body;
  const int bpp = body->format->bytesPerPixel;
  if (!body->transRunTable || (image->width + 1) * image->height > body->runTableCapacity) {
    body->runTableValid = 0;
    return;
  }
  uint8_t* out = body->transRunTable;
  DrawnBounds drawn = {INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN};
  for (int y = 0; y < image->height; ++y) {
    const uint8_t* p = image->pixels + y * body->pitch;
    int x = 0, first = -1, last = -1;
    while (x < image->width) {
      const uint8_t kind = PixelRunKind(body, p + x * bpp);
      int n = 1;
      while (n < kRunMaxLength && x + n < image->width && PixelRunKind(body, p + (x + n) * bpp) == kind) ++n;
      *out++ = static_cast<uint8_t>(kind | (n - 1));
      if (kind != kRunSkip) {
        if (first < 0) first = x;
        last = x + n - 1;
      }
      x += n;
    }
    *out++ = kRunRowEnd;
    if (first < 0) continue;
    // The least and greatest of x, x + y and x - y on a row lie at its ends.
    drawn.xMin = std::min(drawn.xMin, first), drawn.xMax = std::max(drawn.xMax, last);
    drawn.yMin = std::min(drawn.yMin, y), drawn.yMax = y;
    drawn.sumMin = std::min(drawn.sumMin, first + y), drawn.sumMax = std::max(drawn.sumMax, last + y);
    drawn.diffMin = std::min(drawn.diffMin, first - y), drawn.diffMax = std::max(drawn.diffMax, last - y);
  }
  body->drawn = drawn;
  // What is drawn from this image may be kept by its serial: no two builds share one.
  static std::atomic<uint64_t> serials{0};
  body->runTableSerial = ++serials;
  body->runTableOrigin = image->pixels;
  body->runTableWidth = image->width;
  body->runTableHeight = image->height;
  body->runTableValid = 1;
}

void NoteMemImageTransfer(MEMIMG* image, int x, int y, int width, int height) {
  if (x <= 0 && y <= 0 && x + width >= image->width && y + height >= image->height) {
    BuildTransRunTable(image);
  } else {
    image->body->runTableValid = 0;
  }
}
