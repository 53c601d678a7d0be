// Stage 1 and its cards, headless through the step runner: exact facts at named frames.
#include "game/stages/stage1.h"

#include <algorithm>
#include <vector>

#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

class Stage1 : public PlayFixture {};

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
