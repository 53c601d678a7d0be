// Lasers: spawning, growth and travel, leaving, the hit width over a laser's life.
#include <algorithm>
#include <cmath>

#include "game/play/play_draw_table.h"
#include "game/play/play_internal.h"

uint32_t g_laserSoundStep = 0xFFFFFFFFu;

int SpawnLaser(int spawnCode, double x1, double y1, double x2, double y2, double growth,
               int fullLength, int fullWidth, int triggerAge, int lifetime, int colour) {
  for (int slot = 0; slot < kLaserSlots; ++slot) {
    Laser& laser = g_lasers[slot];
    if (laser.state != 0) continue;
    laser = Laser{};
    laser.state = spawnCode % 10;
    laser.age = spawnCode / 10;
    laser.fullLength = fullLength;
    laser.fullWidth = fullWidth;
    laser.colour = colour;
    laser.triggerAge = triggerAge;
    laser.lifetime = lifetime;
    laser.x1 = x1;
    laser.y1 = y1;
    laser.x2 = x2;
    laser.y2 = y2;
    laser.growth = growth;
    laser.bornStep = g_stepSerial;
    if (g_laserSoundStep != g_stepSerial) {
      g_laserSoundStep = g_stepSerial;
      PlayEffect(kSeLaser);
    }
    return slot;
  }
  return kLaserSlots;
}

int ShootLaserAtAngle(const Shot& shot) {
  const double x = shot.x, y = shot.y, length = shot.startLength, angle = shot.angle;
  return SpawnLaser(shot.spawnCode, x, y, x + length * CosDeg(angle), y - length * SinDeg(angle),
                    shot.growth, shot.fullLength, shot.fullWidth, shot.triggerAge, shot.lifetime,
                    shot.colour);
}

int LaserHitWidth(const Laser& laser) {
  return std::min({laser.fullWidth, (laser.age - laser.triggerAge) / 3,
                   (laser.lifetime - laser.age) / 3});
}

namespace {

void Grow(Laser& laser) {
  double dx = laser.x2 - laser.x1, dy = laser.y2 - laser.y1;
  double length = std::sqrt(dx * dx + dy * dy);
  if (!(laser.growth > 0.0) || !(length > 0.0)) return;
  double ux = dx / length, uy = dy / length;
  if (laser.state == 3) {
    if (length < laser.fullLength) {
      double step = std::min(laser.growth, laser.fullLength - length);
      laser.x2 += ux * step;
      laser.y2 += uy * step;
    }
    return;
  }
  laser.x2 += ux * laser.growth;
  laser.y2 += uy * laser.growth;
  double keep = std::max(static_cast<double>(laser.fullLength), length);
  if (length + laser.growth > keep) {
    laser.x1 = laser.x2 - ux * keep;
    laser.y1 = laser.y2 - uy * keep;
  }
}

}  // namespace

void UpdateLasers() {
  for (Laser& laser : g_lasers) {
    if (laser.state == 0 || laser.bornStep == g_stepSerial) continue;
    laser.age += 1;
    if (laser.age >= laser.lifetime) {
      laser.state = 0;
      continue;
    }
    Grow(laser);
    if (laser.state != 3 && !InsideField(laser.x1, laser.y1, 32.0)) {
      laser.state = 0;
      continue;
    }
    int h = LaserHitWidth(laser);
    if (h > 0 && PlayerCanBeHit() &&
        HitSegment(g_player.x, g_player.y, laser.x1, laser.y1, laser.x2, laser.y2,
                   h + PlayerHitRadius()))
      StartMiss();
  }
  PLAY_DRAW(lasers);
}
