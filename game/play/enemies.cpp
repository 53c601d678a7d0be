// Enemies: spawning with the angle code, easing, the motion kinds, leaving and death.
#include <algorithm>
#include <cmath>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"

double DecodeAngleCode(double code, double zeroBase, double x, double y) {
  if (code <= 0.0) return zeroBase + code;
  double base, r;
  if (code >= 720.0) {
    base = AngleToPlayer(x, y);
    r = code - 720.0;
  } else {
    base = zeroBase;
    r = code;
  }
  if (r > 360.0) {
    int modulus = ClampToInt(r, 360, 1 << 30) - 360;
    // Drawn even when the modulus is 0 (360 < r < 361), so the call order stays.
    int draw = NextRandom();
    int spread = modulus != 0 ? draw % modulus : 0;
    base += spread - (r - 360.0) / 2.0;
    r -= 720.0;
  }
  if (r > 0.0) base += r;
  return base;
}

namespace {

bool InsideF(double x, double y) {
  return x >= kFieldLeft && x <= kFieldRight && y >= kFieldTop && y <= kFieldBottom;
}

void DecodeSegment(Enemy& enemy, EnemySegment& segment) {
  segment.angle = DecodeAngleCode(segment.angle, 0.0, enemy.x, enemy.y);
}

double EasedSpeed(const Enemy& enemy, const EnemySegment& segment, bool first) {
  double t1 = enemy.seg1.age, t2 = enemy.seg2.age, age = enemy.age;
  double v = segment.speed;
  if (t1 == t2) return v;
  if (first && t1 - age <= 30.0) return v * (0.1 + 0.9 * (t1 - age) / 30.0);
  if (!first && age - t2 < 30.0) return v * (0.1 + 0.9 * (age - t2) / 30.0);
  return v;
}

void MoveAlong(Enemy& enemy, double heading, double v) {
  enemy.x += CosDeg(heading) * v;
  enemy.y -= SinDeg(heading) * v;
}

void RunMotion(Enemy& enemy, EnemySegment& segment, bool first) {
  double v = EasedSpeed(enemy, segment, first);
  double n = enemy.age - (first ? 0.0 : segment.age);
  double sign = 2.0 * enemy.turnFlag - 1.0;
  double& a = segment.angle;
  switch (ClampToInt(segment.kind, -1, 11)) {
    case kMotionStraight:
      MoveAlong(enemy, a, v);
      break;
    case kMotionDrift:
      MoveAlong(enemy, a, v);
      enemy.x += sign * std::min(0.02 * n, 4.0);
      break;
    case kMotionQuarterTurn:
      if (n >= 1 && n <= 90) a += sign;
      MoveAlong(enemy, a, v);
      break;
    case kMotionHalfTurn:
      if (n >= 1 && n <= 90) a += sign * 2.0;
      MoveAlong(enemy, a, v);
      break;
    case kMotionOrbitCounterClockwise:
    case kMotionOrbitClockwise:
      a += segment.kind == static_cast<double>(kMotionOrbitCounterClockwise) ? 1.5 : -1.5;
      enemy.x = g_bosses[0].x + CosDeg(a) * v;
      enemy.y = g_bosses[0].y - SinDeg(a) * v;
      break;
    case kMotionWeave:
      MoveAlong(enemy, a + sign * 30.0 * SinDeg(6.0 * n), v);
      break;
    case kMotionWideWeave:
      MoveAlong(enemy, a + sign * 60.0 * SinDeg(3.0 * n), v);
      break;
    case kMotionHoming: {
      double turn = NormaliseTurn(AngleToPlayer(enemy.x, enemy.y) - a);
      a += std::clamp(turn, -1.0, 1.0);
      MoveAlong(enemy, a, v);
      break;
    }
    case kMotionBounce: {
      MoveAlong(enemy, a, v);
      double dx = CosDeg(a) * v, dy = -SinDeg(a) * v;
      if ((enemy.x < kFieldLeft && dx < 0) || (enemy.x > kFieldRight && dx > 0)) a = 180.0 - a;
      if ((enemy.y < kFieldTop && dy < 0) || (enemy.y > kFieldBottom && dy > 0)) a = -a;
      break;
    }
    case kMotionNone:
    default:
      break;  // unknown kinds stand still too
  }
}

void KillEnemy(int slot) {
  Enemy& enemy = g_enemies[slot];
  PlayEffect(kSeEnemyDies);
  SpawnItems(1, slot);
  AddEnemyBurst(enemy.x, enemy.y, enemy.sprite);
  bool big = enemy.sprite == 3 || enemy.sprite == 6 || enemy.sprite == 7;
  AddScore(big ? 1000 : 100);
  enemy.active = 0;
}

}  // namespace

double EnemyHitRadius(const Enemy& enemy) {
  return (enemy.sprite == 3 || enemy.sprite == 6 || enemy.sprite == 7) ? 20.0 : 12.0;
}

void SpawnEnemy(int slot, int hp, int turnFlag, int m1, int t1, int m2, int t2, int sprite,
                int powerDrop, int specialDrop, int pointDrop, double x, double y, double s1,
                double a1, double s2, double a2) {
  if (slot < 0 || slot >= kEnemySlots) return;
  Enemy& enemy = g_enemies[slot];
  enemy = Enemy{};
  enemy.x = x;
  enemy.y = y;
  enemy.seg1 = {static_cast<double>(m1), static_cast<double>(t1), s1, a1};
  enemy.seg2 = {static_cast<double>(m2), static_cast<double>(t2), s2, a2};
  enemy.active = 1;
  enemy.age = InsideF(x, y) ? -10 : 0;
  enemy.hp = hp;
  enemy.turnFlag = turnFlag;
  enemy.sprite = sprite;
  enemy.dropPower = powerDrop;
  enemy.dropSpecial = specialDrop;
  enemy.dropPoint = pointDrop;
  DecodeSegment(enemy, enemy.seg1);
  if (enemy.age >= t2) DecodeSegment(enemy, enemy.seg2);
}

void UpdateEnemies() {
  for (int slot = 0; slot < kEnemySlots; ++slot) {
    Enemy& enemy = g_enemies[slot];
    if (!enemy.active) continue;
    if (enemy.hp <= 0) {
      KillEnemy(slot);
      continue;
    }
    enemy.age += 1;
    if (enemy.age == enemy.seg2.age) DecodeSegment(enemy, enemy.seg2);
    if (enemy.age < enemy.seg1.age)
      RunMotion(enemy, enemy.seg1, true);
    else if (enemy.age >= enemy.seg2.age)
      RunMotion(enemy, enemy.seg2, false);
    if (!InsideField(enemy.x, enemy.y, 64.0)) enemy.active = 0;
  }
  PLAY_DRAW(enemies);
}
