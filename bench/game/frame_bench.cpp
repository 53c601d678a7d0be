// A whole frame of a busy play (logic and drawing: 800 bullets, 80 lasers, 30 enemies,
// 3 bosses, the frame and the HUD) as a share of the 16.7 ms frame, and the loading
// screen's work as a share of the 2 seconds its 120 frames take.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "game/draw/game_images.h"
#include "game/draw/play_draw.h"
#include "game/play/play_internal.h"
#include "game/play/play_runner.h"
#include "game/scenes/game_session.h"
#include "game/scenes/loading.h"
#include "game/scenes/play_scene.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/file.h"
#include "sound/sound.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kLoadingSeconds = 2.0;

void NoScript() {}

bool g_started = false;
void StartOnce() {
  if (g_started) return;
  g_started = true;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (chdir(GAME_RUN_DIR) != 0) std::abort();
  InstallPlainFileAccess();
  StartGraphics();
  InitSoundSystem();  // may fail without an audio driver: effects then load nothing
  ResetSaveData(&g_save);
}

int LiveBullets() {
  int live = 0;
  for (const EnemyBullet& b : g_enemyBullets) live += b.state != 0;
  return live;
}

// A field that stays full: bullets wrap at every edge for ever, lasers stand, enemies
// and bosses cannot be beaten, the player cannot be hit.
void BuildBusyField() {
  g_stageScriptOverride = &NoScript;
  StartLivePlay(1, 3, 0);
  RunLogicStep();
  g_player.invulnerable = 1 << 30;
  for (int slot = 0; slot < kBossSlots; ++slot) InitBoss(slot, 3, 1 + slot, 120.0 + 90 * slot, 100.0);
  for (int slot = 0; slot < kEnemySlots; ++slot)
    SpawnEnemy(slot, 1 << 30, slot % 2, 7, 1 << 30, 1, 1 << 30, slot % 8, 0, 0, 0, 60.0 + 11 * slot,
               60.0 + 5 * slot, 20.0, 45.0 * slot, 0, 0);
  for (int k = 0; k < kBulletSlots; ++k) {
    const int sheet = k % 17 == 6 ? 2 : k % 17;
    BulletSpec spec{k % 5, 91111, 1, sheet, 0, 11, 1.0 + (k % 7) * 0.3, 0.0, 0.0, 0.0};
    MakeBullet(spec, 40.0 + (k * 37) % 370, 30.0 + (k * 53) % 420, (k * 29) % 360);
  }
  for (int k = 0; k < kLaserSlots; ++k)
    SpawnLaser(13, 40.0 + 4.5 * k, 30.0, 40.0 + 4.5 * k, 200.0, 0.0, 170, 4, 0, 1 << 30, k % 10);
  RunLogicStep();
}

void BM_BusyPlayFrame(benchmark::State& state) {
  StartOnce();
  if (g_images.title == -1)
    for (int index = 0; index < kImageFileCount; ++index) LoadImageFile(index);
  if (g_images.fieldGraph == -1) g_images.fieldGraph = MakeScreenGraph(kFieldRightPx, kFieldBottomPx);
  InstallPlayDrawing(true);
  BuildBusyField();
  uint8_t keys[256] = {};
  keys[g_save.keys.shot] = 0x80;
  TakeKeySnapshot(keys);
  TakeKeySnapshot(keys);
  double seconds = 0.0;
  int64_t frames = 0;
  int fewest = kBulletSlots;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    ClearDrawScreen();
    RunGameFrame();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++frames;
    state.PauseTiming();
    fewest = std::min(fewest, LiveBullets());
    state.ResumeTiming();
  }
  state.counters["fewest_live_bullets"] = fewest;
  state.counters["frame_ms"] = 1000.0 * seconds / frames;
  state.counters["share_of_16.7ms_frame_pct"] = 100.0 * seconds / frames / kFrameSeconds;
  InstallPlayDrawing(false);
  g_stageScriptOverride = nullptr;
}
BENCHMARK(BM_BusyPlayFrame)->Unit(benchmark::kMillisecond);

void BM_LoadingScreenWork(benchmark::State& state) {
  StartOnce();
  double seconds = 0.0;
  int64_t runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < kLoadingFrames; ++frame) RunLoadingWork(frame);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
    state.PauseTiming();
    state.counters["effects_loaded"] = SoundEffectTable[19] != -1 ? kSoundEffectCount : 0;
    ReleaseGameImages();
    DeleteAllSoundHandles();
    for (int slot = 0; slot < kSoundEffectCount; ++slot) SoundEffectTable[slot] = -1;
    state.ResumeTiming();
  }
  state.counters["work_ms"] = 1000.0 * seconds / runs;
  state.counters["share_of_2s_pct"] = 100.0 * seconds / runs / kLoadingSeconds;
}
BENCHMARK(BM_LoadingScreenWork)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
