#pragma once
// A headless play for the script tests: the core's step runner with sounds recorded,
// nothing drawn, and optionally a script of the test's own in place of RunStage.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "game/play_draw.h"
#include "game/play_effects.h"
#include "game/play_runner.h"
#include "game/play_sound.h"
#include "game/play_state.h"
#include "game/stages/spell_banner.h"

class PlayFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Played().clear();
    StopCount() = 0;
    for (int slot = 0; slot < kSoundEffectCount; ++slot) SoundEffectTable[slot] = 1000 + slot;
    for (int digit = 0; digit < 10; ++digit) SpriteSheetHandles.bigDigit[digit] = 500 + digit;
    SpriteSheetHandles.capture = 600;
    SpriteSheetHandles.bonusFailed = 601;
    SpriteSheetHandles.stageClear = 602;
    g_playSoundHandle = [](int handle, int, int) {
      Played().push_back(handle - 1000);
      return 0;
    };
    g_stopMusic = [] {
      StopCount() += 1;
      return 0;
    };
    g_playMusicFile = nullptr;
    g_playDraw = nullptr;
    SetBannerCanvas(nullptr);
    Script() = nullptr;
    g_stageScriptOverride = nullptr;
    SpellCardHistory.Clear();
    CardSeenFlags.Clear();
    StageProgress.Clear();
  }
  void TearDown() override {
    g_stageScriptOverride = nullptr;
    g_playSoundHandle = nullptr;
    g_stopMusic = nullptr;
    SetBannerCanvas(nullptr);
  }

  // Starts a live play of the scene; the stage-start reset has run once the first step is
  // done, so tests that set bosses up themselves start from frame 1.
  void Begin(int scene, int difficulty, int character = 0, uint32_t counter = 12345) {
    BeginPlay(PlaySetup{scene, difficulty, character, counter});
  }

  // Runs `script` in place of RunStage for the following steps.
  void UseScript(std::function<void()> script) {
    Script() = std::move(script);
    g_stageScriptOverride = [] { Script()(); };
  }

  void Step(int count = 1, int input = 0) {
    SetLiveInput(input);
    for (int k = 0; k < count; ++k) RunLogicStep();
  }

  static int PlayedCount(int slot) {
    int count = 0;
    for (int s : Played()) count += s == slot;
    return count;
  }

  static std::vector<int>& Played() {
    static std::vector<int> played;
    return played;
  }
  static int& StopCount() {
    static int count = 0;
    return count;
  }
  static std::function<void()>& Script() {
    static std::function<void()> script;
    return script;
  }
};

// Live notices in slot order.
inline std::vector<Notice> LiveNotices() {
  std::vector<Notice> out;
  for (const Notice& notice : g_notices)
    if (notice.frames != 0) out.push_back(notice);
  return out;
}
