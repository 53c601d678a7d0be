// Stage 5 and its cards (with the stage-4 trio's cross), headless through the step runner.
#include "game/stages/stage5.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "game/stages/boss_attack.h"
#include "game/stages/spell_practice.h"
#include "play_fixture.h"

namespace {

class Stage5 : public PlayFixture {
 protected:
  static int Count(const std::function<bool(const EnemyBullet&)>& which) {
    int n = 0;
    for (const EnemyBullet& b : g_enemyBullets) n += b.state != 0 && which(b);
    return n;
  }
};

TEST_F(Stage5, GunnerFiresOnlyFromItsOwnLiveSatellites) {
  // Normal: each satellite's fan at age m4 - 30 is 7 directions x 3 layers.
  for (int lost : {0, 1, 2}) {
    SCOPED_TRACE(lost);
    StartAt(5, 1, 1000);
    PlaceEnemy(10, 0, 30, 120);
    FireStage5EnemyShots(10);
    ASSERT_EQ(Count([](const EnemyBullet& b) { return b.behaviour == 18; }), 2);
    // A lost satellite's slot taken by a new bullet that looks just like it.
    for (int k = 0; k < lost; ++k) {
      g_enemyBullets[k].state = 0;
      ASSERT_EQ(SpawnBulletIndexed(4, 0, 18, 10, 0.0, 0.0, 0.0, 3.0, 30.0, 0.0, 0.0), k);
    }
    g_enemies[10].age = 90;
    const int before = Count([](const EnemyBullet&) { return true; });
    FireStage5EnemyShots(10);
    // and the gunner's own stream fan of 2 x 2 on the same step.
    EXPECT_EQ(Count([](const EnemyBullet&) { return true; }) - before, 21 * (2 - lost) + 4);
  }
  // A full pool: the satellites are slot 800, and nothing outside the pool is reached.
  StartAt(5, 1, 1000);
  for (EnemyBullet& b : g_enemyBullets) b.state = 1;
  PlaceEnemy(12, 0, 30, 120);
  FireStage5EnemyShots(12);
  for (EnemyBullet& b : g_enemyBullets) b.state = 0;
  g_enemies[12].age = 60;
  FireStage5EnemyShots(12);
  EXPECT_EQ(Count([](const EnemyBullet& b) { return b.sheet == 2; }), 0);
  EXPECT_TRUE(PoolsUntouchedOutside());
}

TEST_F(Stage5, MidBossEndResumesAt4500AndTheMidBossLeavesUpRight) {
  for (int endFrame : {5000, 4000}) {
    SCOPED_TRACE(endFrame);
    Played().clear();
    StartPhase(5, 1, 2, 3, 6);
    g_stageFrame = endFrame;
    Step();
    EXPECT_EQ(PlayedCount(kSeCardEnd), 1);
    EXPECT_EQ(g_bossPhase, 0);
    EXPECT_EQ(g_stageFrame, std::min(endFrame, 4500) + 1);
    Step();
    EXPECT_EQ(g_bosses[0].state, 3);
    EXPECT_EQ(g_bosses[0].targetX, 420.0);
    EXPECT_EQ(g_bosses[0].targetY, -50.0);
  }
}

TEST_F(Stage5, NonSpellGivesWayToItsCardAtOneHp) {
  for (int hp : {2, 1}) {
    StartPhase(5, 1, 3, 3, 6);
    g_stageFrame = 10001;
    Step(120);
    ASSERT_EQ(g_spellBackground, 0);
    g_bosses[0].hp = hp;
    Step();
    EXPECT_EQ(g_spellBackground, hp == 1 ? 1 : 0) << hp;
    if (hp == 1) {
      EXPECT_EQ(g_bosses[0].phaseTimer, 1);
      EXPECT_EQ(g_bosses[0].maxHp, 2200) << "the card's first step ran at once";
    }
  }
}

TEST_F(Stage5, CardFactsAtNamedTimers) {
  // Slot 15: six satellite volleys per cycle on Normal, seven elsewhere.
  for (int difficulty = 0; difficulty < 4; ++difficulty) {
    RunCardTo(difficulty, 15, 99);
    int volleys = 0;
    for (int t = 100; t <= 300; ++t) {
      Step();
      volleys += Count([](const EnemyBullet& b) {
                   return b.bornStep == g_stepSerial && b.behaviour == 36;
                 }) > 0;
    }
    EXPECT_EQ(volleys, difficulty == 1 ? 6 : 7) << difficulty;
  }
  // Slot 16 on an empty pool: pairs in slots 0 .. 2p - 1 and an aimed ring of 2p - 2.
  for (int difficulty = 0; difficulty < 4; ++difficulty) {
    const int p = 3 + difficulty - difficulty / 2;
    RunCardTo(difficulty, 16, 71);
    EXPECT_EQ(Count([](const EnemyBullet& b) { return b.behaviour == 18; }), 2 * p);
    EXPECT_EQ(g_enemyBullets[2 * p - 1].behaviourParam, 0);
    EXPECT_EQ(g_enemyBullets[2 * p - 2].behaviourParam, 9999);
    RunCardTo(difficulty, 16, 120);
    EXPECT_EQ(Count([](const EnemyBullet& b) {
                return b.bornStep == g_stepSerial && b.sheet == 5 && b.speed == 4.0;
              }),
              2 * p - 2);
  }
  // Slot 18: every small bullet of a cycle wakes on one step (t 376).
  RunCardTo(3, 18, 370);
  const int small = Count([](const EnemyBullet& b) { return b.behaviourParam == 5; });
  EXPECT_EQ(small, 108 * 4);
  EXPECT_EQ(Count([](const EnemyBullet& b) {
              return b.behaviourParam == 5 && b.triggerAge - b.age == 6;
            }),
            small);
  // Slot 19: the first comet is aimed; the next cycle's side comet is mirrored.
  RunCardTo(1, 19, 100);
  const auto comets = [] {
    std::vector<double> out;
    for (const EnemyBullet& b : g_enemyBullets)
      if (b.state != 0 && b.behaviour == 111 && b.bornStep == g_stepSerial) out.push_back(b.angle);
    return out;
  };
  const int bossX = static_cast<int>(g_bosses[0].x);
  ASSERT_EQ(comets().size(), 1u);
  EXPECT_DOUBLE_EQ(comets()[0], AngleToPlayer(bossX, 0));
  RunCardTo(1, 19, 240);
  EXPECT_EQ(comets(), std::vector<double>{230.0});
  Step(701);
  ASSERT_EQ(g_bosses[0].phaseTimer, 240);
  EXPECT_EQ(comets(), std::vector<double>{310.0});
}

}  // namespace
