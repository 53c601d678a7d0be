#include "game/files/save_tables.h"

#include "game/play/play_state.h"

SaveData g_save;

void CopySaveDataToPlayTables(const SaveData& data) {
  for (int c = 0; c < kSaveCharacters; ++c) {
    for (int d = 0; d < kSaveDifficulties; ++d) StageProgress[c][d] = data.stageProgress[c][d];
    for (int id = 0; id < kSaveCards; ++id) {
      SpellCardHistory[c][id] = SpellCardRecord{data.cardHistory[c][id].attempts, data.cardHistory[c][id].captures};
      CardSeenFlags[c][id] = data.cardSeen[c][id];
    }
  }
}

void CopyPlayTablesToSaveData(SaveData* data) {
  for (int c = 0; c < kSaveCharacters; ++c) {
    for (int d = 0; d < kSaveDifficulties; ++d) data->stageProgress[c][d] = StageProgress[c][d];
    for (int id = 0; id < kSaveCards; ++id) {
      const SpellCardRecord& r = SpellCardHistory[c][id];
      data->cardHistory[c][id] = CardHistoryEntry{r.attempts, r.captures};
      data->cardSeen[c][id] = CardSeenFlags[c][id];
    }
  }
}
