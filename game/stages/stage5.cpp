// Stage 5: fairies and gunners over the sea of clouds, the mid-boss with her sweeping
// ellipses and bullet chains, and the boss's three non-spells and four cards.
#include "game/stages/stage5.h"

#include <initializer_list>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_dispatch.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kMidBossWindowFirst = 3281;
constexpr int kMidBossWindowLast = 4999;
constexpr int kResumeFrame = 4500;
constexpr int kSecondHalf = 5500;
constexpr int kStageTheme = 3;
constexpr int kBossTheme = 6;
constexpr int kBossKind = 6;
constexpr int kNoSlot = -1;

// The values the stage keeps between steps.
struct Stage5State {
  int barSplit;
  double angle;  // the non-spells' sweep angle
  double sign;   // and its sign
  int spacing;   // phase 5: degrees between its ellipses
  // Satellites of the gunners in slots 10-13 (and 1 in the second half), by slot parity:
  // slots 10/11 and 12/13 share the two pairs.
  Kept satellites[2][2];
  int aim[2];
};
Stage5State g_stage5;


// ---------------------------------------------------------------------------
// Waves. One row spawns one enemy; a pair is two rows.

void WaveLowSidePairs(int k) {
  SpawnEnemies({{.slot = k, .hp = 30, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 30,
                 .m2 = kMotionStraight, .t2 = 120, .sprite = 4, .special = 3, .x = 29,
                 .y = 450.0 - 50 * k, .s1 = 2, .s2 = 3, .a2 = 60.0 - 10 * k},
                {.slot = k + 5, .hp = 30, .m1 = kMotionStraight, .t1 = 30, .m2 = kMotionStraight,
                 .t2 = 120, .sprite = 5, .power = 2, .x = 420, .y = 450.0 - 50 * k, .s1 = 2,
                 .a1 = 180, .s2 = 3, .a2 = 120.0 + 10 * k}});
}
void WaveHighSidePairs(int k) {
  SpawnEnemies({{.slot = k, .hp = 30, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 90,
                 .m2 = kMotionStraight, .t2 = 180, .sprite = 5, .power = 3, .x = 29,
                 .y = 20.0 + 50 * k, .s1 = 1, .s2 = 3, .a2 = 310.0 + 10 * k},
                {.slot = k + 5, .hp = 30, .m1 = kMotionStraight, .t1 = 90, .m2 = kMotionStraight,
                 .t2 = 180, .sprite = 4, .special = 3, .x = 420, .y = 20.0 + 50 * k, .s1 = 1,
                 .a1 = 180, .s2 = 3, .a2 = 230.0 - 10 * k}});
}
void WaveFromRight(int j) {
  SpawnEnemy({.slot = 14 + j, .hp = 50, .turnFlag = j % 2 == 0 ? 1 : 0, .m1 = kMotionStraight,
              .t1 = 60, .m2 = kMotionStraight, .t2 = 60, .special = 3, .x = 448, .y = 100,
              .s1 = 2.0 + j, .a1 = 185.0 + 10 * j, .s2 = 3, .a2 = 110});
}
void WaveFromLeft(int j) {
  SpawnEnemy({.slot = 14 + j, .hp = 50, .turnFlag = j % 2 == 0 ? 0 : 1, .m1 = kMotionStraight,
              .t1 = 60, .m2 = kMotionStraight, .t2 = 60, .sprite = 2, .special = 2, .point = 1,
              .y = 100, .s1 = 2.0 + j, .a1 = 355.0 - 10 * j, .s2 = 3, .a2 = 70});
}
void WaveClimbingPairs(int k) {
  SpawnEnemies({{.slot = k, .hp = 30, .turnFlag = 1, .m2 = kMotionStraight, .sprite = 4,
                 .special = 5, .x = 29, .y = 150, .s2 = 3, .a2 = 30},
                {.slot = k + 5, .hp = 30, .m2 = kMotionStraight, .sprite = 4, .special = 5,
                 .x = 420, .y = 150, .s2 = 3, .a2 = 150}});
}
void WaveTurningDivers(int k) {
  SpawnEnemies({{.slot = 2 + k, .hp = 130, .m2 = kMotionQuarterTurn, .sprite = 4, .special = 3,
                 .x = 374, .s2 = 3, .a2 = 270},
                {.slot = 7 + k, .hp = 130, .m2 = kMotionHalfTurn, .sprite = 5, .power = 2, .x = 74,
                 .s2 = 3, .a2 = 270}});
}
void WaveTurningCrossers(int k) {
  SpawnEnemies({{.slot = 2 + k, .hp = 130, .m1 = kMotionQuarterTurn, .t1 = 60,
                 .m2 = kMotionHalfTurn, .t2 = 60, .sprite = 5, .power = 2, .y = 140, .s1 = 3,
                 .s2 = 3, .a2 = 300},
                {.slot = 7 + k, .hp = 130, .m1 = kMotionHalfTurn, .t1 = 60,
                 .m2 = kMotionQuarterTurn, .t2 = 60, .sprite = 4, .special = 3, .x = 450, .y = 140,
                 .s1 = 3, .a1 = 180, .s2 = 3, .a2 = 240}});
}

// The four gunners of frames 7000 to 7400: from both sides, standing 60 steps and more.
struct Gunners {
  int slots[4], flags[4], stands[4];
  int sprite, power, special, point;
  double y, a1[4];
};
void PutGunners(const Gunners& g) {
  static constexpr double kX[4] = {0, 0, 448, 448};
  static constexpr double kSpeed[4] = {3, 3.5, 3.5, 3};
  for (int i = 0; i < 4; ++i) {
    SpawnEnemy({.slot = g.slots[i], .hp = 500, .turnFlag = g.flags[i], .m1 = kMotionStraight,
                .t1 = 60, .t2 = g.stands[i], .sprite = g.sprite, .power = g.power,
                .special = g.special, .point = g.point, .x = kX[i], .y = g.y, .s1 = kSpeed[i],
                .a1 = g.a1[i]});
  }
}

void ShowEnemyMarks(int leftX, int y) {
  ShowEnemyMark(leftX, y);
  ShowEnemyMark(380, y);
}

}  // namespace

void RunStage5Waves() {
  const int frame = g_stageFrame;
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      break;
    case 30:
      for (int y = 450; y >= 250; y -= 50) ShowEnemyMarks(60, y);
      break;
    case 520: case 550: case 580:
      ShowStageTitleNotice(4, (frame - 520) / 30);
      break;
    case 710:
      SpawnEnemies({{.slot = 10, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 3, .power = 3, .special = 5,
                     .point = 1, .x = 448, .y = 240, .s1 = 3, .a1 = 150, .s2 = 2, .a2 = 270},
                    {.slot = 11, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 3, .power = 3, .special = 5,
                     .point = 1, .y = 240, .s1 = 3, .a1 = 30, .s2 = 2, .a2 = 270}});
      break;
    case 1180:
      SpawnEnemy({.slot = 12, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 120, .sprite = 3, .power = 3, .special = 5,
                  .point = 1, .x = 60, .s1 = 3, .a1 = 290, .s2 = 2, .a2 = 10});
      break;
    case 1460:
      SpawnEnemy({.slot = 13, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 120, .sprite = 3, .power = 3, .special = 5,
                  .point = 1, .x = 380, .s1 = 3, .a1 = 250, .s2 = 2, .a2 = 170});
      break;
    case 1650: case 1680:
      SpawnEnemies({{.slot = 14, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 120, .sprite = 1, .power = 2, .x = 448, .y = 100, .s1 = 2, .a1 = 190,
                     .s2 = 3, .a2 = 110},
                    {.slot = 16, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 120, .sprite = 1, .power = 2, .y = 100, .s1 = 2,
                     .a1 = 350, .s2 = 3, .a2 = 70}});
      break;
    case 1790:
      SpawnEnemies({{.slot = 12, .hp = 150, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 120, .sprite = 3, .power = 3, .special = 5,
                     .point = 1, .x = 60, .s1 = 3, .a1 = 290, .s2 = 2, .a2 = 10},
                    {.slot = 13, .hp = 150, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 120, .sprite = 3, .power = 3, .special = 5,
                     .point = 1, .x = 380, .s1 = 3, .a1 = 250, .s2 = 2, .a2 = 170}});
      break;
    case 2140:
      ShowEnemyMarks(60, 400);
      break;
    case 2200:
      SpawnEnemies({{.slot = 18, .hp = 50, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .sprite = 2, .special = 2, .point = 1, .y = 400, .s1 = 4, .a1 = 10,
                     .s2 = 2, .a2 = 80},
                    {.slot = 19, .hp = 50, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .sprite = 2, .special = 2, .point = 1, .x = 448, .y = 400, .s1 = 4,
                     .a1 = 170, .s2 = 2, .a2 = 100}});
      break;
    case 2260:
      SpawnEnemies({{.slot = 14, .hp = 50, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .special = 4, .y = 400, .s1 = 2, .s2 = 2, .a2 = 80},
                    {.slot = 15, .hp = 50, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .special = 4, .x = 448, .y = 400, .s1 = 2, .a1 = 180, .s2 = 2,
                     .a2 = 100}});
      break;
    case 2380:
      SpawnEnemies({{.slot = 20, .hp = 50, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 1, .power = 1, .y = 400, .s1 = 3,
                     .a1 = -10, .s2 = 2, .a2 = 80},
                    {.slot = 21, .hp = 50, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 1, .power = 2, .x = 448, .y = 400,
                     .s1 = 3, .a1 = 190, .s2 = 2, .a2 = 100}});
      break;
    case 2440:
      SpawnEnemies({{.slot = 16, .hp = 50, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .special = 4, .y = 400, .s1 = 4, .s2 = 2,
                     .a2 = 80},
                    {.slot = 17, .hp = 50, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .special = 4, .x = 448, .y = 400, .s1 = 4,
                     .a1 = 180, .s2 = 2, .a2 = 100}});
      break;
    case 2500:
      SpawnEnemies({{.slot = 22, .hp = 50, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .sprite = 2, .special = 2, .point = 1, .y = 400, .s1 = 3, .a1 = 10,
                     .s2 = 2, .a2 = 80},
                    {.slot = 23, .hp = 50, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 2, .special = 2, .point = 1,
                     .x = 448, .y = 400, .s1 = 3, .a1 = 170, .s2 = 2, .a2 = 100}});
      break;
    case 3079:
      InitBoss(0, 0, kBossKind, 100.0, -50.0);
      break;
    case 3080:
      SetBossMoveTarget(0, 224.0, 150.0, 90.0);
      break;
    case 3180:
      StartBossFight(1);
      break;
    case 4200:
      SpawnEnemies({{.slot = 18, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 100, .sprite = 1, .power = 3, .x = 448, .y = 180, .s1 = 3, .a1 = 150,
                     .s2 = 2, .a2 = 260},
                    {.slot = 19, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 100, .sprite = 1, .power = 3, .y = 180, .s1 = 3,
                     .a1 = 30, .s2 = 2, .a2 = 280}});
      break;
    case 4250:
      SpawnEnemies({{.slot = 20, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 100, .special = 5, .x = 448, .y = 240, .s1 = 3, .a1 = 150, .s2 = 2,
                     .a2 = 250},
                    {.slot = 21, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 100, .special = 5, .y = 240, .s1 = 3, .a1 = 30,
                     .s2 = 2, .a2 = 290}});
      break;
    case 4300:
      SpawnEnemies({{.slot = 22, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 100, .sprite = 2, .special = 3, .point = 1, .x = 448, .y = 180, .s1 = 3,
                     .a1 = 150, .s2 = 2, .a2 = 240},
                    {.slot = 23, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 100, .sprite = 2, .special = 3, .point = 1,
                     .y = 180, .s1 = 3, .a1 = 30, .s2 = 2, .a2 = 300}});
      break;
    case 4560:
      SpawnEnemies({{.slot = 24, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 3, .power = 3, .special = 5,
                     .point = 1, .x = 448, .y = 240, .s1 = 3, .a1 = 150, .s2 = 2, .a2 = 90},
                    {.slot = 25, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 3, .power = 3, .special = 5,
                     .point = 1, .y = 240, .s1 = 3, .a1 = 30, .s2 = 2, .a2 = 90}});
      break;
    case 4740:
      SpawnEnemies({{.slot = 26, .hp = 250, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 250, .sprite = 3, .power = 5, .special = 5, .point = 1, .x = 448,
                     .y = 240, .s1 = 3, .a1 = 150, .s2 = 2, .a2 = 270},
                    {.slot = 27, .hp = 250, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 250, .sprite = 3, .power = 5, .special = 5, .point = 1, .y = 240,
                     .s1 = 3, .a1 = 30, .s2 = 2, .a2 = 270}});
      break;
    case 4920:
      SpawnEnemies({{.slot = 24, .hp = 300, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 250, .sprite = 3, .power = 8, .special = 5,
                     .point = 1, .x = 288, .s1 = 2, .a1 = 270, .s2 = 2, .a2 = 240},
                    {.slot = 25, .hp = 300, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 250, .sprite = 3, .power = 8, .special = 5, .point = 1, .x = 160,
                     .s1 = 2, .a1 = 270, .s2 = 2, .a2 = 300}});
      break;
    case 5500:
      SpawnEnemy({.slot = 1, .hp = 500, .m1 = kMotionStraight, .t1 = 40, .m2 = kMotionStraight,
                  .t2 = 400, .sprite = 3, .power = 8, .special = 5, .x = 224, .s1 = 3, .a1 = 270,
                  .s2 = 3, .a2 = 270});
      break;
    case 6100:
      SpawnEnemies({{.slot = 18, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .sprite = 2, .special = 3, .point = 1, .y = 180, .s1 = 4, .a1 = 10,
                     .s2 = 2, .a2 = 70},
                    {.slot = 19, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .sprite = 2, .special = 3, .point = 1, .x = 448, .y = 180, .s1 = 4,
                     .a1 = 170, .s2 = 2, .a2 = 110}});
      break;
    case 6280:
      SpawnEnemies({{.slot = 20, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 1, .power = 3, .y = 180, .s1 = 3,
                     .a1 = -10, .s2 = 2, .a2 = 70},
                    {.slot = 21, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .sprite = 1, .power = 3, .x = 448, .y = 180,
                     .s1 = 3, .a1 = 190, .s2 = 2, .a2 = 110}});
      break;
    case 6400:
      SpawnEnemies({{.slot = 22, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                     .t2 = 180, .special = 5, .y = 180, .s1 = 3, .a1 = 10, .s2 = 2, .a2 = 70},
                    {.slot = 23, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                     .m2 = kMotionStraight, .t2 = 180, .special = 5, .x = 448, .y = 180, .s1 = 3,
                     .a1 = 170, .s2 = 2, .a2 = 110}});
      break;
    case 6700:
      SpawnEnemy({.slot = 24, .hp = 500, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60, .t2 = 90,
                  .sprite = 2, .point = 1, .y = 50, .s1 = 4, .a1 = 330});
      break;
    case 7000: case 7300:
      PutGunners({{14, 15, 17, 16}, {1, 1, 1, 1}, {60, 90, 120, 150}, 2, 0, 0,
                  frame == 7000 ? 1 : 2, frame == 7000 ? 100.0 : 50.0, {300, 320, 220, 240}});
      break;
    case 7340:
      ShowEnemyMarks(70, 350);
      break;
    case 7350:
      PutGunners({{24, 25, 12, 26}, {0, 1, 0, 1}, {60, 90, 120, 150}, 1, 3, 0, 0, 100.0,
                  {300, 350, 190, 240}});
      break;
    case 7400:
      PutGunners({{27, 28, 13, 29}, {1, 0, 1, 0}, {90, 150, 150, 90}, 0, 0, 5, 0, 350.0,
                  {330, 0, 180, 230}});
      break;
    case 7700:
      EraseAllBullets();
      AttractAllItems();
      InitBoss(0, 3, kBossKind, 300.0, 0.0);
      break;
    case 7710: {
      Boss& boss = g_bosses[0];
      boss.state = 3;
      boss.targetX = 224.0;
      boss.targetY = 150.0;
      boss.moveFrames = 50.0;
      break;
    }
    case 7760:
      g_talkActive = 1;
      break;
    case kBossFightStart:
      StartBossFight(3);
      break;
    case kClosingTalkStart:
      g_talkActive = 20;
      break;
    default:
      if (InRun(frame, 90, 130, 10)) {
        WaveLowSidePairs((frame - 90) / 10);
      } else if (InRun(frame, 790, 810, 10)) {
        WaveHighSidePairs((frame - 790) / 10);
      } else if (InRun(frame, 1060, 1150, 30)) {
        WaveFromRight((frame - 1060) / 30);
      } else if (InRun(frame, 1340, 1430, 30)) {
        WaveFromLeft((frame - 1340) / 30);
      } else if (InRun(frame, 5200, 5280, 20)) {
        WaveClimbingPairs((frame - 5200) / 20);
      } else if (InRun(frame, 5600, 5680, 20)) {
        WaveTurningDivers((frame - 5600) / 20);
      } else if (InRun(frame, 5740, 5820, 20)) {
        WaveTurningCrossers((frame - 5740) / 20);
      } else {
        RunStageEndMarks();
      }
      break;
  }
  RunMidBossTimeout(kMidBossWindowFirst, kMidBossWindowLast, 420.0);  // to the upper right
}

// ---------------------------------------------------------------------------
// Enemy firing.

namespace {

// Two satellites circling the enemy at radius 30; their slots go to the table.
void MakeSatellites(int slot) {
  for (int i = 0; i < 2; ++i) {
    g_stage5.satellites[slot % 2][i] =
        Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, slot, 0.0, 0.0, 0.0, 3.0, 30.0, 0.0,
                                180.0 * i));
  }
}
// The enemy's satellite i while it is still in flight (it vanishes with its enemy, and a
// full pool made none).
const EnemyBullet* Satellite(int slot, int i) { return Live(g_stage5.satellites[slot % 2][i]); }

// The aimed pair of layered fans of the fairies and the two rings after them. The rings
// take the fans' colour 4 and parameter 0 (kBehaviourAngleCode with 0 leaves their angle
// as it is).
void FanAndRings(const Enemy& e, double fanSpeed, int ringSheet, BulletBehaviour ringBehaviour,
                 double ringAccel, bool bothWays) {
  const int d = Diff();
  ShootLayeredFan({.colour = 4, .sheet = 2, .spawnCode = 1, .n = 4, .spread = 60, .layers = 2,
                   .x = e.x, .y = e.y, .speed = fanSpeed, .accel = -1.0, .speedLimit = 2.0,
                   .centre = Aim(e), .layerDelay = 20.0});
  ShootRing({.colour = 4, .sheet = ringSheet, .spawnCode = 1, .behaviour = ringBehaviour,
             .triggerAge = 60, .n = 2 * d + 18, .x = e.x, .y = e.y, .speed = 3.0,
             .accel = ringAccel, .speedLimit = 1.5, .base = 90.0});
  if (bothWays) {
    ShootRing({.colour = 4, .sheet = ringSheet, .spawnCode = 1, .behaviour = ringBehaviour,
               .triggerAge = 60, .n = 2 * d + 18, .x = e.x, .y = e.y, .speed = 3.0,
               .accel = ringAccel, .speedLimit = 1.5, .base = 270.0});
  }
}

void FireFairyFan(int slot, const Enemy& e) {
  const int d = Diff();
  const int t = e.age + 10 * (slot % 5 - 4);
  if (t < FirstEnd(e) || t % 60 != 0) return;
  ShootLayeredFan({.colour = 1 - e.sprite % 2, .sheet = 12, .spawnCode = 1,
                   .n = 2 * (d - DifficultyTier()) + 3, .spread = 120,
                   .layers = DifficultyTier() + 2, .x = e.x, .y = e.y, .speed = 1.0, .accel = 1.0,
                   .speedLimit = 2.0, .centre = Aim(e), .layerDelay = 40.0});
}

// The stream of widening two-bullet fans along the stored aim.
void StreamFan(int slot, const Enemy& e, int spread) {
  ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .n = 2, .spread = spread, .layers = 2,
                   .x = e.x, .y = e.y, .speed = 1.0, .accel = 2.0, .speedLimit = 3.0,
                   .centre = static_cast<double>(g_stage5.aim[slot % 2]), .layerDelay = 30.0});
}

void FireGunner(int slot, const Enemy& e, bool closing) {
  const int d = Diff(), age = e.age, m2 = FirstEnd(e), m4 = SecondStart(e);
  if (age == 0) MakeSatellites(slot);
  // The aim away from the player, in whole degrees.
  if (age == m2) g_stage5.aim[slot % 2] = static_cast<int>(Aim(e) + 180.0);
  if (!closing) {
    if (age == m4 - 30) {
      for (int i = 0; i < 2; ++i) {
        const EnemyBullet* sat = Satellite(slot, i);
        if (sat == nullptr) continue;
        ShootLayeredFan({.colour = 4, .sheet = 2, .spawnCode = 1, .n = 2 * DifficultyTier() + 7,
                         .spread = d == 0 ? 120 : 90, .layers = DifficultyTier() + 3,
                         .x = WholePixel(sat->x), .y = WholePixel(sat->y), .speed = 4.0,
                         .accel = -1.0, .speedLimit = 2.0, .centre = Aim(e) + (i == 0 ? -3.0 : 3.0),
                         .layerDelay = 20.0});
      }
    }
    if (age >= m2 && age <= m4 && (age - m2) % (6 - d) == 0) StreamFan(slot, e, 5 * (age - m2));
    return;
  }
  if (age == m2 + 30) {
    const double aim = g_stage5.aim[slot % 2] + 180.0;
    for (int i = 0; i < 2; ++i) {
      const EnemyBullet* sat = Satellite(slot, i);
      if (sat == nullptr) continue;
      ShootLayeredFan({.colour = 4, .sheet = 2, .spawnCode = 1, .n = 2 * DifficultyTier() + 5,
                       .spread = 40, .layers = 3, .x = WholePixel(sat->x), .y = WholePixel(sat->y),
                       .speed = DifficultyTier() + 4.0, .accel = -1.0, .speedLimit = 2.0,
                       .centre = aim + (i == 0 ? 0.0 : 5.0 * (2 * e.turnFlag - 1)),
                       .layerDelay = 20.0});
    }
  }
  if (age >= m2 && age <= m2 + 30) StreamFan(slot, e, 22 * (age - m2));
}

void FireSpinningFanRings(const Enemy& e) {
  const int d = Diff(), age = e.age, m2 = FirstEnd(e);
  if (age < m2 || age > SecondStart(e) || (age - m2) % 30 != 0) return;
  // age / 2 is a real division: a double argument, as every such division in the scripts.
  const double base = (2 * e.turnFlag - 1) * (age / 2.0);
  for (double accel : {0.02, 0.05}) {
    ShootRingOfFans({.colour = 3, .sheet = 4, .spawnCode = 1, .n = d + 4, .m = 6,
                     .spread = 5 * (DifficultyTier() + 6), .x = e.x, .y = e.y, .speed = 1.0,
                     .accel = accel, .speedLimit = 2.0, .base = base});
  }
}

void FireFirstHalf(int slot, const Enemy& e) {
  if (slot <= 9) {
    FireFairyFan(slot, e);
  } else if (slot <= 13) {
    FireGunner(slot, e, slot >= 12);
  } else if (slot <= 23) {
    if (e.age == FirstEnd(e) || e.age == SecondStart(e)) {
      if (slot <= 17) {
        FanAndRings(e, 6.0, 0, kBehaviourStopTurning, -0.05, false);
      } else {
        FanAndRings(e, 4.0, 7, kBehaviourAngleCode, -0.05, true);
      }
    }
  } else if (slot <= 27) {
    FireSpinningFanRings(e);
  }
}

void FireSatelliteStreams(int slot, const Enemy& e) {
  const int d = Diff(), age = e.age, m2 = FirstEnd(e);
  if (age == 0) MakeSatellites(slot);
  if (age < m2 || age > SecondStart(e)) return;
  const int k = age - m2;
  if (k % 90 < 30 && k % (6 - d + DifficultyTier()) == 0) {
    for (int i = 0; i < 2; ++i) {
      const EnemyBullet* sat = Satellite(slot, i);
      if (sat == nullptr) continue;
      ShootLayeredFan({.colour = 2, .sheet = 7, .spawnCode = 1, .n = 5, .spread = 40,
                       .layers = DifficultyTier() + 3, .x = WholePixel(sat->x),
                       .y = WholePixel(sat->y), .speed = 3.0, .accel = -1.0, .speedLimit = 2.0,
                       .centre = i == 0 ? 7.0 * age : 180.0 - 7.0 * age, .layerDelay = 20.0});
    }
  }
  if (k % 90 == 0) {
    const int n = 2 * DifficultyTier() + 7, spread = d == 0 ? 120 : 90;
    ShootLayeredFan({.colour = 4, .sheet = 2, .spawnCode = 1, .n = n, .spread = spread,
                     .layers = d + 1, .x = e.x, .y = e.y, .speed = 0.5, .accel = 1.0,
                     .speedLimit = DifficultyTier() + 2.0, .centre = Aim(e), .layerDelay = 30.0});
    ShootLayeredFan({.colour = 4, .sheet = 2, .spawnCode = 1, .n = n, .spread = spread,
                     .layers = d + 1, .x = e.x, .y = e.y, .speed = 1.0, .accel = 1.0,
                     .speedLimit = DifficultyTier() + 2.5, .centre = Aim(e), .layerDelay = 30.0});
  }
}

void BurstWhenWeak(Enemy& e) {
  if (e.hp >= 100) return;
  const int d = Diff();
  const int turn = 1 - 2 * (e.sprite % 2);
  const double aim = Aim(e);
  const int r = NextRandom();
  ShootRing({.colour = 1 - e.sprite % 2, .spawnCode = 11, .n = 2 * d + 2, .x = e.x, .y = e.y,
             .speed = 2.5, .accel = -0.05, .speedLimit = 1.5 + 0.5 * DifficultyTier(),
             .base = aim + turn * (10 + r % 30)});
  e.hp = 0;
}

// The cross of lasers through the enemy (and, for the larger gunners, through the
// player), and a slow four-way burst as they open and once more 60 steps later.
void FireCross(const Enemy& e, bool throughPlayer) {
  const int age = e.age, m4 = SecondStart(e);
  if (age != m4 && age != m4 + 60) return;
  if (age == m4) {
    SpawnLaser(3, 10, e.y, 430, e.y, 0.0, 500, 7, 60, 90, 2);
    SpawnLaser(3, e.x, 0, e.x, 500, 0.0, 700, 7, 60, 90, 2);
    if (throughPlayer) {
      SpawnLaser(3, 10, g_player.y, 430, g_player.y, 0.0, 500, 7, 60, 90, 2);
      SpawnLaser(3, g_player.x, 0, g_player.x, 500, 0.0, 700, 7, 60, 90, 2);
    }
  }
  ShootLayeredFan({.colour = 2, .sheet = 13, .spawnCode = 11, .n = 4, .spread = 360, .layers = 1,
                   .x = e.x, .y = e.y, .accel = 0.05, .speedLimit = 2.0, .centre = 270.0,
                   .layerDelay = 60.0});
}

// Slot 0 fires nothing in the second half.
void FireSecondHalf(int slot, Enemy& e) {
  if (slot == 1) {
    FireSatelliteStreams(slot, e);
  } else if (slot >= 2 && slot <= 11) {
    BurstWhenWeak(e);
  } else if (slot == 12 || slot == 13) {
    FireCross(e, true);
  } else if ((slot >= 14 && slot <= 17) || slot >= 24) {
    FireCross(e, false);
  } else if (slot >= 18) {
    if (e.age == FirstEnd(e) || e.age == SecondStart(e)) {
      FanAndRings(e, 6.0, 7, kBehaviourAngleCode, -0.1, true);
    }
  }
}

}  // namespace

void FireStage5EnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1) return;
  if (g_stageFrame < kSecondHalf) {
    FireFirstHalf(slot, e);
  } else {
    FireSecondHalf(slot, e);
  }
}

// ---------------------------------------------------------------------------
// Conversations.

void GetStage5DialogueLine(DialogueLine& line) {
  struct Row {
    int side, leftPose, rightPose;
  };
  static constexpr Row kOpening[10] = {
      {0, 2, 0}, {1, 2, 0}, {0, 0, 0}, {1, 0, 0}, {0, 5, 0},
      {1, 5, 2}, {1, 5, 0}, {1, 5, 0}, {0, 3, 0}, {1, 3, 5},
  };
  static constexpr Row kClosing[6] = {
      {1, 5, 7}, {1, 5, 7}, {0, 0, 7}, {1, 0, 3}, {0, 2, 3}, {1, 2, 1},
  };
  const int number = g_talkActive;
  const Row* row = nullptr;
  if (number >= 1 && number <= 10) row = &kOpening[number - 1];
  if (number >= 20 && number <= 25) row = &kClosing[number - 20];

  // The boss has flown in by itself (frame 7710) with her card count from frame 7700:
  // only her name shows.
  if (number == 2) BringBossBack();
  if (number == 10) StartBossMusicOnce(kBossTheme);
  if (number == 12) EndOpeningConversation();
  if (number == 27) EndClosingConversation();
  if (row == nullptr) return;  // 11, 26 slide the portraits out; 13-19 show nothing

  FillDialogueLine(line, row->side, row->leftPose, g_bosses[0].kind, row->rightPose,
                   Stage5DialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

constexpr NonSpell kMidBossNonSpell = {1500, 1800, 0, 0, 2, true};
constexpr NonSpell kFirstNonSpell = {2000, 2100, 8, 12, 0, true};
constexpr NonSpell kSecondNonSpell = {1800, 2100, 12, 12, 0, true};
constexpr NonSpell kThirdNonSpell = {2100, 2400, 12, 15, 0, true};
constexpr NonSpell kCardWait = {100, -1, 16, 15, 0, true};

// A move to a random point near the top centre; x is drawn first.
void RandomMove(bool midBoss) {
  const int r1 = NextRandom();
  const int r2 = NextRandom();
  if (midBoss) {
    SetBossMoveTarget(0, 174 + r1 % 100, 125 + r2 % 50, 50.0);
  } else {
    SetBossMoveTarget(0, 174 + 10 * (r1 % 10), 125 + 10 * (r2 % 5), 50.0);
  }
}

void TwoEllipses(int n, double accel, double flatness, double start, double offset) {
  const Boss& boss = g_bosses[0];
  ShootEllipseRing({.colour = 1, .sheet = 1, .n = n, .radius = 100, .x = boss.x, .y = boss.y,
                    .accel = accel, .speedLimit = 2.0, .start = start, .tilt = 30.0,
                    .flatness = flatness, .offset = offset});
  ShootEllipseRing({.colour = 4, .sheet = 1, .n = n, .radius = 100, .x = boss.x, .y = boss.y,
                    .accel = accel, .speedLimit = 2.0, .start = start, .tilt = 150.0,
                    .flatness = flatness, .offset = offset});
}

void Chain(int n, int headParam, double limit, double angle) {
  const Boss& boss = g_bosses[0];
  ShootBulletChain({.colour = 3, .behaviourParam = headParam, .n = n, .x = boss.x, .y = boss.y,
                    .speed = 1.0, .accel = 0.03, .speedLimit = limit, .turnRate = 2.0,
                    .angle = angle});
}

// The split rings of kBehaviourSplit: they part in two 15 steps out.
void SplitRing(int n, bool fan) {
  const Boss& boss = g_bosses[0];
  const double aim = AngleToPlayer(boss.x, boss.y);
  if (fan) {
    ShootFan({.colour = 1, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourSplit,
              .behaviourParam = 152, .n = n, .spread = 360, .x = boss.x, .y = boss.y, .speed = 2.0,
              .accel = 0.01, .speedLimit = 2.0, .centre = aim});
  } else {
    ShootRing({.colour = 1, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourSplit,
               .behaviourParam = 152, .n = n, .x = boss.x, .y = boss.y, .speed = 2.0, .accel = 0.01,
               .speedLimit = 2.0, .base = aim});
  }
}

void MidBossPattern(int t) {
  const int d = Diff();
  Stage5State& s = g_stage5;
  if (t == 60) {
    s.sign = 1.0;
    s.angle = 0.0;
  }
  if (t == 120) s.sign = -s.sign;
  if (t >= 100 && t <= 140 && t % 6 == 0) {
    TwoEllipses(2 * d + 18, 0.01 * (DifficultyTier() + 1), 0.5, 0.0, s.angle * s.sign);
    s.angle += 4.0;
  }
  if (t == 190) {
    if (s.sign == 1.0) {
      const double limit = 4 + d % 2;
      if (DifficultyTier() == 0) {
        for (int i = 0; i < 2; ++i) Chain(10, 10 * d + 75, limit, 60.0 * (i + 1));
      } else {
        for (int i = 0; i < 4; ++i) Chain(10, 10 * d + 75, limit, 60.0 * i);
      }
    }
    RandomMove(true);
  }
  if (t == 250) g_bosses[0].phaseTimer = 99;
}

void FirstPattern(int t) {
  const int d = Diff();
  Stage5State& s = g_stage5;
  if (t == 60) {
    s.sign = 1.0;
    s.angle = 0.0;
  }
  if (t == 100) SplitRing(3 * d + 9, false);
  if (t == 160) {
    TwoEllipses(5 * d + 20, 0.01, 0.5, s.angle, 180.0);
    s.angle += 3.0;
  }
  if (t == 290) RandomMove(false);
  if (t == 350) {
    s.sign = -s.sign;
    g_bosses[0].phaseTimer = 99;
  }
}

void ToCentre() {
  SetBossMoveTarget(0, 224.0, 150.0, 50.0);
  g_stage5.sign = 1.0;
  g_stage5.angle = 0.0;
}

void SecondPattern(int t) {
  const int d = Diff();
  Stage5State& s = g_stage5;
  if (t == 2) ToCentre();
  if (t >= 100 && t <= 160 && t % 6 == 0) {
    TwoEllipses(5 * d + 10, 0.01, 0.5, s.sign * s.angle, s.angle);
    s.angle += 21.0;
  }
  if (t >= 190 && t <= 220 && t % 10 == 0) Chain(2 * d + 8, 60, 4.0, 60.0 * (t - 190));
  if (t == 250) RandomMove(false);
  if (t == 310) {
    s.sign = -s.sign;
    s.angle = 180.0;
    g_bosses[0].phaseTimer = 99;
  }
}

void ThirdPattern(int t) {
  const int d = Diff();
  Stage5State& s = g_stage5;
  if (t == 2) {
    ToCentre();
    s.spacing = 3 * d + 9;
  }
  if (t == 100) SplitRing(2 * d + 8, false);
  if (t == 130) SplitRing(2 * d + 8, true);
  if (t == 190 || t == 200 || t == 210) {
    const Boss& boss = g_bosses[0];
    for (int i = -2; i <= 2; ++i) {
      ShootEllipseRing({.colour = (t - 190) / 10, .sheet = 1, .behaviour = kBehaviourTurnAndSpeedUp,
                        .behaviourParam = i * s.spacing, .triggerAge = 240 - t, .n = 10,
                        .radius = 100, .x = boss.x, .y = boss.y, .speedLimit = 5.0,
                        .start = 90.0 + i * s.spacing, .tilt = 3.0 * t - 600, .flatness = 0.3,
                        .offset = 180.0});
    }
  }
  if (t == 350) RandomMove(false);
  if (t == 410) {
    s.sign = -s.sign;
    s.angle = 180.0;
    g_bosses[0].phaseTimer = 99;
  }
}

// A phase of a non-spell and then its card. The non-spell runs first and ends, on the
// same step, once the boss is down to 1 HP or its time is at 1; the card's first step
// follows at once.
void RunNonSpellThenCard(const NonSpell& values, void (*pattern)(int), int cardSlot) {
  g_stage5.barSplit = 20;
  Boss& boss = g_bosses[0];
  if (g_spellBackground == 0) {
    RunNonSpellStart(values);
    pattern(boss.phaseTimer);
    if (boss.hp <= 1 || boss.spellTimer == 1) StartCardAfterNonSpell();
  }
  if (g_spellBackground == 1) RunBossAttack(GetSpellCardId(Diff(), cardSlot));
}

}  // namespace

void RunStage5BossFight() {
  switch (g_bossPhase) {
    case 1:
      RunNonSpellThenCard(kMidBossNonSpell, MidBossPattern, 15);
      break;
    case 2:
      EndMidBoss(kResumeFrame);
      RunBossBreakRing(0, 0);
      break;
    case 3:
      RunNonSpellThenCard(kFirstNonSpell, FirstPattern, 16);
      break;
    case 4:
      RunNonSpellThenCard(kSecondNonSpell, SecondPattern, 17);
      break;
    case 5:
      RunNonSpellThenCard(kThirdNonSpell, ThirdPattern, 18);
      break;
    case 6:
      g_stage5.barSplit = 100;
      RunWaitThenLastCard(kCardWait, 19);
      break;
    case 7:
      g_bosses[0].state = 0;
      EndBossFight();
      break;
    default:
      break;
  }
  DrawBossStatus(g_stage5.barSplit, g_spellBackground);
}

void RunStage5Timeline() {
  static constexpr StageParts kParts = {RunStage5Waves, FireStage5EnemyShots,
                                        GetStage5DialogueLine, RunStage5BossFight};
  RunStageSteps(kParts);
}

void ResetStage5State() {
  g_stage5 = Stage5State{};
  for (auto& pair : g_stage5.satellites) pair[0] = pair[1] = Kept{kNoSlot, 0};
}
