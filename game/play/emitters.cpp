// The pattern emitters and the one path every bullet is made through.
#include <algorithm>
#include <cmath>

#include "game/play/play_effects.h"
#include "game/play/play_internal.h"

bool EmittersBlocked() { return g_emitterBlock != 0 || g_bossBlast.counter > 0; }

int MakeBullet(const BulletSpec& spec, double x, double y, double angle) {
  for (int slot = 0; slot < kBulletSlots; ++slot) {
    EnemyBullet& bullet = g_enemyBullets[slot];
    if (bullet.state != 0) continue;
    bullet = EnemyBullet{};
    bullet.state = spec.spawnCode % 10;
    bullet.age = spec.spawnCode / 10;
    bullet.sheet = spec.sheet;
    bullet.colour = spec.colour;
    bullet.triggerAge = spec.triggerAge;
    bullet.behaviour = spec.behaviour;
    bullet.behaviourParam = spec.behaviourParam;
    bullet.x = x;
    bullet.y = y;
    bullet.speed = spec.speed;
    bullet.accel = spec.accel;
    bullet.speedLimit = spec.speedLimit;
    bullet.turnRate = spec.turnRate;
    bullet.angle = angle;
    bullet.serial = ++g_bulletSerial;
    bullet.bornStep = g_stepSerial;
    bullet.px = x;
    bullet.py = y;
    return slot;
  }
  return kBulletSlots;
}

namespace {

int AtLeast(int count, int least) { return count < least ? least : count; }

// Bullet k of a fan of n over `spread` centred on `centre`.
double FanAngle(double centre, double spread, int k, int n) {
  return centre - spread / 2.0 + spread * (k + 0.5) / n;
}

void FireLine(const BulletSpec& spec, int n, double x1, double y1, double x2, double y2,
              double offset) {
  n = AtLeast(n, 2);
  double angle = RadToDeg(std::atan2(y1 - y2, x2 - x1)) + offset;
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / (n - 1);
    MakeBullet(spec, x1 + (x2 - x1) * t, y1 + (y2 - y1) * t, angle);
  }
}

// The bullet values of a shot; the emitters that fix some of them set those after.
BulletSpec SpecOf(const Shot& shot) {
  return {shot.colour, shot.behaviourParam, shot.spawnCode, shot.sheet, shot.triggerAge,
          shot.behaviour, shot.speed, shot.accel, shot.speedLimit, shot.turnRate};
}

}  // namespace

void ShootFan(const Shot& shot) {
  if (EmittersBlocked()) return;
  const BulletSpec spec = SpecOf(shot);
  const int n = AtLeast(shot.n, 1);
  for (int k = 0; k < n; ++k) {
    MakeBullet(spec, shot.x, shot.y, FanAngle(shot.centre, shot.spread, k, n));
  }
}

void ShootRing(const Shot& shot) {
  if (EmittersBlocked()) return;
  const BulletSpec spec = SpecOf(shot);
  const int n = AtLeast(shot.n, 1);
  for (int k = 0; k < n; ++k) MakeBullet(spec, shot.x, shot.y, shot.base + k * 360.0 / n);
}

void ShootRingOfFans(const Shot& shot) {
  if (EmittersBlocked()) return;
  const BulletSpec spec = SpecOf(shot);
  const int m = AtLeast(shot.m, 1);
  const int n = AtLeast(shot.n, 1);
  for (int j = 0; j < m; ++j) {
    double centre = shot.base + j * 360.0 / m;
    for (int k = 0; k < n; ++k) {
      MakeBullet(spec, shot.x, shot.y, FanAngle(centre, shot.spread, k, n));
    }
  }
}

void ShootRingOnCircle(const Shot& shot) {
  if (EmittersBlocked()) return;
  const BulletSpec spec = SpecOf(shot);
  const int n = AtLeast(shot.n, 1);
  const int r = shot.radius;
  for (int k = 0; k < n; ++k) {
    double t = shot.base + k * 360.0 / n;
    // The offsets are cut to whole pixels: 150 at 90 degrees lands 149 away.
    double bx = shot.x + std::trunc(r * CosDeg(t));
    double by = shot.y - std::trunc(r * SinDeg(t));
    MakeBullet(spec, bx, by, t + shot.offset);
  }
}

void ShootEllipseRing(const Shot& shot) {
  if (EmittersBlocked()) return;
  BulletSpec spec = SpecOf(shot);
  spec.spawnCode = 1;
  const int n = AtLeast(shot.n, 1);
  const int r = shot.radius;
  double semiA = r * (2.0 - shot.flatness), semiB = r * shot.flatness;
  double ct = CosDeg(shot.tilt), st = SinDeg(shot.tilt);
  for (int k = 0; k < n; ++k) {
    double t = shot.start + k * 360.0 / n;
    double lx = semiA * CosDeg(t), ly = semiB * SinDeg(t);
    double ex = lx * ct - ly * st, ey = lx * st + ly * ct;
    MakeBullet(spec, shot.x + ex, shot.y - ey, t + 90.0 + 2.0 * shot.tilt + shot.offset);
  }
}

void ShootCircleFormation(const Shot& shot) {
  if (EmittersBlocked()) return;
  BulletSpec spec = SpecOf(shot);
  spec.spawnCode = 1;
  spec.triggerAge = 0;
  const int n = AtLeast(shot.n, 1);
  const int r = shot.radius;
  for (int k = 0; k < n; ++k) {
    double t = shot.start + k * 360.0 / n;
    MakeBullet(spec, shot.x + std::trunc(r * CosDeg(t)), shot.y + std::trunc(r * SinDeg(t)),
               shot.direction);
  }
}

void ShootCentredLine(const Shot& shot) {
  if (EmittersBlocked()) return;
  const BulletSpec spec = SpecOf(shot);
  const int n = AtLeast(shot.n, 2);
  const int length = AtLeast(shot.length, 1);
  double ux = CosDeg(shot.tilt), uy = -SinDeg(shot.tilt);
  for (int k = 0; k < n; ++k) {
    double d = -length / 2.0 + static_cast<double>(length) * k / (n - 1);
    MakeBullet(spec, shot.x + d * ux, shot.y + d * uy, shot.tilt + shot.offset);
  }
}

void ShootLine(const Shot& shot) {
  if (EmittersBlocked()) return;
  BulletSpec spec = SpecOf(shot);
  spec.spawnCode = 1;
  FireLine(spec, shot.n, shot.x, shot.y, shot.x2, shot.y2, shot.offset);
}

void ShootLayeredFan(const Shot& shot) {
  if (EmittersBlocked()) return;
  const int n = AtLeast(shot.n, 1);
  const int layers = AtLeast(shot.layers, 1);
  const double accel = shot.accel, speedLimit = shot.speedLimit;
  double startSpeed = shot.speed;
  if (startSpeed == speedLimit) startSpeed = speedLimit - 1.0;
  BulletSpec spec = SpecOf(shot);
  spec.speed = startSpeed;
  for (int k = 0; k < n; ++k) {
    double angle = FanAngle(shot.centre, shot.spread, k, n);
    for (int j = 0; j < layers; ++j) {
      spec.accel = accel / (1.0 + j * accel * shot.layerDelay / (speedLimit - startSpeed));
      MakeBullet(spec, shot.x, shot.y, angle);
    }
  }
}

void ShootPolygon(const Shot& shot) {
  if (EmittersBlocked()) return;
  BulletSpec spec{shot.colour, 0, 1, shot.sheet, 0, 0, shot.speed, 0.0, shot.speed, 0.0};
  const int m = AtLeast(shot.m, 1);
  const int R = shot.radius;
  auto corner = [&](int k, double* cx, double* cy) {
    double t = (360 * k / m) + shot.rotation;
    *cx = shot.x - R * CosDeg(t);
    *cy = shot.y + R * SinDeg(t);
  };
  for (int i = 0; i < m; ++i) {
    double x1, y1, x2, y2;
    corner(i, &x1, &y1);
    corner(i + 1, &x2, &y2);
    FireLine(spec, shot.n, x1, y1, x2, y2, shot.offset);
  }
}

void ShootOrbitRing(const Shot& shot) {
  if (EmittersBlocked()) return;
  BulletSpec centreSpec = SpecOf(shot);
  centreSpec.spawnCode = 3;
  const double x = shot.x, y = shot.y, base = shot.base;
  const int r = shot.radius;
  int centre = MakeBullet(centreSpec, x, y, base);
  if (centre >= kBulletSlots) return;
  uint32_t centreSerial = g_enemyBullets[centre].serial;
  BulletSpec ringSpec{shot.ringColour, 0, 3, shot.ringSheet, 0, 17, static_cast<double>(r),
                      shot.ringAccel, static_cast<double>(shot.ringSpeedLimit), shot.ringTurnRate};
  const int n = AtLeast(shot.n, 1);
  for (int k = 0; k < n; ++k) {
    double a = base + k * 360.0 / n;
    int slot = MakeBullet(ringSpec, x + r * CosDeg(a), y - r * SinDeg(a), a);
    if (slot >= kBulletSlots) continue;
    g_enemyBullets[slot].linkSlot = centre;
    g_enemyBullets[slot].linkSerial = centreSerial;
  }
}

void ShootBulletChain(const Shot& shot) {
  if (EmittersBlocked()) return;
  const double x = shot.x, y = shot.y, angle = shot.angle;
  SpawnLaser(1, x, y, x, y, 0.0, 0, 0, 0, 30, shot.colour);
  BulletSpec spec{shot.colour, shot.behaviourParam, 11, 13, 0, kBehaviourHomeUntil,
                  shot.speed,  shot.accel,          shot.speedLimit, shot.turnRate};
  int leader = MakeBullet(spec, x, y, angle);
  if (leader >= kBulletSlots) return;
  spec.spawnCode = 1;
  spec.behaviour = kBehaviourTrailLinked;
  spec.behaviourParam = 0;
  const int n = AtLeast(shot.n, 1);
  for (int k = 0; k < n; ++k) {
    int slot = MakeBullet(spec, x, y, angle);
    if (slot >= kBulletSlots) break;
    g_enemyBullets[slot].linkSlot = leader;
    g_enemyBullets[slot].linkSerial = g_enemyBullets[leader].serial;
    leader = slot;
  }
}

void ShootRingWithAge(const Shot& shot) {
  if (EmittersBlocked()) return;
  BulletSpec spec = SpecOf(shot);
  spec.sheet = 16;
  spec.triggerAge = 0;
  const int n = AtLeast(shot.n, 1);
  for (int k = 0; k < n; ++k) {
    int slot = MakeBullet(spec, shot.x, shot.y, shot.base + k * 360.0 / n);
    if (slot < kBulletSlots) g_enemyBullets[slot].age = shot.startAge;
  }
}

int SpawnBulletIndexed(int colour, int triggerAge, int behaviour, int behaviourParam, double x,
                       double y, double speed, double accel, double speedLimit, double turnRate,
                       double angle) {
  BulletSpec spec{colour, behaviourParam, 14, 6, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  return MakeBullet(spec, x, y, angle);
}
