#pragma once
// The Extra stage: its timeline entry and the parts it calls.
#include "game/stages/stage_frame.h"

void RunExtraWaves();
void FireExtraEnemyShots(int slot);
void GetExtraDialogueLine(DialogueLine& line);
void RunExtraBossFight();
void ResetExtraState();

// The Extra clear's marks: the notice and bonus, the closing talk (or the end of a play
// outside the main game), and the move to the ending.
constexpr int kExtraClear = 100120;
constexpr int kExtraClosingTalk = 100300;
// The Extra bonus for the player's lives, bombs, graze and point rate.
int ExtraClearBonus();
