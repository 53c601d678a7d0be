// The cards of stage 6, the princess of the moon palace: her mirage card as the mid-boss
// (slot 20), bouncing lasers (21), the laser grid that rewrites bullets (22), the turning
// laser pair with orbit rings (23), the slanted laser rain (24) and the last card (25).
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kPortrait = 4;
constexpr double kTop = 16.0, kBottom = 464.0;


// A card loops by setting its timer back to 99 in its timer cases; its every-step part
// then reads the timer again, so on the loop step it sees 99 and does nothing that
// needs 100 or more.

// The orbit bullets a card makes at timer 70, each kept by slot and serial. The newest is
// orbit 0. Addressing them by their own slots rather than counting down from the last
// slot keeps every access inside the pool when it was full or the slots were not
// consecutive; an orbit that was erased (or never made) fires nothing.
constexpr int kMaxOrbits = 8;
int& OrbitCount() { return g_attackScratch.slots[2 * kMaxOrbits]; }
void ForgetOrbits() { OrbitCount() = 0; }
void RememberOrbit(int slot) {
  const int n = OrbitCount();
  if (n >= kMaxOrbits) return;
  // Shift so that orbit 0 stays the newest.
  for (int j = n; j > 0; --j) {
    g_attackScratch.slots[2 * j] = g_attackScratch.slots[2 * (j - 1)];
    g_attackScratch.slots[2 * j + 1] = g_attackScratch.slots[2 * (j - 1) + 1];
  }
  const Kept kept = Keep(slot);
  g_attackScratch.slots[0] = kept.slot;
  g_attackScratch.slots[1] = static_cast<int>(kept.serial);
  OrbitCount() = n + 1;
}
EnemyBullet* Orbit(int j) {
  if (j < 0 || j >= OrbitCount()) return nullptr;
  return Live({g_attackScratch.slots[2 * j], static_cast<uint32_t>(g_attackScratch.slots[2 * j + 1])});
}

void StartCard(AttackStep& step, int hp, int steps, int bonus, int drain, int cardActive = 1) {
  DeclareCard(step, {kPortrait, hp, steps, bonus, drain, cardActive});
}

// The continuation of a laser from its far end, one unit on, carrying what is left of
// its life. A laser of no length has no direction and is not continued.
void ContinueLaser(const Laser& old, double dx, double dy) {
  SpawnLaser(11, old.x2, old.y2, old.x2 + dx, old.y2 + dy, old.growth, old.fullLength,
             old.fullWidth, old.triggerAge - old.age, old.lifetime - old.age, old.colour);
}
bool OutTopOrBottom(const Laser& l) { return l.y2 < kTop || l.y2 > kBottom; }
bool OutSide(const Laser& l) { return l.x2 < kFieldLeft || l.x2 > kFieldRight; }

bool Active(const Laser& l) { return l.state != 0 && l.age > l.triggerAge; }

// ---------------------------------------------------------------------------
// Slot 25, the last card. Scratch: 1 orbit count, 2 volley angle, 3 volley period.

void LastCardEllipses(int t, const Boss& boss) {
  double tilt1 = 45, tilt2 = 135, offset;
  if (t >= 180 && t <= 230) {
    offset = t % 35 + 90;
  } else if (t >= 340 && t <= 390) {
    offset = t % 60 + 90;
  } else if (t >= 500 && t <= 550) {
    tilt1 = t + 15;
    tilt2 = 165 - t;
    offset = t % 50 + 90;
  } else {
    return;
  }
  if (!Every(t, 10)) return;
  const int n = g_difficulty % 2 == 0 ? 4 : 7;
  const double limit = DifficultyTier() == 0 ? 2.0 : 1.5;
  ShootEllipseRing({.colour = 1, .sheet = 13, .n = n, .radius = 50, .x = boss.x, .y = boss.y,
                    .accel = 0.01, .speedLimit = limit, .tilt = tilt1, .flatness = 0.5,
                    .offset = offset});
  ShootEllipseRing({.colour = 2, .sheet = 13, .n = n, .radius = 50, .x = boss.x, .y = boss.y,
                    .accel = 0.01, .speedLimit = limit, .tilt = tilt2, .flatness = 0.5,
                    .offset = offset});
}

}  // namespace

void RunStage6LastCard(AttackStep& step) {
  StartCard(step, 7000, 6000, 9000000, 410);
  Boss& boss = g_bosses[0];
  int t = boss.phaseTimer;
  const int d = g_difficulty, a = DifficultyTier();
  if (t == 1) boss.state = 2;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    S(1) = 2 * a + 6;
    S(2) = 0;
    S(3) = 16;
    S(4) = 0;
    ForgetOrbits();
    const int perRing = static_cast<int>(S(1)) / 2;
    for (int i = 0; i < 2; ++i) {
      const double radius = i == 0 ? 75 : 100;
      const double turn = (i == 0 ? -1 : 1) * (a + 1);
      for (int k = 0; k < perRing; ++k) {
        RememberOrbit(SpawnBulletIndexed((2 * k + k % 2) % 5, 0, kBehaviourBossEllipse, 90, 0, 0, 0,
                                         1, radius, turn, 180 * (i + 1) + 720.0 * k / S(1)));
      }
    }
    ShootRing({.sheet = 16, .spawnCode = 4, .behaviour = kBehaviourRideBoss,
               .behaviourParam = 10000, .n = 1, .x = boss.x, .y = boss.y});
  }
  if (t == 150) {
    if (a == 0) RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 90);
  }
  if (t == 310) SetBossAnimation(0, 0, 90);
  if (t == 470) SetBossAnimation(0, 0, 120);
  LastCardEllipses(t, boss);
  const int floor = PerDifficulty(11, 10, 12, 11);
  if (t == 700) {
    boss.phaseTimer = 99;
    if (S(3) > floor) S(3) -= 1;
  }
  t = boss.phaseTimer;
  if (S(3) > floor && boss.hp < 1500) S(3) = floor;
  if (t < 100) return;

  const int p = static_cast<int>(S(3));
  if (Every(t, p)) {
    const int count = static_cast<int>(S(1));
    for (int j = 0; j < count; ++j) {
      const EnemyBullet* b = Orbit(j);
      if (b == nullptr) continue;
      const bool heavy = j <= 3 && Every(t, static_cast<int>(2 * S(3)));
      ShootRing({.colour = b->colour, .sheet = heavy ? 13 : 1, .spawnCode = j <= 3 ? 2 : 1,
                 .behaviour = kBehaviourBounceOnce, .behaviourParam = 50, .n = heavy ? 3 : a + 3,
                 .x = std::trunc(b->x), .y = std::trunc(b->y), .speed = -1, .accel = 0.05,
                 .speedLimit = d == 3 ? 1.8 : 1.5, .base = S(2)});
    }
    S(2) += 15;
  }
  if (Every(t, p + 2)) {
    const double growth = d <= 1 ? 3.0 : d == 2 ? 4.0 : 4.5;
    for (int k = 0; k < 8; ++k) {
      ShootLaserAtAngle({.colour = NextRandom() % 10, .spawnCode = 11, .x = boss.x, .y = boss.y,
                         .angle = static_cast<double>(t + 60 * k), .lifetime = 55,
                         .fullLength = 100, .fullWidth = 3, .growth = growth, .startLength = 10});
      ShootLaserAtAngle({.colour = NextRandom() % 10, .spawnCode = 11, .x = boss.x, .y = boss.y,
                         .angle = static_cast<double>(60 * k - t), .lifetime = 55,
                         .fullLength = 100, .fullWidth = 3, .growth = growth, .startLength = 10});
    }
  }
  if (a == 0 && Every(t, 3)) {
    const int r = static_cast<int>(std::trunc(50 + 100 * std::sin((t - 100) * kPi / 180)));
    ShootRingOnCircle({.sheet = 16, .spawnCode = 11, .behaviour = kBehaviourHarmlessUntil,
                       .behaviourParam = 201, .n = 3, .radius = r, .x = boss.x, .y = boss.y,
                       .base = static_cast<double>(2 * t)});
  }
}

// ---------------------------------------------------------------------------
// Slot 20, the mirage: the boss hides (state 4) and shows itself only between its break
// rings. Scratch: 0 ring colour, 1 ring count, 2 laser count, 4 turn sign.

namespace {

void MirageVolley(const Boss& boss, int c) {
  const int d = g_difficulty;
  const int n = static_cast<int>(S(1));
  ShootRingOnCircle({.colour = c, .sheet = 13, .spawnCode = 1, .behaviour = kBehaviourSplit,
                     .behaviourParam = 402 - 200 * d, .triggerAge = 120, .n = n, .radius = 50,
                     .x = boss.x, .y = boss.y, .speed = -1, .accel = 0.1, .speedLimit = 2,
                     .base = 270, .offset = 180});
  ShootRingOnCircle({.colour = c, .sheet = 14, .spawnCode = 1, .behaviour = kBehaviourBackAway * d,
                     .behaviourParam = 3, .triggerAge = 120, .n = n, .radius = 40, .x = boss.x,
                     .y = boss.y, .speed = -1, .accel = 0.05, .speedLimit = 2.5, .base = 270,
                     .offset = 180});
  const int lasers = static_cast<int>(S(2));
  for (int k = 0; k < lasers; ++k) {
    ShootLaserAtAngle({.colour = c, .spawnCode = 1, .x = boss.x, .y = boss.y,
                       .angle = 360.0 * k / lasers, .lifetime = 1000, .fullLength = 100,
                       .fullWidth = 3, .growth = 2, .startLength = 10});
  }
}

// y is drawn first, then x near the player.
void MirageMove(int yBase, int yStep, int steps) {
  const int ry = NextRandom();
  const int rx = NextRandom();
  const double y = yStep * (yBase + ry % 19);
  SetBossMoveTarget(0, ClampToInt(g_player.x + 25 - rx % 50, 60, 390), y, steps);
}

void MirageEasy(Boss& boss, int t) {
  const int d = g_difficulty;
  if (t == 70) {
    S(1) = 4 * d + 16;
    S(2) = 2 * d + 8;
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
  }
  switch (t) {
    case 100: case 310: case 520: MirageMove(10, 10, 50); break;
    case 180: MirageVolley(boss, 0); break;
    case 390: MirageVolley(boss, 3); break;
    case 600: MirageVolley(boss, 4); break;
    case 810: MirageVolley(boss, 0); break;
    case 700: RunBossChargeEffect(0, 0); break;
    case 730:
      // Straight at the player: x kept off the walls, y as it is.
      SetBossMoveTarget(0, ClampToInt(g_player.x, 60, 390), g_player.y, 50);
      break;
    case 920: case 1030: RunBossBreakRing(0, 0); break;
    case 940:
      boss.state = 1;
      SetBossAnimation(0, 0, 80);
      break;
    case 1050:
      boss.state = 4;
      boss.phaseTimer = 99;
      break;
    default: break;
  }
}

void MirageHard(Boss& boss, int t) {
  const int d = g_difficulty;
  if (t == 70) {
    S(0) = 0;
    S(1) = 4 * d + 6;
    S(4) = 1;
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
  }
  switch (t) {
    case 110: case 160: case 210: case 260: MirageMove(20, 5, 30); break;
    case 150: S(0) = 4; break;
    case 200: S(0) = 1; break;
    case 250: S(0) = 0; break;
    case 300: case 420: RunBossBreakRing(0, 0); break;
    case 320:
      boss.state = 1;
      SetBossAnimation(0, 0, 80);
      break;
    case 440:
      S(4) = -S(4);
      boss.state = 4;
      boss.phaseTimer = 99;
      break;
    default: break;
  }
  if (t < 100 || t > 319) return;
  const double sign = S(4);
  const int lunaticBase = 100 * (boss.spellTimer / 200);
  if (Every(t, 13)) {
    const int u = t % 50;
    const int param = d == 2 ? 10004 : lunaticBase + 7504;
    const int colour = static_cast<int>(S(0)), n = static_cast<int>(S(1));
    ShootRingOnCircle({.colour = colour, .sheet = 8, .spawnCode = 1,
                       .behaviour = kBehaviourAimOnceAtAge, .behaviourParam = param, .n = n,
                       .radius = 30 + u, .x = boss.x, .y = boss.y, .accel = 0.05, .speedLimit = 2,
                       .turnRate = 0.25 * sign, .base = 270 - u * sign, .offset = 270 - u * sign});
    ShootRingOnCircle({.colour = colour, .sheet = 8, .spawnCode = 1,
                       .behaviour = kBehaviourAimOnceAtAge, .behaviourParam = param, .n = n,
                       .radius = 30 + u, .x = boss.x, .y = boss.y, .accel = 0.05, .speedLimit = 2,
                       .turnRate = -0.25 * sign, .base = 270 + u * sign, .offset = 270 + u * sign});
  }
  if (Every(t, 20)) {
    const int param = d == 2 ? 10013 : lunaticBase + 7513;
    ShootRingOfFans({.colour = 3, .sheet = 8, .spawnCode = 1, .behaviour = kBehaviourAimOnceAtAge,
                     .behaviourParam = param, .n = 3, .m = 2 * d + 2, .spread = 10, .x = boss.x,
                     .y = boss.y, .speed = -2, .accel = 0.05, .speedLimit = 2,
                     .base = static_cast<double>(t)});
  }
}

}  // namespace

void RunStage6MirageCard(AttackStep& step) {
  const bool hard = DifficultyTier() == 1;
  StartCard(step, hard ? 1000 : 500, hard ? 3000 : 5000, 8000000, 410, 0);
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 98) boss.state = 4;
  if (hard) {
    MirageHard(boss, t);
  } else {
    MirageEasy(boss, t);
  }
}

// ---------------------------------------------------------------------------
// Slot 21: layered fans, then two aimed lasers sweeping apart that bounce off the
// walls with rings. Scratch: 3 laser steps, 4 bullets per bounce ring.

void RunStage6BounceCard(AttackStep& step) {
  StartCard(step, 2700, 3000, 8200000, 710);
  Boss& boss = g_bosses[0];
  int t = boss.phaseTimer;
  const int d = g_difficulty, a = DifficultyTier();
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    S(3) = a + 2 * d + 8;
    S(4) = 2 * (d - a) + 2;
  }
  if (t == 100 || t == 110 || t == 120) {
    const bool last = t == 120;
    const int n = last ? PerDifficulty(5, 8, 11, 12) : PerDifficulty(7, 10, 13, 14);
    const int spread = last ? 80 : 90, layers = (last ? 3 : 4) + a;
    const double c1 = t == 100 ? 20 : t == 110 ? 50 : -20;
    const double c2 = t == 100 ? 160 : t == 110 ? 130 : 200;
    for (double centre : {c1, c2}) {
      ShootLayeredFan({.colour = 3, .sheet = 14 - a, .spawnCode = 1, .behaviour = kBehaviourBounce,
                       .behaviourParam = 111, .n = n, .spread = spread, .layers = layers,
                       .x = boss.x, .y = boss.y, .speed = 5, .accel = -0.05, .speedLimit = 1,
                       .centre = centre, .layerDelay = 30});
    }
  }
  if (t == 350) SetBossMoveTarget(0, g_player.x + NextRandom() % 50 - 25, 150, 100);
  if (t == 460) boss.phaseTimer = 99;
  t = boss.phaseTimer;
  const double steps = S(3);
  if (t >= 150 && t <= 150 + 5 * steps && Every(t - 150, 5)) {
    const int k = (t - 150) / 5;
    const double aim = AngleToPlayer(boss.x, boss.y);
    const int c1 = a == 0 ? 8 : NextRandom() % 10;
    ShootLaserAtAngle({.colour = c1, .spawnCode = 2, .x = boss.x, .y = boss.y,
                       .angle = aim + 50 + 240 * k / steps, .lifetime = 800, .fullLength = 250,
                       .fullWidth = 3, .growth = 10, .startLength = 10});
    const int c2 = a == 0 ? 8 : NextRandom() % 10;
    ShootLaserAtAngle({.colour = c2, .spawnCode = 2, .x = boss.x, .y = boss.y,
                       .angle = aim + 310 - 240 * k / steps, .lifetime = 800, .fullLength = 250,
                       .fullWidth = 3, .growth = 10, .startLength = 10});
  }
  if (t < 100) return;
  const int ringSize = static_cast<int>(S(4));
  auto rings = [&](const Laser& l, int baseOffset) {
    const double x = std::trunc(l.x2), y = std::trunc(l.y2);
    ShootRing({.sheet = 13, .spawnCode = 11, .n = ringSize, .x = x, .y = y, .speed = 3,
               .accel = -0.05, .speedLimit = 2,
               .base = static_cast<double>(NextRandom() % 20 + baseOffset)});
    ShootRing({.sheet = 13, .spawnCode = 11, .n = ringSize, .x = x, .y = y, .speed = 3,
               .accel = -0.05, .speedLimit = 1,
               .base = static_cast<double>(NextRandom() % 20 + baseOffset)});
  };
  for (Laser& laser : g_lasers) {
    if (laser.state != 2 || laser.fullLength <= 0) continue;
    const Laser old = laser;
    const double w = old.fullLength;
    const double dx = (old.x2 - old.x1) / w, dy = (old.y2 - old.y1) / w;
    if (OutTopOrBottom(old)) {
      ContinueLaser(old, dx, -dy);
      rings(old, 80);
    } else if (OutSide(old)) {
      ContinueLaser(old, -dx, dy);
      if (a == 1) rings(old, -10);
    } else {
      continue;
    }
    laser.state = 1;
  }
}

// ---------------------------------------------------------------------------
// Slot 22: four orbits mark a grid of lasers that flash together at timer 220; bullets
// of sheet 1 that touch a live laser turn into fast ones. Scratch: 1 start angle,
// 2 laser active time, 3 rings per orbit.

namespace {

void GridLaser(int t, double x1, double y1, double x2, double y2) {
  SpawnLaser(3, x1, y1, x2, y2, 10, 10000, 7, 220 - t, 220 - t + static_cast<int>(S(2)), 4);
}

void SetOrbitTurn(double turn) {
  for (int j = 0; j < 4; ++j) {
    if (EnemyBullet* b = Orbit(j)) b->turnRate = turn;
  }
}

}  // namespace

void RunStage6GridCard(AttackStep& step) {
  StartCard(step, 2700, 2500, 8200000, 760);
  Boss& boss = g_bosses[0];
  int t = boss.phaseTimer;
  const int d = g_difficulty, a = DifficultyTier();
  if (t == 2) SetBossMoveTarget(0, 224.0, 240.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    S(1) = NextRandom() % 45;
    S(2) = 30;
    S(3) = d + 1;
    ForgetOrbits();
    for (int j = 0; j < 360; j += 90) {
      RememberOrbit(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, 0, 0, 0, 0, 5, 120, 1,
                                       180 + S(1) + j));
    }
  }
  if (t == 100 || t == 120 || t == 140 || t == 160) {
    if (t == 100) SetOrbitTurn(0);
    if (const EnemyBullet* b = Orbit((t - 100) / 20)) {
      const double bx = b->x, by = b->y;
      GridLaser(t, 10, by, 20, by);
      GridLaser(t, bx, 0, bx, 10);
    }
    if (t == 140) {
      GridLaser(t, 10, 24, 20, 24);
      GridLaser(t, 410, 0, 410, 10);
      GridLaser(t, 427, 457, 410, 457);
      GridLaser(t, 39, 474, 39, 464);
    }
  }
  if (t == 210) {
    // The grid's lasers are the only ones of this card, made into the lowest free slots.
    for (int slot = 0; slot < 12; ++slot) g_lasers[slot].growth = 0;
  }
  if (t == 220) PlayEffect(kSeAttackBell);
  if (t == 250) {
    const int perOrbit = static_cast<int>(S(3));
    for (int j = 0; j < 4; ++j) {
      const EnemyBullet* b = Orbit(j);
      if (b == nullptr) continue;
      const double bx = std::trunc(b->x), by = std::trunc(b->y), angle = b->angle;
      for (int k = 0; k < perOrbit; ++k) {
        const int colour = a == 0 ? 3 : NextRandom() % 5;
        ShootRingOnCircle({.colour = colour, .sheet = 1, .spawnCode = 1,
                           .behaviour = kBehaviourAimAtSpeed, .behaviourParam = 4, .triggerAge = 50,
                           .n = 2, .radius = 50, .x = bx, .y = by, .speed = 0.5, .accel = -0.01,
                           .base = angle + 180.0 * k / S(3)});
      }
    }
  }
  if (t == 300) SetOrbitTurn(1);
  if (t == 330) boss.phaseTimer = 99;
  t = boss.phaseTimer;
  if (t < 100) return;
  for (const Laser& laser : g_lasers) {
    if (!Active(laser)) continue;
    for (EnemyBullet& b : g_enemyBullets) {
      if (b.state == 0 || b.sheet != 1) continue;
      if (!HitSegment(b.x, b.y, laser.x1, laser.y1, laser.x2, laser.y2, laser.fullWidth)) continue;
      b.sheet = 12;
      b.behaviour = kBehaviourBounce;
      b.behaviourParam = 1111;
    }
  }
}

// ---------------------------------------------------------------------------
// Slot 23: a laser pair turning a full circle, continued at the walls on Normal and
// above, and rings from four orbits. Scratch: 1 ring angle, 3 laser steps, 4 laser period.

void RunStage6PhaseCard(AttackStep& step) {
  StartCard(step, 3200, 3500, 8600000, 660);
  Boss& boss = g_bosses[0];
  int t = boss.phaseTimer;
  const int d = g_difficulty, a = DifficultyTier();
  if (t == 2) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 70) {
    g_spellCardActive = 0;
    ForgetOrbits();
    for (int j = 0; j < 360; j += 90) {
      RememberOrbit(SpawnBulletIndexed(3, 0, kBehaviourBossPhased, 60, 0, 0, 0, 10, 100, -1, j));
    }
    S(1) = 0;
    S(3) = 5 * (d - a + 1);
    S(4) = 3 * (a - d) + 13;
  }
  if (t == 70 || t == 370) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, static_cast<int>(S(4) * S(3)) + 60);
  }
  if (t == 400) boss.phaseTimer = 99;
  t = boss.phaseTimer;
  if (t < 100) return;

  const int period = static_cast<int>(S(4));
  const int last = 100 + static_cast<int>(S(3) * S(4));
  if (t <= last && Every(t - 100, period)) {
    const double aim = AngleToPlayer(boss.x, boss.y) + (t - 100) * 360.0 / (S(4) * S(3));
    for (double angle : {aim, aim + 180}) {
      const int colour = a == 0 ? 3 : NextRandom() % 10;
      ShootLaserAtAngle({.colour = colour, .spawnCode = 2, .x = boss.x, .y = boss.y, .angle = angle,
                         .lifetime = 800, .fullLength = 100, .fullWidth = 3, .growth = 5,
                         .startLength = 10});
    }
  }
  if (t == last) {
    const int colour = a == 0 ? 3 : NextRandom() % 5;
    ShootLayeredFan({.colour = colour, .sheet = 15, .spawnCode = 1, .n = static_cast<int>(S(3)) - 1,
                     .spread = 360, .layers = 2, .x = boss.x, .y = boss.y, .speed = -2,
                     .accel = 0.05, .speedLimit = 2, .centre = AngleToPlayer(boss.x, boss.y),
                     .layerDelay = 30});
  }
  if (d >= 1) {
    for (Laser& laser : g_lasers) {
      if (laser.state != 2 || laser.fullLength <= 0) continue;
      const Laser old = laser;
      const double w = old.fullLength;
      const double dx = (old.x2 - old.x1) / w, dy = (old.y2 - old.y1) / w;
      const bool vertical = OutTopOrBottom(old), side = OutSide(old);
      if (!vertical && !side) continue;
      if (d == 1) {
        ContinueLaser(old, -dx, -dy);  // straight back toward the boss
      } else {
        // Out at a corner: continued off both walls.
        if (vertical) ContinueLaser(old, dx, -dy);
        if (side) ContinueLaser(old, -dx, dy);
      }
      laser.state = 1;
    }
  }
  for (int j = 0; j < 4; ++j) {
    if (EnemyBullet* b = Orbit(j)) b->behaviourParam += 1;
  }
  const int u = t - 100, q = 6 - d;
  if (Every(u, q) && (u / (10 * q)) % 2 == 0) {
    const double angle = S(1);
    const int r = 50 - static_cast<int>(angle) % 100;
    for (int j = 0; j < 4; ++j) {
      const EnemyBullet* b = Orbit(j);
      if (b == nullptr) continue;
      ShootRingOnCircle({.colour = 4, .sheet = 12, .spawnCode = 1, .n = 3, .radius = r,
                         .x = std::trunc(b->x), .y = std::trunc(b->y), .accel = 0.05,
                         .speedLimit = 1, .base = angle, .offset = angle});
    }
    S(1) += 7;
  }
}

// ---------------------------------------------------------------------------
// Slot 24: rings of bullets that slanted full-height lasers knock loose. Scratch: 0 pace,
// 1 ring turn sign, 2 most live state-1 lasers.

void RunStage6StairCard(AttackStep& step) {
  StartCard(step, 5500, 4000, 8600000, 560);
  Boss& boss = g_bosses[0];
  int t = boss.phaseTimer;
  const int d = g_difficulty, a = DifficultyTier();
  if (t == 2) SetBossMoveTarget(0, 224.0, 100.0, 50);
  if (t == 70) {
    S(0) = 10 * (9 - d);
    S(1) = 1;
    S(2) = 10 * (a + d + 3);
    g_spellCardActive = 0;
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 150);
  }
  switch (t) {
    case 100: case 120: case 140: case 200: case 220: case 280: case 300: case 320: case 380:
    case 400:
      ShootRing({.colour = 4, .spawnCode = 5, .behaviour = kBehaviourBounce, .behaviourParam = 101,
                 .n = 7 * d + 23, .x = boss.x, .y = boss.y, .accel = 0.1, .speedLimit = 5,
                 .turnRate = S(1)});
      break;
    case 150: case 330: S(0) -= 5; break;
    case 460:
      SetBossAnimation(0, 0, 120);
      S(1) = -S(1);
      boss.phaseTimer = 99;
      break;
    default: break;
  }
  t = boss.phaseTimer;
  const double hurried = 5 * (5 - d);
  if (boss.hp < boss.maxHp / 2 && S(0) > hurried) S(0) = hurried;
  if (S(0) < 0) S(0) = 0;
  if (d <= 1 && t >= 420 && t < 460 && Every(t, 4 * (2 - d))) {
    const double w = S(0) / 4 + 30;
    const int g = (t - 420) / 2;
    const int rx = NextRandom();
    ShootLaserAtAngle({.colour = NextRandom() % 10, .spawnCode = 2, .triggerAge = 60,
                       .x = static_cast<double>(32 + 19 * g + rx % 10), .angle = 270 + w,
                       .lifetime = 150, .fullLength = 1000, .fullWidth = 5, .growth = 10,
                       .startLength = 10});
    const int rx2 = NextRandom();
    ShootLaserAtAngle({.colour = NextRandom() % 10, .spawnCode = 2, .triggerAge = 60,
                       .x = static_cast<double>(422 - rx2 % 10 - 19 * g), .angle = 270 - w,
                       .lifetime = 150, .fullLength = 1000, .fullWidth = 5, .growth = 10,
                       .startLength = 10});
  }
  if (t < 100) return;
  int standing = 0;
  for (Laser& laser : g_lasers) {
    if (laser.x2 < 0 || laser.x2 > 430 || laser.y2 > 550) laser.growth = 0;
    if (Active(laser)) {
      for (EnemyBullet& b : g_enemyBullets) {
        if (b.state != 5) continue;
        if (!HitSegment(b.x, b.y, laser.x1, laser.y1, laser.x2, laser.y2, laser.fullWidth)) continue;
        b.state = 1;
        // The loosened bullet's speed grows with the difficulty in thirds.
        b.speed = 1 + d / 3.0;
        b.accel = -0.1;
        b.speedLimit = 1;
        b.behaviour = kBehaviourNone;
        b.angle += NextRandom() % 180 - 90;
        b.turnRate = 0;
        b.sheet = 12;
        b.colour = NextRandom() % 5;
      }
    }
    if (laser.state == 1) ++standing;
  }
  const int pace = static_cast<int>(S(0));
  if (Every(t, static_cast<int>(0.5 * S(0) + 10)) && standing < S(2)) {
    auto fold = [](int v) { return v > 19 ? v - 19 : v + 19; };
    const int s1 = NextRandom() % 19;
    const int s = fold(s1 + NextRandom() % 19);
    const int u1 = NextRandom() % 28;
    const int u = fold(u1 + NextRandom() % 10);
    const int colour = a == 1 ? 9 : NextRandom() % 10;
    const int x2 = 32 + 10 * u + NextRandom() % 10;
    const int x1 = 32 + 10 * s + NextRandom() % 10;
    SpawnLaser(1, x1, 0, x2, 550, 0, 1000, (80 - pace) / 10 + 3, pace + 30, pace / 2 + 90, colour);
  }
}
