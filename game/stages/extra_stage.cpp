// The Extra stage: waves broken by five meetings with the bosses of the earlier stages,
// each fought while the frame counter is held in a window, then the opening talk with the
// star-gazer, her fight, the trio's entrance and the last fight against all three.
#include "game/stages/extra_stage.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/extra_attacks.h"
#include "game/stages/stage_dispatch.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

namespace {

constexpr int kStageTheme = 8;
constexpr int kBossTheme = 14;
constexpr int kLastFightTheme = 5;
constexpr int kExtraCell = 6;  // cell 6 of the title, number and place sheets
constexpr int kTrioTalkStart = 20120;
constexpr int kLastFightStart = 30000;

// The values the stage keeps between steps.
struct ExtraState {
  int barSplit;
  Kept orbs[2];            // the two orbs of the large enemy in slot 28 (frames 3720-)
  double a, b, c, d, e;    // the non-spells' pattern scratch
  Kept bossOrbs[2];        // the two orbs of the orb-laser non-spell
};
ExtraState g_extra;

// ---------------------------------------------------------------------------
// Waves.

void WaveSmall(int slot, int turnFlag, int sprite, Drops drops, double x, double a1, double a2) {
  SpawnEnemy({.slot = slot, .hp = 30, .turnFlag = turnFlag, .m1 = kMotionQuarterTurn, .t1 = 90,
              .m2 = kMotionHalfTurn, .t2 = 90, .sprite = sprite, .x = x, .s1 = 2.0, .a1 = a1,
              .s2 = 2.0, .a2 = a2}, drops);
}

void WaveW1(int k) {
  WaveSmall(k, 1, 0, {0, 3, 0}, 50.0, 260.0, 0.0);
  WaveSmall(k + 1, 1, 1, {4, 0, 0}, 100.0, 260.0, 0.0);
  WaveSmall(k + 9, 0, 1, {4, 0, 0}, 400.0, 280.0, 180.0);
  WaveSmall(k + 10, 0, 0, {0, 3, 0}, 350.0, 280.0, 180.0);
}

void LargeOpener(int slot, int turnFlag, double x) {
  SpawnEnemy({.slot = slot, .hp = 150, .turnFlag = turnFlag, .m1 = kMotionStraight, .t1 = 30,
              .m2 = kMotionStraight, .t2 = 180, .sprite = 3, .power = 8, .point = 8, .x = x,
              .s1 = 3.0, .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
}

void MeetingErase() {
  EraseAllBullets();
  AttractAllItems();
}

void BossFliesIn() {
  Boss& boss = g_bosses[0];
  boss.targetX = 224.0;
  boss.targetY = 150.0;
  boss.moveFrames = 50.0;
}

// Pairs of one turn flag, sprite and drops per side of the 1920-2010 runs.
void CrossPair(int k, double x1, double y1, double a11, double a12, double x2, double y2,
               double a21, double a22) {
  SpawnEnemy({.slot = k, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 150,
              .m2 = kMotionStraight, .t2 = 151, .sprite = 4, .special = 5, .x = x1, .y = y1,
              .s1 = 3.0, .a1 = a11, .s2 = 3.0, .a2 = a12});
  SpawnEnemy({.slot = k + 1, .hp = 200, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 140,
              .m2 = kMotionStraight, .t2 = 141, .sprite = 5, .power = 1, .x = x2, .y = y2,
              .s1 = 3.0, .a1 = a21, .s2 = 3.0, .a2 = a22});
}

void RunOf4(int k, double s, EnemyMotion m1, int t1, EnemyMotion m2, int t2, double xs[4],
            double a1s[4], double a2, int turns[4], int hp) {
  for (int j = 0; j < 4; ++j) {
    const bool even = j % 2 == 0;
    const Drops drops = even ? Drops{.special = 3} : Drops{.power = 2};
    SpawnEnemy({.slot = k + j, .hp = hp, .turnFlag = turns[j], .m1 = m1, .t1 = t1, .m2 = m2,
                .t2 = t2, .sprite = even ? 4 : 5, .x = xs[j], .s1 = s, .a1 = a1s[j], .s2 = s,
                .a2 = a2}, drops);
  }
}

void RunSpacedFrame(int frame) {
  if (InRun(frame, 150, 210, 20)) WaveW1((frame - 150) / 10);
  if (InRun(frame, 700, 760, 20)) {
    const int k = (frame - 700) / 10;
    WaveSmall(k, 1, 1, {4, 0, 0}, 50.0, 260.0, 0.0);
    WaveSmall(k + 1, 1, 1, {4, 0, 0}, 100.0, 260.0, 0.0);
  }
  if (InRun(frame, 840, 900, 20)) {
    const int k = (frame - 840) / 10;
    WaveSmall(k + 9, 0, 1, {4, 0, 0}, 400.0, 280.0, 180.0);
    WaveSmall(k + 10, 0, 1, {4, 0, 0}, 350.0, 280.0, 180.0);
  }
  if (InRun(frame, 1920, 1960, 10)) CrossPair((frame - 1920) / 5, 100, 0, 270, 0, 0, 100, 0, 270);
  if (InRun(frame, 1970, 2010, 10)) {
    CrossPair((frame - 1920) / 5, 330, 0, 270, 180, 440, 150, 180, 270);
  }
  if (InRun(frame, 2520, 2640, 30)) {
    const int k = (frame - 2520) / 15;
    SpawnEnemy({.slot = k, .hp = 250, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 120,
                .m2 = kMotionStraight, .t2 = 121, .sprite = 5, .power = 1, .x = 348.0, .s1 = 3.0,
                .a1 = 270.0, .s2 = 3.0, .a2 = 180.0});
    SpawnEnemy({.slot = k + 1, .hp = 250, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 120,
                .m2 = kMotionStraight, .t2 = 121, .sprite = 4, .special = 5, .x = 100.0, .y = 480.0,
                .s1 = 3.0, .a1 = 90.0, .s2 = 3.0});
  }
  if (InRun(frame, 3820, 3900, 20)) {
    double xs[4] = {324, 324, 124, 124}, a1s[4] = {280, 260, 280, 260};
    int turns[4] = {1, 1, 0, 1};
    RunOf4((frame - 3820) / 5, 3.0, kMotionStraight, 900, kMotionHalfTurn, 900, xs, a1s, 180.0,
           turns, 120);
  }
  if (InRun(frame, 4320, 4400, 20)) {
    double xs[4] = {324, 374, 124, 74}, a1s[4] = {270, 270, 270, 270};
    int turns[4] = {0, 0, 1, 1};
    RunOf4((frame - 4320) / 5, 3.0, kMotionQuarterTurn, 90, kMotionHalfTurn, 91, xs, a1s, 270.0,
           turns, 200);
  }
  if (InRun(frame, 6000, 6090, 10)) {
    const int k = (frame - 6000) / 10, t = frame;
    SpawnEnemy({.slot = k, .hp = 400, .turnFlag = 1, .t1 = 6120 - t, .m2 = kMotionWeave, .t2 = 400,
                .sprite = 6, .special = 5, .x = 4.0 * t - 23956, .y = 80.0, .s1 = 3.0, .a1 = 270.0,
                .s2 = 2.0, .a2 = 6000.0 - t});
    SpawnEnemy({.slot = k + 10, .hp = 400, .t1 = 6120 - t, .m2 = kMotionWideWeave, .t2 = 400,
                .sprite = 7, .power = 3, .x = 4.0 * (6101 - t), .y = 400.0, .s1 = 3.0, .a1 = 270.0,
                .s2 = 2.0, .a2 = 6180.0 - t});
  }
  if (InRun(frame, 7320, 7620, 60)) {
    struct W6 {
      int turn, sprite;
      Drops drops;
      double x, speed, a1, a2;
    };
    static constexpr W6 kW6[6] = {
        {0, 2, {0, 3, 1}, 0, 4, 20, 70},    {0, 2, {0, 3, 1}, 448, 4, 160, 110},
        {1, 1, {3, 0, 0}, 0, 3, -10, 70},   {1, 1, {3, 0, 0}, 448, 3, 190, 110},
        {0, 0, {0, 5, 0}, 0, 3, 10, 70},    {1, 0, {0, 5, 0}, 448, 3, 170, 110}};
    const int k = (frame - 7320) / 60;
    const W6& w = kW6[k];
    SpawnEnemy({.slot = k, .hp = 100, .turnFlag = w.turn, .m1 = kMotionStraight, .t1 = 60,
                .m2 = kMotionStraight, .t2 = 180, .sprite = w.sprite, .x = w.x, .y = 180.0,
                .s1 = w.speed, .a1 = w.a1, .s2 = 2.0, .a2 = w.a2}, w.drops);
  }
  if (InRun(frame, 7900, 8025, 25)) {
    struct W4 {
      int slot, turn, s, sprite;
      Drops drops;
      double x, y, speed, angle;
    };
    static constexpr W4 kW4[12] = {
        {23, 1, 60, 2, {0, 2, 1}, 0, 50, 3, 300},      {14, 1, 90, 2, {0, 2, 1}, 0, 50, 3.5, 320},
        {24, 1, 120, 2, {0, 2, 1}, 448, 50, 3.5, 220}, {15, 1, 150, 2, {0, 2, 1}, 448, 50, 3, 240},
        {25, 0, 60, 1, {3, 0, 0}, 0, 100, 3, 300},     {16, 1, 90, 1, {3, 0, 0}, 0, 100, 3.5, 350},
        {12, 0, 120, 1, {3, 0, 0}, 448, 100, 3.5, 190}, {19, 1, 150, 1, {3, 0, 0}, 448, 100, 3, 240},
        {17, 1, 90, 0, {0, 5, 0}, 0, 350, 3, 330},     {21, 0, 150, 0, {0, 5, 0}, 0, 350, 3.5, 0},
        {13, 1, 150, 0, {0, 5, 0}, 448, 350, 3.5, 180}, {22, 0, 90, 0, {0, 5, 0}, 448, 350, 3, 230}};
    const int k = (frame - 7900) / 25;
    for (int j = 2 * k; j < 2 * k + 2; ++j) {
      const W4& w = kW4[j];
      SpawnEnemy({.slot = w.slot, .hp = 500, .turnFlag = w.turn, .m1 = kMotionStraight, .t1 = 60,
                  .t2 = w.s, .sprite = w.sprite, .x = w.x, .y = w.y, .s1 = w.speed,
                  .a1 = w.angle}, w.drops);
    }
  }
  struct W5 {
    int frame, slot, turn;
    double x, y, a1, a2;
  };
  static constexpr W5 kW5[8] = {{9120, 0, 1, 0, 50, 330, 180},   {9150, 1, 0, 440, 50, 210, 0},
                                {9210, 2, 1, 0, 150, 300, 0},    {9240, 3, 0, 440, 150, 240, 180},
                                {9300, 4, 1, 0, 100, 315, 180},  {9330, 5, 0, 440, 100, 225, 0},
                                {9390, 0, 1, 0, 50, 330, 0},     {9420, 1, 0, 440, 50, 210, 180}};
  for (const W5& w : kW5) {
    if (w.frame != frame) continue;
    const Drops drops = w.turn == 1 ? Drops{.power = 5} : Drops{.special = 5};
    SpawnEnemy({.slot = w.slot, .hp = 200, .turnFlag = w.turn, .m1 = kMotionStraight, .t1 = 60,
                .m2 = kMotionStraight, .t2 = 300, .sprite = w.turn == 1 ? 1 : 0, .x = w.x, .y = w.y,
                .s1 = 4.0, .a1 = w.a1, .s2 = 3.0, .a2 = w.a2}, drops);
  }
}

// Runs the frame's fixed event; false when the frame has none.
bool RunFixedFrame(int frame) {
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      return true;
    case 10:
      ShowItemLine();
      return true;
    case 460: case 490: case 520:
      ShowStageTitleNotice(kExtraCell, (frame - 460) / 30);
      return true;
    case 680:
      LargeOpener(8, 1, 324.0);
      return true;
    case 820:
      // The table puts this one in slot 9, where the wave of frame 840 would replace it
      // 20 steps after it appears; its firing group (slots 8 and 17) shows it is slot 8's
      // twin, so it takes slot 17.
      LargeOpener(17, 0, 124.0);
      return true;
    case 1100: InitBoss(0, 0, 2, 0.0, -50.0); return true;
    case 2900: InitBoss(0, 0, 3, 0.0, -50.0); return true;
    case 4700: InitBoss(0, 0, 1, 470.0, 100.0); return true;
    case 6500: InitBoss(0, 1, 5, 470.0, 50.0); return true;
    case 8300: InitBoss(0, 1, 6, 300.0, -50.0); return true;
    case 1145: case 3005: case 4805: case 6605: case 8405:
      MeetingErase();
      return true;
    case 1150: case 3020:
      WarpBossIn();
      return true;
    case 4820: case 6620: case 8420:
      BossFliesIn();
      return true;
    case 1240: StartBossFight(1); return true;
    case 3110: StartBossFight(3); return true;
    case 4910: StartBossFight(5); return true;
    case 6710: StartBossFight(7); return true;
    case 8510: StartBossFight(10); return true;
    case 2400:
      SpawnEnemy({.slot = 20, .hp = 400, .m1 = kMotionStraight, .t1 = 75, .m2 = kMotionQuarterTurn,
                  .t2 = 400, .sprite = 3, .special = 5, .point = 8, .x = 274.0, .s1 = 2.0,
                  .a1 = 270.0, .s2 = 2.0});
      SpawnEnemy({.slot = 21, .hp = 400, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 75,
                  .m2 = kMotionQuarterTurn, .t2 = 400, .sprite = 3, .special = 5, .point = 8,
                  .x = 174.0, .s1 = 2.0, .a1 = 270.0, .s2 = 2.0, .a2 = 180.0});
      return true;
    case 2460: ShowEnemyMark(100, 440); return true;
    case 3720:
      SpawnEnemy({.slot = 28, .hp = 600, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionStraight,
                  .t2 = 400, .sprite = 3, .power = 8, .special = 5, .point = 2, .x = 224.0,
                  .s1 = 2.0, .a1 = 270.0, .s2 = 3.0, .a2 = 190.0});
      return true;
    case 4200:
      // Frame 3720's large enemy again, tougher and in the next slot, leaving at 350 degrees:
      // the mirror of the first one's exit at 190.
      SpawnEnemy({.slot = 29, .hp = 700, .m1 = kMotionStraight, .t1 = 100, .m2 = kMotionStraight,
                  .t2 = 400, .sprite = 3, .power = 8, .special = 5, .point = 2, .x = 224.0,
                  .s1 = 2.0, .a1 = 270.0, .s2 = 3.0, .a2 = 350.0});
      return true;
    case 4600: RunBossBreakRing(0, 10); return true;
    case 4615: ClearOutField(); return true;
    case 5520:
      SpawnEnemy({.slot = 27, .hp = 250, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 300, .sprite = 3, .power = 8, .special = 5,
                  .point = 1, .x = 448.0, .y = 240.0, .s1 = 3.0, .a1 = 150.0, .s2 = 2.0,
                  .a2 = 270.0});
      return true;
    case 5530:
      SpawnEnemy({.slot = 28, .hp = 250, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 300, .sprite = 3, .power = 8, .special = 5,
                  .point = 1, .y = 240.0, .s1 = 3.0, .a1 = 30.0, .s2 = 2.0, .a2 = 270.0});
      return true;
    case 5540:
      SpawnEnemy({.slot = 29, .hp = 250, .turnFlag = 1, .m1 = kMotionStraight, .t1 = 60,
                  .m2 = kMotionStraight, .t2 = 300, .sprite = 3, .power = 8, .special = 5,
                  .point = 1, .x = 224.0, .s1 = 3.0, .a1 = 270.0, .s2 = 2.0, .a2 = 270.0});
      return true;
    case 5940:
      ShowEnemyMark(224, 400);
      SpawnLaser(13, 10, 400, 430, 400, 0, 500, 1, 500, 60, 3);
      return true;
    case 7940: ShowEnemyMark(70, 350); return true;
    case 7965: ShowEnemyMark(380, 350); return true;
    case 9900:
      AttractAllItems();
      g_talkActive = 1;
      return true;
    case kBossFightStart: StartBossFight(13); return true;
    case kTrioTalkStart:
      AttractAllItems();
      g_talkActive = 30;
      return true;
    case kLastFightStart + 1: StartBossFight(16); return true;
    case kExtraClear: {
      ShowNotice(180, 10, 224, 160, 0, SpriteSheetHandles.stageClear);
      const int bonus = ExtraClearBonus();
      int64_t power = 1;
      for (int k = 0; k <= 9 && power <= bonus; ++k, power *= 10) {
        const int digit = static_cast<int>((bonus / power) % 10);
        ShowNotice(180, 10, 16 * (17 - k), 190, 0, SpriteSheetHandles.bigDigit[digit]);
      }
      if (bonus > 0) AddScore(bonus);
      return true;
    }
    case kExtraClosingTalk:
      if (!IsLiveGameScene(g_scene)) {
        g_stageOver = 1;
      } else {
        g_talkActive = 50;
      }
      return true;
    case kNextScene:
      g_scene = kSceneMainGameEnd;
      g_stageFrame = -1;
      g_player.state = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace

int ExtraClearBonus() {
  const double lives = (g_player.bombs + 2.0 * g_player.lives) * 5000 + g_player.graze;
  const double l = lives * 100;
  const double x = std::trunc(l * (g_player.pointRate + 2.0) / -6.0 * (g_difficulty + 1));
  const double b = std::trunc((10000000 - x) / 10) * 10;
  // A huge point rate or a negative one would leave the int range: keep the bonus in it.
  if (!(b > 0)) return 0;
  return b >= INT_MAX ? INT_MAX / 10 * 10 : static_cast<int>(b);
}

void RunExtraWaves() {
  const int frame = g_stageFrame;
  if (!RunFixedFrame(frame)) RunSpacedFrame(frame);
  // No mid-boss timeout: every meeting holds the frame in its window until it ends.
}

// ---------------------------------------------------------------------------
// Enemy firing.

namespace {


void FireAimedLayers(const Enemy& e) {
  if (e.age < 30 || e.age > 299 || !Every(e.age, 30)) return;
  ShootLayeredFan({.colour = 1 - Parity(e), .sheet = 2, .spawnCode = 1,
                   .n = g_stageFrame < 700 ? 1 : 3, .spread = 30, .layers = 2, .x = e.x, .y = e.y,
                   .speed = 3.0, .accel = 1.0, .speedLimit = 4.0, .centre = Aim(e),
                   .layerDelay = 30.0});
}

void FireLayeredRing(const Enemy& e) {
  if (!Pausing(e) || !Every(e.age, 60)) return;
  ShootLayeredFan({.colour = 1, .sheet = 7, .spawnCode = 1, .n = 30, .spread = 360, .layers = 3,
                   .x = e.x, .y = e.y, .speed = 1.0, .accel = 1.0, .speedLimit = 3.0,
                   .centre = 270.0, .layerDelay = 50.0});
}

void FireRingUntilWeak(Enemy& e) {
  if (Every(e.age, 30)) {
    ShootFan({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 4, .spread = 360, .x = e.x, .y = e.y,
              .speed = 2.0, .speedLimit = 2.0});
  }
  if (e.hp < 150) e.hp = 0;
}

void FireAimedLayersWhilePausing(const Enemy& e) {
  if (!PausingEvery(e, 60)) return;
  const int d = g_difficulty;
  ShootLayeredFan({.colour = 1, .sheet = 2, .spawnCode = 1, .n = 2 * d + 3, .spread = 90,
                   .layers = d + 1, .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.1,
                   .speedLimit = 2.5, .centre = Aim(e), .layerDelay = 30.0});
}

void FireTwoRingsUntilWeak(Enemy& e) {
  if (e.age == 90 || e.age == 120) {
    const double aim = Aim(e);
    ShootFan({.colour = 2, .sheet = 4, .spawnCode = 1, .n = 8, .spread = 360, .x = e.x, .y = e.y,
              .speed = 2.0, .speedLimit = 2.0, .centre = aim + NextRandom() % 20 - 10});
  }
  if (e.hp < 100) e.hp = 0;
}

void RunOrbCarrier(Enemy& e) {
  if (e.age == 0) {
    for (int k = 0; k < 2; ++k) {
      g_extra.orbs[k] =
          Keep(SpawnBulletIndexed(4, 0, kBehaviourCircleCentre, 28, 0.0, 0.0, 0.0, 3.0, 30.0, 0.0,
                                  180.0 * k));
    }
  }
  if (PausingEvery(e, 9)) {
    for (double base : {1.0 * e.age, -1.0 * e.age}) {
      ShootRing({.sheet = 4, .spawnCode = 1, .n = 7, .x = e.x, .y = e.y, .speed = 1.0, .accel = 0.1,
                 .speedLimit = 2.5, .base = base});
    }
  }
  if (e.age == FirstEnd(e) + 60) {
    // Only orbs still circling fire: an erased orb's slot may hold another bullet.
    for (int k = 0; k < 2; ++k) {
      const EnemyBullet* orb = Live(g_extra.orbs[k]);
      if (orb == nullptr) continue;
      ShootLayeredFan({.colour = 4, .sheet = 4, .spawnCode = 1, .n = 8, .spread = 150, .layers = 10,
                       .x = WholePixel(orb->x), .y = WholePixel(orb->y), .speed = 5.0,
                       .accel = -1.0, .speedLimit = 2.0, .centre = k == 0 ? 240.0 : 300.0,
                       .layerDelay = 10.0});
    }
  }
  if (e.hp < 50) {
    for (const Kept& kept : g_extra.orbs) {
      if (EnemyBullet* orb = Live(kept)) orb->state = 0;
    }
    e.hp = 0;
  }
}

void FireTurningHexagons(const Enemy& e) {
  if (!PausingEvery(e, 10)) return;
  ShootPolygon({.colour = 1, .sheet = 4, .n = 4, .m = 6, .radius = e.age % 80 + 20, .x = e.x,
                .y = e.y, .speed = 2.0, .rotation = 7.0 * e.age, .offset = 270.0});
}

void FireRingAtADistance(Enemy& e) {
  if (!PausingEvery(e, 60) || HitCircle(e.x, e.y, g_player.x, g_player.y, 50.0)) return;
  ShootRing({.colour = 1 - Parity(e), .sheet = 13, .spawnCode = 1, .n = 10, .x = e.x, .y = e.y,
             .speed = 3.0, .accel = -0.05, .speedLimit = 1.5, .base = Aim(e)});
  e.hp -= 50;
}

void FireCrossingRings(const Enemy& e) {
  if (!Pausing(e) || !Every(e.age, 30)) return;
  const double a = e.age;
  ShootRing({.colour = 3, .sheet = 7, .spawnCode = 1, .n = 7, .x = e.x, .y = e.y, .speed = -3.0,
             .accel = 0.05, .speedLimit = 3.0, .base = a});
  static constexpr int kTurns[4][2] = {{350, 10}, {340, 20}, {10, -10}, {20, -20}};
  for (const auto& turn : kTurns) {
    ShootRing({.colour = 3, .sheet = 7, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
               .behaviourParam = turn[0], .triggerAge = 140, .n = 7, .x = e.x, .y = e.y,
               .speed = -3.0, .accel = 0.05, .speedLimit = 3.0, .base = a + turn[1]});
  }
}

void FireAtSegmentEnds(const Enemy& e) {
  if (e.age != FirstEnd(e) && e.age != SecondStart(e)) return;
  const double s = g_difficulty / 2;
  ShootLayeredFan({.colour = 4, .sheet = 2, .spawnCode = 1, .n = 6, .spread = 50, .layers = 3,
                   .x = e.x, .y = e.y, .speed = 4 + 0.5 * s, .accel = -1.0,
                   .speedLimit = 2 + 0.5 * s, .centre = Aim(e), .layerDelay = 20.0});
  const int colour = 1 + e.sprite / 2 - e.sprite % 2;
  for (int param : {90, 270}) {
    ShootRing({.colour = colour, .sheet = 7, .spawnCode = 1, .behaviour = kBehaviourAngleCode,
               .behaviourParam = param, .triggerAge = 60, .n = 18, .x = e.x, .y = e.y, .speed = 3.0,
               .accel = -0.1, .speedLimit = 1.5, .base = 90.0});
  }
}

void WarningCross(double x, double y) {
  SpawnLaser(3, 10, y, 430, y, 0, 500, 7, 60, 90, 2);
  SpawnLaser(3, x, 0, x, 500, 0, 700, 7, 60, 90, 2);
}

void ShowWarningCrosses(Enemy& e, bool throughPlayer) {
  if (e.age == SecondStart(e)) {
    WarningCross(e.x, e.y);
    if (throughPlayer) WarningCross(g_player.x, g_player.y);
  }
  if (e.age == SecondStart(e) + 60) e.hp = 0;
}

void FireTurningTriangles(const Enemy& e) {
  if (!PausingEvery(e, 10)) return;
  const int t2 = SecondStart(e);
  const double rotation =
      e.age < t2 - 180 ? 270.0 : 270.0 + (2 * e.turnFlag - 1) * (e.age - t2 + 180);
  ShootPolygon({.colour = 1 - Parity(e), .sheet = 7, .n = 2, .m = 3, .radius = 50, .x = e.x,
                .y = e.y, .speed = 1.5, .rotation = rotation, .offset = 270.0});
}

}  // namespace

void FireExtraEnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1) return;
  const int frame = g_stageFrame;
  if (frame < 1700) {
    if (slot == 8 || slot == 17) {
      FireLayeredRing(e);
    } else if (slot <= 16) {
      FireAimedLayers(e);
    }
  } else if (frame < 3500) {
    if (slot <= 19) FireRingUntilWeak(e);
    if (slot == 20 || slot == 21) FireAimedLayersWhilePausing(e);
  } else if (frame < 5300) {
    if (slot <= 19) FireTwoRingsUntilWeak(e);
    if (slot == 28) RunOrbCarrier(e);
    if (slot == 29) FireTurningHexagons(e);
  } else if (frame < 7100) {
    if (slot <= 19) FireRingAtADistance(e);
    if (slot >= 25) FireCrossingRings(e);
  } else if (frame < 8900) {
    if (slot <= 11) FireAtSegmentEnds(e);
    if (slot >= 12 && slot <= 17) ShowWarningCrosses(e, true);
    if (slot >= 18) ShowWarningCrosses(e, false);
  } else if (slot <= 7) {
    FireTurningTriangles(e);
  }
}

// ---------------------------------------------------------------------------
// Conversations.

namespace {

// Lines 30-33 are paced by the frame: the player cannot advance them before their
// threshold, and from it they advance by themselves.
void PaceLine(int threshold) {
  if (g_stageFrame < threshold) {
    g_inputBits &= ~(kInputShot | kInputSkip);
  } else {
    g_inputBits |= kInputShot;
  }
}

void ShowFromHiding(int slot) {
  Boss& boss = g_bosses[slot];
  if (boss.state != 4) return;
  boss.state = 1;
  RunBossBreakRing(0, slot);
}

// Line 4: the star-gazer appears hidden on one step and with her ring on the next.
void StarGazerEnters() {
  Boss& boss = g_bosses[0];
  ShowFromHiding(0);
  if (boss.state == 0) {
    InitBoss(0, 1, 4, 224.0, 150.0);
    boss.state = 4;
  }
}

void TrioEnters() {
  if (g_bosses[0].state != 0) return;
  InitBoss(0, 3, 4, 224.0, 150.0);
  InitBoss(1, 3, 5, 174.0, 100.0);
  InitBoss(2, 3, 6, 274.0, 100.0);
  for (int slot = 0; slot < kBossSlots; ++slot) g_bosses[slot].state = 4;
}

}  // namespace

void GetExtraDialogueLine(DialogueLine& line) {
  struct Row {
    int number, side, leftPose;  // leftPose -1: no portrait on the left
    int rightKind, rightPose;    // rightKind 0: boss 0's kind, -1: no portrait
  };
  // Lines 1-3 are the player alone speaking; the right portrait is boss 0's kind as on
  // every opening line.
  // Who speaks on the lines the table leaves to the writer: the star-gazer on her
  // entrance (4), on the music (18) and on the last line (19); each of the trio as she
  // shows herself (31-33).
  static constexpr Row kRows[] = {
      {1, 0, 6, 0, 0},   {2, 0, 6, 0, 0},   {3, 0, 6, 0, 0},   {4, 1, 0, 0, 0},
      {5, 1, 0, 0, 0},   {6, 0, 0, 0, 0},   {7, 1, 0, 0, 1},   {8, 0, 2, 0, 1},
      {9, 1, 2, 0, 0},   {10, 0, 0, 0, 0},  {11, 1, 0, 0, 2},  {12, 1, 0, 0, 0},
      {13, 1, 0, 0, 1},  {14, 0, 3, 0, 1},  {15, 1, 3, 0, 2},  {16, 1, 3, 0, 0},
      {17, 0, 0, 0, 0},  {18, 1, 0, 0, 2},  {19, 1, 0, 0, 1},  {30, 0, 2, -1, 0},
      {31, 1, 2, 5, 0},  {32, 1, 2, 6, 0},  {33, 1, 2, 4, 0},  {50, 1, 0, 4, 0},
      {51, 1, 0, 5, 0},  {52, 0, 0, 5, 0},  {53, 0, 2, 6, 0},  {54, 0, 0, 6, 0},
      {55, 1, 0, 6, 0},  {56, 1, 0, 4, 1},  {57, 1, 0, 5, 1},  {58, 0, 3, 5, 1},
      {59, 1, 3, 4, 0},  {60, 1, 3, 6, 1},  {61, 0, 0, 6, 1},  {62, 1, 0, 5, 2},
      {63, 1, 0, 4, 2},  {64, 1, 0, 6, 2},  {65, 0, 5, 4, 2},
  };
  const int number = g_talkActive;
  switch (number) {
    case 4: StarGazerEnters(); break;
    case 18: StartBossMusicOnce(kBossTheme); break;
    case 21: EndOpeningConversation(); return;
    case 30:
      PaceLine(20240);
      TrioEnters();
      break;
    case 31: PaceLine(20360); ShowFromHiding(1); break;
    case 32: PaceLine(20480); ShowFromHiding(2); break;
    case 33: PaceLine(20600); ShowFromHiding(0); break;
    case 35: {
      const char* title = MusicTitleTable[kLastFightTheme];
      if (PlayMusicByTitle(title) != 0) ShowMusicTitle(title, 0);
      g_stageFrame = kLastFightStart;
      g_talkActive = 0;
      return;
    }
    case 66: EndClosingConversation(); return;
    default: break;
  }
  const Row* row = FindLineRow(kRows, number);
  if (row == nullptr) return;  // 20, 22-29, 34, 36-49: side 3, both portraits out

  const int right = row->rightKind == 0 ? g_bosses[0].kind : row->rightKind;
  FillDialogueLine(line, row->side, row->leftPose, right, row->rightPose,
                   ExtraDialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

// A boss's drop in the order the phase table gives it.
struct BossDrops {
  int power, point, special;
};

struct PhaseValues {
  int hp, steps;
  BossDrops drops;
  bool setsActive;  // also brings boss 0 back to state 1 (from a card's translucent 2)
};

void ApplySettings(const PhaseValues& v) {
  Boss& boss = g_bosses[0];
  boss.moveFrames = 0.0;
  boss.hp = boss.maxHp = v.hp;
  boss.spellTimer = v.steps;
  boss.dropPower = v.drops.power;
  boss.dropPoint = v.drops.point;
  boss.dropSpecial = v.drops.special;
  if (v.setsActive) boss.state = 1;
}


void RunCard(int cardSlot) { RunBossAttack(GetSpellCardId(g_difficulty, cardSlot)); }

void ExchangeBosses0And2() { std::swap(g_bosses[0], g_bosses[2]); }

// ---- The non-spells. Each runs on boss 0's timer while no card runs.

void RunFanSweepNonSpell(Boss& boss, int t) {
  if (t == 2) {
    g_extra.a = 1.0;
    g_extra.b = 90.0;
    g_extra.c = 7.0;
  }
  if (t == 100) SetBossAnimation(0, 0, 240);
  if (t == 220) g_extra.a = -g_extra.a;
  if (t == 340) MoveBossNearPlayer();
  if (t >= 100 && t <= 340 && Every(t, 12)) {
    const int n = static_cast<int>(g_extra.c);
    const double b = g_extra.b;
    ShootRingOfFans({.colour = 3, .sheet = 13, .spawnCode = 1, .n = 3, .m = n, .spread = 24,
                     .x = boss.x, .y = boss.y, .speed = -2.0, .accel = 0.05, .speedLimit = 2.5,
                     .base = b});
    ShootRing({.colour = 4, .sheet = 13, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
               .speed = -2.0, .accel = 0.1, .speedLimit = 2.0, .base = b});
    ShootRing({.colour = 4, .sheet = 13, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
               .speed = -1.5, .accel = 0.05, .speedLimit = 2.0, .base = 2 * b});
    g_extra.b += 15 * g_extra.a;
  }
  if (t == 400) boss.phaseTimer = 99;
}

void RunOrbLasersNonSpell(Boss& boss, int t) {
  if (t == 30) {
    g_extra.bossOrbs[0] = Keep(SpawnBulletIndexed(3, 0, kBehaviourCircleBoss, 45, 0.0, 0.0, 0.0,
                                                  3.0, 75.0, 2.0, 0.0));
    g_extra.bossOrbs[1] =
        Keep(SpawnBulletIndexed(3, 0, kBehaviourCircleBoss, 225, 0.0, 0.0, 0.0, 3.0, 75.0, -2.0,
                                180.0));
    g_extra.c = 1.0;
    g_extra.d = 90.0;
    g_extra.e = 8.0;
    boss.targetX = 224.0;
  }
  if (t == 100) SetBossAnimation(0, 0, 240);
  if (t == 220 || t == 340) MoveBossNearPlayer();
  if (t >= 100 && t <= 340 && Every(t, 15)) {
    for (int k = 0; k < 4; ++k) {
      ShootLaserAtAngle({.colour = 3, .spawnCode = 1, .x = boss.x, .y = boss.y,
                         .angle = g_extra.d + 72 * k, .lifetime = 800, .fullLength = 100,
                         .fullWidth = 3, .growth = 4.0, .startLength = 10.0});
    }
    const int n = static_cast<int>(g_extra.e);
    const double bases[2] = {1.0 * t, -1.0 * t};
    // Only orbs still circling fire: one erased by a bomb fires nothing.
    for (int k = 0; k < 2; ++k) {
      if (const EnemyBullet* orb = Live(g_extra.bossOrbs[k])) {
        ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = n, .x = orb->x, .y = orb->y,
                   .speed = 1.0, .accel = 0.05, .speedLimit = 1.5, .base = bases[k]});
      }
    }
    for (int k = 0; k < 2; ++k) {
      if (const EnemyBullet* orb = Live(g_extra.bossOrbs[k])) {
        ShootRing({.colour = 2, .sheet = 2, .spawnCode = 1, .n = n / 2, .x = orb->x, .y = orb->y,
                   .accel = 0.02, .speedLimit = 1.5, .base = bases[k]});
      }
    }
    g_extra.d += 17 * g_extra.c;
  }
  if (t == 400) {
    g_extra.c = -g_extra.c;
    boss.phaseTimer = 99;
  }
}

// The chains of 150-180 take the running angle B, which the ellipses also start from. The
// cycle ends at 350, one ellipse period after the last volley at 300.
void RunChainsNonSpell(Boss& boss, int t) {
  if (t == 2) g_extra.b = 90.0;
  if (t == 140) MoveBossNearPlayer();
  if (t >= 150 && t <= 180 && Every(t, 10)) {
    ShootBulletChain({.colour = 3, .behaviourParam = 90, .n = 10, .x = boss.x, .y = boss.y,
                      .speed = 1.0, .accel = 0.03, .speedLimit = 4.0, .turnRate = 2.0,
                      .angle = g_extra.b});
  }
  if (t >= 190 && t <= 220 && Every(t, 10)) {
    ShootBulletChain({.colour = 3, .behaviourParam = 90, .n = 10, .x = boss.x, .y = boss.y,
                      .speed = 1.0, .accel = 0.03, .speedLimit = 4.0, .turnRate = 2.0,
                      .angle = 60.0 * (t - 190)});
  }
  if (t >= 100 && t <= 300 && Every(t, 50)) {
    ShootEllipseRing({.colour = 1, .sheet = 1, .n = 20, .radius = 100, .x = boss.x, .y = boss.y,
                      .accel = 0.01, .speedLimit = 2.0, .start = g_extra.b, .tilt = 30.0,
                      .flatness = 0.5, .offset = 180.0});
    ShootEllipseRing({.colour = 4, .sheet = 1, .n = 20, .radius = 100, .x = boss.x, .y = boss.y,
                      .accel = 0.01, .speedLimit = 2.0, .start = g_extra.b, .tilt = 150.0,
                      .flatness = 0.5, .offset = 180.0});
    g_extra.b += 1;
  }
  if (t == 350) boss.phaseTimer = 99;
}

void RunSlowFanNonSpell(Boss& boss, int t) {
  if (t == 30) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 100 || t == 130) {
    ShootFan({.colour = 1, .sheet = 15, .spawnCode = 1, .behaviour = kBehaviourSplit,
              .behaviourParam = 152, .n = 10, .spread = 360, .x = boss.x, .y = boss.y, .speed = 2.0,
              .accel = 0.01, .speedLimit = 2.0, .centre = AimFromBoss(0)});
  }
  if (t == 410) boss.phaseTimer = 99;
}

// The fan-burst rings fly as the fans do (4 slowing to 3), at the angle to the player taken
// at 100 (C). The cycle ends at 180, after the pose of 130 has mostly run.
void FanBurstRing(const Boss& boss, int colour, int sheet) {
  ShootRing({.colour = colour, .sheet = sheet, .spawnCode = 1, .n = static_cast<int>(g_extra.b),
             .x = boss.x, .y = boss.y, .speed = 4.0, .accel = -0.01, .speedLimit = 3.0,
             .base = g_extra.c});
}

void FanBurstFans(const Boss& boss) {
  ShootRingOfFans({.sheet = 15, .spawnCode = 1, .n = 2, .m = 4, .spread = 30, .x = boss.x,
                   .y = boss.y, .speed = 4.0, .accel = -0.01, .speedLimit = 3.0,
                   .base = g_extra.d});
  g_extra.d -= 30;
}

void RunFanBurstNonSpell(Boss& boss, int t) {
  if (t == 1) {
    g_extra.b = 30.0;
    g_extra.d = 0.0;
  }
  if (t == 60) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 150);
  }
  if (t == 100) {
    g_extra.c = AimFromBoss(0);
    FanBurstFans(boss);
    FanBurstRing(boss, 4, 2);
  }
  if (t == 105) FanBurstRing(boss, 3, 2);
  if (t == 110) {
    FanBurstFans(boss);
    FanBurstRing(boss, 2, 5);
  }
  if (t == 115) FanBurstRing(boss, 0, 2);
  if (t == 130) SetBossAnimation(0, 0, 150);
  if (t == 180) boss.phaseTimer = 99;
}

// E is not set here: the ring's turn carries on from the value the earlier phases left.
void RunClosingRingNonSpell(Boss& boss, int t) {
  if (t == 30) {
    g_extra.a = 1.0;
    g_extra.b = 10.0;
    g_extra.d = 200.0;
  }
  if (t >= 100 && t <= 199 && Every(t, 4)) {
    const double px = 174 * std::trunc(g_extra.a) + 50, py = 116;
    const int n = static_cast<int>(g_extra.b), r = static_cast<int>(g_extra.d);
    const int e = static_cast<int>(g_extra.e);
    ShootRingOnCircle({.sheet = 16, .spawnCode = 12, .behaviour = kBehaviourHarmlessUntil,
                       .behaviourParam = 501, .n = n, .radius = r, .x = px, .y = py,
                       .base = 370.0 - t});
    ShootRingOnCircle({.sheet = 7, .spawnCode = 1, .behaviour = kBehaviourEaseToLimitSlow,
                       .triggerAge = 260 - t, .n = n, .radius = r, .x = px, .y = py,
                       .speedLimit = 1.5, .base = 370.0 - t, .offset = static_cast<double>(-e)});
    ShootRingOnCircle({.sheet = 7, .spawnCode = 1, .behaviour = kBehaviourEaseToLimitSlow,
                       .triggerAge = 260 - t, .n = n, .radius = r, .x = px, .y = py,
                       .speedLimit = 2.0, .base = 370.0 - t, .offset = static_cast<double>(e)});
    g_extra.e += 35;
    g_extra.d -= 4;
  }
  if (t == 200) MoveBossNearPlayer();
  if (t == 260) {
    const double aim = AimFromBoss(0);
    for (int k = 0; k < 5; ++k) {
      ShootRing({.colour = 3, .sheet = 9, .spawnCode = 1, .n = 7, .x = boss.x, .y = boss.y,
                 .speed = 4.0, .accel = -1.0 / (20 + 4 * k), .speedLimit = 1.5,
                 .base = aim + 10 * k * (g_extra.a - 1)});
    }
  }
  if (t == 300) {
    boss.phaseTimer = 99;
    g_extra.d = 200.0;
    g_extra.a = static_cast<int>(std::trunc(g_extra.a + 2)) % 3;
    g_extra.c = NextRandom() % 180;
  }
}

void TrioSettings() {
  for (int slot = 0; slot < kBossSlots; ++slot) g_bosses[slot].state = 1;
  g_bosses[1].maxHp = g_bosses[2].maxHp = 2700;
}

void TrioVolley(bool second) {
  const Boss& b0 = g_bosses[0];
  const Boss& b1 = g_bosses[1];
  const Boss& b2 = g_bosses[2];
  const int n = static_cast<int>(g_extra.b);
  const double aim = AimFromBoss(0);
  ShootRingOnCircle({.sheet = 7, .spawnCode = 1, .n = n, .radius = 25, .x = b0.x, .y = b0.y,
                     .accel = 0.05, .speedLimit = 1.5, .base = aim});
  ShootRingOnCircle({.sheet = 2, .spawnCode = 1, .n = n, .radius = 50, .x = b0.x, .y = b0.y,
                     .accel = 0.05, .speedLimit = 1.5, .base = aim});
  const double o = second ? -10.0 : 10.0;
  ShootRingOnCircle({.colour = 3, .spawnCode = 1, .n = n, .x = b1.x + 50, .y = b1.y, .accel = 0.05,
                     .speedLimit = 1.5, .base = 270.0, .offset = o});
  ShootRingOnCircle({.colour = 3, .spawnCode = 1, .n = n, .radius = 50, .x = b1.x, .y = b1.y,
                     .accel = 0.05, .speedLimit = 1.5, .base = 270.0, .offset = -o});
  const double tilt1 = second ? 150.0 : 30.0, tilt2 = second ? 30.0 : 150.0;
  ShootEllipseRing({.colour = 1, .sheet = 1, .n = n, .radius = 50, .x = b2.x, .y = b2.y,
                    .accel = 0.05, .speedLimit = 1.5, .start = 90.0, .tilt = tilt1,
                    .flatness = 0.5});
  ShootEllipseRing({.colour = 4, .sheet = 1, .n = n, .radius = 50, .x = b2.x, .y = b2.y,
                    .accel = 0.05, .speedLimit = 1.5, .start = 270.0, .tilt = tilt2,
                    .flatness = 0.5});
}

void RunTrioVolleyNonSpell(Boss& boss, int t) {
  if (t == 1) {
    TrioSettings();
    g_extra.b = 45.0;
    g_extra.c = 0.0;
  }
  if (t == 60) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 150);
  }
  if (t == 100) TrioVolley(false);
  if (t == 160) {
    const int c = static_cast<int>(g_extra.c);
    Boss& mover = g_bosses[c % 3];
    mover.targetY = ClampToInt(mover.y + NextRandom() % 50 - 25, 50, 250);
    const int k = (c + 1) % 3;
    mover.targetX = ClampToInt(g_player.x + 100 * k - 100, 100 * k + 24, 100 * k + 224);
    mover.moveFrames = 80.0;
  }
  if (t == 190) TrioVolley(true);
  if (t == 250) {
    SetBossAnimation(static_cast<int>(g_extra.c) % 3, 0, 330);
    boss.phaseTimer = 99;
    g_extra.c += 1;
  }
}

void TrioLaserPair(double a1, double a2) {
  const Boss& b1 = g_bosses[1];
  const Boss& b2 = g_bosses[2];
  ShootLaserAtAngle({.colour = 3, .spawnCode = 1, .x = b1.x, .y = b1.y, .angle = a1,
                     .lifetime = 10000, .fullLength = 200, .fullWidth = 3, .growth = 3.0,
                     .startLength = 10.0});
  ShootLaserAtAngle({.colour = 3, .spawnCode = 1, .x = b2.x, .y = b2.y, .angle = a2,
                     .lifetime = 10000, .fullLength = 200, .fullWidth = 3, .growth = 3.0,
                     .startLength = 10.0});
}

void RunTrioLaserNonSpell(Boss& boss, int t) {
  if (t == 1) {
    TrioSettings();
    g_extra.b = 9.0;
    g_extra.c = g_extra.d = 0.0;
  }
  if (t == 30) {
    SetBossMoveTarget(0, 224.0, 150.0, 50);
    SetBossMoveTarget(1, 374.0, 100.0, 50);
    SetBossMoveTarget(2, 74.0, 100.0, 50);
  }
  if (t == 60) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 150);
  }
  if (t == 100) {
    g_extra.c = AimFromBoss(1);
    g_extra.d = AimFromBoss(2);
    SetBossAnimation(1, 0, 90);
    SetBossAnimation(2, 0, 90);
    TrioLaserPair(g_extra.c - 30, g_extra.d + 30);
  }
  if (t == 130) TrioLaserPair(g_extra.c, g_extra.d);
  if (t == 160) TrioLaserPair(g_extra.c + 30, g_extra.d - 30);
  if (t >= 100 && t <= 189 && Every(t, 3)) {
    const int n = static_cast<int>(g_extra.b);
    ShootEllipseRing({.colour = 1, .sheet = 1, .n = n, .radius = 50, .x = boss.x, .y = boss.y,
                      .accel = 0.05, .speedLimit = 1.5, .start = 90.0, .tilt = 3.0 * t - 150,
                      .flatness = 0.5});
    ShootEllipseRing({.colour = 4, .sheet = 1, .n = n, .radius = 50, .x = boss.x, .y = boss.y,
                      .accel = 0.05, .speedLimit = 1.5, .start = 270.0, .tilt = 3.0 * t - 270,
                      .flatness = 0.5});
  }
  if (t == 250) {
    SetBossAnimation(0, 0, 330);
    boss.phaseTimer = 99;
  }
}

// ---- The phase kinds.

enum class Blast { kNone, kBoss0, kTrio };

// Boss 0 beaten (or out of time) after its card's start leaves with the defeat blast;
// the card ends once the blast has freed it.
void BlastAtCardEnd(Blast blast) {
  if (blast == Blast::kNone) return;
  if (blast == Blast::kBoss0) {
    BlowUpBossAtLastCardEnd();
    return;
  }
  Boss& boss = g_bosses[0];
  if ((boss.spellTimer == 1 || boss.hp <= 0) && boss.phaseTimer > 90 && boss.state != 3 &&
      boss.state != 0) {
    for (int slot = 0; slot < kBossSlots; ++slot) g_bosses[slot].state = 3;
    RunBossExplosion(0);
  }
}

// A card alone: the boss waits as a non-card (HP 100, no time) until `startAt`, then the
// card runs from its first step.
void CardOnlyPhase(BossDrops drops, int startAt, int cardSlot, Blast blast, bool trio) {
  g_extra.barSplit = 100;
  if (g_spellBackground == 0) {
    Boss& boss = g_bosses[0];
    if (boss.phaseTimer == 1) {
      if (trio && cardSlot == 11) ExchangeBosses0And2();
      ApplySettings({100, -1, drops, trio});
      if (trio) {
        TrioSettings();
        g_bosses[1].maxHp = g_bosses[2].maxHp = 100;
      }
    }
    if (boss.phaseTimer == startAt) {
      for (int slot = 0; slot < (trio ? kBossSlots : 1); ++slot) g_bosses[slot].phaseTimer = 1;
      EraseAllBullets();
      g_spellBackground = 1;
    }
  }
  if (g_spellBackground != 1) return;
  BlastAtCardEnd(blast);
  RunCard(cardSlot);
}

// A non-spell, then its card from the step the non-spell ends.
void NonSpellPhase(const PhaseValues& values, void (*pattern)(Boss&, int), int cardSlot,
                   Blast blast, bool trio, int barSplit) {
  g_extra.barSplit = barSplit;
  if (g_spellBackground == 0) {
    Boss& boss = g_bosses[0];
    if (boss.phaseTimer == 1) {
      if (trio && cardSlot == 10) ExchangeBosses0And2();
      ApplySettings(values);
    }
    pattern(boss, boss.phaseTimer);
    if (NonSpellOver()) {
      for (int slot = 0; slot < (trio ? kBossSlots : 1); ++slot) g_bosses[slot].phaseTimer = 1;
      EraseAllBullets();
      g_spellBackground = 1;
    }
  }
  if (g_spellBackground != 1) return;
  BlastAtCardEnd(blast);
  RunCard(cardSlot);
}

void Aftermath(int resumeFrame) {
  EndFightWithBreakRing();
  g_stageFrame = resumeFrame;
}

// The resume frame of the meeting that phase `phase` belongs to (0 for the last fight).
int ResumeFrameOf(int phase) {
  static constexpr int kResume[16] = {0,    1700, 1700, 3500, 3500, 5300, 5300, 7100,
                                      7100, 7100, 8900, 8900, 8900, 20000, 20000, 20000};
  return phase >= 1 && phase <= 15 ? kResume[phase] : 0;
}

constexpr PhaseValues kFanSweep = {2000, 1800, {7, 15, 0}, true};
constexpr PhaseValues kOrbLasers = {1800, 1800, {7, 15, 1}, true};
constexpr PhaseValues kChains = {1500, 1800, {7, 15, 0}, true};
constexpr PhaseValues kSlowFan = {1800, 1800, {7, 15, 1}, true};
constexpr PhaseValues kFanBurst = {1500, 1800, {7, 15, 0}, false};
constexpr PhaseValues kClosingRing = {2000, 1800, {7, 15, 2}, true};
constexpr PhaseValues kTrioNonSpell = {3000, 3600, {12, 20, 0}, true};

}  // namespace

void RunExtraBossFight() {
  const int phase = g_bossPhase;
  // A meeting holds the frame in the 360 steps before its resume frame.
  const int resume = ResumeFrameOf(phase);
  if (phase <= 14 && resume > 0 && g_stageFrame == resume) g_stageFrame = resume - 360;

  switch (phase) {
    case 1: CardOnlyPhase({20, 0, 0}, 60, 0, Blast::kBoss0, false); break;
    case 3: CardOnlyPhase({20, 0, 1}, 60, 1, Blast::kBoss0, false); break;
    case 5: CardOnlyPhase({20, 0, 2}, 60, 2, Blast::kBoss0, false); break;
    case 2: case 4: case 6: case 9: case 12:
      Aftermath(resume);
      break;
    case 7: NonSpellPhase(kFanSweep, RunFanSweepNonSpell, 3, Blast::kNone, false, 20); break;
    case 8: NonSpellPhase(kOrbLasers, RunOrbLasersNonSpell, 4, Blast::kBoss0, false, 20); break;
    case 10: NonSpellPhase(kChains, RunChainsNonSpell, 5, Blast::kNone, false, 20); break;
    case 11: NonSpellPhase(kSlowFan, RunSlowFanNonSpell, 6, Blast::kBoss0, false, 20); break;
    case 13: NonSpellPhase(kFanBurst, RunFanBurstNonSpell, 7, Blast::kNone, false, 20); break;
    case 14: NonSpellPhase(kClosingRing, RunClosingRingNonSpell, 8, Blast::kBoss0, false, 20); break;
    case 15:
      StopPlayMusic();
      Aftermath(resume);
      break;
    case 16: NonSpellPhase(kTrioNonSpell, RunTrioVolleyNonSpell, 9, Blast::kNone, true, 30); break;
    case 17: NonSpellPhase(kTrioNonSpell, RunTrioLaserNonSpell, 10, Blast::kNone, true, 30); break;
    // The trio's survival card ends by its time with the three still up: no blast, or
    // the last card would find boss 0 freed and its timer stopped.
    case 18: CardOnlyPhase({24, 10, 0}, 180, 11, Blast::kNone, true); break;
    case 19: CardOnlyPhase({0, 40, 0}, 180, 12, Blast::kTrio, true); break;
    case 20:
      g_bosses[0].state = 0;
      EndBossFight();
      break;
    default:
      break;
  }
  DrawBossStatus(g_extra.barSplit, g_spellBackground);
}

void RunExtraStageTimeline() {
  static constexpr StageParts kParts = {RunExtraWaves, FireExtraEnemyShots, GetExtraDialogueLine,
                                        RunExtraBossFight};
  RunStageSteps(kParts);
}

void ResetExtraState() {
  g_extra = ExtraState{};
  for (Kept& kept : g_extra.orbs) kept.slot = -1;
  for (Kept& kept : g_extra.bossOrbs) kept.slot = -1;
  ResetExtraAttacks();
}
