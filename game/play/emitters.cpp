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

}  // namespace

void ShootFan(int colour, int behaviourParam, int spawnCode, int sheet, int triggerAge,
              int behaviour, int n, int spread, double x, double y, double speed, double accel,
              double speedLimit, double turnRate, double centre) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) MakeBullet(spec, x, y, FanAngle(centre, spread, k, n));
}

void ShootRing(int colour, int behaviourParam, int spawnCode, int sheet, int triggerAge,
               int behaviour, int n, double x, double y, double speed, double accel,
               double speedLimit, double turnRate, double base) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) MakeBullet(spec, x, y, base + k * 360.0 / n);
}

void ShootRingOfFans(int behaviourParam, int spread, int spawnCode, int sheet, int colour,
                     int triggerAge, int behaviour, int m, int n, double x, double y, double speed,
                     double accel, double speedLimit, double turnRate, double base) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  m = AtLeast(m, 1);
  n = AtLeast(n, 1);
  for (int j = 0; j < m; ++j) {
    double centre = base + j * 360.0 / m;
    for (int k = 0; k < n; ++k) MakeBullet(spec, x, y, FanAngle(centre, spread, k, n));
  }
}

void ShootRingOnCircle(int colour, int behaviourParam, int spawnCode, int sheet, int triggerAge,
                       int behaviour, int r, int n, double x, double y, double speed, double accel,
                       double speedLimit, double turnRate, double base, double offset) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) {
    double t = base + k * 360.0 / n;
    // The offsets are cut to whole pixels: 150 at 90 degrees lands 149 away.
    double bx = x + std::trunc(r * CosDeg(t));
    double by = y - std::trunc(r * SinDeg(t));
    MakeBullet(spec, bx, by, t + offset);
  }
}

void ShootEllipseRing(int colour, int behaviourParam, int sheet, int triggerAge, int behaviour,
                      int r, int n, double x, double y, double speed, double accel,
                      double speedLimit, double turnRate, double flatness, double start,
                      double tilt, double offset) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, 1, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  n = AtLeast(n, 1);
  double semiA = r * (2.0 - flatness), semiB = r * flatness;
  double ct = CosDeg(tilt), st = SinDeg(tilt);
  for (int k = 0; k < n; ++k) {
    double t = start + k * 360.0 / n;
    double lx = semiA * CosDeg(t), ly = semiB * SinDeg(t);
    double ex = lx * ct - ly * st, ey = lx * st + ly * ct;
    MakeBullet(spec, x + ex, y - ey, t + 90.0 + 2.0 * tilt + offset);
  }
}

void ShootCircleFormation(int colour, int behaviourParam, int sheet, int behaviour, int r, int n,
                          double x, double y, double speed, double accel, double speedLimit,
                          double turnRate, double start, double direction) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, 1, sheet, 0, behaviour, speed, accel, speedLimit,
                  turnRate};
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) {
    double t = start + k * 360.0 / n;
    MakeBullet(spec, x + std::trunc(r * CosDeg(t)), y + std::trunc(r * SinDeg(t)), direction);
  }
}

void ShootCentredLine(int n, int colour, int spawnCode, int sheet, int triggerAge, int behaviour,
                      int behaviourParam, int length, double x, double y, double speed,
                      double accel, double speedLimit, double turnRate, double tilt,
                      double offset) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  n = AtLeast(n, 2);
  length = AtLeast(length, 1);
  double ux = CosDeg(tilt), uy = -SinDeg(tilt);
  for (int k = 0; k < n; ++k) {
    double d = -length / 2.0 + static_cast<double>(length) * k / (n - 1);
    MakeBullet(spec, x + d * ux, y + d * uy, tilt + offset);
  }
}

void ShootLine(int n, int colour, int sheet, int triggerAge, int behaviour, int behaviourParam,
               double x1, double y1, double x2, double y2, double speed, double accel,
               double speedLimit, double turnRate, double offset) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, 1, sheet, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  FireLine(spec, n, x1, y1, x2, y2, offset);
}

void ShootLayeredFan(int colour, int behaviour, int behaviourParam, int spawnCode, int sheet,
                     int triggerAge, int n, int spread, int layers, double x, double y,
                     double startSpeed, double accel, double speedLimit, double turnRate,
                     double centre, double layerDelay) {
  if (EmittersBlocked()) return;
  n = AtLeast(n, 1);
  layers = AtLeast(layers, 1);
  if (startSpeed == speedLimit) startSpeed = speedLimit - 1.0;
  BulletSpec spec{colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour,
                  startSpeed, accel,      speedLimit, turnRate};
  for (int k = 0; k < n; ++k) {
    double angle = FanAngle(centre, spread, k, n);
    for (int j = 0; j < layers; ++j) {
      spec.accel = accel / (1.0 + j * accel * layerDelay / (speedLimit - startSpeed));
      MakeBullet(spec, x, y, angle);
    }
  }
}

void ShootPolygon(int m, int sheet, int colour, int R, int n, double x, double y, double speed,
                  double rotation, double offset) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, 0, 1, sheet, 0, 0, speed, 0.0, speed, 0.0};
  m = AtLeast(m, 1);
  auto corner = [&](int k, double* cx, double* cy) {
    double t = (360 * k / m) + rotation;
    *cx = x - R * CosDeg(t);
    *cy = y + R * SinDeg(t);
  };
  for (int i = 0; i < m; ++i) {
    double x1, y1, x2, y2;
    corner(i, &x1, &y1);
    corner(i + 1, &x2, &y2);
    FireLine(spec, n, x1, y1, x2, y2, offset);
  }
}

void ShootOrbitRing(int sheet, int colour, int triggerAge, int behaviour, int behaviourParam,
                    int r, int ringSpeedLimit, int n, int ringSheet, int ringColour, double x,
                    double y, double speed, double accel, double speedLimit, double turnRate,
                    double base, double ringAccel, double ringTurnRate) {
  if (EmittersBlocked()) return;
  BulletSpec centreSpec{colour, behaviourParam, 3, sheet, triggerAge, behaviour,
                        speed,  accel,          speedLimit, turnRate};
  int centre = MakeBullet(centreSpec, x, y, base);
  if (centre >= kBulletSlots) return;
  uint32_t centreSerial = g_enemyBullets[centre].serial;
  BulletSpec ringSpec{ringColour, 0, 3, ringSheet, 0, 17, static_cast<double>(r), ringAccel,
                      static_cast<double>(ringSpeedLimit), ringTurnRate};
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) {
    double a = base + k * 360.0 / n;
    int slot = MakeBullet(ringSpec, x + r * CosDeg(a), y - r * SinDeg(a), a);
    if (slot >= kBulletSlots) continue;
    g_enemyBullets[slot].linkSlot = centre;
    g_enemyBullets[slot].linkSerial = centreSerial;
  }
}

void ShootBulletChain(int n, int colour, int headParam, double x, double y, double speed,
                      double accel, double speedLimit, double turnRate, double angle) {
  if (EmittersBlocked()) return;
  SpawnLaser(1, x, y, x, y, 0.0, 0, 0, 0, 30, colour);
  BulletSpec spec{colour, headParam, 11, 13, 0, kBehaviourHomeUntil, speed, accel, speedLimit, turnRate};
  int leader = MakeBullet(spec, x, y, angle);
  if (leader >= kBulletSlots) return;
  spec.spawnCode = 1;
  spec.behaviour = kBehaviourTrailLinked;
  spec.behaviourParam = 0;
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) {
    int slot = MakeBullet(spec, x, y, angle);
    if (slot >= kBulletSlots) break;
    g_enemyBullets[slot].linkSlot = leader;
    g_enemyBullets[slot].linkSerial = g_enemyBullets[leader].serial;
    leader = slot;
  }
}

void ShootRingWithAge(int colour, int startAge, int spawnCode, int behaviour, int behaviourParam,
                      int n, double x, double y, double speed, double accel, double speedLimit,
                      double turnRate, double base) {
  if (EmittersBlocked()) return;
  BulletSpec spec{colour, behaviourParam, spawnCode, 16, 0, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  n = AtLeast(n, 1);
  for (int k = 0; k < n; ++k) {
    int slot = MakeBullet(spec, x, y, base + k * 360.0 / n);
    if (slot < kBulletSlots) g_enemyBullets[slot].age = startAge;
  }
}

int SpawnBulletIndexed(int colour, int triggerAge, int behaviour, int behaviourParam, double x,
                       double y, double speed, double accel, double speedLimit, double turnRate,
                       double angle) {
  BulletSpec spec{colour, behaviourParam, 14, 6, triggerAge, behaviour,
                  speed,  accel,          speedLimit, turnRate};
  return MakeBullet(spec, x, y, angle);
}
