// Pattern emitters: bullet counts, positions and directions; layered fans, orbit
// rings and chains over time; the checks on slots and blocked emitters.
#include <cmath>
#include <functional>
#include <vector>

#include "tests/game/play_fixture.h"

namespace {

class EmitterTest : public PlayTest {
 protected:
  void SetUp() override {
    PlayTest::SetUp();
    ParkPlayer();
  }
  static std::vector<EnemyBullet> Live() {
    std::vector<EnemyBullet> out;
    for (const EnemyBullet& b : g_enemyBullets)
      if (b.state != 0) out.push_back(b);
    return out;
  }
};

TEST_F(EmitterTest, CountsPositionsAndDirections) {
  struct Case {
    const char* name;
    std::function<void()> fire;
    int count;
    // (x, y, angle) of the first and last bullet made.
    double first[3], last[3];
  } cases[] = {
      {"fan of 5 over 40", [] { ShootFan({.sheet = 1, .spawnCode = 1, .n = 5, .spread = 40,
                                          .x = 200, .y = 100, .speed = 1, .speedLimit = 1,
                                          .centre = 270}); }, 5,
       {200, 100, 254}, {200, 100, 286}},
      {"fan count 0 counts 1", [] { ShootFan({.sheet = 1, .spawnCode = 1, .spread = 40, .x = 200,
                                              .y = 100, .speed = 1, .speedLimit = 1,
                                              .centre = 270}); },
       1, {200, 100, 270}, {200, 100, 270}},
      {"ring of 8", [] { ShootRing({.sheet = 1, .spawnCode = 1, .n = 8, .x = 200, .y = 100,
                                    .speed = 1, .speedLimit = 1, .base = 10}); }, 8,
       {200, 100, 10}, {200, 100, 325}},
      {"ring of 3 fans of 2", [] { ShootRingOfFans({.sheet = 1, .spawnCode = 1, .n = 2, .m = 3,
                                                    .spread = 20, .x = 200, .y = 100, .speed = 1,
                                                    .speedLimit = 1}); },
       6, {200, 100, -5}, {200, 100, 245}},
      {"ring on circle r 150", [] { ShootRingOnCircle({.sheet = 1, .spawnCode = 1, .n = 4,
                                                       .radius = 150, .x = 200, .y = 300,
                                                       .speed = 1, .speedLimit = 1, .base = 90}); },
       4, {200, 151, 90}, {349, 300, 360}},
      {"ellipse ring", [] { ShootEllipseRing({.sheet = 1, .n = 4, .radius = 100, .x = 200, .y = 200,
                                              .speed = 1, .speedLimit = 1, .flatness = 0.5}); },
       4, {350, 200, 90}, {200, 250, 360}},
      {"circle formation", [] { ShootCircleFormation({.sheet = 1, .n = 4, .radius = 100, .x = 200,
                                                      .y = 200, .speed = 1, .speedLimit = 1,
                                                      .start = 90, .direction = 45}); },
       4, {200, 299, 45}, {299, 200, 45}},
      {"centred line", [] { ShootCentredLine({.sheet = 1, .spawnCode = 1, .n = 3, .length = 100,
                                              .x = 200, .y = 200, .speed = 1, .speedLimit = 1,
                                              .offset = 90}); },
       3, {150, 200, 90}, {250, 200, 90}},
      {"centred line n 1 counts 2", [] { ShootCentredLine({.sheet = 1, .spawnCode = 1, .n = 1,
                                                           .length = 100, .x = 200, .y = 200,
                                                           .speed = 1, .speedLimit = 1}); },
       2, {150, 200, 0}, {250, 200, 0}},
      {"line", [] { ShootLine({.sheet = 1, .n = 5, .x = 100, .y = 100, .x2 = 300, .y2 = 100,
                               .speed = 1, .speedLimit = 1, .offset = 270}); }, 5,
       {100, 100, 270}, {300, 100, 270}},
      {"layered fan", [] { ShootLayeredFan({.sheet = 1, .spawnCode = 1, .n = 3, .spread = 60,
                                            .layers = 4, .x = 200, .y = 100, .speed = 1,
                                            .accel = 0.1, .speedLimit = 4, .centre = 270,
                                            .layerDelay = 10}); },
       12, {200, 100, 250}, {200, 100, 290}},
      {"square", [] { ShootPolygon({.sheet = 1, .n = 3, .m = 4, .radius = 100, .x = 200, .y = 200,
                                    .speed = 2}); }, 12,
       {100, 200, -45}, {100, 200, -135}},
      {"orbit ring", [] { ShootOrbitRing({.sheet = 1, .n = 6, .radius = 30, .x = 200, .y = 200,
                                          .speed = 1, .speedLimit = 1, .ringColour = 1,
                                          .ringSheet = 2, .ringSpeedLimit = 40, .ringAccel = 0.1,
                                          .ringTurnRate = 2}); },
       7, {200, 200, 0}, {200 + 30 * std::cos(300 * kPi / 180), 200 - 30 * std::sin(300 * kPi / 180), 300}},
      {"chain", [] { ShootBulletChain({.behaviourParam = 30, .n = 5, .x = 200, .y = 100, .speed = 2,
                                       .speedLimit = 2, .angle = 270}); }, 6,
       {200, 100, 270}, {200, 100, 270}},
      {"ring with age", [] { ShootRingWithAge({.spawnCode = 1, .startAge = 7, .n = 6, .x = 200,
                                               .y = 100, .speed = 1, .speedLimit = 1}); }, 6,
       {200, 100, 0}, {200, 100, 300}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_enemyBullets.Clear();
    g_lasers.Clear();
    c.fire();
    std::vector<EnemyBullet> live = Live();
    ASSERT_EQ(static_cast<int>(live.size()), c.count);
    const EnemyBullet& f = live.front();
    const EnemyBullet& l = live.back();
    EXPECT_NEAR(f.x, c.first[0], 1e-3);
    EXPECT_NEAR(f.y, c.first[1], 1e-3);
    EXPECT_NEAR(f.angle, c.first[2], 1e-3);
    EXPECT_NEAR(l.x, c.last[0], 1e-3);
    EXPECT_NEAR(l.y, c.last[1], 1e-3);
    EXPECT_NEAR(l.angle, c.last[2], 1e-3);
  }
}

TEST_F(EmitterTest, RingOnCirclePositionsAreWholePixels) {
  ShootRingOnCircle({.sheet = 1, .spawnCode = 1, .n = 7, .radius = 150, .x = 200.5, .y = 250.0,
                     .speed = 1, .speedLimit = 1, .base = 13});
  for (const EnemyBullet& b : Live()) {
    EXPECT_EQ(b.x - 200.5, std::trunc(b.x - 200.5));
    EXPECT_EQ(b.y, std::trunc(b.y));
  }
}

TEST_F(EmitterTest, SpawnCodeSplitsIntoStateAndAge) {
  ShootRing({.sheet = 1, .spawnCode = 53, .n = 1, .x = 200, .y = 100, .speed = 1, .speedLimit = 1});
  ShootRingWithAge({.spawnCode = 12, .startAge = 9, .n = 1, .x = 200, .y = 100, .speed = 1,
                    .speedLimit = 1});
  int slot = SpawnBulletIndexed(2, 0, 0, 0, 200, 100, 0, 0, 0, 0, 0);
  EXPECT_EQ(g_enemyBullets[0].state, 3);
  EXPECT_EQ(g_enemyBullets[0].age, 5);
  EXPECT_EQ(g_enemyBullets[1].state, 2);
  EXPECT_EQ(g_enemyBullets[1].age, 9);
  EXPECT_EQ(g_enemyBullets[1].sheet, 16);
  EXPECT_EQ(slot, 2);
  EXPECT_EQ(g_enemyBullets[2].state, 4);
  EXPECT_EQ(g_enemyBullets[2].age, 1);
  EXPECT_EQ(g_enemyBullets[2].sheet, 6);
}

TEST_F(EmitterTest, FullPoolSkipsBulletsAndIndexedSpawnGives800) {
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 790, .x = 200, .y = 200});
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 20, .x = 200, .y = 200});
  EXPECT_EQ(LiveBullets(), 800);
  EXPECT_EQ(SpawnBulletIndexed(0, 0, 0, 0, 200, 200, 0, 0, 0, 0, 0), 800);
  // A script writing through slot 800 reaches the dummy, never the pool.
  g_enemyBullets[800].x = 5.0;
  g_enemyBullets[800].state = 1;
  EXPECT_EQ(g_enemyBullets[800].state, 0);
  EXPECT_EQ(LiveBullets(), 800);
}

TEST_F(EmitterTest, EraseBlocksShootEmittersForTheRestOfTheStep) {
  EraseAllBullets();
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 8, .x = 200, .y = 100, .speed = 1, .speedLimit = 1});
  EXPECT_EQ(LiveBullets(), 0);
  EXPECT_LT(SpawnBulletIndexed(0, 0, 0, 0, 200, 100, 0, 0, 0, 0, 0), 800);
  EXPECT_LT(SpawnLaser(1, 100, 100, 100, 200, 0, 100, 3, 10, 100, 0), 80);
  Step();
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 8, .x = 200, .y = 100, .speed = 1, .speedLimit = 1});
  EXPECT_EQ(LiveBullets(), 9);
}

TEST_F(EmitterTest, LayeredFanLayersReachFullSpeedLayerDelayApart) {
  const int layers = 4;
  const double delay = 12.0;
  ShootLayeredFan({.sheet = 1, .spawnCode = 1, .n = 1, .layers = layers, .x = 224, .y = 100,
                   .speed = 1.0, .accel = 0.1, .speedLimit = 3.0, .centre = 270,
                   .layerDelay = delay});
  int reached[layers];
  for (int j = 0; j < layers; ++j) reached[j] = -1;
  for (int step = 1; step <= 200; ++step) {
    Step();
    for (int j = 0; j < layers; ++j)
      if (reached[j] < 0 && g_enemyBullets[j].speed >= 3.0) reached[j] = step;
  }
  for (int j = 0; j < layers; ++j) {
    EXPECT_NEAR(g_enemyBullets[j].accel, 0.1 / (1 + j * 0.1 * delay / 2.0), 1e-12);
    ASSERT_GT(reached[j], 0);
    EXPECT_NEAR(reached[j] - reached[0], j * delay, 1.0) << "layer " << j;
  }
}

TEST_F(EmitterTest, LayeredFanEqualSpeedsStartOneBelowLimit) {
  ShootLayeredFan({.sheet = 1, .spawnCode = 1, .n = 1, .layers = 2, .x = 224, .y = 100,
                   .speed = 3.0, .accel = 0.1, .speedLimit = 3.0, .centre = 270, .layerDelay = 10});
  EXPECT_EQ(g_enemyBullets[0].speed, 2.0);
  EXPECT_EQ(g_enemyBullets[1].speedLimit, 3.0);
}

TEST_F(EmitterTest, OrbitRingFollowsItsCentreAndIsDroppedWithIt) {
  ShootOrbitRing({.sheet = 1, .n = 6, .radius = 30, .x = 224, .y = 150, .speed = 2, .speedLimit = 2,
                  .base = 270, .ringColour = 1, .ringSheet = 2, .ringSpeedLimit = 30,
                  .ringTurnRate = 3});
  for (int step = 0; step < 20; ++step) {
    Step();
    const EnemyBullet& centre = g_enemyBullets[0];
    for (int k = 1; k <= 6; ++k) {
      const EnemyBullet& ring = g_enemyBullets[k];
      ASSERT_NE(ring.state, 0);
      EXPECT_NEAR(std::hypot(ring.x - centre.x, ring.y - centre.y), 30.0, 1e-9);
    }
  }
  EXPECT_NEAR(g_enemyBullets[0].y, 190.0, 1e-6);  // the centre moved down 2 a step
  g_enemyBullets[0].state = 0;                     // a script frees the centre
  Step();
  EXPECT_EQ(LiveBullets(), 0);
}

TEST_F(EmitterTest, OrbitRingRingsNotCapturedByANewBulletInTheCentreSlot) {
  ShootOrbitRing({.sheet = 1, .n = 4, .radius = 30, .x = 224, .y = 150, .ringColour = 1,
                  .ringSheet = 2, .ringSpeedLimit = 30});
  g_enemyBullets[0].state = 0;
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 1, .x = 100, .y = 100});  // reuses slot 0
  Step();
  EXPECT_EQ(LiveBullets(), 1);
}

TEST_F(EmitterTest, ChainFollowersTrailTheHead) {
  ShootBulletChain({.colour = 1, .behaviourParam = 1000, .n = 4, .x = 224, .y = 60, .speed = 3,
                    .speedLimit = 3, .turnRate = 2, .angle = 270});
  EXPECT_EQ(LiveLasers(), 1);
  std::vector<std::pair<double, double>> headPath;
  for (int step = 0; step < 30; ++step) {
    headPath.emplace_back(g_enemyBullets[0].x, g_enemyBullets[0].y);
    Step();
    if (step < 6) continue;
    int steps = static_cast<int>(headPath.size());
    for (int k = 1; k <= 4; ++k) {
      const EnemyBullet& follower = g_enemyBullets[k];
      // Follower k stands where the head stood k steps ago (k - 1 starts of step back).
      EXPECT_NEAR(follower.x, headPath[steps - k].first, 1e-9) << "follower " << k;
      EXPECT_NEAR(follower.y, headPath[steps - k].second, 1e-9) << "follower " << k;
    }
  }
  double followerSpeed = std::hypot(g_enemyBullets[1].x - g_enemyBullets[2].x,
                                    g_enemyBullets[1].y - g_enemyBullets[2].y);
  g_enemyBullets[0].state = 0;  // the head is gone: follower 1 flies on straight
  double angle = g_enemyBullets[1].angle;
  Step(3);
  EXPECT_EQ(g_enemyBullets[1].behaviour, 0);
  EXPECT_NEAR(g_enemyBullets[1].angle, angle, 1e-9);
  EXPECT_NEAR(g_enemyBullets[1].speed, followerSpeed, 0.2);
}

}  // namespace
