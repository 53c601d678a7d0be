// The Extra cards' shared frame (settings, approach, preparation) and the first half of
// their bodies, ids 102-110: the meetings with the earlier bosses and the star-gazer's
// first two cards.
#include "game/stages/extra_attacks.h"

#include <cmath>
#include <initializer_list>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"

namespace extra_cards {

ExtraCardState g_extraCards;

KeptLaser KeepLaser(int slot) {
  if (slot < 0 || slot >= kLaserSlots) return {};
  return {slot, g_lasers[slot].bornStep};
}

Laser* LiveLaser(const KeptLaser& kept) {
  if (kept.slot < 0) return nullptr;
  Laser& laser = g_lasers[kept.slot];
  return laser.state != 0 && laser.bornStep == kept.born ? &laser : nullptr;
}

namespace {

struct ExtraSetup {
  int portrait, drain, hp, steps, bonus;
  bool translucent;
  double startX, startY;
  int approach, prepareAt;
};

// The settings table of the seventeen cards, by id - 102.
constexpr ExtraSetup kSetups[17] = {
    {2, 710, 2500, 3600, 5000000, false, 224, 150, 50, 70},
    {3, 610, 2000, 3600, 5000000, false, 224, 150, 50, 70},
    {1, 410, 3000, 3600, 5000000, false, 224, 150, 50, 70},
    {5, 330, 3500, 3600, 5000000, true, 224, 100, 50, 80},
    {5, 570, 2500, 3600, 5000000, true, 224, 150, 50, 70},
    {6, 330, 2500, 3600, 5000000, true, 224, 150, 50, 70},
    {6, 570, 2500, 3600, 5000000, true, 224, 150, 50, 70},
    {4, 710, 2500, 3600, 5000000, true, 224, 240, 50, 70},
    {4, 710, 2500, 3600, 5000000, true, 224, 150, 50, 70},
    {4, 760, 3500, 3600, 5000000, true, 224, 236, 50, 70},
    {6, 660, 4000, 3600, 5000000, true, 224, 100, 50, 70},
    {4, 0, 100, 3600, 5000000, false, 224, 240, 50, 75},
    {4, 810, 10000, 7200, 9000000, true, 224, 150, 50, 70},
    {2, 260, 4000, 3600, 5000000, false, 224, 100, 50, 70},
    {3, 260, 3000, 3500, 5000000, false, 224, 150, 75, 75},
    {1, 260, 4500, 3300, 5000000, false, 224, 150, 75, 75},
    {4, 0, 100, 1800, 5000000, false, 224, 240, 50, 75},
};

// The frame every Extra card shares: name (on Extra only), portrait and drain each step;
// the settings at 1, the approach at 2, the card look dropped at the preparation step.
void DeclareExtraCard(AttackStep& step) {
  const ExtraSetup& s = kSetups[step.id - 102];
  if (g_difficulty == 4) step.name = CardName(step.id);
  step.portrait = s.portrait;
  step.bonusDrain = s.drain;
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 1) {
    boss.moveFrames = 0.0;
    boss.hp = boss.maxHp = s.hp;
    boss.spellTimer = s.steps;
    g_spellCardActive = 1;
    g_spellBonus = s.bonus;
    if (s.translucent) boss.state = 2;
  }
  if (t == 2) SetBossMoveTarget(0, s.startX, s.startY, s.approach);
  if (t == s.prepareAt) g_spellCardActive = 0;
}

// ---------------------------------------------------------------------------
// 102: turning fans of fans.

void FansOfFans(int sign, bool widening) {
  const Boss& boss = B();
  for (int k = 0; k < 6; ++k) {
    const int n = widening ? 2 * k + 1 : k + k / 2 + 1;
    ShootRingOfFans({.sheet = 5, .spawnCode = 3, .behaviour = kBehaviourCurl,
                     .behaviourParam = sign * (50 + 3 * k), .triggerAge = 60, .n = n, .m = 5,
                     .spread = 10 * (k + 1), .x = boss.x, .y = boss.y, .speed = -(8.0 - k),
                     .accel = (8.0 - k) / 60, .speedLimit = 3.0, .base = S(0)});
  }
}

void RunExtraFanOfFansCard(int t) {
  if (t == 70) {
    RunBossChargeEffect(0, 0);
    S(0) = Rand(360);
  }
  if (t == 100) {
    SetBossAnimation(0, 0, 180);
    FansOfFans(1, true);
  }
  if (t == 120 || t == 140 || t == 160) S(0) += 15 + Rand(5);
  if (t == 120) FansOfFans(-1, true);
  if (t == 140) FansOfFans(1, false);
  if (t == 160) FansOfFans(-1, false);
  if (t == 490) {
    S(0) = 250 + Rand(50);
    B().phaseTimer = 99;
  }
}

// ---------------------------------------------------------------------------
// 103: two rings of familiars around the boss.

void SpawnFamiliarRings() {
  const Boss& boss = B();
  const int sign = static_cast<int>(S(0));
  for (int k = 0; k < 8; ++k) {
    const bool inner = k < 4;
    const double r = inner ? 100 : 125;
    // The place on the ring is k x 2 / 4 x pi radians: a real quotient.
    const double a = k * 2.0 / 4.0 * kPi;
    // The sign is 1 or -1: the inner ring orbits clockwise with 1, the outer one against it.
    const EnemyMotion motion =
        (sign > 0) == inner ? kMotionOrbitClockwise : kMotionOrbitCounterClockwise;
    const double leave = inner ? 750 + 300 * (k % 2) : 780 + 240 * (k % 2);
    SpawnEnemy({.slot = k, .hp = inner ? 250 : 300, .m1 = motion, .t1 = 250, .m2 = kMotionStraight,
                .t2 = 300, .sprite = inner ? 2 : 1, .power = inner ? 0 : 1,
                .special = inner ? 1 : 0, .x = boss.x + r * std::cos(a),
                .y = boss.y - r * std::sin(a), .s1 = r, .a1 = static_cast<double>((k * 90) % 360),
                .s2 = 5.0, .a2 = leave});
  }
}

void FireFamiliars(int t) {
  Boss& boss = B();
  for (int k = 0; k < kEnemySlots; ++k) {
    Enemy& e = g_enemies[k];
    if (e.active != 1) continue;
    if (k < 4 && Every(e.age, 12)) {
      ShootFan({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 6, .spread = 360, .x = e.x, .y = e.y,
                .speed = 3.0, .accel = -0.05, .speedLimit = 1.5,
                .centre = static_cast<double>(t + Rand(10))});
    }
    if (k >= 4 && k < 8 && Every(e.age, 60)) {
      ShootFan({.sheet = 12, .spawnCode = 1, .n = 6, .spread = 180, .x = e.x, .y = e.y,
                .speed = 3.0, .accel = -0.05, .speedLimit = 1.0, .centre = e.seg1.angle});
    }
    if (k < 8 && e.hp < 100) {
      e.hp = 0;
      if (boss.hp > 50) boss.hp -= 30;
    }
  }
}

void RunExtraFamiliarRingCard(int t) {
  Boss& boss = B();
  if (t == 70) {
    S(0) = 1.0;
    S(1) = 4.0;
    S(2) = 1.0;
    RunBossChargeEffect(0, 0);
  }
  if (t == 100) SpawnFamiliarRings();
  if (t >= 100 && t < 400 && Every(t, 10)) {
    ShootRingOfFans({.sheet = 4, .spawnCode = 2, .behaviour = kBehaviourStopTurning,
                     .triggerAge = 10, .n = 4, .m = 4, .spread = 20, .x = boss.x, .y = boss.y,
                     .speed = 3.0, .accel = -0.05, .speedLimit = 2.0, .turnRate = 3.5 * S(2),
                     .base = 2.0 * t * S(0)});
    S(2) = -S(2);
  }
  // Enemies in the familiars' slots fire and pay for their damage from the card's start.
  if (t < 400) FireFamiliars(t);
  if (t == 430) {
    const int y = Rand(50);
    const int x = Rand(80);
    SetBossMoveTarget(0, 184 + x, 150 + y, 80);
  }
  if (t == 520) {
    boss.phaseTimer = 99;
    S(0) = -S(0);
  }
}

// ---------------------------------------------------------------------------
// 104: rings and fans held until the bell, then released together.

void RunExtraBellReleaseCard(int t) {
  Boss& boss = B();
  if (t == 70) {
    RunBossChargeEffect(0, 0);
    S(0) = 270;
    S(1) = 9;
  }
  if (t < 100) return;
  const int s = t - 100;
  if (s == 0) {
    const int n = static_cast<int>(S(1));
    ShootRing({.colour = 1, .sheet = 15, .spawnCode = 3,
               .behaviour = kBehaviourStraightenAndSpeedUp, .behaviourParam = 1, .triggerAge = 60,
               .n = n, .x = boss.x, .y = boss.y, .accel = 5.0, .speedLimit = 5.0, .turnRate = 4.0,
               .base = S(0)});
    ShootRing({.colour = 1, .sheet = 15, .spawnCode = 3,
               .behaviour = kBehaviourStraightenAndSpeedUp, .behaviourParam = 1, .triggerAge = 60,
               .n = n, .x = boss.x, .y = boss.y, .speed = 5.0, .speedLimit = 5.0, .turnRate = -4.0,
               .base = S(0)});
    S(0) += 180;
  }
  if (s <= 57 && Every(s, 3)) {
    const int colour = Rand(4);
    const int angle = Rand(360);
    const int spread = 30 + Rand(100);
    ShootFan({.colour = colour, .sheet = 13, .spawnCode = 3,
              .behaviour = kBehaviourStraightenAndSpeedUp, .behaviourParam = colour,
              .triggerAge = 60 - s, .n = 3, .spread = spread, .x = boss.x, .y = boss.y,
              .accel = -0.05, .speedLimit = 1.0, .turnRate = 5.0,
              .centre = static_cast<double>(angle)});
  }
  if (s == 50) {
    RunBossBreakRing(0, 0);
    SetBossAnimation(0, 0, 40);
  }
  if (s == 60) PlayEffect(kSeAttackBell);
  if (s == 89) boss.phaseTimer = 99;
}

// ---------------------------------------------------------------------------
// 105: sweeping walls of sleeping bullets.

void Charge180() {
  RunBossChargeEffect(0, 0);
  SetBossAnimation(0, 0, 180);
}

void SleepingLine(int t, double x, double y, double tilt, int wakeAt) {
  ShootCentredLine({.colour = 4, .sheet = 13, .spawnCode = 11,
                    .behaviour = kBehaviourBackAwayThenReturn, .behaviourParam = 3,
                    .triggerAge = wakeAt - t, .n = 5, .length = 400, .x = x, .y = y,
                    .speedLimit = 1.0, .tilt = tilt, .offset = S(4)});
  S(4) += 35 + Rand(10);
}

void MoveNearPlayerX(double y, double steps) {
  const int r = Rand(100);
  SetBossMoveTarget(0, ClampToInt(g_player.x - 50 + r, 124, 324), y, steps);
}

void RunExtraSleepingWallCard(int t) {
  Boss& boss = B();
  // The card's end step raises the speed's tenths so that the tail plays no end sound.
  if ((boss.spellTimer == 1 || boss.hp <= 0) && boss.state != 3) g_gameSpeed = RaiseSlowDigit(g_gameSpeed);
  if (t == 80) {
    Charge180();
    S(0) = 1;
    S(4) = 0;
  }
  const double sign = S(0);
  if (t >= 100 && t <= 248 && t % 2 == 0) SleepingLine(t, 224 + 4 * (175 - t) * sign, 240, 100, 300);
  if (t >= 600 && t <= 748 && t % 2 == 0) SleepingLine(t, 224, 240 - 4 * (675 - t) * sign, 190, 800);
  if (t >= 1100 && t <= 1248 && t % 2 == 0) {
    ShootRingOnCircle({.colour = 4, .sheet = 13, .spawnCode = 11,
                       .behaviour = kBehaviourBackAwayThenReturn, .behaviourParam = 3,
                       .triggerAge = 1300 - t, .n = 2, .radius = 100, .x = boss.x, .y = boss.y,
                       .speedLimit = 1.0, .base = 3.0 * t + 210, .offset = S(4)});
    ShootRingOnCircle({.colour = 4, .sheet = 13, .spawnCode = 11,
                       .behaviour = kBehaviourBackAwayThenReturn, .behaviourParam = 3,
                       .triggerAge = 1300 - t, .n = 3, .radius = 150, .x = boss.x, .y = boss.y,
                       .speedLimit = 1.0, .base = 3.0 * t + 210, .offset = S(4)});
    S(4) += 35 + Rand(10);
  }
  if (t == 300 || t == 800 || t == 1300) PlayEffect(kSeAttackBell);
  if (t == 400) MoveNearPlayerX(150, 100);
  if (t == 900) SetBossMoveTarget(0, 174 + Rand(100), 240, 100);
  if (t == 1400) MoveNearPlayerX(100, 100);
  if (t == 580 || t == 1080 || t == 1580) Charge180();
  if (t == 1600) {
    boss.phaseTimer = 99;
    S(0) = -S(0);
  }
}

// ---------------------------------------------------------------------------
// 106: eight orbiting emitters. emitters[0..3]: the kBehaviourBossPhased ones in the firing
// order (angles 270, 180, 90, 0: the last made first), emitters[4..7] the
// kBehaviourCircleCentre ones.

void RunExtraOrbitingEmitterCard(int t) {
  Boss& boss = B();
  Kept* emitters = g_extraCards.emitters;
  if (t == 70) {
    for (int k = 0; k < 4; ++k) {
      const double a = 90.0 * k;
      emitters[7 - k] = Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, 100, 0.0, 0.0, 0.0,
                                                5.0, 75.0, -3.0, a));
      emitters[3 - k] = Keep(SpawnBulletIndexed(3, 0, kBehaviourBossPhased, k % 2 == 0 ? 60 : 150,
                                                0.0, 0.0, 0.0, 5.0, 50.0, 4.0, a));
    }
    S(1) = 1;
    S(2) = 0;
    S(3) = 0;
  }
  if (t >= 100 && Every(t, 3 * (SlowDigitOfGameSpeed(g_gameSpeed)) + 3)) {
    // An emitter erased by a bomb fires nothing: its slot may hold another bullet.
    for (int k = 0; k < 4; ++k) {
      if (EnemyBullet* e = Live(emitters[k])) {
        ShootFan({.colour = 3, .sheet = 1, .spawnCode = 1, .behaviour = kBehaviourTurnWhileSlow,
                  .behaviourParam = 3, .n = 1, .spread = 10, .x = WholePixel(e->x),
                  .y = WholePixel(e->y), .speed = -1.0, .accel = 0.05, .speedLimit = 1.5,
                  .centre = e->angle - 90 + S(2)});
        e->behaviourParam += 1;
      }
    }
    S(2) += 15;
    // The second fans name neither a spread nor whole pixels: one bullet has no spread to
    // speak of (10, as the first), and they start at the emitter as it stands.
    for (int k = 4; k < 8; ++k) {
      if (EnemyBullet* e = Live(emitters[k])) {
        ShootFan({.colour = 3, .sheet = 12, .spawnCode = 1, .behaviour = kBehaviourTurnWhileSlow,
                  .behaviourParam = 3, .n = 1, .spread = 10, .x = e->x, .y = e->y, .speed = -1.0,
                  .accel = 0.05, .speedLimit = 2.0, .centre = 90 * S(1) + e->angle + S(3)});
        e->angle += 1;
      }
    }
  }
  if (t == 260) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 170);
    RunBossBreakRing(0, 0);
  }
  if (t == 275) g_gameSpeed = RaiseSlowDigit(g_gameSpeed);
  if (t == 460) {
    g_gameSpeed = WithoutSlowDigit(g_gameSpeed);
    boss.phaseTimer = 99;
  }
}

// ---------------------------------------------------------------------------
// 107: two swinging emitters and four gunners. emitters[0] the pair's angle-0 one (made
// first), [1] the angle-180 one, [2..5] gunners 0-3 (gunner 0 made last).

void RunExtraSwingingEmitterCard(int t) {
  Boss& boss = B();
  Kept* kept = g_extraCards.emitters;
  if (t == 70) {
    kept[0] = Keep(SpawnBulletIndexed(3, 0, kBehaviourBossEllipse, 30, 0.0, 0.0, 0.0, 3.0, 100.0,
                                      0.0, 0.0));
    kept[1] = Keep(SpawnBulletIndexed(3, 0, kBehaviourBossEllipse, 30, 0.0, 0.0, 0.0, 3.0, 100.0,
                                      0.0, 180.0));
    S(1) = 0;
    static constexpr double kGunnerAngles[4] = {30, 70, 110, 150};
    for (int k = 0; k < 4; ++k) {
      kept[5 - k] = Keep(SpawnBulletIndexed(2, 60, kBehaviourHaltThenVanish, 10000, boss.x, boss.y,
                                            5.0, -0.1, -8.0, 0.0, kGunnerAngles[k]));
    }
    for (KeptLaser& laser : g_extraCards.gunnerLaser) laser = {};
  }
  // The loop step only sets the timer back: the pair neither swing nor fire on it.
  if (t == 580) {
    boss.phaseTimer = 99;
    return;
  }
  if (t >= 100) {
    const double c = std::cos(S(1) * kPi / 180);
    if (EnemyBullet* e = Live(kept[1])) e->angle = (3 - c) * 90;
    if (EnemyBullet* e = Live(kept[0])) e->angle = (3 + c) * 90;
    if (Every(t, 5)) {
      // The pair fire the second made (slot scratch 0) first.
      for (int k : {1, 0}) {
        if (const EnemyBullet* e = Live(kept[k])) {
          ShootFan({.colour = 3, .sheet = 1, .spawnCode = 1, .n = 4, .spread = 90, .x = e->x,
                    .y = e->y, .speed = 3.0, .accel = -0.1, .speedLimit = 2.0, .centre = e->angle});
        }
      }
    }
    S(1) += 1;
  }
  if (t >= 100 && t < 460) {
    for (int k = 0; k < 4; ++k) {
      const EnemyBullet* g = Live(kept[2 + k]);
      if (g == nullptr) continue;
      const double aim = AimFrom(g->x, g->y);
      if ((k == 0 || k == 3) && t % 180 == 0) {
        ShootFan({.colour = 4, .sheet = 1, .spawnCode = 1, .n = 31, .spread = 340, .x = g->x,
                  .y = g->y, .speed = 5.0, .accel = -0.1, .speedLimit = 3.0, .centre = aim + 180});
        ShootFan({.colour = 4, .sheet = 1, .spawnCode = 1, .n = 31, .spread = 340, .x = g->x,
                  .y = g->y, .speed = 4.0, .accel = -0.1, .speedLimit = 3.0, .centre = aim + 180});
        g_extraCards.gunnerLaser[k] = KeepLaser(
            ShootLaserAtAngle({.colour = 2, .spawnCode = 3, .triggerAge = 60, .x = g->x, .y = g->y,
                               .angle = aim + 5 * k - 8, .lifetime = 150, .fullLength = 10000,
                               .fullWidth = 10, .growth = 20.0, .startLength = 10.0}));
      }
      if ((k == 1 || k == 2) && t % 180 == 30) {
        ShootFan({.colour = 1, .sheet = 1, .spawnCode = 1, .n = 41, .spread = 360, .x = g->x,
                  .y = g->y, .speed = 3.0, .accel = -0.01, .speedLimit = 1.5, .centre = aim});
        ShootFan({.colour = 1, .sheet = 1, .spawnCode = 1, .n = 41, .spread = 360, .x = g->x,
                  .y = g->y, .speed = 2.0, .accel = -0.01, .speedLimit = 1.5, .centre = aim + 180});
        g_extraCards.gunnerLaser[k] =
            KeepLaser(ShootLaserAtAngle({.colour = 2, .spawnCode = 3, .triggerAge = 30, .x = g->x,
                                         .y = g->y, .angle = aim, .lifetime = 120,
                                         .fullLength = 10000, .fullWidth = 10, .growth = 20.0,
                                         .startLength = 10.0}));
      }
    }
  }
  // The gunners' beams stop growing once their far ends are well off the screen.
  for (const KeptLaser& kl : g_extraCards.gunnerLaser) {
    Laser* laser = LiveLaser(kl);
    if (laser == nullptr) continue;
    if (laser->x2 < -64 || laser->x2 > 513 || laser->y2 < -80 || laser->y2 > 560) laser->growth = 0;
  }
  if (t == 460) SetBossMoveTarget(0, ClampToInt(144 + Rand(160), 144, 304), 150, 100);
  if (t == 540) {
    PlayEffect(kSeAttackBell);
    const double aim = AimFromBoss();
    ShootRing({.colour = 1, .sheet = 15, .spawnCode = 2, .n = 5, .x = boss.x, .y = boss.y,
               .speed = 4.0, .accel = -0.05, .speedLimit = 1.0, .base = aim});
    ShootRing({.colour = 1, .sheet = 15, .spawnCode = 2, .n = 5, .x = boss.x, .y = boss.y,
               .speed = 3.0, .accel = -0.05, .speedLimit = 1.0, .base = aim + 180});
  }
}

// ---------------------------------------------------------------------------
// 108: layered fans, their layers 10 steps apart, and crossing ellipses.

void CrossingEllipseVolley() {
  const Boss& boss = B();
  S(1) = Rand(60);
  S(2) = Rand(5);
  const int colour = static_cast<int>(S(2));
  const double aim = AimFromBoss();
  for (double turn : {3.0, -3.0}) {
    ShootLayeredFan({.colour = colour, .sheet = 13, .spawnCode = 1,
                     .behaviour = kBehaviourStopTurning, .triggerAge = 30, .n = 20, .spread = 360,
                     .layers = 6, .x = boss.x, .y = boss.y, .speed = -3.0, .accel = 0.1,
                     .speedLimit = 5.0, .turnRate = turn, .centre = aim, .layerDelay = 10.0});
  }
  ShootRing({.colour = colour, .sheet = 15, .spawnCode = 2, .n = 20, .x = boss.x, .y = boss.y,
             .speed = 1.0, .accel = 0.03, .speedLimit = 4.0, .base = aim});
  const int grow = static_cast<int>(S(3));
  const double tilt = S(1);
  const double ellipses[4][2] = {
      {tilt, 25.0 + grow}, {180 - tilt, 25.0 + grow}, {tilt + 80, 30.0 + grow}, {100 - tilt, 30.0 + grow}};
  for (const auto& e : ellipses) {
    ShootEllipseRing({.colour = colour, .sheet = 1, .n = static_cast<int>(e[1]), .radius = 50,
                      .x = boss.x, .y = boss.y, .speed = 6.0, .accel = -0.1, .speedLimit = 1.5,
                      .tilt = e[0], .flatness = 0.5, .offset = 90 * S(0)});
  }
}

void RunExtraCrossingEllipseCard(int t) {
  Boss& boss = B();
  if (t == 70) {
    RunBossChargeEffect(0, 0);
    S(0) = 1;
    S(1) = 0;
    S(2) = 0;
    S(3) = 1;
  }
  if (t == 100 || t == 180) CrossingEllipseVolley();
  if (t == 180) {
    const int y = Rand(50);
    const int x = Rand(100);
    SetBossMoveTarget(0, ClampToInt(g_player.x - 50 + x, 124, 324), 125 + y, 90);
  }
  if (t == 280) {
    S(0) = -S(0);
    if (S(3) < 10) S(3) += 1;
    boss.phaseTimer = 99;
  }
}

// ---------------------------------------------------------------------------
// 109: a star of laser chains. Every laser of the star is three pixels wide and opens at
// t 160; only the first stage grows, out from the boss to the full span by t 110, where the
// second stage starts from its far end.

double ArmBase(int k) { return k * 360.0 / S(0) + S(2); }

void ChainStage(int j, int colour, int lifetime, int trigger, double turn) {
  for (int k = 0; k < 9; ++k) {
    const Laser* from = LiveLaser(g_extraCards.star[j - 1][k]);
    if (from == nullptr) {
      g_extraCards.star[j][k] = {};
      continue;
    }
    g_extraCards.star[j][k] =
        KeepLaser(ShootLaserAtAngle({.colour = colour, .spawnCode = 3, .triggerAge = trigger,
                                     .x = from->x2, .y = from->y2, .angle = ArmBase(k) + turn,
                                     .lifetime = lifetime, .fullLength = static_cast<int>(S(1)),
                                     .fullWidth = 3, .startLength = S(1) - 10}));
  }
}

void RunExtraLaserStarCard(int t) {
  Boss& boss = B();
  if (t == 70) {
    S(0) = 9;
    S(1) = 200;
    S(2) = 90;
    S(3) = 0;
    S(4) = 1;
  }
  if (t == 100) {
    for (int k = 0; k < 9; ++k) {
      g_extraCards.star[0][k] = KeepLaser(ShootLaserAtAngle({.colour = 3, .spawnCode = 3,
                                                             .triggerAge = 60, .x = boss.x,
                                                             .y = boss.y, .angle = ArmBase(k),
                                                             .lifetime = 300,
                                                             .fullLength = static_cast<int>(S(1)),
                                                             .fullWidth = 3,
                                                             .growth = (S(1) - 10) / 10,
                                                             .startLength = 10.0}));
    }
  }
  if (t == 110) ChainStage(1, 3, 290, 50, 120);
  if (t == 120) ChainStage(2, 3, 280, 40, 0);
  if (t == 130) ChainStage(3, 9, 270, 30, -90);
  if (t == 140) {
    RunBossChargeEffect(0, 0);
    ChainStage(4, 9, 260, 20, -150);
  }
  if (t == 150) ChainStage(5, 9, 250, 10, 0);
  if (t >= 160 && t <= 398 && t % 2 == 0) {
    ShootRingOfFans({.colour = S(4) == 1 ? 3 : 2, .sheet = 1, .spawnCode = 1, .n = 2, .m = 3,
                     .spread = 10, .x = boss.x, .y = boss.y, .speed = 3.0, .accel = -0.05,
                     .speedLimit = 1.5, .base = S(3)});
    S(3) += (11 + Rand(3)) * S(4);
    const int phase = (t - 160) % 30;
    if (phase == 10 || phase == 20) S(4) = -S(4);
  }
  if (t == 400) SetBossMoveTarget(0, 174 + Rand(100), 240, 50);
  if (t == 460) {
    boss.phaseTimer = 99;
    S(2) = AimFromBoss() + 180;
    S(4) = -S(4);
  }
}

// ---------------------------------------------------------------------------
// 110: squares and fans.

void RunExtraSquareCard(int t) {
  Boss& boss = B();
  if (t == 70) {
    S(0) = 1;
    S(1) = 2;
    S(2) = 0;
    S(3) = 270;
    S(4) = 20;
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 150);
  }
  if (t == 100) {
    const int y = Rand(50);
    const int x = Rand(80);
    SetBossMoveTarget(0, 184 + x, 100 + y, 50);
  }
  if (t == 100 || t == 120 || t == 140) {
    ShootRingOfFans({.colour = 3, .sheet = 15, .spawnCode = 1, .n = 2, .m = 5, .spread = 40,
                     .x = boss.x, .y = boss.y, .speed = 4.0, .accel = -0.02, .speedLimit = 3.0,
                     .base = S(3) * S(0)});
  }
  if (t >= 100 && t <= 150 && Every(t, 10)) {
    const double speed = (t / 10) % 2 == 0 ? 2.0 : 1.5;
    const int squares = static_cast<int>(S(1));
    for (int k = 0; k < squares; ++k) {
      ShootPolygon({.colour = Rand(5), .sheet = 12, .n = 2, .m = 4, .radius = 80, .x = boss.x,
                    .y = boss.y, .speed = speed, .rotation = S(2) * S(0),
                    .offset = 45.0 - k * 90.0 / S(1)});
    }
  }
  if (t == 115 || t == 135 || t == 160) {
    S(2) += S(4);
    S(3) -= 20;
  }
  if (t == 160) {
    boss.phaseTimer = 99;
    S(0) = -S(0);
  }
}

}  // namespace
}  // namespace extra_cards

void RunExtraCard(AttackStep& step) {
  using namespace extra_cards;
  if (step.id < 102 || step.id > 118) return;
  DeclareExtraCard(step);
  const int t = T();
  switch (step.id) {
    case 102: RunExtraFanOfFansCard(t); break;
    case 103: RunExtraFamiliarRingCard(t); break;
    case 104: RunExtraBellReleaseCard(t); break;
    case 105: RunExtraSleepingWallCard(t); break;
    case 106: RunExtraOrbitingEmitterCard(t); break;
    case 107: RunExtraSwingingEmitterCard(t); break;
    case 108: RunExtraCrossingEllipseCard(t); break;
    case 109: RunExtraLaserStarCard(t); break;
    case 110: RunExtraSquareCard(t); break;
    case 111: RunExtraMirrorLatticeCard(step); break;
    case 112: RunExtraFenceCard(step); break;
    case 113: RunExtraBreathingStarCard(step); break;
    case 114: RunExtraLongLastCard(step); break;
    case 115: RunExtraTwinEmitterCard(step); break;
    case 116: RunExtraEnemyWaveCard(step); break;
    case 117: RunExtraFreezeCard(step); break;
    case 118: RunExtraLastPracticeCard(step); break;
    default: break;
  }
}

void ResetExtraAttacks() {
  using extra_cards::g_extraCards;
  g_extraCards = extra_cards::ExtraCardState{};
  for (Kept& kept : g_extraCards.emitters) kept.slot = -1;
  for (Kept& kept : g_extraCards.pair) kept.slot = -1;
}
