#pragma once
// The save block's progress, card history and seen flags live, while the game runs,
// in the play tables the scripts update (`StageProgress`, `SpellCardHistory`,
// `CardSeenFlags`); these copy them between the two.
#include "game/save_file.h"

void CopySaveDataToPlayTables(const SaveData& data);
void CopyPlayTablesToSaveData(SaveData* data);
