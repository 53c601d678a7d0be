#pragma once
// Stage 4: its timeline entry and the parts it calls.
#include "game/stages/stage_frame.h"

void RunStage4Waves();
void FireStage4EnemyShots(int slot);
void GetStage4DialogueLine(DialogueLine& line);
void RunStage4BossFight();
void ResetStage4State();
