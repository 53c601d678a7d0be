// The cards of stage 1: the mid-boss's card (slot 0, Hard and Lunatic) and the boss's
// two cards (slots 1 and 2).
#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"

namespace {

void CardSettings(int hp, int steps, int bonus) {
  Boss& boss = g_bosses[0];
  boss.hp = boss.maxHp = hp;
  boss.spellTimer = steps;
  g_spellBonus = bonus;
  g_spellCardActive = 1;
  boss.moveFrames = 0.0;
}

// ---------------------------------------------------------------------------
// Slot 0: turning fans of stars from both sides, and falling orbit rings.

void MidBossCardVolley(double angle, int layers) {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  ShootLayeredFan({.sheet = 7, .spawnCode = 1, .n = d + 1, .spread = 60, .layers = layers,
                   .x = boss.x, .y = boss.y, .speed = 5.0, .accel = -0.05, .speedLimit = 1.0,
                   .centre = angle, .layerDelay = 10.0 * d});
  ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .n = d + 1, .spread = 60,
                   .layers = layers, .x = boss.x, .y = boss.y, .speed = 5.0, .accel = -0.05,
                   .speedLimit = 1.0, .centre = 180 - angle, .layerDelay = 10.0 * d});
}

void FallingOrbitRing() {
  const int d = g_difficulty;
  PlayEffect(kSeAttackBell);
  const int r1 = NextRandom();
  const int r2 = NextRandom();
  const int r3 = NextRandom();
  ShootOrbitRing({.sheet = 12, .behaviour = kBehaviourHomeUntil,
                  .behaviourParam = r1 % 20 + 10 * d + 30, .triggerAge = 30 + r1 % 20, .n = 5,
                  .radius = 50, .x = static_cast<double>(124 + 10 * (r3 % 21)), .speed = 3.0,
                  .speedLimit = 3.0, .base = static_cast<double>(265 + r2 % 10), .ringColour = 4,
                  .ringSheet = 15, .ringSpeedLimit = 50,
                  .ringTurnRate = 0.5 * g_attackScratch.sign});
}

// ---------------------------------------------------------------------------
// Slot 1: dashes from side to side, each ending in rings that stop and turn.

void DashVolley(double sign) {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const double x = boss.x, y = boss.y;
  RunBossBreakRing(0, 0);
  if (d < 2) {
    const int n = g_attackScratch.ringSize;
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourJumpThenStraighten,
               .behaviourParam = 60, .triggerAge = 10, .n = n, .x = x, .y = y, .speed = 8.0,
               .accel = 0.1, .speedLimit = 3.0, .turnRate = 0.5 * sign, .base = 12.0});
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourJumpThenStraighten,
               .behaviourParam = 60, .triggerAge = 10, .n = n / 2, .x = x, .y = y, .speed = 8.0,
               .accel = 0.1, .speedLimit = 1.0, .turnRate = 0.2 * sign, .base = 24.0});
    ShootRing({.sheet = 3, .spawnCode = 1, .behaviour = kBehaviourJumpToLimit, .behaviourParam = 60,
               .triggerAge = 10, .n = n, .x = x, .y = y, .speed = 8.0, .accel = 0.1,
               .speedLimit = 3.0});
    ShootRing({.sheet = 3, .spawnCode = 1, .behaviour = kBehaviourJumpToLimit, .behaviourParam = 60,
               .triggerAge = 10, .n = n, .x = x, .y = y, .speed = 6.0, .accel = 0.1,
               .speedLimit = 3.0});
  } else {
    const int wide = 2 * d + 12, narrow = 2 * d + 8;
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourJumpThenStraighten,
               .behaviourParam = 60, .triggerAge = 10, .n = wide, .x = x, .y = y, .speed = 8.0,
               .accel = 0.1, .speedLimit = 3.0, .turnRate = 0.5 * sign, .base = 12.0});
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourJumpThenStraighten,
               .behaviourParam = 60, .triggerAge = 10, .n = wide, .x = x, .y = y, .speed = 8.0,
               .accel = 0.1, .speedLimit = 3.0, .turnRate = 0.5 * sign, .base = 24.0});
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourJumpThenStraighten,
               .behaviourParam = 60, .triggerAge = 10, .n = narrow, .x = x, .y = y, .speed = 8.0,
               .accel = 0.1, .speedLimit = 1.0, .turnRate = 0.2 * sign, .base = 12.0});
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourJumpThenStraighten,
               .behaviourParam = 60, .triggerAge = 10, .n = narrow, .x = x, .y = y, .speed = 8.0,
               .accel = 0.1, .speedLimit = 1.0, .turnRate = 0.2 * sign, .base = 24.0});
    ShootRing({.sheet = 3, .spawnCode = 1, .behaviour = kBehaviourJumpToLimit, .behaviourParam = 60,
               .triggerAge = 10, .n = wide, .x = x, .y = y, .speed = 8.0, .accel = 0.1,
               .speedLimit = 3.0});
    ShootRing({.sheet = 3, .spawnCode = 1, .behaviour = kBehaviourJumpToLimit, .behaviourParam = 60,
               .triggerAge = 10, .n = wide, .x = x, .y = y, .speed = 6.0, .accel = 0.1,
               .speedLimit = 3.0});
  }
}

// r is drawn first and moves y; r' moves x.
void DashTo(double xBase, double yBase) {
  const int r = NextRandom() % 50;
  const int rx = NextRandom() % 50;
  SetBossMoveTarget(0, xBase + rx, yBase + r, 50);
}

// ---------------------------------------------------------------------------
// Slot 2: a laser frame, a rain of resting needles that fall in turn, curling rings.

struct RandomPoint {
  double x, y;
};
// The y value is drawn first.
RandomPoint DrawPoint(int yRange) {
  const int ry = NextRandom();
  const int rx = NextRandom();
  return {32.0 + rx % 380, 16.0 + ry % yRange};
}

void RainCircle(int behaviourParam, int sheet, int triggerAge, BulletBehaviour behaviour,
                double limit, double angle, double offset, int yRange) {
  const RandomPoint p = DrawPoint(yRange);
  ShootRingOnCircle({.sheet = sheet, .spawnCode = 1, .behaviour = behaviour,
                     .behaviourParam = behaviourParam, .triggerAge = triggerAge, .n = 5,
                     .radius = 8, .x = p.x, .y = p.y, .speedLimit = limit, .base = angle,
                     .offset = offset});
}

// Rows the other difficulties do not fire are made as harmless decoys (kBehaviourVanish), so
// every difficulty draws the same count of random values per step.
void Rain() {
  const int d = g_difficulty;
  RainCircle(200, 5, 60, kBehaviourEaseToLimit, 3.0, 90.0, 0.0, 150);
  for (int side = 1; side >= -1; side -= 2) {
    const int rOffset = NextRandom();
    const int rAngle = NextRandom();
    RainCircle(200, 5, 60, kBehaviourEaseToLimit, 3.0, 90.0 + side * (rAngle % 5),
               side * (rOffset % 10), 150);
  }
  if (d >= 2) {
    const RandomPoint p = DrawPoint(150);
    ShootRing({.colour = 4, .sheet = 12, .spawnCode = 1, .n = 1, .x = p.x, .y = p.y, .accel = 0.01,
               .speedLimit = 2.0, .base = 270.0});
  }
  if (d == 2) {
    RainCircle(150, 2, 60, kBehaviourEaseToLimit, 2.0, 0.0, 0.0, 100);
  } else {
    RainCircle(0, 2, 60, kBehaviourVanish, 0.0, 0.0, 0.0, 100);
  }
  if (d == 3) {
    RainCircle(150, 2, 30, kBehaviourEaseToLimit, 2.0, 0.0, 180.0, 100);
  } else {
    RainCircle(0, 2, 30, kBehaviourVanish, 0.0, 0.0, 180.0, 100);
  }
}

void LaserFrame() {
  struct Segment {
    double x1, y1, x2, y2;
  };
  static constexpr Segment kLong[4] = {
      {kFieldLeft, 0, kFieldLeft, 500}, {64, 0, 62, 500}, {kFieldRight, 0, kFieldRight, 500},
      {385, 0, 387, 500}};
  static constexpr Segment kShort[6] = {{kFieldLeft, 100, 232, 50},  {92, 85, 122, 135},
                                        {152, 70, 182, 30},  {kFieldRight, 100, 217, 50},
                                        {357, 85, 327, 135}, {297, 70, 267, 30}};
  for (const Segment& s : kLong) SpawnLaser(2, s.x1, s.y1, s.x2, s.y2, 0.0, 600, 10, 30, 10000, 8);
  for (const Segment& s : kShort) SpawnLaser(2, s.x1, s.y1, s.x2, s.y2, 0.0, 300, 5, 30, 10000, 8);
}

}  // namespace

void RunStage1MidBossCard(AttackStep& step) {
  Boss& boss = g_bosses[0];
  AttackScratch& scratch = g_attackScratch;
  const int d = g_difficulty;
  if (d == 2 || d == 3) step.name = CardName(step.id);
  step.portrait = 2;
  step.bonusDrain = 740;

  const int t = boss.phaseTimer;
  if (t == 1) CardSettings(1200, 1800, 2000000);
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50);
  if (t == 70) {
    RunBossChargeEffect(0, 0);
    scratch.sign = 1.0;
    scratch.angle = 120.0;
  }
  if (t >= 100 && t <= 199 && t % 3 == 0) {
    const int layers = (d == 3 && (t < 130 || t > 170)) ? 2 : 5;
    MidBossCardVolley(scratch.angle, layers);
    scratch.angle += 13.0;
  }
  if (t == 120 || t == 240) FallingOrbitRing();
  if (t == 260) {
    const int r = NextRandom();
    const int rx = NextRandom();
    SetBossMoveTarget(0, 200 + rx % 50, 100 + r % 50, 50);
  }
  if (t == 340) {
    scratch.sign = -scratch.sign;
    scratch.angle = 120.0;
    boss.phaseTimer = 99;
  }
}

void RunStage1FirstCard(AttackStep& step) {
  Boss& boss = g_bosses[0];
  AttackScratch& scratch = g_attackScratch;
  const int d = g_difficulty;
  const bool hard = d >= 2;
  step.name = CardName(step.id);
  step.portrait = 2;
  step.bonusDrain = 760;

  const int t = boss.phaseTimer;
  const double sign = scratch.sign;
  if (t == 1) CardSettings(hard ? 1200 : 1400, 1800, 2000000);
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50);
  if (t == 70) {
    RunBossChargeEffect(0, 0);
    scratch.sign = 1.0;
    if (!hard) scratch.ringSize = 4 * d + 12;
  }
  if (t == 100) DashTo(200 + 100 * sign, 200);
  if (t == 150) DashVolley(1.0);
  if (t == 160) DashTo(200 - 100 * sign, 150);
  if (t == 210) DashVolley(-1.0);
  if (!hard) {
    if (t == 220) DashTo(200, 100);
    if (t == 270) DashVolley(0.0);
  } else {
    if (t == 270) DashVolley(1.0);
    if (t == 280) DashTo(200 - 100 * sign, 200);
    if (t == 340) DashVolley(-1.0);
    if (t == 350) DashTo(200, 100);
    if (t == 400) DashVolley(0.0);
  }
  if (t == 430) RunBossChargeEffect(0, 0);
  if (t == 460) {
    boss.phaseTimer = 99;
    scratch.sign = -scratch.sign;
  }
}

void RunStage1LastCard(AttackStep& step) {
  Boss& boss = g_bosses[0];
  AttackScratch& scratch = g_attackScratch;
  const int d = g_difficulty;
  const int s = d / 2;
  step.name = CardName(step.id);
  step.portrait = 2;
  step.bonusDrain = 590;

  const int t = boss.phaseTimer;
  if (t == 1) CardSettings(2700, 2700, 2500000);
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    LaserFrame();
    scratch.sign = 1.5;
  }
  if (t == 170) {
    const int r = NextRandom();
    const int rx = NextRandom();
    SetBossMoveTarget(0, ClampToInt(g_player.x + rx % 100 - 50, 124, 324), 150 + r % 50, 100);
  }
  if (t == 470) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 80);
  }
  if (t == 500) {
    PlayEffect(kSeAttackBell);
    boss.phaseTimer = 99;
    ShootRingWithAge({.colour = 4 - 3 * s, .spawnCode = 1, .behaviour = kBehaviourTurnGrowth,
                      .behaviourParam = -2, .startAge = 60, .n = 2 * (d - s) + 4, .x = boss.x,
                      .y = boss.y, .speed = 2.0, .accel = 0.1,
                      .speedLimit = static_cast<double>(s + 4),
                      .turnRate = 0.3 * scratch.sign * (s + 2)});
    scratch.sign = -scratch.sign;
  }
  // Read after the loop point above: the step that sets the timer back has no rain.
  if (boss.phaseTimer >= 100 && boss.phaseTimer % (2 * (s - d) + 14) == 0) Rain();
}
