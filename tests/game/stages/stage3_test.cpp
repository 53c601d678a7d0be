// Stage 3 and its cards, headless through the step runner.
#include "game/stages/stage3.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/stages/boss_attack.h"
#include "game/stages/spell_practice.h"
#include "play_fixture.h"

namespace {

class Stage3 : public PlayFixture {};

TEST_F(Stage3, CarrierOrbsFireFromWholePixelsAndGoWithTheCarrierOnly) {
  StartAt(3, 1, 1000);
  Enemy& carrier = PlaceEnemy(21, 0, 60, 300);
  carrier.hp = 200;
  FireStage3EnemyShots(21);
  const std::vector<int> orbs = SatellitesAround(21);
  ASSERT_EQ(orbs.size(), 2u);
  for (int k = 0; k < 2; ++k) {
    g_enemyBullets[orbs[k]].x = 150.75 + 100 * k;
    g_enemyBullets[orbs[k]].y = 120.5;
  }
  // At age 80 ((80 - 60) mod 20 = 0 on Normal): two layers of two from each orb.
  carrier.age = 80;
  const uint32_t serial = g_bulletSerial;
  FireStage3EnemyShots(21);
  int fromOrbs = 0;
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.serial <= serial || b.sheet != 7) continue;
    ++fromOrbs;
    EXPECT_TRUE((b.x == 150 || b.x == 250) && b.y == 120);
  }
  EXPECT_EQ(fromOrbs, 8);

  // Orb A is freed and its slot given to another bullet: at 40 HP the carrier dies and
  // takes orb B, leaving the newcomer alone.
  g_enemyBullets[orbs[0]].state = 0;
  for (int slot = 0; slot < orbs[0]; ++slot) g_enemyBullets[slot].state = 1;
  ASSERT_EQ(SpawnBulletIndexed(3, 0, 0, 0, 10.0, 10.0, 0.0, 0.0, 0.0, 0.0, 0.0), orbs[0]);
  carrier.hp = 40;
  carrier.age = 81;
  FireStage3EnemyShots(21);
  EXPECT_EQ(carrier.hp, 0);
  EXPECT_EQ(g_enemyBullets[orbs[1]].state, 0);
  EXPECT_NE(g_enemyBullets[orbs[0]].state, 0);
}

TEST_F(Stage3, CarrierMakesNoOrbInAFullPoolAndFiresFromNowhere) {
  StartAt(3, 3, 1000);
  for (EnemyBullet& b : g_enemyBullets) {
    b = EnemyBullet{};
    b.state = 1;
  }
  Enemy& carrier = PlaceEnemy(20, 0, 60, 300);
  carrier.hp = 200;
  FireStage3EnemyShots(20);
  for (EnemyBullet& b : g_enemyBullets) b.state = 0;
  carrier.age = 60;
  FireStage3EnemyShots(20);
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state != 0) {
      EXPECT_EQ(b.sheet, 2) << "only the carrier's own fan";
    }
  }
  carrier.hp = 10;
  FireStage3EnemyShots(20);
  EXPECT_TRUE(PoolsUntouchedOutside());
}

TEST_F(Stage3, StreamFiresFromBothBulletsUntilTheFirstIsGone) {
  StartAt(3, 2, 2070);
  Step();
  std::vector<int> slots;
  for (int slot = 0; slot < kBulletSlots; ++slot) {
    if (g_enemyBullets[slot].state == 4) slots.push_back(slot);
  }
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(g_enemyBullets[slots[0]].angle, 125.0);
  EXPECT_EQ(g_enemyBullets[slots[1]].angle, 135.0);
  // The stage's step runs the stream after the enemies: four rings of three at 2075.
  Step(4);
  EXPECT_EQ(BulletsBornThisStep().size(), 0u);
  Step();
  EXPECT_EQ(BulletsBornThisStep().size(), 12u);
  struct Case {
    const char* what;
    int secondState;   // state written into the second bullet
    bool reuseSecond;  // its slot given to another bullet
    int firstState;
    int fromFirst, fromSecond;
  };
  const Case cases[] = {
      {"both in flight", 4, false, 4, 6, 6},
      {"the second has left the field", 0, false, 4, 6, 6},
      {"the first is gone", 4, false, 0, 0, 0},
      {"the second's slot was given away", 0, true, 4, 6, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_stageFrame = 2075;
    EnemyBullet& first = g_enemyBullets[slots[0]];
    EnemyBullet& second = g_enemyBullets[slots[1]];
    for (EnemyBullet& b : g_enemyBullets)
      if (&b != &first && &b != &second) b.state = 0;
    first.state = c.firstState;
    first.x = 300.9;
    first.y = 400.2;
    second.state = c.secondState;
    second.x = 200.5;
    second.y = -40.7;
    if (c.reuseSecond) {
      for (int slot = 0; slot < slots[1]; ++slot)
        if (slot != slots[0]) g_enemyBullets[slot].state = 1;
      ASSERT_EQ(SpawnBulletIndexed(4, 0, 0, 0, 50, 50, 0, 0, 0, 0, 0), slots[1]);
      for (int slot = 0; slot < slots[1]; ++slot)
        if (slot != slots[0]) g_enemyBullets[slot].state = 0;
    }
    const uint32_t serial = g_bulletSerial;
    RunStage3StreamEmitter();
    int fromFirst = 0, fromSecond = 0;
    for (const EnemyBullet& b : g_enemyBullets) {
      if (b.state == 0 || b.serial <= serial) continue;
      fromFirst += b.x == 300 && b.y == 400 && b.colour == 0;
      fromSecond += b.x == 200 && b.y == -40 && b.colour == 2;
    }
    EXPECT_EQ(fromFirst, c.fromFirst);
    EXPECT_EQ(fromSecond, c.fromSecond);
  }
}

TEST_F(Stage3, ClearOutKillsEveryEnemyAndSetsEveryBulletDrifting) {
  StartAt(3, 1, 6015);
  PlaceEnemy(5, 40, 90, 91).hp = 130;
  PlaceEnemy(29, 200, 100, 500).hp = 1000;
  g_enemyBullets.Clear();
  ShootRing({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 10, .x = 224, .y = 240, .speed = 2.0,
             .speedLimit = 3.0, .turnRate = 1.0});
  const uint32_t before = g_randomCounter;
  Played().clear();
  RunStage3Waves();
  EXPECT_EQ(DrawsSince(before), 10u) << "one draw per bullet";
  EXPECT_EQ(PlayedCount(kSeAttackBell), 1);
  for (const Enemy& e : g_enemies) EXPECT_EQ(e.hp, 0);
  for (int k = 0; k < 10; ++k) {
    const EnemyBullet& b = g_enemyBullets[k];
    EXPECT_EQ(b.speed, 0.0);
    EXPECT_EQ(b.speedLimit, 1.5);
    EXPECT_EQ(b.turnRate, 0.0);
    EXPECT_EQ(b.sheet, 13);
    EXPECT_EQ(b.colour, 4);
    EXPECT_EQ(b.age, 0);
    EXPECT_EQ(b.triggerAge, 30);
    EXPECT_EQ(b.behaviour, 5);
    EXPECT_EQ(b.behaviourParam, 2);
    EXPECT_NEAR(b.angle, 36.0 * k, 15.0);
  }
}

TEST_F(Stage3, MidBossEndResumesAt4130WithoutTheCardEndSound) {
  for (auto [frame, after] : {std::pair{5000, 4131}, std::pair{4000, 4001}}) {
    SCOPED_TRACE(frame);
    StartPhase(3, 1, 2, 2, 3);
    Played().clear();
    g_stageFrame = frame;
    Step();
    EXPECT_EQ(g_bossPhase, 0);
    EXPECT_EQ(g_stageFrame, after);
    EXPECT_EQ(PlayedCount(kSeCardEnd), 0);
    EXPECT_GT(BossEffects[0].ringCounter, 0);
    EXPECT_GT(g_shakeLeft, 0);
  }
}

TEST_F(Stage3, OrbNonSpellsSweepTheirLasersRoundAndMirrorThemAtTheSideWalls) {
  // Mid-boss, Normal: 17 lasers from each orb every 4 steps, the k-th leaving at
  // k / 16 of a whole turn past -100 degrees (first orb) and -80 (second).
  StartPhase(3, 1, 1, 2, 3);
  std::vector<double> headings;
  for (int guard = 0; guard < 200 && g_bosses[0].phaseTimer < 170; ++guard) {
    Step();
    for (const Laser& laser : g_lasers) {
      if (laser.state == 0 || laser.bornStep != g_stepSerial) continue;
      EXPECT_EQ(laser.colour, 2) << "the first cycle fires colour 2 from both orbs";
      headings.push_back(std::atan2(laser.y1 - laser.y2, laser.x2 - laser.x1) * 180 / kPi);
    }
  }
  ASSERT_EQ(headings.size(), 34u) << "17 from each orb";
  for (size_t k = 0; k < headings.size(); ++k) {
    const double want = 22.5 * static_cast<double>(k / 2) + (k % 2 == 0 ? -100 : -80);
    EXPECT_NEAR(std::remainder(headings[k] - want, 360.0), 0.0, 1e-4) << k;
  }

  // Second non-spell: a state-2 laser past a side wall goes on mirrored from its far end.
  StartPhase(3, 1, 4, 2, 1);
  Step(2);
  struct Case {
    int state, fullLength;
    double x2;
    bool continued;
  };
  const Case cases[] = {{2, 100, 20, true}, {2, 100, 430, true}, {2, 100, 200, false},
                        {1, 100, 20, false}, {2, 0, 20, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state * 1000 + c.fullLength + c.x2);
    g_lasers.Clear();
    Laser& laser = g_lasers[40];
    laser = Laser{c.state, c.fullLength, 3, 6, 10, 0, 800, 224.0, 100.0, c.x2, 150.0, 0.0, 0};
    Step();
    int made = -1;
    for (int slot = 0; slot < kLaserSlots; ++slot)
      if (slot != 40 && g_lasers[slot].state != 0) made = slot;
    ASSERT_EQ(made >= 0, c.continued);
    if (!c.continued) continue;
    const Laser& old = g_lasers[40];
    const Laser& next = g_lasers[made];
    EXPECT_EQ(old.state, 1);
    EXPECT_EQ(next.state, 1);
    EXPECT_EQ(next.x1, c.x2);
    EXPECT_EQ(next.y1, 150.0);
    EXPECT_DOUBLE_EQ(next.x2, c.x2 + (224.0 - c.x2) / 100);
    EXPECT_DOUBLE_EQ(next.y2, 150.0 + 50.0 / 100);
    EXPECT_EQ(next.lifetime, 800 - old.age);
    EXPECT_EQ(next.triggerAge, -old.age);
  }
}

TEST_F(Stage3, RingCardFreezesEverythingAndReleasesAllButTheBossRings) {
  RunCardTo(1, 7, 339);
  Step();
  int lasers = 0;
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0) continue;
    EXPECT_EQ(b.speed, 0.0);
    EXPECT_EQ(b.sheet, 13);
    EXPECT_EQ(b.colour, 4);
  }
  for (const Laser& laser : g_lasers) {
    if (laser.state == 0) continue;
    ++lasers;
    EXPECT_EQ(laser.growth, 0.0);
    EXPECT_EQ(laser.colour, 9);
  }
  EXPECT_EQ(lasers, 25);
  for (int guard = 0; guard < 200 && g_bosses[0].phaseTimer < 499; ++guard) Step();
  int frozen = 0, bossRings = 0;
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0) continue;
    (b.sheet == 5 ? bossRings : frozen) += 1;
  }
  ASSERT_GT(bossRings, 0);
  const uint32_t before = g_randomCounter;
  Step();
  ASSERT_EQ(g_bosses[0].phaseTimer, 500);
  EXPECT_EQ(DrawsSince(before), 2u * frozen) << "two draws per released bullet";
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0 || b.bornStep == g_stepSerial) continue;
    EXPECT_EQ(b.speedLimit == 0.7, b.sheet != 5);
  }
}

}  // namespace
