// The SIMD conversion gives the scalar one's bytes on every chroma pair, on random
// planes with padded strides, and on sizes that leave odd columns and rows over.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "movie/theora_movie.h"
#include "movie/yuv_convert.h"

namespace {

struct Planes {
  int width, height, yStride, uvStride;
  std::vector<uint8_t> y, u, v;
  Planes(int w, int h, int pad) : width(w), height(h), yStride(w + pad), uvStride((w + 1) / 2 + pad) {
    y.resize(static_cast<size_t>(yStride) * h);
    u.resize(static_cast<size_t>(uvStride) * ((h + 1) / 2));
    v.resize(u.size());
  }
  YuvPlanes View() const { return {y.data(), u.data(), v.data(), yStride, uvStride}; }
};

void ExpectSameBytes(const Planes& p) {
  const int pitch = p.width * 4 + 12;
  std::vector<uint8_t> simd(static_cast<size_t>(pitch) * p.height, 0xCD), scalar = simd;
  ConvertYuv420(p.View(), simd.data(), pitch, p.width, p.height);
  ConvertYuv420Scalar(p.View(), scalar.data(), pitch, p.width, p.height);
  for (int row = 0; row < p.height; ++row) {
    for (int i = 0; i < pitch; ++i) {
      const size_t at = static_cast<size_t>(row) * pitch + i;
      ASSERT_EQ(simd[at], scalar[at]) << p.width << "x" << p.height << " row " << row << " byte " << i;
    }
  }
}

TEST(YuvConvert, SimdEqualsScalarForEveryChromaPairAndOddSize) {
  InitYuvTables();
  // U by chroma column, V by chroma row: all 65,536 pairs, each over random lumas
  // including the extremes that clamp.
  Planes p(512, 512, 0);
  std::mt19937 random(7);
  for (auto& b : p.y) b = static_cast<uint8_t>(random());
  p.y[0] = 0;
  p.y[1] = 255;
  for (int r = 0; r < 256; ++r) {
    for (int c = 0; c < 256; ++c) {
      p.u[static_cast<size_t>(r) * p.uvStride + c] = static_cast<uint8_t>(c);
      p.v[static_cast<size_t>(r) * p.uvStride + c] = static_cast<uint8_t>(r);
    }
  }
  ExpectSameBytes(p);
  // Random planes with padded strides, sizes leaving odd columns and rows over.
  const int sizes[][2] = {{1, 1}, {7, 3}, {8, 2}, {9, 5}, {15, 1}, {17, 9}, {33, 7}, {320, 240}, {641, 3}};
  for (const auto& s : sizes) {
    for (int pad : {0, 5}) {
      Planes q(s[0], s[1], pad);
      for (auto* plane : {&q.y, &q.u, &q.v})
        for (auto& b : *plane) b = static_cast<uint8_t>(random());
      ExpectSameBytes(q);
    }
  }
}

}  // namespace
