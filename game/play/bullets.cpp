// The enemy-bullet update: motion, behaviours, leaving, hits and graze; and the erase.
#include <algorithm>
#include <bit>
#include <cmath>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"

namespace {

constexpr double kSheetRadius[17] = {2.0, 3.0, 4.0, 2.5, 4.0, 3.0, 0.0, 3.5, 3.0,
                                     8.0, 2.5, 5.0, 5.0, 3.0, 3.5, 7.0, 10.0};

bool IsOnceBehaviour(int behaviour) {
  switch (behaviour) {
    case kBehaviourAngleCode: case kBehaviourAimOffset: case kBehaviourStopTurning:
    case kBehaviourEaseToLimit: case kBehaviourEaseToLimitSlow: case kBehaviourBackAway:
    case kBehaviourAimAndSpeedUp: case kBehaviourCurl: case kBehaviourJumpToLimit:
    case kBehaviourTurnAndRestart: case kBehaviourEaseByRate: case kBehaviourTurnAndSpeedUp:
    case kBehaviourAimAtSpeed: case kBehaviourBackAwayThenReturn:
    case kBehaviourStraightenAndSpeedUp: case kBehaviourVeer: case kBehaviourVanish:
      return true;
    default:
      return false;
  }
}

bool FollowsCentre(int behaviour) {
  switch (behaviour) {
    case kBehaviourCircleLinked:
    case kBehaviourCircleCentre:
    case kBehaviourRideBoss:
    case kBehaviourBossEllipse:
    case kBehaviourCircleBoss:
    case kBehaviourBossPhased:
      return true;
    default:
      return false;
  }
}

void SetTowardLimit(EnemyBullet& b, double v) { b.accel = TowardLimit(b.speed, b.speedLimit, v); }

double Aim(const EnemyBullet& b) { return AngleToPlayer(b.x, b.y); }

void PlaceAround(EnemyBullet& b, double cx, double cy) {
  b.x = cx + CosDeg(b.angle) * b.speed;
  b.y = cy - SinDeg(b.angle) * b.speed;
}

void MakeCopy(const EnemyBullet& b, double angle) {
  if (EmittersBlocked()) return;
  BulletSpec spec{b.colour, b.behaviourParam, 0, b.sheet, b.triggerAge, 0,
                  b.speed,  b.accel,          b.speedLimit, b.turnRate};
  int slot = MakeBullet(spec, b.x, b.y, angle);
  if (slot >= kBulletSlots) return;
  EnemyBullet& copy = g_enemyBullets[slot];
  copy.state = b.state;
  copy.age = b.age;
}

// Edge digits: units left, tens top, hundreds right, thousands bottom. The bullet's
// move this step tells whether it goes outward. Calls `at(edge)` for every enabled
// edge crossed outward and clears the digit unless the ten-thousands digit is 9.
template <class AtEdge>
void RunEdges(EnemyBullet& b, bool useDigits, AtEdge at) {
  static const int kPow[4] = {1, 10, 100, 1000};
  for (int edge = 0; edge < 4; ++edge) {
    if (useDigits && (b.behaviourParam <= 0 || (b.behaviourParam / kPow[edge]) % 10 != 1))
      continue;
    double dx = b.x - b.px, dy = b.y - b.py;
    bool crossing = (edge == 0 && b.x < kFieldLeft && dx < 0) ||
                    (edge == 1 && b.y < kFieldTop && dy < 0) ||
                    (edge == 2 && b.x > kFieldRight && dx > 0) ||
                    (edge == 3 && b.y > kFieldBottom && dy > 0);
    if (!crossing) continue;
    at(edge);
    if (useDigits && (b.behaviourParam / 10000) % 10 != 9) b.behaviourParam -= kPow[edge];
  }
}

void PutOnEdge(EnemyBullet& b, int edge) {
  if (edge == 0) b.x = kFieldLeft;
  if (edge == 1) b.y = kFieldTop;
  if (edge == 2) b.x = kFieldRight;
  if (edge == 3) b.y = kFieldBottom;
}

void Bounce(EnemyBullet& b, int edge) {
  PutOnEdge(b, edge);
  b.angle = (edge == 0 || edge == 2) ? 180.0 - b.angle : -b.angle;
}

bool LinkAlive(const EnemyBullet& b) {
  const EnemyBullet& leader = g_enemyBullets[b.linkSlot];
  return leader.state != 0 && leader.serial == b.linkSerial;
}

// Returns false when the bullet was freed.
bool RunBehaviour(int slot) {
  EnemyBullet& b = g_enemyBullets[slot];
  const int p = b.behaviourParam;
  const int age = b.age, trigger = b.triggerAge;
  if (IsOnceBehaviour(b.behaviour)) {
    if (!(age == trigger || trigger == 0)) return true;
  } else if (age < trigger) {
    return true;
  }
  Boss& boss0 = g_bosses[0];
  switch (b.behaviour) {
    case kBehaviourAngleCode:
      b.angle = DecodeAngleCode(p, b.angle, b.x, b.y);
      break;
    case kBehaviourAimOffset:
      b.angle = Aim(b) + p;
      break;
    case kBehaviourStopTurning:
      b.turnRate = 0.0;
      break;
    case kBehaviourEaseToLimit:
    case kBehaviourEaseToLimitSlow:
      if (p <= 0) {
        b.speed = b.speedLimit;
      } else {
        double steps = b.behaviour == kBehaviourEaseToLimit ? p : 10.0 * p;
        SetTowardLimit(b, std::fabs(b.speedLimit) / steps);
      }
      break;
    case kBehaviourHaltThenVanish:
      if (age == trigger) b.speed = b.accel = b.speedLimit = 0.0;
      if (static_cast<long long>(age) >= static_cast<long long>(trigger) + p) {
        VanishBullet(b, false);
        return false;
      }
      break;
    case kBehaviourBackAway:
      b.angle = Aim(b);
      b.speed = -0.5 * p;
      break;
    case kBehaviourBounce:
      RunEdges(b, true, [&](int edge) { Bounce(b, edge); });
      break;
    case kBehaviourWrap:
      RunEdges(b, true, [&](int edge) {
        if (edge == 0) b.x += 385.0;
        if (edge == 1) b.y += 449.0;
        if (edge == 2) b.x -= 385.0;
        if (edge == 3) b.y -= 449.0;
      });
      break;
    case kBehaviourSway:
      b.angle += (p / 10.0) * CosDeg(6.0 * (age - trigger));
      break;
    case kBehaviourCircleLinked:
      if (!LinkAlive(b)) {
        VanishBullet(b, false);
        return false;
      }
      PlaceAround(b, g_enemyBullets[b.linkSlot].x, g_enemyBullets[b.linkSlot].y);
      break;
    case kBehaviourCircleCentre: {
      double cx, cy;
      bool found = true;
      if (p == 0) {
        cx = 224.0, cy = 240.0;
      } else if (p >= 1 && p < kEnemySlots) {
        found = g_enemies[p].active != 0;
        cx = g_enemies[p].x, cy = g_enemies[p].y;
      } else if (p >= 100 && p < 100 + kBossSlots) {
        found = g_bosses[p - 100].state != 0;
        cx = g_bosses[p - 100].x, cy = g_bosses[p - 100].y;
      } else if (p == 9999) {
        cx = g_player.x, cy = g_player.y;
      } else {
        found = false;
        cx = cy = 0.0;
      }
      if (!found) {
        VanishBullet(b, false);
        return false;
      }
      PlaceAround(b, cx, cy);
      break;
    }
    case kBehaviourTurnGrowth:
      b.turnRate *= 1.0 + p / 100.0;
      break;
    case kBehaviourHomeUntil:
      if (age < p) {
        if (b.turnRate == 0.0) {
          b.angle = Aim(b);
        } else {
          double turn = NormaliseTurn(Aim(b) - b.angle);
          b.turnRate = turn > 0 ? std::fabs(b.turnRate) : -std::fabs(b.turnRate);
        }
      } else {
        b.turnRate = 0.0;
        b.behaviour = kBehaviourNone;
      }
      break;
    case kBehaviourTrailLinked:
      if (LinkAlive(b)) {
        const EnemyBullet& leader = g_enemyBullets[b.linkSlot];
        double dx = leader.px - b.px, dy = leader.py - b.py;
        b.x = leader.px;
        b.y = leader.py;
        if (dx != 0.0 || dy != 0.0) b.angle = RadToDeg(std::atan2(-dy, dx));
        // Kept as the move's length, with no turn or acceleration, so a follower
        // that loses its leader flies on straight at its last speed.
        b.speed = std::sqrt(dx * dx + dy * dy);
        b.accel = b.turnRate = 0.0;
      } else {
        b.behaviour = kBehaviourNone;
      }
      break;
    case kBehaviourHarmlessUntil:
      if (age >= p / 10) {
        VanishBullet(b, false);
        return false;
      }
      break;
    case kBehaviourRideBoss:
      if (age >= p || boss0.state == 0) {
        VanishBullet(b, false);
        return false;
      }
      b.x = boss0.x;
      b.y = boss0.y;
      break;
    case kBehaviourAimAndSpeedUp:
      b.angle = Aim(b);
      if (p > 0) SetTowardLimit(b, 0.05 * p);
      break;
    case kBehaviourEdgeReaim:
      RunEdges(b, true, [&](int edge) {
        PutOnEdge(b, edge);
        b.angle = Aim(b);
        b.speed = std::fabs(b.speed);
      });
      break;
    case kBehaviourBossEllipse:
      b.x = boss0.x + b.speed * CosDeg(b.angle);
      b.y = boss0.y - b.speed * SinDeg(b.angle) * SinDeg(p);
      break;
    case kBehaviourCircleBoss:
      PlaceAround(b, boss0.x, boss0.y);
      break;
    case kBehaviourBossPhased:
      b.x = boss0.x + b.speed * CosDeg(b.angle);
      b.y = boss0.y - b.speed * SinDeg(b.angle + p);
      break;
    case kBehaviourCurl:
      b.turnRate = p / 100.0;
      if (b.accel == 0.0) SetTowardLimit(b, 0.05);
      break;
    case kBehaviourJumpToLimit:
      b.speed = b.speedLimit;
      b.accel = 0.0;
      break;
    case kBehaviourJumpThenStraighten:
      if (age == trigger) b.speed = b.speedLimit;
      if (p > trigger && age == p) b.turnRate = 0.0;
      break;
    case kBehaviourTurnAndRestart:
      b.angle += p;
      b.speed = 0.0;
      SetTowardLimit(b, std::fabs(b.accel) / 1000.0);
      break;
    case kBehaviourEaseByRate:
      SetTowardLimit(b, p / 100.0);
      break;
    case kBehaviourBounceOnce:
      if (b.state != 2) break;
      RunEdges(b, false, [&](int edge) {
        if (edge == 3 || b.state != 2) return;
        Bounce(b, edge);
        b.speed = b.speedLimit * p / 100.0;
        b.accel = 0.0;
        b.state = 1;
      });
      break;
    case kBehaviourShedBehind:
      if (b.behaviourParam >= 100 && age % 2 == 0 &&
          InsideField(b.x, b.y, 0.0)) {
        int q = b.behaviourParam;
        double turn = (q % 100) * ((q / 100) % 2 == 0 ? 1.0 : -1.0);
        BulletSpec shed{b.colour, 0, 1, 1, 0, 0, 0.0, 0.02, 1.5, 0.0};
        if (!EmittersBlocked())
          MakeBullet(shed, std::trunc(b.x), std::trunc(b.y), b.angle + 180.0 + turn);
        b.behaviourParam -= 100;
      }
      break;
    case kBehaviourFireLasers: {
      int q = p % 100;
      if ((q >= 5 && age == 30) || (q >= 7 && age == 60))
        ShootLaserAtAngle({.colour = b.colour, .spawnCode = 2, .x = b.x, .y = b.y, .angle = b.angle,
                           .lifetime = 400, .fullLength = 100, .fullWidth = 3, .growth = 3.0,
                           .startLength = 10.0});
      break;
    }
    case kBehaviourSplit:
      if (age - trigger == p / 10) {
        double turn = 5.0 * (p % 10);
        double original = b.angle;
        b.angle = original + turn;
        b.behaviour = kBehaviourNone;
        MakeCopy(b, original - turn);
      }
      break;
    case kBehaviourTurnAndSpeedUp:
      b.angle += p;
      SetTowardLimit(b, 0.1);
      break;
    case kBehaviourAimAtSpeed:
      b.angle = Aim(b);
      b.speedLimit = p / 2.0;
      SetTowardLimit(b, 0.05);
      break;
    case kBehaviourEdgeSlide:
      RunEdges(b, true, [&](int edge) {
        static const double kPos[4] = {33.0, 17.0, 416.0, 464.0};
        static const double kAngle[4] = {90.0, 0.0, 270.0, 180.0};
        if (edge == 0 || edge == 2) b.x = kPos[edge];
        else b.y = kPos[edge];
        b.angle = kAngle[edge];
      });
      break;
    case kBehaviourAimOnceAtAge:
      if (age == std::max(1, p / 100)) {
        b.angle = Aim(b) + p % 100;
        b.turnRate = 0.0;
      }
      break;
    case kBehaviourBackAwayThenReturn:
      b.speed = -0.5 * p;
      SetTowardLimit(b, 0.05);
      break;
    case kBehaviourStraightenAndSpeedUp:
      b.turnRate = 0.0;
      b.speedLimit = 1.5 + 0.5 * p;
      SetTowardLimit(b, 0.05);
      break;
    case kBehaviourVeer:
      b.angle += p - 95;
      b.speedLimit = 2.5;
      SetTowardLimit(b, 0.05);
      break;
    case kBehaviourVanish:
      b.state = 0;
      return false;
    case kBehaviourReverse:
      if (trigger > 0 && age % trigger == 0 && age / trigger >= 1 && age / trigger <= p) {
        b.angle += 180.0;
        b.speed = 0.0;
      }
      break;
    default:
      break;  // kBehaviourNone, kBehaviourTurnWhileSlow (gated in the motion step), unknown ones
  }
  return true;
}

void CheckPlayer(EnemyBullet& b) {
  if (BulletIsHarmless(b)) return;
  double radius = BulletHitRadius(b.sheet);
  if (PlayerCanBeHit() && HitCircle(b.x, b.y, g_player.x, g_player.y, radius + PlayerHitRadius())) {
    StartMiss();
    return;
  }
  if (b.grazed == 0 && g_player.state == 0 &&
      HitCircle(b.x, b.y, g_player.x, g_player.y, radius + PlayerGrazeRadius())) {
    b.grazed = 1;
    g_player.graze += 1;
    AddScore(500);
    PlayEffect(kSeGraze);
  }
}

}  // namespace

double BulletHitRadius(int sheet) {
  if (sheet < 0 || sheet > 16) sheet = 0;
  return kSheetRadius[sheet];
}

bool BulletIsHarmless(const EnemyBullet& b) {
  return b.sheet == 6 || b.behaviour == kBehaviourHarmlessUntil || b.behaviour == kBehaviourRideBoss ||
         b.behaviour == kBehaviourVanish;
}

void VanishBullet(EnemyBullet& b, bool leaveItem) {
  AddVanishFlash(b.x, b.y, b.colour, b.sheet);
  if (leaveItem && !BulletIsHarmless(b)) AddItem(4, b.x, b.y, 0, 1, 2.0);
  b.state = 0;
}

void UpdateEnemyBullets() {
  // Slots past the live end are free now; one made during this update waits for the
  // next step, so the walk stops there.
  const int liveEnd = g_enemyBullets.liveEnd();
  EnemyBullet* const slots = g_enemyBullets.liveSlots();
  for (int slot = 0; slot < liveEnd; ++slot) {
    EnemyBullet& b = slots[slot];
    if (b.state == 0) continue;
    b.px = b.x;
    b.py = b.y;
  }
  bool slowMotion = SlowDigitOfGameSpeed(g_gameSpeed) != 0;
  for (int slot = 0; slot < liveEnd; ++slot) {
    EnemyBullet& b = slots[slot];
    if (b.state == 0 || b.bornStep == g_stepSerial) continue;
    if (!(slowMotion && g_stageFrame % 2 != 0)) {
      b.age += 1;
      if (b.behaviour != kBehaviourTurnWhileSlow || slowMotion) b.angle += b.turnRate;
      if (b.accel > 0 && b.speed < b.speedLimit)
        b.speed = std::min(b.speed + b.accel, b.speedLimit);
      else if (b.accel < 0 && b.speed > b.speedLimit)
        b.speed = std::max(b.speed + b.accel, b.speedLimit);
      // Angles compared bit for bit: any change (by a behaviour, a script or a direct
      // write) works the move out again, so it is the same as working it out each step.
      if (!b.moveKnown || std::bit_cast<uint64_t>(b.angle) != std::bit_cast<uint64_t>(b.moveAngle)) {
        b.moveAngle = b.angle;
        b.moveCos = CosDeg(b.angle);
        b.moveSin = SinDeg(b.angle);
        b.moveKnown = true;
      }
      b.x += b.moveCos * b.speed;
      b.y -= b.moveSin * b.speed;
      if (!RunBehaviour(slot)) continue;
      if (b.state == 0) continue;  // freed by a script-like rewrite
      if (!FollowsCentre(b.behaviour) && !InsideField(b.x, b.y, 32.0)) {
        b.state = 0;
        continue;
      }
    }
    CheckPlayer(b);
  }
  g_enemyBullets.TrimLiveEnd([](const EnemyBullet& b) { return b.state == 0; });
  PLAY_DRAW(bullets);
}

void EraseAllBullets() {
  for (EnemyBullet& b : g_enemyBullets)
    if (b.state != 0) VanishBullet(b, true);
  for (Laser& laser : g_lasers) {
    if (laser.state == 0) continue;
    int fade = 3 * laser.fullWidth;
    if (laser.age < laser.triggerAge + fade)
      laser.state = 0;
    else if (laser.age < laser.lifetime - fade)
      laser.age = laser.lifetime - fade;  // never lengthens a laser already narrowing
  }
  g_emitterBlock = 1;
}
