// Speed of the rotated blit, triangles, image quads and lines, and of one synthetic game
// frame. Each benchmark times its primitive and, in the same loop, its references:
// memcpy of the same number of destination pixels, and for the rotated RGB565 sprites
// SDL2's software renderer (SDL_RenderCopyEx) drawing the same sprites at the same angles.
// Counters: Mpx/s (ours); vs_memcpy (memcpy time / our time, 1 = as fast as memcpy);
// vs_SDL (SDL time / our time, above 1 = faster than SDL); budget (frame time / 16.7 ms).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include "bench/softrender/measure.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "image/blend_tables.h"
#include "image/memimg.h"
#include "softrender/draw_image.h"
#include "softrender/draw_state.h"
#include "softrender/fill_rect.h"
#include "softrender/lines.h"
#include "softrender/rotated_blit.h"
#include "softrender/triangle.h"

namespace {

using bench::Clock;
using bench::Measure;
using bench::Seconds;
constexpr int kScreenW = 640, kScreenH = 480;
constexpr float kPi = 3.14159265f;


void Randomise(MEMIMG& img, std::mt19937& rng) {
  for (int i = 0; i < img.body->pitch * img.height; ++i) img.body->pixels[i] = static_cast<uint8_t>(rng());
}

// A round sprite: opaque inside, a translucent rim, transparent corners.
void Disc(MEMIMG& img, int depth) {
  const int w = img.width, h = img.height, bpp = img.body->format->bytesPerPixel;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
      const double r = std::sqrt(dx * dx + dy * dy);
      uint8_t* p = img.pixels + y * img.body->pitch + x * bpp;
      if (img.body->alpha == 1) p[depth == 1 ? 3 : 2] = r > 1.0 ? 0 : r > 0.75 ? 128 : 255;
      else if (r > 1.0) std::memset(p, 0, bpp);
    }
  img.body->transColor = 0;
  NoteMemImageTransfer(&img, 0, 0, w, h);
}

struct Images {
  MEMIMG screen[2];   // by depth class: RGB565, XRGB8888
  MEMIMG sprite[2];   // 32 x 32 direct
  MEMIMG bullet[2];   // 16 x 16 with alpha
  MEMIMG enemy[2];    // 32 x 32 with alpha
  MEMIMG laser[2];    // 8 x 200 with alpha
  MEMIMG texture[2];  // 64 x 64 direct, for triangles
  MEMIMG background;  // 385 x 449 RGB565
  MEMIMG frame;       // 640 x 480 RGB565, colour-keyed hole over the play field
  std::vector<uint8_t> scratch;
};

Images& Shared() {
  static Images im = [] {
    Images m;
    InitBlendTables();
    std::mt19937 rng(17);
    for (int d = 0; d < 2; ++d) {
      CreateMemImage(&m.screen[d], kScreenW, kScreenH, d, 0, 0);
      CreateMemImage(&m.sprite[d], 32, 32, d, 0, 0);
      CreateMemImage(&m.bullet[d], 16, 16, d, 0, 1);
      CreateMemImage(&m.enemy[d], 32, 32, d, 0, 1);
      CreateMemImage(&m.laser[d], 8, 200, d, 0, 1);
      CreateMemImage(&m.texture[d], 64, 64, d, 0, 0);
      for (MEMIMG* img : {&m.screen[d], &m.sprite[d], &m.bullet[d], &m.enemy[d], &m.laser[d], &m.texture[d]})
        Randomise(*img, rng);
      for (MEMIMG* img : {&m.sprite[d], &m.bullet[d], &m.enemy[d], &m.laser[d]}) Disc(*img, d);
    }
    CreateMemImage(&m.background, 385, 449, 0, 0, 0);
    Randomise(m.background, rng);
    CreateMemImage(&m.frame, kScreenW, kScreenH, 0, 0, 0);
    Randomise(m.frame, rng);
    m.frame.body->transColor = 0;
    for (int y = 16; y < 465; ++y) std::memset(m.frame.pixels + y * m.frame.body->pitch + 32 * 2, 0, 385 * 2);
    NoteMemImageTransfer(&m.frame, 0, 0, kScreenW, kScreenH);
    m.scratch.resize(size_t{kScreenW} * kScreenH * 4);
    return m;
  }();
  return im;
}

// memcpy of `pixels` pixels of `bpp` bytes, row by row from the screen.
void CopyPixels(int64_t pixels, int bpp) {
  Images& m = Shared();
  const int rowBytes = kScreenW * bpp;
  int64_t left = pixels * bpp;
  for (int y = 0; left > 0; y = (y + 1) % kScreenH, left -= rowBytes)
    std::memcpy(m.scratch.data() + (y % 64) * rowBytes, m.screen[bpp == 4].pixels + y * m.screen[bpp == 4].body->pitch,
                static_cast<size_t>(std::min<int64_t>(left, rowBytes)));
  benchmark::DoNotOptimize(m.scratch.data());
}

using NoOther = void (*)();
constexpr NoOther* kNone = nullptr;

void SetDraw(int mode, int p, Rect area = {0, 0, kScreenW, kScreenH}) {
  DrawBlendMode = mode;
  DrawBlendParam = p;
  DrawBright = 0xFFFFFF;
  DrawArea = area;
}

constexpr int kModeList[] = {0, 1, 2, 3, 4, 10, 11};
void ModeArgs(benchmark::internal::Benchmark* b) {
  for (int depth : {0, 1})
    for (int mode : kModeList) b->Args({depth, mode});
}

// ---------------------------------------------------------------- each primitive x mode x format

// 64 turned 32 x 32 sprites (direct source, colour key off), p = 128.
void BM_RotatedBlit(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  Images& m = Shared();
  SetDraw(mode, 128);
  Measure(state, 64 * 32 * 32,
          [&] {
            for (int i = 0; i < 64; ++i)
              SoftDrawImageRotated(&m.screen[depth], &m.sprite[depth], 40 + (i % 8) * 70, 40 + (i / 8) * 55,
                                   0.1f * i, 1.0f, 0, 0, nullptr);
          },
          [&] { CopyPixels(64 * 32 * 32, depth ? 4 : 2); }, kNone);
}

// 32 triangles, each half of a 64 x 64 square: textured at scale 1, or flat.
void BM_Triangle(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  const bool textured = state.range(2) == 1;
  Images& m = Shared();
  SetDraw(mode, 128);
  const int tex = textured ? 64 : 0;
  Measure(state, 32 * 64 * 65 / 2,
          [&] {
            for (int i = 0; i < 32; ++i) {
              const int x = 20 + (i % 8) * 75, y = 20 + (i / 8) * 110;
              const SoftTriVertex v[3] = {{x, y, 0, 0}, {x + 64, y, tex, 0}, {x, y + 64, 0, tex}};
              SoftDrawTriangle(&m.screen[depth], textured ? &m.texture[depth] : nullptr, v, 0, nullptr,
                               0x00336699u & (depth ? ~0u : 0xFFFFu));
            }
          },
          [&] { CopyPixels(32 * 64 * 65 / 2, depth ? 4 : 2); }, kNone);
}

// 80 lasers: 8 x 200 images on turned quads, alpha source with the transparency flag.
void BM_LaserQuad(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  Images& m = Shared();
  SetDraw(mode, 128);
  std::vector<std::array<int, 8>> quads;
  for (int i = 0; i < 80; ++i) {
    const float a = 0.08f * i, c = std::cos(a), s = std::sin(a);
    const int cx = 100 + (i % 10) * 48, cy = 120 + (i / 10) * 30;
    auto corner = [&](float x, float y, int* out) {
      out[0] = cx + static_cast<int>(x * c - y * s);
      out[1] = cy + static_cast<int>(x * s + y * c);
    };
    std::array<int, 8> q;
    corner(-4, -100, &q[0]), corner(4, -100, &q[2]), corner(-4, 100, &q[4]), corner(4, 100, &q[6]);
    quads.push_back(q);
  }
  Measure(state, 80 * 8 * 200,
          [&] {
            for (auto& q : quads) SoftDrawImageQuad(&m.screen[depth], &m.laser[depth], q.data(), 1, nullptr);
          },
          [&] { CopyPixels(80 * 8 * 200, depth ? 4 : 2); }, kNone);
}

// 200 lines of 200 pixels in every direction.
void BM_Lines(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
  Images& m = Shared();
  SetDraw(mode, 128);
  std::vector<SoftLineRecord> lines;
  for (int i = 0; i < 200; ++i) {
    const float a = 2 * kPi * i / 200;
    lines.push_back({320, 240, 320 + static_cast<int>(200 * std::cos(a)), 240 + static_cast<int>(200 * std::sin(a)),
                     0x336699, 128});
  }
  Measure(state, 200 * 200,
          [&] { SoftDrawLines(&m.screen[depth], lines.data(), static_cast<int>(lines.size())); },
          [&] { CopyPixels(200 * 200, depth ? 4 : 2); }, kNone);
}

BENCHMARK(BM_RotatedBlit)->Apply(ModeArgs)->ArgNames({"rgb888", "mode"})->UseManualTime();
BENCHMARK(BM_Triangle)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4, 10, 11}, {1, 0}})
    ->ArgNames({"rgb888", "mode", "textured"})
    ->UseManualTime();
BENCHMARK(BM_LaserQuad)->Apply(ModeArgs)->ArgNames({"rgb888", "mode"})->UseManualTime();
BENCHMARK(BM_Lines)->Apply(ModeArgs)->ArgNames({"rgb888", "mode"})->UseManualTime();

// ---------------------------------------------------------------- rotated RGB565 sprites against SDL2

// The same sprite (ARGB8888 copy of our RGB565 + alpha sprite) as an SDL texture.
SDL_Texture* SdlSprite(SDL_Renderer* r, const MEMIMG& sprite) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, sprite.width, sprite.height, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < sprite.height; ++y)
    for (int x = 0; x < sprite.width; ++x) {
      const uint8_t* p = sprite.pixels + y * sprite.body->pitch + x * 4;
      const uint32_t c = p[0] | p[1] << 8;
      const uint32_t argb = uint32_t{p[2]} << 24 | ((c >> 11) * 255 / 31) << 16 |
                            (((c >> 5) & 63) * 255 / 63) << 8 | (c & 31) * 255 / 31;
      std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, &argb, 4);
    }
  SDL_Texture* t = SDL_CreateTextureFromSurface(r, s);
  SDL_FreeSurface(s);
  return t;
}

// range: sprite side (16 or 32), operation (0 alpha, 1 additive). 800 sprites at 800 angles.
void BM_RotatedSpritesVsSdl(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool additive = state.range(1) == 1;
  Images& m = Shared();
  const MEMIMG& sprite = side == 16 ? m.bullet[0] : m.enemy[0];
  SetDraw(additive ? BlendAddSat : BlendAlpha, 255);
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormatFrom(m.screen[0].pixels, kScreenW, kScreenH, 16,
                                                           m.screen[0].body->pitch, SDL_PIXELFORMAT_RGB565);
  SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
  SDL_Texture* texture = SdlSprite(renderer, sprite);
  SDL_SetTextureBlendMode(texture, additive ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
  auto pos = [](int i) { return std::pair{40 + (i % 40) * 15, 30 + (i / 40) * 22}; };
  auto sdl = [&] {
    for (int i = 0; i < 800; ++i) {
      const auto [x, y] = pos(i);
      const SDL_Rect r = {x - side / 2, y - side / 2, side, side};
      SDL_RenderCopyEx(renderer, texture, nullptr, &r, i * 0.45, nullptr, SDL_FLIP_NONE);
    }
    SDL_RenderFlush(renderer);
  };
  Measure(state, int64_t{800} * side * side,
          [&] {
            for (int i = 0; i < 800; ++i) {
              const auto [x, y] = pos(i);
              SoftDrawImageRotated(&m.screen[0], &sprite, x, y, i * 0.45f * kPi / 180, 1.0f, 1, 0, nullptr);
            }
          },
          [&] { CopyPixels(int64_t{800} * side * side, 2); }, &sdl);
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}
BENCHMARK(BM_RotatedSpritesVsSdl)
    ->ArgsProduct({{16, 32}, {0, 1}})
    ->ArgNames({"side", "additive"})
    ->UseManualTime();

// ---------------------------------------------------------------- one synthetic game frame

struct Placed {
  int x, y;
  float angle;
};

// range: bullet count, turned (1: at random angles; 0: unturned, as the game draws its
// round bullets). 16 x 16 alpha bullets, every other one additive, at random places in
// the play field: the bullets' share of a frame.
void BM_BulletsOnly(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool turned = state.range(1) != 0;
  Images& m = Shared();
  std::mt19937 rng(5);
  std::vector<Placed> bullets;
  for (int i = 0; i < count; ++i)
    bullets.push_back({32 + static_cast<int>(rng() % 385), 16 + static_cast<int>(rng() % 449),
                       turned ? static_cast<float>(rng() % 628) / 100 : 0.0f});
  const Rect field = {32, 16, 417, 465};
  Measure(state, int64_t{count} * 16 * 16,
          [&] {
            for (int i = 0; i < count; ++i) {
              SetDraw(i % 2 ? BlendAddSat : BlendAlpha, 255, field);
              const Placed& b = bullets[i];
              SoftDrawImageRotated(&m.screen[0], &m.bullet[0], b.x, b.y, b.angle, 1.0f, 1, 0, nullptr);
            }
          },
          [&] { CopyPixels(int64_t{count} * 16 * 16, 2); }, kNone);
}
BENCHMARK(BM_BulletsOnly)
    ->ArgsProduct({{200, 800, 2000, 5000}, {1, 0}})
    ->ArgNames({"bullets", "turned"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_GameFrame(benchmark::State& state) {
  Images& m = Shared();
  MEMIMG& screen = m.screen[0];
  std::mt19937 rng(3);
  auto in = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo)); };
  std::vector<Placed> bullets, enemies;
  for (int i = 0; i < 800; ++i) bullets.push_back({in(32, 417), in(16, 465), static_cast<float>(rng() % 628) / 100});
  for (int i = 0; i < 30; ++i) enemies.push_back({in(48, 400), in(32, 300), static_cast<float>(rng() % 628) / 100});
  std::vector<std::array<int, 8>> lasers;
  for (int i = 0; i < 80; ++i) {
    const float a = static_cast<float>(rng() % 628) / 100, c = std::cos(a), s = std::sin(a);
    const int cx = in(32, 417), cy = in(16, 465);
    std::array<int, 8> q;
    const float pts[4][2] = {{-4, -100}, {4, -100}, {-4, 100}, {4, 100}};
    for (int k = 0; k < 4; ++k) {
      q[2 * k] = cx + static_cast<int>(pts[k][0] * c - pts[k][1] * s);
      q[2 * k + 1] = cy + static_cast<int>(pts[k][0] * s + pts[k][1] * c);
    }
    lasers.push_back(q);
  }
  const Rect field = {32, 16, 417, 465};
  auto frame = [&] {
    SetDraw(BlendCopy, 255);
    SoftFillRect(&screen, nullptr, 0);
    DrawArea = field;
    SoftDrawImage(&screen, &m.background, 32, 16, 0, nullptr);
    SetDraw(BlendAlpha, 255, field);
    for (const Placed& e : enemies) SoftDrawImageRotated(&screen, &m.enemy[0], e.x, e.y, e.angle, 1.0f, 1, 0, nullptr);
    for (auto& q : lasers) SoftDrawImageQuad(&screen, &m.laser[0], q.data(), 1, nullptr);
    for (int i = 0; i < 800; ++i) {
      SetDraw(i % 2 ? BlendAddSat : BlendAlpha, 255, field);
      const Placed& b = bullets[i];
      SoftDrawImageRotated(&screen, &m.bullet[0], b.x, b.y, b.angle, 1.0f, 1, 0, nullptr);
    }
    SetDraw(BlendCopy, 255);
    SoftDrawImage(&screen, &m.frame, 0, 0, 1, nullptr);
  };
  double total = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    frame();
    const double t = Seconds(Clock::now() - t0);
    total += t;
    state.SetIterationTime(t);
  }
  state.counters["budget"] = total / static_cast<double>(state.iterations()) / 0.0167;
}
BENCHMARK(BM_GameFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
