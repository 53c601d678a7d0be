#pragma once
// Stage 3: its timeline entry and the parts it calls.
#include "game/stages/stage_frame.h"

void RunStage3Waves();
void FireStage3EnemyShots(int slot);
// The stream of rings from the two bullets of frame 2070, after the enemies have fired.
void RunStage3StreamEmitter();
void GetStage3DialogueLine(DialogueLine& line);
void RunStage3BossFight();
void ResetStage3State();
