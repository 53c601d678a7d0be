// Every bullet behaviour number, each checked at its trigger: one table.
#include <algorithm>
#include <cmath>
#include <functional>

#include "tests/game/play_fixture.h"

namespace {

struct Shape {
  double x = 224, y = 200, speed = 0, accel = 0, limit = 0, turn = 0, angle = 0;
  int sheet = 1, state = 1;
};

struct Row {
  const char* name;
  int behaviour, param, trigger;
  Shape shape;
  int steps;
  std::function<void(const EnemyBullet&)> check;
  std::function<void()> prepare = nullptr;
};

class BehaviourTest : public PlayTest {};

constexpr double kTol = 1e-6;
double AimDown() { return AngleToPlayer(224, 200); }  // the player stands below

TEST_F(BehaviourTest, EachBehaviourAtItsTrigger) {
  const Row rows[] = {
      {"1 turn by p", 1, 30, 5, {.angle = 10}, 5,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, 40, kTol); }},
      {"1 aim with offset", 1, 750, 5, {.angle = 10}, 5,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, AimDown() + 30, kTol); }},
      {"1 negative p", 1, -20, 5, {.angle = 10}, 5,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, -10, kTol); }},
      {"2 aim plus p", 2, 15, 4, {}, 4,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, AimDown() + 15, kTol); }},
      {"3 stops turning", 3, 0, 4, {.turn = 5}, 4,
       [](const EnemyBullet& b) { EXPECT_EQ(b.turnRate, 0); EXPECT_NEAR(b.angle, 20, kTol); }},
      {"4 accel over p steps", 4, 10, 2, {.limit = 3}, 2,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.accel, 0.3, kTol); }},
      {"4 p 0 full speed", 4, 0, 2, {.limit = 3}, 2,
       [](const EnemyBullet& b) { EXPECT_EQ(b.speed, 3); }},
      {"5 accel over 10p steps", 5, 10, 2, {.limit = -3}, 2,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.accel, -0.03, kTol); }},
      {"6 halts", 6, 5, 3, {.speed = 2, .limit = 2}, 7,
       [](const EnemyBullet& b) { EXPECT_EQ(b.speed, 0); EXPECT_EQ(b.state, 1); }},
      {"6 vanishes p later", 6, 5, 3, {.speed = 2, .limit = 2}, 8,
       [](const EnemyBullet& b) { EXPECT_EQ(b.state, 0); }},
      {"9 backs off", 9, 4, 2, {}, 2,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, AimDown(), kTol); EXPECT_EQ(b.speed, -2); }},
      {"10 bounce left", 10, 1, 0, {.x = 34, .speed = 5, .limit = 5, .angle = 180}, 1,
       [](const EnemyBullet& b) {
         EXPECT_EQ(b.x, 32);
         EXPECT_NEAR(b.angle, 0, kTol);
         EXPECT_EQ(b.behaviourParam, 0);
       }},
      {"10 kept with 9xxxx", 10, 90001, 0, {.x = 34, .speed = 5, .limit = 5, .angle = 180}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.behaviourParam, 90001); }},
      {"10 disabled edge", 10, 10, 0, {.x = 34, .speed = 5, .limit = 5, .angle = 180}, 1,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, 180, kTol); }},
      {"11 wrap left", 11, 1, 0, {.x = 34, .speed = 5, .limit = 5, .angle = 180}, 1,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.x, 414, 1e-3); }},
      {"16 weave", 16, 10, 0, {}, 1,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, std::cos(6 * kPi / 180), kTol); }},
      {"17 lost centre", 17, 0, 0, {}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.state, 0); }},
      {"18 around the player", 18, 9999, 0, {.speed = 20, .limit = 20}, 1,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.x, g_player.x + 20, kTol);
         EXPECT_NEAR(b.y, g_player.y, 1e-3);
       }},
      {"18 names no centre", 18, 50, 0, {.speed = 20}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.state, 0); }},
      {"18 boss slot", 18, 101, 0, {.speed = 10, .angle = 90}, 1,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.x, 300, 1e-3);
         EXPECT_NEAR(b.y, 90, 1e-3);
       }, [] { InitBoss(1, 0, 1, 300, 100); }},
      {"21 fading curl", 21, 50, 0, {.turn = 2}, 1,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.turnRate, 3, kTol); }},
      {"23 homing head turns toward the aim", 23, 10, 0, {.turn = 3}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.turnRate, -3); }},
      {"23 ends at p", 23, 3, 0, {.turn = 3}, 3,
       [](const EnemyBullet& b) { EXPECT_EQ(b.turnRate, 0); EXPECT_EQ(b.behaviour, 0); }},
      {"24 lost leader", 24, 0, 0, {.speed = 2}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.behaviour, 0); EXPECT_EQ(b.state, 1); }},
      {"25 marker freed at p div 10", 25, 52, 0, {.x = 224, .y = 400}, 5,
       [](const EnemyBullet& b) { EXPECT_EQ(b.state, 0); EXPECT_EQ(g_player.state, 0); }},
      {"26 halo on boss 0", 26, 10, 0, {}, 2,
       [](const EnemyBullet& b) { EXPECT_EQ(b.x, 100); EXPECT_EQ(b.y, 120); },
       [] { InitBoss(0, 0, 1, 100, 120); }},
      {"26 halo freed without boss", 26, 10, 0, {}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.state, 0); }},
      {"28 aim and accel", 28, 2, 3, {.limit = 3}, 3,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, AimDown(), kTol);
         EXPECT_NEAR(b.accel, 0.1, kTol);
       }},
      {"31 ricochet off the bottom", 31, 1000, 0, {.y = 462, .speed = 5, .limit = 5, .angle = 270}, 1,
       [](const EnemyBullet& b) {
         EXPECT_EQ(b.y, 465);
         EXPECT_NEAR(b.angle, AngleToPlayer(b.x, 465), kTol);
         EXPECT_EQ(b.speed, 5);
       }},
      {"32 ellipse", 32, 30, 0, {.speed = 20, .angle = 90}, 1,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.x, 100, 1e-3);
         EXPECT_NEAR(b.y, 90, 1e-3);
       }, [] { InitBoss(0, 0, 1, 100, 100); }},
      {"33 circle", 33, 0, 0, {.speed = 20}, 1,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.x, 120, 1e-3);
         EXPECT_NEAR(b.y, 100, 1e-3);
       }, [] { InitBoss(0, 0, 1, 100, 100); }},
      {"34 line at 90", 34, 90, 0, {.speed = 20}, 1,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.x, 120, 1e-3);
         EXPECT_NEAR(b.y, 80, 1e-3);
       }, [] { InitBoss(0, 0, 1, 100, 100); }},
      {"36 curl and speed up", 36, 150, 2, {.limit = 3}, 2,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.turnRate, 1.5, kTol);
         EXPECT_NEAR(b.accel, 0.05, kTol);
       }},
      {"100 full speed", 100, 0, 2, {.accel = 0.1, .limit = 3}, 2,
       [](const EnemyBullet& b) { EXPECT_EQ(b.speed, 3); EXPECT_EQ(b.accel, 0); }},
      {"104 release then stop turning", 104, 6, 3, {.limit = 2, .turn = 4}, 6,
       [](const EnemyBullet& b) { EXPECT_EQ(b.speed, 2); EXPECT_EQ(b.turnRate, 0); }},
      {"105 turn and slow start", 105, 30, 2, {.accel = 40, .limit = 2}, 2,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, 30, kTol);
         EXPECT_EQ(b.speed, 0);
         EXPECT_NEAR(b.accel, 0.04, kTol);
       }},
      {"107 accel p/100", 107, 5, 2, {.limit = 3}, 2,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.accel, 0.05, kTol); }},
      {"109 no turn at normal speed", 109, 0, 0, {.turn = 2}, 4,
       [](const EnemyBullet& b) { EXPECT_EQ(b.angle, 0); }},
      {"109 turns in slow time", 109, 0, 0, {.turn = 2}, 4,
       [](const EnemyBullet& b) { EXPECT_EQ(b.angle, 4); }, [] { g_gameSpeed = 11; }},
      {"110 one bounce in state 2", 110, 50, 0,
       {.x = 34, .speed = 5, .limit = 4, .angle = 180, .state = 2}, 1,
       [](const EnemyBullet& b) {
         EXPECT_EQ(b.x, 32);
         EXPECT_NEAR(b.angle, 0, kTol);
         EXPECT_EQ(b.speed, 2);
         EXPECT_EQ(b.state, 1);
       }},
      {"110 ignored in state 1", 110, 50, 0, {.x = 34, .speed = 5, .limit = 5, .angle = 180}, 1,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, 180, kTol); }},
      {"111 comet sheds", 111, 205, 0, {.angle = 90}, 2,
       [](const EnemyBullet& b) {
         EXPECT_EQ(b.behaviourParam, 105);
         EXPECT_EQ(LiveBullets(), 2);
         EXPECT_NEAR(g_enemyBullets[1].angle, 90 + 180 + 5, kTol);
         EXPECT_EQ(g_enemyBullets[1].sheet, 1);
         EXPECT_EQ(g_enemyBullets[1].speedLimit, 1.5);
       }},
      {"112 laser at age 30", 112, 5, 0, {}, 30,
       [](const EnemyBullet&) {
         EXPECT_EQ(LiveLasers(), 1);
         EXPECT_EQ(g_lasers[0].lifetime, 400);
         EXPECT_EQ(g_lasers[0].state, 2);
       }},
      {"112 Normal shoots none", 112, 3, 0, {}, 61,
       [](const EnemyBullet&) { EXPECT_EQ(LiveLasers(), 0); }},
      {"114 split", 114, 23, 0, {.angle = 10}, 2,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, 25, kTol);
         EXPECT_EQ(b.behaviour, 0);
         EXPECT_NEAR(g_enemyBullets[1].angle, -5, kTol);
         EXPECT_EQ(g_enemyBullets[1].behaviour, 0);
       }},
      {"116 turn and accel", 116, 20, 2, {.limit = 3}, 2,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, 20, kTol);
         EXPECT_NEAR(b.accel, 0.1, kTol);
       }},
      {"120 aim with limit p/2", 120, 5, 2, {}, 2,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, AimDown(), kTol);
         EXPECT_EQ(b.speedLimit, 2.5);
         EXPECT_NEAR(b.accel, 0.05, kTol);
       }},
      {"121 edge runner at the left", 121, 1, 0, {.x = 34, .speed = 5, .limit = 5, .angle = 180}, 1,
       [](const EnemyBullet& b) { EXPECT_EQ(b.x, 33); EXPECT_EQ(b.angle, 90); }},
      {"122 delayed aim", 122, 345, 0, {.turn = 1}, 3,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, AngleToPlayer(b.x, b.y) + 45, kTol);
         EXPECT_EQ(b.turnRate, 0);
       }},
      {"123 wall jolt", 123, 4, 2, {.limit = 3}, 2,
       [](const EnemyBullet& b) { EXPECT_EQ(b.speed, -2); EXPECT_NEAR(b.accel, 0.05, kTol); }},
      {"124 release", 124, 3, 2, {.turn = 3}, 2,
       [](const EnemyBullet& b) {
         EXPECT_EQ(b.turnRate, 0);
         EXPECT_EQ(b.speedLimit, 3);
         EXPECT_NEAR(b.accel, 0.05, kTol);
       }},
      {"125 turn p - 95", 125, 125, 2, {}, 2,
       [](const EnemyBullet& b) {
         EXPECT_NEAR(b.angle, 30, kTol);
         EXPECT_EQ(b.speedLimit, 2.5);
       }},
      {"666 decoy freed at trigger", 666, 0, 2, {.x = 224, .y = 400}, 2,
       [](const EnemyBullet& b) { EXPECT_EQ(b.state, 0); EXPECT_EQ(g_player.state, 0); }},
      {"777 boomerang twice", 777, 2, 3, {.speed = 1, .limit = 1}, 9,
       [](const EnemyBullet& b) { EXPECT_NEAR(b.angle, 360, kTol); EXPECT_EQ(b.speed, 0); }},
      {"777 trigger 0 never returns", 777, 2, 0, {.speed = 1, .limit = 1}, 3,
       [](const EnemyBullet& b) { EXPECT_EQ(b.angle, 0); EXPECT_EQ(b.speed, 1); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BeginPlay(PlaySetup{1, 1, 0, 777u});
    Step();
    g_player.x = 224;
    g_player.y = 400;
    g_player.invulnerable = 0;
    if (row.prepare) row.prepare();
    const Shape& s = row.shape;
    BulletSpec spec{0, row.param, s.state, s.sheet, row.trigger, row.behaviour,
                    s.speed, s.accel, s.limit, s.turn};
    int slot = MakeBullet(spec, s.x, s.y, s.angle);
    ASSERT_EQ(slot, 0);
    if (row.behaviour == 17 || row.behaviour == 24) g_enemyBullets[0].linkSlot = 5;
    Step(row.steps);
    row.check(g_enemyBullets[0]);
  }
}

// Speed moves toward its limit and stops there exactly, from above and below; a bullet
// is dropped only once it lies more than 32 pixels outside the field.
TEST_F(BehaviourTest, SpeedStopsAtItsLimitAndBulletsLeaveOnlyPastTheMargin) {
  ParkPlayer();
  const int up = SpawnBulletIndexed(1, 0, 0, 0, 224, 100, 1.0, 0.3, 2.0, 0, 0);
  const int down = SpawnBulletIndexed(1, 0, 0, 0, 224, 300, 3.0, -0.3, 2.0, 0, 180);
  const int in = SpawnBulletIndexed(1, 0, 0, 0, 224, 200, 0, 0, 0, 0, 0);
  const int out = SpawnBulletIndexed(1, 0, 0, 0, 224, 220, 0, 0, 0, 0, 0);
  Step();
  g_enemyBullets[in].x = kFieldLeft - 31.5;
  g_enemyBullets[out].x = kFieldRight + 32.5;
  for (int k = 0; k < 6; ++k) {
    Step();
    const double fromUp = std::min(1.0 + 0.3 * (k + 2), 2.0), fromDown = std::max(3.0 - 0.3 * (k + 2), 2.0);
    EXPECT_NEAR(g_enemyBullets[up].speed, fromUp, kTol) << k;
    EXPECT_NEAR(g_enemyBullets[down].speed, fromDown, kTol) << k;
  }
  EXPECT_NE(g_enemyBullets[in].state, 0);
  EXPECT_EQ(g_enemyBullets[out].state, 0);
}

// A bullet moves along its angle as it is at each step, whoever changed it: its own
// turn rate, a behaviour, a direct write, a whole record written over it, a turn to -0.
TEST_F(BehaviourTest, BulletsMoveAlongTheirAngleAfterEveryKindOfChange) {
  ParkPlayer();
  const int slot = SpawnBulletIndexed(1, 0, 0, 0, 200, 200, 2.0, 0, 2.0, 0, 0);
  auto stepFrom = [&](const char* what, double angle) {
    const EnemyBullet before = g_enemyBullets[slot];
    Step();
    const EnemyBullet& b = g_enemyBullets[slot];
    EXPECT_EQ(b.x, before.x + CosDeg(angle) * before.speed) << what;
    EXPECT_EQ(b.y, before.y - SinDeg(angle) * before.speed) << what;
  };
  stepFrom("first step", 0);
  stepFrom("same angle", 0);
  g_enemyBullets[slot].angle = 90;
  stepFrom("written", 90);
  g_enemyBullets[slot].turnRate = 30;
  stepFrom("turning", 120);
  stepFrom("turning on", 150);
  g_enemyBullets[slot].turnRate = 0;
  EnemyBullet other = g_enemyBullets[slot];
  other.angle = 45;
  g_enemyBullets[slot] = other;
  stepFrom("record written over", 45);
  g_enemyBullets[slot].angle = 225;
  g_enemyBullets[slot].behaviour = 1;  // turn by p at its trigger
  g_enemyBullets[slot].behaviourParam = 30;
  g_enemyBullets[slot].triggerAge = g_enemyBullets[slot].age + 1;
  stepFrom("behaviour's turn", 225);  // the behaviour turns after the move
  stepFrom("after the behaviour", 255);
}

}  // namespace

// The update walks only up to the pool's live end: a bullet written straight into any
// slot (by index or by a whole-pool walk), after the end has fallen past freed slots,
// still moves and still hits; the end falls back once the top slots are free.
TEST_F(BehaviourTest, BulletsWrittenPastTheLiveEndStillMove) {
  ParkPlayer();
  for (int k = 0; k < 8; ++k) SpawnBulletIndexed(1, 0, 0, 0, 100, 100 + 10 * k, 0, 0, 0, 0, 0);
  for (int k = 3; k < 8; ++k) g_enemyBullets[k].state = 0;
  Step();
  EXPECT_EQ(g_enemyBullets.liveEnd(), 3);
  struct Write {
    int slot;
    bool wholeWalk;
  };
  for (const Write& w : {Write{kBulletSlots - 1, false}, Write{400, true}, Write{3, false}}) {
    SCOPED_TRACE(w.slot);
    EnemyBullet fresh{};
    fresh.state = 1;
    fresh.sheet = 2;
    fresh.x = 200.0;
    fresh.y = 100.0;
    fresh.speed = 1.5;
    if (w.wholeWalk) {
      int slot = 0;
      for (EnemyBullet& b : g_enemyBullets)
        if (slot++ == w.slot) b = fresh;
    } else {
      g_enemyBullets[w.slot] = fresh;
    }
    Step();
    EXPECT_DOUBLE_EQ(g_enemyBullets[w.slot].x, 201.5);
    EXPECT_EQ(g_enemyBullets[w.slot].age, 1);
    EXPECT_EQ(g_enemyBullets.liveEnd(), w.slot + 1);
    // A live bullet there reaches the player too.
    g_player.invulnerable = 0;
    g_player.x = g_enemyBullets[w.slot].x + 1.5;
    g_player.y = g_enemyBullets[w.slot].y;
    Step();
    EXPECT_EQ(g_player.state, -1);
    ParkPlayer();
    g_player.state = 0;
    g_enemyBullets[w.slot].state = 0;
    Step();
    EXPECT_EQ(g_enemyBullets.liveEnd(), 3);
  }
}
