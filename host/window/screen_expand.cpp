#include "host/window/screen_expand.h"

#include <cstddef>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
inline uint32_t Expand(uint32_t v) {
  const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
  return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}
}  // namespace

void ExpandRgb565Row(const uint16_t* in, uint32_t* out, int count) {
  int i = 0;
#if defined(__SSE2__)
  // Each field widened by one high multiply of the field in place: red (r << 11) * 264
  // >> 16 is r * 33 / 4, that is r << 3 | r >> 2; green (g << 5) * 8320 >> 16 is
  // g * 65 / 16, g << 2 | g >> 4; blue is moved up to red's place first.
  const __m128i redMask = _mm_set1_epi16(static_cast<short>(0xF800)), greenMask = _mm_set1_epi16(0x07E0);
  const __m128i five = _mm_set1_epi16(264), six = _mm_set1_epi16(8320);
  const __m128i alpha = _mm_set1_epi16(static_cast<short>(0xFF00));
  for (; i + 8 <= count; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i r8 = _mm_mulhi_epu16(_mm_and_si128(v, redMask), five);
    const __m128i g8 = _mm_mulhi_epu16(_mm_and_si128(v, greenMask), six);
    const __m128i b8 = _mm_mulhi_epu16(_mm_slli_epi16(v, 11), five);
    const __m128i gb = _mm_or_si128(b8, _mm_slli_epi16(g8, 8));
    const __m128i ar = _mm_or_si128(r8, alpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(gb, ar));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(gb, ar));
  }
#endif
  for (; i < count; ++i) out[i] = Expand(in[i]);
}

void ExpandRgb565Scaled(const uint8_t* in, int inPitch, int width, int height, uint8_t* out,
                        int outPitch, int outWidth, int outHeight) {
  // Kept between calls: the presenter runs once a frame on one thread.
  static std::vector<uint32_t> row;
  static std::vector<int> column;
  row.resize(static_cast<size_t>(width));
  column.resize(static_cast<size_t>(outWidth));
  for (int x = 0; x < outWidth; ++x) column[x] = static_cast<int>(int64_t{x} * width / outWidth);
  int shownRow = -1;
  const uint8_t* previous = nullptr;
  for (int y = 0; y < outHeight; ++y, out += outPitch) {
    const int sy = static_cast<int>(int64_t{y} * height / outHeight);
    if (sy == shownRow) {
      // An enlarged row repeats the one above it.
      std::memcpy(out, previous, static_cast<size_t>(outWidth) * 4);
      continue;
    }
    const auto* source = reinterpret_cast<const uint16_t*>(in + static_cast<ptrdiff_t>(sy) * inPitch);
    auto* target = reinterpret_cast<uint32_t*>(out);
    if (outWidth == width) {
      ExpandRgb565Row(source, target, width);
    } else {
      ExpandRgb565Row(source, row.data(), width);
      for (int x = 0; x < outWidth; ++x) target[x] = row[column[x]];
    }
    shownRow = sy;
    previous = out;
  }
}
