// One logic step in its fixed order (replays rely on it), the frame's steps, and setting a play up.
#include <algorithm>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"
#include "game/play/play_runner.h"
#include "game/play/stage_entry.h"

void (*g_stageScriptOverride)() = nullptr;

namespace {

int g_liveInput;

template <class T, int N>
void AgeCosmetic(T (&pool)[N]) {
  for (T& entry : pool)
    if (entry.life > 0) entry.life -= 1;
}

void SetUp(const PlaySetup& setup) {
  ResetPlayState();
  g_scene = setup.scene;
  g_difficulty = setup.difficulty;
  g_playKind = PlayKindOfScene(setup.scene);
  g_player.character = setup.character;
  PlayerStatus& p = g_player;
  switch (g_playKind) {
    case kPlayMainGame: p.lives = 2, p.bombs = 3, p.power = 0; break;
    case kPlayExtra: p.lives = 2, p.bombs = 3, p.power = 128; break;
    case kPlayStagePractice: {
      const int stagesBefore = setup.scene - StagePracticeScene(kSceneFirstStage);
      p.lives = 2, p.bombs = 3, p.power = std::min(128, 48 * stagesBefore);
      break;
    }
    default: p.lives = 0, p.bombs = 0, p.power = 128; break;
  }
  g_returnScene = g_playKind == kPlayStagePractice   ? kScenePracticeMenu
                  : g_playKind == kPlaySpellPractice ? kSceneSpellPracticeMenu
                                                     : kSceneTitle;
  g_randomCounter = setup.startCounter;
  g_continuesUsed = 0;
  g_liveInput = 0;
}

}  // namespace

void BeginPlay(const PlaySetup& setup) {
  SetUp(setup);
  g_replayPlaying = 0;
  g_recordOk = 1;
  ClearRecording();
}

void BeginPlayback(const PlaySetup& setup, const ReplayPair* pairs, int count) {
  SetUp(setup);
  g_scene = PlaybackScene(setup.scene);
  g_replayPlaying = 1;
  g_recordOk = 0;
  StartPlaybackSource(pairs, count);
}

void SetLiveInput(int inputByte) { g_liveInput = inputByte & 0xFF; }

void RunLogicStep() {
  int inputByte = g_liveInput;
  if (g_replayPlaying) {
    if (!NextPlaybackInput(&inputByte)) {
      g_stageOver = 1;  // a replay never runs past its recording
      return;
    }
  } else {
    AppendRecordedInput(inputByte);
  }
  g_inputBits = inputByte;

  g_stepSerial += 1;
  g_emitterBlock = 0;
  if (g_stageFrame == 0) ResetStageStart();

  PLAY_DRAW(background);
  AgeCosmetic(g_scorePopups);
  PLAY_DRAW(scorePopups);
  UpdateItems();
  AgeCosmetic(g_vanishFlashes);
  AgeCosmetic(g_bursts);
  PLAY_DRAW(enemyEffects);
  UpdateEnemies();
  UpdateBosses();
  UpdatePlayer();
  UpdateEnemyBullets();
  UpdateLasers();
  if (g_stageScriptOverride)
    g_stageScriptOverride();
  else
    RunStage();
  g_stageFrame += 1;
  ApplyScoreRules();
  g_prevInputBits = g_inputBits;
}

int RunPlayFrameSteps() {
  int steps = std::max(1, StepsOfGameSpeed(g_gameSpeed));
  for (int k = 0; k < steps; ++k) {
    RunLogicStep();
    if (g_stageOver == 1 || g_gameOverPending == 1) return k + 1;
  }
  return steps;
}

void ContinuePlay() {
  g_continuesUsed += 1;
  g_player.lives = 2;
  g_player.bombs = 3;
  g_player.score = g_continuesUsed;
  g_recordOk = 0;
  g_gameOverPending = 0;
}
