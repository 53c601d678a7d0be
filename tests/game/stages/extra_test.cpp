// The Extra stage and its cards, headless through the step runner.
#include "game/stages/extra_stage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/content/content_text.h"
#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

class Extra : public PlayFixture {};

TEST_F(Extra, BulletChangeKillsEveryEnemyAndFreezesEveryBulletWithOneDrawEach) {
  StartAt(8, 4, 4615);
  PlaceEnemy(3, 40, 10, 100);
  ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .n = 12, .x = 224, .y = 200, .speed = 3.0,
             .accel = 0.1, .speedLimit = 4.0, .turnRate = 1.0});
  const uint32_t before = g_randomCounter;
  int live = 0;
  for (const EnemyBullet& b : g_enemyBullets) live += b.state != 0;
  // Run the timeline alone for this frame so nothing else draws.
  UseScript([] { RunExtraWaves(); });
  Step();
  EXPECT_EQ(DrawsSince(before), static_cast<uint32_t>(live));
  EXPECT_EQ(g_enemies[3].hp, 0);
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0) continue;
    EXPECT_EQ(b.sheet, 13);
    EXPECT_EQ(b.colour, 4);
    EXPECT_EQ(b.behaviour, 5);
    EXPECT_EQ(b.triggerAge, 30);
    EXPECT_EQ(b.speedLimit, 2.0);
  }
  EXPECT_EQ(PlayedCount(kSeAttackBell), 1);
}

TEST_F(Extra, ClearBonusFollowsLivesBombsGrazeAndPointRate) {
  struct Case {
    int lives, bombs, graze;
    double rate;
    int bonus;
  };
  const Case cases[] = {{0, 0, 0, 1.0, 10000000},
                        {1, 0, 0, 1.0, 12500000},
                        {0, 1, 0, 1.0, 11250000},
                        {0, 0, 4, 1.0, 10001000},
                        {2, 3, 100, 1.0, 10000000 + 5000000 + 3750000 + 25000}};
  Begin(8, 4);
  Step();
  for (const Case& c : cases) {
    g_player.lives = c.lives;
    g_player.bombs = c.bombs;
    g_player.graze = c.graze;
    g_player.pointRate = c.rate;
    EXPECT_EQ(ExtraClearBonus(), c.bonus) << c.lives << c.bombs << c.graze;
  }
  // The notice's digits stand right-aligned with the units at x 272, and the score rises.
  g_player.lives = 1;
  g_player.bombs = g_player.graze = 0;
  g_player.pointRate = 1.0;
  const int score = g_player.score;
  g_stageFrame = kExtraClear;
  UseScript([] { RunExtraWaves(); });
  Step();
  EXPECT_EQ(g_player.score - score, 12500000);
  std::vector<int> xs;
  for (const Notice& n : LiveNotices()) xs.push_back(n.x);
  EXPECT_NE(std::find(xs.begin(), xs.end(), 272), xs.end());
  EXPECT_NE(std::find(xs.begin(), xs.end(), 272 - 16 * 7), xs.end());
}

// Phase 7's card leads straight into phase 8 with the boss still up; phase 8's card ends
// with the blast, and the aftermath resumes the waves at 7100. The window holds the frame.
TEST_F(Extra, MeetingFourEndsWithTheBlastAndResumesAt7100) {
  Begin(8, 4);
  Step();
  g_player.invulnerable = 1 << 20;
  // The fight alone, with the blast that RunStage advances.
  UseScript([] {
    RunExtraBossFight();
    RunBossExplosion(1);
  });
  InitBoss(0, 1, 5, 224.0, 150.0);
  g_stageFrame = 6800;
  g_bossPhase = 7;
  auto beatAt = [this](int timer) {
    for (int k = 0; k < 600 && g_bosses[0].phaseTimer != timer; ++k) Step();
    g_bosses[0].hp = 0;
    Step();
  };
  beatAt(5);  // the non-spell
  EXPECT_EQ(g_spellBackground, 1);
  beatAt(120);  // card 105
  EXPECT_EQ(g_bossPhase, 8);
  EXPECT_NE(g_bosses[0].state, 3);
  EXPECT_EQ(PlayedCount(kSeCardEnd), 0);  // 105 keeps its end silent
  g_stageFrame = 7100;
  Step();
  EXPECT_EQ(g_stageFrame, 6740 + 1);
  beatAt(5);
  beatAt(120);  // card 106: the blast
  EXPECT_EQ(g_bosses[0].state, 3);
  for (int k = 0; k < 60 && g_bossPhase != 0; ++k) Step();
  EXPECT_EQ(g_bossPhase, 0);
  EXPECT_EQ(g_stageFrame, 7101);
}

// Each meeting's aftermath sends the waves on from its resume frame with a ring and a
// shake; only the sixth, after the boss fight, stops the boss music first (the last
// fight's music comes with the second conversation).
TEST_F(Extra, OnlyTheSixthMeetingsAftermathStopsTheMusic) {
  struct Case {
    int phase, resume, stops;
  };
  const Case cases[] = {{2, 1700, 0}, {4, 3500, 0},  {6, 5300, 0},
                        {9, 7100, 0}, {12, 8900, 0}, {15, 20000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    StartPhase(8, 4, c.phase, 1, 4);
    g_stageFrame = c.resume - 100;
    g_currentMusic = 14;
    StopCount() = 0;
    Step();
    EXPECT_EQ(StopCount(), c.stops);
    EXPECT_EQ(g_currentMusic, c.stops == 1 ? -1 : 14);
    EXPECT_EQ(g_bossPhase, 0);
    EXPECT_EQ(g_stageFrame, c.resume + 1);
    EXPECT_EQ(g_shakeTotal, 30);
  }
}

TEST_F(Extra, CardFactsAtNamedTimers) {
  // 104: every bullet of a cycle reaches its trigger on the same step.
  RunCardTo(4, 2, 150);
  int offset = -1000;
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0 || b.behaviour != 124) continue;
    if (offset == -1000) offset = b.age - b.triggerAge;
    EXPECT_EQ(b.age - b.triggerAge, offset);
  }
  EXPECT_NE(offset, -1000);

  // 106: the emitters fire every 3 steps, every 6 once the card has raised the speed.
  RunCardTo(4, 4, 99);
  std::vector<int> volleys;
  for (int k = 0; k < 300; ++k) {
    Step();
    if (!BulletsBornThisStep().empty()) volleys.push_back(g_bosses[0].phaseTimer);
  }
  for (int t : volleys) EXPECT_EQ(t % (t <= 275 ? 3 : 6), 0) << t;
  EXPECT_GT(volleys.size(), 60u);

  // 111: a bullet in spawn state 2 on the first lattice line (from the centre at 0 degrees)
  // is mirrored once: it drops to state 1 and a copy flies at minus its angle.
  RunCardTo(4, 9, 100);
  g_enemyBullets.Clear();
  EnemyBullet& b = g_enemyBullets[0];
  b = EnemyBullet{};
  b.state = 2;
  b.x = 300;
  b.y = 179;
  b.angle = 30;
  b.sheet = 1;
  b.colour = 2;
  b.speedLimit = 0;
  Step();
  EXPECT_EQ(g_enemyBullets[0].state, 1);
  int mirrored = 0;
  for (const EnemyBullet& m : g_enemyBullets) {
    if (m.state != 0 && m.x == 300 && m.angle == -30) ++mirrored;
  }
  EXPECT_EQ(mirrored, 1);

  // 113: at 450 the star stands on its own lines (k = 0).
  RunCardTo(4, 11, 450);
  const double r = g_attackScratch.values[2];
  const double top = g_attackScratch.values[1] - r * std::cos(72 * kPi / 180);
  int onTop = 0;
  for (const Laser& l : g_lasers) onTop += l.state == 3 && std::fabs(l.y1 - top) < 1e-6;
  EXPECT_EQ(onTop, 1);
  EXPECT_EQ(r, 100);

  // 118: its 120-step pattern stops at 1600 although the card runs to 1800.
  RunCardTo(4, 16, 1600);
  for (int k = 0; k < 150; ++k) {
    Step();
    EXPECT_TRUE(BulletsBornThisStep().empty()) << g_bosses[0].phaseTimer;
  }
}

// With the pool full when card 106 makes its emitters it keeps none, and fires from none
// later, rather than from whatever the counted-down slots hold.
TEST_F(Extra, EmittersNotMadeForAFullPoolNeverFire) {
  RunCardTo(4, 4, 69);
  for (EnemyBullet& b : g_enemyBullets) {
    b.state = 1;
    b.y = 240;
    b.x = 100;
    b.sheet = 4;
  }
  Step();  // t 70: no slot free
  g_enemyBullets.Clear();
  for (int k = 0; k < 40; ++k) {
    Step();
    EXPECT_TRUE(BulletsBornThisStep().empty()) << g_bosses[0].phaseTimer;
  }
}

}  // namespace
