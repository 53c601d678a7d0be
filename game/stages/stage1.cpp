// Stage 1: the waves of fairies, the mid-boss, the two conversations and the boss
// with two non-spells and two cards.
#include "game/stages/stage1.h"

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_dispatch.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kMidBossWindowFirst = 2331;
constexpr int kMidBossWindowLast = 4099;
constexpr int kResumeFrame = 3630;
constexpr int kStageTheme = 12;
constexpr int kBossTheme = 13;

// The boss fight's own values between steps.
struct Stage1State {
  int barSplit;
  int fanCount;        // B1, B2: fans per ring, set at timer 60
  double turnAngle;    // B1, B2: the turning angle A
};
Stage1State g_stage1;


// ---------------------------------------------------------------------------
// Waves.

// Table W1: four fairies of 10 HP, a pair from each side.
void SpawnOpeningFour(int frame) {
  const int a = (frame - 50) / 10;
  const int b = (frame + 40) / 10;
  SpawnEnemy({.slot = a, .hp = 10, .turnFlag = 1, .m1 = kMotionQuarterTurn, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .special = 1, .x = 50.0, .s1 = 2.0, .a1 = 260.0,
              .a2 = 270.0});
  SpawnEnemy({.slot = a + 1, .hp = 10, .turnFlag = 1, .m1 = kMotionQuarterTurn, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = 1, .power = 1, .x = 100.0, .s1 = 2.0,
              .a1 = 260.0, .a2 = 270.0});
  SpawnEnemy({.slot = b, .hp = 10, .m1 = kMotionQuarterTurn, .t1 = 600, .m2 = kMotionStraight,
              .t2 = 600, .sprite = 1, .power = 1, .x = 400.0, .s1 = 2.0, .a1 = 280.0, .a2 = 270.0});
  SpawnEnemy({.slot = b + 1, .hp = 10, .m1 = kMotionQuarterTurn, .t1 = 600, .m2 = kMotionStraight,
              .t2 = 600, .special = 1, .x = 350.0, .s1 = 2.0, .a1 = 280.0, .a2 = 270.0});
}

// Table W2: pairs of 20 HP turning in from one side.
struct PairMember {
  int turnFlag, sprite, power, special, point;
  double x;
};
using Pair = PairMember[2];
constexpr Pair kEarlyLeft = {{1, 0, 0, 1, 0, 50.0}, {1, 1, 1, 0, 0, 100.0}};
constexpr Pair kEarlyRight = {{0, 1, 1, 0, 0, 400.0}, {0, 0, 0, 1, 0, 350.0}};
constexpr Pair kLateLeft = {{1, 0, 0, 1, 0, 50.0}, {1, 2, 1, 0, 1, 100.0}};
constexpr Pair kLateRight = {{0, 1, 1, 0, 0, 400.0}, {0, 2, 0, 1, 1, 350.0}};

void SpawnPair(int slot, const Pair& pair, double speed, double angle) {
  for (int k = 0; k < 2; ++k) {
    const PairMember& e = pair[k];
    SpawnEnemy({.slot = slot + k, .hp = 20, .turnFlag = e.turnFlag, .m1 = kMotionQuarterTurn,
                .t1 = 600, .m2 = kMotionStraight, .t2 = 600, .sprite = e.sprite, .power = e.power,
                .special = e.special, .point = e.point, .x = e.x, .s1 = speed, .a1 = angle,
                .a2 = 270.0});
  }
}

// Table W3: the big fairies, one at a time.
struct SingleSpawn {
  int hp, slot, t1, t2, power, special;
  double x, y, s1, a1, a2;
};
void SpawnSingle(const SingleSpawn& e, double s2 = 1.0) {
  SpawnEnemy({.slot = e.slot, .hp = e.hp, .m1 = kMotionStraight, .t1 = e.t1, .m2 = kMotionStraight,
              .t2 = e.t2, .sprite = 3, .power = e.power, .special = e.special, .point = 1, .x = e.x,
              .y = e.y, .s1 = e.s1, .a1 = e.a1, .s2 = s2, .a2 = e.a2});
}

// Tables W4 and W6: seven fairies standing in a row or an arch, flying out in a fan.
void SpawnSevenInRow(int firstSlot, int hp, int leaveAge, bool arch) {
  for (int i = 0; i < 7; ++i) {
    const double x = 134 + 30 * i;
    const double y = arch ? 8 * (3 - i) * (i - 3) + 200 : 200;
    SpawnEnemy({.slot = firstSlot + i, .hp = hp, .m2 = kMotionStraight, .t2 = leaveAge,
                .sprite = i % 2, .power = i % 2, .special = (i + 1) % 2, .x = x, .y = y, .s2 = 1.0,
                .a2 = x + 46});
  }
}

// Table W5: pairs closing in from both sides toward the centre.
void SpawnClosingPair(int frame) {
  const int slot = (frame - 3710) / 5;
  const double y = 2 * frame - 7500;
  SpawnEnemy({.slot = slot, .hp = 50, .m2 = kMotionQuarterTurn, .t2 = 100, .sprite = 1, .power = 1,
              .x = static_cast<double>(15574 - 4 * frame), .y = y, .s2 = 2.0, .a2 = 270.0});
  SpawnEnemy({.slot = slot + 1, .hp = 50, .turnFlag = 1, .m2 = kMotionQuarterTurn, .t2 = 100,
              .special = 1, .x = static_cast<double>(4 * frame - 15126), .y = y, .s2 = 2.0,
              .a2 = 270.0});
}

}  // namespace

void RunStage1Waves() {
  const int frame = g_stageFrame;
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      break;
    case 10:
      ShowItemLine();
      break;
    case 50: case 70: case 90: case 110:
      SpawnOpeningFour(frame);
      break;
    case 330: case 360: case 390:
      ShowStageTitleNotice(0, (frame - 330) / 30);
      break;
    case 550: case 570: case 590: case 610:
      SpawnPair((frame - 550) / 10, kEarlyLeft, 2.0, 260.0);
      break;
    case 620:
      SpawnSingle({100, 8, 60, 100, 8, 0, 124.0, 0.0, 3.0, 270.0, 270.0});
      break;
    case 730: case 750: case 770: case 790:
      SpawnPair((frame - 640) / 10, kEarlyRight, 2.0, 280.0);
      break;
    case 820:
      SpawnSingle({100, 17, 60, 100, 10, 3, 324.0, 0.0, 3.0, 270.0, 270.0});
      break;
    case 1050:
      SpawnSingle({350, 18, 75, 400, 10, 3, 224.0, 0.0, 2.0, 270.0, 270.0});
      break;
    case 1150:
      SpawnSevenInRow(19, 30, 300, false);
      break;
    case 1450:
      SpawnSingle({300, 26, 75, 600, 8, 0, 224.0, 0.0, 2.0, 270.0, 270.0});
      SpawnSingle({200, 27, 50, 600, 5, 0, 29.0, 180.0, 2.0, 0.0, 180.0});
      SpawnSingle({200, 28, 50, 600, 5, 0, 420.0, 180.0, 2.0, 180.0, 0.0});
      break;
    case 2100:
      InitBoss(0, 0, 2, 0.0, -50.0);
      break;
    case 2200:
      WarpBossIn();
      break;
    case 2230:
      StartBossFight(1);
      break;
    case 3050: case 3080: case 3110: case 3140:
      SpawnPair((frame - 3050) / 15, kLateLeft, 3.0, 270.0);
      break;
    case 3250: case 3280: case 3310: case 3340:
      SpawnPair((frame - 3115) / 15, kLateRight, 3.0, 270.0);
      break;
    case 3500:
      SpawnSingle({200, 8, 75, 300, 8, 0, 124.0, 0.0, 2.5, 270.0, 340.0});
      SpawnSingle({200, 17, 75, 300, 8, 0, 324.0, 0.0, 2.5, 270.0, 200.0});
      break;
    // 3950 computes slots 48 and 49, which no enemy takes: the pair never appears.
    case 3800: case 3810: case 3820: case 3830: case 3840: case 3950:
      SpawnClosingPair(frame);
      break;
    case 4150:
      SpawnEnemy({.hp = 400, .m1 = kMotionStraight, .t1 = 75, .m2 = kMotionStraight, .t2 = 500,
                  .sprite = 3, .power = 10, .special = 5, .point = 1, .x = 224.0, .s1 = 2.0,
                  .a1 = 270.0, .s2 = 1.0, .a2 = 270.0});
      break;
    case 4250:
      SpawnSevenInRow(1, 100, 400, true);
      break;
    case 4800:
      EndWaves();
      break;
    case kBossFightStart:
      StartBossFight(3);
      break;
    case kClosingTalkStart:
      g_talkActive = 15;
      break;
    default:
      RunStageEndMarks();
      break;
  }
  RunMidBossTimeout(kMidBossWindowFirst, kMidBossWindowLast);
}

// ---------------------------------------------------------------------------
// Enemy firing.

namespace {

enum class Firing { kNone, kE1, kE2, kE3, kE4, kE5, kE6, kL1, kL2, kL3, kL4 };

Firing FiringOf(int slot, int frame) {
  if (frame < 3500) {
    if (slot == 8 || slot == 17) return Firing::kE2;
    if (slot <= 16) return Firing::kE1;
    if (slot == 18) return Firing::kE3;
    if (slot <= 25) return Firing::kE4;
    if (slot == 26) return Firing::kE5;
    if (slot <= 28) return Firing::kE6;
    return Firing::kNone;
  }
  if (frame < 5200) {
    if (slot == 0) return Firing::kL1;
    if (slot <= 7) return Firing::kL2;
    if (slot == 8 || slot == 17) return Firing::kL3;
    if (slot >= 18) return Firing::kL4;
  }
  return Firing::kNone;
}


}  // namespace

void FireStage1EnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1) return;
  const int d = Diff();
  const int s = DifficultyTier();
  const int age = e.age;
  const double x = e.x, y = e.y;
  const int turnColour = 1 - (e.turnFlag % 2);

  switch (FiringOf(slot, g_stageFrame)) {
    case Firing::kNone:
      break;
    case Firing::kE1:
      // s / 2 in the limit is a real division: 2.5, or 3.0 on Hard and Lunatic.
      if (age == 160.0 - 40.0 * e.seg1.speed) {
        ShootLayeredFan({.colour = turnColour, .sheet = 2, .spawnCode = 1, .n = 2 * s + 1,
                         .spread = 30, .layers = d + 2, .x = x, .y = y, .speed = 1.0, .accel = 0.5,
                         .speedLimit = s / 2.0 + 2.5, .centre = AngleToPlayer(x, y),
                         .layerDelay = 20.0});
      }
      break;
    case Firing::kE2:
      if (age >= 60 && age <= 270 && Every(age, 10 * (6 - d))) {
        ShootFan({.sheet = 7, .spawnCode = 1, .n = s + 2 * d + 6, .spread = 360, .x = x, .y = y,
                  .speed = 1.0, .accel = 0.1, .speedLimit = 0.5 * d + 2.0,
                  .centre = AngleToPlayer(x, y)});
      }
      break;
    case Firing::kE3:
      if (age >= 80 && age <= 400 && Every(age, 5 * (8 - d))) {
        const double limit = 0.5 * s + 2.0;
        ShootRing({.sheet = 7, .spawnCode = 1, .n = 2 * d + 4, .x = x, .y = y, .accel = 0.04,
                   .speedLimit = limit, .base = static_cast<double>(age)});
        ShootRing({.sheet = 7, .spawnCode = 1, .n = 2 * d + 4, .x = x, .y = y, .accel = 0.03,
                   .speedLimit = limit, .base = static_cast<double>(age + 5)});
        ShootRing({.sheet = 7, .spawnCode = 1, .n = 2 * d + 4, .x = x, .y = y, .accel = 0.02,
                   .speedLimit = limit, .base = static_cast<double>(age - 5)});
      }
      break;
    case Firing::kE4:
      if (age <= 300 && Every(age, 10 * (6 - d))) {
        ShootLayeredFan({.colour = turnColour, .sheet = 2, .spawnCode = 1, .n = 2 * s + 2,
                         .spread = 90, .layers = s + 2, .x = x, .y = y, .speed = 2.0, .accel = 0.5,
                         .speedLimit = 3.0, .centre = AngleToPlayer(x, y), .layerDelay = 20.0});
      }
      break;
    case Firing::kE5:
      if (age >= 80 && age <= 400 && Every(age, 5 * (8 - d))) {
        ShootFan({.sheet = 9, .spawnCode = 1, .n = 2 * d + 4, .spread = 360, .x = x, .y = y,
                  .accel = 0.2, .speedLimit = 3.0, .centre = AngleToPlayer(x, y)});
      }
      break;
    case Firing::kE6:
      if (age >= 80 && age <= 400 && Every(age, 10 * (8 - d))) {
        static constexpr double kAccel[5] = {0.05, 0.1, 0.15, 0.1, 0.05};
        // age / 4 turns the rings a quarter degree per step of age (a real division).
        for (int k = 0; k < 5; ++k) {
          ShootRing({.colour = 1, .sheet = 7, .spawnCode = 1, .n = 2 * d + 4, .x = x, .y = y,
                     .accel = kAccel[k], .speedLimit = 2.0, .base = age / 4.0 + k * (d - s + 2)});
        }
      }
      break;
    case Firing::kL1:
      if (age >= 75 && age <= 500 && Every(age, 10 * (5 - d))) {
        for (int k = 0; k < 2; ++k) {
          ShootRing({.sheet = 5, .spawnCode = 1, .behaviour = kBehaviourAimAndSpeedUp,
                     .behaviourParam = 2, .triggerAge = 50, .n = s + 2 * d + 4, .x = x, .y = y,
                     .speed = 1.0, .speedLimit = static_cast<double>(s + 4),
                     .base = static_cast<double>(age)});
        }
      }
      break;
    case Firing::kL2:
      if (age <= 400 && Every(age, 60)) {
        ShootLayeredFan({.colour = turnColour, .sheet = 2, .spawnCode = 1, .n = 2 * (d + 2),
                         .spread = 360, .layers = d + 2, .x = x, .y = y, .speed = 2.0, .accel = 0.5,
                         .speedLimit = 3.0, .centre = AngleToPlayer(x, y),
                         .layerDelay = 10.0 * (s + 2)});
      }
      break;
    case Firing::kL3: {
      // Two volleys per period of 10 x (7 - d) steps while the fairy stands: at the start
      // of the period and 15 steps into it.
      const int t1 = static_cast<int>(e.seg1.age);
      const int t2 = static_cast<int>(e.seg2.age);
      if (age >= t1 && age <= t2) {
        const int phase = (age - t1) % (10 * (7 - d));
        if (phase == 0 || phase == 15) {
          const double aim = AngleToPlayer(x, y);
          ShootLayeredFan({.sheet = 7, .spawnCode = 1, .n = 2 * d + 6, .spread = 360,
                           .layers = s + 1, .x = x, .y = y, .speed = 1.0, .accel = 0.1,
                           .speedLimit = 0.5 * d + 2.0, .centre = aim, .layerDelay = 20.0});
          ShootRing({.colour = 1, .sheet = 7, .spawnCode = 1, .n = d + 1, .x = x, .y = y,
                     .speed = 1.0, .accel = 0.05, .speedLimit = 0.5 * d + 1.0, .base = aim});
          ShootRing({.colour = 1, .sheet = 7, .spawnCode = 1, .n = d + 1, .x = x, .y = y,
                     .speed = 1.0, .accel = 0.05, .speedLimit = 0.5 * d + 2.0, .base = aim});
        }
      }
      break;
    }
    case Firing::kL4:
      if (age == 60) {
        const double base = (60 * slot) / (d + 2);
        ShootRing({.colour = turnColour, .sheet = 2, .spawnCode = 1, .n = 2 * (d + 2), .x = x,
                   .y = y, .accel = 0.05, .speedLimit = 2.0, .base = base});
        ShootRing({.colour = turnColour, .sheet = 2, .spawnCode = 1, .n = 2 * (d + 2), .x = x,
                   .y = y, .accel = 0.5, .speedLimit = 2.0, .base = base});
      }
      break;
  }
}

// ---------------------------------------------------------------------------
// Conversations.

void GetStage1DialogueLine(DialogueLine& line) {
  struct Row {
    int side, leftPose, rightPose;
  };
  // Lines 1..18; side 3 lines show nothing and slide the portraits out.
  static constexpr Row kRows[18] = {
      {0, 2, 0}, {0, 3, 0}, {0, 2, 0}, {1, 2, 5}, {0, 6, 5}, {1, 6, 0}, {0, 2, 0}, {1, 2, 6},
      {0, 6, 6}, {1, 6, 5}, {1, 6, 3}, {0, 2, 3}, {3, 0, 0}, {3, 0, 0}, {0, 5, 7}, {0, 0, 7},
      {3, 0, 0}, {3, 0, 0},
  };
  const int number = g_talkActive;
  if (number < 1 || number > 18) return;

  if (number == 4) EnterBoss(1);
  if (number == 11) StartBossMusicOnce(kBossTheme);
  if (number == 14) {
    EndOpeningConversation();
    return;
  }
  if (number == 18) {
    EndClosingConversation();
    return;
  }

  const Row& row = kRows[number - 1];
  FillDialogueLine(line, row.side, row.leftPose, g_bosses[0].kind, row.rightPose,
                   Stage1DialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

constexpr NonSpell kMidBossNonSpell = {1000, 1800, 5, 10, 0, true};
constexpr NonSpell kFirstNonSpell = {1500, 2400, 5, 8, 0, true};
constexpr NonSpell kSecondNonSpell = {1500, 2400, 5, 15, 0, true};

// A random spot in the upper field: the y value is drawn first.
void MoveToRandomSpot(int xBase, int xRange, double steps) {
  const int ry = NextRandom();
  const int rx = NextRandom();
  SetBossMoveTarget(0, xBase + rx % xRange, 125 + ry % 50, steps);
}

// Two rings of fans from the boss, each with its own random base angle.
void TwoRingsOfFans(int fansFirst, int fansSecond, int perFan, double speedFirst,
                    double speedSecond, double accel, double limit) {
  const Boss& boss = g_bosses[0];
  const int base1 = NextRandom() % 20;
  ShootRingOfFans({.sheet = 5, .spawnCode = 1, .n = perFan, .m = fansFirst, .spread = 20,
                   .x = boss.x, .y = boss.y, .speed = speedFirst, .accel = accel,
                   .speedLimit = limit, .base = static_cast<double>(base1)});
  const int base2 = NextRandom() % 20;
  ShootRingOfFans({.sheet = 5, .spawnCode = 1, .n = perFan, .m = fansSecond, .spread = 20,
                   .x = boss.x, .y = boss.y, .speed = speedSecond, .accel = accel,
                   .speedLimit = limit, .base = static_cast<double>(base2)});
}

void RunMidBossPattern() {
  Boss& boss = g_bosses[0];
  const int d = Diff(), s = DifficultyTier();
  const int t = boss.phaseTimer;
  if (t == 100 || t == 160) TwoRingsOfFans(2 * s + 8, 2 * s + 8, s + 2, 3.0, 4.0, -0.1, -3.0);
  if (t == 100) MoveToRandomSpot(124, 200, 50);
  if (t == 180) MoveBoss(0, 0, static_cast<int>(g_player.x), 300.0, 0);
  if (t == 210) {
    SetBossAnimation(0, 0, 180);
    SetBossMoveTarget(0, boss.x, boss.y - 200, 180);
  }
  if (t >= 210 && t <= 400 && t % (2 * (s - d) + 14) == 0) {
    ShootRing({.colour = 1, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourAimAndSpeedUp,
               .behaviourParam = 3, .triggerAge = 25, .n = 2 * d + 4, .x = boss.x, .y = boss.y,
               .speed = 2.0, .speedLimit = 4.0, .base = static_cast<double>(t)});
    ShootRing({.sheet = 2, .spawnCode = 1, .behaviour = kBehaviourAimAndSpeedUp,
               .behaviourParam = 3, .triggerAge = 25, .n = 2 * d + 4, .x = boss.x, .y = boss.y,
               .speed = 2.0, .speedLimit = 4.0, .base = static_cast<double>(-t)});
  }
  if (t == 400) WarpBossToRandomSpot(149, 150);
  if (t == 490) boss.phaseTimer = 99;
}

// B1 and B2 share their frame; the second has wider sweeps of turning fans.
void RunBossPattern(bool second) {
  Boss& boss = g_bosses[0];
  const int d = Diff(), s = DifficultyTier();
  const int t = boss.phaseTimer;
  if (t == 60) {
    g_stage1.fanCount = 2 * (d - s) + 6;
    g_stage1.turnAngle = 0.0;
  }
  if (t == 100 || t == 140 || t == 180) {
    const int fans = g_stage1.fanCount;
    TwoRingsOfFans(fans / 2, fans, s + 2, -3.0, -4.0, 0.1, 3.0);
  }
  if (t == 100) MoveToRandomSpot(124, 200, 30);
  if (t == 140) {
    if (second) {
      MoveToRandomSpot(149, 150, 30);
    } else {
      MoveToRandomSpot(124, 200, 30);
    }
  }
  if (t == 200) MoveBoss(0, 0, static_cast<int>(g_player.x), 300.0, 0);
  if (t == 230) {
    SetBossAnimation(0, 0, 180);
    SetBossMoveTarget(0, boss.x, boss.y - 200, 180);
  }
  if (t >= 230 && t <= 420 && t % (2 * (s - d) + 14) == 0) {
    // (NextRandom mod 10) / 20 is a real division: limits 2.0 to 2.45.
    const int r = NextRandom();
    const double v = (r % 10) / 20.0 + 2.0;
    const int k = d > 0 ? 1 : 0;
    const double a = g_stage1.turnAngle;
    const double x = boss.x, y = boss.y;
    ShootLayeredFan({.sheet = 7, .spawnCode = 1, .triggerAge = 90, .n = k + 2, .spread = 50,
                     .layers = 1, .x = x, .y = y, .speed = 1.0, .accel = v - 1.0, .speedLimit = v,
                     .turnRate = 0.05, .centre = a + 150, .layerDelay = 60.0});
    ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .triggerAge = 90, .n = k + 2,
                     .spread = 50, .layers = 1, .x = x, .y = y, .speed = 1.0, .accel = v - 1.0,
                     .speedLimit = v, .turnRate = -0.05, .centre = 30 - a, .layerDelay = 60.0});
    if (second) {
      ShootLayeredFan({.sheet = 7, .spawnCode = 1, .triggerAge = 90, .n = 2, .spread = 50,
                       .layers = 2, .x = x, .y = y, .speed = 1.0, .accel = v - 1.0, .speedLimit = v,
                       .turnRate = 0.1, .centre = a + 170, .layerDelay = 60.0});
      ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .triggerAge = 90, .n = 2,
                       .spread = 50, .layers = 2, .x = x, .y = y, .speed = 1.0, .accel = v - 1.0,
                       .speedLimit = v, .turnRate = -0.1, .centre = 10 - a, .layerDelay = 60.0});
      g_stage1.turnAngle += 21 - 6 * s;
    } else {
      const int n = s == 0 ? 1 : 2;
      ShootLayeredFan({.sheet = 7, .spawnCode = 1, .triggerAge = 90, .n = n, .spread = 50,
                       .layers = 2, .x = x, .y = y, .speed = 1.0, .accel = v - 1.0, .speedLimit = v,
                       .centre = a + 160, .layerDelay = 60.0});
      ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .triggerAge = 90, .n = n,
                       .spread = 50, .layers = 2, .x = x, .y = y, .speed = 1.0, .accel = v - 1.0,
                       .speedLimit = v, .centre = 20 - a, .layerDelay = 60.0});
      g_stage1.turnAngle += 23 - 6 * s;
    }
  }
  if (t == 420) WarpBossToRandomSpot(124, 200);
  if (t == 510) boss.phaseTimer = 99;
}

void RunMidBossPhase() {
  Boss& boss = g_bosses[0];
  const int d = Diff(), s = DifficultyTier();
  g_stage1.barSplit = 50 * s;
  if (g_spellBackground == 0) {
    RunNonSpellStart(kMidBossNonSpell);
    RunMidBossPattern();
    if (NonSpellOver()) {
      EraseAllBullets();
      if (s == 1) {
        boss.phaseTimer = 1;
        g_spellBackground = 1;
      } else {
        boss.remainingCards -= 1;
        boss.moveFrames = 0.0;
        if (boss.spellTimer != 0) SpawnItems(2, 0);
        RunBossBreakRing(0, 0);
        g_bossPhase += 1;
        g_spellCardActive = 0;
        return;
      }
    }
  }
  if (g_spellBackground == 1) RunBossAttack(GetSpellCardId(d, 0));
}

void RunBossPhase(bool second) {
  const int d = Diff();
  g_stage1.barSplit = 20;
  if (second) {
    RunNonSpell(kSecondNonSpell, [] { RunBossPattern(true); });
  } else {
    RunNonSpell(kFirstNonSpell, [] { RunBossPattern(false); });
  }
  if (g_spellBackground != 1) return;
  // The boss, beaten or out of time, is blown up; the card ends once the blast has
  // freed it (the core frees a boss left leaving when its blast ends).
  if (second) BlowUpBossAtLastCardEnd();
  RunBossAttack(GetSpellCardId(d, second ? 2 : 1));
}

}  // namespace

void RunStage1BossFight() {
  switch (g_bossPhase) {
    case 1:
      RunMidBossPhase();
      break;
    case 2:
      EndMidBoss(kResumeFrame);
      break;
    case 3:
      RunBossPhase(false);
      break;
    case 4:
      RunBossPhase(true);
      break;
    case 5:
      EndBossFight();
      break;
    default:
      break;
  }
  DrawBossStatus(g_stage1.barSplit, g_spellBackground);
}

void RunStage1Timeline() {
  static constexpr StageParts kParts = {RunStage1Waves, FireStage1EnemyShots,
                                        GetStage1DialogueLine, RunStage1BossFight};
  RunStageSteps(kParts);
}

void ResetStage1State() { g_stage1 = Stage1State{}; }
