#pragma once
// The save block's progress, card history and seen flags live, while the game runs,
// in the play tables the scripts update (`StageProgress`, `SpellCardHistory`,
// `CardSeenFlags`); these copy them between the two.
#include "game/files/save_file.h"

// The save block while the game runs: loaded at start, written back at the end.
extern SaveData g_save;

void CopySaveDataToPlayTables(const SaveData& data);
void CopyPlayTablesToSaveData(SaveData* data);
