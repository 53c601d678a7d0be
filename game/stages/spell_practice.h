#pragma once
// Spell-card practice: the card of the practice scene and its conversation.
#include "game/stages/stage_frame.h"

// The card id of the practice scene (CardSlotOfScene).
int PracticeCardId();
void GetPracticeDialogueLine(DialogueLine& line);
