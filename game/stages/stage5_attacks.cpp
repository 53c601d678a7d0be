// The cards of stage 5: the mid-boss's edge runners (slot 15), and the boss's laser
// pairs (slot 16), pentagram (slot 17), frozen spiral (slot 18) and comets (slot 19).
//
// The bodies keep satellites as the last slot made and address the others as the
// consecutive slots below it, and fixed laser slots from 0. A satellite that was not made
// (slot 800) or whose slot now holds another bullet is skipped; the lasers are the slots
// the spawns returned, skipped once freed. Nothing outside the pools is touched.
#include <cmath>
#include <initializer_list>

#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kPortrait = 6;
constexpr int kNoLaser = -1;

void Bell() { PlayEffect(kSeAttackBell); }
void Charge(int poseSteps) {
  RunBossChargeEffect(0, 0);
  if (poseSteps > 0) SetBossAnimation(0, 0, poseSteps);
}

// Satellite k of a body: k slots below the last one made.
EnemyBullet* Sat(int k, BulletBehaviour behaviour, int param = -1) {
  return LiveSatellite(static_cast<int>(S(0)) - k, behaviour, param);
}
EnemyBullet* SatBelow(int lastSlot, int k, BulletBehaviour behaviour) {
  return LiveSatellite(lastSlot - k, behaviour);
}

Laser* LiveLaser(int k);
// Laser k from satellite a to satellite b, while all three are there.
void Stretch(int k, const EnemyBullet* a, const EnemyBullet* b) {
  Laser* laser = LiveLaser(k);
  if (laser == nullptr || a == nullptr || b == nullptr) return;
  laser->x1 = a->x;
  laser->y1 = a->y;
  laser->x2 = b->x;
  laser->y2 = b->y;
}

Laser* LiveLaser(int k) { return LiveLaserInSlot(Slot(k)); }
void KeepLaser(int k, int slot) { Slot(k) = slot < kLaserSlots ? slot : kNoLaser; }

// ---------------------------------------------------------------------------
// Slot 15. Scratch: 2 last satellite, 3 satellite count.

void RunEdgeRunnerCard(AttackStep& step) {
  const int d = g_difficulty;
  DeclareCard(step, {kPortrait, d >= 2 ? 2300 : 1800, 2500, 7000000, 860});
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 240.0, 50.0);
  if (t == 70) {
    g_spellCardActive = 0;
    Charge(100);
    for (int k = 0; k < 6; ++k) {
      const double a = (90 - 30 * k) * kPi / 180.0;
      const double dx = 60 * std::cos(a), dy = -60 * std::sin(a);
      SpawnLaser(2, boss.x + dx, boss.y + dy, boss.x - dx, boss.y - dy, 0.0, 125, 5, 0, 10000, 9);
    }
    const int c = 4 + DifficultyTier();
    int last = kBulletSlots;
    for (int i = 0; i < c; ++i) {
      last = SpawnBulletIndexed(4, 0, kBehaviourEdgeSlide, 91111, boss.x, boss.y, 3.0, -0.05, 2.0,
                                0.0, 90.0 + 360.0 * i / c);
    }
    S(2) = last;
    S(3) = c;
  }
  if (t == 100 || t == 160 || t == 220 || t == 280) {
    if (t == 100) SetBossAnimation(0, 0, 400);
    ShootRing({.colour = 4, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
               .triggerAge = 60, .n = 4 + 4 * (d + DifficultyTier()), .x = boss.x, .y = boss.y,
               .speed = 2.0, .accel = -0.01, .speedLimit = 1.0, .turnRate = 1.0,
               .base = AimFromBoss()});
  }
  if (t >= 100 && t <= 300 && t % 30 == 5 * d) {
    const int last = static_cast<int>(S(2));
    for (int k = 0; k < static_cast<int>(S(3)); ++k) {
      const EnemyBullet* sat = SatBelow(last, k, kBehaviourEdgeSlide);
      if (sat == nullptr) continue;
      ShootRing({.colour = k, .sheet = 1, .spawnCode = 1, .behaviour = kBehaviourCurl,
                 .behaviourParam = 50, .triggerAge = 60, .n = d + 4, .x = WholePixel(sat->x),
                 .y = WholePixel(sat->y), .speed = 1.0, .speedLimit = 3.0,
                 .base = sat->angle + 180});
    }
  }
  if (t == 490) boss.phaseTimer = 99;
}

// ---------------------------------------------------------------------------
// Slot 16. Scratch: 0 the last pair's first satellite, 1 ring count, 2 pair count,
// 3 random offset.

// Pair j (0 the last made): a satellite around the player and its partner around the
// field's centre, in the next slot.
EnemyBullet* PairFirst(int j) { return Sat(2 * j, kBehaviourCircleCentre, 9999); }
EnemyBullet* PairPartner(int j) { return Sat(2 * j - 1, kBehaviourCircleCentre, 0); }

void SetPairTurn(double turn) {
  for (int j = 0; j < static_cast<int>(S(2)); ++j) {
    if (EnemyBullet* a = PairFirst(j)) a->turnRate = turn;
    if (EnemyBullet* b = PairPartner(j)) b->turnRate = turn;
  }
}

void RunLaserPairCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 2200, 3000, 7000000, 610});
  const int d = g_difficulty;
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50.0);
  if (t == 70) {
    g_spellCardActive = 0;
    Charge(0);
    const int p = 3 + d - DifficultyTier();
    const int r = NextRandom() % 90;
    int first = kBulletSlots;
    for (int i = 0; i < p; ++i) {
      first = SpawnBulletIndexed(2, 0, kBehaviourCircleCentre, 9999, 0.0, 0.0, 0.0, 1.0, 150.0, 0.5,
                                 360.0 * i / p + r);
      SpawnBulletIndexed(2, 0, kBehaviourCircleCentre, 0, 0.0, 0.0, 0.0, 10.0, 240.0, 0.5,
                         360.0 * i / p + 180 + r);
    }
    S(0) = first;
    S(1) = 2 * (d + 2 * (2 - DifficultyTier()));
    S(2) = p;
    S(3) = r;
  }
  if (t == 520) {
    SetPairTurn(0.5);
    boss.phaseTimer = 99;
    return;
  }
  if (t < 100) return;
  const int p = static_cast<int>(S(2));
  if (t == 100) {
    for (int j = 0; j < p; ++j) KeepLaser(j, SpawnLaser(13, 0, 0, 0, 0, 0.1, 800, 5, 300, 420, 2));
  }
  for (int j = 0; j < p; ++j) Stretch(j, PairFirst(j), PairPartner(j));
  if (t % 60 == 0) {
    const double aim = AimFromBoss();
    const int n = static_cast<int>(S(1));
    struct Ring {
      int colour, param;
      double accel;
    };
    const Ring rings[4] = {{1, 90, -0.1}, {1, 270, -0.1}, {4, 90, -0.05}, {4, 270, -0.05}};
    for (const Ring& ring : rings) {
      ShootRing({.colour = ring.colour, .sheet = 1, .spawnCode = 1,
                 .behaviour = kBehaviourAngleCode, .behaviourParam = ring.param, .triggerAge = 60,
                 .n = n, .x = boss.x, .y = boss.y, .speed = 4.0, .accel = ring.accel,
                 .speedLimit = 1.5, .base = aim});
    }
    if (d >= 2) {
      for (const Ring& ring : rings) {
        const int colour = d == 3 ? ring.colour - 1 : ring.colour;
        ShootFan({.colour = colour, .sheet = 1, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
                  .behaviourParam = ring.param, .triggerAge = 60, .n = n, .spread = 360,
                  .x = boss.x, .y = boss.y, .speed = 4.0, .accel = ring.accel, .speedLimit = 2.0,
                  .centre = aim});
      }
    }
  }
  if (t == 120 || t == 240) {
    const int m = static_cast<int>(S(1)) + 5;
    ShootRing({.colour = 4, .sheet = 5, .spawnCode = 1, .n = m, .x = boss.x, .y = boss.y,
               .speed = 3.0, .accel = -0.05, .speedLimit = 1.0, .base = 270.0});
    ShootRing({.colour = 4, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
               .behaviourParam = 45, .triggerAge = 60, .n = m, .x = boss.x, .y = boss.y,
               .speed = 3.0, .accel = -0.05, .speedLimit = 1.0, .base = 270.0});
    ShootRing({.colour = 4, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
               .behaviourParam = 315, .triggerAge = 60, .n = m, .x = boss.x, .y = boss.y,
               .speed = 3.0, .accel = -0.05, .speedLimit = 1.0, .base = 270.0});
    // The ring's count is the slot number kept in scratch 0, as the card was tuned: on
    // the empty pool of a card start that is 2p - 2.
    ShootRing({.colour = 4, .sheet = 5, .spawnCode = 1, .n = static_cast<int>(S(0)), .x = boss.x,
               .y = boss.y, .speed = 4.0, .accel = -0.01,
               .speedLimit = 2.0 + 0.5 * DifficultyTier(), .base = AimFromBoss()});
  }
  if (t == 370) Charge(150);
  if (t == 400) SetPairTurn(0.0);
}

// ---------------------------------------------------------------------------
// Slot 17. Scratch: 0 the last satellite.

void RunPentagramCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 2700, 3500, 7500000, 710});
  const int d = g_difficulty;
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50.0);
  if (t == 70) {
    int last = kBulletSlots;
    for (int i = 0; i < 5; ++i) {
      last = SpawnBulletIndexed(4 - i, 0, kBehaviourBossEllipse, 60, 0.0, 0.0, 0.0, 5.0, 100.0, 2.0,
                                72.0 * i);
    }
    S(0) = last;
    g_spellCardActive = 0;
    Charge(0);
  }
  if (t == 90) {
    for (int k = 0; k < 5; ++k) {
      KeepLaser(k, ShootLaserAtAngle({.colour = 2, .spawnCode = 2, .triggerAge = 60, .x = 22,
                                      .y = 6, .angle = 72.0 * k, .lifetime = 10000,
                                      .fullLength = 1000, .fullWidth = 3}));
    }
  }
  if (t == 820) {
    boss.phaseTimer = 99;
    return;
  }
  if (t < 100) return;
  for (int j = 0; j < 5; ++j) Stretch(j, Sat(j, kBehaviourBossEllipse),
                                      Sat((j + 2) % 5, kBehaviourBossEllipse));
  if (t > 200 && t <= 560) {
    for (int k = 0; k < 5; ++k) {
      if (EnemyBullet* sat = Sat(k, kBehaviourBossEllipse)) sat->behaviourParam += 1;
    }
  }
  // Firing starts at 100 like every card's: t - 100 would also be a multiple of the
  // period at some earlier timers.
  const int period = 6 - d + d / 3;
  if (t <= 700 && (t - 100) % period == 0) {
    for (int k = 0; k < 5; ++k) {
      const EnemyBullet* sat = Sat(k, kBehaviourBossEllipse);
      if (sat == nullptr) continue;
      ShootFan({.colour = k, .sheet = 1, .spawnCode = 1, .n = 3 + DifficultyTier(), .spread = 90,
                .x = WholePixel(sat->x), .y = WholePixel(sat->y), .accel = 0.05,
                .speedLimit = 2.5 + 0.5 * (d - DifficultyTier()), .centre = sat->angle});
    }
    if (d >= 1 && (t - 100) % 60 == 0) {
      for (int k = 0; k < 5; ++k) {
        const EnemyBullet* sat = Sat(k, kBehaviourBossEllipse);
        if (sat == nullptr) continue;
        for (double turn : {0.0, 120.0}) {
          ShootLaserAtAngle({.colour = k, .spawnCode = 1, .x = WholePixel(sat->x),
                             .y = WholePixel(sat->y), .angle = sat->angle + turn, .lifetime = 10000,
                             .fullLength = 25 * (d + 3), .fullWidth = 3, .growth = 3.0,
                             .startLength = 10.0});
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Slot 18. Scratch: 0 the last satellite, 1 running angle, 2 satellite count, 3 volley
// period, 4 random offset.

void RunFrozenSpiralCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 3200, 3500, 7500000, 410});
  const int d = g_difficulty;
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50.0);
  if (t == 70) {
    g_spellCardActive = 0;
    const int r = NextRandom() % 180;
    const int c = d + 1;
    int last = kBulletSlots;
    for (int i = 0; i < c; ++i) {
      last = SpawnBulletIndexed(4, 0, kBehaviourBossPhased, 60, 0.0, 0.0, 0.0, 5.0, 75.0, 5.0,
                                (360 * i / c) + r);
    }
    S(0) = last;
    S(1) = 0;
    S(2) = c;
    S(3) = 2;
    S(4) = r;
    Charge(60);
  }
  if (t == 400) {
    boss.phaseTimer = 99;
    return;
  }
  if (t < 100) return;
  const int c = static_cast<int>(S(2));
  for (int k = 0; k < c; ++k) {
    if (EnemyBullet* sat = Sat(k, kBehaviourBossPhased)) sat->behaviourParam += 2;
  }
  const auto volley = [c](int colour, int param, int code, int trigger, double limit,
                          double base) {
    for (int k = 0; k < c; ++k) {
      const EnemyBullet* sat = Sat(k, kBehaviourBossPhased);
      if (sat == nullptr) continue;
      ShootFan({.colour = colour, .sheet = 1, .spawnCode = code,
                .behaviour = kBehaviourEaseToLimitSlow, .behaviourParam = param,
                .triggerAge = trigger, .n = 1, .spread = 10, .x = WholePixel(sat->x),
                .y = WholePixel(sat->y), .speedLimit = limit, .centre = base + 360.0 * k / c});
    }
  };
  const int period = static_cast<int>(S(3));
  if (t < 316 && period > 0 && t % period == 0) {
    volley((t / 2) % 5, 5, 1, 376 - t, 2.0, S(1));
    S(1) += 17;
  }
  if (t % 10 == 0) volley((t / 10) % 5, 2, 11, 400 - t, 1.5, S(1) + 180);
  if (t == 316) {
    const double aim = AimFromBoss();
    for (int param : {120, 240}) {
      ShootRing({.colour = DifficultyTier() == 0 ? 4 : 3, .sheet = 15, .spawnCode = 1,
                 .behaviour = kBehaviourAngleCode, .behaviourParam = param, .triggerAge = 30,
                 .n = 10, .x = boss.x, .y = boss.y, .speed = 4.0, .accel = -0.05, .speedLimit = 1.5,
                 .base = aim});
    }
  }
  if (t == 336) Charge(60);
  if (t == 346 || t == 376) Bell();
  if (t == 366) RunBossBreakRing(0, 0);
}

// ---------------------------------------------------------------------------
// Slot 19. Scratch: 0 side sign s, 1 speed limit L, 2 start age A.

void Comet(int param, double angle) {
  const int x = static_cast<int>(g_bosses[0].x);
  ShootRingWithAge({.colour = 1, .spawnCode = 3, .behaviour = kBehaviourShedBehind,
                    .behaviourParam = param, .startAge = static_cast<int>(S(2)), .n = 1,
                    .x = static_cast<double>(x), .speed = 3.0, .accel = 0.1, .speedLimit = S(1),
                    .base = angle});
}

void RunCometCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 2000, 4500, 8000000, 610});
  const int d = g_difficulty;
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50.0);
  if (t == 70) {
    g_spellCardActive = 0;
    S(0) = 1;
    S(1) = 8 - d * DifficultyTier();
    S(2) = d <= 1 ? 100 : d == 2 ? 120 : 150;
    Charge(60);
  }
  if (t == 800) {
    S(0) = -S(0);
    boss.phaseTimer = 99;
    return;
  }
  if (t < 100) return;
  const double s = S(0);
  const int a = static_cast<int>(S(2));
  const int side = 50 * a + 94 + d;
  if (t == 100) Comet(50 * a + 58, AngleToPlayer(boss.x, 0));
  if (t == 240) Comet(side, 270 - 40 * s);
  if (t == 380) Comet(side, 270);
  if (t == 520) Comet(side, 270 + 40 * s);
  if (t == 180 || t == 450) {
    const int ry = NextRandom();
    const int rx = NextRandom();
    const double sx = t == 180 ? s : -s;
    SetBossMoveTarget(0, 224 + sx * (100 + rx % 50), 125 + ry % 50, 50.0);
  }
  if (t == 310) SetBossMoveTarget(0, 224.0, 125 + NextRandom() % 50, 50.0);
  if (t == 640) SetBossMoveTarget(0, 224.0, 75 + NextRandom() % 50, 50.0);
  if (t == 210 || t == 350 || t == 490) SetBossAnimation(0, 0, 90);
  if (t == 770) Charge(90);
}

}  // namespace

void RunStage5MidBossCard(AttackStep& step) { RunEdgeRunnerCard(step); }
void RunStage5LaserPairCard(AttackStep& step) { RunLaserPairCard(step); }
void RunStage5PentagramCard(AttackStep& step) { RunPentagramCard(step); }
void RunStage5SpiralCard(AttackStep& step) { RunFrozenSpiralCard(step); }
void RunStage5CometCard(AttackStep& step) { RunCometCard(step); }
