#pragma once
// Stage 2: its timeline entry and the parts it calls.
#include "game/stages/stage_frame.h"

void RunStage2Waves();
void FireStage2EnemyShots(int slot);
void GetStage2DialogueLine(DialogueLine& line);
void RunStage2BossFight();
void ResetStage2State();
