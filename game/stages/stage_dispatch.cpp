#include "game/stages/stage_dispatch.h"

#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/play/stage_entry.h"
#include "game/stages/boss_attack.h"
#include "game/stages/extra_stage.h"
#include "game/stages/spell_banner.h"
#include "game/stages/stage1.h"
#include "game/stages/stage2.h"
#include "game/stages/stage3.h"
#include "game/stages/stage4.h"
#include "game/stages/stage5.h"
#include "game/stages/stage6.h"

namespace {

// The timeline of each stage; a stage whose script is not built runs nothing.
void (*const kTimelines[])() = {
    nullptr,            // kNone
    RunStage1Timeline,  // kStage1
    RunStage2Timeline,  // kStage2
    RunStage3Timeline,  // kStage3
    RunStage4Timeline,  // kStage4
    RunStage5Timeline,  // kStage5
    RunStage6Timeline,  // kStage6
    RunExtraStageTimeline,  // kExtra
};

void RunEnding() {
  StopPlayMusic();
  if (g_stageOver != 0) return;
  g_stageOver = 1;
  g_scene = kSceneEnding;
}

void RunBossEffects() {
  for (int slot = 0; slot < kBossSlots; ++slot) {
    if (slot > 0 && g_bosses[slot].state == 0) break;
    RunBossChargeEffect(slot, 1);
    RunBossBreakRing(1, slot);
    SetBossAnimation(slot, 1, 0);
  }
}

}  // namespace

StageScript StageScriptOfScene(int scene) {
  if (IsCardPracticeScene(scene)) return StageScript::kSpellPractice;
  switch (StageDigit(scene)) {
    case 1: return StageScript::kStage1;
    case 2: return StageScript::kStage2;
    case 3: return StageScript::kStage3;
    case 4: return StageScript::kStage4;
    case 5: return StageScript::kStage5;
    case 6: return StageScript::kStage6;
    case 7: return StageScript::kEnding;
    case 8: return StageScript::kExtra;
    default: return StageScript::kNone;
  }
}

void RaiseStageProgress() {
  if (g_scene >= kSceneMainGameEnd) return;  // only a live main game's stages count
  const int row = CharacterRow(g_player.character);
  const int difficulty = g_difficulty;
  if (row < 0 || row > 1 || difficulty < 0 || difficulty > 4) return;
  int& reached = StageProgress[row][difficulty];
  if (reached < g_scene) reached = g_scene;
}

void RunStage() {
  DrawFocusAura();
  ShakePlayfield(1, 0);

  const StageScript script = StageScriptOfScene(g_scene);
  if (script == StageScript::kSpellPractice) {
    RunSpellPracticeStage();
  } else if (script == StageScript::kEnding) {
    RunEnding();
  } else {
    const auto timeline = kTimelines[static_cast<int>(script)];
    if (timeline != nullptr) timeline();
    RaiseStageProgress();
  }

  RunBossEffects();
  RunBossExplosion(1);
  ShowNotice(0, 0, 0, 0, 0, 0);
  ShowMusicTitle("", 1);
}

void ResetScriptState() {
  ResetAttackScratch();
  ResetSpellBanner();
  ResetStage1State();
  ResetStage2State();
  ResetStage3State();
  ResetStage4State();
  ResetStage5State();
  ResetStage6State();
  ResetExtraState();
}
