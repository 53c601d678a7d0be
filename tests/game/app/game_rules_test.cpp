// The rules of a play around the logic: start values by kind of play, the pause menu's
// Restart, the replay save's "Overwrite?", continues and extends, and what the HUD shows.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "game/draw/hud.h"
#include "game/files/replay_file.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/play/replay_memory.h"
#include "game/scenes/game_session.h"
#include "game/scenes/play_scene.h"
#include "game/scenes/scenes.h"
#include "tests/game/app/app_fixture.h"

namespace {

constexpr int kEnter = 28, kEsc = 1;

int g_extendSounds;

class GameRulesTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_EQ(chdir(TempFolder().c_str()), 0);
    ResetSceneMenus();
    g_extendSounds = 0;
    SoundEffectTable[kSeExtend] = 900;
    static const PlaySoundTable kCounter = {
        .playSoundHandle = [](int handle, int, int) {
          g_extendSounds += handle == 900;
          return 0;
        },
    };
    g_playSound = &kCounter;
  }
  void TearDown() override {
    g_playSound = nullptr;
    SoundEffectTable[kSeExtend] = -1;
  }
  // A pass with no keys (so that the press is fresh), then one with these keys down.
  static void Press(int inputByte, int extraCode = 0) {
    Keys(0);
    RunSceneFrame();
    Keys(inputByte, extraCode);
    RunSceneFrame();
  }
  // Passes of a live play by an untouchable player; a replay of it must set the same.
  static void Passes(int count, uint32_t seed) {
    for (int k = 0; k < count; ++k) {
      g_player.invulnerable = 1 << 20;
      Keys(NextTestInput(&seed) & ~kInputBomb);
      RunSceneFrame();
    }
  }
  // A miss with no life left, on the next pass.
  static void GameOver() {
    g_gameOverPending = 1;
    Keys(0);
    RunSceneFrame();
  }
};

TEST_F(GameRulesTest, EachKindOfPlayStartsWithItsLivesBombsAndPower) {
  struct Case {
    int scene, difficulty, lives, bombs, power;
  };
  const Case cases[] = {
      {1, 0, 2, 3, 0},    {1, 3, 2, 3, 0},     {8, 4, 2, 3, 128},   {11, 1, 2, 3, 0},
      {12, 1, 2, 3, 48},  {13, 2, 2, 3, 96},   {14, 0, 2, 3, 128},  {16, 3, 2, 3, 128},
      {200, 2, 0, 0, 128}, {225, 0, 0, 0, 128}, {216, 4, 0, 0, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    for (bool playback : {false, true}) {
      ResetPlayState();
      g_player.pointRate = 3.0;
      g_player.graze = 9;
      const PlaySetup setup{c.scene, c.difficulty, 7, 77u};
      const ReplayPair pairs[1] = {{0, 1}};
      if (playback)
        BeginPlayback(setup, pairs, 1);
      else
        BeginPlay(setup);
      EXPECT_EQ(g_player.lives, c.lives);
      EXPECT_EQ(g_player.bombs, c.bombs);
      EXPECT_EQ(g_player.power, c.power);
      EXPECT_EQ(g_player.score, 0);
      EXPECT_EQ(g_player.graze, 0);
      EXPECT_EQ(g_player.pointRate, 1.0);
    }
  }
}

// Restart begins the same play afresh: a new start counter and a recording that starts
// with it, so the replay saved afterwards plays back the restarted play only. A replay
// being watched cannot be restarted.
TEST_F(GameRulesTest, PauseMenuRestartsALivePlayButNotAPlayback) {
  StartLivePlay(12, 1, 0);
  Passes(300, 4);
  const uint32_t firstCounter = g_playSetup.startCounter;
  ASSERT_EQ(g_replayStepCount, 300);
  g_player.score = 123450;
  Press(0, g_save.keys.pause);
  ASSERT_EQ(g_scene, 10012);
  Press(kInputDown);  // Restart
  Press(0, kEnter);
  EXPECT_EQ(g_scene, 12);
  EXPECT_EQ(g_stageFrame, 0);
  EXPECT_EQ(g_player.score, 0);
  EXPECT_EQ(g_player.power, 48);
  EXPECT_EQ(g_replayStepCount, 0) << "the recording starts again with the play";
  EXPECT_EQ(g_recordOk, 1);
  EXPECT_NE(g_playSetup.startCounter, firstCounter);
  EXPECT_EQ(g_playSetup.scene, 12);
  EXPECT_EQ(g_playSetup.difficulty, 1);

  // The restarted play saved and played back reaches the same state.
  Passes(400, 9);
  const uint64_t liveHash = HashPlayState();
  const int steps = g_replayStepCount;
  ASSERT_TRUE(SaveRecordedReplay(ReplayFilePath(4), "AGAIN"));
  ASSERT_TRUE(StartReplayPlayback(4));
  for (int k = 0; k < steps; ++k) {
    g_player.invulnerable = 1 << 20;
    Keys(0);
    RunSceneFrame();
  }
  ASSERT_EQ(g_scene, 1012);
  g_scene = 12;
  EXPECT_EQ(HashPlayState(), liveHash);
  g_scene = 1012;

  // In playback Restart is refused: the menu stays and the replay goes on from where it was.
  ASSERT_TRUE(StartReplayPlayback(4));
  for (int k = 0; k < 100; ++k) {
    g_player.invulnerable = 1 << 20;
    Keys(0);
    RunSceneFrame();
  }
  Press(0, g_save.keys.pause);
  ASSERT_EQ(g_scene, 11012);
  const int frame = g_stageFrame;
  Press(kInputDown);
  Press(0, kEnter);
  EXPECT_EQ(g_scene, 11012);
  EXPECT_EQ(g_replayPlaying, 1);
  EXPECT_EQ(g_stageFrame, frame);
  Press(kInputDown);  // Quit ends the playback
  Press(0, kEnter);
  EXPECT_EQ(g_scene, 305);
}

// A menu over the play opens under the keys held for the play. An arrow held from the
// pass the pause key is pressed, for a second, leaves the cursor on Resume; released,
// one press moves it one step (to Restart). Down held through the last miss leaves the
// game-over menu on Continue, and through the end of a practice the replay list on slot
// 01. The bomb key that cancels the pause does not bomb as the play goes on.
TEST_F(GameRulesTest, MenusOverThePlayTakeTheKeysHeldForThePlay) {
  auto hold = [](int inputByte, int passes) {
    for (int k = 0; k < passes; ++k) {
      Keys(inputByte);
      RunSceneFrame();
    }
  };
  for (int arrow : {kInputUp, kInputDown}) {
    SCOPED_TRACE(arrow);
    StartLivePlay(1, 1, 0);
    Passes(30, 3);
    hold(arrow, 1);
    Keys(arrow, g_save.keys.pause);
    RunSceneFrame();
    ASSERT_EQ(g_scene, 10001);
    hold(arrow, 64);  // untaken, the cursor would stand on Quit or Restart
    Press(kInputDown);
    Press(kInputShot);
    EXPECT_EQ(g_scene, 1);
    EXPECT_EQ(g_stageFrame, 0) << "restarted";
  }

  // Down held from before the end of a play (`end` set) to a second after it.
  auto downThroughTheEnd = [&](int scene, int* end, uint32_t seed) {
    StartLivePlay(scene, 1, 0);
    Passes(30, seed);
    hold(kInputDown, 5);
    *end = 1;
    hold(kInputDown, 60);
  };
  downThroughTheEnd(1, &g_gameOverPending, 4);
  ASSERT_EQ(g_scene, 10001);
  Press(kInputShot);
  EXPECT_EQ(g_continuesUsed, 1) << "Continue, not Give up";
  EXPECT_EQ(g_scene, 1);

  downThroughTheEnd(11, &g_stageOver, 5);
  ASSERT_EQ(g_scene, 30011);
  Press(kInputShot);  // slot 01, empty: the name
  Press(0, kEnter);
  ReplayHeader header{};
  EXPECT_EQ(InspectReplayFile(ReplayFilePath(1), &header), ReplaySlotState::Valid);

  StartLivePlay(1, 1, 0);
  Passes(30, 6);
  const int bombs = g_player.bombs;
  Press(0, g_save.keys.pause);
  Press(kInputBomb);  // cancel: back to the play
  ASSERT_EQ(g_scene, 1);
  hold(kInputBomb, 10);
  EXPECT_EQ(g_player.bombs, bombs);
  EXPECT_EQ(g_bombActive, 0);
}

// Picking a slot that holds a file (a valid or a broken one) asks before it is written
// over: "No" or Esc goes back to the list with the file untouched, "Yes" goes on to the
// name. An empty slot goes straight to the name.
TEST_F(GameRulesTest, ReplaySaveAsksBeforeWritingOverAnOccupiedSlot) {
  StartLivePlay(11, 1, 0);
  Passes(30, 2);
  ASSERT_TRUE(SaveRecordedReplay(ReplayFilePath(1), "OLD"));
  ASSERT_TRUE(SaveRecordedReplay(ReplayFilePath(2), "BROKEN"));
  ASSERT_EQ(truncate(ReplayFilePath(2).c_str(), 600), 0);

  auto sceneOf = [](int slot) {
    ReplayHeader header{};
    return InspectReplayFile(ReplayFilePath(slot), &header) == ReplaySlotState::Valid ? header.scene
                                                                                     : -1;
  };
  StartLivePlay(13, 1, 0);
  Passes(30, 5);
  GameOver();
  ASSERT_EQ(g_scene, 30013) << "a practice saves its replay, no score entry";

  Press(0, kEnter);        // slot 01: the question
  Press(kInputDown);       // "No"
  Press(0, kEnter);
  EXPECT_EQ(sceneOf(1), 11);
  Press(0, kEnter);        // the list again: slot 01, the question again
  Press(0, kEsc);          // back to the list
  EXPECT_EQ(sceneOf(1), 11);
  ASSERT_EQ(g_scene, 30013);

  Press(kInputDown);       // slot 02, broken: asked too
  Press(0, kEnter);
  Press(0, kEnter);        // "Yes": the name
  EXPECT_EQ(sceneOf(2), -1) << "nothing is written before the name";
  Press(0, kEnter);        // saved
  EXPECT_EQ(sceneOf(2), 13);
  EXPECT_EQ(sceneOf(1), 11);
  EXPECT_EQ(g_scene, 302);

  // An empty slot: the first confirm leads to the name, the next one saves.
  StartLivePlay(13, 1, 0);
  Passes(30, 6);
  GameOver();
  Press(kInputDown);
  Press(kInputDown);
  Press(0, kEnter);        // slot 03
  Press(0, kEnter);
  EXPECT_EQ(sceneOf(3), 13);
  EXPECT_EQ(g_scene, 302);
}

// A continue restores two lives and three bombs, keeps power, graze and point rate, and
// writes the continue count into the score's last digit; there are three, and the fourth
// game over ends the play. An extend already paid is not paid again.
TEST_F(GameRulesTest, ContinuesRestoreLivesAndBombsThreeTimesWithoutRepayingExtends) {
  StartLivePlay(1, 1, 0);
  Passes(20, 7);
  g_player.score = 10000000;
  Keys(0);
  RunSceneFrame();
  EXPECT_EQ(g_player.lives, 3);
  EXPECT_EQ(g_extendSounds, 1);

  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    g_player.lives = 0;
    g_player.bombs = 1;
    g_player.power = 77;
    g_player.graze = 5;
    g_player.pointRate = 1.5;
    g_player.score = 24999990 + n - 1;
    GameOver();
    ASSERT_EQ(g_scene, 10001);
    ASSERT_EQ(g_overlayKind, 1);
    Press(0, kEnter);  // "Continue"
    ASSERT_EQ(g_scene, 1);
    EXPECT_EQ(g_continuesUsed, n);
    EXPECT_EQ(g_player.lives, 2);
    EXPECT_EQ(g_player.bombs, 3);
    EXPECT_EQ(g_player.score, n);
    EXPECT_EQ(g_player.power, 77);
    EXPECT_EQ(g_player.graze, 5);
    EXPECT_EQ(g_player.pointRate, 1.5);
    EXPECT_EQ(g_recordOk, 0);
  }

  // After the continues the first threshold again pays nothing and the second pays once;
  // at 8 lives the third is used up without a life.
  struct Reach {
    int score, livesBefore, lives, extendIndex;
  };
  for (const Reach& r : {Reach{10000003, 2, 2, 1}, Reach{25000003, 2, 3, 2}, Reach{50000003, 8, 8, 3}}) {
    SCOPED_TRACE(r.score);
    g_player.lives = r.livesBefore;
    g_player.score = r.score;
    Keys(0);
    RunSceneFrame();
    EXPECT_EQ(g_player.lives, r.lives);
    EXPECT_EQ(g_extendIndex, r.extendIndex);
  }
  EXPECT_EQ(g_extendSounds, 3);

  g_player.score = 3;
  GameOver();  // no continue left: no menu, no rank; the play ends on the notice that
               // a continued play keeps no replay, and a key leaves it
  EXPECT_EQ(g_continuesUsed, 3);
  EXPECT_EQ(g_scene, 30001);
  Press(0, kEnter);
  EXPECT_EQ(g_scene, 0);
}

TEST_F(GameRulesTest, HudShowsTheRankingsTopTheStarsPowerGrazeAndPointValue) {
  struct Case {
    int character, difficulty, top, score, lives, bombs, power, graze;
    double rate;
    int hiScore, lifeStars, bombStars;
    const char* shownPower;
    int point;
  };
  const Case cases[] = {
      {0, 1, 500000, 120, 2, 3, 0, 0, 1.0, 500000, 2, 3, "0", 10000},
      {7, 1, 700000, 900000, 0, 0, 127, 31, 1.5, 900000, 0, 0, "127", 15000},
      {7, 3, 800000, 10, 12, 9, 128, 4, 5.0, 800000, 8, 8, "MAX", 50000},
      {0, 4, 300000, 20, 1, 2, 129, 1, 1.25, 300000, 1, 2, "MAX", 12500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.character * 10 + c.difficulty);
    ResetSaveData(&g_save);
    // The other character's and difficulty's tops stand higher: only this row counts.
    for (int row = 0; row < 2; ++row)
      for (int d = 0; d < 5; ++d) g_save.highScores[row][d][0].score = 990000000;
    g_save.highScores[c.character / 7][c.difficulty][0].score = c.top;
    BeginPlay(PlaySetup{1, c.difficulty, c.character, 1u});
    g_player.score = c.score;
    g_player.lives = c.lives;
    g_player.bombs = c.bombs;
    g_player.power = c.power;
    g_player.graze = c.graze;
    g_player.pointRate = c.rate;
    const HudValues v = ReadHudValues();
    EXPECT_EQ(v.difficulty, c.difficulty);
    EXPECT_EQ(v.hiScore, c.hiScore);
    EXPECT_EQ(v.score, c.score);
    EXPECT_EQ(v.lifeStars, c.lifeStars);
    EXPECT_EQ(v.bombStars, c.bombStars);
    EXPECT_STREQ(v.power, c.shownPower);
    EXPECT_EQ(v.graze, c.graze);
    EXPECT_EQ(v.point, c.point);
  }
}

// The HUD's point value is what a point item taken at the top pays, at every rate that
// collected stars lead to.
TEST_F(GameRulesTest, HudPointValueIsWhatAPointItemAtTheTopPays) {
  g_stageScriptOverride = [] {};
  BeginPlay(PlaySetup{1, 0, 0, 1u});
  auto collect = [](int kind) {
    Item& item = g_items[0];
    item = Item{};
    item.active = 1;
    item.kind = kind;
    item.x = g_player.x;
    item.y = g_player.y;
    item.attraction = 2.0;
    const int before = g_player.score;
    SetLiveInput(0);
    RunLogicStep();
    EXPECT_EQ(item.active, 0);
    return g_player.score - before;
  };
  std::vector<int> paid;
  for (int stars = 0; stars <= 810; ++stars) {
    if (stars % 90 == 0 || stars == 1 || stars == 3 || stars == 800) {
      paid.push_back(collect(2));
      EXPECT_EQ(paid.back(), ReadHudValues().point) << stars;
    }
    EXPECT_EQ(collect(3), 100);
  }
  g_stageScriptOverride = nullptr;
  EXPECT_EQ(paid.front(), 10000);
  EXPECT_EQ(paid.back(), 50000) << "the rate stops at 5.0";
}

}  // namespace
