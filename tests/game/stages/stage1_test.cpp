// Stage 1 and its cards, headless through the step runner: exact facts at named frames.
#include "game/stages/stage1.h"

#include <algorithm>
#include <vector>

#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

class Stage1 : public PlayFixture {};

TEST_F(Stage1, WaveSpawnsAtTheirFrames) {
  struct Expect {
    int frame, slot, hp, turnFlag, sprite;
    double x, y, t1, t2, seg1Kind, seg2Kind, a1, a2;
    int age;  // just after the spawning step
  };
  const Expect cases[] = {
      {50, 0, 10, 1, 0, 50, 0, 600, 600, 3, 1, 260, 270, 0},
      {50, 10, 10, 0, 0, 350, 0, 600, 600, 3, 1, 280, 270, 0},
      {620, 8, 100, 0, 3, 124, 0, 60, 100, 1, 1, 270, 270, 0},
      {1150, 19, 30, 0, 0, 134, 200, 0, 300, 0, 1, 0, 180, -10},
      {1150, 25, 30, 0, 0, 314, 200, 0, 300, 0, 1, 0, 360, -10},
      {1450, 27, 200, 0, 3, 29, 180, 50, 600, 1, 1, 0, 180, 0},
      {3800, 18, 50, 0, 1, 374, 100, 0, 100, 0, 3, 0, 270, -10},
      {3800, 19, 50, 1, 0, 74, 100, 0, 100, 0, 3, 0, 270, -10},
      {4250, 4, 100, 0, 1, 224, 200, 0, 400, 0, 1, 0, 270, -10},
      {4250, 1, 100, 0, 0, 134, 128, 0, 400, 0, 1, 0, 180, -10},
  };
  for (const Expect& e : cases) {
    SCOPED_TRACE(e.frame * 100 + e.slot);
    Begin(1, 1);
    Step();
    g_stageFrame = e.frame;
    Step();
    const Enemy& enemy = g_enemies[e.slot];
    ASSERT_EQ(enemy.active, 1);
    EXPECT_EQ(enemy.hp, e.hp);
    EXPECT_EQ(enemy.turnFlag, e.turnFlag);
    EXPECT_EQ(enemy.sprite, e.sprite);
    EXPECT_EQ(enemy.x, e.x);
    EXPECT_EQ(enemy.y, e.y);
    EXPECT_EQ(enemy.seg1.kind, e.seg1Kind);
    EXPECT_EQ(enemy.seg1.age, e.t1);
    EXPECT_EQ(enemy.seg2.kind, e.seg2Kind);
    EXPECT_EQ(enemy.seg2.age, e.t2);
    EXPECT_EQ(enemy.seg1.angle, e.a1);
    EXPECT_EQ(enemy.age, e.age);
    // The second segment's angle is decoded when it starts; the raw value is what waits.
    if (e.t2 > 0) {
      EXPECT_EQ(enemy.seg2.angle, e.a2);
    }
  }
}

TEST_F(Stage1, ConversationAndFightMarksChainToTheNextStage) {
  Begin(1, 0);
  Step();
  g_player.invulnerable = 1 << 20;
  // A boss that the mid-boss left behind, waiting above the field.
  InitBoss(0, 0, 2, 0.0, -50.0);
  g_bosses[0].state = 3;
  g_stageFrame = 4800;
  Step();
  EXPECT_EQ(g_talkActive, 1);
  // Fresh shot presses advance the lines.
  for (int k = 0; k < 400 && g_stageFrame < 10001; ++k) Step(1, k % 2 ? kInputShot : 0);
  EXPECT_EQ(g_stageFrame, 10001);
  EXPECT_EQ(g_bosses[0].state, 1) << "line 4 brought the boss back";
  EXPECT_EQ(g_bosses[2].state, 4) << "line 11 started the boss theme";
  EXPECT_EQ(g_currentMusic, 13);
  Step();
  EXPECT_EQ(g_bossPhase, 3);
  EXPECT_EQ(g_bosses[0].maxHp, 1500);

  g_bossPhase = 5;
  Step();
  EXPECT_EQ(g_stageFrame, 100000);
  EXPECT_EQ(g_shakeLeft, 30);
  Step();
  EXPECT_EQ(g_talkActive, 15);
  for (int k = 0; k < 400 && g_stageFrame < 200000; ++k) Step(1, k % 2 ? kInputShot : 0);
  EXPECT_EQ(g_stageFrame, 200000);
  g_items.Clear();
  const int score = g_player.score;
  Step();
  EXPECT_EQ(g_player.score, score + 1000000);
  Step(120);
  EXPECT_EQ(g_scene, 2);
  EXPECT_EQ(g_stageFrame, 0);
}

}  // namespace
