// The menus' unlock rules, the key configuration, the ranking and the image roles.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "font/default_font.h"
#include "game/content/content_text.h"
#include "game/draw/game_images.h"
#include "game/play/play_runner.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/menu.h"
#include "game/scenes/scenes.h"
#include "game/stages/stage_frame.h"
#include "platform/input.h"
#include "tests/game/app/app_fixture.h"

namespace {

SaveData Fresh() {
  SaveData save;
  ResetSaveData(&save);
  return save;
}

TEST(MenuRules, ExtraStartNeedsANormalOrHarderClearOfThatCharacter) {
  struct Case {
    int row, difficulty;
    bool row0, row1;
  } cases[] = {
      {0, 0, false, false},  // an Easy clear unlocks nothing
      {0, 1, true, false},   {0, 3, true, false}, {1, 2, false, true}, {1, 4, false, true},
  };
  for (const Case& c : cases) {
    SaveData save = Fresh();
    EXPECT_FALSE(AnyExtraUnlocked(save));
    save.clearFlags[c.row][c.difficulty] = 1;
    EXPECT_EQ(ExtraUnlocked(save, 0), c.row0) << c.row << "/" << c.difficulty;
    EXPECT_EQ(ExtraUnlocked(save, 1), c.row1) << c.row << "/" << c.difficulty;
    EXPECT_EQ(AnyExtraUnlocked(save), c.row0 || c.row1);
    EXPECT_FALSE(ExtraUnlocked(save, 2));
    EXPECT_FALSE(ExtraUnlocked(save, -1));
  }
}

TEST(MenuRules, PracticeStagesFollowTheProgressOfCharacterAndDifficulty) {
  SaveData save = Fresh();
  save.stageProgress[1][2] = 4;
  for (int stage = 1; stage <= 6; ++stage) {
    EXPECT_EQ(PracticeStageUsable(save, 1, 2, stage), stage <= 4) << stage;
    EXPECT_FALSE(PracticeStageUsable(save, 0, 2, stage));
    EXPECT_FALSE(PracticeStageUsable(save, 1, 3, stage));
  }
  EXPECT_FALSE(PracticeStageUsable(save, 1, 2, 0));
  EXPECT_FALSE(PracticeStageUsable(save, 1, 4, 1));  // no Extra in stage practice
}

TEST(MenuRules, SpellPracticeListsSeenCardsAndExtraOnceAnExtraCardIsSeen) {
  SaveData save = Fresh();
  EXPECT_FALSE(SpellPracticeExtraListed(save));
  save.cardSeen[1][117] = 1;
  EXPECT_TRUE(SpellPracticeExtraListed(save));
  // Slots per difficulty.
  EXPECT_EQ(FirstSpellSlot(0), 1);
  EXPECT_EQ(FirstSpellSlot(1), 1);
  EXPECT_EQ(FirstSpellSlot(2), 0);
  EXPECT_EQ(FirstSpellSlot(3), 0);
  EXPECT_EQ(FirstSpellSlot(4), 0);
  EXPECT_EQ(LastSpellSlot(3), 25);
  EXPECT_EQ(LastSpellSlot(4), 16);
  // Only a seen card starts, by the id of its slot on that difficulty.
  save.cardSeen[0][GetSpellCardId(2, 0)] = 1;
  save.cardSeen[0][GetSpellCardId(1, 25)] = 1;
  EXPECT_TRUE(SpellSlotUsable(save, 0, 2, 0));
  EXPECT_FALSE(SpellSlotUsable(save, 1, 2, 0));
  EXPECT_FALSE(SpellSlotUsable(save, 0, 3, 0));
  EXPECT_TRUE(SpellSlotUsable(save, 0, 1, 25));
  EXPECT_FALSE(SpellSlotUsable(save, 0, 1, 0));  // no slot 0 on Normal
  EXPECT_TRUE(SpellSlotUsable(save, 1, 4, 15));  // id 117
  EXPECT_FALSE(SpellSlotUsable(save, 1, 4, 17));
}

// A held direction moves the cursor at once, then from the 21st pass every 5th; the same
// repeat for left and right.
TEST(Menu, HeldKeyRepeatsAfterTwentyPassesThenEveryFive) {
  uint8_t keys[256] = {};
  for (int key : {kKeyDown, kKeyRight}) {
    keys[key] = 0x80;
    MenuCursor cursor;
    int held = 0;
    std::vector<int> moved, stepped;
    for (int pass = 1; pass <= 36; ++pass) {
      TakeKeySnapshot(keys);
      const int before = cursor.index;
      StepMenu(cursor, 100);
      if (cursor.index != before) moved.push_back(pass);
      if (StepLeftRight(held) != 0) stepped.push_back(pass);
    }
    keys[key] = 0;
    TakeKeySnapshot(keys);
    EXPECT_EQ(key == kKeyDown ? moved : stepped, (std::vector<int>{1, 21, 26, 31, 36}));
    EXPECT_TRUE((key == kKeyDown ? stepped : moved).empty());
    EXPECT_EQ(StepLeftRight(held), 0);
    EXPECT_EQ(held, 0);  // let go: the next press counts from one again
  }
}

TEST(KeyConfiguration, RefusesArrowsEnterAndF4AndSwapsAKeyInUse) {
  for (int refused : {200, 203, 205, 208, 28, 62, 0, 256, -1}) {
    KeyConfig keys = Fresh().keys;
    const KeyConfig before = keys;
    EXPECT_FALSE(AssignKey(keys, 0, refused)) << refused;
    EXPECT_EQ(std::memcmp(&keys, &before, sizeof keys), 0) << refused;
  }
  KeyConfig keys = Fresh().keys;  // Z, X, left Shift, left Ctrl, Esc
  EXPECT_TRUE(AssignKey(keys, 0, 45));  // shot takes the bomb's X: bomb gets Z
  EXPECT_EQ(keys.shot, 45);
  EXPECT_EQ(keys.bomb, 44);
  EXPECT_TRUE(AssignKey(keys, 4, 30));  // pause on a free key: nothing else moves
  EXPECT_EQ(keys.pause, 30);
  EXPECT_EQ(keys.skip, 29);
  EXPECT_TRUE(AssignKey(keys, 2, 42));  // its own key: unchanged
  EXPECT_EQ(keys.slow, 42);
  const int codes[5] = {keys.shot, keys.bomb, keys.slow, keys.skip, keys.pause};
  for (int a = 0; a < 5; ++a)
    for (int b = a + 1; b < 5; ++b) EXPECT_NE(codes[a], codes[b]);
  EXPECT_FALSE(AssignKey(keys, 5, 30));
}

TEST(Ranking, AScoreTakesItsRankAndTheRestShiftDown) {
  SaveData save = Fresh();
  HighScoreEntry* table = save.highScores[0][1];  // 500,000 down to 50,000
  EXPECT_EQ(ScoreRank(table, 50000), 10);  // equal to the 10th does not beat it
  EXPECT_EQ(ScoreRank(table, 50010), 9);
  EXPECT_EQ(ScoreRank(table, 275000), 5);
  EXPECT_EQ(ScoreRank(table, 999999990), 0);
  HighScoreEntry entry{};
  entry.score = 275000;
  std::strcpy(entry.name, "ABC");
  InsertHighScore(table, 5, entry);
  EXPECT_EQ(table[4].score, 300000);
  EXPECT_EQ(table[5].score, 275000);
  EXPECT_STREQ(table[5].name, "ABC");
  EXPECT_EQ(table[6].score, 250000);
  EXPECT_EQ(table[9].score, 100000);  // the old 10th fell off
}

// A first Easy run, sweeping along the bottom and shooting, with a bomb when hit,
// reaches the stage-1 boss fight and makes the default board.
TEST(Ranking, AFirstEasyRunThatReachesTheStageOneBossEntersTheDefaultBoard) {
  g_stageScriptOverride = nullptr;
  BeginPlay(PlaySetup{1, 0, 0, 0x2468ACEu});
  int previous = 0;
  for (int step = 0; step < 12000 && g_stageFrame < kBossFightStart && !g_gameOverPending; ++step) {
    int input = kInputShot | ((step / 60) % 2 ? kInputLeft : kInputRight) | (g_player.y < 430 ? kInputDown : 0);
    if (g_player.state < 0 && g_player.state >= -5 && !(previous & kInputBomb)) input |= kInputBomb;
    SetLiveInput(previous = input);
    RunLogicStep();
  }
  ASSERT_GE(g_stageFrame, kBossFightStart);
  EXPECT_LT(ScoreRank(Fresh().highScores[0][0], g_player.score), kHighScoreRanks) << g_player.score;
}

TEST(NameEntry, LetterDigitAndPunctuationKeysType) {
  EXPECT_EQ(NameCharOfKey(16), 'Q');
  EXPECT_EQ(NameCharOfKey(30), 'A');
  EXPECT_EQ(NameCharOfKey(50), 'M');
  EXPECT_EQ(NameCharOfKey(2), '1');
  EXPECT_EQ(NameCharOfKey(11), '0');
  EXPECT_EQ(NameCharOfKey(57), ' ');
  EXPECT_EQ(NameCharOfKey(52), '.');
  EXPECT_EQ(NameCharOfKey(28), 0);
  EXPECT_EQ(NameCharOfKey(200), 0);
  // With Shift: the entry's own marks as typed, letters and space as they are, and no
  // other shifted key giving its unshifted character.
  EXPECT_EQ(NameCharOfKey(2, true), '!');
  EXPECT_EQ(NameCharOfKey(53, true), '?');
  EXPECT_EQ(NameCharOfKey(53), 0);
  EXPECT_EQ(NameCharOfKey(30, true), 'A');
  EXPECT_EQ(NameCharOfKey(57, true), ' ');
  for (int code : {3, 10, 11, 12, 52}) EXPECT_EQ(NameCharOfKey(code, true), 0) << code;
}

class MenuFlowTest : public AppTest {};

TEST_F(MenuFlowTest, ExtraStartIsRefusedUntilUnlockedThenStartsTheExtraPlay) {
  ResetSceneMenus();
  g_scene = 0;
  Keys(0);
  RunSceneFrame();
  Keys(kInputDown);  // to "Extra Start"
  RunSceneFrame();
  Keys(0, 28);
  RunSceneFrame();
  EXPECT_EQ(g_scene, 0);  // dark grey: refused
  g_save.clearFlags[1][1] = 1;
  Keys(0);
  RunSceneFrame();
  Keys(0, 28);
  RunSceneFrame();
  ASSERT_EQ(g_scene, 301);
  Keys(0);
  RunSceneFrame();
  Keys(0, 28);  // character A has no clear: refused
  RunSceneFrame();
  EXPECT_EQ(g_scene, 301);
  Keys(kInputDown);
  RunSceneFrame();
  Keys(0, 28);
  RunSceneFrame();
  EXPECT_EQ(g_scene, 8);
  EXPECT_EQ(g_difficulty, 4);
  EXPECT_EQ(g_player.character, 7);
  EXPECT_EQ(g_player.power, 128);
}

// A card's replay is listed as the spell practice list shows the card: the name (or the
// unknown one, until the card is seen) after the number, cut where the line ends.
TEST_F(MenuFlowTest, AReplayOfACardIsListedByTheSpellPracticeListsNumberAndName) {
  ReplayHeader header{};
  header.scene = CardPracticeScene(3), header.difficulty = 0, header.character = kCharacterB;
  std::snprintf(header.date, sizeof header.date, "2026/12/08 21:45");
  std::snprintf(header.name, sizeof header.name, "ANNA");
  const std::string line = "No.04 ANNA 12/08 B Easy No.010";
  auto listed = [&](int width) { return ReplayMenuLine(4, ReplaySlotState::Valid, header, true, width); };
  auto width = [](const std::string& text) { return GetStringWidthDefaultFont(text.c_str(), 1 << 20, 0); };
  EXPECT_EQ(listed(1000), line + "  " + kUnknownCardName);
  g_save.cardSeen[1][10] = 1;
  const std::string name = CardName(10);
  EXPECT_EQ(listed(1000), line + "  " + name);
  // A narrower list: the name's first characters, and no more than the width holds.
  const int narrower = width(line + "  " + name) - 1;
  const std::string cut = listed(narrower);
  ASSERT_EQ(cut.substr(cut.size() - 3), "...");
  EXPECT_EQ(name.find(cut.substr(line.size() + 2, cut.size() - line.size() - 5)), 0u) << cut;
  EXPECT_GT(cut.size(), line.size() + 2 + 3) << "a character or more of the name";
  EXPECT_LE(width(cut), narrower);
  EXPECT_EQ(listed(width(line + "  F...")), line + "  F...");
  EXPECT_EQ(listed(width(line + "  F...") - 1), line);
}

}  // namespace

namespace {

class ImageLoadTest : public AppTest {};

// Every cell of every generated sheet is inside its sheet: no handle stays -1.
TEST_F(ImageLoadTest, EveryImageRoleGetsAGraph) {
  LoadImages();
  const int* handles = reinterpret_cast<const int*>(&g_images);
  const int count = static_cast<int>(sizeof(GameImages) / sizeof(int));
  for (int k = 0; k < count; ++k) EXPECT_NE(handles[k], -1) << "GameImages word " << k;
  SpriteSheetSet& s = SpriteSheetHandles;
  for (int k = 0; k < 7; ++k) {
    EXPECT_NE(s.stageTitle[k], -1) << k;
    EXPECT_NE(s.stageNumber[k], -1) << k;
    EXPECT_NE(s.stagePlace[k], -1) << k;
  }
  for (int k = 0; k < 2; ++k) EXPECT_NE(s.enemyMark[k], -1);
  for (int k = 0; k < 10; ++k) EXPECT_NE(s.bigDigit[k], -1);
  for (int k = 0; k < 8; ++k) EXPECT_NE(s.bossName[k], -1);
  for (int k = 0; k < 11; ++k) EXPECT_NE(s.miniDigit[k], -1);
  for (int kind = 0; kind < 8; ++kind)
    for (int pose = 0; pose < 8; ++pose) EXPECT_NE(s.portrait[kind][pose], -1) << kind << "/" << pose;
  for (int image : {s.itemLine, s.stageClear, s.capture, s.bonusFailed, s.spellNameBar, s.bonusLabel,
                    s.failedLabel, s.historyLabel})
    EXPECT_NE(image, -1);
}

}  // namespace
