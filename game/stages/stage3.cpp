// Stage 3: pair waves through the bamboo grove, orb carriers, the ferrywoman back as the
// mid-boss, spinners and large fairies, a clear-out, and the grove's keeper with two
// non-spells and three cards.
#include "game/stages/stage3.h"

#include <cstdint>
#include <initializer_list>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_dispatch.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kResumeFrame = 4130;
constexpr int kStageTheme = 9;
constexpr int kBossTheme = 4;
constexpr int kStageCell = 2;  // cell k of the title, number and place sheets is stage k + 1
constexpr int kLargePairFrame = 4000;  // slots 20 and 21 carry orbs before it
constexpr int kStreamFirst = 2071, kStreamLast = 2999;

// Two orbs and the angle their fans are centred on.
struct OrbPair {
  Kept orbs[2];
  int angle;
};

// The values the stage keeps between steps.
struct Stage3State {
  int barSplit;
  OrbPair carrierOrbs[2];  // by enemy slot parity: slots 20 and 21; slot 28 uses pair 1
  Kept stream[2];          // the two bullets of frame 2070
  Kept bossOrbs[2];        // the orbs of the mid-boss and the second non-spell
  double direction;        // the mid-boss's laser colour sign; the second non-spell's volley count
  int laserCount, laserPeriod;
  int fanCount;            // the first non-spell's bullets per fan
  double fanAim;
};
Stage3State g_stage3;


// The kept bullet's record while the slot still holds it, in flight or already freed.
const EnemyBullet* Record(const Kept& kept) {
  if (kept.slot < 0) return nullptr;
  const EnemyBullet& bullet = g_enemyBullets[kept.slot];
  return bullet.serial == kept.serial ? &bullet : nullptr;
}

// Two satellites circling `centre` (an enemy slot, or 100 for boss 0), opening to `radius`.
void MakeOrbs(Kept (&orbs)[2], int centre, double accel, double radius, double turn) {
  orbs[0] = Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, centre, 0.0, 0.0, 0.0, accel,
                                    radius, turn, 0.0));
  orbs[1] = Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, centre, 0.0, 0.0, 0.0, accel,
                                    radius, turn, 180.0));
}

// Only the orbs still in flight are removed: a reused slot belongs to another bullet.
void RemoveOrbs(const Kept (&orbs)[2]) {
  for (const Kept& orb : orbs) {
    if (EnemyBullet* bullet = Live(orb)) bullet->state = 0;
  }
}

// ---------------------------------------------------------------------------
// Waves.

constexpr Drops kDropsA = {0, 2, 0};  // sprite 4
constexpr Drops kDropsB = {1, 0, 0};  // sprite 5

// Ten pairs, one every 10 frames: A in slot 2k, B in slot 2k + 1, both at speed 3.
struct PairWave {
  int first;
  int turnA, turnB;
  EnemyMotion m1, m2;  // of the segments ending at 90 and starting at 91
  double ax, ay, a1A, a2A;
  double bx, by, a1B, a2B;
};
constexpr PairWave kPairWaves[7] = {
    {120, 0, 0, kMotionQuarterTurn, kMotionHalfTurn, 324, 0, 270, 270, 374, 0, 270, 270},
    {620, 1, 1, kMotionQuarterTurn, kMotionHalfTurn, 124, 0, 270, 270, 74, 0, 270, 270},
    {920, 1, 1, kMotionQuarterTurn, kMotionHalfTurn, 0, 340, 0, 0, 0, 390, 0, 0},
    {1220, 1, 1, kMotionQuarterTurn, kMotionHalfTurn, 324, 480, 90, 90, 374, 480, 90, 90},
    {1520, 1, 1, kMotionQuarterTurn, kMotionHalfTurn, 420, 140, 180, 180, 420, 90, 180, 180},
    {4900, 1, 0, kMotionQuarterTurn, kMotionHalfTurn, 0, 340, 0, 90, 450, 340, 180, 90},
    {5600, 1, 0, kMotionHalfTurn, kMotionQuarterTurn, 0, 140, 0, 270, 450, 140, 180, 270},
};

void SpawnPair(const PairWave& w, int frame) {
  const int k = (frame - w.first) / 10;
  SpawnEnemy({.slot = 2 * k, .hp = 130, .turnFlag = w.turnA, .m1 = w.m1, .t1 = 90, .m2 = w.m2,
              .t2 = 91, .sprite = 4, .x = w.ax, .y = w.ay, .s1 = 3.0, .a1 = w.a1A, .s2 = 3.0,
              .a2 = w.a2A}, kDropsA);
  SpawnEnemy({.slot = 2 * k + 1, .hp = 130, .turnFlag = w.turnB, .m1 = w.m1, .t1 = 90, .m2 = w.m2,
              .t2 = 91, .sprite = 5, .x = w.bx, .y = w.by, .s1 = 3.0, .a1 = w.a1B, .s2 = 3.0,
              .a2 = w.a2B}, kDropsB);
}

// A pair crossing from both sides, then turning down.
void SpawnCrossPair(int slot, double ay, double by) {
  SpawnEnemy({.slot = slot, .hp = 120, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 900,
              .m2 = kMotionQuarterTurn, .t2 = 900, .sprite = 4, .y = ay, .s1 = 3.0, .s2 = 3.0,
              .a2 = 270.0}, kDropsA);
  SpawnEnemy({.slot = slot + 1, .hp = 120, .m1 = kMotionStraight, .t1 = 900,
              .m2 = kMotionQuarterTurn, .t2 = 900, .sprite = 5, .x = 450.0, .y = by, .s1 = 3.0,
              .a1 = 180.0, .s2 = 3.0, .a2 = 270.0}, kDropsB);
}

// A row of four fairies dropping in from the top, in slots 4j to 4j + 3.
void SpawnFanGroup(int j, const double (&xs)[4]) {
  struct Member {
    int turnFlag, sprite;
    Drops drops;
    double angle;
  };
  static constexpr Member kRow[4] = {
      {1, 4, kDropsA, 280.0},
      {1, 5, kDropsB, 260.0},
      {0, 4, kDropsA, 280.0},
      {1, 5, kDropsB, 260.0},
  };
  for (int i = 0; i < 4; ++i) {
    const Member& m = kRow[i];
    SpawnEnemy({.slot = 4 * j + i, .hp = 120, .turnFlag = m.turnFlag, .m1 = kMotionStraight,
                .t1 = 900, .m2 = kMotionHalfTurn, .t2 = 900, .sprite = m.sprite, .x = xs[i],
                .s1 = 3.0, .a1 = m.angle, .s2 = 3.0, .a2 = 180.0}, m.drops);
  }
}
constexpr double kFirstFanGroupX[4] = {324, 324, 124, 124};
constexpr double kSecondFanGroupX[4] = {304, 304, 144, 144};

void SpawnSpinnerPair(int k) {
  SpawnEnemy({.slot = 22 + 2 * k, .hp = 100, .m1 = kMotionStraight, .t1 = 120,
              .m2 = kMotionStraight, .t2 = 121, .sprite = 3, .power = 8, .special = 3, .point = 2,
              .x = 324.0 - 20 * k, .s1 = 2.0, .a1 = 260.0, .s2 = 2.0, .a2 = 140.0});
  SpawnEnemy({.slot = 23 + 2 * k, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 120,
              .m2 = kMotionStraight, .t2 = 121, .sprite = 3, .power = 8, .special = 3, .point = 2,
              .x = 124.0 + 20 * k, .s1 = 2.0, .a1 = 280.0, .s2 = 2.0, .a2 = 40.0});
}

void SpawnCarrier(int slot, int turnFlag, EnemyMotion m2, double x, double angle) {
  SpawnEnemy({.slot = slot, .hp = 200, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 60,
              .m2 = m2, .t2 = 300, .sprite = 3, .power = 8, .special = 3, .point = 1, .x = x,
              .s1 = 3.0, .a1 = angle, .s2 = 2.0, .a2 = 90.0});
}

void MakeStreamBullets() {
  const double turns[2] = {0.5, -0.5}, angles[2] = {125.0, 135.0};
  for (int k = 0; k < 2; ++k) {
    g_stage3.stream[k] = Keep(
        SpawnBulletIndexed(4, 80, kBehaviourStopTurning, 0, 370.0, 470.0, 5.0, -0.1, 3.0, turns[k],
                           angles[k]));
  }
}

}  // namespace

void RunStage3Waves() {
  const int frame = g_stageFrame;
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      break;
    // All three notices name stage 3: the stage-3 cell (index 3 would show stage 4's
    // number and place).
    case 430: case 460: case 490:
      ShowStageTitleNotice(kStageCell, (frame - 430) / 30);
      break;
    case 860:
      ShowEnemyMark(60, 365);
      SpawnCarrier(20, 1, kMotionHalfTurn, 324.0, 260.0);
      break;
    case 1160:
      ShowEnemyMark(350, 440);
      SpawnCarrier(21, 0, kMotionHalfTurn, 124.0, 280.0);
      break;
    case 1460:
      SpawnCarrier(20, 1, kMotionQuarterTurn, 324.0, 260.0);
      break;
    case 2000:
      InitBoss(0, 0, 3, 420.0, 530.0);  // below the field
      break;
    case 2010:
      ShowEnemyMark(350, 440);
      break;
    case 2070:
      MakeStreamBullets();
      break;
    case 2170:
      SetBossMoveTarget(0, 224.0, 150.0, 50);
      break;
    case 2230:
      StartBossFight(1);
      break;
    case 3700: case 3900: case 4100:
      SpawnSpinnerPair((frame - 3700) / 200);
      break;
    case 4800:
      SpawnEnemy({.slot = 20, .hp = 400, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 100,
                  .m2 = kMotionQuarterTurn, .t2 = 400, .sprite = 3, .power = 8, .special = 3,
                  .point = 1, .x = 104.0, .s1 = 3.0, .a1 = 290.0, .s2 = 2.0, .a2 = 90.0});
      SpawnEnemy({.slot = 21, .hp = 400, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionQuarterTurn,
                  .t2 = 400, .sprite = 3, .power = 8, .special = 3, .point = 1, .x = 344.0,
                  .s1 = 3.0, .a1 = 250.0, .s2 = 2.0, .a2 = 90.0});
      break;
    case 4840:
      ShowEnemyMark(60, 340);
      ShowEnemyMark(380, 340);
      break;
    case 5500:
      SpawnEnemy({.slot = 29, .hp = 1000, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionStraight,
                  .t2 = 500, .sprite = 3, .power = 12, .special = 5, .point = 3, .x = 224.0,
                  .s1 = 2.7, .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
      break;
    case 6000:
      RunBossBreakRing(0, 10);
      break;
    case 6015:
      ClearOutField();
      break;
    case 6150:
      EndWaves();
      break;
    case kBossFightStart:
      StartBossFight(3);
      break;
    case kClosingTalkStart:
      g_talkActive = 20;
      break;
    default:
      if (frame >= 3800 && frame <= 3840 && frame % 10 == 0) {
        SpawnCrossPair((frame - 3800) / 5, 100.0, 150.0);
      } else if (frame >= 4000 && frame <= 4040 && frame % 10 == 0) {
        SpawnCrossPair((frame - 3950) / 5, 150.0, 200.0);
      } else if (frame >= 4260 && frame <= 4340 && frame % 20 == 0) {
        if (frame == 4260) {
          SpawnEnemy({.slot = 28, .hp = 600, .m1 = kMotionStraight, .t1 = 100,
                      .m2 = kMotionStraight, .t2 = 400, .sprite = 3, .power = 8, .special = 5,
                      .point = 2, .x = 224.0, .s1 = 2.0, .a1 = 270.0, .s2 = 2.0, .a2 = 190.0});
        }
        SpawnFanGroup((frame - 4260) / 20, kFirstFanGroupX);
      } else if (frame >= 4460 && frame <= 4540 && frame % 20 == 0) {
        SpawnFanGroup((frame - 4460) / 20, kSecondFanGroupX);
      } else {
        bool paired = false;
        for (const PairWave& wave : kPairWaves) {
          if (frame >= wave.first && frame <= wave.first + 90 && frame % 10 == 0) {
            SpawnPair(wave, frame);
            paired = true;
          }
        }
        if (!paired) RunStageEndMarks();
      }
      break;
  }
  // No mid-boss timeout here: the mid-boss always fights until its card ends.
}

// ---------------------------------------------------------------------------
// Enemy firing.

namespace {

// Slots 0-19: one aimed ring at age 90, and death below 100 HP.
void FireSmall(Enemy& e) {
  const int d = Diff();
  if (e.age == 90) {
    const int w = (4 - d) * 20;
    const int r = NextRandom();
    ShootFan({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 2 * d + 2, .spread = 360, .x = e.x,
              .y = e.y, .speed = 2.0, .speedLimit = 2.0,
              .centre = Aim(e) + (w > 0 ? r % w : 0) - w / 2});
  }
  if (e.hp < 100) e.hp = 0;
}

// Two orbs around the enemy in `slot`, kept in `pair`, and the angle their fans turn
// about: straight away from the player.
void MakeCarrierOrbs(OrbPair& pair, int slot, const Enemy& e) {
  MakeOrbs(pair.orbs, slot, 3.0, 30.0, 0.0);
  pair.angle = 180 + static_cast<int>(Aim(e));
}

// Slots 20 and 21 before frame 4000: the orb carriers.
void FireCarrier(int slot, Enemy& e) {
  const int d = Diff();
  const int age = e.age;
  const int s1 = static_cast<int>(e.seg1.age);
  OrbPair& pair = g_stage3.carrierOrbs[slot % 2];
  if (age == 0) MakeCarrierOrbs(pair, slot, e);
  if (Pausing(e) && age % 30 == 0) {
    ShootLayeredFan({.colour = 1 - e.sprite % 2, .sheet = 2, .spawnCode = 1,
                     .n = (d - d / 2) * 2 + 1, .spread = 30, .layers = 3, .x = e.x, .y = e.y,
                     .speed = 1.0, .accel = 0.05, .speedLimit = 3.0, .centre = Aim(e),
                     .layerDelay = 20.0});
  }
  if (Pausing(e) && Every(age - s1, (5 - d) * 5)) {
    for (const Kept& orb : pair.orbs) {
      const EnemyBullet* bullet = Live(orb);
      if (bullet == nullptr) continue;
      const double x = static_cast<int>(bullet->x), y = static_cast<int>(bullet->y);
      ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .n = 2, .spread = (age - s1) * 5,
                       .layers = 2, .x = x, .y = y, .speed = 3.0, .accel = -0.5, .speedLimit = 1.5,
                       .centre = static_cast<double>(pair.angle), .layerDelay = 30.0});
    }
  }
  if (e.hp < 50) {
    RemoveOrbs(pair.orbs);
    e.hp = 0;
  }
}

// Slots 20 and 21 from frame 4000: the large pair.
void FireLargePair(const Enemy& e) {
  if (Pausing(e) && e.age % 30 == 0) {
    ShootLayeredFan({.sheet = 4, .spawnCode = 1, .n = 4 * Diff() + 7, .spread = 270, .layers = 2,
                     .x = e.x, .y = e.y, .speed = -3.0, .accel = 0.1, .speedLimit = 3.0,
                     .centre = Aim(e), .layerDelay = 20.0});
  }
}

// Two rings of n turning opposite ways, which aim at the player at age 30.
void SpinnerRings(const Enemy& e, int n) {
  ShootRing({.sheet = 7, .spawnCode = 1, .behaviour = kBehaviourAimOffset, .behaviourParam = 90,
             .triggerAge = 30, .n = n, .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.1,
             .speedLimit = 2.0, .base = 3.0 * e.age});
  ShootRing({.colour = 1, .sheet = 7, .spawnCode = 1, .behaviour = kBehaviourAimOffset,
             .triggerAge = 30, .n = n, .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.1,
             .speedLimit = 2.0, .base = -3.0 * e.age});
}

// Slots 22-27.
void FireSpinner(const Enemy& e) {
  if (e.age % 12 == 0) SpinnerRings(e, Diff() + 1);
}

// Slot 28: orbs of its own (in pair 1, as carrier C2's were), fans to both sides and one
// spray from the orbs.
void FireFirstLarge(Enemy& e) {
  const int d = Diff();
  const int age = e.age;
  const int s1 = static_cast<int>(e.seg1.age), s2 = static_cast<int>(e.seg2.age);
  OrbPair& pair = g_stage3.carrierOrbs[1];
  if (age == 0) MakeCarrierOrbs(pair, 28, e);
  if (age >= s1 && age <= s2 - 60 && Every(age - s1, d == 0 ? 19 : 9)) {
    const double aim = Aim(e);
    const int spread = (s1 - age) * 2 + 300;
    for (double centre : {aim + 180, aim}) {
      ShootFan({.sheet = 4, .spawnCode = 1, .n = d / 2 + 2, .spread = spread, .x = e.x, .y = e.y,
                .speed = -3.0, .accel = 0.05, .speedLimit = 3.0, .centre = centre});
    }
  }
  if (age >= s1 && age <= s2 && age - s1 == 60) {
    const double centres[2] = {240.0, 300.0};
    for (int k = 0; k < 2; ++k) {
      const EnemyBullet* orb = Live(pair.orbs[k]);
      if (orb == nullptr) continue;
      // From the orb's own position, not cut to whole pixels as the carriers' and the stream's.
      ShootLayeredFan({.colour = 4, .sheet = 4, .spawnCode = 1, .n = (d - d / 2) * 2 + 2,
                       .spread = 150, .layers = 10, .x = orb->x, .y = orb->y, .speed = 5.0,
                       .accel = -1.0, .speedLimit = 2.0, .centre = centres[k], .layerDelay = 10.0});
    }
  }
  if (e.hp < 50) {
    RemoveOrbs(pair.orbs);
    e.hp = 0;
  }
}

// Slot 29: the spinner's rings and a plain ring, faster on harder levels.
void FireLastLarge(const Enemy& e) {
  const int d = Diff();
  const int age = e.age;
  const int s1 = static_cast<int>(e.seg1.age);
  if (!Pausing(e) || !Every(age - s1, d / 2 - d + 7)) return;
  SpinnerRings(e, d / 2 + 2);
  ShootRing({.colour = 4, .sheet = 2, .spawnCode = 1, .n = d == 0 ? 1 : 2, .x = e.x, .y = e.y,
             .speed = 2.0, .speedLimit = 2.0, .base = 4.0 * age});
}

// A stream bullet's place in whole pixels, where its rings start.
struct WholePixels {
  double x, y;
};
WholePixels PlaceOf(const EnemyBullet& bullet) {
  return {WholePixel(bullet.x), WholePixel(bullet.y)};
}
void StreamRings(WholePixels at, int colour, double base) {
  const int n = Diff() + 1;
  ShootRing({.colour = colour, .sheet = 4, .spawnCode = 1, .n = n, .x = at.x, .y = at.y,
             .speed = 3.0, .accel = -0.1, .speedLimit = 2.0, .base = base});
  ShootRing({.colour = colour, .sheet = 4, .spawnCode = 1, .n = n, .x = at.x, .y = at.y,
             .speed = 4.0, .accel = -0.1, .speedLimit = 2.0, .base = base});
}

}  // namespace

void FireStage3EnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1) return;
  if (slot <= 19) {
    FireSmall(e);
  } else if (slot <= 21) {
    if (g_stageFrame < kLargePairFrame) {
      FireCarrier(slot, e);
    } else {
      FireLargePair(e);
    }
  } else if (slot <= 27) {
    FireSpinner(e);
  } else if (slot == 28) {
    FireFirstLarge(e);
  } else {
    FireLastLarge(e);
  }
}

void RunStage3StreamEmitter() {
  const int frame = g_stageFrame;
  if (frame < kStreamFirst || frame > kStreamLast || frame % 5 != 0) return;
  const EnemyBullet* first = Live(g_stage3.stream[0]);
  if (first == nullptr || first->state != 4) return;
  // The second keeps firing from where it left the field. Both places are read before any
  // ring is made: a ring may take the slot the second has just left, and a slot given to
  // another bullet no longer tells where the second is.
  const EnemyBullet* second = Record(g_stage3.stream[1]);
  const WholePixels firstAt = PlaceOf(*first);
  const WholePixels secondAt = second != nullptr ? PlaceOf(*second) : WholePixels{};
  StreamRings(firstAt, 0, 3.0 * frame);
  if (second != nullptr) StreamRings(secondAt, 2, -3.0 * frame);
}

// ---------------------------------------------------------------------------
// Conversations.

void GetStage3DialogueLine(DialogueLine& line) {
  struct Row {
    int side, leftPose, rightPose;
    bool boss;  // the boss's portrait shows
  };
  static constexpr Row kOpening[12] = {
      {0, 0, 0, false}, {0, 6, 0, false}, {1, 6, 0, false}, {1, 6, 5, true},
      {0, 0, 5, true},  {1, 0, 6, true},  {0, 5, 6, true},  {1, 5, 0, true},
      {1, 5, 5, true},  {0, 0, 5, true},  {1, 0, 3, true},  {0, 5, 3, true},
  };
  static constexpr Row kClosing[2] = {{0, 5, 7, true}, {0, 0, 7, true}};
  const int number = g_talkActive;
  const Row* row = nullptr;
  if (number >= 1 && number <= 12) row = &kOpening[number - 1];
  if (number >= 20 && number <= 21) row = &kClosing[number - 20];

  if (number == 4) FlyInBoss(2, 1);
  if (number == 11) StartBossMusicOnce(kBossTheme);
  if (number == 14) EndOpeningConversation();
  if (number == 23) EndClosingConversation();
  if (row == nullptr) return;  // 13 and 22 slide the portraits out; the rest show nothing

  FillDialogueLine(line, row->side, row->leftPose, row->boss ? g_bosses[0].kind : 100,
                   row->rightPose, Stage3DialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

constexpr NonSpell kMidBossNonSpell = {1800, 1800, 0, 0, 2, true};
constexpr NonSpell kFirstNonSpell = {1800, 2400, 8, 10, 0, true};
constexpr NonSpell kSecondNonSpell = {2000, 2000, 8, 12, 0, true};
constexpr NonSpell kCardWait = {100, -1, 10, 15, 0, true};

// A laser from each boss orb every `period` steps, `count` + 1 in all, the headings
// sweeping one whole turn over the run.
void LasersFromOrbs(int t, int colourFirst, int colourSecond, int spawnCode, int fullLength) {
  const int p = g_stage3.laserPeriod, n = g_stage3.laserCount;
  if (t < 100 || t > 100 + p * n || !Every(t - 100, p)) return;
  const double turn = (t - 100) / static_cast<double>(p * n) * 360;
  const int colours[2] = {colourFirst, colourSecond};
  const double offsets[2] = {-100.0, -80.0};
  for (int k = 0; k < 2; ++k) {
    const EnemyBullet* orb = Live(g_stage3.bossOrbs[k]);
    if (orb == nullptr) continue;
    ShootLaserAtAngle({.colour = colours[k], .spawnCode = spawnCode, .x = orb->x, .y = orb->y,
                       .angle = turn + offsets[k], .lifetime = 800, .fullLength = fullLength,
                       .fullWidth = 3, .growth = 4.0, .startLength = 10.0});
  }
}

void RunMidBossPattern() {
  Boss& boss = g_bosses[0];
  const int d = Diff(), s = DifficultyTier();
  if (boss.phaseTimer == 30) {
    MakeOrbs(g_stage3.bossOrbs, 100, 2.0, 50.0, 2.0);
    g_stage3.direction = 1.0;
    g_stage3.laserCount = 4 * d + 12;
    g_stage3.laserPeriod = s - d + 5;
  }
  if (boss.phaseTimer == 240) {
    const int r1 = NextRandom();
    const int r2 = NextRandom();
    MoveBoss(0, 0, ClampToInt(r2 % 100 + g_player.x - 50, 124, 324), r1 % 50 + 100, 0);
  }
  if (boss.phaseTimer == 300) {
    g_stage3.direction = -g_stage3.direction;
    boss.phaseTimer = 99;
  }
  const int t = boss.phaseTimer;
  const int colour = static_cast<int>(g_stage3.direction) + 1;
  LasersFromOrbs(t, colour, colour, 1, 150);
  const int last = 100 + g_stage3.laserPeriod * g_stage3.laserCount + 60;
  if (t >= 100 && t <= last && Every(t, (7 - d) * 5)) {
    const int n = 5 * d + 15;
    ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
               .speed = static_cast<double>(s + 2), .accel = 0.05,
               .speedLimit = static_cast<double>(s + 3), .base = static_cast<double>(t / 2)});
    ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
               .speed = static_cast<double>(s + 1), .accel = 0.05,
               .speedLimit = static_cast<double>(s + 2), .base = static_cast<double>(t / 2)});
  }
}

void RunFirstNonSpellPattern() {
  Boss& boss = g_bosses[0];
  const int d = Diff(), s = DifficultyTier();
  const int t = boss.phaseTimer;
  if (t == 60) {
    g_stage3.fanCount = 1;
    g_stage3.fanAim = 0.0;
  }
  if (t == 100) {
    g_stage3.fanCount = d / 3 + 1 + s;
    SetBossMoveTarget(0, 224.0, 150.0, 50);
  }
  if (t == 150) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 200);
  }
  // Three bursts of widening fans, each aimed once at its start.
  struct Burst {
    int first, last, spread;
    double speed, limit;
  };
  const Burst bursts[3] = {{200, 220, s * 20 + 30, 1.0, (d - s) + 3.0},
                           {250, 275, s * 20 + 50, 1.0, (d - s) + 3.0},
                           {300, 325, s * 20 + 70, 2.0, (d - s) + 4.0}};
  for (int b = 0; b < 3; ++b) {
    const Burst& burst = bursts[b];
    if (t < burst.first || t > burst.last || t % 5 != 0) continue;
    if (t == burst.first) {
      if (b == 1) g_stage3.fanCount = d / 3 + 1 + s;
      if (b == 2) g_stage3.fanCount = (d - s) + 1;
      g_stage3.fanAim = AngleToPlayer(boss.x, boss.y);
    }
    ShootFan({.colour = 1, .sheet = 5, .spawnCode = 1, .n = g_stage3.fanCount,
              .spread = burst.spread, .x = boss.x, .y = boss.y, .speed = burst.speed, .accel = 0.2,
              .speedLimit = burst.limit, .centre = g_stage3.fanAim});
    g_stage3.fanCount += 1;
  }
  if (t == 370) SetBossMoveTarget(0, 300.0, 100.0, 100);
  if (t == 480) SetBossMoveTarget(0, 300.0, 150.0, 20);
  if (t == 510) SetBossMoveTarget(0, 100.0, 100.0, 100);
  if (t == 620) boss.phaseTimer = 99;
  const bool volley = (t >= 370 && t <= 460 && (t == 370 || t % 20 == 0)) ||
                      (t >= 510 && t <= 600 && (t == 510 || t % 20 == 0));
  if (volley) {
    ShootRingOfFans({.colour = 4, .sheet = 7, .spawnCode = 1, .n = (d - d / 3) * 2 + 3, .m = 6,
                     .spread = 10 * (s + 3), .x = boss.x, .y = boss.y, .speed = 5.0, .accel = -0.1,
                     .speedLimit = static_cast<double>(d / 3 + 3),
                     .base = AngleToPlayer(boss.x, boss.y)});
    if (t != 370 && t != 510) {
      ShootRing({.colour = 1, .sheet = 5, .spawnCode = 1, .behaviour = kBehaviourJumpToLimit,
                 .triggerAge = 20, .n = 3 * d + 12, .x = boss.x, .y = boss.y, .speed = 3.0,
                 .accel = 0.05, .speedLimit = 6.0});
    }
  }
}

void RunSecondNonSpellPattern() {
  Boss& boss = g_bosses[0];
  const int d = Diff(), s = DifficultyTier();
  if (boss.phaseTimer == 30) {
    MakeOrbs(g_stage3.bossOrbs, 100, 3.0, 75.0, 2.0);
    g_stage3.direction = 0.0;
    g_stage3.laserCount = 2 * d + 7;
    g_stage3.laserPeriod = s - d + 5;
  }
  if (boss.phaseTimer == 160) {
    for (const Kept& orb : g_stage3.bossOrbs) {
      if (EnemyBullet* bullet = Live(orb)) bullet->turnRate = -bullet->turnRate;
    }
  }
  if (boss.phaseTimer == 360) {
    const int r1 = NextRandom();
    const int r2 = NextRandom();
    SetBossMoveTarget(0, ClampToInt(r1 % 100 + g_player.x - 50, 124, 324), r2 % 100 + 100, 90);
  }
  // The loop step's later parts see 99, so it fires no volley; the walls still run.
  if (boss.phaseTimer == 460) boss.phaseTimer = 99;
  const int t = boss.phaseTimer;
  if (t >= 100 && Every(t - 100, 20)) {
    // Circles and a ring from the boss, each volley turned 70 degrees on.
    const int k = static_cast<int>(g_stage3.direction);
    const double a = AngleToPlayer(boss.x, boss.y) + 70 * k;
    for (int j = 0; j < 4; ++j) {
      ShootCircleFormation({.colour = 1, .sheet = 5, .n = 5, .radius = 50, .x = boss.x, .y = boss.y,
                            .speed = 1.0, .accel = 0.1, .speedLimit = static_cast<double>(s + 2),
                            .direction = a + 90 * j});
    }
    ShootRing({.colour = 1, .sheet = 5, .spawnCode = 1, .n = 5 * d + 5, .x = boss.x, .y = boss.y,
               .speed = 1.0, .accel = 0.05, .speedLimit = static_cast<double>(s + 2),
               .base = 10.0 * k});
    g_stage3.direction += 1;
  }
  LasersFromOrbs(t, 1, 6, 2, 100);
  ContinueLasersAtSideWalls();
}

void RunMidBossPhase() {
  g_stage3.barSplit = 50;
  RunNonSpell(kMidBossNonSpell, RunMidBossPattern);
  if (g_spellBackground != 1) return;
  BlowUpBossAtLastCardEnd();
  RunBossAttack(GetSpellCardId(Diff(), 6));
}

// The mid-boss has been blown up by its card's end: a break ring and a shake, and the
// waves go on (from 4130 when the fight outlasted it). Unlike the other stages' mid-boss
// ends this one plays no card-end sound; the blast has just sounded.
void EndMidBossHere() {
  EndFightWithBreakRing();
  if (g_stageFrame > kResumeFrame) g_stageFrame = kResumeFrame;
}

void RunNonSpellThenCard(bool second) {
  g_stage3.barSplit = 20;
  if (second) {
    RunNonSpellPhase(kSecondNonSpell, RunSecondNonSpellPattern, 8);
  } else {
    RunNonSpellPhase(kFirstNonSpell, RunFirstNonSpellPattern, 7);
  }
}

// The cage of the last card narrows for 300 steps after its end: every laser goes now.
// The shake starts as the other stages' ends start it (both counters at 30).
void EndBossFightHere() {
  for (Laser& laser : g_lasers) laser.state = 0;
  EndBossFight();
}

}  // namespace

void RunStage3BossFight() {
  switch (g_bossPhase) {
    case 1:
      RunMidBossPhase();
      break;
    case 2:
      EndMidBossHere();
      break;
    case 3:
      RunNonSpellThenCard(false);
      break;
    case 4:
      RunNonSpellThenCard(true);
      break;
    case 5:
      g_stage3.barSplit = 100;
      RunWaitThenLastCard(kCardWait, 9);
      break;
    case 6:
      EndBossFightHere();
      break;
    default:
      break;
  }
  DrawBossStatus(g_stage3.barSplit, g_spellBackground);
}

void RunStage3Timeline() {
  static constexpr StageParts kParts = {RunStage3Waves, FireStage3EnemyShots,
                                        GetStage3DialogueLine, RunStage3BossFight,
                                        RunStage3StreamEmitter};
  RunStageSteps(kParts);
}

void ResetStage3State() {
  g_stage3 = Stage3State{};
  for (OrbPair& pair : g_stage3.carrierOrbs) pair.orbs[0].slot = pair.orbs[1].slot = -1;
  g_stage3.stream[0].slot = g_stage3.stream[1].slot = -1;
  g_stage3.bossOrbs[0].slot = g_stage3.bossOrbs[1].slot = -1;
}
