#include "softrender/rotated_blit.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/util.h"
#include "softrender/draw_state.h"
#include "softrender/image_walks.h"
#include "softrender/triangle.h"

using namespace soft;

namespace {

// Sources this size or larger would not fit 14.18 texel positions in 31 bits.
constexpr int kMaxSourceSize = 8192;

// Floor of a 14.18 value in whole pixels, or false when it leaves the int range. The
// turned corners are floored as the triangle floors its positions, so a turned sprite
// moved by whole pixels draws the same pixels moved; truncation would pull a corner left
// of column 0 or above row 0 one pixel inward and stretch the texels across the rest.
bool FixToPixel(int64_t fix, int* pixel) {
  const int64_t whole = fix >> kFixShift;
  if (whole < INT32_MIN || whole > INT32_MAX) return false;
  *pixel = static_cast<int>(whole);
  return true;
}

// ---------------------------------------------------------------- stamps
// A turned sprite drawn again at the same turn and scale meets the same texels at the
// same offsets from its centre, as long as its box is neither clipped nor reaches left
// of or above the target's origin (where the box's edges would round the other way).
// Such a sprite is walked once into a stamp: the texels met, in the source's format,
// alpha 0 where none is, with each row's first and last texel of alpha above 0. The
// stamp is then drawn row by row with the kernel the walk would use, whose every pixel
// depends only on its texel and the pixel beneath, so the pixels are the walk's.
// Stamps are kept by the source's run-table serial, which changes whenever its pixels
// are noted as changed; while the run table is invalid no stamp is used or made.

struct StampKey {
  uint64_t serial;
  const uint8_t* origin;  // the view's top-left pixel
  int width, height;
  float angle, scale;
  bool operator==(const StampKey&) const = default;
};

// The texel the walk meets, copied whole: a 4-byte source into a stamp of its format.
struct TexelCopy {
  static constexpr int kDstBytes = 4, kSrcBytes = 4;
  static constexpr bool kBlend = false, kTexel8 = false;
  static void Pixel(uint8_t* d, const uint8_t* s, const uint8_t*, const PixelContext&) { std::memcpy(d, s, 4); }
};

// Boxes larger than this, or 256 pixels wide or more, are walked every time.
constexpr int kMaxStampPixels = 64 * 64;
// A stamp's last row is followed by this many bytes, so that a block of eight texels
// may start at any of its texels.
constexpr int kStampTail = 32;

struct Stamp {
  StampKey key{};
  uint64_t lastUse = 0;
  bool made = false;  // false: seen once, not made
  int width = 0, height = 0;  // 0: nothing is drawn
  int dx = 0, dy = 0;         // the top-left texel's offset from the centre
  // The walk's box from the centre: the stamp holds where this lies inside the area.
  int boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0;
  uint8_t* texels = nullptr;  // width x height, 4 bytes each
  uint8_t* spans = nullptr;   // per row its first column and one past its last
};

// Stamps live in static storage, so that drawing never calls the heap: their texels are
// cut one after another from one arena, which is emptied whole (every stamp let go) when
// the next one does not fit. A cache is used by one thread at a time (see StampLoan).
class StampCache {
 public:
  // The stamp of `key`, set up when missing (the least recently used of its set gives
  // way); `seen` tells whether the key was met before.
  Stamp& Find(const StampKey& key, bool* seen) {
    Stamp* set = &stamps_[(Hash(key) & (kSets - 1)) * kWays];
    Stamp* victim = set;
    for (int w = 0; w < kWays; ++w) {
      if (set[w].key == key && set[w].key.serial != 0) {
        set[w].lastUse = ++clock_;
        *seen = true;
        return set[w];
      }
      if (set[w].lastUse < victim->lastUse) victim = &set[w];
    }
    *victim = Stamp{};
    victim->key = key;
    victim->lastUse = ++clock_;
    *seen = false;
    return *victim;
  }

  // Room for the texels and spans of a w x h stamp, set in `stamp`.
  void Place(Stamp& stamp, int w, int h) {
    const size_t need = (static_cast<size_t>(w) * h * 4 + kStampTail + 2 * static_cast<size_t>(h) + 15) & ~size_t{15};
    if (used_ + need > kArenaBytes) {
      const Stamp keep = stamp;
      for (Stamp& other : stamps_) other = Stamp{};
      stamp = keep;
      used_ = 0;
    }
    stamp.texels = arena_ + used_;
    stamp.spans = stamp.texels + static_cast<size_t>(w) * h * 4 + kStampTail;
    used_ += need;
  }

  // Where a stamp's box is walked before its texels are kept.
  uint8_t* Scratch() { return scratch_; }

 private:
  static constexpr int kSets = 2048, kWays = 4;
  // Much more than a play ever keeps (a few hundred stamps of 2 to 4 kB).
  static constexpr size_t kArenaBytes = size_t{8} << 20;

  static size_t Hash(const StampKey& k) {
    uint32_t angleBits, scaleBits;
    std::memcpy(&angleBits, &k.angle, 4);
    std::memcpy(&scaleBits, &k.scale, 4);
    uint64_t h = k.serial * 0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(k.origin);
    h = (h ^ angleBits) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ scaleBits ^ static_cast<uint64_t>(static_cast<uint32_t>(k.width)) << 32) * 0x27D4EB2F165667C5ull;
    return static_cast<size_t>(h ^ (h >> 32));
  }

  Stamp stamps_[kSets * kWays];
  alignas(16) uint8_t arena_[kArenaBytes] = {};
  alignas(16) uint8_t scratch_[kMaxStampPixels * 4] = {};
  size_t used_ = 0;
  uint64_t clock_ = 0;
};

// Each thread that draws turned sprites borrows a cache of its own on its first such
// draw and gives it back when it ends, so two threads never share stamps or scratch and
// the cache is reached without a lock. The caches are zero-initialised static storage:
// their pages cost memory only once stamps touch them. A thread that finds every cache
// lent walks its sprites every time, as a first sight does.
constexpr int kStampCaches = 4;
constinit StampCache g_stampCaches[kStampCaches];
constinit std::atomic<bool> g_stampCacheLent[kStampCaches] = {};

class StampLoan {
 public:
  // This thread's cache, or null when none was free at its first asking.
  StampCache* Get() {
    if (!asked_) {
      asked_ = true;
      for (int i = 0; i < kStampCaches && !cache_; ++i)
        if (!g_stampCacheLent[i].exchange(true, std::memory_order_acquire)) cache_ = i + 1;
    }
    return cache_ ? &g_stampCaches[cache_ - 1] : nullptr;
  }
  ~StampLoan() {
    if (cache_) g_stampCacheLent[cache_ - 1].store(false, std::memory_order_release);
  }

 private:
  int cache_ = 0;  // index + 1 of the borrowed cache, 0 for none
  bool asked_ = false;
};

thread_local StampLoan t_stampLoan;

// Walks `walk` (whose box starts at left, top) into `stamp` for the centre (cx, cy).
void MakeStamp(StampCache& cache, const RotatedWalk& walk, const TexelSource& texels, int alphaByte, int left,
               int top, int cx, int cy, Stamp& stamp) {
  uint8_t* const scratch = cache.Scratch();
  const int cols = walk.cols, rows = walk.rows;
  std::memset(scratch, 0, static_cast<size_t>(cols) * rows * 4);
  RotatedWalk into = walk;
  into.dst = scratch;
  into.pitch = cols * 4;
  into.roomRight = cols;
  into.Run<TexelCopy>(PixelContext{}, texels);
  // Only the box of the texels of alpha above 0 is kept.
  int x0 = cols, x1 = -1, y0 = rows, y1 = -1;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      if (scratch[(static_cast<size_t>(y) * cols + x) * 4 + alphaByte] != 0)
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = y;
  stamp.made = true;
  if (x1 < 0) return;  // nothing is drawn
  const int w = x1 - x0 + 1, h = y1 - y0 + 1;
  cache.Place(stamp, w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = stamp.texels + static_cast<size_t>(y) * w * 4;
    std::memcpy(row, scratch + (static_cast<size_t>(y0 + y) * cols + x0) * 4, static_cast<size_t>(w) * 4);
    int first = w, end = 0;
    for (int x = 0; x < w; ++x)
      if (row[x * 4 + alphaByte] != 0) first = std::min(first, x), end = x + 1;
    stamp.spans[2 * y] = static_cast<uint8_t>(std::min(first, end));
    stamp.spans[2 * y + 1] = static_cast<uint8_t>(end);
  }
  stamp.width = w, stamp.height = h;
  stamp.dx = left + x0 - cx;
  stamp.dy = top + y0 - cy;
}

// Whether `stamp` holds for the centre (cx, cy) in `area`, which lies inside the target:
// the walk's box unclipped there starts right of and below the target's origin, so its
// edges round as they did where the stamp was made.
bool StampFits(const Stamp& stamp, int cx, int cy, const Rect& area) {
  return int64_t{cx} + stamp.boxLeft >= area.left && int64_t{cy} + stamp.boxTop >= area.top &&
         int64_t{cx} + stamp.boxRight <= area.right && int64_t{cy} + stamp.boxBottom <= area.bottom;
}

// Draws `stamp` with its top-left texel at `at` of a destination row `room` pixels wide
// from there: each row's span, eight texels a step where the kernel has that form.
template <class K>
void DrawStamp(const Stamp& stamp, uint8_t* at, intptr_t pitch, int room, const PixelContext& c) {
  constexpr int bpp = K::kDstBytes;
  for (int y = 0; y < stamp.height; ++y) {
    const int lo = stamp.spans[2 * y], hi = stamp.spans[2 * y + 1];
    uint8_t* d = at + y * pitch + lo * bpp;
    const uint8_t* s = stamp.texels + (static_cast<size_t>(y) * stamp.width + lo) * 4;
    int x = lo;
#if defined(__SSE2__)
    if constexpr (K::kTexel8) {
      for (; x + 8 <= hi; x += 8, d += 8 * bpp, s += 32) K::Pixels8(d, s, c);
      if (x < hi && x + 8 <= room) {
        const __m128i column = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
        K::Pixels8(d, s, c, _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(hi - x)), column));
        continue;
      }
    }
#endif
    for (; x < hi; ++x, d += bpp, s += 4) K::Pixel(d, s, nullptr, c);
  }
}

}  // namespace

int LentStampCaches() {
  int lent = 0;
  for (const std::atomic<bool>& flag : g_stampCacheLent) lent += flag.load(std::memory_order_relaxed);
  return lent;
}

void SoftDrawImageRotated(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle,
                          float scale, int transFlag, int turnFlag, const MEMIMG* blendImage) {
  if (!DrawableTarget(dst) || !DrawableSource(src, dst) || !BlendImageCovers(blendImage, src))
    return;
  if (!std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f) return;
  if (src->width <= 0 || src->height <= 0 || src->width >= kMaxSourceSize ||
      src->height >= kMaxSourceSize)
    return;

  // Where the source's run table is valid for this view it tells which texels skip.
  const MemImageBody* body = src->body;
  const bool boundsKnown = transFlag != 0 && body->runTableValid == 1 && body->transRunTable &&
                           body->runTableOrigin == src->pixels && body->runTableWidth == src->width &&
                           body->runTableHeight == src->height;
  PixelContext context;
  PreparePixelContext(&context, body, transFlag != 0);
  const ImageCall call = {body, DrawBlendMode, BlendParam(), blendImage != nullptr, TintOn(DrawBright),
                          transFlag != 0};
  const Rect area = ClipAreaTo(dst, DrawArea);
  // Draws `stamp` with its kernel, which for a source with alpha drawn with the flag is
  // always one that skips alpha 0; false if it were not.
  auto drawStamp = [&](const Stamp& stamp) {
    bool drawn = false;
    DispatchImage<Flavor::Scaled>(call, [&]<class K>(K) {
      if constexpr (K::kTest == Test::AlphaSkip && K::kSrcBytes == 4 && !K::kBlend) {
        const intptr_t pitch = dst->body->pitch;
        const int x = cx + stamp.dx, y = cy + stamp.dy;
        DrawStamp<K>(stamp, dst->pixels + y * pitch + x * K::kDstBytes, pitch, dst->width - x, context);
        drawn = true;
      }
    });
    return drawn;
  };
  // A sprite met unclipped at a turn and scale seen before is drawn from its stamp.
  StampCache* stamps = nullptr;
  Stamp* entry = nullptr;
  bool seen = false;
  if (!turnFlag && boundsKnown && body->alpha == 1 && body->format->bytesPerPixel == 4 && !blendImage &&
      (stamps = t_stampLoan.Get()) != nullptr) {
    entry = &stamps->Find({body->runTableSerial, src->pixels, src->width, src->height, angle, scale}, &seen);
    if (entry->made && StampFits(*entry, cx, cy, area) && drawStamp(*entry)) return;
  }

  // Geometry in single precision, each step rounded to float as the callers expect.
  float sine, cosine;
  ComputeSinCos(angle, &sine, &cosine);
  // Both products lie within +-262144, so the plain conversion truncates as FloatToInt does.
  const int c = static_cast<int>(cosine * 262144.0f);
  const int s = static_cast<int>(sine * 262144.0f);
  const float hw = static_cast<float>(src->width) * scale * 0.5f;
  const float hh = static_cast<float>(src->height) * scale * 0.5f;
  const float a = static_cast<float>(c) * hw, b = static_cast<float>(s) * hw;
  const float cc = static_cast<float>(c) * hh, d = static_cast<float>(s) * hh;
  const int64_t ox = int64_t{cx} * kFixOne, oy = int64_t{cy} * kFixOne;
  // Corners: source top-left, bottom-left, bottom-right, top-right.
  const int64_t x[4] = {TruncToInt64(-a + d) + ox, TruncToInt64(-a - d) + ox,
                        TruncToInt64(a - d) + ox, TruncToInt64(a + d) + ox};
  const int64_t y[4] = {TruncToInt64(-cc - b) + oy, TruncToInt64(cc - b) + oy,
                        TruncToInt64(cc + b) + oy, TruncToInt64(-cc + b) + oy};

  if (turnFlag) {
    // Mirrored: the quad puts texel column 0 on its first corner, the top-right one.
    static constexpr int kOrder[4] = {3, 0, 2, 1};
    int corners[8];
    for (int i = 0; i < 4; ++i)
      if (!FixToPixel(x[kOrder[i]], &corners[2 * i]) || !FixToPixel(y[kOrder[i]], &corners[2 * i + 1]))
        return;
    SoftDrawImageQuad(dst, src, corners, transFlag, blendImage);
    return;
  }

  // The box of the four corners, widened by 2 pixels up-left and 4 down-right.
  const int64_t minX = *std::min_element(x, x + 4), maxX = *std::max_element(x, x + 4);
  const int64_t minY = *std::min_element(y, y + 4), maxY = *std::max_element(y, y + 4);
  const int64_t left = std::max<int64_t>(minX / kFixOne - 2, area.left);
  const int64_t top = std::max<int64_t>(minY / kFixOne - 2, area.top);
  const int64_t right = std::min<int64_t>(maxX / kFixOne + 4, area.right);
  const int64_t bottom = std::min<int64_t>(maxY / kFixOne + 4, area.bottom);
  if (left >= right || top >= bottom) return;

  // Texel position of a destination point by the inverse turn; the centre maps to
  // texel (width / 2, height / 2).
  const int64_t halfU = int64_t{src->width >> 1} * kFixOne;
  const int64_t halfV = int64_t{src->height >> 1} * kFixOne;
  // Sprites are mostly drawn at scale 1, where the quotient is the numerator exactly:
  // six divisions saved per call.
  const bool unscaled = scale == 1.0f;
  auto byScale = [&](float num) { return unscaled ? num : num / scale; };
  auto texelU = [&](int64_t px, int64_t py) {
    return TruncToInt64(byScale(static_cast<float>((px - cx) * c + (py - cy) * s))) + halfU;
  };
  auto texelV = [&](int64_t px, int64_t py) {
    return TruncToInt64(byScale(static_cast<float>((py - cy) * c - (px - cx) * s))) + halfV;
  };

  RotatedWalk walk;
  walk.pitch = dst->body->pitch;
  walk.dst = dst->pixels + top * walk.pitch + left * dst->body->format->bytesPerPixel;
  walk.cols = static_cast<int>(right - left);
  walk.rows = static_cast<int>(bottom - top);
  walk.roomRight = static_cast<int>(dst->width - left);
  walk.u0 = texelU(left, top);
  walk.v0 = texelV(left, top);
  walk.du = MakeColumnStep(TruncToInt64(byScale(static_cast<float>(c))));
  walk.dv = MakeColumnStep(TruncToInt64(byScale(static_cast<float>(-s))));
  // Positions saturate at 2^62, so a difference of two below that fits 64 bits.
  auto rowStep = [&](int64_t end, int64_t start) {
    constexpr int64_t kSat = int64_t{1} << 62;
    if (end > -kSat && end < kSat && start > -kSat && start < kSat) return (end - start) / walk.rows;
    return static_cast<int64_t>((Int128{end} - start) / walk.rows);
  };
  walk.rowU = rowStep(texelU(left, bottom), walk.u0);
  walk.rowV = rowStep(texelV(left, bottom), walk.v0);

  const TexelSource texels = {src->pixels, src->body->pitch, blendImage ? blendImage->pixels : nullptr,
                              blendImage ? blendImage->body->pitch : 0,
                              int64_t{src->width} * kFixOne, int64_t{src->height} * kFixOne};

  // Where the run table knows which texels skip, the walk keeps to the box and the
  // diagonals around the others: bullets and sprites are mostly transparent corners.
  const DrawnBounds& drawn = body->drawn;
  if (boundsKnown && drawn.xMin > drawn.xMax) return;  // every texel skips
  RotatedWalk cutWalk = walk;
  TexelSource cutTexels = texels;
  if (boundsKnown) {
    // The texels of the drawn box as a source of their own: positions move by whole
    // texels, so every position keeps its texel.
    cutTexels.src += drawn.yMin * cutTexels.pitch + drawn.xMin * body->format->bytesPerPixel;
    if (cutTexels.blend) cutTexels.blend += drawn.yMin * cutTexels.blendPitch + drawn.xMin;
    cutTexels.uLimit = int64_t{drawn.xMax - drawn.xMin + 1} * kFixOne;
    cutTexels.vLimit = int64_t{drawn.yMax - drawn.yMin + 1} * kFixOne;
    cutWalk.u0 -= int64_t{drawn.xMin} * kFixOne;
    cutWalk.v0 -= int64_t{drawn.yMin} * kFixOne;
    // A texel (x, y) is met by positions with u + v in [(x + y) * one, (x + y + 2) * one)
    // and u - v in ((x - y - 1) * one, (x - y + 1) * one).
    const int64_t sum = drawn.xMin + drawn.yMin, diff = drawn.xMin - drawn.yMin;
    cutWalk.cut = true;
    cutWalk.sumLo = (drawn.sumMin - sum) * kFixOne;
    cutWalk.sumHi = (drawn.sumMax - sum + 2) * kFixOne;
    cutWalk.diffLo = (drawn.diffMin - diff - 1) * kFixOne + 1;
    cutWalk.diffHi = (drawn.diffMax - diff + 1) * kFixOne;
  }
  // A stamp is made the second time an unclipped sprite is met at a turn and scale.
  // Unclipped, the box is the walk's, and as it surrounds the centre its offsets are small.
  const bool unclipped = minX / kFixOne - 2 >= area.left && minY / kFixOne - 2 >= area.top &&
                         maxX / kFixOne + 4 <= area.right && maxY / kFixOne + 4 <= area.bottom;
  if (entry && seen && !entry->made && unclipped && walk.cols * walk.rows <= kMaxStampPixels && walk.cols < 256) {
    Stamp& stamp = *entry;
    stamp.boxLeft = static_cast<int>(left - cx);
    stamp.boxTop = static_cast<int>(top - cy);
    stamp.boxRight = static_cast<int>(right - cx);
    stamp.boxBottom = static_cast<int>(bottom - cy);
    MakeStamp(*stamps, cutWalk, cutTexels, body->depthClass == kDepthXrgb8888 ? 3 : 2, static_cast<int>(left),
              static_cast<int>(top), cx, cy, stamp);
    if (drawStamp(stamp)) return;
  }
  DispatchImage<Flavor::Scaled>(call, [&]<class K>(K) {
    // Only kernels that skip the texels the run table skips may leave them out.
    if constexpr (K::kTest == Test::AlphaSkip || K::kTest == Test::Key) {
      if (boundsKnown) {
        cutWalk.Run<K>(context, cutTexels);
        return;
      }
    }
    walk.Run<K>(context, texels);
  });
}
