// The cards of stage 4: the mistress's carpet of rings (slot 10), closing walls (slot 11),
// goblet rings and laser stars (slot 12) and gallery markers (slot 13).
#include <cmath>
#include <initializer_list>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kBossPortrait = 5;



void MoveNearPlayer(double baseY, int steps) {
  const int r1 = NextRandom();
  const int r2 = NextRandom();
  SetBossMoveTarget(0, g_player.x + r2 % 50 - 25, baseY + r1 % 50, steps);
}

// ---------------------------------------------------------------------------
// Slot 10. Scratch: 0, 1, 2 the running angles A, B, C.

void CarpetRing(int param, double base) {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  ShootRing({.colour = 3, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourTurnAndRestart,
             .behaviourParam = param, .triggerAge = 20, .n = 6 + d % 2, .x = boss.x, .y = boss.y,
             .speed = 5.0, .accel = 20.0 + 10 * d, .speedLimit = 5.0, .base = base});
}

// ---------------------------------------------------------------------------
// Slot 11. Scratch: 0 angle a, 1 wall count w, 2 ring count n, 3 line parameter p, 4 sign s.

void Walls(int t) {
  const double a = S(0), s = S(4);
  const int w = static_cast<int>(S(1)), p = static_cast<int>(S(3));
  const double wave = std::trunc(-50 * std::sin(t * 3.141593 / 180));
  ShootCentredLine({.colour = 3, .sheet = 12, .spawnCode = 1, .behaviour = kBehaviourSway,
                    .behaviourParam = -(p / 2), .n = w, .length = 400, .x = 224 + 190 * s,
                    .y = 240 - wave, .speed = 1.0, .speedLimit = 1.0, .tilt = 90.0,
                    .offset = a * s});
  ShootCentredLine({.colour = 2, .sheet = 13, .spawnCode = 1, .behaviour = kBehaviourSway,
                    .behaviourParam = p, .n = w, .length = 400, .x = 224 - 190 * s, .y = 240.0,
                    .speed = 1.0, .speedLimit = 1.0, .tilt = 90.0, .offset = -a * s});
}

// ---------------------------------------------------------------------------
// Slot 12. Scratch: 0 ring count n, 1 laser count m, 4 sign s.

int ShrinkingRadius(int t) { return 100 - (t - 100) % 210; }

void GobletRings(int t) {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int n = static_cast<int>(S(0));
  const int r = ShrinkingRadius(t);
  const double limit = d / 2 + 2;
  ShootRingOnCircle({.colour = 3, .sheet = 12, .spawnCode = 1, .behaviour = kBehaviourTurnWhileSlow,
                     .behaviourParam = 3, .n = n, .radius = r, .x = boss.x, .y = boss.y,
                     .speed = -1.0, .accel = 0.01, .speedLimit = limit,
                     .base = static_cast<double>(t), .offset = 2.0 * t + 180});
  ShootRingOnCircle({.colour = 3, .sheet = 12, .spawnCode = 1, .behaviour = kBehaviourTurnWhileSlow,
                     .behaviourParam = 3, .n = n, .radius = r, .x = boss.x, .y = boss.y,
                     .speed = -1.0, .accel = 0.01, .speedLimit = limit,
                     .base = static_cast<double>(-t), .offset = 180.0 - 2 * t});
}

// Two stars of m short lasers turning against each other; the angles divide the circle
// exactly (a real quotient, as in every double argument).
void LaserStars(int t) {
  const Boss& boss = g_bosses[0];
  const int m = static_cast<int>(S(1));
  const double s = S(4);
  for (int i = 0; i < m; ++i) {
    ShootLaserAtAngle({.colour = 3, .spawnCode = 1, .x = boss.x, .y = boss.y,
                       .angle = i * 360.0 / m + s * t, .lifetime = 800, .fullLength = 100,
                       .fullWidth = 3, .growth = 5.0, .startLength = 10.0});
  }
  for (int j = 0; j < m; ++j) {
    ShootLaserAtAngle({.colour = 3, .spawnCode = 1, .x = boss.x, .y = boss.y,
                       .angle = j * 360.0 / m + 5 - s * t, .lifetime = 800, .fullLength = 100,
                       .fullWidth = 3, .growth = 5.0, .startLength = 10.0});
  }
}

void SlowRingsAndLayers() {
  const Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const double s = S(4);
  for (double speed : {4.0, 3.0, 2.0}) {
    ShootRing({.colour = 3, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourStopTurning,
               .triggerAge = 90, .n = d + 10, .x = boss.x, .y = boss.y, .speed = speed,
               .speedLimit = speed, .turnRate = 2 * s, .base = 90.0});
  }
  ShootLayeredFan({.colour = 3, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourTurnWhileSlow,
                   .behaviourParam = 3, .n = static_cast<int>(S(0)), .spread = 360, .layers = 3,
                   .x = boss.x, .y = boss.y, .speed = -1.0, .accel = 0.03, .speedLimit = 6.0,
                   .turnRate = -s, .centre = AngleToPlayer(boss.x, boss.y), .layerDelay = 30.0});
}

// ---------------------------------------------------------------------------
// Slot 13. Scratch: 1 marker count k, 2 angle value v, 3 laser count L; slots 0-1 the
// markers in the order made, slots 2.. the lasers of timer 150.

constexpr int kMarkerSlots = 0, kGalleryLaserSlots = 2;

// Two draws summed and folded into 19..37 (or 0..18 above 19): a point on the top edge.
int FoldedSum(int mod1, int mod2) {
  const int r1 = NextRandom();
  const int r2 = NextRandom();
  const int a = r1 % mod1 + r2 % mod2;
  return a <= 19 ? a + 19 : a - 19;
}

void GalleryLasers() {
  const int count = static_cast<int>(S(3));
  for (int i = 0; i < count; ++i) {
    const int a = FoldedSum(19, 19);
    const int b = FoldedSum(28, 10);
    const int r5 = NextRandom();
    const int r6 = NextRandom();
    Slot(kGalleryLaserSlots + i) = SpawnLaser(11, 32 + 10 * a + r6 % 10, 0.0,
                                              32 + 10 * b + r5 % 10, 550.0, 0.0, 1000, 3, 140, 170, 9);
  }
}

// The lasers made at 150 turn from their warning colour as they open. They are the slots
// they were made in (0 to L - 1 whenever no other laser was out), so another laser that
// holds one of those slots keeps its colour.
void ColourGalleryLasers() {
  const int count = static_cast<int>(S(3));
  for (int i = 0; i < count; ++i) {
    if (Laser* laser = LiveLaserInSlot(Slot(kGalleryLaserSlots + i))) laser->colour = 2;
  }
}

void MarkerRings() {
  const int d = g_difficulty;
  const int speedDigit = SlowDigitOfGameSpeed(g_gameSpeed);
  S(2) += 20 - 15 * speedDigit;
  const int code = 10 * speedDigit + 1;
  const int v = static_cast<int>(S(2));
  const int k = static_cast<int>(S(1));
  // The last marker made fires first. Each marker is the slot its spawn returned, not
  // the slots below the last one: a marker that found the pool full, or a slot taken
  // since by another bullet, fires nothing.
  for (int j = k - 1; j >= 0; --j) {
    const EnemyBullet* marker = LiveSatellite(Slot(kMarkerSlots + j), kBehaviourBossEllipse);
    if (marker == nullptr) continue;
    const double x = static_cast<int>(marker->x), y = static_cast<int>(marker->y);
    ShootRing({.colour = 2, .sheet = 13, .spawnCode = code, .behaviour = kBehaviourTurnWhileSlow,
               .behaviourParam = 2, .n = d / 2 == 0 ? 6 : 8, .x = x, .y = y, .speed = 3.0,
               .speedLimit = 3.0, .turnRate = 0.1, .base = static_cast<double>(v % 100)});
    ShootRing({.colour = 3, .sheet = 14, .spawnCode = code, .behaviour = kBehaviourTurnWhileSlow,
               .behaviourParam = 3, .n = 6, .x = x, .y = y, .speed = 3.0, .accel = -0.05,
               .speedLimit = 2.0, .turnRate = 2.0, .base = static_cast<double>(-(v % 100))});
  }
}

}  // namespace

void RunStage4CarpetCard(AttackStep& step) {
  DeclareCard(step, {kBossPortrait, 1800, 1800, 6500000, 510});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50);
  if (t == 70) {
    S(0) = S(1) = S(2) = 0;
    g_spellCardActive = 0;
  }
  if (t == 135) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 170);
  }
  if (t == 200 || t == 275) PlayEffect(kSeAttackBell);
  if (t == 300) {
    S(0) = S(1) = 0;
    boss.phaseTimer = 99;
    return;
  }
  const bool ringStep = d >= 2 || t % 2 == 0;
  if (t >= 150 && t <= 200 && ringStep) {
    CarpetRing(25 - (t - 150) / 2, S(0));
    S(0) += 5;
  }
  if (t >= 200 && t <= 250 && ringStep) {
    CarpetRing(50 - (t - 200) / 2, S(1));
    S(1) -= 5;
  }
  if (t >= 250 && t <= 290 && t % 10 == 0) {
    const int colour = d >= 2 ? 4 : 1;
    for (int param : {5 * (d + 1), -5 * (d + 1)}) {
      ShootRing({.colour = colour, .sheet = 15, .spawnCode = 11, .behaviour = kBehaviourSway,
                 .behaviourParam = param, .n = 10, .x = boss.x, .y = boss.y, .accel = 0.1,
                 .speedLimit = 2.0, .base = S(2)});
    }
    S(2) += 5;
  }
}

void RunStage4WallCard(AttackStep& step) {
  DeclareCard(step, {kBossPortrait, 2400, 2400, 6500000, 410});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    S(0) = 90;
    S(1) = d / 2 + 5;
    S(2) = 2 * d + 6;
    S(3) = 2 * d + 4;
    S(4) = 1;
    g_spellCardActive = 0;
  }
  if (t == 150) {
    const int r = NextRandom();
    SetBossMoveTarget(0, g_player.x + r % 50 - 25, 150.0, 100);
  }
  if (t == 270) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 60);
  }
  if (t == 300) {
    ShootRingOnCircle({.colour = 3, .sheet = 15, .spawnCode = 3, .behaviour = kBehaviourFireLasers,
                       .behaviourParam = 1501 + 2 * d, .n = static_cast<int>(S(2)), .radius = 100,
                       .x = boss.x, .y = boss.y, .speed = -1.0, .accel = 0.05, .speedLimit = 2.0,
                       .base = 20 * S(4), .offset = 190.0});
  }
  if (t == 350) MoveNearPlayer(150.0, 100);
  if (t == 460) {
    boss.phaseTimer = 99;
    if (d >= 2) S(4) = -S(4);  // the next cycle starts from the other side
    return;
  }
  if (t < 100) return;
  if (Every(t, 30)) Walls(t);
  ContinueLasersAtSideWalls();
}

void RunStage4GobletCard(AttackStep& step) {
  DeclareCard(step, {kBossPortrait, 3000, 3000, 6700000, 410});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    S(0) = 2 * d + 12;
    S(1) = 2 * d + 3;
    S(4) = 1;
    g_spellCardActive = 0;
  }
  if (t == 320) SetBossAnimation(0, 0, 60);
  if (t == 350) {
    MoveNearPlayer(125.0, 100);
    if (d < 2) SlowRingsAndLayers();
  }
  if (t == 460) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 170);
    RunBossBreakRing(0, 0);
  }
  // While the speed's units digit is 1 the bullets move on every second frame only.
  if (t == 475) g_gameSpeed = RaiseSlowDigit(g_gameSpeed);
  if (t == 775) {
    g_gameSpeed = WithoutSlowDigit(g_gameSpeed);
    boss.phaseTimer = 99;
    S(4) = -S(4);
    return;
  }
  if (t >= 100 && t <= 300 && Every(t, d >= 2 ? 10 : 12)) GobletRings(t);
  if (d >= 2 && t >= 200 && t <= 449 && Every(t, 30)) {
    const double s = S(4);
    ShootRingOnCircle({.colour = 4, .sheet = 15, .spawnCode = 1,
                       .behaviour = kBehaviourAimAndSpeedUp, .behaviourParam = 3, .triggerAge = 10,
                       .n = 2 * d + 2, .radius = ShrinkingRadius(t), .x = boss.x, .y = boss.y,
                       .speed = 2.0, .speedLimit = static_cast<double>(d / 2 + 3), .base = s * t,
                       .offset = 10 * s});
  }
  if (t >= 200 && t <= 320 && Every(t, 10)) LaserStars(t);
}

void RunStage4GalleryCard(AttackStep& step) {
  DeclareCard(step, {kBossPortrait, 3500, 3000, 8000000, 460});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    S(1) = d == 0 ? 1 : 2;
    S(2) = 80;
    S(3) = 5 * d + 5;
    g_spellCardActive = 0;
    const int k = static_cast<int>(S(1));
    for (int i = 0; i < k; ++i) {
      Slot(kMarkerSlots + i) =
          SpawnBulletIndexed(2, 0, kBehaviourBossEllipse, 30, 0.0, 0.0, 0.0, 10.0, 100.0, -1.0,
                             360.0 * i / k);
    }
  }
  if (t == 100) {
    ShootRing({.sheet = 15, .spawnCode = 1, .behaviour = kBehaviourTurnWhileSlow, .n = 4 * d + 4,
               .x = boss.x, .y = boss.y, .speed = 3.0, .speedLimit = 3.0, .turnRate = 5.0,
               .base = 270.0});
  }
  if (t == 135) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 115);
    RunBossBreakRing(0, 0);
  }
  if (t == 150) {
    S(2) = 145;
    g_gameSpeed = RaiseSlowDigit(g_gameSpeed);
    if (d >= 2) GalleryLasers();
  }
  if (t == 290) {
    S(2) = 200;
    if (d >= 2) ColourGalleryLasers();
    g_gameSpeed = WithoutSlowDigit(g_gameSpeed);
    boss.phaseTimer = t = 300;  // 291-299 never come
  }
  if (t == 540) {
    boss.phaseTimer = 99;
    S(2) = 80;
    return;
  }
  if (t >= 100 && (Every(t, 20) || (Every(t, 10) && SlowDigitOfGameSpeed(g_gameSpeed) != 0))) MarkerRings();
}
