// The second half of the Extra cards, ids 111-118: the trio's cards (with bosses 1 and 2)
// and the four cards met only in spell practice.
#include <algorithm>
#include <cmath>

#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/extra_attacks.h"

namespace extra_cards {
namespace {

constexpr double kDeg = kPi / 180;

// The trio cards bring in bosses 1 and 2 where free, stop every move, and (111, 112, 114)
// make the two translucent with their own bar.
void BringInSides(int secondKind, bool translucent) {
  if (T() != 1) return;
  if (B(1).state == 0) InitBoss(1, 0, 5, 0.0, 0.0);
  if (B(2).state == 0) InitBoss(2, 0, secondKind, 450.0, 0.0);
  for (int slot = 0; slot < kBossSlots; ++slot) B(slot).moveFrames = 0.0;
  if (!translucent) return;
  for (int slot = 1; slot <= 2; ++slot) {
    B(slot).maxHp = 2700;
    B(slot).state = 2;
  }
}

void MoveSides(double x1, double y1, double x2, double y2, double steps) {
  if (T() != 2) return;
  SetBossMoveTarget(1, x1, y1, steps);
  SetBossMoveTarget(2, x2, y2, steps);
}

// ---------------------------------------------------------------------------
// 111: three bosses and a mirror lattice.

void Lattice() {
  struct Piece {
    double x, y, angle, length;
  };
  static constexpr double kCorners[6][2] = {{24, 179},  {124, 352.2}, {324, 352.2},
                                            {424, 179}, {324, 5.8},   {124, 5.8}};
  Piece pieces[24];
  for (int k = 0; k < 6; ++k) {
    pieces[2 * k] = {224, 179, 60.0 * k, 400};
    pieces[2 * k + 1] = {kCorners[k][0], kCorners[k][1], 60.0 * (k + 1), 200};
    pieces[12 + 2 * k] = {kCorners[k][0], kCorners[k][1], 120.0 + 60 * k, 200};
    pieces[13 + 2 * k] = {kCorners[k][0], kCorners[k][1], 240.0 + 60 * k, 200};
  }
  for (int k = 0; k < 24; ++k) {
    const Piece& p = pieces[k];
    const int slot = ShootLaserAtAngle({.colour = 9, .spawnCode = 12, .triggerAge = 30, .x = p.x,
                                        .y = p.y, .angle = p.angle, .lifetime = 10000,
                                        .fullLength = 512, .fullWidth = 3,
                                        .startLength = p.length});
    if (k < 12) g_extraCards.lattice[k] = KeepLaser(slot);
  }
}

// A bullet still in spawn state 2 that touches a formed lattice line is mirrored across it,
// once: the touching bullet drops to state 1 and its copy is made in state 1.
void MirrorBullets() {
  for (int l = 0; l < 12; ++l) {
    const Laser* laser = LiveLaser(g_extraCards.lattice[l]);
    if (laser == nullptr || laser->age < laser->triggerAge) continue;
    const double mirror = 120.0 * ((l + 1) / 2);
    for (EnemyBullet& b : g_enemyBullets) {
      if (b.state != 2) continue;
      if (!HitSegment(b.x, b.y, laser->x1, laser->y1, laser->x2, laser->y2, laser->fullWidth)) {
        continue;
      }
      b.state = 1;
      ShootRing({.colour = b.colour, .sheet = b.sheet, .spawnCode = 11, .n = 1,
                 .x = WholePixel(b.x), .y = WholePixel(b.y), .speed = b.speed, .accel = b.accel,
                 .speedLimit = b.speedLimit, .base = mirror - b.angle});
    }
  }
}

}  // namespace

void RunExtraMirrorLatticeCard(AttackStep&) {
  const int t = T();
  BringInSides(6, true);
  MoveSides(274, 150, 174, 150, 50);
  if (t == 70) {
    for (int slot = 0; slot < kBossSlots; ++slot) RunBossChargeEffect(slot, 0);
    S(0) = 1;
    S(1) = 3;
    S(2) = 5;
    S(4) = Rand(90);
    Lattice();
  }
  // The loop step only sets the timer back: no rotation, volley or mirroring on it.
  if (t == 460) {
    B().phaseTimer = 99;
    return;
  }
  if (t >= 100 && Every(t - 100, 90)) {
    static constexpr double kPlaces[3][2] = {{224, 294}, {324, 121}, {124, 121}};
    const int first = static_cast<int>(S(0));
    for (int k = 0; k < 3; ++k) SetBossMoveTarget((first + k) % 3, kPlaces[k][0], kPlaces[k][1], 50);
    S(0) += 1;
  }
  if (t >= 100 && t % 10 == 0) {
    static constexpr int kSlotOfPhase[3] = {0, 1, 2};  // t mod 30 of 0, 10, 20
    static constexpr int kColour[3] = {0, 3, 1};
    const int slot = kSlotOfPhase[(t % 30) / 10];
    const Boss& boss = B(slot);
    ShootRing({.colour = kColour[slot], .sheet = 12, .spawnCode = 2, .n = static_cast<int>(S(1)),
               .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.05, .speedLimit = 1.0,
               .base = static_cast<double>(Rand(360))});
    ShootRing({.colour = kColour[slot], .sheet = 1, .spawnCode = 2, .n = static_cast<int>(S(2)),
               .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.05, .speedLimit = 1.0,
               .base = AimFromBoss(slot)});
  }
  MirrorBullets();
}

// ---------------------------------------------------------------------------
// 112: fences and turning beams.

void RunExtraFenceCard(AttackStep&) {
  const int t = T();
  BringInSides(4, true);
  MoveSides(374, 150, 74, 150, 50);
  if (t == 70) {
    static constexpr double kFences[4][4] = {{kFieldLeft, 125, kFieldRight, 125},
                                             {62, 175, 387, 175},
                                             {124, 125, 100, 500},
                                             {324, 125, 348, 500}};
    for (const auto& f : kFences) SpawnLaser(2, f[0], f[1], f[2], f[3], 0, 600, 10, 0, 10000, 0);
    S(0) = 0;
    S(1) = 50;
    S(4) = 1;
  }
  if (t == 100) {
    SetBossAnimation(1, 0, 4000);
    SetBossAnimation(2, 0, 4000);
  }
  if (t >= 100 && t <= 390 && Every(t, 10)) {
    const double a = S(0);
    for (double angle : {a, 180 + a}) {
      ShootLaserAtAngle({.colour = 3, .spawnCode = 2, .x = B(1).x, .y = B(1).y, .angle = angle,
                         .lifetime = 800, .fullLength = 100, .fullWidth = 3, .growth = 3.0,
                         .startLength = 10.0});
    }
    for (double angle : {180 - a, 360 - a}) {
      ShootLaserAtAngle({.colour = 8, .spawnCode = 2, .x = B(2).x, .y = B(2).y, .angle = angle,
                         .lifetime = 800, .fullLength = 100, .fullWidth = 3, .growth = 3.0,
                         .startLength = 10.0});
    }
    S(0) += 10;
  }
  if (t >= 120 && Every(t - 120, 60)) {
    PlayEffect(kSeAttackBell);
    const Boss& b0 = B();
    const int n = static_cast<int>(S(1));
    ShootFan({.colour = 4, .sheet = 15, .spawnCode = 2, .n = 26, .spread = 270, .x = b0.x,
              .y = b0.y, .speed = 4.0, .accel = -0.05, .speedLimit = 2.0, .centre = 90.0});
    ShootRing({.colour = 1, .sheet = 1, .spawnCode = 2, .n = n, .x = b0.x, .y = b0.y, .speed = 3.0,
               .accel = -0.05, .speedLimit = 1.0, .base = AimFromBoss()});
    ShootRing({.colour = 3, .sheet = 1, .spawnCode = 2, .n = n, .x = B(1).x, .y = B(1).y,
               .speed = 3.0, .accel = -0.05, .speedLimit = 1.0,
               .base = static_cast<double>(Rand(360))});
    ShootRing({.sheet = 1, .spawnCode = 2, .n = n, .x = B(2).x, .y = B(2).y, .speed = 3.0,
               .accel = -0.05, .speedLimit = 1.0, .base = static_cast<double>(Rand(360))});
  }
  if (t == 370) RunBossChargeEffect(0, 0);
  if (t == 400) B().phaseTimer = 99;
}

// ---------------------------------------------------------------------------
// 113: the breathing star (survival).

namespace {

// The star's five lines around P = (A, B) with radius R, pushed out by k.
void PlaceStar(int t) {
  const double a = S(0), b = S(1), r = S(2);
  const double k = t < 3330 ? 350 + 350 * std::cos((t - 270) * kDeg) : 0.0;
  const double tan18 = std::tan(18 * kDeg), sin36 = std::sin(36 * kDeg);
  Laser* l[5];
  for (int j = 0; j < 5; ++j) l[j] = LiveLaser(g_extraCards.star[0][j]);
  if (l[0]) {
    l[0]->x1 = a - (b - r) * tan18 + k;
    l[0]->x2 = a + (r + 480 - b) * tan18 + k;
  }
  if (l[1]) {
    l[1]->x1 = a + (b - r) * tan18 - k;
    l[1]->x2 = a - (r + 480 - b) * tan18 - k;
  }
  if (l[2]) l[2]->y1 = l[2]->y2 = b - r * std::cos(72 * kDeg) - k;
  if (l[3]) {
    l[3]->y1 = b - (a - r * sin36) * 0.809017 + k;
    l[3]->y2 = b + (450 - a + r * sin36) * 0.809017 + k;
  }
  if (l[4]) {
    l[4]->y1 = b + (a + r * sin36) * 0.809017 + k;
    l[4]->y2 = b - (450 - a - r * sin36) * 0.809017 + k;
  }
}

bool IsStarLine(int slot) {
  for (int j = 0; j < 5; ++j) {
    if (LiveLaser(g_extraCards.star[0][j]) != nullptr && g_extraCards.star[0][j].slot == slot) {
      return true;
    }
  }
  return false;
}

// Beams bounce once off the field's edges while their colour is one of the last two.
void ReflectBeams() {
  for (int slot = 0; slot < kLaserSlots; ++slot) {
    if (IsStarLine(slot)) continue;
    Laser& laser = g_lasers[slot];
    if (laser.state == 0) continue;
    const bool outY = laser.y2 < 16 || laser.y2 > 464;
    const bool outX = laser.x2 < kFieldLeft || laser.x2 > kFieldRight;
    if (!outY && !outX) {
      if (laser.state == 1) laser.state = 2;
      continue;
    }
    // A laser of no length has no direction to mirror.
    if (laser.state != 2 || S(4) - laser.colour >= 2 || laser.fullLength <= 0) continue;
    const Laser old = laser;
    const double w = old.fullLength;
    const double x3 = outY ? old.x2 + (old.x2 - old.x1) / w : old.x2 + (old.x1 - old.x2) / w;
    const double y3 = outY ? old.y2 + (old.y1 - old.y2) / w : old.y2 + (old.y2 - old.y1) / w;
    SpawnLaser(11, old.x2, old.y2, x3, y3, old.growth, old.fullLength, old.fullWidth,
               old.triggerAge - old.age, old.lifetime - old.age, old.colour);
    laser.state = 1;
  }
}

}  // namespace

void RunExtraBreathingStarCard(AttackStep&) {
  const int t = T();
  BringInSides(6, false);
  MoveSides(374, 150, 74, 150, 50);
  Boss& b0 = B();
  if (t == 75) {
    RunBossChargeEffect(0, 0);
    for (int slot = 0; slot < kBossSlots; ++slot) RunBossBreakRing(0, slot);
    for (int j = 0; j < 5; ++j) {
      const int slot = ShootLaserAtAngle({.colour = 3, .spawnCode = 13, .lifetime = 10000,
                                          .fullLength = 1000, .fullWidth = 5, .startLength = 10.0});
      g_extraCards.star[0][j] = KeepLaser(slot);
      if (Laser* l = LiveLaser(g_extraCards.star[0][j])) {
        if (j < 2) {
          l->y1 = 0;
          l->y2 = 480;
        } else {
          l->x1 = 0;
          l->x2 = 450;
        }
      }
    }
    S(0) = S(1) = 0;
    S(2) = 100;
    S(3) = S(4) = 0;
  }
  if (t == 90) {
    for (int slot = 0; slot < kBossSlots; ++slot) B(slot).state = 4;
    const double aim = AimFromBoss();
    // The layers of these fans come 10 steps apart.
    for (int slot = 0; slot < kBossSlots; ++slot) {
      ShootLayeredFan({.colour = 4, .sheet = 15, .spawnCode = 3, .n = 10, .spread = 360,
                       .layers = 4, .x = B(slot).x, .y = B(slot).y, .speed = -4.0, .accel = 0.05,
                       .speedLimit = 2.0, .centre = aim, .layerDelay = 10.0});
    }
  }
  if (t == 1350) S(2) = 75;
  if (t == 3150) {
    S(2) = 200;
    S(0) = 224;
    S(1) = 240;
    S(4) = 0;
  }
  if (t == 3540) SetBossMoveTarget(0, 224, 100, 50);
  if (t >= 120 && t <= 1320 && Every(t - 120, 120)) {
    const double aim = AimFromBoss();
    for (int k = 0; k < 5; ++k) {
      ShootLaserAtAngle({.colour = static_cast<int>(S(4)) % 10, .spawnCode = 2, .x = b0.x,
                         .y = b0.y, .angle = aim + 72 * k, .lifetime = 540, .fullLength = 100,
                         .fullWidth = 3, .growth = 3.0, .startLength = 10.0});
    }
    S(4) += 1;
  }
  if (t < 3200 && t % 360 == 270) {
    if (t < 3150) {
      S(0) = g_player.x;
      S(1) = std::min(g_player.y, 451.0);
    }
    // The marker colour (radius div 50 + 1) would pass the last colour at the radius of
    // 200: it is held at 4.
    const int colour = std::min(static_cast<int>(S(2)) / 50 + 1, 4);
    const double speed = S(2) / 15;
    for (int k = 0; k < 5; ++k) {
      SpawnBulletIndexed(colour, 30, kBehaviourHaltThenVanish, t == 3150 ? 1000 : 170,
                         static_cast<int>(S(0)), static_cast<int>(S(1)), speed, -speed / 30, 0.0,
                         0.0, 90.0 + 72 * k);
    }
  }
  if (t >= 271) PlaceStar(t);
  if (S(2) == 100 && t > 270 && t % 360 >= 80 && t % 360 <= 110 && t % 5 == 0) {
    for (int j = 0; j < 5; ++j) {
      const double cx = S(0) + S(2) * std::cos((72 * j - 90) * kDeg);
      const double cy = S(1) + S(2) * std::sin((72 * j - 90) * kDeg);
      ShootFan({.colour = 3, .sheet = 5, .spawnCode = 3, .n = 4, .spread = 90, .x = WholePixel(cx),
                .y = WholePixel(cy), .speed = -3.0, .accel = 0.1, .speedLimit = 3.0,
                .centre = AimFrom(cx, cy)});
    }
  }
  if (t % 30 == 0 && t > 1400 && t < 3120) {
    for (int j = 0; j < 3; ++j) {
      ShootPolygon({.colour = static_cast<int>(S(4)) % 5, .sheet = j == 1 ? 13 : 1, .n = 2, .m = 5,
                    .radius = 40 * (j + 1), .x = b0.x, .y = b0.y, .speed = 2 - 0.5 * j,
                    .rotation = static_cast<double>(t / 2 + 90),
                    .offset = static_cast<double>(j == 1 ? 162 : 126)});
    }
    S(4) += 1;
  }
  if (t % 5 == 0 && t >= 3320 && t <= 3595) {
    const int w = static_cast<int>(110 - S(4));
    for (int j = 0; j < 5; ++j) {
      const double cx = S(0) + S(2) * std::cos((72 * j + 90) * kDeg);
      const double cy = S(1) - S(2) * std::sin((72 * j + 90) * kDeg);
      ShootFan({.colour = 3, .sheet = 5, .spawnCode = 3, .behaviour = kBehaviourReverse,
                .behaviourParam = 1, .triggerAge = 60, .n = 4, .spread = w, .x = cx, .y = cy,
                .accel = 0.1, .speedLimit = 4.0, .centre = static_cast<double>(270 + 72 * j)});
    }
    if (S(4) < 90) S(4) += 2;
  }
  if (t >= 100 && t <= 1349) ReflectBeams();
}

// ---------------------------------------------------------------------------
// 114: the long last card. The side bosses fire their rings every 15 - intensity steps (every
// 10 at the intensity of 5).

void RunExtraLongLastCard(AttackStep&) {
  const int t = T();
  BringInSides(6, true);
  MoveSides(274, 100, 174, 100, 50);
  Boss& b0 = B();
  if (t == 70) {
    S(0) = 1;
    S(2) = 1;
    S(1) = 0;
    S(3) = 0;
    S(4) = 0;
    RunBossChargeEffect(0, 0);
  }
  if (b0.hp < b0.maxHp / 2.0) S(4) = std::max(S(4), 5.0);
  if (b0.hp < b0.maxHp / 4.0) S(4) = std::max(S(4), 10.0);
  // The loop step moves the card on to its next stage and fires nothing.
  if (t == 700) {
    b0.phaseTimer = 99;
    if (S(3) == 1) {
      S(1) = 0;
      S(2) = 1;
      S(3) = 2;
    }
    if (S(3) == 2) SetBossAnimation(0, 0, 600);
    if (S(4) < 10) S(4) += 1;
    return;
  }
  if (t < 100) return;
  if (t <= 218 && t % 2 == 0) {
    for (double x : {114.0, 334.0}) {
      const int angle = 83 + Rand(15);
      const double limit = 2 + 0.5 * Rand(3);
      const int speed = 5 + Rand(4);
      const int param = Rand(6);
      const int colour = 3 + Rand(2);
      const int sheet = 7 + 2 * Rand(2);
      ShootRing({.colour = colour, .sheet = sheet, .spawnCode = 2,
                 .behaviour = kBehaviourAimAndSpeedUp, .behaviourParam = param, .triggerAge = 60,
                 .n = 1, .x = x, .y = 470, .speed = static_cast<double>(speed), .accel = -0.05,
                 .speedLimit = limit, .base = static_cast<double>(angle)});
    }
  }
  if (S(3) == 2 && Every(t - 100, static_cast<int>(4 - S(4) / 5))) {
    const int s2 = static_cast<int>(S(2));
    ShootFan({.colour = 2 + s2, .sheet = 2, .spawnCode = 12, .behaviour = kBehaviourVeer,
              .behaviourParam = 10 * Rand(20) - (s2 - 1), .triggerAge = 90, .n = 3, .spread = 10,
              .x = b0.x, .y = b0.y, .speed = -3.0, .accel = 0.05, .centre = 270 - S(1)});
    S(1) += 10 * S(2);
  }
  if (Every(t - 100, static_cast<int>(15 - S(4)))) {
    const int colour = 3 * ((static_cast<int>(S(0)) + 1) / 2);
    ShootCircleFormation({.colour = colour + 1, .sheet = 1, .n = 2, .radius = 50, .x = B(2).x,
                          .y = B(2).y, .accel = 0.01, .speedLimit = 1.0, .start = 3.0 * t,
                          .direction = 270.0});
    const int n = static_cast<int>(S(4)) / 6 + 3;
    ShootRingOnCircle({.colour = colour, .sheet = 13, .spawnCode = 1, .n = n, .radius = 50,
                       .x = B(1).x, .y = B(1).y, .speed = 2.0, .accel = -0.05, .speedLimit = 1.5,
                       .base = 3.0 * t, .offset = static_cast<double>(Rand(10) - 5)});
  }
  if (t >= 220 && Every(t - 220, 60)) {
    SetBossMoveTarget(1, 224 - 150 * S(0), 100 + Rand(50), 50);
    SetBossMoveTarget(2, 224 + 150 * S(0), 100 + Rand(50), 50);
  }
  if (t >= 300 && t <= 390 && Every(t - 300, 30)) {
    const int k = (t - 300) / 3, j = (t - 300) / 15;
    SpawnEnemy({.slot = j, .hp = 150, .m1 = kMotionStraight, .t1 = 900, .m2 = kMotionStraight,
                .t2 = 900, .special = 1, .x = 18.0, .y = 150.0, .s1 = 1.0, .a1 = 360.0 - k,
                .s2 = 3.0, .a2 = 200.0});
    SpawnEnemy({.slot = j + 1, .hp = 150, .m1 = kMotionStraight, .t1 = 900, .m2 = kMotionStraight,
                .t2 = 900, .sprite = 1, .power = 1, .x = 430.0, .y = 150.0, .s1 = 1.0,
                .a1 = 180.0 + k, .s2 = 3.0, .a2 = 340.0});
  }
  if (t == 670 && S(4) >= 1 && S(3) == 0) {
    S(3) = 1;
    RunBossChargeEffect(0, 0);
    ShakePlayfield(0, 30);
  }
}

// ---------------------------------------------------------------------------
// 115: rings from two emitters.

void RunExtraTwinEmitterCard(AttackStep&) {
  const int t = T();
  Boss& b0 = B();
  if (t == 55) RunBossChargeEffect(0, 0);
  if (t == 70) {
    S(0) = 1;
    S(1) = 0;
    g_extraCards.pair[0] = Keep(SpawnBulletIndexed(2, 0, kBehaviourBossEllipse, 20, 0, 0, 0, 10,
                                                   140, -2.5, 0));
    g_extraCards.pair[1] = Keep(SpawnBulletIndexed(2, 0, kBehaviourBossEllipse, 20, 0, 0, 0, 10,
                                                   140, 2.5, 180));
  }
  if (S(1) > 10 || b0.hp < 1000) S(1) = 10;
  const int n = 50 + 2 * static_cast<int>(S(1));
  const double limit = 1 + S(1) / 10;
  if (t == 120 || t == 180) {
    // An emitter erased by a bomb fires nothing.
    if (const EnemyBullet* e = Live(g_extraCards.pair[S(0) == 1 ? 0 : 1])) {
      ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourBounce,
                 .behaviourParam = 111, .n = n, .x = WholePixel(e->x), .y = WholePixel(e->y),
                 .speed = 3.0, .accel = -0.1, .speedLimit = limit,
                 .base = static_cast<double>(Rand(12))});
    }
    S(0) = -S(0);
  }
  if (t == 225) SetBossAnimation(0, 0, 30);
  if (t == 240) {
    ShootRing({.sheet = 5, .spawnCode = 1, .behaviour = kBehaviourBounce, .behaviourParam = 111,
               .n = n, .x = b0.x, .y = b0.y, .speed = 3.0, .accel = -0.1, .speedLimit = limit,
               .base = static_cast<double>(Rand(10))});
    S(0) = -S(0);
  }
  if (t == 280) {
    b0.phaseTimer = 99;
    S(1) += 1;
  }
}

// ---------------------------------------------------------------------------
// 116: enemy waves under the boss.

void RunExtraEnemyWaveCard(AttackStep&) {
  const int t = T();
  Boss& b0 = B();
  if (t == 75) S(0) = 1;
  // The loop step only turns the sign and sets the timer back: its enemies keep still.
  if (t == 550) {
    S(0) = -S(0);
    b0.phaseTimer = 99;
    return;
  }
  if (t == 100) SetBossAnimation(0, 0, 330);
  if (t >= 100 && t <= 400 && Every(t, 5)) {
    const double a = 50 * S(0) * std::sin(1.8 * t * kDeg);
    for (int k = 0; k < 3; ++k) {
      ShootRing({.colour = 2, .sheet = 4, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
                 .behaviourParam = 400, .triggerAge = 35, .n = 3, .x = b0.x, .y = b0.y,
                 .speed = -3.5, .accel = 0.1, .speedLimit = 2.0, .base = a});
    }
    for (int k = 0; k < 3; ++k) {
      ShootRing({.colour = 4, .sheet = 4, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
                 .behaviourParam = 400, .triggerAge = 35, .n = 3, .x = b0.x, .y = b0.y,
                 .speed = -3.5, .accel = 0.1, .speedLimit = 2.0, .base = a + 180});
    }
  }
  struct Pair {
    int t, left, right, hp;
    EnemyMotion motion;
    int end, sprite;
    double y, speed;
  };
  static constexpr Pair kPairs[] = {
      {100, 0, 5, 300, kMotionStraight, 100, 0, 200, 2.2},
      {110, 1, 6, 300, kMotionStraight, 90, 0, 200, 2.2},
      {120, 2, 7, 300, kMotionStraight, 80, 0, 200, 2.2},
      {130, 3, 8, 300, kMotionStraight, 70, 0, 200, 2.2},
      {140, 4, 9, 300, kMotionStraight, 60, 0, 200, 2.2},
      {200, 10, 15, 200, kMotionStraight, 100, 2, 150, 2},
      {210, 11, 16, 200, kMotionStraight, 90, 2, 120, 2},
      {220, 12, 17, 200, kMotionStraight, 80, 2, 150, 2},
      {230, 13, 18, 200, kMotionStraight, 70, 2, 120, 2},
      {240, 14, 19, 200, kMotionStraight, 60, 2, 150, 2},
      {300, 20, 22, 300, kMotionStraight, 100, 3, 50, 2},
      {330, 21, 23, 300, kMotionStraight, 70, 3, 50, 2},
      {400, 24, 25, 200, kMotionQuarterTurn, 900, 3, 50, 3}};
  for (const Pair& p : kPairs) {
    if (p.t != t) continue;
    SpawnEnemy({.slot = p.left, .hp = p.hp, .m1 = p.motion, .t1 = p.end, .t2 = 9000,
                .sprite = p.sprite, .special = 1, .x = 18.0, .y = p.y, .s1 = p.speed});
    SpawnEnemy({.slot = p.right, .hp = p.hp, .turnFlag = 1, .m1 = p.motion, .t1 = p.end, .t2 = 9000,
                .sprite = p.sprite, .special = 1, .x = 430.0, .y = p.y, .s1 = p.speed,
                .a1 = 180.0});
  }
  if (t == 500) {
    ShootRing({.sheet = 15, .spawnCode = 1, .n = 8, .x = b0.x, .y = b0.y, .speed = 8.0,
               .accel = -0.5, .speedLimit = 2.0, .base = AimFromBoss()});
  }
  for (int k = 0; k < kEnemySlots; ++k) {
    Enemy& e = g_enemies[k];
    if (e.active != 1) continue;
    if (k <= 9 && e.hp < 100) {
      ShootRing({.colour = 1, .spawnCode = 11, .n = 8, .x = e.x, .y = e.y, .speed = 1.0,
                 .accel = 0.1, .speedLimit = 4.0, .base = AimFrom(e.x, e.y)});
      e.hp = 0;
    }
    if (k >= 10 && k <= 19 && e.hp < 150) {
      const double aim = AimFrom(e.x, e.y);
      ShootRing({.colour = 2, .spawnCode = 1, .behaviour = kBehaviourBounce, .behaviourParam = 10,
                 .n = 6, .x = e.x, .y = e.y, .speed = 5.0, .accel = -0.1, .speedLimit = 3.0,
                 .base = aim});
      ShootFan({.colour = 2, .sheet = 7, .spawnCode = 1, .behaviour = kBehaviourBounce,
                .behaviourParam = 10, .n = 6, .spread = 360, .x = e.x, .y = e.y, .speed = 4.0,
                .accel = -0.1, .speedLimit = 3.0, .centre = aim});
      e.hp = 0;
    }
    if (k >= 20 && k <= 23 && t >= 490 && Every(t - 490, 10)) {
      const bool outer = k == 20 || k == 23;
      ShootRing({.sheet = 14, .spawnCode = 1, .n = 5, .x = e.x, .y = e.y, .speed = 5.0,
                 .accel = -0.05, .speedLimit = 2.5, .turnRate = outer ? -0.2 : 0.2,
                 .base = outer ? 1760.0 - 3 * t : 3.0 * t - 1220});
    }
    if ((k == 24 || k == 25) && t == 460) {
      ShootBulletChain({.colour = 1, .behaviourParam = 100, .n = 10, .x = e.x, .y = e.y,
                        .speed = 1.0, .accel = 0.03, .speedLimit = 5.0, .turnRate = 2.0,
                        .angle = 270.0});
      ShootBulletChain({.colour = 1, .behaviourParam = 100, .n = 10, .x = e.x, .y = e.y,
                        .speed = 1.0, .accel = 0.03, .speedLimit = 5.0, .turnRate = 2.0,
                        .angle = k == 24 ? 180.0 : 360.0});
    }
  }
}

// ---------------------------------------------------------------------------
// 117: freeze and release. Scratch 4, the colour and side counter, starts at 0 with the
// others at 75.

void RunExtraFreezeCard(AttackStep&) {
  const int t = T();
  Boss& b0 = B();
  if (t == 75) {
    S(0) = 1;
    S(1) = 10;
    S(2) = 0;
    S(3) = 0;
    S(4) = 0;
  }
  if (t >= 100 && t <= 300 && Every(t, static_cast<int>(30 - S(1)))) {
    const double base = AimFromBoss() + S(2) * S(0);
    const int count = static_cast<int>(S(4));
    const double side = count % 2 != 0 ? 1.0 : -1.0;
    for (int k : {0, 120, 240}) {
      ShootCircleFormation({.colour = count % 4, .sheet = 13, .behaviour = kBehaviourBounce,
                            .behaviourParam = 101, .n = 8, .radius = 30, .x = b0.x, .y = b0.y,
                            .speed = 4.0, .accel = -0.1, .speedLimit = 2.0,
                            .direction = (k + base) * side});
    }
    S(2) += 25;
    S(4) += 1;
  }
  if (t == 120) {
    const int lasers = static_cast<int>(S(1));
    for (int k = 0; k < lasers; ++k) {
      const int y2 = 16 + Rand(450);
      const int x1 = 32 + Rand(385);
      SpawnLaser(12, x1, (k / 2) % 2 == 0 ? 0 : 480, k % 2 == 0 ? 4 : 444, y2, 0, 1000, 10, 1000,
                 2000, 9);
    }
  }
  if (t == 250 || t == 260 || t == 270) {
    S(3) += 1;
    ShootFan({.colour = 1, .sheet = 15, .spawnCode = 1, .n = 8, .spread = 360, .x = b0.x, .y = b0.y,
              .speed = 6 - S(3), .accel = -0.1, .speedLimit = 3.0, .turnRate = -S(0) * S(3),
              .centre = 270.0});
  }
  if (t == 300) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 100);
  }
  if (t == 325 || t == 485) RunBossBreakRing(0, 0);
  if (t == 340) {
    PlayEffect(kSeAttackBell);
    for (EnemyBullet& b : g_enemyBullets) {
      if (b.state == 0) continue;
      b.behaviour = kBehaviourNone;
      b.speed = b.accel = b.turnRate = 0.0;
      b.colour = 4;
    }
    for (Laser& laser : g_lasers) {
      if (laser.state == 2) laser.age = laser.lifetime - 300;
    }
  }
  if (t == 500) {
    for (EnemyBullet& b : g_enemyBullets) {
      if (b.state == 0) continue;
      b.accel = 0.05;
      Rand(10);  // drawn and unused: the replay's counter depends on it
      b.speedLimit = 0.7;
      b.angle += Rand(180);
    }
  }
  if (t == 540) {
    const int y = Rand(50);
    const int x = Rand(100);
    SetBossMoveTarget(0, 174 + x, 100 + y, 90);
  }
  if (t == 640) {
    S(0) = -S(0);
    b0.phaseTimer = 99;
    S(1) += 2;
    S(3) = 0;
  }
}

// ---------------------------------------------------------------------------
// 118: the last practice card (survival). Each cycle frees laser slot 0 itself, not a kept
// beam: the slot holds the card's first beam, later whichever beam took the slot over.

void RunExtraLastPracticeCard(AttackStep&) {
  const int t = T();
  BringInSides(6, false);
  MoveSides(374, 150, 74, 150, 50);
  Boss& b0 = B();
  if (b0.spellTimer == 1) {
    B(1).x = 374;
    B(1).y = 150;
  }
  if (t == 75) {
    RunBossChargeEffect(0, 0);
    RunBossBreakRing(0, 0);
    S(0) = 1;
    S(1) = 0;
    S(2) = 0;
  }
  if (t == 90) {
    for (int slot = 0; slot < kBossSlots; ++slot) B(slot).state = 4;
    const double aim = AimFromBoss();
    // The layers of these fans come 10 steps apart.
    for (int slot = 0; slot < kBossSlots; ++slot) {
      ShootLayeredFan({.colour = 4, .sheet = 1, .spawnCode = 3, .n = 10, .spread = 360, .layers = 2,
                       .x = B(slot).x, .y = B(slot).y, .speed = -1.0, .accel = 0.04,
                       .speedLimit = 2.0, .centre = aim, .layerDelay = 10.0});
    }
    for (int slot = 0; slot < kBossSlots; ++slot) {
      ShootLayeredFan({.colour = 4, .sheet = 15, .spawnCode = 3, .n = 5, .spread = 360, .layers = 2,
                       .x = B(slot).x, .y = B(slot).y, .speed = -2.0, .accel = 0.1,
                       .speedLimit = 2.0, .centre = aim, .layerDelay = 10.0});
    }
  }
  if (t == 100) SetBossMoveTarget(1, 224, 150, 50);
  if (t < 240 || t >= 1600) return;
  const int phase = (t - 240) % 120;
  static constexpr int kBeamColour[3] = {0, 3, 4};
  if (phase == 0) {
    const int r = Rand(11);
    const double ry = 50 + 20 * r, ly = 250 - 20 * r;
    const double toCentreR = std::atan2(ry - 150, 224 - kFieldRight) / kDeg;
    ShootLaserAtAngle({.colour = kBeamColour[static_cast<int>(S(0))], .spawnCode = 2,
                       .x = kFieldRight, .y = ry, .angle = toCentreR, .lifetime = 600,
                       .fullLength = 100, .fullWidth = 8, .growth = 15.0, .startLength = 10.0});
    S(0) = (static_cast<int>(S(0)) + 1) % 3;
    const double toCentreL = std::atan2(ly - 150, 224 - kFieldLeft) / kDeg;
    ShootLaserAtAngle({.colour = kBeamColour[static_cast<int>(S(0))], .spawnCode = 2,
                       .x = kFieldLeft, .y = ly, .angle = toCentreL, .lifetime = 600,
                       .fullLength = 100, .fullWidth = 8, .growth = 15.0, .startLength = 10.0});
  }
  if (phase == 15) {
    PlayEffect(kSeAttackBell);
    ShootRing({.sheet = 16, .spawnCode = 14, .behaviour = kBehaviourHarmlessUntil,
               .behaviourParam = 602, .n = 1, .x = B(1).x, .y = B(1).y});
    RunBossBreakRing(0, 1);
    g_lasers[0].state = 0;
    S(2) = AimFromBoss(1);
    S(1) += 1;
  }
  if (phase >= 16 && phase <= 30) {
    const double angles[3] = {512 + S(2), -512 + S(2), 512 - S(2)};
    for (int c = 0; c < 3; ++c) {
      ShootRingOnCircle({.colour = c, .sheet = 1, .spawnCode = 11,
                         .behaviour = kBehaviourEaseToLimitSlow, .behaviourParam = 5,
                         .triggerAge = 29, .n = 5, .radius = 25, .x = B(1).x, .y = B(1).y,
                         .speedLimit = 1 + 0.02 * S(1), .base = angles[c],
                         .offset = static_cast<double>(30 + Rand(30))});
    }
  }
}

}  // namespace extra_cards
