// Stage 4: waves over the mansion's grounds, the three sisters met halfway (two
// conversations around one shared card), more waves, and the mansion's mistress with three
// non-spells and four cards.
#include "game/stages/stage4.h"

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

constexpr int kStageTheme = 0;
constexpr int kBossTheme = 11;
constexpr int kStageCell = 3;       // cell k of the title, number and place sheets is stage k + 1
constexpr int kSecondHalf = 5400;   // the firing table changes here
constexpr int kTrioTalkEnd = 4200;  // the trio fight starts on the next step
constexpr int kTrioFightEnd = 4300;
constexpr int kTrioLeaveTalkEnd = 4500;
constexpr int kBossKind = 5;
constexpr int kBossCards = 3;
constexpr int kOrbitBullets = 6;

// The values the stage keeps between steps.
struct Stage4State {
  int barSplit;
  // The orbiting bullets of the orbit enemies; one table for every such enemy, so a second
  // one alive at the same time takes the first one's bullets over.
  Kept orbit[kOrbitBullets];
  // The boss's non-spells: direction sign, running angle, count and the two orbs.
  double sign, angle, count;
  Kept bossOrbs[2];
};
Stage4State g_stage4;


// ---------------------------------------------------------------------------
// Waves.

constexpr Drops kSideDrops = {8, 5, 1};

void SpawnSide(int slot, int hp, int turnFlag, double x, double y, double speed, double angle) {
  SpawnEnemy({.slot = slot, .hp = hp, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 60,
              .m2 = kMotionStraight, .t2 = 300, .sprite = 3, .x = x, .y = y, .s1 = speed,
              .a1 = angle, .s2 = 2.0, .a2 = 270.0}, kSideDrops);
}

// The small enemies aimed at the player as they enter, then turning away.
void SpawnAimed(int slot, int hp, int turnFlag, double x, int sprite, Drops drops, double away) {
  SpawnEnemy({.slot = slot, .hp = hp, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 90,
              .m2 = kMotionStraight, .t2 = 91, .sprite = sprite, .x = x, .y = 40.0, .s1 = 3.0,
              .a1 = 720.0, .s2 = 3.0, .a2 = away}, drops);
}

// The enemies crossing the field slowly, from the left (toward -20) or the right (200).
void SpawnCrossing(int slot, int hp, int turnFlag, bool fromLeft) {
  SpawnEnemy({.slot = slot, .hp = hp, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 600,
              .m2 = kMotionStraight, .t2 = 600, .sprite = 2, .special = 3, .point = 1,
              .x = fromLeft ? 10.0 : 440.0, .y = 120.0, .s1 = 3.0, .a1 = fromLeft ? -20.0 : 200.0,
              .s2 = 2.0, .a2 = 90.0});
}

void SpawnSlow(int slot, int turnFlag, double x, double angle, int sprite, Drops drops) {
  SpawnEnemy({.slot = slot, .hp = 300, .turnFlag = turnFlag, .m1 = kMotionWeave, .t1 = 900,
              .m2 = kMotionStraight, .t2 = 900, .sprite = sprite, .x = x, .y = 90.0, .s1 = 1.0,
              .a1 = angle, .s2 = 3.0, .a2 = 60.0}, drops);
}

void SpawnOrbiter(int slot, int turnFlag, double x, double angle) {
  SpawnEnemy({.slot = slot, .hp = 200, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 300,
              .t2 = 300, .sprite = 3, .power = 5, .special = 8, .point = 1, .x = x, .y = 20.0,
              .s1 = 2.0, .a1 = angle});
}

// A column of four in slots first..first + 3, alternating the two kinds down the column.
void SpawnColumnMember(int first, int k, double leftX, double rightX) {
  static constexpr double kY[4] = {80, 130, 180, 230};
  const bool even = k % 2 == 0;
  const Drops drops = even ? Drops{.special = 3} : Drops{.power = 3};
  SpawnEnemy({.slot = first + k, .hp = 60, .turnFlag = 1, .t1 = 90, .m2 = kMotionWeave, .t2 = 91,
              .sprite = even ? 6 : 7, .x = even ? leftX : rightX, .y = kY[k], .s1 = 3.0,
              .a1 = 270.0, .s2 = 2.0, .a2 = even ? 200.0 : 340.0}, drops);
}

void SetAllBossStates(int state) {
  for (int slot = 0; slot < kBossSlots; ++slot) g_bosses[slot].state = state;
}

void MakeTrio() {
  static constexpr int kKinds[3] = {6, 5, 4};
  for (int slot = 0; slot < kBossSlots; ++slot) InitBoss(slot, 0, kKinds[slot], 224.0, -50.0);
  SetAllBossStates(4);  // hidden until they show themselves after the fight
}

void MoveTrioIn() {
  static constexpr double kTargets[3][2] = {{224, 100}, {274, 150}, {174, 150}};
  for (int slot = 0; slot < kBossSlots; ++slot) {
    g_bosses[slot].targetX = kTargets[slot][0];
    g_bosses[slot].targetY = kTargets[slot][1];
    g_bosses[slot].moveFrames = 50.0;
  }
}

void ShowTrio() {
  SetAllBossStates(1);
  for (int slot = 0; slot < kBossSlots; ++slot) RunBossBreakRing(0, slot);
  AttractAllItems();
  g_talkActive = 7;
}

// The frames with one or two fixed events; the runs of equally spaced spawns follow.
// Runs the frame's event; false when the frame has none of these.
bool RunFixedFrame(int frame) {
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      return true;
    case 60:
      SpawnEnemy({.slot = 0, .hp = 400, .turnFlag = 1, .t1 = 60, .m2 = kMotionWeave, .t2 = 300,
                  .sprite = 7, .power = 5, .x = 224.0, .y = 175.0, .s1 = 3.0, .a1 = 270.0,
                  .s2 = 1.0, .a2 = 90.0});
      SpawnEnemy({.slot = 1, .hp = 400, .t1 = 60, .m2 = kMotionWeave, .t2 = 300, .sprite = 6,
                  .special = 5, .x = 274.0, .y = 120.0, .s1 = 3.0, .a1 = 270.0, .s2 = 1.0,
                  .a2 = 310.0});
      SpawnEnemy({.slot = 2, .hp = 400, .t1 = 60, .m2 = kMotionWeave, .t2 = 300, .sprite = 6,
                  .special = 5, .x = 174.0, .y = 120.0, .s1 = 3.0, .a1 = 270.0, .s2 = 1.0,
                  .a2 = 230.0});
      return true;
    case 630: case 660: case 690:
      ShowStageTitleNotice(kStageCell, (frame - 630) / 30);
      return true;
    case 820:
      SpawnSide(3, 250, 1, 448.0, 240.0, 3.0, 150.0);
      return true;
    case 980:
      SpawnSide(26, 250, 1, 0.0, 240.0, 3.0, 30.0);
      return true;
    case 1140:
      SpawnSide(27, 300, 0, 448.0, 150.0, 4.0, 170.0);
      return true;
    case 2300:
      SpawnOrbiter(24, 0, 440.0, 200.0);
      return true;
    case 2450:
      SpawnOrbiter(25, 1, 10.0, 340.0);
      return true;
    case 2700:
      SpawnEnemy({.slot = 28, .hp = 500, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 240, .sprite = 3, .power = 10, .special = 8,
                  .point = 1, .x = 224.0, .s1 = 3.0, .a1 = 270.0, .s2 = 3.0, .a2 = 90.0});
      return true;
    case 3050:
      SpawnEnemy({.slot = 24, .hp = 200, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionHalfTurn,
                  .t2 = 100, .sprite = 3, .power = 5, .special = 8, .point = 1, .x = 174.0,
                  .s1 = 2.0, .a1 = 330.0, .s2 = 2.0, .a2 = 330.0});
      SpawnEnemy({.slot = 25, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 100,
                  .m2 = kMotionHalfTurn, .t2 = 100, .sprite = 3, .power = 5, .special = 8,
                  .point = 1, .x = 274.0, .s1 = 2.0, .a1 = 210.0, .s2 = 2.0, .a2 = 210.0});
      return true;
    case 3200:
      MakeTrio();
      return true;
    case 3250:
      MoveTrioIn();
      return true;
    case 3330:
      EndWaves();  // the first trio conversation, line 1
      return true;
    case kTrioTalkEnd + 1:
      StartBossFight(1);
      return true;
    case kTrioFightEnd + 1:
      ShowTrio();
      return true;
    case 4900:
      SetAllBossStates(0);
      SpawnSide(3, 200, 0, 448.0, 240.0, 3.0, 150.0);
      SpawnSide(26, 200, 1, 0.0, 240.0, 3.0, 30.0);
      return true;
    case 5400:
      SpawnEnemy({.slot = 6, .hp = 350, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                  .t2 = 61, .sprite = 3, .power = 8, .special = 3, .point = 1, .x = 274.0,
                  .s1 = 3.0, .a1 = 270.0, .s2 = 1.0, .a2 = 180.0});
      return true;
    case 5600:
      SpawnEnemy({.slot = 7, .hp = 350, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 60, .sprite = 3, .power = 8, .special = 3,
                  .point = 1, .x = 174.0, .s1 = 3.0, .a1 = 270.0, .s2 = 1.0});
      return true;
    case 6000:
      SpawnEnemy({.slot = 20, .hp = 200, .m1 = kMotionWeave, .t1 = 60, .m2 = kMotionWideWeave,
                  .t2 = 250, .sprite = 6, .special = 5, .x = 448.0, .y = 40.0, .s1 = 3.0,
                  .a1 = 210.0, .s2 = 2.0, .a2 = 270.0});
      SpawnEnemy({.slot = 21, .hp = 200, .turnFlag = 1, .m1 = kMotionWeave, .t1 = 60,
                  .m2 = kMotionWideWeave, .t2 = 250, .sprite = 6, .special = 5, .y = 40.0,
                  .s1 = 3.0, .a1 = -30.0, .s2 = 2.0, .a2 = 270.0});
      SpawnEnemy({.slot = 22, .hp = 200, .m1 = kMotionWeave, .t1 = 60, .m2 = kMotionWideWeave,
                  .t2 = 250, .sprite = 7, .power = 5, .x = 448.0, .y = 340.0, .s1 = 3.0,
                  .a1 = 150.0, .s2 = 2.0, .a2 = 270.0});
      SpawnEnemy({.slot = 23, .hp = 200, .turnFlag = 1, .m1 = kMotionWeave, .t1 = 60,
                  .m2 = kMotionWideWeave, .t2 = 250, .sprite = 7, .power = 5, .y = 340.0, .s1 = 3.0,
                  .a1 = 30.0, .s2 = 2.0, .a2 = 270.0});
      return true;
    case 6350:
      SpawnEnemy({.slot = 0, .hp = 200, .m1 = kMotionWeave, .t1 = 60, .m2 = kMotionWeave, .t2 = 250,
                  .sprite = 6, .special = 3, .x = 10.0, .y = 150.0, .s1 = 2.0, .s2 = 1.0,
                  .a2 = 310.0});
      SpawnEnemy({.slot = 1, .hp = 200, .turnFlag = 1, .m1 = kMotionWeave, .t1 = 60,
                  .m2 = kMotionWeave, .t2 = 250, .sprite = 6, .special = 3, .x = 440.0, .y = 150.0,
                  .s1 = 2.0, .a1 = 180.0, .s2 = 1.0, .a2 = 230.0});
      return true;
    case 6410:
      SpawnEnemy({.slot = 2, .hp = 300, .m1 = kMotionWeave, .t1 = 60, .m2 = kMotionWeave, .t2 = 190,
                  .sprite = 7, .power = 8, .x = 224.0, .s1 = 2.0, .a1 = 270.0, .s2 = 1.0,
                  .a2 = 310.0});
      SpawnEnemy({.slot = 3, .hp = 300, .turnFlag = 1, .m1 = kMotionWeave, .t1 = 60,
                  .m2 = kMotionWideWeave, .t2 = 190, .sprite = 7, .power = 8, .x = 224.0, .s1 = 2.0,
                  .a1 = 270.0, .s2 = 1.0, .a2 = 230.0});
      return true;
    case 6900:
      SpawnEnemy({.slot = 29, .hp = 750, .m1 = kMotionStraight, .t1 = 50, .m2 = kMotionStraight,
                  .t2 = 500, .sprite = 3, .power = 10, .special = 10, .point = 3, .x = 224.0,
                  .s1 = 3.7, .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
      return true;
    case 6960:
      SpawnEnemy({.slot = 4, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 40,
                  .m2 = kMotionStraight, .t2 = 500, .sprite = 2, .special = 3, .point = 2,
                  .x = 224.0, .s1 = 2.7, .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
      SpawnEnemy({.slot = 5, .hp = 100, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionStraight,
                  .t2 = 500, .sprite = 2, .special = 3, .point = 2, .x = 124.0, .s1 = 2.7,
                  .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
      SpawnEnemy({.slot = 28, .hp = 100, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 500, .sprite = 2, .special = 3, .point = 2,
                  .x = 324.0, .s1 = 2.7, .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
      return true;
    case 7700:
      EraseAllBullets();
      AttractAllItems();
      g_talkActive = 20;
      return true;
    case kBossFightStart:
      StartBossFight(3);
      return true;
    case kClosingTalkStart:
      g_talkActive = 41;
      return true;
    default:
      return false;
  }
}

// The runs of equally spaced spawns; 4560 also has a large enemy.
void RunSpacedFrame(int frame) {
  if (frame == 4560) {
    SpawnEnemy({.slot = 27, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                .m2 = kMotionStraight, .t2 = 200, .sprite = 3, .x = 224.0, .s1 = 3.0, .a1 = 270.0,
                .s2 = 3.0, .a2 = 90.0}, kSideDrops);
  }
  if (InRun(frame, 900, 960, 20)) SpawnAimed(4 + (frame - 900) / 20, 30, 1, 0.0, 0, {0, 3, 0}, 60.0);
  if (InRun(frame, 1060, 1120, 20)) {
    SpawnAimed(8 + (frame - 1060) / 20, 30, 0, 420.0, 1, {3, 0, 0}, 120.0);
  }
  if (InRun(frame, 1220, 1280, 20)) SpawnAimed(4 + (frame - 1220) / 20, 50, 1, 0.0, 0, {0, 3, 0}, 60.0);
  if (InRun(frame, 1500, 1800, 100)) SpawnSlow(12 + (frame - 1500) / 100, 0, 420.0, 190.0, 7, {3, 0, 0});
  if (InRun(frame, 1550, 1850, 100)) SpawnSlow(16 + (frame - 1550) / 100, 1, 0.0, -10.0, 6, {0, 5, 0});
  if (InRun(frame, 2360, 2420, 60)) {
    const int k = (frame - 2360) / 60;
    SpawnEnemy({.slot = 20 + k, .hp = 30, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 90,
                .m2 = kMotionStraight, .t2 = 91, .special = 2, .y = 40.0, .s1 = 3.0, .a1 = 300.0,
                .s2 = 3.0, .a2 = 60.0});
    SpawnEnemy({.slot = 22 + k, .hp = 30, .m1 = kMotionStraight, .t1 = 90, .m2 = kMotionStraight,
                .t2 = 91, .special = 2, .x = 420.0, .y = 40.0, .s1 = 3.0, .a1 = 240.0, .s2 = 3.0,
                .a2 = 120.0});
  }
  if (InRun(frame, 2760, 2820, 60)) {
    const int k = (frame - 2760) / 60;
    SpawnEnemy({.slot = 20 + k, .hp = 30, .m1 = kMotionStraight, .t1 = 60, .m2 = kMotionHalfTurn,
                .t2 = 60, .special = 3, .x = 294.0, .s1 = 2.0, .a1 = 270.0, .s2 = 2.0,
                .a2 = 270.0});
    SpawnEnemy({.slot = 22 + k, .hp = 30, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                .m2 = kMotionHalfTurn, .t2 = 60, .special = 3, .x = 154.0, .s1 = 2.0, .a1 = 270.0,
                .s2 = 2.0, .a2 = 270.0});
  }
  if (InRun(frame, 4560, 4700, 20)) SpawnCrossing(4 + (frame - 4560) / 20, 30, 0, true);
  if (InRun(frame, 4720, 4860, 20)) SpawnCrossing(4 + (frame - 4720) / 20, 30, 1, false);
  if (InRun(frame, 4960, 5080, 60)) SpawnCrossing(4 + (frame - 4960) / 20, 20, 0, true);
  if (InRun(frame, 5140, 5260, 60)) SpawnCrossing(5 + (frame - 5140) / 20, 20, 1, false);
  if (InRun(frame, 5460, 5490, 10)) SpawnColumnMember(8, (frame - 5460) / 10, 74.0, 114.0);
  if (InRun(frame, 5660, 5690, 10)) SpawnColumnMember(12, (frame - 5660) / 10, 374.0, 334.0);
  // The two crossing runs of 6020 and 6160 come again 400 frames later.
  for (int again : {0, 400}) {
    if (InRun(frame, 6020 + again, 6080 + again, 20)) {
      SpawnCrossing(24 + (frame - 6020 - again) / 20, 40, 0, false);
    }
    if (InRun(frame, 6160 + again, 6220 + again, 20)) {
      SpawnCrossing(24 + (frame - 6160 - again) / 20, 40, 1, true);
    }
  }
}

}  // namespace

void RunStage4Waves() {
  const int frame = g_stageFrame;
  if (!RunFixedFrame(frame)) RunSpacedFrame(frame);
  RunStageEndMarks();
  // No mid-boss timeout: the trio leave by their conversation, and are cleared at 4900.
}

// ---------------------------------------------------------------------------
// Enemy firing.

namespace {

double Side(const Enemy& e) { return 2 * e.turnFlag - 1; }

void TwinRings(const Enemy& e) {
  const int d = Diff();
  const double speed = 2.5 - (e.age % 60) / 20;
  for (double base : {1.0 * e.age, -1.0 * e.age}) {
    ShootRing({.colour = 1 - Parity(e), .sheet = 13, .spawnCode = 1, .n = 2 * d + 3, .x = e.x,
               .y = e.y, .speed = speed, .accel = 0.05,
               .speedLimit = static_cast<double>(3 + DifficultyTier()), .base = base});
  }
}

void Formation(const Enemy& e, double speed, double accel) {
  const int d = Diff();
  ShootCircleFormation({.colour = 1 - Parity(e), .sheet = 13, .behaviour = kBehaviourEdgeReaim,
                        .behaviourParam = 101, .n = d + 2, .radius = 50 + e.age % 25, .x = e.x,
                        .y = e.y, .speed = speed, .accel = accel, .speedLimit = 2.0,
                        .start = static_cast<double>(e.age),
                        .direction = 270 - 4 * Side(e) * e.age});
}

// One plain ring and four that fly in backward first and, at 140 + 3d steps, turn onto
// the plain ring's headings (each turn is the offset taken back, as 1..360 degrees).
void FiveRings(const Enemy& e) {
  const int a = e.age;
  ShootRing({.colour = 3, .sheet = 7, .spawnCode = 1, .n = 6, .x = e.x, .y = e.y, .speed = -3.0,
             .accel = 0.05, .speedLimit = 3.0, .base = static_cast<double>(a)});
  for (int offset : {12, 24, -12, -24}) {
    const int turnBack = offset > 0 ? 360 - offset : -offset;
    ShootRing({.colour = 3, .sheet = 7, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
               .behaviourParam = turnBack, .triggerAge = 140 + 3 * Diff(), .n = 6, .x = e.x,
               .y = e.y, .speed = -3.0, .accel = 0.05, .speedLimit = 3.0,
               .base = static_cast<double>(a + offset)});
  }
}

void AimedLayers(const Enemy& e) {
  static constexpr int kLayers[4] = {1, 2, 2, 3};
  const int d = Diff();
  ShootLayeredFan({.colour = 2, .sheet = 2, .spawnCode = 1, .n = DifficultyTier() == 0 ? 3 : 5,
                   .spread = d == 0 ? 150 : 120, .layers = kLayers[d], .x = e.x, .y = e.y,
                   .speed = 1.0, .accel = 0.05, .speedLimit = 2.0, .centre = Aim(e),
                   .layerDelay = 20.0});
}

// Layers that fly in backward and turn with the enemy's side once they trigger.
void TurningLayers(const Enemy& e, int layers, double centre) {
  ShootLayeredFan({.colour = 1 - Parity(e), .sheet = 13, .spawnCode = 1,
                   .behaviour = kBehaviourStopTurning, .triggerAge = 40, .n = 7 + Diff(),
                   .spread = 360, .layers = layers, .x = e.x, .y = e.y, .speed = -2.0,
                   .accel = 0.05, .speedLimit = static_cast<double>(2 + DifficultyTier()),
                   .turnRate = Side(e), .centre = centre, .layerDelay = 10.0});
}

// Three aimed fans, the later ones wider and slower to their limits; the third takes the
// second's sheet, 12.
void AimedTriple(const Enemy& e) {
  const int colour = 1 - Parity(e), s = DifficultyTier();
  const bool easy = Diff() == 0;
  const double aim = Aim(e);
  ShootFan({.colour = colour, .sheet = 15, .spawnCode = 1, .n = 1, .spread = 30, .x = e.x, .y = e.y,
            .speed = 1.0, .accel = 0.1, .speedLimit = 4.0, .centre = aim});
  ShootFan({.colour = colour, .sheet = 12, .spawnCode = 1, .n = 2 + s, .spread = easy ? 10 : 20,
            .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.1, .speedLimit = 3.5, .centre = aim});
  ShootFan({.colour = colour, .sheet = 12, .spawnCode = 1, .n = 3 + s, .spread = easy ? 20 : 30,
            .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.1, .speedLimit = 3.0, .centre = aim});
}

void FallingFans(const Enemy& e) {
  ShootRingOfFans({.colour = 3, .sheet = 2, .spawnCode = 1, .n = 2 + DifficultyTier(), .m = 2,
                   .spread = 60, .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.05, .speedLimit = 2.0,
                   .base = 270.0});
}

void SwayingRings(const Enemy& e) {
  const double s = (e.age / 30) % 2 == 1 ? 1.0 : -1.0;
  for (double base : {1.2 * s * e.age, -1.2 * s * e.age}) {
    ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = 4 + Diff(), .x = e.x, .y = e.y,
               .speed = 1.0, .accel = 0.05, .speedLimit = 2.0, .base = base});
  }
}

// The orbit patterns. Their volleys start from age 5, every n steps: ages 5,
// 5 + n, 5 + 2n ... up to the last age, so the bullets made at age 0 or 1 have opened.
struct OrbitPattern {
  int madeAt, period, lastAge;
  int pairColour, pairSheets[2], pairN[4], pairSpread;
  double pairSpeed, pairLimits[2];
  int outerSheets, outerN[4], outerSpread;
  double outerLimit;
  bool clearsDrops;
};
constexpr OrbitPattern kPatternA = {1, 20, 300, 2, {2, 7}, {2, 2, 2, 2}, 30, 4.0, {2.5, 2.5},
                                    0, {3, 3, 3, 3}, 60, 2.0, false};
constexpr OrbitPattern kPatternB = {1, 10, 310, 3, {7, 9}, {1, 2, 2, 3}, 60, 4.0, {2.5, 3.0},
                                    0, {1, 2, 3, 4}, 60, 1.5, true};
constexpr OrbitPattern kPatternC = {0, 20, 350, 3, {7, 9}, {1, 2, 2, 3}, 60, 3.0, {2.5, 2.0},
                                    0, {1, 2, 3, 3}, 60, 1.5, true};

void MakeOrbitBullets(int slot) {
  struct Orbit {
    double accel, limit, turn, angle;
  };
  static constexpr Orbit kOrbits[kOrbitBullets] = {{3, 30, 2, 0},   {3, 30, 2, 120},
                                                   {3, 30, 2, 240}, {3, 50, -1, 540},
                                                   {3, 50, -1, 660}, {3, 50, -1, 780}};
  for (int k = 0; k < kOrbitBullets; ++k) {
    const Orbit& o = kOrbits[k];
    g_stage4.orbit[k] =
        Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, slot, 0.0, 0.0, 0.0, o.accel, o.limit,
                                o.turn, o.angle));
  }
}

void FireOrbitPattern(int slot, Enemy& e, const OrbitPattern& p) {
  const int d = Diff();
  const int age = e.age;
  if (age == p.madeAt) MakeOrbitBullets(slot);
  if (age > p.lastAge) {
    // Only the bullets still in flight go: a reused slot belongs to another bullet.
    for (const Kept& kept : g_stage4.orbit) {
      if (EnemyBullet* b = Live(kept)) b->state = 0;
    }
    if (p.clearsDrops) e.dropPower = e.dropSpecial = e.dropPoint = 0;
    e.hp = 0;
    return;
  }
  if (age < 5 || (age - 5) % p.period != 0) return;
  for (int k = 0; k < kOrbitBullets; ++k) {
    const EnemyBullet* b = Live(g_stage4.orbit[k]);
    if (b == nullptr) continue;
    if (k < 3) {
      ShootFan({.colour = p.pairColour, .sheet = p.pairSheets[0], .spawnCode = 1, .n = p.pairN[d],
                .spread = p.pairSpread, .x = b->x, .y = b->y, .speed = p.pairSpeed, .accel = -0.1,
                .speedLimit = p.pairLimits[0], .centre = b->angle - 90});
      ShootFan({.colour = p.pairColour, .sheet = p.pairSheets[1], .spawnCode = 1, .n = p.pairN[d],
                .spread = p.pairSpread, .x = b->x, .y = b->y, .speed = p.pairSpeed, .accel = -0.1,
                .speedLimit = p.pairLimits[1], .centre = b->angle + 90});
    } else {
      ShootFan({.colour = 4, .sheet = p.outerSheets, .spawnCode = 1, .n = p.outerN[d],
                .spread = p.outerSpread, .x = b->x, .y = b->y, .speed = 3.0, .accel = -0.05,
                .speedLimit = p.outerLimit, .centre = b->angle});
    }
  }
}

void FireFirstHalf(int slot, Enemy& e) {
  const int d = Diff();
  const int age = e.age;
  if (slot == 0) {
    if (Pausing(e) && Every(age, 10)) TwinRings(e);
  } else if (slot <= 2) {
    if (Pausing(e) && Every(age, 5 * (5 - d))) Formation(e, 1.0, 0.1);
  } else if (slot == 3 || slot == 26 || slot == 27) {
    if (Pausing(e) && Every(age, 30)) FiveRings(e);
  } else if (slot <= 11) {
    if (Every(age, 20) && age <= SecondStart(e)) AimedLayers(e);
  } else if (slot <= 19) {
    if (Pausing(e) && Every(age, 60)) TurningLayers(e, 3 + DifficultyTier(), 0.0);
  } else if (slot == 24 || slot == 25) {
    FireOrbitPattern(slot, e, kPatternA);
  } else if (slot == 28 || slot == 29) {
    FireOrbitPattern(slot, e, kPatternB);
  }
}

void FireSecondHalf(int slot, Enemy& e) {
  const int d = Diff();
  const int age = e.age;
  if (slot <= 3) {
    if (Pausing(e) && Every(age, 20)) Formation(e, 3.0, -0.1);
  } else if (slot == 4 || slot == 5 || slot == 28) {
    if (Pausing(e) && Every(age, 140 - 20 * d)) AimedTriple(e);
  } else if (slot == 6 || slot == 7) {
    FireOrbitPattern(slot, e, kPatternC);
  } else if (slot >= 20 && slot <= 23) {
    if (PausingEvery(e, 120)) TurningLayers(e, 4, Aim(e));
  } else if (slot >= 24 && slot <= 27) {
    if (Pausing(e) && Every(age, 35 - 5 * d)) FallingFans(e);
  } else if (slot == 29) {
    if (Pausing(e) && Every(age, 6)) SwayingRings(e);
  }
}

}  // namespace

void FireStage4EnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1 || e.hp <= 0) return;
  if (g_stageFrame < kSecondHalf) {
    FireFirstHalf(slot, e);
  } else {
    FireSecondHalf(slot, e);
  }
}

// ---------------------------------------------------------------------------
// Conversations.

namespace {

// The trio leaves one by one: only a boss still showing (state 1) turns to go.
void SendAway(int slot) {
  Boss& boss = g_bosses[slot];
  if (boss.state != 1) return;
  boss.state = 3;
  SetBossMoveTarget(slot, 254.0, -50.0, 90);
}

}  // namespace

void GetStage4DialogueLine(DialogueLine& line) {
  struct Row {
    int number, side, leftPose;  // leftPose -1: no portrait on the left
    int rightBoss, rightPose;    // rightBoss -1: no portrait on the right
  };
  // The trio talks among themselves (lines 1-4 with no portraits, 7-9 with the one who
  // speaks) show no portrait on the left: the player only overhears.
  static constexpr Row kRows[] = {
      {1, 1, -1, -1, 0},  {2, 1, -1, -1, 0},  {3, 1, -1, -1, 0},  {4, 1, -1, -1, 0},
      {5, 3, -1, -1, 0},  {7, 1, -1, 0, 6},   {8, 1, -1, 2, 2},   {9, 1, -1, 1, 4},
      {10, 3, -1, -1, 0}, {20, 0, 0, -1, 0},  {21, 0, 0, -1, 0},  {22, 0, 2, -1, 0},
      {23, 1, 2, 0, 0},   {24, 0, 0, 0, 0},   {25, 1, 0, 0, 6},   {26, 0, 5, 0, 6},
      {27, 0, 3, 0, 6},   {28, 1, 3, 0, 2},   {29, 1, 3, 0, 0},   {30, 0, 5, 0, 0},
      {31, 1, 5, 0, 4},   {32, 1, 5, 0, 3},   {33, 0, 0, 0, 3},   {34, 1, 0, 0, 3},
      {35, 0, 3, 0, 3},   {36, 3, -1, -1, 0}, {41, 0, 5, 0, 7},   {42, 0, 0, 0, 7},
      {43, 1, 0, 0, 2},   {44, 0, 3, 0, 2},   {45, 1, 3, 0, 7},   {46, 3, -1, -1, 0},
  };
  const int number = g_talkActive;
  switch (number) {
    case 6:
      g_stageFrame = kTrioTalkEnd;
      g_talkActive = 0;
      return;
    case 8: SendAway(0); break;
    case 9: SendAway(2); break;
    case 10: SendAway(1); break;
    case 11:
      g_stageFrame = kTrioLeaveTalkEnd;
      g_talkActive = 0;
      return;
    case 23: FlyInBoss(kBossCards, kBossKind); break;
    case 32: StartBossMusicOnce(kBossTheme); break;
    case 37: EndOpeningConversation(); return;
    case 47: EndClosingConversation(); return;
    default: break;
  }
  const Row* row = FindLineRow(kRows, number);
  if (row == nullptr) return;  // 12-19, 38-40 and past 47: the empty line

  const int right = row->rightBoss >= 0 ? g_bosses[row->rightBoss].kind : -1;
  FillDialogueLine(line, row->side, row->leftPose, right, row->rightPose,
                   Stage4DialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

constexpr NonSpell kTrioWait = {100, -1, 10, 15, 0, true};
constexpr NonSpell kFirstNonSpell = {2400, 2400, 8, 10, 0, true};
constexpr NonSpell kSecondNonSpell = {2600, 2400, 8, 10, 0, true};
constexpr NonSpell kThirdNonSpell = {3200, 2800, 8, 15, 0, true};
constexpr NonSpell kCardWait = {100, -1, 10, 20, 0, true};

void FansAndRings(const Boss& boss, int c) {
  const double a = g_stage4.angle;
  ShootRingOfFans({.colour = 3, .sheet = 13, .spawnCode = 1, .n = 3, .m = c, .spread = 10,
                   .x = boss.x, .y = boss.y, .speed = -3.0, .accel = 0.05, .speedLimit = 2.0,
                   .base = a});
}

void FirstNonSpell(Boss& boss) {
  const int d = Diff();
  const int t = boss.phaseTimer;
  if (t == 2) {
    g_stage4.sign = 1.0;
    g_stage4.angle = 90.0;
    g_stage4.count = 2 * (d - d / 2) + 4;
  }
  if (t == 100) SetBossAnimation(0, 0, 240);
  if (t == 220) g_stage4.sign = -g_stage4.sign;
  if (t == 340) {
    MoveBossNearPlayer();
    const double aim = AngleToPlayer(boss.x, boss.y);
    const int n = static_cast<int>(g_stage4.count) + d / 2;
    ShootRingOfFans({.colour = 4, .sheet = 9, .spawnCode = 1, .n = 2, .m = n, .spread = 20,
                     .x = boss.x, .y = boss.y, .speed = 3.0, .accel = 0.1, .speedLimit = 3.0,
                     .base = aim});
    ShootRing({.colour = 4, .sheet = 9, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
               .speed = 2.0, .accel = 0.1, .speedLimit = 2.5, .base = aim});
  }
  if (t == 400) {
    boss.phaseTimer = 99;
    return;
  }
  if (t < 100 || t > 340 || !Every(t, 2 * (7 - d / 2))) return;
  const int c = static_cast<int>(g_stage4.count);
  FansAndRings(boss, c);
  ShootRing({.colour = 4, .sheet = 13, .spawnCode = 1, .n = c, .x = boss.x, .y = boss.y,
             .speed = -3.0, .accel = 0.1, .speedLimit = 2.0, .base = g_stage4.angle});
  ShootRing({.colour = 4, .sheet = 13, .spawnCode = 1, .n = c, .x = boss.x, .y = boss.y,
             .speed = -3.5, .accel = 0.05, .speedLimit = 2.0, .base = 2 * g_stage4.angle});
  g_stage4.angle += (15 - d) * g_stage4.sign;
}

// Two orbs circling the boss in opposite senses, set up at timer 30.
void MakeBossOrbs() {
  const int d = Diff();
  g_stage4.bossOrbs[0] = Keep(SpawnBulletIndexed(3, 0, kBehaviourCircleBoss, 45, 0.0, 0.0, 0.0, 3.0,
                                                 75.0, 2.0, 0.0));
  g_stage4.bossOrbs[1] =
      Keep(SpawnBulletIndexed(3, 0, kBehaviourCircleBoss, 225, 0.0, 0.0, 0.0, 3.0, 75.0, -2.0,
                              180.0));
  g_stage4.sign = 1.0;
  g_stage4.angle = 90.0;
  g_stage4.count = 2 * (d - d / 2) + 5;
}

// Rings from each orb still circling (one erased by a bomb fires nothing), at whole pixels.
void OrbRings(int t) {
  const int c = static_cast<int>(g_stage4.count);
  const double bases[2] = {1.0 * t, -1.0 * t};
  for (int k = 0; k < 2; ++k) {
    const EnemyBullet* orb = Live(g_stage4.bossOrbs[k]);
    if (orb == nullptr) continue;
    const double x = static_cast<int>(orb->x), y = static_cast<int>(orb->y);
    ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = c, .x = x, .y = y, .speed = 1.0,
               .accel = 0.05, .speedLimit = 1.5, .base = bases[k]});
  }
  if (DifficultyTier() == 0) return;
  for (int k = 0; k < 2; ++k) {
    const EnemyBullet* orb = Live(g_stage4.bossOrbs[k]);
    if (orb == nullptr) continue;
    const double x = static_cast<int>(orb->x), y = static_cast<int>(orb->y);
    ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = c / 2, .x = x, .y = y, .accel = 0.02,
               .speedLimit = 1.5, .base = bases[k]});
  }
}

// Phases 4 and 5: the orbs' rings, with a laser star first (phase 4) or the fans of phase
// 3 first (phase 5).
void OrbNonSpell(Boss& boss, bool lasers) {
  const int d = Diff();
  const int t = boss.phaseTimer;
  if (t == 30) MakeBossOrbs();
  if (t == 100) SetBossAnimation(0, 0, 240);
  if (t == 220 || t == 340) MoveBossNearPlayer();
  if (t == 400) {
    boss.phaseTimer = 99;
    g_stage4.sign = -g_stage4.sign;
    return;
  }
  if (t < 100 || t > 340 || !Every(t, 2 * (6 - d / 2))) return;
  const int c = static_cast<int>(g_stage4.count);
  if (lasers) {
    // The star's angles divide the circle exactly: a real quotient, as in every double
    // argument.
    for (int k = 0; k < c; ++k) {
      ShootLaserAtAngle({.colour = 3, .spawnCode = 1, .x = boss.x, .y = boss.y,
                         .angle = k * 360.0 / c - 90 + g_stage4.angle, .lifetime = 800,
                         .fullLength = 100, .fullWidth = 3, .growth = 4.0, .startLength = 10.0});
    }
  } else {
    FansAndRings(boss, c);
  }
  OrbRings(t);
  g_stage4.angle += ((lasers ? 15 : 18) - d) * g_stage4.sign;
}

void RunNonSpellThenCard(const NonSpell& values, int slot, void (*pattern)()) {
  g_stage4.barSplit = 20;
  RunNonSpellPhase(values, pattern, slot);
}

// The trio's one card, run on boss 0 for all three; it sets boss 0 hidden again itself.
void RunTrioPhase() {
  g_stage4.barSplit = 100;
  if (g_spellBackground == 0) {
    RunNonSpellStart(kTrioWait);
    Boss& boss = g_bosses[0];
    if (boss.phaseTimer == 1) boss.state = 4;
    if (boss.phaseTimer == 60) StartCardAfterNonSpell();
  }
  if (g_spellBackground == 1) RunBossAttack(GetSpellCardId(Diff(), 14));
}

// The trio's card has ended by its time: the waves go on from 4301 whatever the frame.
void EndTrioFight() {
  PlayEffect(kSeCardEnd);
  EndFightWithBreakRing();
  g_stageFrame = kTrioFightEnd;
}

}  // namespace

void RunStage4BossFight() {
  switch (g_bossPhase) {
    case 1:
      RunTrioPhase();
      break;
    case 2:
      EndTrioFight();
      break;
    case 3:
      RunNonSpellThenCard(kFirstNonSpell, 10, [] { FirstNonSpell(g_bosses[0]); });
      break;
    case 4:
      RunNonSpellThenCard(kSecondNonSpell, 11, [] { OrbNonSpell(g_bosses[0], true); });
      break;
    case 5:
      RunNonSpellThenCard(kThirdNonSpell, 12, [] { OrbNonSpell(g_bosses[0], false); });
      break;
    case 6:
      g_stage4.barSplit = 100;
      RunWaitThenLastCard(kCardWait, 13);
      break;
    case 7:
      EndBossFight();
      break;
    default:
      break;
  }
  DrawBossStatus(g_stage4.barSplit, g_spellBackground);
}

void RunStage4Timeline() {
  static constexpr StageParts kParts = {RunStage4Waves, FireStage4EnemyShots,
                                        GetStage4DialogueLine, RunStage4BossFight};
  RunStageSteps(kParts);
}

void ResetStage4State() {
  g_stage4 = Stage4State{};
  for (Kept& kept : g_stage4.orbit) kept.slot = -1;
  g_stage4.bossOrbs[0].slot = g_stage4.bossOrbs[1].slot = -1;
}
