#pragma once
// Stage 1, spread over its timeline entry and the four parts it calls.
#include "game/stages/stage_frame.h"

void RunStage1Waves();
void FireStage1EnemyShots(int slot);
void GetStage1DialogueLine(DialogueLine& line);
void RunStage1BossFight();
void ResetStage1State();
