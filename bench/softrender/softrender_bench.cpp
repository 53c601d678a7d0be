// Speed of the software renderer's primitives. Each benchmark times its primitive and,
// in the same loop, the references: memcpy of the same destination pixels, and for the
// RGB565 blits SDL2's own blit of the same surfaces doing the same operation.
// Counters: Mpx/s (ours), vs_memcpy (memcpy time / our time; 1 = as fast as memcpy),
// vs_SDL (SDL time / our time; above 1 = faster than SDL).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include "bench/softrender/measure.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "image/blend_tables.h"
#include "image/memimg.h"
#include "softrender/draw_image.h"
#include "softrender/draw_image_stretched.h"
#include "softrender/draw_state.h"
#include "softrender/fill_rect.h"

namespace {

using bench::Clock;
using bench::Measure;
using bench::Seconds;

constexpr int kScreenW = 640, kScreenH = 480;
constexpr int kSprite = 256;  // source side of the blits

struct Images {
  MEMIMG screen[2];      // by depth class: RGB565, XRGB8888
  MEMIMG sprite[2];      // direct, same format
  MEMIMG alphaSprite[2]; // with alpha: RGB565 + alpha, ARGB8888
  MEMIMG blend;
  MEMIMG frame;                  // RGB565 + alpha, 640 x 480, the play field a hole
  MEMIMG keyedFrame;             // the same as RGB565 with the hole in the key colour
  int64_t frameCovered = 0;      // pixels of the frame that are drawn
  MEMIMG ring;                   // RGB565 + alpha, the bomb's 704 x 704 widening ring
  std::vector<uint8_t> scratch;  // memcpy reference target
};

Images& Shared() {
  static Images im = [] {
    Images m;
    InitBlendTables();
    std::mt19937 rng(7);
    for (int d = 0; d < 2; ++d) {
      CreateMemImage(&m.screen[d], kScreenW, kScreenH, d, 0, 0);
      CreateMemImage(&m.sprite[d], kSprite, kSprite, d, 0, 0);
      CreateMemImage(&m.alphaSprite[d], kSprite, kSprite, d, 0, 1);
      for (MEMIMG* img : {&m.screen[d], &m.sprite[d], &m.alphaSprite[d]}) {
        uint8_t* p = img->body->pixels;
        for (int i = 0; i < img->body->pitch * img->height; ++i) p[i] = static_cast<uint8_t>(rng());
      }
      // A sprite-like shape: a disc of opaque pixels with a soft rim in a transparent field.
      const int bpp = m.sprite[d].body->format->bytesPerPixel;
      m.sprite[d].body->transColor = 0;
      for (int y = 0; y < kSprite; ++y)
        for (int x = 0; x < kSprite; ++x) {
          const int dx = x - kSprite / 2, dy = y - kSprite / 2;
          const int r2 = dx * dx + dy * dy, edge = (kSprite / 2 - 8) * (kSprite / 2 - 8);
          uint8_t* p = m.sprite[d].pixels + y * m.sprite[d].body->pitch + x * bpp;
          if (r2 > edge) std::memset(p, 0, bpp);
          uint8_t* a = m.alphaSprite[d].pixels + y * m.alphaSprite[d].body->pitch + x * 4;
          a[d == 1 ? 3 : 2] = r2 > edge + 2000 ? 0 : r2 > edge ? 128 : 255;
        }
      NoteMemImageTransfer(&m.sprite[d], 0, 0, kSprite, kSprite);
      NoteMemImageTransfer(&m.alphaSprite[d], 0, 0, kSprite, kSprite);
    }
    CreateMemImage(&m.blend, kSprite, kSprite, 0, 1, 0);
    for (int i = 0; i < m.blend.body->pitch * kSprite; ++i) m.blend.body->pixels[i] = static_cast<uint8_t>(rng());
    // The frame around the play field as the game draws it: opaque, a translucent
    // line along the field's edge, the field itself transparent.
    CreateMemImage(&m.frame, kScreenW, kScreenH, 0, 0, 1);
    for (int y = 0; y < kScreenH; ++y)
      for (int x = 0; x < kScreenW; ++x) {
        uint8_t* p = m.frame.pixels + y * m.frame.body->pitch + x * 4;
        p[0] = static_cast<uint8_t>(rng()), p[1] = static_cast<uint8_t>(rng());
        const bool hole = x >= 32 && x < 417 && y >= 16 && y < 465;
        const bool edge = x >= 30 && x < 419 && y >= 14 && y < 467;
        p[2] = hole ? 0 : edge ? 160 : 255;
        m.frameCovered += hole ? 0 : 1;
      }
    NoteMemImageTransfer(&m.frame, 0, 0, kScreenW, kScreenH);
    // The generated frame art: opaque everywhere but the hole, which holds the key.
    CreateMemImage(&m.keyedFrame, kScreenW, kScreenH, 0, 0, 0);
    m.keyedFrame.body->transColor = 0;
    for (int y = 0; y < kScreenH; ++y)
      for (int x = 0; x < kScreenW; ++x) {
        const uint8_t* a = m.frame.pixels + y * m.frame.body->pitch + x * 4;
        uint16_t v = static_cast<uint16_t>(a[0] | a[1] << 8 | 0x0800);
        if (a[2] == 0) v = 0;
        std::memcpy(m.keyedFrame.pixels + y * m.keyedFrame.body->pitch + x * 2, &v, 2);
      }
    NoteMemImageTransfer(&m.keyedFrame, 0, 0, kScreenW, kScreenH);
    // The bomb's ring as the game's art has it: a soft glow out to 0.84 of the radius
    // under a ring at 0.84, fully transparent beyond it and in the corners.
    constexpr int kRing = 704;
    CreateMemImage(&m.ring, kRing, kRing, 0, 0, 1);
    for (int y = 0; y < kRing; ++y)
      for (int x = 0; x < kRing; ++x) {
        const double d = std::hypot(x + 0.5 - kRing / 2.0, y + 0.5 - kRing / 2.0) / (kRing / 2.0 * 31 / 32);
        const double glow = d < 1 ? 0.5 * (1 - d) * (1 - d) * (1 - d) : 0;
        const double ring = std::abs(d - 26.0 / 31) < 2.25 / 31 ? 0.7 : 0;
        uint8_t* p = m.ring.pixels + y * m.ring.body->pitch + x * 4;
        const uint16_t c = static_cast<uint16_t>(rng() | 0x8000);
        std::memcpy(p, &c, 2);
        p[2] = static_cast<uint8_t>(std::lround(255 * std::max(glow, ring)));
      }
    NoteMemImageTransfer(&m.ring, 0, 0, kRing, kRing);
    m.scratch.resize(kScreenW * kScreenH * 4);
    return m;
  }();
  return im;
}


// memcpy of `pixels` destination pixels as `rows` rows, the reference of every benchmark.
void CopyRows(const MEMIMG& from, int rows, int rowBytes) {
  Images& m = Shared();
  for (int y = 0; y < rows; ++y)
    std::memcpy(m.scratch.data() + (y % kScreenH) * rowBytes, from.pixels + (y % from.height) * from.body->pitch, rowBytes);
  benchmark::DoNotOptimize(m.scratch.data());
}


void SetDraw(int mode, int p) {
  DrawBlendMode = mode;
  DrawBlendParam = p;
  DrawBright = 0xFFFFFF;
  DrawArea = {0, 0, kScreenW, kScreenH};
}

// ---------------------------------------------------------------- every primitive x mode x format

constexpr int kModeList[] = {0, 1, 2, 3, 4, 10, 11};

void BM_FillRect(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  Images& m = Shared();
  SetDraw(mode, 100);
  const int bpp = depth == 1 ? 4 : 2;
  std::function<void()>* none = nullptr;
  Measure(state, int64_t{kScreenW} * kScreenH,
          [&] { SoftFillRect(&m.screen[depth], nullptr, 0x00336699u & (depth ? 0xFFFFFFFFu : 0xFFFFu)); },
          [&] { CopyRows(m.screen[depth], kScreenH, kScreenW * bpp); }, none);
}

// range: depth, mode, variant (0 direct, 1 keyed per-pixel, 2 alpha through run codes, 3 blend image)
void BM_DrawImage(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  const int variant = static_cast<int>(state.range(2));
  Images& m = Shared();
  SetDraw(mode, 100);
  const int bpp = depth == 1 ? 4 : 2;
  const MEMIMG* src = variant == 2 ? &m.alphaSprite[depth] : &m.sprite[depth];
  const int trans = variant == 1 ? 2 : variant == 2 ? 1 : 0;  // 2: the flag without run codes
  const MEMIMG* blend = variant == 3 ? &m.blend : nullptr;
  std::function<void()>* none = nullptr;
  Measure(state, int64_t{kSprite} * kSprite,
          [&] { SoftDrawImage(&m.screen[depth], src, 100, 100, trans, blend); },
          [&] { CopyRows(m.sprite[depth], kSprite, kSprite * bpp); }, none);
}

// range: depth, mode; 256 x 256 enlarged to 400 x 400.
void BM_DrawImageStretched(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  Images& m = Shared();
  SetDraw(mode, 100);
  const int bpp = depth == 1 ? 4 : 2;
  const Rect r = {50, 40, 450, 440};
  std::function<void()>* none = nullptr;
  Measure(state, int64_t{400} * 400,
          [&] { SoftDrawImageStretched(&m.screen[depth], &m.sprite[depth], &r, 0, nullptr); },
          [&] { CopyRows(m.screen[depth], 400, 400 * bpp); }, none);
}

// The frame image over the whole screen, against memcpy of the pixels it covers.
// range: 0 the frame with alpha, 1 the frame keyed (as the game's art is made).
void BM_FrameOverlay(benchmark::State& state) {
  Images& m = Shared();
  SetDraw(BlendCopy, 255);
  std::function<void()>* none = nullptr;
  const int rows = static_cast<int>(m.frameCovered / kScreenW);
  const MEMIMG* frame = state.range(0) ? &m.keyedFrame : &m.frame;
  Measure(state, m.frameCovered, [&] { SoftDrawImage(&m.screen[0], frame, 0, 0, 1, nullptr); },
          [&] { CopyRows(m.screen[0], rows, kScreenW * 2); }, none);
}
BENCHMARK(BM_FrameOverlay)->Arg(0)->Arg(1)->ArgName("keyed")->UseManualTime();

// The bomb's widening ring through its whole life: the ring image stretched to a square
// of side 80 to 1,040 about the player, clipped to the play field, added at a fading
// parameter, one draw every fourth frame of the burst.
void BM_BombRing(benchmark::State& state) {
  Images& m = Shared();
  const Rect field = {32, 16, 417, 465};
  const int px = 224, py = 400;
  int64_t covered = 0;
  for (int t = 120; t > 0; t -= 4) {
    const int radius = 40 + 4 * (120 - t);
    covered += int64_t{std::min(px + radius, 417) - std::max(px - radius, 32)} *
               (std::min(py + radius, 465) - std::max(py - radius, 16));
  }
  std::function<void()>* none = nullptr;
  Measure(state, covered,
          [&] {
            for (int t = 120; t > 0; t -= 4) {
              const int radius = 40 + 4 * (120 - t);
              SetDraw(BlendAddSat, 200 * t / 120);
              DrawArea = field;
              const Rect r = {px - radius, py - radius, px + radius, py + radius};
              SoftDrawImageStretched(&m.screen[0], &m.ring, &r, 1, nullptr);
            }
          },
          [&] { CopyRows(m.screen[0], static_cast<int>(covered / kScreenW), kScreenW * 2); }, none);
}
BENCHMARK(BM_BombRing)->UseManualTime();

// The caches as a frame finds its images after the rest of the frame and the wait for
// the next: a buffer larger than the last-level cache written over. The screen (and the
// reference's target) then cleared, as each frame begins. Not timed.
void EvictCaches() {
  static std::vector<uint8_t> junk(64 << 20);
  static uint8_t fill = 0;
  std::memset(junk.data(), ++fill, junk.size());
  Images& m = Shared();
  std::memset(m.screen[0].pixels, 0, static_cast<size_t>(m.screen[0].body->pitch) * kScreenH);
  std::memset(m.scratch.data(), 0, m.scratch.size());
  benchmark::ClobberMemory();
}

// A draw and its memcpy reference each started with cold caches; their times summed
// over the draws of one iteration.
template <class Draw, class Copy>
void MeasureCold(benchmark::State& state, int draws, int64_t pixels, Draw&& draw, Copy&& copy) {
  double tOurs = 0, tCopy = 0;
  for (auto _ : state) {
    double ours = 0;
    for (int k = 0; k < draws; ++k) {
      EvictCaches();
      const auto t0 = Clock::now();
      draw(k);
      ours += Seconds(Clock::now() - t0);
      EvictCaches();
      const auto t1 = Clock::now();
      copy(k);
      tCopy += Seconds(Clock::now() - t1);
    }
    tOurs += ours;
    state.SetIterationTime(ours);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["Mpx/s"] = static_cast<double>(pixels) * n / tOurs / 1e6;
  state.counters["vs_memcpy"] = tCopy / tOurs;
}

// The frame overlay and the bomb's ring from cold caches, as the game draws them.
void BM_FrameOverlayCold(benchmark::State& state) {
  Images& m = Shared();
  SetDraw(BlendCopy, 255);
  MeasureCold(
      state, 1, m.frameCovered, [&](int) { SoftDrawImage(&m.screen[0], &m.keyedFrame, 0, 0, 1, nullptr); },
      [&](int) { CopyRows(m.screen[0], static_cast<int>(m.frameCovered / kScreenW), kScreenW * 2); });
}
BENCHMARK(BM_FrameOverlayCold)->UseManualTime()->MinTime(0.2);

void BM_BombRingCold(benchmark::State& state) {
  Images& m = Shared();
  const Rect field = {32, 16, 417, 465};
  const int px = 224, py = 400;
  auto area = [&](int k) {
    const int radius = 40 + 16 * k;  // every fourth frame of the burst
    return Rect{std::max(px - radius, 32), std::max(py - radius, 16), std::min(px + radius, 417),
                std::min(py + radius, 465)};
  };
  int64_t covered = 0;
  for (int k = 0; k < 30; ++k) covered += int64_t{area(k).right - area(k).left} * (area(k).bottom - area(k).top);
  MeasureCold(
      state, 30, covered,
      [&](int k) {
        const int radius = 40 + 16 * k;
        SetDraw(BlendAddSat, 200 * (120 - 4 * k) / 120);
        DrawArea = field;
        const Rect r = {px - radius, py - radius, px + radius, py + radius};
        SoftDrawImageStretched(&m.screen[0], &m.ring, &r, 1, nullptr);
      },
      [&](int k) {
        const Rect a = area(k);
        CopyRows(m.screen[0], static_cast<int>(int64_t{a.right - a.left} * (a.bottom - a.top) / kScreenW),
                 kScreenW * 2);
      });
}
BENCHMARK(BM_BombRingCold)->UseManualTime()->MinTime(0.2);

void ModeArgs(benchmark::internal::Benchmark* b) {
  for (int depth : {0, 1})
    for (int mode : kModeList) b->Args({depth, mode});
}
void DrawImageArgs(benchmark::internal::Benchmark* b) {
  for (int depth : {0, 1})
    for (int mode : kModeList)
      for (int variant : {0, 1, 2, 3}) b->Args({depth, mode, variant});
}

BENCHMARK(BM_FillRect)->Apply(ModeArgs)->ArgNames({"rgb888", "mode"})->UseManualTime();
BENCHMARK(BM_DrawImage)->Apply(DrawImageArgs)->ArgNames({"rgb888", "mode", "variant"})->UseManualTime();
BENCHMARK(BM_DrawImageStretched)->Apply(ModeArgs)->ArgNames({"rgb888", "mode"})->UseManualTime();

// ---------------------------------------------------------------- RGB565 blits against SDL2

enum SdlOp { kOpaque, kColourKey, kConstAlpha, kPixelAlpha, kAdditive };
const char* const kSdlOpNames[] = {"opaque", "colour_key", "const_alpha", "pixel_alpha", "additive"};

SDL_Surface* Wrap(const MEMIMG& img, Uint32 format) {
  return SDL_CreateRGBSurfaceWithFormatFrom(img.pixels, img.width, img.height,
                                            SDL_BITSPERPIXEL(format), img.body->pitch, format);
}

// The same operation on both sides: ours as a draw state, SDL as surface settings.
void SetupOp(SdlOp op, SDL_Surface*& sdlSrc, const MEMIMG*& src, int& trans, std::vector<uint8_t>& argb) {
  Images& m = Shared();
  src = &m.sprite[0];
  trans = 0;
  switch (op) {
    case kOpaque:
      SetDraw(BlendCopy, 255);
      sdlSrc = Wrap(*src, SDL_PIXELFORMAT_RGB565);
      SDL_SetSurfaceBlendMode(sdlSrc, SDL_BLENDMODE_NONE);
      break;
    case kColourKey:
      SetDraw(BlendCopy, 255);
      trans = 1;
      sdlSrc = Wrap(*src, SDL_PIXELFORMAT_RGB565);
      SDL_SetSurfaceBlendMode(sdlSrc, SDL_BLENDMODE_NONE);
      SDL_SetColorKey(sdlSrc, SDL_TRUE, src->body->transColor);
      break;
    case kConstAlpha:
      SetDraw(BlendAlpha, 100);
      sdlSrc = Wrap(*src, SDL_PIXELFORMAT_RGB565);
      SDL_SetSurfaceBlendMode(sdlSrc, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceAlphaMod(sdlSrc, 100);
      break;
    case kPixelAlpha: {
      // SDL blends per-pixel alpha from a 32-bit source; ours reads RGB565 + alpha.
      // Both sources hold 4 bytes per pixel and the same colours and alphas.
      SetDraw(BlendCopy, 255);
      trans = 1;
      src = &m.alphaSprite[0];
      argb.resize(size_t{kSprite} * kSprite * 4);
      for (int y = 0; y < kSprite; ++y)
        for (int x = 0; x < kSprite; ++x) {
          const uint8_t* p = src->pixels + y * src->body->pitch + x * 4;
          const uint16_t c = static_cast<uint16_t>(p[0] | p[1] << 8);
          uint8_t* q = argb.data() + (y * kSprite + x) * 4;
          q[0] = static_cast<uint8_t>((c & 31) << 3);
          q[1] = static_cast<uint8_t>(((c >> 5) & 63) << 2);
          q[2] = static_cast<uint8_t>((c >> 11) << 3);
          q[3] = p[2];
        }
      sdlSrc = SDL_CreateRGBSurfaceWithFormatFrom(argb.data(), kSprite, kSprite, 32, kSprite * 4,
                                                  SDL_PIXELFORMAT_ARGB8888);
      SDL_SetSurfaceBlendMode(sdlSrc, SDL_BLENDMODE_BLEND);
      break;
    }
    case kAdditive:
      SetDraw(BlendAddSat, 255);
      sdlSrc = Wrap(*src, SDL_PIXELFORMAT_RGB565);
      SDL_SetSurfaceBlendMode(sdlSrc, SDL_BLENDMODE_ADD);
      break;
  }
}

// range: operation, scaled side (0: SDL_BlitSurface at the source's size; 400 or 512:
// SDL_BlitScaled to that square)
void BM_Rgb565AgainstSdl(benchmark::State& state) {
  const auto op = static_cast<SdlOp>(state.range(0));
  const bool scaled = state.range(1) != 0;
  state.SetLabel(std::string(kSdlOpNames[op]) + (scaled ? " scaled" : ""));
  const int side = scaled ? static_cast<int>(state.range(1)) : kSprite;
  Images& m = Shared();
  SDL_Surface* sdlSrc = nullptr;
  const MEMIMG* src = nullptr;
  int trans = 0;
  std::vector<uint8_t> argb;
  SetupOp(op, sdlSrc, src, trans, argb);
  SDL_Surface* sdlDst = Wrap(m.screen[0], SDL_PIXELFORMAT_RGB565);
  const Rect r = {100, 40, 100 + side, 40 + side};
  SDL_Rect to = {100, 40, side, side};
  std::function<void()> sdl = [&] {
    SDL_Rect t = to;
    if (scaled) {
      SDL_BlitScaled(sdlSrc, nullptr, sdlDst, &t);
    } else {
      SDL_BlitSurface(sdlSrc, nullptr, sdlDst, &t);
    }
  };
  Measure(state, int64_t{side} * side,
          [&] {
            if (scaled) {
              SoftDrawImageStretched(&m.screen[0], src, &r, trans, nullptr);
            } else {
              SoftDrawImage(&m.screen[0], src, r.left, r.top, trans, nullptr);
            }
          },
          [&] { CopyRows(m.screen[0], side, side * 2); }, &sdl);
  SDL_FreeSurface(sdlSrc);
  SDL_FreeSurface(sdlDst);
}

BENCHMARK(BM_Rgb565AgainstSdl)
    ->ArgsProduct({{kOpaque, kColourKey, kConstAlpha, kPixelAlpha, kAdditive}, {0, 400, 512}})
    ->ArgNames({"op", "scaled"})
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
