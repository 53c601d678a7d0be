// Stage 2 and its cards, headless through the step runner.
#include "game/stages/stage2.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

class Stage2 : public PlayFixture {};

TEST_F(Stage2, RandomWavesDrawLeaveAngleThenDiveAngleThenX) {
  struct Case {
    int frame;
    std::vector<int> slots;  // the random fairies, in spawn order
    int xBase, xRange;
  };
  const Case cases[] = {{220, {0, 1}, 82, 285}, {250, {6, 7}, 82, 285}, {1120, {1}, 60, 100},
                        {1440, {2}, 260, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frame);
    Begin(2, 1);
    Step();
    g_stageFrame = c.frame;
    const uint32_t before = g_randomCounter;
    Step();
    EXPECT_EQ(DrawsSince(before), 3u * c.slots.size());
    uint32_t counter = before;
    const auto next = [&counter] {
      const uint32_t saved = g_randomCounter;
      g_randomCounter = counter;
      const int value = NextRandom();
      counter = g_randomCounter;
      g_randomCounter = saved;
      return value;
    };
    for (int slot : c.slots) {
      const int leave = next(), dive = next(), x = next();
      const Enemy& e = g_enemies[slot];
      ASSERT_EQ(e.active, 1);
      EXPECT_EQ(e.seg2.angle, 80 + leave % 20);
      EXPECT_EQ(e.seg1.angle, 250 + dive % 40);
      EXPECT_EQ(e.x, c.xBase + x % c.xRange);
      EXPECT_EQ(e.y, 0.0);
    }
  }
}

TEST_F(Stage2, MidBossEndsInlineAndTheWavesResumeAt3330) {
  for (auto [frame, after] : {std::pair{4000, 3331}, std::pair{3000, 3001}}) {
    SCOPED_TRACE(frame);
    StartPhase(2, 1, 1, 2, 3);
    Step(5);
    Played().clear();
    g_stageFrame = frame;
    g_bosses[0].hp = 0;
    Step();
    EXPECT_EQ(g_bossPhase, 0);
    EXPECT_EQ(g_stageFrame, after);
    EXPECT_EQ(PlayedCount(kSeCardEnd), 1);
    EXPECT_EQ(g_bosses[0].remainingCards, 1);
    EXPECT_GT(BossEffects[0].ringCounter, 0) << "the break ring started";
  }
}

TEST_F(Stage2, OrbRingsStartAtTheOrbsWholePixels) {
  StartPhase(2, 2, 2, 2, 3);
  Step(30);
  ASSERT_EQ(g_bosses[0].phaseTimer, 30);
  std::vector<int> orbs;
  for (int slot = 0; slot < kBulletSlots; ++slot) {
    const EnemyBullet& b = g_enemyBullets[slot];
    if (b.state != 0 && b.behaviour == 18) orbs.push_back(slot);
  }
  ASSERT_EQ(orbs.size(), 2u);
  EXPECT_EQ(g_enemyBullets[orbs[0]].behaviourParam, 100);
  Step(89);
  ASSERT_EQ(g_bosses[0].phaseTimer, 119);
  Step();
  const std::vector<const EnemyBullet*> rings = BulletsBornThisStep();
  ASSERT_EQ(rings.size(), 12u);  // two rings of three from each orb on Hard
  for (const EnemyBullet* b : rings) {
    EXPECT_EQ(b->sheet, 4);
    const EnemyBullet& orb = g_enemyBullets[orbs[b->colour == 0 ? 0 : 1]];
    EXPECT_EQ(b->x, std::trunc(orb.x));
    EXPECT_EQ(b->y, std::trunc(orb.y));
  }
}

TEST_F(Stage2, NoOrbWhenThePoolIsFullOrItsSlotWasReused) {
  struct Case {
    const char* what;
    bool fillPool;
    bool reuseOrbA;
    int colour0Bullets, colour2Bullets;
  };
  const Case cases[] = {
      {"pool full when the orbs are made", true, false, 0, 0},
      {"orb A erased and its slot reused", false, true, 0, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartPhase(2, 2, 2, 2, 3);
    Step(29);
    if (c.fillPool) {
      for (EnemyBullet& b : g_enemyBullets) {
        b = EnemyBullet{};
        b.state = 1;
        b.sheet = 6;
        b.behaviour = 666;
        b.triggerAge = 1000;
        b.x = 224;
        b.y = 240;
      }
    }
    Step();
    if (c.fillPool) {
      for (EnemyBullet& b : g_enemyBullets) b.state = 0;
    }
    if (c.reuseOrbA) {
      int orbA = -1;
      for (int slot = 0; slot < kBulletSlots && orbA < 0; ++slot) {
        if (g_enemyBullets[slot].behaviour == 18 && g_enemyBullets[slot].angle < 90) orbA = slot;
      }
      ASSERT_GE(orbA, 0);
      g_enemyBullets[orbA].state = 0;
      SpawnBulletIndexed(4, 0, 0, 0, 100.0, 100.0, 0.0, 0.0, 0.0, 0.0, 0.0);
      ASSERT_NE(g_enemyBullets[orbA].state, 0) << "the freed slot holds a new bullet";
    }
    Step(89);
    Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, 120);
    int colour0 = 0, colour2 = 0;
    for (const EnemyBullet* b : BulletsBornThisStep()) {
      colour0 += b->colour == 0;
      colour2 += b->colour == 2;
    }
    EXPECT_EQ(colour0, c.colour0Bullets);
    EXPECT_EQ(colour2, c.colour2Bullets);
    EXPECT_TRUE(PoolsUntouchedOutside());
  }
}

TEST_F(Stage2, SpokesBendBackOffTheFieldEdgesOnHardAndLunatic) {
  struct Case {
    int difficulty;
    double x2, y2;
    int fullLength;
    bool bends;
  };
  const Case cases[] = {
      {1, 224, 470, 130, false}, {2, 224, 470, 130, true}, {3, 224, 470, 130, true},
      {2, 224, 10, 130, false},  {3, 224, 10, 130, true},  {2, 20, 300, 130, false},
      {3, 20, 300, 130, true},   {3, 430, 300, 130, true}, {3, 224, 470, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.difficulty * 10000 + int(c.x2) * 10 + int(c.y2));
    RunCardTo(c.difficulty, 3, 110);
    g_lasers.Clear();
    Laser& laser = g_lasers[40];
    laser = Laser{};
    laser.state = 2;
    laser.x1 = 224;
    laser.y1 = 240;
    laser.x2 = c.x2;
    laser.y2 = c.y2;
    laser.fullLength = c.fullLength;
    laser.fullWidth = 3;
    laser.colour = 3;
    laser.age = 20;
    laser.lifetime = 800;
    laser.growth = 0.0;
    Step();
    const Laser old = g_lasers[40];
    int made = -1;
    for (int slot = 0; slot < kLaserSlots; ++slot)
      if (slot != 40 && g_lasers[slot].state != 0) made = slot;
    EXPECT_EQ(made >= 0, c.bends);
    EXPECT_EQ(old.state, c.bends ? 1 : 2);
    if (made >= 0) {
      const Laser& back = g_lasers[made];
      EXPECT_EQ(back.x1, old.x2);
      EXPECT_EQ(back.y1, old.y2);
      const double dx = old.x2 - old.x1, dy = old.y2 - old.y1;
      EXPECT_DOUBLE_EQ(back.x2, old.x2 - dx / old.fullLength);
      EXPECT_DOUBLE_EQ(back.y2, old.y2 - dy / old.fullLength);
      EXPECT_EQ(back.lifetime, 800 - old.age);
      EXPECT_EQ(back.triggerAge, -old.age);
      EXPECT_EQ(back.colour, 3);
    }
  }
}

TEST_F(Stage2, FamiliarsCircleTheBossAndCostItHpWhenShotDown) {
  RunCardTo(1, 5, 100);
  const Boss& boss = g_bosses[0];
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(k);
    const Enemy& e = g_enemies[k];
    ASSERT_EQ(e.active, 1);
    EXPECT_EQ(e.seg1.kind, 6.0) << "clockwise in the first cycle";
    EXPECT_EQ(e.seg1.speed, 50.0);
    EXPECT_EQ(e.seg1.age, 300 + 10 * k);
    EXPECT_EQ(e.hp, 120);
  }
  // The first familiar starts to the right of the boss, on a circle of 50 pixels.
  EXPECT_NEAR(g_enemies[0].x - static_cast<int>(boss.x), 50.0, 1e-9);
  EXPECT_NEAR(g_enemies[2].y - static_cast<int>(boss.y), -50.0, 1e-4);

  const int hp = g_bosses[0].hp;
  g_enemies[3].hp = 90;
  g_enemyBullets.Clear();
  Step();
  EXPECT_EQ(g_enemies[3].hp, 0);
  EXPECT_EQ(g_bosses[0].hp, hp - 30);
  int sheet7 = 0, sheet4 = 0;
  for (const EnemyBullet& b : g_enemyBullets) {
    sheet7 += b.state != 0 && b.sheet == 7;
    sheet4 += b.state != 0 && b.sheet == 4;
  }
  EXPECT_EQ(sheet7, 1);
  EXPECT_EQ(sheet4, 4);

  // The next cycle circles the other way.
  for (int guard = 0; guard < 700 && g_bosses[0].phaseTimer != 100; ++guard) Step();
  ASSERT_EQ(g_bosses[0].phaseTimer, 100);
  EXPECT_EQ(g_enemies[0].seg1.kind, 5.0);
}

}  // namespace
