// The cards of stage 3: the mid-boss's sweeping lines (slot 6), and the grove keeper's
// frozen rings (slot 7), turning laser figure (slot 8) and laser cage (slot 9).
#include <cmath>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kMidBossPortrait = 3;
constexpr int kBossPortrait = 1;


// A point of a laser figure: radius r at angle a, in degrees turning clockwise on the
// screen (y grows downward), unlike the bullets' angles.
struct Point {
  double x, y;
};
Point At(double cx, double cy, double r, double a) {
  const double radians = a * kPi / 180.0;
  return {cx + r * std::cos(radians), cy + r * std::sin(radians)};
}

int LaserAt(double cx, double cy, double r1, double a1, double r2, double a2, int spawnCode,
            double growth, int fullLength, int fullWidth, int lifetime, int colour) {
  const Point p = At(cx, cy, r1, a1), q = At(cx, cy, r2, a2);
  return SpawnLaser(spawnCode, p.x, p.y, q.x, q.y, growth, fullLength, fullWidth, 0, lifetime,
                    colour);
}

// ---------------------------------------------------------------------------
// Slot 6. Scratch: 0 sweep sign, 1 line period, 2 sweep centre offset, 3 sweep
// amplitude, 4 line length.

void SweepLine(double x, double y, int sheet, double limit, double offset) {
  ShootCentredLine({.colour = 2, .sheet = sheet, .spawnCode = 1, .behaviour = kBehaviourEaseByRate,
                    .behaviourParam = 4, .triggerAge = 180, .n = 3,
                    .length = static_cast<int>(S(4)), .x = x, .y = y, .speedLimit = limit,
                    .tilt = 180.0, .offset = offset});
}

// Two lines beside the sweep's point flying off at random angles.
void ScatterPair(int x, double y) {
  const int r1 = NextRandom();
  SweepLine(x + 10, y, 13, 1.0, 90 + r1 % 180);
  const int r2 = NextRandom();
  SweepLine(x - 10, y, 13, 1.0, 90 - r2 % 180);
}

void FirstSweepLine(int t) {
  const int d = g_difficulty;
  const int period = static_cast<int>(S(1));
  const int u = t - 100;
  const int x = static_cast<int>(224 + S(0) * (S(2) + S(3) * std::cos(kPi * u / 80)));
  const double y = 3 * u;
  const int p = (t / period) % 2;
  const int r = NextRandom();
  SweepLine(x, y, 2, d >= 2 ? 0.8 : 0.5, 3.0 * t + 90 + 180 * p + r % 3);
  if (d >= 2 && Every(t, 2 * period)) SweepLine(224, y, 13, d == 2 ? 0.8 : 1.1, 17.0 * t + 90);
  if (Every(t, 10 * period)) ScatterPair(x, y);
}

// The mirror image, from the other side; its scatter comes every 11 lines, not 10.
void SecondSweepLine(int t) {
  const int d = g_difficulty;
  const int period = static_cast<int>(S(1));
  const int v = t - 200;
  const double offsetX = S(0) * (S(2) + S(3) * std::cos(kPi * v / 80));
  const int x = static_cast<int>(224 - offsetX);
  const double y = 3 * v;
  const int p = (t / period) % 2;
  const int r = NextRandom();
  SweepLine(x, y, 2, d % 2 == 0 ? 0.5 : 0.7, 90 + 180 * p - 3.0 * t + r % 3);
  if (Every(t, 11 * period)) ScatterPair(x, y);
}

// ---------------------------------------------------------------------------
// Slot 7. Scratch: 0 ring counter, 2 aim, 3 boss-ring period, 4 sense.

struct Corner {
  double x, y;
  int colourLow, colourHigh;  // Easy and Normal; Hard and Lunatic
};
constexpr Corner kCorners[4] = {
    {124, 124, 3, 3}, {324, 324, 3, 2}, {124, 324, 0, 0}, {324, 124, 0, 1}};

int CornerColour(const Corner& c) { return g_difficulty >= 2 ? c.colourHigh : c.colourLow; }

void CornerRings() {
  const double n = S(0);
  for (const Corner& c : kCorners) {
    ShootRing({.colour = CornerColour(c), .sheet = 2, .spawnCode = 1, .n = static_cast<int>(5 * n),
               .x = c.x, .y = c.y, .speed = 0.1, .accel = 0.1, .speedLimit = 1.0,
               .turnRate = 1 + 0.2 * n, .base = S(2)});
  }
  S(0) += 1;
}

// Five headings, and for each the four corners in the order and colours of the rings.
void CornerLasers() {
  for (int k = 0; k < 5; ++k) {
    const double a = 72 * k - 90;
    for (const Corner& c : kCorners) {
      LaserAt(c.x, c.y, 10, a, 12, a, 1, 0.5, 75, 5, 800, CornerColour(c));
    }
  }
}

void FreezeEverything() {
  PlayEffect(kSeAttackBell);
  for (EnemyBullet& b : g_enemyBullets) {
    if (b.state < 1) continue;
    b.speed = 0.0;
    b.accel = 0.0;
    b.turnRate = 0.0;
    b.sheet = 13;
    b.colour = 4;
    b.angle += 60 * S(4);
  }
  for (Laser& laser : g_lasers) {
    if (laser.state < 1) continue;
    laser.growth = 0.0;
    laser.colour = 9;
  }
}

// The boss rings (sheet 5) keep their own speeds.
void ReleaseFrozen() {
  for (EnemyBullet& b : g_enemyBullets) {
    if (b.state < 1 || b.sheet == 5) continue;
    b.accel = 0.05;
    NextRandom();  // drawn and not used
    b.speedLimit = 0.7;
    const int r = NextRandom();
    b.angle += r % 20;
  }
  for (Laser& laser : g_lasers) {
    if (laser.state >= 1) laser.growth = 0.3;
  }
}

void BossRings(int t) {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int period = static_cast<int>(S(3));
  const int q = ((t - 10) / period) % 10;
  const double sense = S(4);
  const double limit = d >= 2 ? 1.5 : 2.0;
  const double base = sense * (t - 440 + S(2));
  ShootRing({.colour = 1, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
             .triggerAge = 800 - t, .n = 6, .x = boss.x, .y = boss.y, .speed = 0.1 * (q + 1),
             .accel = 0.1, .speedLimit = limit, .turnRate = -0.07 * sense * q, .base = base});
  if (d >= 2) {
    ShootRing({.colour = 1, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
               .triggerAge = 800 - t, .n = 6, .x = boss.x, .y = boss.y, .speed = 0.1 * (q + 1),
               .accel = 0.1, .speedLimit = limit, .turnRate = 0.07 * sense * q, .base = base});
  }
}

// ---------------------------------------------------------------------------
// Slot 8. Scratch: 0 side sign, 1 height sign, 4 ring angle; the figure's laser slots.

// Six times four lasers about the boss; the angles are those of arm 0.
struct FigureLaser {
  double r1, a1, r2, a2;
  int fullLength;
};
constexpr FigureLaser kFigure[4] = {
    {90, 9, 90, 111, 150},    // chord
    {50, -90, 150, -90, 150},  // spoke
    {100, -15, 100, -45, 120}, // chord
    {110, -45, 110, -15, 120}, // chord
};
constexpr int kFigureLasers = 24;

// The lasers are kept by the slots they were given: 0 to 23, since no other laser is in
// play by then, but a laser of someone else's is never rewritten if that ever differs.
void SpawnFigure() {
  const Boss& boss = g_bosses[0];
  for (int k = 0; k < 6; ++k) {
    for (int i = 0; i < 4; ++i) {
      const FigureLaser& f = kFigure[i];
      g_attackScratch.slots[4 * k + i] = LaserAt(boss.x, boss.y, f.r1, f.a1 + 60 * k, f.r2,
                                                 f.a2 + 60 * k, 3, 0.1, f.fullLength, 5, 10000, 6);
    }
  }
}

// The figure follows the boss and turns by one degree a step.
void LayOutFigure(double turn) {
  const Boss& boss = g_bosses[0];
  for (int k = 0; k < 6; ++k) {
    for (int i = 0; i < 4; ++i) {
      Laser& laser = g_lasers[g_attackScratch.slots[4 * k + i]];
      if (laser.state == 0) continue;
      const FigureLaser& f = kFigure[i];
      const Point p = At(boss.x, boss.y, f.r1, f.a1 + 60 * k - turn);
      const Point q = At(boss.x, boss.y, f.r2, f.a2 + 60 * k - turn);
      laser.x1 = p.x;
      laser.y1 = p.y;
      laser.x2 = q.x;
      laser.y2 = q.y;
    }
  }
}

void MoveToASide() {
  const int d = g_difficulty;
  const int r1 = NextRandom();
  const int r2 = NextRandom();
  SetBossMoveTarget(0, 224 + S(0) * (r2 % 50 + 100 + 30 * (d / 2)), r1 % 50 + 185 + 60 * S(1),
                    175);
}

// Lines of bullets shed along every spoke, each at six turns from its outward direction.
void ShedFromSpokes() {
  const int n = g_difficulty % 2 == 0 ? 2 : 3;
  for (int k = 0; k < 6; ++k) {
    const Laser& spoke = g_lasers[g_attackScratch.slots[4 * k + 1]];
    if (spoke.state == 0) continue;
    for (int offset = 0; offset < 360; offset += 60) {
      ShootLine({.colour = 1, .sheet = 5, .behaviour = kBehaviourJumpThenStraighten,
                 .behaviourParam = 60, .triggerAge = 1, .n = n, .x = spoke.x1, .y = spoke.y1,
                 .x2 = spoke.x2, .y2 = spoke.y2, .speed = 4.0, .speedLimit = 1.5,
                 .offset = static_cast<double>(offset)});
    }
  }
}

// ---------------------------------------------------------------------------
// Slot 9. Scratch: 0 cage radius, 1 edge count, 2 ring turn step, 3 turn sign of the
// forming rings, 4 ring angle; the cage's laser slots.

constexpr int kCageEdges = 8;

void SpawnCage() {
  for (int k = 0; k < kCageEdges; ++k) {
    const Point p = At(224, 240, 300, 45 * k), q = At(224, 240, 300, 45 * k + 45);
    g_attackScratch.slots[k] = SpawnLaser(3, p.x, p.y, q.x, q.y, 0.0, 400, 100, 0, 10000, 6);
  }
}

// Bullets made with spawn code 2 turn back at the cage's band and vanish at the boss;
// player shots that reach the band once it has formed are sent at the boss.
void RunCageEdge(const Laser& edge, bool formed) {
  const Boss& boss = g_bosses[0];
  const double band = edge.fullWidth;
  // A freed edge bounces nothing, but the bounced bullets still vanish at the boss.
  const bool live = edge.state != 0;
  for (EnemyBullet& b : g_enemyBullets) {
    if (b.state == 2 && live && HitSegment(b.x, b.y, edge.x1, edge.y1, edge.x2, edge.y2, band)) {
      b.state = 1;
      b.angle += 180;
      b.turnRate = 0.0;
      b.sheet = 12;
      b.colour = 1;
    }
    if (b.state == 1 && HitCircle(b.x, b.y, boss.x, boss.y, 20)) b.state = 0;
  }
  if (!formed || !live) return;
  for (PlayerShot& shot : g_playerShots) {
    if (shot.state != 1 || !HitSegment(shot.x, shot.y, edge.x1, edge.y1, edge.x2, edge.y2, band)) {
      continue;
    }
    // The angle from the boss to the shot; the shots' 0 is straight up, so + 90 turns it
    // back toward the boss.
    const double out = std::atan2(boss.y - shot.y, shot.x - boss.x) * 180.0 / kPi;
    shot.angle = out + 90;
  }
}

void RunCage(int t) {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int u = t - 100;
  const Laser& first = g_lasers[g_attackScratch.slots[0]];
  const int formedAge = first.triggerAge + 3 * first.fullWidth;
  const bool formed = first.age > formedAge;
  if (u % 5 == 0 && formed) {
    const int j = t / 5;
    ShootRing({.colour = 1, .sheet = 5, .spawnCode = 2, .n = 6, .x = boss.x, .y = boss.y,
               .speed = 2.0, .accel = 0.05, .speedLimit = 3.0,
               .base = S(4) + 5 * ((j % 3) - 1) * (j % 2)});
    if (t >= 150 + 50 * S(2)) S(4) += 3 * S(2);
    if (Every(u, 60 * (2 - d / 2))) {
      ShootRing({.colour = 1, .sheet = 7, .spawnCode = 2, .n = 3 * d, .x = boss.x, .y = boss.y,
                 .speed = 1.0, .speedLimit = 1.0, .base = AimFromBoss()});
    }
  } else if (u % 60 == 0 && first.age < formedAge) {
    const int n = 4 * (d - d / 3) + 6;
    ShootRing({.colour = 1, .sheet = 15, .spawnCode = 3, .n = n, .x = boss.x, .y = boss.y,
               .speed = 3.0, .accel = -0.05, .speedLimit = 2.0});
    ShootRing({.colour = 4, .sheet = 9, .spawnCode = 3, .behaviour = kBehaviourStopTurning,
               .triggerAge = 60, .n = n, .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.05,
               .speedLimit = 2.0, .turnRate = 0.5 * S(3), .base = 270.0});
    S(3) = -S(3);
  }
  const int edges = static_cast<int>(S(1));
  for (int k = 0; k < edges && k < kCageEdges; ++k) {
    RunCageEdge(g_lasers[g_attackScratch.slots[k]], formed);
  }
}

}  // namespace

void RunStage3MidBossCard(AttackStep& step) {
  DeclareCard(step, {kMidBossPortrait, 2500, 2000, 4000000, 0});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 170);
    S(0) = 1;
    S(1) = 4 - d % 2;
    S(2) = 5 * (6 - d);
    S(3) = 5 * d + 35;
    S(4) = 300;
  }
  if (t == 100) SetBossAnimation(0, 0, 60);
  if (t == 320) {
    const int r = NextRandom();
    SetBossMoveTarget(0, ClampToInt(g_player.x, 60, 390), r % 100 + 100, 90);
  }
  if (t == 420) {
    boss.phaseTimer = 99;
    S(0) = -S(0);  // the next cycle sweeps from the other side
    return;
  }
  const int period = static_cast<int>(S(1));
  if (t >= 100 && t < 260 && Every(t, period)) FirstSweepLine(t);
  if (t >= 200 && t < 360 && Every(t, period)) SecondSweepLine(t);
}

void RunStage3RingCard(AttackStep& step) {
  DeclareCard(step, {kBossPortrait, 3000, 2800, 5300000, 410});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    S(0) = 1;
    S(2) = 360;
    S(3) = 3 * (5 - d);
    S(4) = 1;
  }
  if (t == 100) S(0) = d;
  if (t >= 100 && t <= 120 && t % 5 == 0) {
    ShootRing({.colour = 4, .sheet = 7, .spawnCode = 2, .n = static_cast<int>(5 * S(0)), .x = 224.0,
               .y = 224.0, .speed = 1.5, .speedLimit = 1.5, .turnRate = 1 + 0.1 * (S(0) - d)});
    S(0) += 1;
  }
  if (t == 130) {
    for (int k = 0; k < 5; ++k) {
      const double a = 72 * k + 90;
      LaserAt(224, 224, 10, a, 12, a, 2, 0.5, 100, 5, 800, 9);
    }
  }
  if (t == 150) {
    S(0) = 1;
    S(2) = AimFromBoss();
  }
  if (t == 150 || t == 155 || t == 160) CornerRings();
  if (t == 170) CornerLasers();
  if (t == 300) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 100);
  }
  if (t == 325 || t == 485) RunBossBreakRing(0, 0);
  if (t == 340) FreezeEverything();
  if (t == 400) {
    const int r1 = NextRandom();
    const int r2 = NextRandom();
    SetBossMoveTarget(0, r2 % 50 + g_player.x - 25, r1 % 50 + 100, 300);
  }
  if (t == 500) ReleaseFrozen();
  if (t == 900) {
    boss.phaseTimer = 99;
    S(4) = -S(4);  // the next cycle turns the other way
    return;
  }
  if (t > 410 && t < 770 && Every(t, static_cast<int>(S(3)))) BossRings(t);
}

void RunStage3FigureCard(AttackStep& step) {
  const int d = g_difficulty;
  DeclareCard(step, {kBossPortrait, d >= 2 ? 2000 : 1400, 2500, 5300000, 810});
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
  }
  if (t == 80) {
    S(0) = 1;
    S(1) = -1;
    S(4) = 0;
    SpawnFigure();
  }
  if (t == 100) {
    if (d >= 2) S(1) = -S(1);
    MoveToASide();
  }
  if (t == 280) {
    S(0) = -S(0);
    if (d >= 2) S(1) = -S(1);
    MoveToASide();
  }
  if (t == 460) {
    boss.phaseTimer = 99;
    if (d < 2) S(0) = -S(0);
    return;
  }
  if (t < 100) return;
  LayOutFigure(t - 100);
  if (t % 45 == 0) {
    if (t % 90 == 0) {
      ShootRing({.colour = 1, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
                 .triggerAge = 90, .n = 6, .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.1,
                 .speedLimit = 2.0, .turnRate = 5.0, .base = S(4)});
    }
    ShedFromSpokes();
    S(4) += 15;
  }
}

void RunStage3CageCard(AttackStep& step) {
  DeclareCard(step, {kBossPortrait, 4000, 3000, 5300000, 400});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 240.0, 50);
  if (t == 30) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 170);
    S(0) = 300;
    S(1) = kCageEdges;
    S(2) = d % 2 == 0 ? 0.5 : 1.0;
    S(3) = d < 2 ? 1 : 2;
    S(4) = 90;
    SpawnCage();
  }
  if (t == 100) SetBossAnimation(0, 0, 380);
  if (t == 460) {
    boss.phaseTimer = 99;
    S(2) = -S(2);  // the ring spin reverses every cycle
    return;
  }
  if (t >= 100) RunCage(t);
}
