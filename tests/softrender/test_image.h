#pragma once
// Memory images for the renderer tests: pixels live inside a buffer with guard bytes
// before, after and at the end of every row, so that any write outside the image shows
// when two buffers are compared whole.
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "image/memimg.h"
#include "tests/softrender/test_support.h"

struct TestImage {
  static constexpr int kGuard = 48;
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> palette = std::vector<uint8_t>(256 * 4);
  MemImageBody body{};
  MEMIMG image{};

  TestImage() = default;
  TestImage(const TestImage& o) { *this = o; }
  TestImage& operator=(const TestImage& o) {
    buffer = o.buffer;
    palette = o.palette;
    body = o.body;
    image = o.image;
    runTable = o.runTable;
    Repoint();
    return *this;
  }

  // A width x height image of the given kind with `padding` extra bytes per row; every
  // byte (guards and padding included) random.
  void Init(int width, int height, int depth, int paletted, int alpha, int padding,
            std::mt19937& rng) {
    const PixelFormat* f = FormatOf(depth, paletted, alpha);
    body = MemImageBody{};
    body.format = f;
    body.pitch = width * f->bytesPerPixel + padding;
    body.depthClass = depth;
    body.paletted = paletted;
    body.paletteCount = paletted ? 256 : 0;
    body.alpha = alpha;
    body.width = width;
    body.height = height;
    buffer.resize(2 * kGuard + static_cast<size_t>(body.pitch) * height);
    for (auto& b : buffer) b = static_cast<uint8_t>(rng());
    for (auto& b : palette) b = static_cast<uint8_t>(rng());
    image.width = width;
    image.height = height;
    Repoint();
  }

  uint8_t* Pixel(int x, int y) { return image.pixels + y * body.pitch + x * body.format->bytesPerPixel; }

  void Repoint() {
    body.pixels = buffer.data() + kGuard;
    body.palette = palette.data();
    image.pixels = body.pixels;
    image.body = &body;
    if (body.runTableOrigin) body.runTableOrigin = image.pixels;
    body.transRunTable = runTable.empty() ? nullptr : runTable.data();
  }

  // Builds the run table with the image's own builder, into storage owned here.
  void BuildRuns() {
    runTable.assign(static_cast<size_t>(image.width + 1) * image.height, 0);
    body.transRunTable = runTable.data();
    body.runTableCapacity = static_cast<int>(runTable.size());
    BuildTransRunTable(&image);
  }

  std::vector<uint8_t> runTable;
};
