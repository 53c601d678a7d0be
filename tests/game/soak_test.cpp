// 200,000 steps of the busy synthetic script with random input, checking the pools'
// invariants after every step (built with sanitizers, any stray access reports).
#include <algorithm>
#include <cmath>

#include "tests/game/play_fixture.h"
#include "tests/game/soak_script.h"

namespace {

bool Finite(double v) { return std::isfinite(v); }

// Nothing in the core writes through an index outside a pool.
bool DummiesUntouched() {
  const EnemyBullet& b = g_enemyBullets.dummy();
  const Laser& l = g_lasers.dummy();
  const Boss& boss = g_bosses.dummy();
  const Enemy& e = g_enemies.dummy();
  const Item& i = g_items.dummy();
  return b.state == 0 && b.x == 0 && b.y == 0 && b.behaviour == 0 && l.state == 0 &&
         l.x1 == 0 && boss.state == 0 && boss.x == 0 && boss.hp == 0 && e.active == 0 &&
         e.hp == 0 && i.active == 0 && i.x == 0;
}

TEST(SoakTest, TwoHundredThousandBusySteps) {
  g_stageScriptOverride = &SoakScript;
  BeginPlay(PlaySetup{2, 3, 0, 99u});
  uint32_t inputSeed = 2024;
  int maxBullets = 0, maxLasers = 0, maxItems = 0, maxEnemies = 0, misses = 0, bombs = 0;
  for (int step = 0; step < 200000; ++step) {
    SetLiveInput(SoakInput(&inputSeed));
    int stateBefore = g_player.state;
    RunLogicStep();
    if (g_player.state < 0 && stateBefore == 0) ++misses;
    if (g_player.bombTimer > 0 && g_bombActive) ++bombs;
    if (g_gameOverPending) ContinuePlay();
    if (g_player.lives < 1) g_player.lives = 3;  // keep the play going

    int bullets = 0, lasers = 0, items = 0, enemies = 0;
    for (const EnemyBullet& b : g_enemyBullets) {
      if (b.state == 0) continue;
      ++bullets;
      ASSERT_TRUE(Finite(b.x) && Finite(b.y)) << "bullet at step " << step;
    }
    for (const Laser& l : g_lasers) {
      if (l.state == 0) continue;
      ++lasers;
      ASSERT_TRUE(Finite(l.x1) && Finite(l.y1) && Finite(l.x2) && Finite(l.y2)) << step;
    }
    for (const Item& i : g_items) {
      if (!i.active) continue;
      ++items;
      ASSERT_TRUE(Finite(i.x) && Finite(i.y)) << step;
    }
    for (const Enemy& e : g_enemies) {
      if (!e.active) continue;
      ++enemies;
      ASSERT_TRUE(Finite(e.x) && Finite(e.y)) << step;
    }
    for (const Boss& b : g_bosses) {
      if (b.state == 0) continue;
      ASSERT_TRUE(Finite(b.x) && Finite(b.y)) << step;
    }
    ASSERT_TRUE(Finite(g_player.x) && Finite(g_player.y));
    ASSERT_GE(g_player.x, 40.0);
    ASSERT_LE(g_player.x, 409.0);
    ASSERT_TRUE(DummiesUntouched()) << step;
    maxBullets = std::max(maxBullets, bullets);
    maxLasers = std::max(maxLasers, lasers);
    maxItems = std::max(maxItems, items);
    maxEnemies = std::max(maxEnemies, enemies);
  }
  g_stageScriptOverride = nullptr;
  // The script must really have kept the pools full and the player busy.
  EXPECT_EQ(maxBullets, kBulletSlots);
  EXPECT_EQ(maxLasers, kLaserSlots);
  EXPECT_GE(maxItems, kItemSlots * 9 / 10);
  EXPECT_EQ(maxEnemies, kEnemySlots);
  EXPECT_GT(misses, 100);
  EXPECT_GT(bombs, 100);
  RecordProperty("max_items", maxItems);
}

}  // namespace
