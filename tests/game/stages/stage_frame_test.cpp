// The dispatcher and the frame every stage shares, through the step runner.
#include "game/stages/stage_dispatch.h"
#include "game/stages/stage_frame.h"

#include "play_fixture.h"

namespace {

class StageFrame : public PlayFixture {};

TEST(StageDispatch, SceneRangesPickTheirScripts) {
  struct Case {
    int scene;
    StageScript script;
  };
  const Case cases[] = {
      {1, StageScript::kStage1},     {2, StageScript::kStage2},
      {6, StageScript::kStage6},     {8, StageScript::kExtra},
      {11, StageScript::kStage1},    {16, StageScript::kStage6},
      {1001, StageScript::kStage1},  {1013, StageScript::kStage3},
      {1008, StageScript::kExtra},   {200, StageScript::kSpellPractice},
      {299, StageScript::kSpellPractice}, {1200, StageScript::kSpellPractice},
      {1207, StageScript::kSpellPractice}, {1299, StageScript::kSpellPractice},
      {300, StageScript::kNone},     {7, StageScript::kEnding},
      {1007, StageScript::kEnding},  {0, StageScript::kNone},
      {9, StageScript::kNone},       {10, StageScript::kNone},
      {1009, StageScript::kNone},    {-3, StageScript::kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(StageScriptOfScene(c.scene), c.script) << c.scene;
}

TEST_F(StageFrame, StageAndPracticeScriptsStartTheirMusic) {
  struct Case {
    int scene, frame, track;
  };
  // Stage 1 starts its theme at frame 1, spell practice its own at frame 0; the scenes
  // whose digit is 0 or 9 run no script at all.
  const Case cases[] = {{1, 1, 12}, {1001, 1, 12}, {11, 1, 12}, {203, 0, 6}, {1203, 0, 6},
                        {10, 1, -1}, {9, 1, -1}, {0, 1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    Begin(c.scene, 1);
    g_currentMusic = -1;
    g_stageFrame = c.frame;
    Step();
    EXPECT_EQ(g_currentMusic, c.track);
  }
}

TEST_F(StageFrame, EndingMovesToTheClearedSceneOnce) {
  for (int scene : {7, 1007}) {
    SCOPED_TRACE(scene);
    Begin(scene, 1);
    StopCount() = 0;
    Step();
    EXPECT_EQ(StopCount(), 1);
    EXPECT_EQ(g_stageOver, 1);
    EXPECT_EQ(g_scene, 500);
    g_scene = scene;
    Step();
    EXPECT_EQ(StopCount(), 2);
    EXPECT_EQ(g_scene, scene);
  }
}

TEST_F(StageFrame, ProgressRisesOnlyForMainGameStagesOfAValidRow) {
  struct Case {
    int scene, character, difficulty, before, after;
  };
  const Case cases[] = {
      {1, 0, 1, 0, 1}, {4, 7, 2, 2, 4}, {3, 7, 2, 5, 5},    {13, 0, 1, 0, 0},
      {1002, 0, 1, 0, 0}, {8, 0, 4, 0, 0}, {203, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    StageProgress.Clear();
    Begin(c.scene, c.difficulty, c.character);
    StageProgress[c.character / 7][c.difficulty] = c.before;
    Step();
    EXPECT_EQ(StageProgress[c.character / 7][c.difficulty], c.after);
  }
  // A character or difficulty outside the table writes nowhere.
  for (auto [character, difficulty] : {std::pair{14, 1}, std::pair{0, 5}, std::pair{0, -1}}) {
    StageProgress.Clear();
    Begin(2, difficulty, character);
    Step();
    for (int row = 0; row < 2; ++row)
      for (int d = 0; d < 5; ++d) EXPECT_EQ(StageProgress[row][d], 0);
  }
}

TEST_F(StageFrame, StageClearShowsTheBonusRightAlignedAndPaysIt) {
  struct Case {
    int scene;
    int digits;
    int bonus;
  };
  const Case cases[] = {{1, 7, 1000000}, {6, 7, 6000000}, {1003, 7, 3000000}, {10, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    Begin(c.scene, 0);
    UseScript([] { RunStageEndMarks(); });
    Step();
    std::memset(g_notices, 0, sizeof g_notices);
    const int score = g_player.score;
    g_stageFrame = kStageClear;
    Step();
    const std::vector<Notice> notices = LiveNotices();
    ASSERT_EQ(notices.size(), 1u + c.digits);
    EXPECT_EQ(notices[0].image, 602);
    EXPECT_EQ(notices[0].y, 160);
    for (int k = 0; k < c.digits; ++k) {
      EXPECT_EQ(notices[1 + k].x, 272 - 16 * k);
      EXPECT_EQ(notices[1 + k].y, 190);
      EXPECT_EQ(notices[1 + k].delay, 0);
      EXPECT_EQ(notices[1 + k].image, 500 + (k == 6 ? c.bonus / 1000000 : 0));
    }
    EXPECT_EQ(g_player.score, score + c.bonus);
  }
}

TEST_F(StageFrame, NextSceneOrTheEndOfAPractice) {
  struct Case {
    int scene;
    int sceneAfter, stageOver, frameAfter;
  };
  const Case cases[] = {
      {1, 2, 0, 0}, {1001, 1002, 0, 0}, {13, 13, 1, kNextScene + 1}, {1013, 1013, 1, kNextScene + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    Begin(c.scene, 0);
    UseScript([] { RunStageEndMarks(); });
    Step();
    g_player.state = -30;
    g_stageFrame = kNextScene;
    Step();
    EXPECT_EQ(g_scene, c.sceneAfter);
    EXPECT_EQ(g_stageOver, c.stageOver);
    EXPECT_EQ(g_stageFrame, c.frameAfter);
    if (c.stageOver == 0) {
      EXPECT_EQ(g_player.state, 0);
    }
  }
}

TEST_F(StageFrame, MidBossEndResumesTheWavesOnlyWhenTheFightOutlastedThem) {
  for (auto [frame, after] : {std::pair{4000, 3631}, std::pair{3000, 3001}}) {
    SCOPED_TRACE(frame);
    Begin(1, 0);
    Step();
    g_stageFrame = frame;
    g_bossPhase = 2;
    Played().clear();
    Step();
    EXPECT_EQ(g_bossPhase, 0);
    EXPECT_EQ(g_stageFrame, after);
    EXPECT_EQ(PlayedCount(kSeCardEnd), 1);
  }
}

TEST_F(StageFrame, MidBossLeavesUpwardInsideItsWindowOnly) {
  struct Case {
    int frame;
    bool leaves;
  };
  const Case cases[] = {{2330, false}, {2331, true}, {4099, true}, {4100, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frame);
    Begin(1, 0);
    Step();
    InitBoss(0, 0, 2, 224.0, 150.0);
    g_stageFrame = c.frame;
    Step();
    EXPECT_EQ(g_bosses[0].state, c.leaves ? 3 : 1);
    if (c.leaves) {
      EXPECT_EQ(g_bosses[0].targetX, 0.0);
      EXPECT_EQ(g_bosses[0].targetY, -50.0);
      EXPECT_EQ(g_bosses[0].moveFrames, 120.0);
    }
  }
}

TEST_F(StageFrame, BossEffectsOfHigherSlotsRunOnlyWhileEveryLowerSlotIsInUse) {
  struct Case {
    int state1, state2;
    int pose0, pose1, pose2;
  };
  const Case cases[] = {{0, 1, 4, 5, 5}, {1, 1, 4, 4, 4}, {1, 0, 4, 4, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state1 * 10 + c.state2);
    Begin(10, 0);  // a scene that runs no script: only the common tail of RunStage
    Step();
    for (Boss& boss : g_bosses) boss.pose = 5;
    g_bosses[1].state = c.state1;
    g_bosses[2].state = c.state2;
    Step();
    EXPECT_EQ(g_bosses[0].pose, c.pose0);
    EXPECT_EQ(g_bosses[1].pose, c.pose1);
    EXPECT_EQ(g_bosses[2].pose, c.pose2);
  }
}

// The share of the life bar drawn as its own section, as each phase of each stage hands it
// to the boss status on its first step (Easy and Normal's stage-1 mid-boss has none).
TEST_F(StageFrame, EachPhaseHandsTheBossStatusItsBarSplit) {
  struct Case {
    int scene, difficulty, phase, split;
  };
  const Case cases[] = {
      {1, 0, 1, 0},   {1, 1, 1, 0},   {1, 3, 1, 50},  {1, 1, 3, 20},  {1, 2, 4, 20},
      {2, 1, 1, 0},   {2, 1, 2, 20},  {2, 1, 3, 20},  {2, 1, 4, 100}, {3, 1, 1, 50},
      {3, 1, 3, 20},  {3, 1, 4, 20},  {3, 1, 5, 100}, {4, 1, 1, 100}, {4, 1, 3, 20},
      {4, 1, 5, 20},  {4, 1, 6, 100}, {5, 1, 1, 20},  {5, 1, 5, 20},  {5, 1, 6, 100},
      {6, 1, 1, 20},  {6, 1, 7, 100}, {8, 4, 1, 100}, {8, 4, 3, 100}, {8, 4, 7, 20},
      {8, 4, 8, 20},  {8, 4, 13, 20}, {8, 4, 14, 20}, {8, 4, 16, 30}, {8, 4, 17, 30},
      {8, 4, 18, 100}, {8, 4, 19, 100},
  };
  static int split, background, calls;
  static const PlayDrawTable kStatusOnly = [] {
    PlayDrawTable table{};
    table.bossStatus = [](int barSplit, int spellBackground) {
      split = barSplit;
      background = spellBackground;
      calls += 1;
    };
    return table;
  }();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene * 1000 + c.difficulty * 100 + c.phase);
    StartPhase(c.scene, c.difficulty, c.phase, 1, 4);
    // The trio phases exchange slots 0 and 2 at their first step.
    InitBoss(1, 3, 5, 174.0, 100.0);
    InitBoss(2, 3, 6, 274.0, 100.0);
    g_playDraw = &kStatusOnly;
    calls = 0;
    Step();
    g_playDraw = nullptr;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(split, c.split);
    EXPECT_EQ(background, g_spellBackground);
  }

  // Practice: the whole bar is the card's, from the step that makes the boss.
  Begin(203, 1);
  Step(100);
  g_playDraw = &kStatusOnly;
  calls = 0;
  Step();
  g_playDraw = nullptr;
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(split, 100);
  EXPECT_EQ(background, 1);
}

}  // namespace
