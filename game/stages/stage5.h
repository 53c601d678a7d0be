#pragma once
// Stage 5: its timeline entry and the parts it calls.
#include "game/stages/stage_frame.h"

void RunStage5Waves();
void FireStage5EnemyShots(int slot);
void GetStage5DialogueLine(DialogueLine& line);
void RunStage5BossFight();
void ResetStage5State();
