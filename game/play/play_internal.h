#pragma once
// Helpers shared by the play's own units; not part of what the scripts see.
#include <cmath>
#include <cstdint>

#include "game/play/play_sound.h"
#include "game/play/play_state.h"

inline double DegToRad(double degrees) { return degrees * kPi / 180.0; }
inline double RadToDeg(double radians) { return radians * 180.0 / kPi; }
inline double CosDeg(double degrees) { return std::cos(DegToRad(degrees)); }
inline double SinDeg(double degrees) { return std::sin(DegToRad(degrees)); }

// Normalises an angle difference into (-180, 180].
inline double NormaliseTurn(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d <= -180.0) d += 360.0;
  return d;
}

// Inside F widened by `margin` pixels on every side.
inline bool InsideField(double x, double y, double margin) {
  return x >= kFieldLeft - margin && x <= kFieldRight + margin && y >= kFieldTop - margin &&
         y <= kFieldBottom + margin;
}

// A step of v toward a limit: +v when the limit is above the speed, -v below, 0 when equal.
inline double TowardLimit(double speed, double limit, double v) {
  if (limit > speed) return v;
  if (limit < speed) return -v;
  return 0.0;
}

// The angle code of enemy segment angles and bullet behaviour 1: `code` above 0 is
// decoded against `zeroBase` (or the aim from (x, y) for codes of 720 and up).
double DecodeAngleCode(double code, double zeroBase, double x, double y);

// Bullets.
double BulletHitRadius(int sheet);
bool BulletIsHarmless(const EnemyBullet& bullet);
bool EmittersBlocked();
struct BulletSpec {
  int colour, behaviourParam, spawnCode, sheet, triggerAge, behaviour;
  double speed, accel, speedLimit, turnRate;
};
// Makes one bullet in the first free slot; the slot, or kBulletSlots when none is free.
int MakeBullet(const BulletSpec& spec, double x, double y, double angle);
void UpdateEnemyBullets();
// Vanishes a bullet with its flash; `leaveItem` leaves a kind-4 item unless harmless.
void VanishBullet(EnemyBullet& bullet, bool leaveItem);

// Lasers.
void UpdateLasers();
// The hit radius of a laser at its age: widening after the trigger, narrowing at the end.
int LaserHitWidth(const Laser& laser);

// Items.
void UpdateItems();
void AddItem(int kind, double x, double y, int index, int count, double attraction);

// Enemies.
void UpdateEnemies();
double EnemyHitRadius(const Enemy& enemy);

// Bosses.
void UpdateBosses();
bool BossTakesDamage(const Boss& boss);
void DamageBoss(Boss& boss, int damage);

// Player.
double PlayerHitRadius();
double PlayerGrazeRadius();
bool PlayerCanBeHit();
void StartMiss();
void UpdatePlayer();
void ApplyScoreRules();  // clamp and extends, after each step

extern uint32_t g_laserSoundStep;  // the step that already played the laser sound
extern int g_shotVolleys;          // volleys fired, for the shot sound every second one
extern int g_shotHitSoundStep;
