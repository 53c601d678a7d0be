// The end of a cleared game: ending pages, staff roll, score entry and replay save
// lead back to the title, with the clear, the ranking, the replay and "central.dat"
// written.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "game/content/content_text.h"
#include "game/files/replay_file.h"
#include "game/files/save_file.h"
#include "game/files/save_tables.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/loading.h"
#include "game/scenes/menu.h"
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

TEST_F(SceneFlowTest, AnEndingPageTurnsOnEveryFreshShotPressFromItsFirstPass) {
  StartLivePlay(1, 0, 0);
  Pass();
  g_scene = 7;
  Pass();
  ASSERT_EQ(g_scene, 500);
  // Held through a page's passes, one press turns one page only.
  for (int page = 0; page < 3; ++page) {
    for (int k = 0; k < 5; ++k) Pass(kInputShot);
    EXPECT_EQ(g_scene, 500) << page;
    Pass();
  }
  Pass(kInputShot);  // the fourth press, on the page's first pass
  EXPECT_EQ(g_scene, 600);
}

TEST_F(SceneFlowTest, SpellPracticeNamesTheSeenCardsOfEachListWhateverWasPlayedLast) {
  // Seen cards of every difficulty for character B; one of character A's, not shown for B.
  const struct {
    int difficulty, slot;
  } seen[] = {{0, 1}, {0, 25}, {1, 7}, {2, 0}, {2, 13}, {3, 0}, {3, 24}, {4, 0}, {4, 9}, {4, 16}};
  for (const auto& card : seen) CardSeenFlags[1][GetSpellCardId(card.difficulty, card.slot)] = 1;
  CardSeenFlags[0][GetSpellCardId(1, 3)] = 1;
  for (int played = 0; played < 5; ++played) {
    StartLivePlay(played == 4 ? 8 : 1, played, 0);
    Pass();
    for (int list = 0; list < 5; ++list) {
      ResetSceneMenus();
      g_scene = 303;
      Pass();
      for (int k = 0; k < list; ++k) {
        Pass(kInputDown);
        Pass();
      }
      Pass(kInputShot);  // the list's difficulty
      Pass();
      Pass(kInputDown);  // character B
      Pass();
      Pass(kInputShot);
      Pass();
      int named = 0;
      for (int slot = FirstSpellSlot(list); slot <= LastSpellSlot(list); ++slot) {
        const int id = GetSpellCardId(list, slot);
        const bool isSeen = CardSeenFlags[1][id] == 1;
        char want[256];
        std::snprintf(want, sizeof want, "No.%03d  %s", id, isSeen ? CardName(id) : kUnknownCardName);
        EXPECT_EQ(SpellPracticeListLine(slot), want) << "list " << list << " after a play on " << played;
        named += isSeen;
      }
      EXPECT_GE(named, 1) << list;
      EXPECT_EQ(g_difficulty, played) << "the list leaves the play's difficulty as it was";
    }
  }
  for (const auto& card : seen) EXPECT_STRNE(CardName(GetSpellCardId(card.difficulty, card.slot)), kUnknownCardName);
}

TEST_F(SceneFlowTest, AContinuedPlaySaysWhereItsReplaySaveWouldComeThatItIsNotSaved) {
  struct Case {
    int score;     // set after the continue: a high one goes through the score entry first
    bool cleared;  // through the ending and the staff roll to the full-screen steps
  } cases[] = {{3, false}, {9000001, false}, {4, true}, {9000002, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "score " << c.score << (c.cleared ? ", cleared" : ""));
    StartLivePlay(1, 1, 0);
    Pass();
    g_gameOverPending = 1;
    Pass();
    ASSERT_EQ(g_scene, 10001);
    Pass(0, 28);  // Continue
    ASSERT_EQ(g_continuesUsed, 1);
    g_player.score = c.score;
    int notice = 30001;
    if (c.cleared) {
      g_scene = 7;
      Pass();
      ASSERT_EQ(g_scene, 500);
      for (int page = 0; page < 4; ++page) {
        Pass();
        Pass(kInputShot);
      }
      for (int k = 0; k < 1800; ++k) Pass();
      ASSERT_EQ(g_scene, 601);
      notice = 602;
    } else {
      g_stageOver = 1;
      Pass();
    }
    if (c.score > 1000000) {
      ASSERT_EQ(g_scene, notice == 602 ? 601 : 20001);
      Pass();
      Pass(0, 28);  // the name as it stands
    }
    for (int k = 0; k < 40; ++k) Pass();
    ASSERT_EQ(g_scene, notice) << "the notice waits for a key";
    Pass(kInputShot);
    EXPECT_EQ(g_scene, 0);
    EXPECT_EQ(InspectReplayFile(ReplayFilePath(1), nullptr), ReplaySlotState::Empty);
  }
  // A play that was not continued but whose recording ran out says nothing.
  StartLivePlay(1, 1, 0);
  Pass();
  g_recordOk = 0;
  g_stageOver = 1;
  Pass();
  EXPECT_EQ(g_scene, 0);
}

TEST_F(SceneFlowTest, EndingKindFollowsTheScoreDigitAndTheExtraStage) {
  struct Case {
    int scene, difficulty, score, kind, endScene;
  } cases[] = {{1, 1, 5000000, 1, 7}, {1, 1, 5000002, 2, 7}, {8, 4, 7000001, 3, 7},
               {8, 4, 7000000, 3, 7}};
  for (const Case& c : cases) {
    StartLivePlay(c.scene, c.difficulty, 0);
    Pass();
    g_player.score = c.score;
    // The ending script: scene 7, which the Extra stage's own end also moves to.
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
  EXPECT_STREQ(SaveFailureNotice(), (std::string("Settings could not be saved: ") + std::strerror(EEXIST)).c_str());
  Pass();  // the title draws it
  // Back from a play to the title: the scores and progress fail the same way.
  g_returnScene = 0;
  FinishPlayResults();
  EXPECT_STREQ(SaveFailureNotice(),
               (std::string("Scores and progress could not be saved: ") + std::strerror(EEXIST)).c_str());
  ASSERT_EQ(rmdir("central.dat.tmp"), 0);
  g_scene = 306;
  Pass();
  Pass(0, 1);
  EXPECT_EQ(SaveFailureNotice(), nullptr);
  EXPECT_EQ(access("central.dat", F_OK), 0);
  // The folder the game runs in is gone: the player reads why.
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  std::filesystem::remove_all(here);
  g_scene = 306;
  Pass();
  Pass(0, 1);
  EXPECT_STREQ(SaveFailureNotice(), "Settings could not be saved: folder missing");
}

TEST_F(SceneFlowTest, ADamagedSaveIsKeptBeforeAnyWriteAndTheTitleSaysSoUntilAKey) {
  ASSERT_TRUE(WriteWholeFile("central.dat", "not a save file"));
  ASSERT_TRUE(WriteWholeFile("central.dat.bak", "nor is this"));
  SaveDamage damage = SaveDamage::kNone;
  ASSERT_FALSE(LoadSaveData(&g_save, kSaveFileName, nullptr, &damage));
  ASSERT_EQ(damage, SaveDamage::kDefaultsLoaded);
  KeepDamagedSavesAndTell(damage);
  EXPECT_EQ(ReadWholeFile("central.dat.damaged"), "not a save file");
  EXPECT_EQ(ReadWholeFile("central.dat.bak.damaged"), "nor is this");
  g_scene = 0;
  for (int k = 0; k < 30; ++k) Pass();
  EXPECT_STREQ(SaveDamagedNotice(), "The save file was damaged: defaults are in use");
  // Leaving the settings writes both copies anew; the kept files stay as they were.
  g_scene = 306;
  Pass();
  Pass(0, 1);
  ASSERT_EQ(g_scene, 0);
  SaveData stored;
  EXPECT_TRUE(LoadSaveData(&stored));
  EXPECT_EQ(ReadWholeFile("central.dat.damaged"), "not a save file");
  EXPECT_EQ(ReadWholeFile("central.dat.bak.damaged"), "nor is this");
  Pass();
  EXPECT_NE(SaveDamagedNotice(), nullptr) << "the key that left the settings was not pressed on the title";
  // The first key on the title only puts the notice away; the next confirms Start.
  Pass(kInputShot);
  EXPECT_EQ(SaveDamagedNotice(), nullptr);
  EXPECT_EQ(g_scene, 0);
  Pass();
  Pass(kInputShot);
  EXPECT_EQ(g_scene, 300);
}

// A damaged "central.dat" over a good backup: the backup is loaded, the damaged file
// kept, the title says so; the Down arrow that puts the notice away, held about 60 ms
// as a person holds it, does not move the cursor.
TEST_F(SceneFlowTest, TheLastGoodCopyIsSaidAndTheKeyPuttingTheNoticeAwayIsTakenUntilReleased) {
  SaveData older;
  ResetSaveData(&older);
  older.musicVolume = 30;
  uint8_t image[kSaveFileSize];
  EncodeSaveData(older, image);
  ASSERT_TRUE(WriteWholeFile("central.dat.bak", std::string(reinterpret_cast<char*>(image), sizeof image)));
  image[5000] ^= 0x20;
  const std::string damaged(reinterpret_cast<char*>(image), sizeof image);
  ASSERT_TRUE(WriteWholeFile("central.dat", damaged));
  SaveDamage damage = SaveDamage::kNone;
  ASSERT_TRUE(LoadSaveData(&g_save, kSaveFileName, nullptr, &damage));
  EXPECT_EQ(g_save.musicVolume, 30);
  KeepDamagedSavesAndTell(damage);
  EXPECT_EQ(ReadWholeFile("central.dat.damaged"), damaged);
  g_scene = 0;
  Pass();
  EXPECT_STREQ(SaveDamagedNotice(), "Damaged save file kept aside: last good copy in use");
  for (int k = 0; k < 4; ++k) Pass(kInputDown);  // ~60 ms
  EXPECT_EQ(SaveDamagedNotice(), nullptr);
  Pass();
  Pass(kInputShot);
  EXPECT_EQ(g_scene, 300) << "the cursor stayed on Start";
  // Released, the same key moves the cursor again.
  g_scene = 0;
  Pass();
  Pass(kInputDown);
  Pass();
  Pass(kInputDown);
  Pass();
  Pass(kInputShot);
  EXPECT_EQ(g_scene, 302) << "Practice Start, two down";
}

// A damaged save that cannot be kept aside (the disk is full) is left in place, untouched
// by any save meanwhile, and the title says so with the cause and what is in use.
TEST_F(SceneFlowTest, ADamagedSaveThatCannotBeKeptIsLeftInPlaceAndTheTitleSaysWhy) {
  uint8_t image[kSaveFileSize];
  EncodeSaveData(g_save, image);
  const std::string good(reinterpret_cast<char*>(image), sizeof image);
  image[5000] ^= 0x20;
  const std::string damaged(reinterpret_cast<char*>(image), sizeof image);
  for (bool goodBackup : {true, false}) {
    SCOPED_TRACE(goodBackup ? "good backup" : "damaged backup");
    ASSERT_TRUE(WriteWholeFile("central.dat", damaged));
    ASSERT_TRUE(WriteWholeFile("central.dat.bak", goodBackup ? good : damaged));
    SaveDamage damage = SaveDamage::kNone;
    LoadSaveData(&g_save, kSaveFileName, nullptr, &damage);
    {
      FullDisk full(100);
      ASSERT_TRUE(full.set());
      KeepDamagedSavesAndTell(damage);
      g_scene = 306;  // the settings left: a save
      Pass();
      Pass(0, 1);
      ASSERT_EQ(g_scene, 0);
    }
    EXPECT_STREQ(SaveDamagedNotice(), goodBackup ? "Damaged save file left in place, untouched\n"
                                                   "Not kept aside (no space): last good copy in use"
                                                 : "Damaged save file left in place, untouched\n"
                                                   "Not kept aside (no space): defaults are in use");
    EXPECT_STREQ(SaveFailureNotice(), "Settings could not be saved: no space");
    EXPECT_EQ(ReadWholeFile("central.dat"), damaged);
    EXPECT_FALSE(std::filesystem::exists("central.dat.damaged"));
    Pass();  // drawn on two lines
    Pass(kInputShot);
    EXPECT_EQ(SaveDamagedNotice(), nullptr);
  }
}

// The notice that a continued play keeps no replay, put away by a held Down arrow: on the
// title the arrow, still held, moves nothing.
TEST_F(SceneFlowTest, TheKeyPuttingTheContinuedPlayNoticeAwayMovesNothingOnTheTitle) {
  StartLivePlay(1, 1, 0);
  Pass();
  g_gameOverPending = 1;
  Pass();
  Pass(0, 28);  // Continue
  ASSERT_EQ(g_continuesUsed, 1);
  g_player.score = 3;
  g_stageOver = 1;
  Pass();
  ASSERT_EQ(g_scene, 30001);
  for (int k = 0; k < 4; ++k) Pass(kInputDown);
  ASSERT_EQ(g_scene, 0);
  Pass();
  Pass(kInputShot);
  EXPECT_EQ(g_scene, 300) << "the cursor stayed on Start";
}

// Name entry: a shifted key types its mark when the entry holds it; Backspace after Up
// or Down removes the letter being changed, at the end of the name or inside it.
TEST_F(SceneFlowTest, NameEntryTypesShiftedMarksAndBackspaceRemovesTheLetterBeingChanged) {
  StartLivePlay(1, 1, 0);
  Pass();
  g_player.score = 9000000;
  g_stageOver = 1;
  Pass();
  ASSERT_EQ(g_scene, 20001);
  auto press = [](int inputByte, int code) {
    Pass(inputByte, code);
    Pass(inputByte & kInputSlow);
  };
  for (int code : {18, 49, 32, 20, 18, 31, 20, 16}) press(0, code);  // ENDTESTQ
  press(0, 14);                                                       // Backspace: ENDTEST
  press(kInputUp, 0);                                                 // ENDTEST_ -> A
  press(kInputUp, 0);                                                 // -> B
  press(0, 14);             // the B goes again: ENDTEST
  press(kInputSlow, 53);    // Shift+/: ENDTEST?
  press(0, 28);
  ASSERT_EQ(g_scene, 30001);
  EXPECT_STREQ(g_save.highScores[0][1][0].name, "ENDTEST?");
  press(0, 28);             // slot 01, empty: the name, prefilled, the cursor after it
  press(0, 14);             // ENDTEST
  press(kInputSlow, 2);     // Shift+1: ENDTEST!
  press(kInputSlow, 3);     // Shift+2 is no mark of the entry: nothing
  for (int k = 0; k < 4; ++k) press(kInputLeft, 0);  // to the second E
  press(kInputUp, 0);       // -> F
  press(0, 14);             // that letter goes, the rest moves up: ENDTST!
  press(0, 28);
  ASSERT_EQ(g_scene, 0);
  ReplayHeader header{};
  ASSERT_EQ(InspectReplayFile(ReplayFilePath(1), &header), ReplaySlotState::Valid);
  EXPECT_STREQ(header.name, "ENDTST!");
}

// The replay of a cleared Extra play names its last scene as the Extra's end, as its
// score entry does; the play itself passes through scene 7 as the main game's does.
TEST_F(SceneFlowTest, AnExtraClearsReplayAndScoreNameTheExtrasEnd) {
  StartLivePlay(8, 4, 7);
  Pass();
  g_player.score = 7000000;
  g_scene = 7;  // where the Extra stage's last step moves the play
  Pass();
  ASSERT_EQ(g_scene, 500);
  EXPECT_EQ(EndingKindOfResults(), 3);
  ASSERT_TRUE(SaveRecordedReplay("extra.rip", "EX"));
  ReplayHeader header{};
  ASSERT_EQ(InspectReplayFile("extra.rip", &header), ReplaySlotState::Valid);
  EXPECT_EQ(header.lastScene, 9);
  EXPECT_EQ(header.scene, 8);
  // Quit from the pause menu on the pass that stands on scene 7: the clear still counts.
  StartLivePlay(8, 4, 7);
  Pass();
  g_player.score = 7000000;
  g_scene = 7;
  g_stageFrame = 10;
  NoteLastPlayScene();
  g_scene = 10007, g_overlayKind = 0;  // the pause menu over it
  Pass(kInputDown);
  Pass();
  Pass(kInputDown);
  Pass();
  Pass(0, 28);  // Quit
  ASSERT_EQ(g_scene, 20007);
  Pass();
  Pass(0, 28);
  ASSERT_EQ(g_scene, 30007);
  EXPECT_EQ(g_save.highScores[1][4][0].stage, 9);
  EXPECT_EQ(g_save.highScores[1][4][0].flags & 1, 1);
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
