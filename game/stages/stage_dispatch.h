#pragma once
// Which script a play scene runs, and the stage entries the dispatcher calls.
// RunStage and ResetScriptState themselves are declared in game/play/stage_entry.h.

enum class StageScript {
  kNone,           // scenes whose digit is 0 or 9, and anything unknown
  kStage1,
  kStage2,
  kStage3,
  kStage4,
  kStage5,
  kStage6,
  kExtra,
  kEnding,         // digit 7: the play ends and the game moves to scene 500
  kSpellPractice,  // 200..299, and 1200..1299 in a replay
};

StageScript StageScriptOfScene(int scene);

// Raises the stored progress of the running character and difficulty to the scene,
// for main-game stages only (scenes below 7).
void RaiseStageProgress();

void RunStage1Timeline();
void RunStage2Timeline();
void RunStage3Timeline();
void RunStage4Timeline();
void RunStage5Timeline();
void RunStage6Timeline();
void RunExtraStageTimeline();
void RunSpellPracticeStage();
