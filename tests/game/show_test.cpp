// The logic of the conversation box, notices, music title, shake and aura, run with
// drawing switched off.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/play/play_effects.h"
#include "tests/game/play_fixture.h"

namespace {

class ShowTest : public PlayTest {};

// Calls ShowDialogue once per step (as a stage script does) with the given input.
int Talk(int side, int input, int steps) {
  int before = g_talkActive;
  for (int k = 0; k < steps; ++k) {
    g_prevInputBits = g_inputBits;
    g_inputBits = input;
    ShowDialogue(side, 0, 0, 3, 0, "line one", "line two");
  }
  return g_talkActive - before;
}

TEST_F(ShowTest, DialogueAdvanceRules) {
  g_talkActive = 1;
  ShowDialogue(0, 0, 0, 3, 0, "", "");  // clock 599
  EXPECT_EQ(g_dialogue.clock, 599);
  // A fresh press before the clock is below 595 does nothing.
  EXPECT_EQ(Talk(0, kInputShot, 1), 0);
  EXPECT_EQ(Talk(0, 0, 2), 0);                       // clock 596
  EXPECT_EQ(Talk(0, kInputShot, 1), 0);              // clock 595, not below
  EXPECT_EQ(Talk(0, 0, 1), 0);
  EXPECT_EQ(Talk(0, kInputShot, 1), 1);              // 593 with a fresh press
  EXPECT_EQ(g_dialogue.clock, 600);
  EXPECT_EQ(Talk(0, kInputShot, 10), 0);             // held: not fresh
  // Skip held advances once the clock is below 598 (every third call).
  EXPECT_EQ(Talk(1, kInputSkip, 9), 3);
  // The clock runs out on its own after 601 calls.
  g_dialogue.clock = 600;
  EXPECT_EQ(Talk(0, 0, 600), 0);
  EXPECT_EQ(Talk(0, 0, 1), 1);
}

TEST_F(ShowTest, DialogueClockStopsWhileABossMoves) {
  g_talkActive = 1;
  InitBoss(2, 0, 1, 100, 100);
  SetBossMoveTarget(2, 200, 200, 50);
  EXPECT_EQ(Talk(0, 0, 700), 0);
  EXPECT_EQ(g_dialogue.clock, 600);
  g_bosses[2].moveFrames = 0.0;
  EXPECT_EQ(Talk(0, 0, 601), 1);
}

TEST_F(ShowTest, DialogueSlidesAndSideThree) {
  g_talkActive = 0;
  ShowDialogue(0, 0, 0, 3, 0, "", "");
  EXPECT_EQ(g_dialogue.slideLeft, 120);
  EXPECT_EQ(g_talkActive, 0);
  g_talkActive = 5;
  Talk(0, 0, 15);
  EXPECT_EQ(g_dialogue.slideLeft, 0);
  EXPECT_EQ(g_dialogue.slideRight, 0);
  // Side 3: both slide out by 8 a step and the line advances when both are out.
  EXPECT_EQ(Talk(3, kInputShot, 14), 0);
  EXPECT_EQ(Talk(3, 0, 1), 1);
  EXPECT_EQ(g_talkActive, 6);
}

TEST_F(ShowTest, NoticesFillClearAndExpire) {
  for (int k = 0; k < 30; ++k) ShowNotice(10, 2, 100, 100, k == 0 ? 5 : 0, 1);
  int used = 0;
  for (const Notice& n : g_notices) used += n.frames != 0;
  EXPECT_EQ(used, 25);
  g_stageFrame = 5;
  for (int k = 0; k < 10; ++k) ShowNotice(0, 0, 0, 0, 0, 0);
  EXPECT_NE(g_notices[0].frames, 0);  // delayed by 5
  EXPECT_EQ(g_notices[1].frames, 0);
  g_stageFrame = 0;
  ShowNotice(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(g_notices[0].frames, 0);
}

TEST_F(ShowTest, NoticesClearedAtTheStageStartThroughTheScript) {
  ShowNotice(100, 3, 1, 2, 0, 4);
  g_stageScriptOverride = [] { ShowNotice(0, 0, 0, 0, 0, 0); };
  g_stageFrame = 0;
  Step();
  EXPECT_EQ(g_notices[0].frames, 0);
}

TEST_F(ShowTest, MusicByTitle) {
  static std::string played;
  static const PlaySoundTable kRecorder{nullptr,
                                        [](const char* path) {
                                          played = path;
                                          return 0;
                                        },
                                        nullptr};
  g_playSound = &kRecorder;
  EXPECT_EQ(PlayMusicByTitle(MusicTitleTable[12]), 1);
  EXPECT_EQ(played, "./music/bgm12.mp3");
  EXPECT_EQ(g_currentMusic, 12);
  std::string copy = MusicTitleTable[3];
  EXPECT_EQ(PlayMusicByTitle(copy.c_str()), 1);  // matched by bytes, not pointer
  EXPECT_EQ(PlayMusicByTitle("no such tune"), 0);
  EXPECT_EQ(PlayMusicByTitle(nullptr), 0);
  EXPECT_EQ(g_currentMusic, 3);
  g_playSound = nullptr;

  std::string longTitle(100, 'x');
  ShowMusicTitle(longTitle.c_str(), 0);
  EXPECT_EQ(std::strlen(g_musicTitle.text), 63u);
  for (int k = 0; k < 299; ++k) ShowMusicTitle("", 1);
  EXPECT_EQ(g_musicTitle.frames, 1);
  ShowMusicTitle("", 1);
  EXPECT_EQ(g_musicTitle.frames, 0);
}

TEST_F(ShowTest, ShakeAndAura) {
  ShakePlayfield(0, 30);
  EXPECT_EQ(g_shakeTotal, 30);
  EXPECT_EQ(g_shakeLeft, 30);
  for (int k = 0; k < 30; ++k) {
    ShakePlayfield(1, 0);
    int distance = std::max(std::abs(g_shakeView.dx), std::abs(g_shakeView.dy));
    EXPECT_EQ(distance, (k < 5 || k >= 25) ? 5 : 10) << k;
  }
  EXPECT_EQ(g_shakeLeft, 0);
  g_inputBits = kInputSlow;
  for (int k = 0; k < 12; ++k) DrawFocusAura();
  EXPECT_EQ(g_focusAura.alpha, 250);
  g_inputBits = 0;
  DrawFocusAura();
  EXPECT_EQ(g_focusAura.alpha, 225);
}

TEST_F(ShowTest, SoundsGoThroughTheTableAndMinusOnePlaysNothing) {
  static int calls, lastHandle;
  calls = 0;
  const PlaySoundTable* soundLayer = g_playSound;
  static const PlaySoundTable kRecorder{[](int handle, int type, int restart) {
                                          ++calls;
                                          lastHandle = handle;
                                          EXPECT_EQ(type, 1);
                                          EXPECT_EQ(restart, 1);
                                          return 0;
                                        },
                                        nullptr, nullptr};
  g_playSound = &kRecorder;
  SoundEffectTable[kSeBossCharge] = 0x10000005;
  RunBossChargeEffect(10, 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(lastHandle, 0x10000005);
  SoundEffectTable[kSeBossCharge] = -1;
  RunBossChargeEffect(0, 0);
  EXPECT_EQ(calls, 1);
  g_playSound = soundLayer;
}

}  // namespace
