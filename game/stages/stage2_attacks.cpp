// The cards of the stage-2 boss: laser spokes (slot 3), bell rings (slot 4) and
// familiars (slot 5).
#include <cmath>
#include <initializer_list>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kPortrait = 3;
// Moves whose length is not otherwise fixed take 50 steps, like the other cards' moves.
constexpr double kMoveSteps = 50;


// ---------------------------------------------------------------------------
// Slot 3. Scratch: 0 the spoke count n, sign the turn sign s, angle the stored
// angle of the spokes.

void Spokes(double first) {
  const Boss& boss = g_bosses[0];
  const double n = S(0);
  for (int k = 0; k < static_cast<int>(n); ++k) {
    ShootLaserAtAngle({.colour = 3, .spawnCode = 2, .x = boss.x, .y = boss.y,
                       .angle = first + k * 360 / n, .lifetime = 800, .fullLength = 130,
                       .fullWidth = 3, .growth = 5.0, .startLength = 10.0});
  }
}

void FansAlongSpokes(double base) {
  const Boss& boss = g_bosses[0];
  const int n = static_cast<int>(S(0));
  ShootRingOfFans({.colour = 3, .sheet = 13, .spawnCode = 1, .n = 5, .m = n, .spread = 10,
                   .x = boss.x, .y = boss.y, .speed = 5.0, .speedLimit = 5.0, .base = base});
}

void TurningRings() {
  const Boss& boss = g_bosses[0];
  const double s = g_attackScratch.sign;
  const int d = g_difficulty;
  const int p = PerDifficulty(25, 30, 30, 35), q = PerDifficulty(10, 15, 15, 20);
  const int r1 = NextRandom();
  ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
             .triggerAge = 30, .n = p, .x = boss.x, .y = boss.y, .speed = 1.0, .accel = 0.1,
             .speedLimit = 2.0, .turnRate = s, .base = static_cast<double>(r1 % 10)});
  const int r2 = NextRandom();
  ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
             .triggerAge = 60, .n = q, .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.05,
             .speedLimit = 2.0, .turnRate = s, .base = static_cast<double>(r2 % 10)});
  if (d >= 2) {
    // These stop turning at their trigger like the first two.
    const int r3 = NextRandom();
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
               .triggerAge = 30, .n = d == 2 ? 30 : 40, .x = boss.x, .y = boss.y, .speed = 1.0,
               .accel = 0.01, .speedLimit = 2.0, .turnRate = -s,
               .base = static_cast<double>(r3 % 10)});
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
               .triggerAge = 60, .n = d == 2 ? 10 : 20, .x = boss.x, .y = boss.y, .speed = 1.0,
               .accel = 0.01, .speedLimit = 2.0, .turnRate = -s,
               .base = static_cast<double>(r3 % 10)});
  }
  g_attackScratch.sign = -s;
}

// A spoke whose far end has run off the field is sent back from there (Hard and Lunatic
// at the bottom, Lunatic also at the top and the sides).
void BendSpokes() {
  const int d = g_difficulty;
  for (Laser& laser : g_lasers) {
    if (laser.state != 2) continue;
    const bool off =
        (d == 3 && (laser.y2 < kFieldTop || laser.x2 < kFieldLeft || laser.x2 > kFieldRight)) ||
        (d >= 2 && laser.y2 > 464);
    // A laser of no length has no direction to send back along.
    if (!off || laser.fullLength <= 0) continue;
    const double length = laser.fullLength;
    const double backX = laser.x2 - (laser.x2 - laser.x1) / length;
    const double backY = laser.y2 - (laser.y2 - laser.y1) / length;
    const Laser old = laser;
    laser.state = 1;
    SpawnLaser(11, old.x2, old.y2, backX, backY, old.growth, old.fullLength, old.fullWidth,
               old.triggerAge - old.age, old.lifetime - old.age, old.colour);
  }
}

// ---------------------------------------------------------------------------
// Slot 4. Scratch: 0 the ring offset o, 1 the ring size m, angle the
// stored aim.

void PairOfRings(int colour, int bp, int sheet, int trigger, BulletBehaviour behaviour, int n,
                 double accel, double limit, double turn, double base) {
  const Boss& boss = g_bosses[0];
  ShootRing({.colour = colour, .sheet = sheet, .spawnCode = 1, .behaviour = behaviour,
             .behaviourParam = bp, .triggerAge = trigger, .n = n, .x = boss.x, .y = boss.y,
             .accel = accel, .speedLimit = limit, .turnRate = turn, .base = base});
  ShootRing({.colour = colour, .sheet = sheet, .spawnCode = 1, .behaviour = behaviour,
             .behaviourParam = -bp, .triggerAge = trigger, .n = n, .x = boss.x, .y = boss.y,
             .accel = accel, .speedLimit = limit, .turnRate = -turn, .base = base});
}

void RingOf(int colour, int sheet, int trigger, BulletBehaviour behaviour, int n, double speed,
            double accel, double limit, double base) {
  const Boss& boss = g_bosses[0];
  ShootRing({.colour = colour, .sheet = sheet, .spawnCode = 1, .behaviour = behaviour,
             .triggerAge = trigger, .n = n, .x = boss.x, .y = boss.y, .speed = speed,
             .accel = accel, .speedLimit = limit, .base = base});
}

// ---------------------------------------------------------------------------
// Slot 5. Scratch: sign the cycle sign, 0 the familiar count, 1 the
// third value.

void SpawnFamiliars() {
  const Boss& boss = g_bosses[0];
  const double sigma = g_attackScratch.sign;
  // The sign is 1 or -1: clockwise with 1.
  const EnemyMotion circling = sigma > 0 ? kMotionOrbitClockwise : kMotionOrbitCounterClockwise;
  const int cx = static_cast<int>(boss.x), cy = static_cast<int>(boss.y);
  for (int k = 0; k < 8; ++k) {
    const double a = 45.0 * k;
    const double x = cx + 50 * std::cos(a * kPi / 180.0);
    const double y = cy - 50 * std::sin(a * kPi / 180.0);
    SpawnEnemy({.slot = k, .hp = 120, .m1 = circling, .t1 = 300 + 10 * k, .m2 = kMotionStraight,
                .t2 = 300 + 10 * k, .sprite = k % 2, .power = k % 2, .special = (k + 1) % 2, .x = x,
                .y = y, .s1 = 50.0, .a1 = a, .s2 = 8.0, .a2 = 720.0});
  }
}

// 80 HP, under the burst threshold of 100: each one bursts on the step it appears,
// firing along its decoded heading and costing the boss 30 HP. That is the card.
void FallingEnemy(int slot, double angle) {
  const int r = NextRandom();
  SpawnEnemy({.slot = slot, .hp = 80, .m1 = kMotionStraight, .t1 = 900, .m2 = kMotionStraight,
              .t2 = 900, .sprite = 2, .x = static_cast<double>(60 + r % 300), .s1 = 8.0,
              .a1 = angle});
}

// The enemy's own heading: the segment it is moving on (the first while it stands).
double Heading(const Enemy& e) { return e.age >= e.seg2.age ? e.seg2.angle : e.seg1.angle; }

// Every enemy shot below 100 HP bursts, taking 30 HP off the boss.
void BurstFamiliars() {
  for (Enemy& e : g_enemies) {
    if (e.active != 1 || e.hp >= 100) continue;
    e.hp = 0;
    g_bosses[0].hp -= 30;
    const double a = Heading(e);
    // kBehaviourEaseByRate sets the acceleration at the trigger; until then 0.05 gets it moving.
    ShootFan({.colour = 4, .sheet = 7, .spawnCode = 1, .behaviour = kBehaviourEaseByRate,
              .behaviourParam = 3, .triggerAge = 100, .n = 1, .spread = 60, .x = e.x, .y = e.y,
              .accel = 0.05, .speedLimit = 3.0, .centre = a});
    ShootFan({.colour = 4, .sheet = 4, .spawnCode = 1, .n = 4, .spread = 150, .x = e.x, .y = e.y,
              .speed = 4.0, .speedLimit = 4.0, .centre = a});
  }
}

}  // namespace

void RunStage2SpokeCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 2000, 1800, 3600000, 810});
  Boss& boss = g_bosses[0];
  AttackScratch& scratch = g_attackScratch;
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) {
    SetBossMoveTarget(0, 224.0, 150.0, kMoveSteps);
    S(0) = 2 * d + 4;
    scratch.sign = 1.0;
    scratch.angle = 0.0;
  }
  if (t == 70) g_spellCardActive = 0;
  if (t == 100 && d >= 2) {
    const double aim = AimFromBoss();
    ShootFan({.colour = 1, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
              .triggerAge = 55, .n = 8, .spread = 360, .x = boss.x, .y = boss.y, .speed = 1.5,
              .accel = 0.01, .speedLimit = 2.0, .turnRate = 3.0, .centre = aim});
    ShootFan({.colour = 1, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
              .triggerAge = 55, .n = 8, .spread = 360, .x = boss.x, .y = boss.y, .speed = 1.5,
              .accel = 0.01, .speedLimit = 2.0, .turnRate = -3.0, .centre = aim});
  }
  if (t >= 102 && t <= 156 && (t - 102) % 6 == 0) {
    const double aim = AimFromBoss();
    for (int bp : {20, -20}) {
      ShootRing({.colour = 1, .sheet = 13, .spawnCode = 1, .behaviour = kBehaviourSway,
                 .behaviourParam = bp, .triggerAge = 50, .n = 8, .x = boss.x, .y = boss.y,
                 .accel = 0.1, .speedLimit = 1.5, .base = aim});
    }
    for (int bp : {20, -20}) {
      ShootRing({.colour = 1, .sheet = 13, .spawnCode = 1, .behaviour = kBehaviourSway,
                 .behaviourParam = bp, .triggerAge = 50, .n = 8, .x = boss.x, .y = boss.y,
                 .speed = 3.0, .accel = -0.05, .speedLimit = 1.5, .base = aim});
    }
  }
  if (t == 160 || t == 170) TurningRings();
  if (t == 200) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 100);
  }
  const double n = S(0);
  if (t == 230) {
    scratch.angle = AimFromBoss();
    Spokes(scratch.angle);
  }
  if (t == 245) FansAlongSpokes(scratch.angle);
  if (t == 250) {
    scratch.angle = AimFromBoss();
    Spokes(scratch.angle - 180 / n);
  }
  if (t == 265) FansAlongSpokes(scratch.angle - 180 / n);
  if (t == 270) {
    const int ry = NextRandom();
    const int rx = NextRandom();
    SetBossMoveTarget(0, static_cast<int>(g_player.x) + rx % 60 - 30, 125 + ry % 50, kMoveSteps);
  }
  if (t == 330) {
    boss.phaseTimer = 99;
    scratch.sign = -scratch.sign;
  }
  BendSpokes();
}

void RunStage2BellCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 2500, 2400, 3800000, 660});
  Boss& boss = g_bosses[0];
  AttackScratch& scratch = g_attackScratch;
  const int d = g_difficulty;
  const bool hard = d >= 2;
  const int t = boss.phaseTimer;
  const double o = S(0);
  const int m = static_cast<int>(S(1));
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, kMoveSteps);
  if (t == 70) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 80);
    S(0) = 0.0;
    S(1) = 10 * (d + 1);
    scratch.angle = 0.0;
  }
  if (t == 100) {
    RingOf(2, 2, 30, kBehaviourStopTurning, m + 10, 0.0, 0.1, 1.0, o);
    scratch.angle = AimFromBoss();
  }
  if (t == 150) {
    PairOfRings(2, 0, 2, 30, kBehaviourStopTurning, m, 0.1, 2.0, 10.0, o);
    PlayEffect(kSeAttackBell);
    if (hard) PairOfRings(2, 20, 14, 0, kBehaviourSway, 10, 0.1, 3.0, 0.8, 0.0);
    PairOfRings(3, 10, 14, 0, kBehaviourSway, 10, 0.3, 3.6, 1.0, 0.0);
  }
  if (t == 185 || t == 285) SetBossAnimation(0, 0, 65);
  if (t == 200) {
    if (d == 2) RingOf(0, 15, 0, kBehaviourNone, 8, 3.0, -0.1, 1.0, scratch.angle);
    if (d == 3) {
      RingOf(0, 15, 0, kBehaviourNone, 12, 3.0, -0.1, 1.0, scratch.angle);
      RingOf(0, 15, 0, kBehaviourNone, 12, 3.0, -0.05, 1.0, scratch.angle);
    }
    RingOf(2, 2, 30, kBehaviourStopTurning, 2 * m, 0.0, 0.1, 1.0, o);
  }
  if (t == 250) {
    // On Easy m - 10 is 0, which the emitter fires as one bullet.
    PairOfRings(3, 0, 2, 15, kBehaviourStopTurning, m - 10, 0.1, 1.0, 1.0, o);
    PlayEffect(kSeAttackBell);
    if (hard) PairOfRings(0, 20, 14, 0, kBehaviourSway, 10, 0.2, 3.2, 1.0, 0.0);
    PairOfRings(4, 10, 14, 0, kBehaviourSway, 10, 0.4, 4.0, 1.0, 0.0);
  }
  if (t >= 150 && t <= 250 && t % 10 == 0) {
    const bool lunatic = d == 3;
    ShootFan({.colour = lunatic ? 0 : 2, .sheet = 13, .spawnCode = 1, .n = lunatic ? 10 : 8,
              .spread = 360, .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.1,
              .speedLimit = 1.0, .centre = scratch.angle});
  }
  if (t == 300) {
    boss.phaseTimer = 99;
    S(0) = NextRandom() % 10;
  }
}

void RunStage2FamiliarCard(AttackStep& step) {
  DeclareCard(step, {kPortrait, 2000, 2000, 4000000, 860});
  Boss& boss = g_bosses[0];
  AttackScratch& scratch = g_attackScratch;
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, kMoveSteps);
  if (t == 70) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    scratch.sign = 1.0;
    S(0) = 8.0;
    S(1) = 0.0;
  }
  if (t == 100) SpawnFamiliars();
  const double offset = (4 * d + 166) * scratch.sign;
  if (t >= 110 && t <= 160 && t % 10 == 0) FallingEnemy(8 + (t - 110) / 10, 900 - offset);
  if (t >= 210 && t <= 260 && t % 10 == 0) FallingEnemy(8 + (t - 210) / 10, 900 + offset);
  if (t >= 350 && t <= 400 && t % 10 == 0) FallingEnemy(8 + (t - 350) / 10, 720.0);
  if (t == 300) {
    // 720 aims at the player, 900 flies straight away from it.
    SpawnEnemy({.slot = 14, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 50,
                .m2 = kMotionStraight, .t2 = 51, .sprite = 3, .special = 10, .x = 74.0, .s1 = 8.0,
                .a1 = 720.0, .s2 = 8.0, .a2 = 900.0});
    SpawnEnemy({.slot = 15, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 50,
                .m2 = kMotionStraight, .t2 = 51, .sprite = 3, .special = 10, .x = 374.0, .s1 = 8.0,
                .a1 = 720.0, .s2 = 8.0, .a2 = 900.0});
    SpawnEnemy({.slot = 16, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 500,
                .m2 = kMotionStraight, .t2 = 500, .sprite = 3, .special = 10, .x = 74.0, .s1 = 8.0,
                .a1 = 270.0, .s2 = 8.0, .a2 = 900.0});
    SpawnEnemy({.slot = 17, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 500,
                .m2 = kMotionStraight, .t2 = 500, .sprite = 3, .special = 10, .x = 374.0, .s1 = 8.0,
                .a1 = 270.0, .s2 = 8.0, .a2 = 900.0});
  }
  if (t == 500) {
    const int ry = NextRandom();
    const int rx = NextRandom();
    SetBossMoveTarget(0, g_player.x + rx % 50, 125 + ry % 50, kMoveSteps);  // y drawn first
  }
  if (t == 570) RunBossChargeEffect(0, 0);
  if (t == 601) {
    boss.phaseTimer = 99;
    scratch.sign = -scratch.sign;
  }
  BurstFamiliars();
}
