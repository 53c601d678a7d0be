// How many enemy bullets one 16.7 ms frame carries on one core: the play's own bullet
// update and the play's own bullet drawing, built here with a pool of kBulletSlots
// (raised for this benchmark only), run over 0, 1,000, 10,000 and 40,000 live bullets.
// Times are this thread's CPU time, so other work on a shared machine counts little.
// Reported per bullet and against the 16.7 ms frame; the empty pool shows what a large
// pool costs while nothing is in it.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "game/draw/game_images.h"
#include "game/draw/play_draw.h"
#include "game/play/play_internal.h"
#include "game/play/play_runner.h"
#include "game/play/stage_entry.h"
#include "game/stages/spell_banner.h"
#include "graphics/screen.h"
#include "platform/file.h"

// The field runs no stage script, and no card banner is drawn.
void RunStage() {}
void ResetScriptState() {}
void SetBannerCanvas(const BannerCanvas*) {}

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

bool g_started = false;
void StartOnce() {
  if (g_started) return;
  g_started = true;
  if (chdir(GAME_RUN_DIR) != 0) std::abort();
  InstallPlainFileAccess();
  StartGraphics();
  for (int index = 0; index < kImageFileCount; ++index) LoadImageFile(index);
}

// Bullets of each sheet per thousand in real play: every live bullet of every step of the
// 26 kept replays (529,680 steps, 214 bullets alive on average) counted by its sheet.
// Mostly small round sheets: 22 % of them turned or spinning against mix 0's 41 %, 245
// pixels a bullet on average against mix 0's 426.
constexpr int kPlayedSheetPerMille[17] = {16, 224, 189, 2, 47, 104, 5, 83, 15, 5, 0, 0, 89, 182, 20, 14, 5};

// The sheet of bullet k in mix 2: the thousand shares laid out in order and walked with
// a stride prime to 1000, so neighbouring bullets differ as they do in play.
int PlayedSheet(int k) {
  int at = (k * 389) % 1000;
  for (int sheet = 0; sheet < 17; ++sheet) {
    if (at < kPlayedSheetPerMille[sheet]) return sheet;
    at -= kPlayedSheetPerMille[sheet];
  }
  return 16;
}

// Mix 0: the game's sheets in turn (8 to 40 px, seven of them turned or spinning, sheet
// 6 additive); mix 1: medium round bullets only (16 px, unturned); mix 2: the sheets in
// the shares real play has. Every bullet wraps at every edge for ever, so the count
// stays what it was set to.
void FillField(int live, int mix) {
  BeginPlay(PlaySetup{1, 3, 0, 1u});
  g_player.invulnerable = 1 << 30;
  g_player.y = 1000.0;  // nothing grazes: every bullet does the same work each frame
  for (int k = 0; k < live; ++k) {
    const int sheet = mix == 0 ? k % 17 : mix == 1 ? 2 : PlayedSheet(k);
    BulletSpec spec{k % 5, 91111, 1, sheet, 0, 11, 1.0 + (k % 7) * 0.3, 0.0, 0.0, 0.0};
    EnemyBullet& b = g_enemyBullets[k];
    // MakeBullet's first-free search would make the set-up quadratic; the record is
    // filled the same way.
    b = EnemyBullet{};
    b.state = spec.spawnCode;
    b.sheet = spec.sheet;
    b.colour = spec.colour;
    b.behaviour = spec.behaviour;
    b.behaviourParam = spec.behaviourParam;
    b.speed = spec.speed;
    b.speedLimit = spec.speed;
    b.angle = (k * 29) % 360;
    b.x = 40.0 + (k * 37) % 370;
    b.y = 30.0 + (k * 53) % 420;
    b.serial = ++g_bulletSerial;
  }
}

// range(0): live bullets; range(1): 1 moved and drawn, 0 moved only; range(2): the mix.
void BM_BulletFrame(benchmark::State& state) {
  StartOnce();
  const int live = static_cast<int>(state.range(0));
  const bool draw = state.range(1) != 0;
  FillField(live, static_cast<int>(state.range(2)));
  SetDrawScreen(kBackScreen);
  SetDrawArea(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx);
  InstallPlayDrawing(draw);
  // One clock read around all the frames: a read of this clock costs about a
  // microsecond, which read around each frame would hide what an empty pool costs.
  int64_t frames = 0;
  const double start = ThreadCpuSeconds();
  for (auto _ : state) {
    g_stepSerial += 1;
    UpdateEnemyBullets();
    ++frames;
  }
  const double cpu = ThreadCpuSeconds() - start;
  InstallPlayDrawing(false);
  const double perFrame = cpu / static_cast<double>(frames);
  state.counters["cpu_ms"] = 1000.0 * perFrame;
  state.counters["share_of_16.7ms_pct"] = 100.0 * perFrame / kFrameSeconds;
  if (live > 0) {
    state.counters["us_per_bullet"] = 1e6 * perFrame / live;
    state.counters["bullets_per_frame"] = kFrameSeconds / (perFrame / live);
  }
}
BENCHMARK(BM_BulletFrame)
    ->ArgsProduct({{0, 1000, 10000, kBulletSlots}, {1, 0}, {0, 1, 2}})
    ->ArgNames({"bullets", "drawn", "mix"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
