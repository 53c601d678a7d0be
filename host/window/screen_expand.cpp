#include "host/window/screen_expand.h"

#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#define EXPAND_X86 1
#include <immintrin.h>
#else
#define EXPAND_X86 0
#endif

namespace {
inline uint32_t Expand(uint32_t v) {
  const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
  return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

// Returns where it stopped; the caller widens the rest.
int ExpandScalar(const uint16_t* in, uint32_t* out, int count, int i) {
  for (; i < count; ++i) out[i] = Expand(in[i]);
  return i;
}

#if EXPAND_X86
// Each field widened by one high multiply of the field in place: red (r << 11) * 264
// >> 16 is r * 33 / 4, that is r << 3 | r >> 2; green (g << 5) * 8320 >> 16 is
// g * 65 / 16, g << 2 | g >> 4; blue is moved up to red's place first. The results
// are 16-bit lanes gb = green:blue and ar = 0xFF:red, interleaved into pixels.
int ExpandSse2(const uint16_t* in, uint32_t* out, int count, int i) {
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
  return i;
}

// The same sixteen pixels at a time. The unpacks work within each 128-bit half, so the
// input's quarters are put in the order 0, 2, 1, 3 first: the low unpack then yields
// pixels 0-7 and the high one pixels 8-15. Streaming stores need 32-byte alignment: the
// pixels before it are left to the caller's scalar code.
template <bool kStream>
__attribute__((target("avx2"))) int ExpandAvx2(const uint16_t* in, uint32_t* out, int count, int i) {
  const __m256i redMask = _mm256_set1_epi16(static_cast<short>(0xF800)), greenMask = _mm256_set1_epi16(0x07E0);
  const __m256i five = _mm256_set1_epi16(264), six = _mm256_set1_epi16(8320);
  const __m256i alpha = _mm256_set1_epi16(static_cast<short>(0xFF00));
  if (kStream) {
    const int misaligned = static_cast<int>((reinterpret_cast<uintptr_t>(out + i) & 31) / 4);
    if (misaligned != 0) i = ExpandScalar(in, out, i + 8 - misaligned < count ? i + 8 - misaligned : count, i);
  }
  for (; i + 16 <= count; i += 16) {
    const __m256i v = _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i)), 0xD8);
    const __m256i r8 = _mm256_mulhi_epu16(_mm256_and_si256(v, redMask), five);
    const __m256i g8 = _mm256_mulhi_epu16(_mm256_and_si256(v, greenMask), six);
    const __m256i b8 = _mm256_mulhi_epu16(_mm256_slli_epi16(v, 11), five);
    const __m256i gb = _mm256_or_si256(b8, _mm256_slli_epi16(g8, 8));
    const __m256i ar = _mm256_or_si256(r8, alpha);
    if (kStream) {
      _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), _mm256_unpacklo_epi16(gb, ar));
      _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i + 8), _mm256_unpackhi_epi16(gb, ar));
    } else {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_unpacklo_epi16(gb, ar));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 8), _mm256_unpackhi_epi16(gb, ar));
    }
  }
  return i;
}
#endif

ExpandKernel FastestKernel() {
#if EXPAND_X86
  return __builtin_cpu_supports("avx2") ? ExpandKernel::kAvx2 : ExpandKernel::kSse2;
#else
  return ExpandKernel::kScalar;
#endif
}
}  // namespace

bool ExpandKernelRuns(ExpandKernel kernel) {
  switch (kernel) {
    case ExpandKernel::kScalar:
      return true;
#if EXPAND_X86
    case ExpandKernel::kSse2:
      return true;
    case ExpandKernel::kAvx2:
    case ExpandKernel::kAvx2Streaming:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

void ExpandRgb565RowWith(ExpandKernel kernel, const uint16_t* in, uint32_t* out, int count) {
  int i = 0;
#if EXPAND_X86
  if (kernel == ExpandKernel::kAvx2) i = ExpandAvx2<false>(in, out, count, i);
  if (kernel == ExpandKernel::kAvx2Streaming) i = ExpandAvx2<true>(in, out, count, i);
  if (kernel != ExpandKernel::kScalar) i = ExpandSse2(in, out, count, i);
#endif
  ExpandScalar(in, out, count, i);
}

void ExpandStreamFence() {
#if EXPAND_X86
  _mm_sfence();
#endif
}

void ExpandRgb565Row(const uint16_t* in, uint32_t* out, int count) {
  static const ExpandKernel fastest = FastestKernel();
  ExpandRgb565RowWith(fastest, in, out, count);
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
