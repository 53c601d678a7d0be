// Stage 6: the road into the moon palace, the princess as her own mirage for a mid-boss,
// then her four non-spells and five cards, and the two ending conversations.
#include "game/stages/stage6.h"

#include <climits>
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

constexpr int kBossKind = 4;
constexpr int kStageTheme = 1;
constexpr int kBossTheme = 2;
constexpr int kMidBossEnd = 4500;
constexpr int kStageClearFrame = 100120;
constexpr int kEndingChoiceFrame = 100300;
constexpr int kFirstEnding = 20;
constexpr int kSecondEnding = 50;

// The values the boss fight keeps between steps: the selector s (a sign in phases 3 and
// 5, a circle position 0..2 in phases 4 and 6), the count k and the angles r, a and u.
struct Stage6State {
  int barSplit;
  double s, k, r, a, u;
};
Stage6State g_stage6;


// ---------------------------------------------------------------------------
// Waves. One row of a wave table: both segments straight unless `m2` says otherwise.

struct WaveEnemy {
  int hp, turnFlag;
  int t1;
  double s1, a1;
  EnemyMotion m2;
  int t2;
  double s2, a2;
  int sprite, power, special, point;
  double x, y;
};
void Spawn(int slot, const WaveEnemy& w) {
  SpawnEnemy({.slot = slot, .hp = w.hp, .turnFlag = w.turnFlag, .m1 = kMotionStraight, .t1 = w.t1,
              .m2 = w.m2, .t2 = w.t2, .sprite = w.sprite, .power = w.power, .special = w.special,
              .point = w.point, .x = w.x, .y = w.y, .s1 = w.s1, .a1 = w.a1, .s2 = w.s2,
              .a2 = w.a2});
}

constexpr WaveEnemy kTableA[4] = {
    {200, 1, 60, 4, 330, kMotionStraight, 300, 3, 0, 1, 5, 0, 0, 0, 50},
    {200, 0, 60, 4, 210, kMotionStraight, 300, 3, 180, 1, 5, 0, 0, 440, 50},
    {200, 1, 60, 4, 300, kMotionStraight, 300, 3, 0, 1, 5, 0, 0, 0, 110},
    {200, 0, 60, 4, 240, kMotionStraight, 300, 3, 180, 1, 5, 0, 0, 440, 110},
};
constexpr WaveEnemy kTableB[2] = {
    {350, 1, 60, 4, 330, kMotionStraight, 360, 3, 30, 3, 16, 8, 1, 0, 50},
    {350, 0, 60, 4, 210, kMotionStraight, 360, 3, 150, 3, 16, 8, 1, 440, 50},
};
constexpr WaveEnemy kTableD[2] = {
    {200, 0, 60, 4, 310, kMotionStraight, 300, 3, 0, 1, 5, 0, 0, 0, 0},
    {200, 1, 60, 4, 230, kMotionStraight, 300, 3, 180, 1, 5, 0, 0, 440, 0},
};
// A small fairy that flies in from a side and goes on along a curve (motion kind m2).
WaveEnemy SideFairy(int turnFlag, double angle, EnemyMotion m2, double x, double y) {
  return {60, turnFlag, 60, 3, angle, m2, 60, 3, angle, 0, 0, 5, 0, x, y};
}

void SpawnSidePairC(int frame) {
  const int k = frame == 815 ? 7 : (frame - 700) / 15;
  const double y = frame - 650;
  Spawn(6 + k, SideFairy(1, 320, kMotionHalfTurn, 29, y));
  Spawn(14 + k, SideFairy(0, 220, kMotionHalfTurn, 420, y));
}

void SpawnQuartetC2(int frame) {
  const int k = (frame - 1290) / 60;
  Spawn(6 + k, SideFairy(1, 300, kMotionHalfTurn, 29, 50));
  Spawn(10 + k, SideFairy(1, 340, kMotionQuarterTurn, 29, 100));
  Spawn(14 + k, SideFairy(0, 240, kMotionHalfTurn, 420, 50));
  Spawn(18 + k, SideFairy(0, 200, kMotionQuarterTurn, 420, 100));
}

// The points that lives, bombs, graze and point rate add to the clear bonus.
double RemainsWorth() {
  const double lives = g_player.lives, bombs = g_player.bombs, graze = g_player.graze;
  return ((2 * lives + bombs) * 5000 + graze) * 100 * (g_player.pointRate + 2) / 6 *
         (Diff() + 1);
}

void ShowStage6Clear() {
  ShowNotice(180, 10, 224, 160, 0, SpriteSheetHandles.stageClear);
  const int64_t bonus = Stage6ClearBonus();
  int64_t power = 1;
  for (int k = 0; k <= 9 && power <= bonus; ++k, power *= 10) {
    const int digit = static_cast<int>((bonus / power) % 10);
    ShowNotice(180, 10, 16 * (17 - k), 190, 0, SpriteSheetHandles.bigDigit[digit]);
  }
  if (bonus > 0) AddScore(static_cast<int>(bonus));
}

// The score's last digit counts the continues used: 0 leads to the first ending.
void ChooseEnding() {
  // Stage practice and every replay (scene + 1000) end here; only a live main game goes
  // on to its ending conversation.
  if (!IsLiveGameScene(g_scene)) {
    g_stageOver = 1;
    return;
  }
  g_talkActive = g_player.score % 10 == 0 ? kFirstEnding : kSecondEnding;
}

}  // namespace

int64_t Stage6ClearBonus() {
  const double worth = RemainsWorth();
  // A huge graze count cannot carry the bonus past what the score can hold.
  const double capped = worth < 0 ? 0.0 : worth > 1e9 ? 1e9 : worth;
  const int64_t bonus = int64_t{StageDigit(g_scene)} * 1000000 + static_cast<int64_t>(capped);
  return bonus / 10 * 10;
}

void RunStage6Waves() {
  const int frame = g_stageFrame;
  switch (frame) {
    case 1:
      StartStageMusic(kStageTheme);
      break;
    case 30: case 60: case 90:
      ShowStageTitleNotice(5, (frame - 30) / 30);
      break;
    case 240: case 270: case 300: case 330:
      Spawn((frame - 240) / 30, kTableA[(frame - 240) / 30]);
      break;
    case 700: case 715: case 730: case 745: case 760: case 775: case 790: case 815:
      SpawnSidePairC(frame);
      break;
    case 1230:
      Spawn(22, kTableD[0]);
      Spawn(23, kTableD[1]);
      break;
    case 1290: case 1350:
      SpawnQuartetC2(frame);
      break;
    case 1800:
      Spawn(4, kTableB[0]);
      Spawn(5, kTableB[1]);
      break;
    case 2399:
      InitBoss(0, 0, kBossKind, 0.0, 0.0);
      break;
    case 2400:
      g_bosses[0].state = 4;
      SetBossMoveTarget(0, 224.0, 150.0, 90);
      break;
    case 2520:
      StartBossFight(1);
      break;
    case 4600:
      // No erase here: the waves are long gone.
      AttractAllItems();
      g_talkActive = 1;
      break;
    case kBossFightStart:
      StartBossFight(3);
      break;
    case kStageClearFrame:
      ShowStage6Clear();
      break;
    case kEndingChoiceFrame:
      ChooseEnding();
      break;
    case kNextScene:
      MoveToNextScene();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Enemy firing, chosen by slot: 0-3 A, 4-5 B, 6-21 C, 22-25 D, 26-29 none.

namespace {

// A turning polygon: still while the enemy waits, turning for its last 120 steps.
void TurningPolygon(const Enemy& e, double speed, int period) {
  if (!PausingEvery(e, period)) return;
  const int d = Diff();
  const int late = e.age - SecondStart(e) + 120;
  const double rotation = late < 0 ? 270.0 : 270.0 + (2 * e.turnFlag - 1) * late;
  ShootPolygon({.colour = TurnColour(e), .sheet = 7, .n = d / 2 + 2, .m = d - d / 2 + 2,
                .radius = 50, .x = e.x, .y = e.y, .speed = speed, .rotation = rotation,
                .offset = 270.0});
}

void OrbitRings(const Enemy& e) {
  if (!PausingEvery(e, 60)) return;
  const int d = Diff();
  const int c = TurnColour(e);
  const int n = d - d / 2 + 2;
  for (int j = 0; j < 10; ++j) {
    const double base = e.age + 36 * j;
    ShootOrbitRing({.colour = c, .n = n, .x = e.x, .y = e.y, .accel = 0.05, .speedLimit = 2.0,
                    .base = base, .ringColour = c, .ringSpeedLimit = 30, .ringAccel = 1.0,
                    .ringTurnRate = 1.0});
    ShootOrbitRing({.colour = c, .n = n, .x = e.x, .y = e.y, .accel = 0.05, .speedLimit = 2.0,
                    .base = base, .ringColour = c, .ringSpeedLimit = 60, .ringAccel = 1.0,
                    .ringTurnRate = 0.5});
  }
}

// Four layers fanned away from the player, 30 steps apart as in the other stages' layered
// fans.
void BackwardLayers(const Enemy& e) {
  if (e.age <= 30 || !Every(e.age, 60)) return;
  ShootLayeredFan({.colour = TurnColour(e), .sheet = 2, .spawnCode = 1,
                   .behaviour = kBehaviourBounce, .behaviourParam = 10111, .n = Diff() + 2,
                   .spread = 90, .layers = 4, .x = e.x, .y = e.y, .speed = 5.0, .accel = -1.0,
                   .speedLimit = 2.0, .centre = AngleToPlayer(e.x, e.y) + 180, .layerDelay = 30.0});
}

}  // namespace

void FireStage6EnemyShots(int slot) {
  Enemy& e = g_enemies[slot];
  if (e.active != 1) return;
  if (slot <= 3) {
    TurningPolygon(e, 3.0, 10);
  } else if (slot <= 5) {
    OrbitRings(e);
  } else if (slot <= 21) {
    BackwardLayers(e);
  } else if (slot <= 25) {
    TurningPolygon(e, 2.0, 15);
  }
}

// ---------------------------------------------------------------------------
// Conversations.

void GetStage6DialogueLine(DialogueLine& line) {
  struct Row {
    int number, side;
    int leftPose;   // -1: no portrait on the left
    int rightPose;  // -1: no portrait on the right
  };
  static constexpr Row kRows[] = {
      {1, 0, 6, 0},   {2, 1, 6, 0},   {3, 0, 0, 0},   {4, 1, 0, 5},   {5, 0, 2, 5},
      {6, 1, 2, 2},   {7, 0, 0, 2},   {8, 1, 0, 6},   {9, 0, 0, 6},   {10, 1, 0, 3},
      {11, 1, 0, 6},  {12, 0, 5, 6},  {13, 1, 5, 3},  {14, 0, 2, 3},  {15, 1, 2, 0},
      {16, 1, 2, 5},  {20, 0, 0, -1}, {21, 0, 2, -1}, {22, 1, 2, 7},  {23, 0, 5, 7},
      {24, 1, 5, 7},  {25, 0, 0, 7},  {26, 1, 0, 2},  {27, 0, 2, 2},  {28, 1, 2, 0},
      {29, 0, 5, 0},  {30, 1, 5, 5},  {31, 0, 5, 5},  {32, 1, 5, 5},  {33, 0, 5, 5},
      {34, 1, 5, 3},  {35, 0, 1, 3},  {36, 0, -1, -1}, {37, 0, -1, -1}, {38, 0, -1, -1},
      {50, 0, 0, -1}, {51, 0, 3, -1}, {52, 0, 3, -1}, {53, 0, 7, -1}, {54, 0, -1, -1},
      {55, 0, -1, -1}, {56, 0, -1, -1}, {57, 0, -1, -1}, {58, 0, -1, -1},
  };
  const int number = g_talkActive;
  switch (number) {
    case 2: BringBossBack(); break;  // the princess back from her mirage
    case 15: StartBossMusicOnce(kBossTheme); break;
    case 18: EndOpeningConversation(); return;
    case 39: case 59: EndClosingConversation(); return;
    default: break;
  }
  const Row* row = FindLineRow(kRows, number);
  if (row == nullptr) return;  // 17, 19 and 40-49 close the box

  const int right = row->rightPose >= 0 ? g_bosses[0].kind : -1;
  FillDialogueLine(line, row->side, row->leftPose, right, row->rightPose,
                   Stage6DialogueText(number));
}

// ---------------------------------------------------------------------------
// Boss fight.

namespace {

constexpr NonSpell kMirageNonSpell = {100, 1240, 0, 0, 2, true};
constexpr NonSpell kFirstNonSpell = {1800, 2100, 12, 10, 0, false};
constexpr NonSpell kSecondNonSpell = {2500, 2500, 12, 12, 0, false};
constexpr NonSpell kThirdNonSpell = {2000, 2100, 16, 12, 0, false};
constexpr NonSpell kFourthNonSpell = {3000, 3000, 20, 15, 0, false};
constexpr NonSpell kLastCardWait = {100, -1, 24, 20, 0, true};

// x first, then y, both drawn around the play field's upper middle.
void MoveMidBossAtRandom() {
  const int rx = NextRandom();
  const int ry = NextRandom();
  SetBossMoveTarget(0, 274 - rx % 100, 125 + ry % 50, 100);
}

void RunMirageNonSpell() {
  const Boss& boss = g_bosses[0];
  const int t = boss.phaseTimer, d = Diff(), h = DifficultyTier();
  const double x = boss.x, y = boss.y;
  if (t == 350 || t == 600) MoveMidBossAtRandom();
  if (t == 900) SetBossMoveTarget(0, 224.0, 150.0, 50);
  if (t == 970) RunBossChargeEffect(0, 0);
  if (t >= 100 && t <= 919 && Every(t, 10)) {
    const int perEdge = d - h + 1;
    ShootPolygon({.sheet = 2, .n = perEdge, .m = 3, .radius = 50, .x = x, .y = y, .speed = 2.5,
                  .rotation = static_cast<double>(2 * t), .offset = static_cast<double>(270 - t)});
    ShootPolygon({.colour = 2, .sheet = 5, .n = perEdge, .m = 3, .radius = 50, .x = x, .y = y,
                  .speed = 2.0, .rotation = static_cast<double>(-2 * t),
                  .offset = static_cast<double>(270 - t)});
    ShootPolygon({.colour = 3, .sheet = 2, .n = 2, .m = h + 2, .radius = 50, .x = x, .y = y,
                  .speed = 1.5, .rotation = static_cast<double>(t),
                  .offset = static_cast<double>(270 + t)});
    ShootPolygon({.colour = 4, .sheet = 2, .n = 2, .m = h + 2, .radius = 50, .x = x, .y = y,
                  .speed = 1.0, .rotation = static_cast<double>(-t), .offset = 270});
  }
  if (t >= 1000 && Every(t, 8)) {
    const int n = 2 * (d - h) + 6;
    ShootFan({.sheet = 13, .spawnCode = 1, .n = n, .spread = 360, .x = x, .y = y, .speed = 6.0,
              .speedLimit = 6.0, .centre = 270.0});
    ShootRing({.sheet = 15, .spawnCode = 1, .behaviour = kBehaviourAngleCode, .behaviourParam = 90,
               .triggerAge = 25 + 5 * h, .n = n, .x = x, .y = y, .speed = 6.0, .accel = -0.05,
               .speedLimit = 4.0, .base = 270.0});
    ShootRing({.sheet = 15, .spawnCode = 1, .behaviour = kBehaviourAngleCode, .behaviourParam = 270,
               .triggerAge = 25 + 5 * h, .n = n, .x = x, .y = y, .speed = 6.0, .accel = -0.05,
               .speedLimit = 4.0, .base = 270.0});
  }
  if (t == 1500) g_bosses[0].phaseTimer = 99;
}

void LeaveAsMirage() {
  Boss& boss = g_bosses[0];
  PlayEffect(kSeCardEnd);
  boss.state = 3;
  RunBossBreakRing(0, 0);
  SetBossMoveTarget(0, 224.0, 150.0, 90);
  g_bossPhase = 0;
  // However early or late the fight ends, the waves' clock goes on from here.
  g_stageFrame = kMidBossEnd;
}

// Phases 3 and 5: a turning ring of fans and four polygons a step apart.
void RunPolygonVolleys(bool second) {
  Boss& boss = g_bosses[0];
  Stage6State& st = g_stage6;
  const int t = boss.phaseTimer, d = Diff(), h = DifficultyTier();
  if (!second && t == 60) {
    st.s = 1;
    st.k = PerDifficulty(2, 3, 3, 4);
    st.r = 0;
    st.a = 270;
  }
  if (second && t == 30) {
    st.s = 1;
    st.k = PerDifficulty(2, 3, 4, 5);
    st.r = 0;
    st.a = 270;
    SetBossMoveTarget(0, 224.0, 150.0, 50);
  }
  if (t == (second ? 70 : 60)) {
    RunBossChargeEffect(0, 0);
    SetBossAnimation(0, 0, 150);
  }
  if (t == 100) {
    ShootRingOfFans({.colour = second ? 3 : 0, .sheet = 15, .spawnCode = 1, .n = second ? 2 : 1,
                     .m = h + 2, .spread = 40, .x = boss.x, .y = boss.y, .speed = 4.0,
                     .accel = -0.01, .speedLimit = 3.0, .base = st.a});
  }
  if (t >= 100 && t <= 115 && Every(t, 5)) {
    static constexpr int kLook[4][2] = {{2, 4}, {2, 3}, {5, 2}, {2, 0}};
    const int* look = kLook[(t - 100) / 5];
    const double speed = (second ? 2.5 : 3.0) + 0.25 * d;
    const double rotation = second && t == 100 ? st.r * st.s : st.r;
    const int k = static_cast<int>(st.k);
    for (int i = 0; i < k; ++i) {
      ShootPolygon({.colour = look[1], .sheet = look[0], .n = 2, .m = 4, .radius = 30, .x = boss.x,
                    .y = boss.y, .speed = speed, .rotation = rotation,
                    .offset = 45 - i * 90.0 / st.k});
    }
  }
  if (t == 120) {
    SetBossAnimation(0, 0, 150);
    boss.phaseTimer = 99;
    st.s = -st.s;
    st.r = st.r + st.s * (NextRandom() % 3) + 8 - d;
    st.a -= 20;
  }
}

// Phases 4 and 6: rings laid on a large circle whose centre walks between the middle
// and the two edges, and frozen bullets that all set off at timer 260.
void RunCircleVolleys(bool second) {
  Boss& boss = g_bosses[0];
  Stage6State& st = g_stage6;
  const int t = boss.phaseTimer, d = Diff();
  if (!second && t == 30) {
    st.s = 1;
    st.k = 2 * d + 6;
    st.r = NextRandom() % 180;
    st.a = st.u = 0;
    SetBossMoveTarget(0, 224.0, 150.0, 50);
  }
  if (second && t == 60) {
    st.s = 1;
    st.k = PerDifficulty(6, 8, 8, 10);
    st.r = st.a = st.u = 0;
  }
  const double cx = 224 * st.s;
  if (second && t == 100) st.r = AngleToPlayer(cx, boss.y) + 180 / st.k;
  if (t >= 100 && t <= 199) {
    const int k = static_cast<int>(st.k);
    const int radius = second ? 6 * t - 570 : 200;
    const double cy = second ? static_cast<int>(boss.y) : 16.0;
    const double base = second ? st.r : 370 - t;
    if (Every(t, 3)) {
      // These rings fly straight out from their circle (offset 0).
      const int colour = second ? NextRandom() % 5 : 0;
      ShootRingOnCircle({.colour = colour, .sheet = 16, .spawnCode = 12,
                         .behaviour = kBehaviourHarmlessUntil, .behaviourParam = 501, .n = k,
                         .radius = radius, .x = cx, .y = cy, .base = base});
    }
    if (Every(t, 6 - d)) {
      const int colour = second ? static_cast<int>(st.a) % 5 : 0;
      const int param = second ? d + 4 : 5;
      const double limit = second ? 1.0 : d / 2 + 1;
      const double spread = second ? 5.0 : 0.0;
      // Each bullet waits so that all of them set off together at timer 260.
      ShootRingOnCircle({.colour = colour, .sheet = 7, .spawnCode = 1,
                         .behaviour = kBehaviourEaseToLimitSlow, .behaviourParam = param,
                         .triggerAge = 260 - t, .n = k, .radius = radius, .x = cx, .y = cy,
                         .speedLimit = limit, .base = base + spread,
                         .offset = second ? st.u : -st.u});
      ShootRingOnCircle({.colour = colour, .sheet = 7, .spawnCode = 1,
                         .behaviour = kBehaviourEaseToLimitSlow, .behaviourParam = param,
                         .triggerAge = 260 - t, .n = k, .radius = radius, .x = cx, .y = cy,
                         .speedLimit = limit, .base = base - spread,
                         .offset = second ? -st.u : st.u});
      if (second) st.a += 1;
      st.u += 35;
    }
  }
  if (t == 200) MoveBossNearPlayer();
  if (t == 260) {
    if (second) {
      const int n = PerDifficulty(7, 10, 13, 16);
      for (double limit : {1.0, 1.5, 2.0}) {
        ShootRing({.sheet = 9, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y, .speed = 4.0,
                   .accel = -0.05, .speedLimit = limit,
                   .base = static_cast<double>(NextRandom() % 90)});
      }
    } else {
      const int n = PerDifficulty(5, 6, 7, 8);
      const double aim = AngleToPlayer(boss.x, boss.y);
      const double turn = st.s - 1;
      ShootRing({.colour = 3, .sheet = 9, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
                 .speed = 4.0, .accel = -0.05, .speedLimit = 1.0, .base = aim});
      ShootRing({.colour = 3, .sheet = 9, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
                 .speed = 4.0, .accel = -0.05, .speedLimit = 1.5, .base = aim + 10 * turn});
      ShootRing({.colour = 3, .sheet = 9, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
                 .speed = 4.0, .accel = -0.05, .speedLimit = 2.0, .base = aim + 20 * turn});
      // The Lunatic ring behind the boss is the slowest of the first one's kind.
      if (d == 3) {
        ShootRing({.colour = 3, .sheet = 9, .spawnCode = 1, .n = n, .x = boss.x, .y = boss.y,
                   .speed = 4.0, .accel = -0.05, .speedLimit = 1.0, .base = aim + 180});
      }
    }
  }
  if (t == 300) {
    boss.phaseTimer = 99;
    st.s = static_cast<int>(st.s + 2) % 3;
    st.r = NextRandom() % 180;
  }
}

void FirstPolygons() { RunPolygonVolleys(false); }
void SecondPolygons() { RunPolygonVolleys(true); }
void FirstCircles() { RunCircleVolleys(false); }
void SecondCircles() { RunCircleVolleys(true); }

void RunLastCardPhase() {
  g_stage6.barSplit = 100;
  Boss& boss = g_bosses[0];
  if (g_spellBackground == 0) {
    RunNonSpellStart(kLastCardWait);
    if (boss.phaseTimer == 180) StartCardAfterNonSpell();
  }
  if (g_spellBackground != 1) return;
  const int before = boss.state;
  BlowUpBossAtLastCardEnd();
  // The blast's first step marks the game speed's units digit; the card end drops it.
  if (before != 3 && boss.state == 3) g_gameSpeed = RaiseSlowDigit(g_gameSpeed);
  RunBossAttack(GetSpellCardId(Diff(), 25));
}

void EndFight() {
  g_gameSpeed = WithoutSlowDigit(g_gameSpeed);
  g_bosses[0].state = 0;
  EndBossFight();
}

}  // namespace

void RunStage6BossFight() {
  switch (g_bossPhase) {
    case 1:
      g_stage6.barSplit = 20;
      RunNonSpellPhase(kMirageNonSpell, RunMirageNonSpell, 20);
      break;
    case 2: LeaveAsMirage(); break;
    case 3: RunNonSpellPhase(kFirstNonSpell, FirstPolygons, 21); break;
    case 4: RunNonSpellPhase(kSecondNonSpell, FirstCircles, 22); break;
    case 5: RunNonSpellPhase(kThirdNonSpell, SecondPolygons, 23); break;
    case 6: RunNonSpellPhase(kFourthNonSpell, SecondCircles, 24); break;
    case 7: RunLastCardPhase(); break;
    case 8: EndFight(); break;
    default: break;
  }
  DrawBossStatus(g_stage6.barSplit, g_spellBackground);
}

void RunStage6Timeline() {
  static constexpr StageParts kParts = {RunStage6Waves, FireStage6EnemyShots,
                                        GetStage6DialogueLine, RunStage6BossFight};
  RunStageSteps(kParts);
}

void ResetStage6State() { g_stage6 = Stage6State{}; }
