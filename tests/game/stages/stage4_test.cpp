// Stage 4 and its cards, headless through the step runner.
#include "game/stages/stage4.h"

#include <algorithm>
#include <vector>

#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

class Stage4 : public PlayFixture {};

TEST_F(Stage4, OrbitEnemiesShareOneTableOfSixBullets) {
  Begin(4, 3);
  Step();
  g_stageFrame = 3000;
  Enemy& first = PlaceEnemy(28, 1, 60, 240);
  FireStage4EnemyShots(28);
  ASSERT_EQ(SatellitesAround(28).size(), 6u);
  first.age = 5;
  FireStage4EnemyShots(28);
  EXPECT_EQ(BulletsBornThisStep().size(), 6u + 30u) << "pattern B on Lunatic: 3 x 2 x 3 + 3 x 4";

  // A second orbit enemy takes the table over; the first then fires from its bullets.
  PlaceEnemy(29, 1, 60, 240);
  FireStage4EnemyShots(29);
  const std::vector<int> second = SatellitesAround(29);
  ASSERT_EQ(second.size(), 6u);
  for (int slot : second) g_enemyBullets[slot].x = 100, g_enemyBullets[slot].y = 300;
  const auto atSecond = [] {
    int count = 0;
    for (const EnemyBullet& b : g_enemyBullets) count += b.state == 1 && b.x == 100 && b.y == 300;
    return count;
  };
  first.age = 15;
  FireStage4EnemyShots(28);
  EXPECT_EQ(atSecond(), 30);

  // Past its last age the enemy clears the table's bullets and dies without a drop.
  first.age = 311;
  FireStage4EnemyShots(28);
  EXPECT_EQ(first.hp, 0);
  EXPECT_EQ(first.dropPower + first.dropSpecial + first.dropPoint, 0);
  for (int slot : second) EXPECT_EQ(g_enemyBullets[slot].state, 0);
}

TEST_F(Stage4, OrbitBulletsFromAFullPoolAreNone) {
  Begin(4, 1);
  Step();
  g_stageFrame = 2500;
  for (EnemyBullet& b : g_enemyBullets) {
    b = EnemyBullet{};
    b.state = 1;
    b.sheet = 6;
  }
  Enemy& e = PlaceEnemy(24, 1, 300, 300);
  FireStage4EnemyShots(24);
  for (EnemyBullet& b : g_enemyBullets) b.state = 0;
  e.age = 5;
  FireStage4EnemyShots(24);
  EXPECT_TRUE(BulletsBornThisStep().empty());
  e.age = 301;
  FireStage4EnemyShots(24);
  EXPECT_TRUE(PoolsUntouchedOutside());
}

// Fills every bullet slot for one step, so that the spawns of that step find none free.
void FillBulletPool() {
  for (EnemyBullet& b : g_enemyBullets) {
    b = EnemyBullet{};
    b.state = 1;
    b.sheet = 6;
    b.triggerAge = 1000;
  }
}

TEST_F(Stage4, KeptSlotsFromAFullPoolFireNothing) {
  struct Case {
    const char* what;
    int phase, slot;  // a boss phase of the stage, or a card slot in spell practice
    int spawnTimer, fireTimer;
    int behaviour;    // of the kept bullets
  };
  const Case cases[] = {
      {"second non-spell's orbs", 4, -1, 30, 100, 33},
      {"third non-spell's orbs", 5, -1, 30, 100, 33},
      {"gallery markers", 0, 13, 70, 120, 32},
      {"trio satellites", 0, 14, 70, 105, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.phase > 0) {
      Begin(4, 3);
      Step();
      g_player.invulnerable = 1 << 20;
      InitBoss(0, 3, 5, 224.0, 150.0);
      g_bossPhase = c.phase;
      g_bosses[0].phaseTimer = 0;
      Step(c.spawnTimer - 1);
    } else {
      RunCardTo(3, c.slot, c.spawnTimer - 1);
    }
    FillBulletPool();
    Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, c.spawnTimer);
    for (EnemyBullet& b : g_enemyBullets) b.state = 0;
    Step(c.fireTimer - c.spawnTimer - 1);
    // A bullet in the slot the spawn would have taken, of another kind.
    SpawnBulletIndexed(4, 0, 0, 0, 100.0, 100.0, 0.0, 0.0, 0.0, 0.0, 0.0);
    Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, c.fireTimer);
    // Only the boss's own volleys: nothing from the kept slots, the dummy or the stranger.
    for (const EnemyBullet* b : BulletsBornThisStep()) {
      EXPECT_EQ(b->x, g_bosses[0].x);
      EXPECT_EQ(b->y, g_bosses[0].y);
    }
    int kept = 0;
    for (const EnemyBullet& b : g_enemyBullets) kept += b.state != 0 && b.behaviour == c.behaviour;
    EXPECT_EQ(kept, 0);
    EXPECT_TRUE(PoolsUntouchedOutside());
  }
}

TEST_F(Stage4, TrioTalksFightsOneCardShowsItselfAndLeaves) {
  SpriteSheetHandles.bossName[5] = 805;
  StartAt(4, 1, 3200);
  Step();
  const int kinds[3] = {6, 5, 4};
  for (int slot = 0; slot < 3; ++slot) {
    EXPECT_EQ(g_bosses[slot].kind, kinds[slot]);
    EXPECT_EQ(g_bosses[slot].state, 4);
    EXPECT_EQ(g_bosses[slot].y, -50.0);
  }
  int fightStart = -1, fightSteps = 0, shownAt = -1, resumedAt = -1;
  int leftOrder[3] = {-1, -1, -1}, order = 0;
  // The frame counts on through the fight: the waves resume at 4501, then reach 4900.
  for (int steps = 0; steps < 20000 && (resumedAt < 0 || g_stageFrame < 4900); ++steps) {
    const int phase = g_bossPhase;
    Step(1, steps % 2 == 0 ? kInputShot : 0);
    if (phase == 0 && g_bossPhase == 1) fightStart = g_stageFrame - 1;
    fightSteps += g_bossPhase == 1;
    if (g_talkActive == 7 && shownAt < 0) {
      shownAt = g_stageFrame - 1;
      for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(g_bosses[slot].state, 1);
    }
    for (int slot = 0; slot < 3; ++slot) {
      if (g_bosses[slot].state == 3 && leftOrder[slot] < 0) {
        leftOrder[slot] = order++;
        EXPECT_EQ(g_bosses[slot].targetY, -50.0);
        EXPECT_EQ(g_bosses[slot].moveFrames, 90.0);
      }
    }
    if (g_stageFrame == 4502 && shownAt > 0 && resumedAt < 0) resumedAt = steps;
  }
  EXPECT_EQ(fightStart, 4201);
  EXPECT_EQ(fightSteps, 59 + 1199) << "a wait of 60 steps and the card's 1200, the last ending it";
  EXPECT_EQ(shownAt, 4301);
  EXPECT_EQ(leftOrder[0], 0);
  EXPECT_EQ(leftOrder[2], 1);
  EXPECT_EQ(leftOrder[1], 2);
  EXPECT_GT(resumedAt, 0);
  EXPECT_EQ(SpellCardHistory[0][GetSpellCardId(1, 14)].attempts, 1);
  Step();
  for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(g_bosses[slot].state, 0) << "cleared at 4900";
}

TEST_F(Stage4, GalleryCardSlowsBulletsAndDrawsSixPerLaser) {
  for (int difficulty = 0; difficulty < 4; ++difficulty) {
    SCOPED_TRACE(difficulty);
    RunCardTo(difficulty, 13, 149);
    g_lasers.Clear();
    const uint32_t before = g_randomCounter;
    Step();
    const int lasers = difficulty >= 2 ? 5 * difficulty + 5 : 0;
    EXPECT_EQ(DrawsSince(before), 6u * lasers);
    EXPECT_EQ(g_gameSpeed % 10, 1);
    int made = 0;
    for (const Laser& laser : g_lasers) {
      if (laser.state == 0) continue;
      ++made;
      EXPECT_EQ(laser.colour, 9);
      EXPECT_EQ(laser.y1, 0.0);
      EXPECT_EQ(laser.y2, 550.0);
    }
    EXPECT_EQ(made, lasers);
    // v: 145 set, 5 added with the slowed speed: rings at 50 and -50, spawn code 11.
    const int markers = difficulty == 0 ? 1 : 2;
    const int perMarker = (difficulty >= 2 ? 8 : 6) + 6;
    const std::vector<const EnemyBullet*> rings = BulletsBornThisStep();
    EXPECT_EQ(rings.size(), size_t(markers * perMarker));
    for (const EnemyBullet* b : rings) EXPECT_EQ(b->age, 1);
    Step(140);
    ASSERT_EQ(g_bosses[0].phaseTimer, 300) << "291-299 never come";
    EXPECT_EQ(g_gameSpeed % 10, 0);
    for (const Laser& laser : g_lasers) {
      if (laser.state != 0) {
        EXPECT_EQ(laser.colour, 2);
      }
    }
  }
}

TEST_F(Stage4, TrioCardsCrossFollowsThePlayerUntilItStands) {
  const int satellites[4] = {5, 6, 9, 10};
  for (int difficulty = 0; difficulty < 4; ++difficulty) {
    SCOPED_TRACE(difficulty);
    RunCardTo(difficulty, 14, 70);
    EXPECT_EQ(SatellitesAround(0).size(), size_t(satellites[difficulty]));
    EXPECT_EQ(g_bosses[0].state, 4);
    Step(30);
    ASSERT_EQ(g_bosses[0].phaseTimer, 100);
    const Laser across = g_lasers[0], down = g_lasers[1];
    ASSERT_EQ(across.state, 3);
    EXPECT_EQ(across.triggerAge, 200);
    EXPECT_EQ(down.x1, g_player.x);
    g_player.x = 300;
    g_player.y = 350;
    Step();
    EXPECT_EQ(g_lasers[0].y1, 350.0);
    EXPECT_EQ(g_lasers[1].x2, 300.0);
    Step(150);  // the lasers' age is now past 140
    g_player.x = 150;
    Step();
    EXPECT_EQ(g_lasers[1].x1, 300.0) << "the cross stands";
    Step(300 - g_bosses[0].phaseTimer);
    ASSERT_EQ(g_bosses[0].phaseTimer, 300);
    const EnemyBullet& s = g_enemyBullets[SatellitesAround(0).front()];
    if (difficulty >= 2) {
      EXPECT_EQ(s.speed, 220.0);
      EXPECT_DOUBLE_EQ(s.accel, -difficulty / 20.0);
      EXPECT_EQ(s.speedLimit, 50.0 * (4 - difficulty));
    } else {
      EXPECT_EQ(s.speedLimit, 220.0);
    }
  }
}

}  // namespace
