#pragma once
// What the stage scripts and cards share beside the stage frame: the values a card keeps
// between its steps, the difficulty as the scripts read it, the aims and satellites they
// fire from, and enemies spawned by named record.
#include <initializer_list>

#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"

// The values a card keeps between its steps, numbered from 0. Every card reads the same
// slots through this one accessor, so a card moved between sources keeps its slots.
inline double& S(int k) { return g_attackScratch.values[k]; }
// The bullet and laser slots a card remembers between its steps, numbered from 0.
inline int& Slot(int k) { return g_attackScratch.slots[k]; }

// The difficulty: 0 Easy .. 3 Lunatic, 4 Extra.
inline int Diff() { return g_difficulty; }
// The difficulty in pairs: 0 on Easy and Normal, 1 on Hard and Lunatic, 2 on Extra.
inline int DifficultyTier() { return g_difficulty / 2; }

// The angle from boss `slot` to the player.
inline double AimFromBoss(int slot = 0) {
  return AngleToPlayer(g_bosses[slot].x, g_bosses[slot].y);
}

// The colour a turning enemy fires in: the other parity than its sprite's.
inline int TurnColour(const Enemy& e) { return 1 - e.sprite % 2; }

// The satellite in `slot` while that slot holds a live bullet of the satellite's
// behaviour (and centre, when `param` is not negative); null for slot 800 (the pool was
// full when it was made), a slot outside the pool, or a slot another bullet took.
inline EnemyBullet* LiveSatellite(int slot, BulletBehaviour behaviour, int param = -1) {
  if (slot < 0 || slot >= kBulletSlots) return nullptr;
  EnemyBullet& b = g_enemyBullets[slot];
  if (b.state == 0 || b.behaviour != behaviour || (param >= 0 && b.behaviourParam != param)) {
    return nullptr;
  }
  return &b;
}

// The laser in `slot` while it is live; null for a slot outside the pool (a spawn that
// found the pool full) or a laser since freed.
inline Laser* LiveLaserInSlot(int slot) {
  return slot >= 0 && slot < kLaserSlots && g_lasers[slot].state != 0 ? &g_lasers[slot] : nullptr;
}

// A position cut to whole pixels, as some patterns fire from: the int conversion of the
// value, as a double again.
inline double WholePixel(double v) { return static_cast<int>(v); }

// The items an enemy leaves when shot down (SpawnEnemy's power, special and point drops),
// as one value for the tables and helpers that hand them on.
struct Drops {
  int power = 0, special = 0, point = 0;
};

// One enemy of a wave, by name: the values SpawnEnemy takes, in its order. A field left
// out is 0.
struct EnemySpawn {
  int slot = 0;
  int hp = 0;
  int turnFlag = 0;
  EnemyMotion m1 = kMotionNone;  // the first segment's motion kind and the age it ends at
  int t1 = 0;
  EnemyMotion m2 = kMotionNone;  // the second segment's motion kind and the age it starts at
  int t2 = 0;
  int sprite = 0;
  int power = 0;  // the items it drops
  int special = 0;
  int point = 0;
  double x = 0.0;
  double y = 0.0;
  double s1 = 0.0;  // the first segment's speed and angle
  double a1 = 0.0;
  double s2 = 0.0;  // the second segment's
  double a2 = 0.0;
};
inline void SpawnEnemy(const EnemySpawn& e) {
  SpawnEnemy(e.slot, e.hp, e.turnFlag, e.m1, e.t1, e.m2, e.t2, e.sprite, e.power, e.special,
             e.point, e.x, e.y, e.s1, e.a1, e.s2, e.a2);
}
// The row with its three drops taken from `drops`.
inline void SpawnEnemy(EnemySpawn e, Drops drops) {
  e.power = drops.power;
  e.special = drops.special;
  e.point = drops.point;
  SpawnEnemy(e);
}
// The rows in order: the first takes its slot first.
inline void SpawnEnemies(std::initializer_list<EnemySpawn> rows) {
  for (const EnemySpawn& row : rows) SpawnEnemy(row);
}
