// The end of a cleared game: ending pages, staff roll, score entry and replay save
// lead back to the title, with the clear, the ranking, the replay and "central.dat"
// written.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "game/files/replay_file.h"
#include "game/files/save_tables.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/loading.h"
#include "game/scenes/play_scene.h"
#include "game/scenes/scenes.h"
#include "platform/log.h"
#include "tests/game/app/app_fixture.h"
#include "tests/test_files.h"

namespace {

class SceneFlowTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_EQ(chdir(TempFolder().c_str()), 0);
    CopySaveDataToPlayTables(g_save);
    ResetSceneMenus();
  }
  static void Pass(int inputByte = 0, int extraCode = 0) {
    Keys(inputByte, extraCode);
    RunSceneFrame();
  }
};

TEST_F(SceneFlowTest, AClearedGameGoesThroughEndingRollScoreEntryAndReplaySaveToTheTitle) {
  StartLivePlay(1, 2, 7);
  for (int k = 0; k < 10; ++k) Pass();
  g_player.score = 12345670;  // last digit 0: no continue, ending kind 1
  g_scene = 7;                // the ending script runs in the next step
  Pass();
  ASSERT_EQ(g_scene, 500);
  EXPECT_EQ(EndingKindOfResults(), 1);
  for (int page = 0; page < 4; ++page) {
    for (int k = 0; k < 31; ++k) Pass();
    EXPECT_EQ(g_scene, 500) << page;
    Pass(kInputShot);
  }
  ASSERT_EQ(g_scene, 600);
  for (int k = 0; k < 1799; ++k) Pass();
  EXPECT_EQ(g_scene, 600);
  Pass();
  ASSERT_EQ(g_scene, 601);
  EXPECT_EQ(g_save.clearFlags[1][2], 1);
  EXPECT_EQ(CardSeenFlags[1][116], 1);

  for (int code : {17, 23, 49}) {  // W I N
    Pass(0, code);
    Pass();
  }
  Pass(0, 14);  // Backspace, then N again
  Pass();
  Pass(0, 49);
  Pass();
  Pass(0, 28);
  ASSERT_EQ(g_scene, 602);
  const HighScoreEntry& top = g_save.highScores[1][2][0];
  EXPECT_EQ(top.score, 12345670);
  EXPECT_STREQ(top.name, "WIN");
  EXPECT_EQ(top.stage, 7);
  EXPECT_EQ(top.flags & 1, 1);
  EXPECT_EQ(g_save.highScores[1][2][1].score, 500000);

  Pass();
  Pass(0, 28);  // slot 01, empty: straight to the name, prefilled
  Pass();
  Pass(0, 28);
  ASSERT_EQ(g_scene, 0);
  ReplayHeader header{};
  ASSERT_EQ(InspectReplayFile(ReplayFilePath(1), &header), ReplaySlotState::Valid);
  EXPECT_STREQ(header.name, "WIN");
  EXPECT_EQ(header.finalScore, 12345670);
  EXPECT_EQ(header.lastScene, 7);
  EXPECT_EQ(header.difficulty, 2);
  EXPECT_EQ(header.character, 7);

  SaveData stored;
  ASSERT_TRUE(LoadSaveData(&stored));
  EXPECT_EQ(stored.highScores[1][2][0].score, 12345670);
  EXPECT_EQ(stored.clearFlags[1][2], 1);
  EXPECT_EQ(stored.cardSeen[1][116], 1);
}

TEST_F(SceneFlowTest, EndingKindFollowsTheScoreDigitAndTheExtraStage) {
  struct Case {
    int scene, difficulty, score, kind, endScene;
  } cases[] = {{1, 1, 5000000, 1, 7}, {1, 1, 5000002, 2, 7}, {8, 4, 7000000, 3, 9},
               {8, 4, 7000000, 3, 7}};
  for (const Case& c : cases) {
    StartLivePlay(c.scene, c.difficulty, 0);
    Pass();
    g_player.score = c.score;
    // The ending script (scene 7, which the Extra stage's own end also moves to), or the
    // scene after the Extra stage.
    g_scene = c.endScene;
    Pass();
    EXPECT_EQ(g_scene, 500) << c.score;
    EXPECT_EQ(EndingKindOfResults(), c.kind) << c.score;
  }
}

TEST_F(SceneFlowTest, AGameOverWithoutContinueEndsThePlayAndReturnsToItsMenu) {
  struct Case {
    int scene, difficulty, returnScene;
  } cases[] = {{11, 1, 302}, {201, 2, 303}, {8, 4, 0}};
  std::fclose(std::fopen("Replay", "w"));  // a file where the replay folder goes
  for (const Case& c : cases) {
    StartLivePlay(c.scene, c.difficulty, 0);
    Pass();
    g_gameOverPending = 1;  // a miss with no life left
    Pass();
    // No continue outside the main game: no menu, the replay save instead.
    ASSERT_EQ(g_scene, c.scene + 30000) << c.scene;
    EXPECT_EQ(g_gameOverPending, 0);
    Pass(0, 28);  // slot 01, empty: the name
    Pass();
    Pass(0, 28);  // the write fails: back to the list to pick another slot or leave
    ASSERT_EQ(g_scene, c.scene + 30000) << c.scene;
    Pass(kInputUp);  // to "Do not save"
    Pass();
    Pass(0, 28);
    EXPECT_EQ(g_scene, c.returnScene) << c.scene;
    EXPECT_EQ(InspectReplayFile(ReplayFilePath(1), nullptr), ReplaySlotState::Empty);
  }
}

TEST_F(SceneFlowTest, LeavingTheSettingsWritesTheSaveFileWithTheNewVolumes) {
  g_scene = 306;
  Pass();
  Pass(kInputDown);  // Music volume
  Pass(0, 203);      // left: 80 -> 70
  Pass();
  Pass(0, 203);
  EXPECT_EQ(g_save.musicVolume, 60);
  EXPECT_NE(access("central.dat", F_OK), 0);
  Pass(0, 1);  // Esc leaves
  EXPECT_EQ(g_scene, 0);
  SaveData stored;
  ASSERT_TRUE(LoadSaveData(&stored));
  EXPECT_EQ(stored.musicVolume, 60);
}

TEST_F(SceneFlowTest, AFailedWriteOfTheSaveFileIsShownOnTheTitleUntilAWriteSucceeds) {
  ASSERT_EQ(mkdir("central.dat.tmp", 0755), 0);  // where the write must go: it cannot
  g_scene = 306;
  Pass();
  Pass(0, 1);  // Esc leaves
  EXPECT_EQ(g_scene, 0);
  EXPECT_NE(access("central.dat", F_OK), 0);
  ASSERT_NE(SaveFailureNotice(), nullptr);
  EXPECT_STREQ(SaveFailureNotice(), "Settings could not be saved");
  Pass();  // the title draws it
  // Back from a play to the title: the scores and progress fail the same way.
  g_returnScene = 0;
  FinishPlayResults();
  EXPECT_STREQ(SaveFailureNotice(), "Scores and progress could not be saved");
  ASSERT_EQ(rmdir("central.dat.tmp"), 0);
  g_scene = 306;
  Pass();
  Pass(0, 1);
  EXPECT_EQ(SaveFailureNotice(), nullptr);
  EXPECT_EQ(access("central.dat", F_OK), 0);
}

}  // namespace

TEST_F(SceneFlowTest, TheMusicListNamesTracksThatAreMissingOrNoFile) {
  ASSERT_EQ(mkdir("music", 0755), 0);
  ASSERT_EQ(mkdir("music/bgm00.mp3", 0755), 0);  // a folder where a track should be
  ASSERT_TRUE(WriteWholeFile("music/bgm01.mp3", "ID3"));
  StartLog(".");
  CheckMusicTitles();
  const std::string log = ReadWholeFile("Log.txt");
  EXPECT_NE(log.find("not a readable file: ./music/bgm00.mp3"), std::string::npos);
  EXPECT_EQ(log.find("bgm01.mp3"), std::string::npos);
  EXPECT_NE(log.find("Music track missing: ./music/bgm02.mp3"), std::string::npos);
}
