// The three sisters' shared card of stage 4 (slot 14): satellites circling the field's
// centre and a cross of lasers that hunts the player until it opens, then sheds lines.
#include <initializer_list>

#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kTrioPortrait = 6;


// Scratch: 0 line count, 1 cycle value v, 3 satellite count c; slots 0..c-1 the
// satellites in the order made, slots 10 and 11 the two lasers of the cross. The cross is
// the two slots its spawns returned (laser slots 0 and 1 when no other laser is out), and
// each satellite its own slot, so a full pool or a reused slot moves or fires nothing.

constexpr int kCrossSlots = 10;

Laser* CrossLaser(int k) { return LiveLaserInSlot(Slot(kCrossSlots + k)); }

void MakeTrioSatellites() {
  const int d = g_difficulty;
  const int c = 5 + d + 2 * (d / 2);
  for (int i = 0; i < c; ++i) {
    Slot(i) = SpawnBulletIndexed(2, 0, kBehaviourCircleCentre, 0, 0.0, 0.0, 0.0, 10.0, 220.0, 3.0,
                                 180.0 + 360.0 * i / c);
  }
  S(0) = d + 9;
  S(1) = 300;
  S(3) = c;
}

// The cross is laid through the player's position as the scripts see it: the player has
// already moved this step, before the scripts run.
void MakeCross() {
  const int v = static_cast<int>(S(1));
  const double px = g_player.x, py = g_player.y;
  Slot(kCrossSlots) = SpawnLaser(13, 10.0, py, 430.0, py, 0.0, 500, 7, v - 100, v - 1, 2);
  Slot(kCrossSlots + 1) = SpawnLaser(13, px, 0.0, px, 500.0, 0.0, 700, 7, v - 100, v - 1, 2);
}

void CrossFollowsPlayer() {
  Laser* across = CrossLaser(0);
  Laser* down = CrossLaser(1);
  if (across == nullptr || across->age >= across->triggerAge - 60) return;
  across->y1 = across->y2 = g_player.y;
  if (down != nullptr) down->x1 = down->x2 = g_player.x;
}

void CrossLines() {
  PlayEffect(kSeAttackBell);
  const int d = g_difficulty;
  const double limit = d / 2 + 1;
  const int n = static_cast<int>(S(0));
  const Laser* across = CrossLaser(0);
  const Laser* down = CrossLaser(1);
  static constexpr double kTurns[4][2] = {{0, 45}, {0, 135}, {180, 45}, {180, 135}};
  if (across != nullptr) {
    const double y = static_cast<int>(across->y1);
    for (const auto& turn : kTurns) {
      ShootCentredLine({.colour = 2, .sheet = 12, .spawnCode = 1, .behaviour = kBehaviourWrap,
                        .behaviourParam = 101, .n = n, .length = 380, .x = 224.0, .y = y,
                        .accel = 0.01, .speedLimit = limit, .tilt = turn[0], .offset = turn[1]});
    }
  }
  if (down != nullptr) {
    const double x = static_cast<int>(down->x1);
    for (const auto& turn : kTurns) {
      ShootCentredLine({.colour = 2, .sheet = 12, .spawnCode = 1, .behaviour = kBehaviourWrap,
                        .behaviourParam = 1010, .n = static_cast<int>(1.2 * n), .length = 450,
                        .x = x, .y = 240.0, .accel = 0.01, .speedLimit = limit,
                        .tilt = turn[0] + 90, .offset = turn[1]});
    }
  }
}

}  // namespace

void RunStage4TrioCard(AttackStep& step) {
  DeclareCard(step, {kTrioPortrait, 100, 1200, 7000000, 0, 0});
  Boss& boss = g_bosses[0];
  const int d = g_difficulty;
  const int t = boss.phaseTimer;
  if (t == 2) {
    SetBossMoveTarget(0, 224.0, 100.0, 50);
    boss.state = 4;
  }
  if (t == 70) MakeTrioSatellites();
  if (t < 100) return;
  const int v = static_cast<int>(S(1));
  const int c = static_cast<int>(S(3));
  if (d >= 2 && t == 300 && v == 300) {
    for (int k = 0; k < c; ++k) {
      if (EnemyBullet* b = LiveSatellite(Slot(k), kBehaviourCircleCentre)) {
        b->speed = 220.0;
        b->accel = -d / 20.0;
        b->speedLimit = 50.0 * (4 - d);
      }
    }
  }
  if (t == 100) MakeCross();
  CrossFollowsPlayer();
  if (t == v + 100) {
    S(1) = v - 30;
    boss.phaseTimer = 99;
    return;
  }
  if (t % 5 == 0) {
    // Satellite k counts back from the last one made, which takes colour 0.
    for (int k = 0; k < c; ++k) {
      const EnemyBullet* b = LiveSatellite(Slot(c - 1 - k), kBehaviourCircleCentre);
      if (b == nullptr) continue;
      const double x = static_cast<int>(b->x), y = static_cast<int>(b->y);
      ShootFan({.colour = k % (d + 2), .sheet = 1, .spawnCode = 1, .n = 3, .spread = 60, .x = x,
                .y = y, .speed = 1.0, .accel = 0.05, .speedLimit = 3.0, .centre = b->angle - 90});
    }
  }
  if (t == v + 20) CrossLines();
}
