// Every vector kernel gives the scalar one's bytes on every chroma pair with every
// luma, on random planes with padded strides, and on sizes that leave odd columns and
// rows over.
#include <gtest/gtest.h>

#include <random>
#include <utility>
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

constexpr YuvKernel kVectorKernels[] = {YuvKernel::kSse2, YuvKernel::kAvx2, YuvKernel::kAvx512};

void ExpectSameBytes(const Planes& p) {
  const int pitch = p.width * 4 + 12;
  std::vector<uint8_t> scalar(static_cast<size_t>(pitch) * p.height, 0xCD);
  ConvertYuv420With(YuvKernel::kScalar, p.View(), scalar.data(), pitch, p.width, p.height);
  for (YuvKernel kernel : kVectorKernels) {
    if (!YuvKernelRuns(kernel)) continue;
    std::vector<uint8_t> simd(scalar.size(), 0xCD);
    ConvertYuv420With(kernel, p.View(), simd.data(), pitch, p.width, p.height);
    if (simd == scalar) continue;
    size_t at = 0;
    while (simd[at] == scalar[at]) ++at;
    FAIL() << "kernel " << static_cast<int>(kernel) << ", " << p.width << "x" << p.height << " row " << at / pitch
           << " byte " << at % pitch << ": " << int{simd[at]} << " where the tables give " << int{scalar[at]};
  }
}

TEST(YuvConvert, SimdEqualsScalarForEveryChromaPairAndOddSize) {
  InitYuvTables();
  // U by chroma column, V by chroma row: all 65,536 pairs, and each pair's 2 x 2
  // block repeated 64 times across so that its four lumas run through all 256 values.
  Planes p(512 * 64, 512, 0);
  for (int r = 0; r < 256; ++r) {
    for (int c = 0; c < 256 * 64; ++c) {
      p.u[static_cast<size_t>(r) * p.uvStride + c] = static_cast<uint8_t>(c / 64);
      p.v[static_cast<size_t>(r) * p.uvStride + c] = static_cast<uint8_t>(r);
    }
  }
  for (int row = 0; row < p.height; ++row)
    for (int col = 0; col < p.width; ++col)
      p.y[static_cast<size_t>(row) * p.yStride + col] = static_cast<uint8_t>((col % 128) * 2 + row % 2);
  ExpectSameBytes(p);
  std::mt19937 random(7);
  // Random planes with padded strides, sizes leaving odd columns and rows over: a few
  // chosen, the rest random.
  std::vector<std::pair<int, int>> sizes = {{1, 1}, {7, 3}, {8, 2}, {9, 5}, {15, 1}, {16, 1}, {17, 9}, {33, 7},
                                            {320, 240}, {641, 3}};
  for (int i = 0; i < 300; ++i) sizes.push_back({1 + static_cast<int>(random() % 90), 1 + static_cast<int>(random() % 9)});
  for (const auto& [width, height] : sizes) {
    Planes q(width, height, static_cast<int>(random() % 7));
    for (auto* plane : {&q.y, &q.u, &q.v})
      for (auto& b : *plane) b = static_cast<uint8_t>(random());
    ExpectSameBytes(q);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
