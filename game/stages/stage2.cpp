// Stage 2: dive waves over the frozen lake, the mid-boss, and the ferrywoman with two
// orb non-spells and three cards.
#include "game/stages/stage2.h"

#include <initializer_list>

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
constexpr int kResumeFrame = 3330;
constexpr int kStageTheme = 10;
constexpr int kBossTheme = 16;
constexpr int kSecondHalf = 2200;
constexpr int kFiringEnd = 5200;

// The values the boss fight keeps between steps.
struct Stage2State {
  int barSplit;
  int ringSize;     // mid-boss: bullets per ring
  double turnRate;  // mid-boss and orb non-spells: degrees per timer step
  Kept orbA, orbB;  // kept by slot and serial: a freed and reused slot is not the orb
};
Stage2State g_stage2;


// ---------------------------------------------------------------------------
// Waves. Each random enemy draws its leave angle, then its dive angle, then its x.

void SpawnDiver(int slot, int hp, int turnFlag, int sprite, Drops drops, int xBase, int xRange,
                double diveSpeed, double leaveSpeed) {
  const int leave = NextRandom();
  const int dive = NextRandom();
  const int rx = NextRandom();
  SpawnEnemy({.slot = slot, .hp = hp, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 90,
              .m2 = kMotionStraight, .t2 = 120, .sprite = sprite,
              .x = static_cast<double>(xBase + rx % xRange), .s1 = diveSpeed,
              .a1 = static_cast<double>(250 + dive % 40), .s2 = leaveSpeed,
              .a2 = static_cast<double>(80 + leave % 20)}, drops);
}

// Table A: pairs diving in from the top at random.
void SpawnDivePair(int frame) {
  const int k = (frame - 220) / 10;
  SpawnDiver(2 * k, 120, 1, 4, {0, 2, 0}, 82, 285, 3.0, 2.0);
  SpawnDiver(2 * k + 1, 120, 1, 5, {2, 0, 0}, 82, 285, 3.0, 2.0);
}

// Table C: a pair flying in from both sides and stopping.
void SpawnSidePair(int k, int turnFlag, Drops drops) {
  SpawnEnemy({.slot = 20 + 2 * k, .hp = 50, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = 2, .x = 29.0, .y = 50.0, .s1 = 2.0,
              .a1 = 320.0}, drops);
  SpawnEnemy({.slot = 21 + 2 * k, .hp = 50, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = 2, .x = 420.0, .y = 50.0, .s1 = 2.0,
              .a1 = 220.0}, drops);
}

// Table D: an aimed fairy from a fixed point and a diver at a random x.
struct AimedWave {
  int first, turnFlag;
  double aimedX;
  int aimedSprite;
  Drops aimedDrops;
  int diverSprite;
  Drops diverDrops;
  int diverX;
};
constexpr AimedWave kAimedWaves[3] = {
    {1100, 1, 324.0, 0, {0, 1, 0}, 4, {0, 2, 0}, 60},
    {1400, 0, 124.0, 1, {1, 0, 0}, 5, {2, 0, 0}, 260},
    {1700, 1, 324.0, 2, {0, 0, 1}, 4, {0, 2, 0}, 60},
};
void SpawnAimedWave(const AimedWave& w, int frame) {
  const int k = (frame - w.first) / 20;
  SpawnEnemy({.slot = 20 + k, .hp = 30, .turnFlag = w.turnFlag, .m1 = kMotionStraight, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = w.aimedSprite, .x = w.aimedX, .s1 = 2.0,
              .a1 = 720.0}, w.aimedDrops);
  SpawnDiver(k, 120, w.turnFlag, w.diverSprite, w.diverDrops, w.diverX, 100, 2.0, 3.0);
}

// Three fairies that come at the player and turn straight away from it.
void SpawnThreeAimed(int firstSlot, int turnFlag, const Drops (&drops)[3]) {
  static constexpr double kX[3] = {324.0, 124.0, 224.0};
  for (int i = 0; i < 3; ++i) {
    SpawnEnemy({.slot = firstSlot + i, .hp = 100, .turnFlag = turnFlag, .m1 = kMotionStraight,
                .t1 = 120, .m2 = kMotionStraight, .t2 = 121, .sprite = 2, .x = kX[i], .s1 = 3.0,
                .a1 = 720.0, .s2 = 3.0, .a2 = 900.0}, drops[i]);
  }
}

// Pairs that run down one side and across, and across and up or down the other.
struct CornerPair {
  double downX;
  double downLeave;
  int downSprite;
  Drops downDrops;
  double acrossY;
  double acrossLeave;
  int acrossSprite;
  Drops acrossDrops;
};
constexpr CornerPair kCornerFirst = {100.0, 0.0, 4, {0, 2, 0}, 100.0, 270.0, 5, {1, 0, 0}};
constexpr CornerPair kCornerMirror = {348.0, 180.0, 5, {1, 0, 0}, 380.0, 90.0, 4, {0, 2, 0}};
void SpawnCornerPair(int k, const CornerPair& p) {
  SpawnEnemy({.slot = 2 * k, .hp = 140, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 150,
              .m2 = kMotionStraight, .t2 = 151, .sprite = p.downSprite, .x = p.downX, .s1 = 3.0,
              .a1 = 270.0, .s2 = 3.0, .a2 = p.downLeave}, p.downDrops);
  SpawnEnemy({.slot = 2 * k + 1, .hp = 140, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 140,
              .m2 = kMotionStraight, .t2 = 141, .sprite = p.acrossSprite, .y = p.acrossY, .s1 = 3.0,
              .s2 = 3.0, .a2 = p.acrossLeave}, p.acrossDrops);
}

void SpawnCrossingPair(int frame) {
  const int k = (frame - 4420) / 30;
  SpawnEnemy({.slot = 2 * k, .hp = 120, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = 5, .power = 2, .x = 348.0, .s1 = 3.0,
              .a1 = 270.0, .s2 = 3.0, .a2 = 180.0});
  SpawnEnemy({.slot = 2 * k + 1, .hp = 120, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = 4, .special = 3, .x = 100.0, .y = 480.0,
              .s1 = 3.0, .a1 = 90.0, .s2 = 3.0, .a2 = 90.0});
}

void SpawnClosingFan(int frame) {
  const int k = (frame - 5000) / 60;
  SpawnEnemy({.slot = 22 + k, .hp = 60, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 120,
              .m2 = kMotionStraight, .t2 = 121, .sprite = 2, .special = 3, .point = 2,
              .x = static_cast<double>(384 - 30 * k), .s1 = 2.0, .a1 = 265.0, .s2 = 3.0,
              .a2 = 110.0});
  SpawnEnemy({.slot = 25 + k, .hp = 60, .m1 = kMotionStraight, .t1 = 120, .m2 = kMotionStraight,
              .t2 = 121, .sprite = 2, .power = 3, .point = 2, .x = static_cast<double>(64 + 30 * k),
              .s1 = 2.0, .a1 = 275.0, .s2 = 3.0, .a2 = 70.0});
}

}  // namespace

void RunStage2Waves() {
  const int frame = g_stageFrame;
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      break;
    case 30: case 60: case 90:
      ShowStageTitleNotice(1, (frame - 30) / 30);
      break;
    case 500:
      SpawnEnemy({.slot = 29, .hp = 400, .m1 = kMotionStraight, .t1 = 75, .m2 = kMotionStraight,
                  .t2 = 500, .sprite = 3, .power = 8, .special = 5, .point = 1, .x = 224.0,
                  .s1 = 2.0, .a1 = 270.0, .s2 = 1.0, .a2 = 270.0});
      break;
    case 600: case 630: case 660: case 690:
      SpawnSidePair((frame - 600) / 30, 1, {2, 0, 1});
      break;
    case 860: case 890:
      SpawnSidePair((frame - 860) / 30, 0, {0, 2, 1});
      break;
    case 2100:
      InitBoss(0, 0, 3, 0.0, -50.0);
      break;
    case 2200:
      WarpBossIn();
      break;
    case 2230:
      StartBossFight(1);
      break;
    case 3000: case 3300:
      SpawnThreeAimed(22, 0, {{0, 2, 2}, {2, 0, 2}, {2, 0, 2}});
      break;
    case 3150:
      SpawnThreeAimed(25, 1, {{0, 2, 2}, {2, 0, 2}, {0, 2, 2}});
      break;
    case 3760:
      ShowEnemyMark(60, 380);
      break;
    case 4200:
      SpawnEnemy({.slot = 20, .hp = 400, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionStraight,
                  .t2 = 500, .sprite = 3, .power = 8, .special = 3, .point = 2, .x = 79.0,
                  .s1 = 2.0, .a1 = -60.0, .s2 = 1.0, .a2 = 180.0});
      SpawnEnemy({.slot = 21, .hp = 400, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionStraight,
                  .t2 = 500, .sprite = 3, .power = 8, .special = 3, .point = 2, .x = 350.0,
                  .s1 = 2.0, .a1 = 240.0, .s2 = 1.0});
      break;
    case 4360:
      ShowEnemyMark(100, 440);
      break;
    case 4700:
      SpawnEnemy({.slot = 28, .hp = 400, .m1 = kMotionStraight, .t1 = 75, .m2 = kMotionQuarterTurn,
                  .t2 = 400, .sprite = 3, .power = 8, .special = 5, .point = 3, .x = 274.0,
                  .s1 = 2.0, .a1 = 270.0, .s2 = 2.0});
      SpawnEnemy({.slot = 29, .hp = 400, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 75,
                  .m2 = kMotionQuarterTurn, .t2 = 400, .sprite = 3, .power = 8, .special = 5,
                  .point = 3, .x = 174.0, .s1 = 2.0, .a1 = 270.0, .s2 = 2.0, .a2 = 180.0});
      break;
    case 5000: case 5060: case 5120:
      SpawnClosingFan(frame);
      break;
    case 5400:
      EndWaves();
      break;
    case kBossFightStart:
      StartBossFight(2);
      break;
    case kClosingTalkStart:
      g_talkActive = 20;
      break;
    default:
      if (frame >= 220 && frame <= 310 && frame % 10 == 0) {
        SpawnDivePair(frame);
      } else if (frame >= 1100 && frame <= 1860 && frame % 20 == 0) {
        for (const AimedWave& wave : kAimedWaves) {
          if (frame >= wave.first && frame <= wave.first + 160) SpawnAimedWave(wave, frame);
        }
      } else if (frame >= 3420 && frame <= 3510 && frame % 10 == 0) {
        SpawnCornerPair((frame - 3420) / 10, kCornerFirst);
      } else if (frame >= 3820 && frame <= 3910 && frame % 10 == 0) {
        SpawnCornerPair((frame - 3820) / 10, kCornerMirror);
      } else if (frame >= 4420 && frame <= 4540 && (frame - 4420) % 30 == 0) {
        SpawnCrossingPair(frame);
      } else {
        RunStageEndMarks();
      }
      break;
  }
  RunMidBossTimeout(kMidBossWindowFirst, kMidBossWindowLast);
}

// ---------------------------------------------------------------------------
// Enemy firing.

namespace {

// A small fairy below 100 HP dies, bursting into a ring when `fires` (its wave's difficulties).
void BurstBelow100(Enemy& e, bool fires, int count, int spread) {
  if (e.hp >= 100) return;
  if (fires) {
    const int r = NextRandom();
    // The burst ring is of sheet 2, at a constant speed.
    ShootRing({.colour = TurnColour(e), .sheet = 2, .spawnCode = 11, .n = count, .x = e.x, .y = e.y,
               .speed = 3.0, .speedLimit = 3.0,
               .base = AngleToPlayer(e.x, e.y) + (r % spread - spread / 2)});
  }
  e.hp = 0;
}

void FireFirstHalf(int slot, Enemy& e) {
  const int d = Diff();
  const int age = e.age;
  const double x = e.x, y = e.y;
  if (slot <= 19) {
    if (age == 90) {
      const int w = PerDifficulty(80, 60, 40, 20);
      const int r = NextRandom();
      ShootFan({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 2 * d + 2, .spread = 360, .x = x,
                .y = y, .speed = 2.0, .speedLimit = 2.0,
                .centre = AngleToPlayer(x, y) + (r % w - w / 2)});
    }
    BurstBelow100(e, d >= 1, PerDifficulty(4, 4, 6, 8), 30);
  } else if (slot <= 28) {
    const int period = PerDifficulty(90, 70, 50, 30);
    if (age >= 60 && age <= 120 && age % period == 0) {
      ShootFan({.colour = TurnColour(e), .sheet = 2, .spawnCode = 1, .n = PerDifficulty(1, 3, 3, 5),
                .spread = 60, .x = x, .y = y, .speed = 1.0, .accel = 0.1, .speedLimit = 3.0,
                .centre = AngleToPlayer(x, y)});
    }
  } else if (Pausing(e) && age % 12 == 0) {
    const int n = d + 4;
    const double start = d < 2 ? 0.0 : age;
    ShootCircleFormation({.colour = 1, .sheet = 7, .n = n, .radius = 100, .x = x, .y = y,
                          .speed = 1.0, .accel = 0.1, .speedLimit = 2.5, .start = start,
                          .direction = static_cast<double>(270 - 4 * (2 * e.turnFlag - 1) * age)});
    ShootRing({.sheet = 7, .spawnCode = 1, .n = n, .x = x, .y = y, .speed = 1.0, .accel = 0.05,
               .speedLimit = 2.5, .base = static_cast<double>(age)});
  }
}

void FireSecondHalf(int slot, Enemy& e) {
  const int d = Diff(), s = DifficultyTier();
  const int age = e.age;
  const double x = e.x, y = e.y;
  if (slot <= 19) {
    if (age % 50 == 0) {
      const double speed = s == 1 ? 2.5 : 2.0;
      ShootFan({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 4, .spread = 360, .x = x, .y = y,
                .speed = speed, .speedLimit = speed});
    }
    BurstBelow100(e, s == 1, 4, 40);
  } else if (slot <= 21) {
    if (Pausing(e) && (age - static_cast<int>(e.seg1.age)) % 60 == 0) {
      // Colour by sprite, like the other fairies of this stage.
      ShootLayeredFan({.colour = TurnColour(e), .sheet = 2, .spawnCode = 1, .n = 2 * d + 4,
                       .spread = 90, .layers = d + 1, .x = x, .y = y, .speed = 1.0, .accel = 0.1,
                       .speedLimit = 2.5, .centre = AngleToPlayer(x, y), .layerDelay = 30.0});
    }
  } else if (slot <= 27) {
    if (age >= 60 && age % 30 == 0) {
      const int n = 2 * d + 1;
      // Colour 2, kBehaviourNone and parameter 0: what age mod 30 gives at these ages.
      ShootRing({.colour = 2, .sheet = 7, .spawnCode = 1, .n = n, .x = x, .y = y, .speed = 1.0,
                 .accel = 0.01, .speedLimit = 2.0, .base = static_cast<double>(age + 180)});
      ShootFan({.colour = 2, .sheet = 7, .spawnCode = 1, .n = n, .spread = 360, .x = x, .y = y,
                .speed = 1.0, .accel = 0.05, .speedLimit = 3.0,
                .centre = static_cast<double>(age)});
    }
  } else if (Pausing(e) && age % 10 == 0) {
    const double spin = e.turnFlag == 1 ? 1.0 : -1.0;
    const double swing = (age / 30) % 2 == 1 ? 1.0 : -1.0;
    ShootRing({.colour = slot == 28 ? 0 : 1, .sheet = 7, .spawnCode = 1, .n = 2 * d + 3, .x = x,
               .y = y, .speed = 1.0, .accel = 0.05, .speedLimit = 3.0,
               .base = 0.8 * age * spin * swing});
  }
}

}  // namespace

void FireStage2EnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1 || g_stageFrame >= kFiringEnd) return;
  if (g_stageFrame < kSecondHalf) {
    FireFirstHalf(slot, e);
  } else {
    FireSecondHalf(slot, e);
  }
}

// ---------------------------------------------------------------------------
// Conversations.

void GetStage2DialogueLine(DialogueLine& line) {
  struct Row {
    int side, leftPose, rightPose;
    bool boss;  // the boss's portrait shows
  };
  static constexpr Row kOpening[14] = {
      {0, 3, 0, false}, {0, 2, 0, false}, {1, 2, 0, true}, {0, 0, 0, true}, {1, 0, 6, true},
      {0, 0, 6, true},  {1, 0, 0, true},  {1, 0, 0, true}, {0, 3, 0, true}, {1, 6, 2, true},
      {0, 2, 2, true},  {0, 0, 2, true},  {1, 0, 3, true}, {0, 5, 3, true},
  };
  static constexpr Row kClosing[7] = {
      {0, 5, 7, true}, {1, 5, 7, true}, {0, 2, 7, true}, {1, 2, 7, true},
      {0, 3, 7, true}, {1, 3, 7, true}, {0, 2, 7, true},
  };
  const int number = g_talkActive;
  const Row* row = nullptr;
  if (number >= 1 && number <= 14) row = &kOpening[number - 1];
  if (number >= 20 && number <= 26) row = &kClosing[number - 20];

  if (number == 3) EnterBoss(2);
  if (number == 13) StartBossMusicOnce(kBossTheme);
  if (number == 16) EndOpeningConversation();
  if (number == 28) EndClosingConversation();
  if (row == nullptr) return;  // 15 and 27 slide the portraits out; the rest show nothing

  FillDialogueLine(line, row->side, row->leftPose, row->boss ? g_bosses[0].kind : 100,
                   row->rightPose, Stage2DialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

constexpr NonSpell kMidBossNonSpell = {1200, 1800, 0, 0, 1, false};
constexpr NonSpell kFirstOrbNonSpell = {2000, 2400, 5, 8, 0, false};
constexpr NonSpell kSecondOrbNonSpell = {2000, 2400, 7, 10, 0, false};
constexpr NonSpell kCardWait = {100, -1, 10, 15, 0, false};

// y drawn first, then x near the player, kept inside 124..324.
void WarpTowardPlayer() {
  const int ry = NextRandom();
  const int rx = NextRandom();
  MoveBoss(0, 0, ClampToInt(g_player.x + rx % 100 - 50, 124, 324), 125 + ry % 50, 0);
}

// An aimed fan that turns toward the player once more at age 30, and a wider one.
void AimedFanPair(double x, double y, bool withWide = true) {
  const double aim = AngleToPlayer(x, y);
  ShootFan({.colour = 4, .sheet = 2, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
            .behaviourParam = 720, .triggerAge = 30, .n = PerDifficulty(2, 3, 4, 5), .spread = 60,
            .x = x, .y = y, .speed = 3.0, .accel = 0.05, .speedLimit = 5.0, .centre = aim});
  if (withWide) {
    ShootFan({.colour = 2, .sheet = 2, .spawnCode = 1, .n = PerDifficulty(4, 4, 6, 6),
              .spread = 120, .x = x, .y = y, .speed = 3.0, .accel = 0.05, .speedLimit = 5.0,
              .centre = aim});
  }
}

// A full pool (slot 800) gives no orb.
Kept MakeOrb(double speedLimit, double accel, double angle) {
  return Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, 100, 0.0, 0.0, 0.0, accel,
                                 speedLimit, 2.0, angle));
}

void RingsFromOrb(const Kept& orb, int colour, double base) {
  const EnemyBullet* bullet = Live(orb);
  if (bullet == nullptr) return;
  // Whole pixels: the rings start where the orb is drawn.
  const double x = static_cast<int>(bullet->x), y = static_cast<int>(bullet->y);
  const int n = PerDifficulty(2, 2, 3, 3);
  ShootRing({.colour = colour, .sheet = 4, .spawnCode = 1, .n = n, .x = x, .y = y, .speed = 5.0,
             .accel = -0.1, .speedLimit = 2.0, .base = base});
  ShootRing({.colour = colour, .sheet = 4, .spawnCode = 1, .n = n, .x = x, .y = y, .speed = 4.0,
             .accel = -0.1, .speedLimit = 2.0, .base = base});
}

void AimedFanFromOrb(const Kept& orb) {
  const EnemyBullet* bullet = Live(orb);
  if (bullet == nullptr) return;
  AimedFanPair(static_cast<int>(bullet->x), static_cast<int>(bullet->y), false);
}

void RunMidBossPattern() {
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 60) {
    g_stage2.ringSize = PerDifficulty(1, 2, 4, 6);
    g_stage2.turnRate = PerDifficulty(4, 3, 3, 2);
  }
  if (t == 100) SetBossAnimation(0, 0, 60);
  if (t % 2 == 0 && ((t >= 100 && t <= 160) || (t >= 250 && t <= 310))) {
    const double base = t * g_stage2.turnRate;
    for (double speed : {7.0, 6.0, 5.0}) {
      ShootRing({.sheet = 4, .spawnCode = 1, .n = g_stage2.ringSize, .x = boss.x, .y = boss.y,
                 .speed = speed, .accel = -0.1, .speedLimit = 2.0, .base = base});
    }
  }
  if (t == 220) WarpBossToRandomSpot(74, 100);
  if (t == 370) WarpTowardPlayer();
  if (t == 400) SetBossAnimation(0, 0, 120);
  if (t >= 400 && t <= 520 && t % 10 == 0) AimedFanPair(boss.x, boss.y);
  if (t == 610) boss.phaseTimer = 99;
}

void EndMidBossInline() {
  Boss& boss = g_bosses[0];
  PlayEffect(kSeCardEnd);
  boss.remainingCards -= 1;
  if (boss.spellTimer != 0) SpawnItems(2, 0);
  EraseAllBullets();
  RunBossBreakRing(0, 0);
  g_spellCardActive = 0;
  g_bossPhase = 0;
  if (g_stageFrame > kResumeFrame) g_stageFrame = kResumeFrame;
}

void RunOrbPattern(bool second) {
  Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer;
  if (t == 30) {
    const double limit = second ? 75.0 : 50.0;
    const double accel = second ? 3.0 : 2.0;
    g_stage2.orbA = MakeOrb(limit, accel, 0.0);
    g_stage2.orbB = MakeOrb(limit, accel, 180.0);
    g_stage2.turnRate = PerDifficulty(4, 3, 3, 2);
  }
  if (t >= 120 && t <= 180 && t % 4 == 0) {
    RingsFromOrb(g_stage2.orbA, 0, t * g_stage2.turnRate);
    RingsFromOrb(g_stage2.orbB, 2, -t * g_stage2.turnRate);
  }
  if (t == 180) SetBossAnimation(0, 0, 120);
  if (t >= 180 && t <= 300 && t % 10 == 0) {
    if (second) {
      AimedFanFromOrb(g_stage2.orbA);
      AimedFanFromOrb(g_stage2.orbB);
      const double aim = AngleToPlayer(boss.x, boss.y);
      ShootFan({.colour = 2, .sheet = 2, .spawnCode = 1, .n = PerDifficulty(4, 4, 6, 6),
                .spread = 120, .x = boss.x, .y = boss.y, .speed = 3.0, .accel = 0.05,
                .speedLimit = 5.0, .centre = aim});
    } else {
      AimedFanPair(boss.x, boss.y);
    }
  }
  if (t == 360) WarpTowardPlayer();
  if (t == (second ? 460 : 450)) boss.phaseTimer = 99;
}

void RunMidBossPhase() {
  g_stage2.barSplit = 0;
  RunNonSpellStart(kMidBossNonSpell);
  RunMidBossPattern();
  if (NonSpellOver()) EndMidBossInline();
}

void RunOrbPhase(bool second) {
  g_stage2.barSplit = 20;
  if (second) {
    RunNonSpellPhase(kSecondOrbNonSpell, [] { RunOrbPattern(true); }, 4);
  } else {
    RunNonSpellPhase(kFirstOrbNonSpell, [] { RunOrbPattern(false); }, 3);
  }
}

}  // namespace

void RunStage2BossFight() {
  switch (g_bossPhase) {
    case 1:
      RunMidBossPhase();
      break;
    case 2:
      RunOrbPhase(false);
      break;
    case 3:
      RunOrbPhase(true);
      break;
    case 4:
      g_stage2.barSplit = 100;
      RunWaitThenLastCard(kCardWait, 5);
      break;
    case 5:
      EndBossFight();
      break;
    default:
      break;
  }
  DrawBossStatus(g_stage2.barSplit, g_spellBackground);
}

void RunStage2Timeline() {
  static constexpr StageParts kParts = {RunStage2Waves, FireStage2EnemyShots,
                                        GetStage2DialogueLine, RunStage2BossFight};
  RunStageSteps(kParts);
}

void ResetStage2State() {
  g_stage2 = Stage2State{};
  g_stage2.orbA.slot = g_stage2.orbB.slot = -1;
}
