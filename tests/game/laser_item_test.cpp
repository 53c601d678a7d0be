// Lasers over their life, the erase on bullets and lasers, item drops and collection.
#include <cmath>

#include "tests/game/play_fixture.h"

namespace {

class LaserTest : public PlayTest {
 protected:
  void SetUp() override {
    PlayTest::SetUp();
    ParkPlayer();
  }
  static double Length(const Laser& l) { return std::hypot(l.x2 - l.x1, l.y2 - l.y1); }
};

TEST_F(LaserTest, GrowsToFullLengthThenTravelsUnlessStandingOrOfNoLength) {
  ASSERT_EQ(SpawnLaser(1, 100, 100, 100, 110, 5.0, 50, 3, 10, 300, 0), 0);
  SpawnLaser(3, 150, 100, 150, 110, 5.0, 30, 3, 10, 300, 0);  // state 3: grows, stays
  SpawnLaser(1, 200, 100, 200, 100, 5.0, 30, 3, 10, 300, 0);  // zero length
  SpawnLaser(1, 50, 200, 350, 200, 0.0, 100, 3, 10, 300, 0);  // laid long, growth 0
  Step(8);  // 10 + 8 x 5 = 50
  EXPECT_NEAR(Length(g_lasers[0]), 50.0, 1e-9);
  EXPECT_NEAR(g_lasers[0].y1, 100.0, 1e-9);
  Step(4);
  EXPECT_NEAR(Length(g_lasers[0]), 50.0, 1e-9);
  EXPECT_NEAR(g_lasers[0].y1, 120.0, 1e-9);  // the near end follows
  EXPECT_NEAR(g_lasers[0].y2, 170.0, 1e-9);
  EXPECT_NEAR(g_lasers[1].y1, 100.0, 1e-9);
  EXPECT_NEAR(g_lasers[1].y2, 130.0, 1e-9);
  EXPECT_EQ(g_lasers[2].y2, 100.0);
  EXPECT_EQ(g_lasers[3].x1, 50.0);
  EXPECT_EQ(g_lasers[3].x2, 350.0);
}

TEST_F(LaserTest, FreedAtLifetimeAndOnLeavingUnlessState3) {
  SpawnLaser(1, 100, 100, 100, 110, 0.0, 10, 3, 0, 5, 0);
  SpawnLaser(1, 0, 100, 10, 100, 0.0, 10, 3, 0, 500, 0);      // on the edge of W(32)
  SpawnLaser(1, -0.5, 100, 10, 100, 0.0, 10, 3, 0, 500, 0);   // just outside
  SpawnLaser(1, -100, 100, 10, 100, 0.0, 10, 3, 0, 500, 0);
  SpawnLaser(3, -100, 100, 0, 100, 0.0, 10, 3, 0, 500, 0);
  Step(4);
  EXPECT_EQ(g_lasers[0].state, 1);
  EXPECT_EQ(g_lasers[1].state, 1);
  EXPECT_EQ(g_lasers[2].state, 0);
  EXPECT_EQ(g_lasers[3].state, 0);
  EXPECT_EQ(g_lasers[4].state, 3);
  Step(1);
  EXPECT_EQ(g_lasers[0].state, 0);
}

TEST_F(LaserTest, HitWidthOverItsLife) {
  Laser l{};
  l.fullWidth = 6;
  l.triggerAge = 10;
  l.lifetime = 100;
  const int ages[] = {0, 10, 12, 13, 18, 28, 60, 82, 90, 97, 99};
  const int widths[] = {-3, 0, 0, 1, 2, 6, 6, 6, 3, 1, 0};
  for (int k = 0; k < 11; ++k) {
    l.age = ages[k];
    EXPECT_EQ(LaserHitWidth(l), widths[k]) << "age " << ages[k];
  }
}

TEST_F(LaserTest, HitsThePlayerOnceWideEnough) {
  g_player.x = 200;
  g_player.y = 305;
  g_player.invulnerable = 0;
  SpawnLaser(1, 50, 300, 350, 300, 0.0, 300, 6, 10, 100, 0);
  Step(18);  // age 18: h 2, 2 + 2.5 < 5
  EXPECT_EQ(g_player.state, 0);
  Step(1);   // age 19: h 3
  EXPECT_EQ(g_player.state, -1);
}

TEST_F(LaserTest, EraseFreesWideningLasersAndShortensTheRest) {
  struct Case {
    int age, expectState, expectAge;
  } cases[] = {
      {5, 0, 0},     // before the trigger
      {27, 0, 0},    // widening: below 10 + 18
      {28, 1, 82},   // formed: narrowed to lifetime - 18
      {90, 1, 90},   // already narrowing: never lengthened
  };
  for (const Case& c : cases) {
    g_lasers.Clear();
    SpawnLaser(1, 100, 100, 100, 200, 0.0, 100, 6, 10, 100, 0);
    g_lasers[0].age = c.age;
    EraseAllBullets();
    EXPECT_EQ(g_lasers[0].state, c.expectState) << "age " << c.age;
    if (c.expectState) {
      EXPECT_EQ(g_lasers[0].age, c.expectAge) << "age " << c.age;
    }
  }
  g_lasers.Clear();
  SpawnLaser(1, 100, 100, 100, 200, 0.0, 100, 6, 10, 100, 0);
  g_lasers[0].age = 40;
  EraseAllBullets();
  Step(17);
  EXPECT_EQ(g_lasers[0].state, 1);
  Step(1);
  EXPECT_EQ(g_lasers[0].state, 0);  // freed 3 x fullWidth steps after the erase
}

TEST_F(LaserTest, EraseTurnsBulletsIntoStarsExceptHarmlessOnes) {
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 10, .x = 224, .y = 150});
  ShootRing({.sheet = 1, .spawnCode = 1, .behaviour = 25, .behaviourParam = 30, .n = 3, .x = 224,
             .y = 150});
  ShootRing({.sheet = 1, .spawnCode = 1, .behaviour = 666, .behaviourParam = 30, .n = 2, .x = 224,
             .y = 150});
  SpawnBulletIndexed(0, 0, 0, 0, 224, 150, 0, 0, 0, 0, 0);
  EraseAllBullets();
  EXPECT_EQ(LiveBullets(), 0);
  EXPECT_EQ(LiveItems(4), 10);
  for (const Item& item : g_items)
    if (item.active) {
      EXPECT_EQ(item.attraction, 2.0);
    }
}

class ItemTest : public PlayTest {
 protected:
  void SetUp() override {
    PlayTest::SetUp();
    ParkPlayer();
    g_player.y = 449;
  }
};

TEST_F(ItemTest, DropsWithFullPowerConversion) {
  struct Case {
    int power, dropPower, dropPoint, dropSpecial;
    int large, small, point, star;
  } cases[] = {
      {0, 10, 1, 1, 1, 2, 1, 1},
      {128, 10, 1, 1, 0, 0, 6, 1},
      {128, 7, 1, 0, 0, 7, 1, 0},  // fewer than 8 stay power items
      {127, 16, 0, 0, 2, 0, 0, 0},
  };
  for (const Case& c : cases) {
    g_items.Clear();
    g_player.power = c.power;
    InitBoss(1, 0, 1, 224, 100);
    g_bosses[1].dropPower = c.dropPower;
    g_bosses[1].dropPoint = c.dropPoint;
    g_bosses[1].dropSpecial = c.dropSpecial;
    SpawnItems(2, 1);
    EXPECT_EQ(LiveItems(1), c.large);
    EXPECT_EQ(LiveItems(0), c.small);
    EXPECT_EQ(LiveItems(2), c.point);
    EXPECT_EQ(LiveItems(3), c.star);
  }
  g_items.Clear();
  SpawnItems(2, 3);
  SpawnItems(1, 30);
  SpawnItems(3, 0);
  SpawnItems(1, -1);
  EXPECT_EQ(LiveItems(), 0);
}

TEST_F(ItemTest, ScatterPatternAndFall) {
  SpawnEnemy(0, 10, 0, 0, 1000, 0, 1000, 0, 0, 0, 4, 200, 100, 0, 0, 0, 0);
  SpawnItems(1, 0);
  const double vx[] = {-1.6, 0.4, -1.2, 0.8};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(g_items[i].vx, vx[i], 1e-12);
    EXPECT_NEAR(g_items[i].vy, -3.0 - i * 0.25, 1e-12);
  }
  g_items.Clear();
  SpawnItems(1, 0);
  g_items.Clear();
  g_enemies[0].dropPoint = 1;
  SpawnItems(1, 0);
  EXPECT_EQ(g_items[0].vx, 0.0);
  Step(100);
  EXPECT_NEAR(g_items[0].vy, 2.5, 1e-9);
}

TEST_F(ItemTest, CollectionValues) {
  g_player.pointRate = 1.5;
  g_player.power = 31;
  AddItem(2, g_player.x, g_player.y, 0, 1, 0.0);   // point at y 449: f = 1 - 299/630
  AddItem(0, g_player.x, g_player.y, 0, 1, 0.0);   // power crosses 32
  int scoreBefore = g_player.score;
  Step();
  int value = 10 * static_cast<int>(1000.0 * 1.5 * (1.0 - 299.0 / 630.0));
  EXPECT_EQ(g_player.score - scoreBefore, value);
  EXPECT_EQ(g_player.power, 32);
  EXPECT_EQ(LiveItems(), 0);
}

TEST_F(ItemTest, NothingCollectedWhileThePlayerIsDown) {
  g_player.state = -10;
  AddItem(3, g_player.x, g_player.y - 30, 0, 1, 2.0);
  Step();
  EXPECT_EQ(LiveItems(), 1);
}

}  // namespace
