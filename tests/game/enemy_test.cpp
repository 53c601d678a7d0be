// Enemies: the angle code with its guard, easing at the segment ends, the motion kinds.
#include <cmath>

#include "tests/game/play_fixture.h"

namespace {

class EnemyTest : public PlayTest {};

// An angle code decoded at spawn, with the random draws it must take.
TEST_F(EnemyTest, AngleCodeAimsOffsetsAndSpreads) {
  g_player.x = 300.0;
  g_player.y = 400.0;
  const double ex = 100.0, ey = 100.0;
  const double aim = AngleToPlayer(ex, ey);
  struct Case {
    double code;
    bool draws;
    double spread;  // w of 360 + w / 1080 + w
    double base;
  } cases[] = {
      {720.0, false, 0, aim},     {750.0, false, 0, aim + 30.0}, {100.0, false, 0, 100.0},
      {-45.0, false, 0, -45.0},   {0.0, false, 0, 0.0},          {400.0, true, 40, 0.0},
      {1120.0, true, 40, aim},    {360.0, false, 0, 360.0},
  };
  for (const Case& c : cases) {
    uint32_t before = g_randomCounter;
    int draw = PeekRandom();
    SpawnEnemy(3, 10, 0, 1, 1000, 1, 1000, 0, 0, 0, 0, ex, ey, 1.0, c.code, 0.0, 0.0);
    double expected = c.base;
    if (c.draws) expected += draw % static_cast<int>(c.spread) - c.spread / 2.0;
    EXPECT_NEAR(g_enemies[3].seg1.angle, expected, 1e-9) << "code " << c.code;
    EXPECT_EQ(g_randomCounter != before, c.draws) << "code " << c.code;
  }
}

TEST_F(EnemyTest, AngleCodeGuardJustAbove360StillDraws) {
  uint64_t before = g_nextRandomCalls;
  SpawnEnemy(0, 10, 0, 1, 1000, 1, 1000, 0, 0, 0, 0, 100, 100, 1.0, 360.5, 0.0, 0.0);
  EXPECT_EQ(g_nextRandomCalls, before + 1);  // exactly one draw
  EXPECT_DOUBLE_EQ(g_enemies[0].seg1.angle, -0.25);
}

TEST_F(EnemyTest, SecondSegmentDecodedWhenItStarts) {
  g_player.x = 224.0;
  g_player.y = 400.0;
  SpawnEnemy(0, 10, 0, 1, 5, 1, 8, 0, 0, 0, 0, 0.0, 100.0, 1.0, 0.0, 1.0, 720.0);
  EXPECT_EQ(g_enemies[0].seg2.angle, 720.0);
  Step(7);
  EXPECT_EQ(g_enemies[0].age, 7);
  EXPECT_EQ(g_enemies[0].seg2.angle, 720.0);
  Step(1);
  EXPECT_NEAR(g_enemies[0].seg2.angle, AngleToPlayer(g_enemies[0].x, g_enemies[0].y), 2.0);
}

TEST_F(EnemyTest, SpawnInsideFieldStartsAtMinusTen) {
  SpawnEnemy(1, 10, 0, 1, 100, 1, 100, 0, 0, 0, 0, 224.0, 100.0, 1.0, 270.0, 0, 0);
  SpawnEnemy(2, 10, 0, 1, 100, 1, 100, 0, 0, 0, 0, 0.0, 100.0, 1.0, 0.0, 0, 0);
  SpawnEnemy(30, 10, 0, 1, 100, 1, 100, 0, 0, 0, 0, 0.0, 100.0, 1.0, 0.0, 0, 0);
  SpawnEnemy(-1, 10, 0, 1, 100, 1, 100, 0, 0, 0, 0, 0.0, 100.0, 1.0, 0.0, 0, 0);
  EXPECT_EQ(g_enemies[1].age, -10);
  EXPECT_EQ(g_enemies[2].age, 0);
  EXPECT_EQ(g_enemies.dummy().active, 0);
}

// Per-step distance along a straight path gives the eased speed.
TEST_F(EnemyTest, EasingAtTheSegmentEnds) {
  SpawnEnemy(0, 10, 0, 1, 60, 1, 100, 0, 0, 0, 0, 0.0, 200.0, 2.0, 0.0, 3.0, 0.0);
  double speedAt[200] = {};
  for (int step = 1; step <= 140; ++step) {
    double before = g_enemies[0].x;
    Step();
    speedAt[g_enemies[0].age] = g_enemies[0].x - before;
  }
  EXPECT_NEAR(speedAt[29], 2.0, 1e-9);
  EXPECT_NEAR(speedAt[30], 2.0, 1e-9);                          // t1 - age = 30
  EXPECT_NEAR(speedAt[59], 2.0 * (0.1 + 0.9 / 30.0), 1e-9);     // last step of segment 1
  EXPECT_NEAR(speedAt[60], 0.0, 1e-12);                         // standing still
  EXPECT_NEAR(speedAt[99], 0.0, 1e-12);
  EXPECT_NEAR(speedAt[100], 3.0 * 0.1, 1e-9);                   // first step of segment 2
  EXPECT_NEAR(speedAt[129], 3.0 * (0.1 + 0.9 * 29.0 / 30.0), 1e-9);
  EXPECT_NEAR(speedAt[130], 3.0, 1e-9);
}

TEST_F(EnemyTest, MotionKinds) {
  InitBoss(0, 0, 1, 224.0, 150.0);
  g_player.x = 380.0;
  g_player.y = 400.0;
  struct Case {
    int kind, turnFlag, steps;
    double x, y, speed, angle;
    void (*check)(const Enemy& e, double x0, double y0);
  } cases[] = {
      {0, 0, 20, 100, 100, 3.0, 0.0,
       [](const Enemy& e, double x0, double y0) {
         EXPECT_EQ(e.x, x0);
         EXPECT_EQ(e.y, y0);
       }},
      {1, 0, 20, 100, 100, 2.0, 270.0,
       [](const Enemy& e, double x0, double y0) {
         EXPECT_NEAR(e.x, x0, 1e-3);
         EXPECT_NEAR(e.y, y0 + 40.0, 1e-9);
       }},
      {2, 1, 20, 100, 100, 1.0, 270.0,  // drift 0.02 n to the right, n = age (from 1)
       [](const Enemy& e, double x0, double y0) {
         EXPECT_NEAR(e.x - x0, 0.02 * (20 * 21 / 2), 1e-3);
         EXPECT_NEAR(e.y, y0 + 20.0, 1e-3);
       }},
      {3, 1, 120, 100, 100, 1.0, 0.0,
       [](const Enemy& e, double, double) { EXPECT_NEAR(e.seg1.angle, 90.0, 1e-9); }},
      {3, 0, 120, 300, 100, 1.0, 0.0,
       [](const Enemy& e, double, double) { EXPECT_NEAR(e.seg1.angle, -90.0, 1e-9); }},
      {4, 1, 120, 100, 100, 1.0, 0.0,
       [](const Enemy& e, double, double) { EXPECT_NEAR(e.seg1.angle, 180.0, 1e-9); }},
      {5, 0, 20, 0, 0, 50.0, 0.0,
       [](const Enemy& e, double, double) {
         EXPECT_NEAR(e.seg1.angle, 30.0, 1e-9);
         EXPECT_NEAR(std::hypot(e.x - 224.0, e.y - 150.0), 50.0, 1e-9);
         EXPECT_LT(e.y, 150.0);  // counter-clockwise with y up: above the boss
       }},
      {6, 0, 20, 0, 0, 50.0, 0.0,
       [](const Enemy& e, double, double) {
         EXPECT_NEAR(e.seg1.angle, -30.0, 1e-9);
         EXPECT_GT(e.y, 150.0);
       }},
      {7, 1, 60, 100, 100, 1.0, 270.0,  // a whole weave period: sideways cancels
       [](const Enemy& e, double x0, double) {
         EXPECT_NEAR(e.x, x0, 0.05);
         EXPECT_EQ(e.seg1.angle, 270.0);
       }},
      {8, 1, 120, 100, 100, 1.0, 270.0,
       [](const Enemy& e, double x0, double) {
         EXPECT_NEAR(e.x, x0, 0.05);
         EXPECT_EQ(e.seg1.angle, 270.0);
       }},
      {9, 0, 30, 100, 100, 1.0, 90.0,  // turns toward the player at 1 degree a step
       [](const Enemy& e, double, double) { EXPECT_NEAR(e.seg1.angle, 60.0, 1e-9); }},
      {10, 0, 20, 40, 100, 2.0, 180.0,  // bounces off the left edge
       [](const Enemy& e, double, double) {
         EXPECT_NEAR(e.seg1.angle, 0.0, 1e-9);
         EXPECT_GT(e.x, 32.0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    // Spawn outside F so the age starts at 0 (orbits place themselves at once).
    double x = c.x, y = c.y;
    SpawnEnemy(0, 10, c.turnFlag, c.kind, 10000, c.kind, 10000, 0, 0, 0, 0, x, y, c.speed,
               c.angle, 0.0, 0.0);
    g_enemies[0].age = 0;
    Step(c.steps);
    ASSERT_EQ(g_enemies[0].active, 1);
    c.check(g_enemies[0], x, y);
  }
}

TEST_F(EnemyTest, DeathDropsAndScores) {
  SpawnEnemy(0, 1, 0, 0, 1000, 0, 1000, 6, 9, 1, 2, 200.0, 100.0, 0, 0, 0, 0);
  SpawnEnemy(1, 1, 0, 0, 1000, 0, 1000, 1, 0, 0, 0, 100.0, 100.0, 0, 0, 0, 0);
  g_enemies[0].hp = 0;
  g_enemies[1].hp = -3;
  int scoreBefore = g_player.score;
  Step();
  EXPECT_EQ(g_enemies[0].active, 0);
  EXPECT_EQ(g_enemies[1].active, 0);
  EXPECT_EQ(g_player.score - scoreBefore, 1100);
  EXPECT_EQ(LiveItems(1), 1);  // 9 power: one large, one small
  EXPECT_EQ(LiveItems(0), 1);
  EXPECT_EQ(LiveItems(2), 2);
  EXPECT_EQ(LiveItems(3), 1);
}

TEST_F(EnemyTest, LeavingBeyond64PixelsFreesWithoutDrop) {
  SpawnEnemy(0, 10, 0, 1, 1000, 1, 1000, 0, 5, 5, 5, 0.0, 100.0, 10.0, 180.0, 0, 0);
  int scoreBefore = g_player.score;
  Step(3);  // x 0 -> -30: still alive
  EXPECT_EQ(g_enemies[0].active, 1);
  Step(1);  // -40 < 32 - 64
  EXPECT_EQ(g_enemies[0].active, 0);
  EXPECT_EQ(LiveItems(), 0);
  EXPECT_EQ(g_player.score, scoreBefore);
}

}  // namespace
