// Reading the scene number, the character code and the game speed by name: every kind
// of number a play can hold, live, in playback and under each overlay.
#include "game/play/play_codes.h"

#include <gtest/gtest.h>

namespace {

TEST(PlayCodes, EveryKindOfSceneNumberReadsAsItsParts) {
  struct Case {
    int scene;
    int played, overlay, under;
    bool playback;
    int digit;
    PlayKind kind;
    bool stagePractice, cardPractice, practice, liveGame, play, menu;
  };
  const PlayKind M = kPlayMainGame, E = kPlayExtra, S = kPlayStagePractice, C = kPlaySpellPractice;
  const Case cases[] = {
      // scene  played ov under  pb  digit kind  stageP cardP  pract  live   play   menu
      {0,       0,     0, 0,     false, 0, M,    false, false, false, true,  false, false},
      {1,       1,     0, 1,     false, 1, M,    false, false, false, true,  true,  false},
      {6,       6,     0, 6,     false, 6, M,    false, false, false, true,  true,  false},
      {7,       7,     0, 7,     false, 7, M,    false, false, false, true,  true,  false},
      {8,       8,     0, 8,     false, 8, E,    false, false, false, true,  true,  false},
      {9,       9,     0, 9,     false, 9, M,    false, false, false, true,  true,  false},
      {11,      11,    0, 11,    false, 1, S,    true,  false, true,  false, true,  false},
      {16,      16,    0, 16,    false, 6, S,    true,  false, true,  false, true,  false},
      {200,     200,   0, 200,   false, 0, C,    false, true,  true,  false, true,  false},
      {225,     225,   0, 225,   false, 5, C,    false, true,  true,  false, true,  false},
      {299,     299,   0, 299,   false, 9, C,    false, true,  true,  false, true,  false},
      {300,     300,   0, 300,   false, 0, M,    false, false, true,  false, false, true},
      {303,     303,   0, 303,   false, 3, M,    false, false, true,  false, false, true},
      {307,     307,   0, 307,   false, 7, M,    false, false, true,  false, false, true},
      {500,     500,   0, 500,   false, 0, M,    false, false, true,  false, false, false},
      {602,     602,   0, 602,   false, 2, M,    false, false, true,  false, false, false},
      // Playback: the same play, 1000 higher.
      {1001,    1,     0, 1001,  true,  1, M,    false, false, false, false, true,  false},
      {1007,    7,     0, 1007,  true,  7, M,    false, false, false, false, true,  false},
      {1008,    8,     0, 1008,  true,  8, E,    false, false, false, false, true,  false},
      {1009,    9,     0, 1009,  true,  9, M,    false, false, false, false, true,  false},
      {1013,    13,    0, 1013,  true,  3, S,    true,  false, true,  false, true,  false},
      {1299,    299,   0, 1299,  true,  9, C,    false, true,  true,  false, true,  false},
      // Overlays over a live play and over playback.
      {10003,   3,     1, 3,     false, 3, M,    false, false, false, false, true,  false},
      {11014,   14,    1, 1014,  true,  4, S,    true,  false, true,  false, true,  false},
      {20008,   8,     2, 8,     false, 8, E,    false, false, false, false, true,  false},
      {30212,   212,   3, 212,   false, 2, C,    false, true,  true,  false, true,  false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    EXPECT_EQ(PlayedScene(c.scene), c.played);
    EXPECT_EQ(OverlayOfScene(c.scene), c.overlay);
    EXPECT_EQ(HasOverlay(c.scene), c.overlay != kOverlayNone);
    EXPECT_EQ(SceneUnderOverlay(c.scene), c.under);
    EXPECT_EQ(IsPlaybackScene(c.scene), c.playback);
    EXPECT_EQ(IsPlayScene(c.scene), c.play);
    EXPECT_EQ(IsMenuScene(c.scene), c.menu);
    if (!c.play) continue;  // the rest reads play scenes only
    EXPECT_EQ(StageDigit(c.scene), c.digit);
    EXPECT_EQ(PlayKindOfScene(c.scene), c.kind);
    EXPECT_EQ(IsStagePracticeScene(c.scene), c.stagePractice);
    EXPECT_EQ(IsCardPracticeScene(c.scene), c.cardPractice);
    EXPECT_EQ(IsPracticeScene(c.scene), c.practice);
    // The scripts ask while their logic runs, never under an overlay.
    if (c.overlay == kOverlayNone) EXPECT_EQ(IsLiveGameScene(c.scene), c.liveGame);
  }
}

TEST(PlayCodes, ScenesAreBuiltAndTakenApartAlike) {
  for (int stage = 1; stage <= 6; ++stage) {
    const int scene = StagePracticeScene(stage);
    EXPECT_EQ(scene, 10 + stage);
    EXPECT_EQ(StageDigit(PlaybackScene(scene)), stage);
    EXPECT_EQ(PlayKindOfScene(scene), kPlayStagePractice);
  }
  for (int slot : {0, 1, 16, 25, 99}) {
    const int scene = CardPracticeScene(slot);
    EXPECT_EQ(scene, 200 + slot);
    EXPECT_EQ(CardSlotOfScene(scene), slot);
    EXPECT_EQ(CardSlotOfScene(PlaybackScene(scene)), slot);
    EXPECT_EQ(WithOverlay(PlaybackScene(scene), kOverlayReplaySave), 31200 + slot);
    EXPECT_EQ(SceneUnderOverlay(WithOverlay(scene, kOverlayScoreEntry)), scene);
  }
  EXPECT_EQ(WithOverlay(6, kOverlayMenu), 10006);
}

TEST(PlayCodes, CharacterCodesAndTheirRows) {
  EXPECT_EQ(CharacterRow(kCharacterA), 0);
  EXPECT_EQ(CharacterRow(kCharacterB), 1);
  EXPECT_EQ(CharacterOfRow(0), 0);
  EXPECT_EQ(CharacterOfRow(1), 7);
}

TEST(PlayCodes, GameSpeedKeepsStepsAndTheSlowDigitApart) {
  struct Case {
    int speed, steps, slow, withoutSlow;
  };
  const Case cases[] = {{10, 1, 0, 10}, {11, 1, 1, 10}, {30, 3, 0, 30}, {32, 3, 2, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    EXPECT_EQ(StepsOfGameSpeed(c.speed), c.steps);
    EXPECT_EQ(SlowDigitOfGameSpeed(c.speed), c.slow);
    EXPECT_EQ(WithoutSlowDigit(c.speed), c.withoutSlow);
    EXPECT_EQ(GameSpeed(c.steps, c.slow), c.speed);
    EXPECT_EQ(SlowDigitOfGameSpeed(RaiseSlowDigit(c.speed)), c.slow + 1);
    EXPECT_EQ(StepsOfGameSpeed(RaiseSlowDigit(c.speed)), c.steps);
  }
  EXPECT_EQ(kNormalGameSpeed, 10);
  EXPECT_EQ(GameSpeed(kFastForwardSteps, 0), 30);
}

}  // namespace
