// One logic step of a full field (800 bullets over every behaviour, 80 lasers, 500
// items, 30 enemies, 3 bosses), reported as a share of the 16.7 ms frame. Each
// iteration restores the same field first (untimed), so every step does equal work.
#include <benchmark/benchmark.h>

#include <chrono>

#include "game/play/play_internal.h"
#include "game/play/play_runner.h"

namespace {

void NoScript() {}

const int kBehaviours[] = {0,   1,   2,   3,   4,   5,   6,   9,   10,  11,  16,  17,  18,  21,
                           23,  24,  25,  26,  28,  31,  32,  33,  34,  36,  100, 104, 105, 107,
                           109, 110, 111, 112, 114, 116, 120, 121, 122, 123, 124, 125, 666, 777};
constexpr int kBehaviourCount = sizeof kBehaviours / sizeof kBehaviours[0];

struct Field {
  CheckedPool<Boss, kBossSlots> bosses;
  CheckedPool<Enemy, kEnemySlots> enemies;
  CheckedPool<EnemyBullet, kBulletSlots> bullets;
  CheckedPool<Laser, kLaserSlots> lasers;
  CheckedPool<Item, kItemSlots> items;
  PlayerStatus player;
  uint32_t randomCounter, stepSerial;
  int stageFrame;
};
Field g_saved;

void BuildField() {
  g_stageScriptOverride = &NoScript;
  BeginPlay(PlaySetup{1, 3, 0, 1u});
  RunLogicStep();
  g_player.invulnerable = 1 << 30;
  for (int slot = 0; slot < kBossSlots; ++slot) {
    InitBoss(slot, 2, 1 + slot, 120.0 + 90 * slot, 100.0);
    SetBossMoveTarget(slot, 300.0 - 90 * slot, 140.0, 1000.0);
  }
  for (int slot = 0; slot < kEnemySlots; ++slot)
    SpawnEnemy(slot, 1000000, slot % 2, 1 + slot % 10, 100000, 1, 100000, slot % 8, 0, 0, 0,
               60.0 + 11 * slot, 60.0 + 5 * slot, 0.01, 45.0 * slot, 0, 0);
  for (int k = 0; k < kBulletSlots; ++k) {
    int behaviour = kBehaviours[k % kBehaviourCount];
    int param = behaviour == 18 ? 100 + k % 3 : (behaviour >= 10 && behaviour <= 11) ? 1111 : 200;
    BulletSpec spec{k % 5, param, 1 + k % 3, k % 17, 0, behaviour, 0.05, 0.001, 0.3, 0.5};
    int slot = MakeBullet(spec, 40.0 + (k * 37) % 370, 30.0 + (k * 53) % 300, (k * 29) % 360);
    if ((behaviour == 17 || behaviour == 24) && slot > 0) {  // ring and chain links
      g_enemyBullets[slot].linkSlot = slot - 1;
      g_enemyBullets[slot].linkSerial = g_enemyBullets[slot - 1].serial;
    }
  }
  for (int k = 0; k < kLaserSlots; ++k)
    SpawnLaser(k % 2 == 0 ? 3 : 1, 40.0 + 4.5 * k, 30.0, 40.0 + 4.5 * k, 40.0, 1.0, 300, 4, 10,
               1000000, k % 10);
  for (int k = 0; k < kItemSlots; ++k) AddItem(k % 5, 40.0 + (k * 7) % 370, 20.0 + k % 60, k, 2, 0.0);
  g_saved = Field{g_bosses,       g_enemies,      g_enemyBullets, g_lasers, g_items,
                  g_player,       g_randomCounter, g_stepSerial,   g_stageFrame};
}

void RestoreField() {
  g_bosses = g_saved.bosses;
  g_enemies = g_saved.enemies;
  g_enemyBullets = g_saved.bullets;
  g_lasers = g_saved.lasers;
  g_items = g_saved.items;
  g_player = g_saved.player;
  g_randomCounter = g_saved.randomCounter;
  g_stepSerial = g_saved.stepSerial;
  g_stageFrame = g_saved.stageFrame;
}

template <class Pool, class Live>
int CountLive(const Pool& pool, Live live) {
  int count = 0;
  for (const auto& record : pool) count += live(record) ? 1 : 0;
  return count;
}

void BM_FullFieldLogicStep(benchmark::State& state) {
  BuildField();
  RestoreField();
  state.counters["bullets"] = CountLive(g_enemyBullets, [](const EnemyBullet& b) { return b.state != 0; });
  state.counters["lasers"] = CountLive(g_lasers, [](const Laser& l) { return l.state != 0; });
  state.counters["items"] = CountLive(g_items, [](const Item& i) { return i.active != 0; });
  state.counters["enemies"] = CountLive(g_enemies, [](const Enemy& e) { return e.active != 0; });
  state.counters["bosses"] = CountLive(g_bosses, [](const Boss& b) { return b.state != 0; });
  double total = 0.0;
  for (auto _ : state) {
    RestoreField();
    auto start = std::chrono::steady_clock::now();
    RunLogicStep();
    auto end = std::chrono::steady_clock::now();
    double seconds = std::chrono::duration<double>(end - start).count();
    total += seconds;
    state.SetIterationTime(seconds);
  }
  double perStep = total / static_cast<double>(state.iterations());
  state.counters["frame_share_pct"] = 100.0 * perStep / 0.0167;
  g_stageScriptOverride = nullptr;
}
BENCHMARK(BM_FullFieldLogicStep)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same step with the pools empty: the fixed cost of a step, for comparison.
void BM_EmptyFieldLogicStep(benchmark::State& state) {
  g_stageScriptOverride = &NoScript;
  BeginPlay(PlaySetup{1, 3, 0, 1u});
  double total = 0.0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    RunLogicStep();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["frame_share_pct"] =
      100.0 * total / static_cast<double>(state.iterations()) / 0.0167;
  g_stageScriptOverride = nullptr;
}
BENCHMARK(BM_EmptyFieldLogicStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
