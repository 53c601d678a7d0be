#pragma once
// Stage 6: its timeline entry and the parts it calls.
#include "game/stages/stage_frame.h"

void RunStage6Waves();
void FireStage6EnemyShots(int slot);
void GetStage6DialogueLine(DialogueLine& line);
void RunStage6BossFight();
void ResetStage6State();
// The stage bonus of the stage-6 clear: the scene digit in millions plus what the
// player's lives, bombs, graze and point rate are worth, to a multiple of 10.
int64_t Stage6ClearBonus();
