// The title and the menus before a play (scenes 0 and 300-305), and the dispatch of
// every scene number.
#include "game/scenes/scenes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "font/default_font.h"
#include "game/content/content_text.h"
#include "game/draw/game_images.h"
#include "game/files/replay_file.h"
#include "game/files/save_tables.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/scenes/ending_scene.h"
#include "game/scenes/game_session.h"
#include "game/scenes/menu.h"
#include "game/scenes/play_scene.h"
#include "game/scenes/settings_scene.h"
#include "game/stages/boss_attack.h"
#include "graphics/draw.h"
#include "graphics/screen.h"

namespace {

const char* const kDifficultyNames[5] = {"Easy", "Normal", "Hard", "Lunatic", "Extra"};
const char* const kCharacterNames[2] = {"Character A", "Character B"};

struct MenuFlow {
  int scene = -1;  // the scene these menus belong to; a change starts them fresh
  int step = 0;    // 0 difficulty, 1 character, 2 stage or card list
  MenuCursor title, difficulty, character, list, ranking;
  int difficultyChosen = 0, characterChosen = 0;
  int rankRow = 0, rankDifficulty = 0, rankHeld = 0;
  int listTop = 0;
  const char* cardNames[26] = {};
  std::string replayLines[kReplaySlots];
  ReplaySlotState replayStates[kReplaySlots] = {};
};
MenuFlow g_menu;

// A copy of "central.dat" was refused: the title says what was done with it, on one
// line or two (split at '\n'), until a key. Empty when there is nothing to say.
char g_saveDamagedNotice[160] = "";

void SyncSaveFromPlay() { CopyPlayTablesToSaveData(&g_save); }

void StartFlow() {
  if (g_menu.scene == g_scene) return;
  g_menu.scene = g_scene;
  g_menu.step = 0;
  g_menu.list = MenuCursor{};
  g_menu.listTop = 0;
  SyncSaveFromPlay();
}

void Go(int scene) {
  g_scene = scene;
  PlayEffect(kSeMenuConfirm);
}

void DrawBackdrop() {
  SetBlendModeParam(0, 255);
  if (g_images.title != -1) DrawGraphAt(0, 0, g_images.title, 0);
  SetBlendModeParam(1, 215);
  DrawFilledBox(0, 0, 640, 480, MakeScreenColor(0, 0, 16));
  SetBlendModeParam(0, 255);
}

// ---------------------------------------------------------------- 0: title
void RunTitle() {
  static const char* const kItems[8] = {"Start",  "Extra Start", "Practice Start", "Spell Practice",
                                        "Replay", "Score",       "Option",         "Quit"};
  static const int kTargets[8] = {
      kSceneStartMenu,  kSceneExtraMenu, kScenePracticeMenu, kSceneSpellPracticeMenu,
      kSceneReplayMenu, kSceneRanking,   kSceneSettings,     kSceneQuit};
  SetBlendModeParam(0, 255);
  if (g_images.title != -1) DrawGraphAt(0, 0, g_images.title, 0);
  const bool extra = AnyExtraUnlocked(g_save);
  // The key that puts the damaged-save notice away does nothing else, held or not.
  if (g_saveDamagedNotice[0] != '\0' && AnyKeyFresh()) {
    g_saveDamagedNotice[0] = '\0';
    TakeHeldKeys();
  }
  const MenuAction action = StepMenu(g_menu.title, 8);
  for (int k = 0; k < 8; ++k)
    DrawMenuLine(460, 270 + 22 * k, kItems[k], g_menu.title.index == k, k != 1 || extra);
  if (action == MenuAction::Confirm && (g_menu.title.index != 1 || extra)) Go(kTargets[g_menu.title.index]);
  if (action == MenuAction::Cancel) g_menu.title.index = 7;
  // "central.dat" could not be written (a full disk, a read-only folder): said where
  // the player lands after the write, as the replay list says it of a replay.
  if (const char* notice = SaveFailureNotice()) DrawMenuTitle(24, 440, notice, true);
  if (const char* notice = SaveDamagedNotice()) {
    const char* second = std::strchr(notice, '\n');
    if (second == nullptr) {
      DrawMenuTitle(24, 414, notice, true);
    } else {
      DrawMenuTitle(24, 388, std::string(notice, second).c_str(), true);
      DrawMenuTitle(24, 414, second + 1, true);
    }
  }
}

// Difficulty (0..count-1) and character steps shared by 300, 302 and 303; returns
// true once both are chosen. `usableDifficulty` may refuse items.
bool ChooseDifficultyAndCharacter(const char* heading, int difficultyCount, bool (*usableDifficulty)(int),
                                  bool (*usableCharacter)(int)) {
  DrawBackdrop();
  DrawMenuTitle(80, 60, heading);
  if (g_menu.step == 0) {
    const MenuAction action = StepMenu(g_menu.difficulty, difficultyCount);
    for (int k = 0; k < difficultyCount; ++k) {
      DrawMenuLine(120, 140 + 30 * k, kDifficultyNames[k], g_menu.difficulty.index == k,
                   usableDifficulty == nullptr || usableDifficulty(k));
    }
    if (action == MenuAction::Confirm && (usableDifficulty == nullptr || usableDifficulty(g_menu.difficulty.index))) {
      g_menu.difficultyChosen = g_menu.difficulty.index;
      g_menu.step = 1;
      PlayEffect(kSeMenuConfirm);
    } else if (action == MenuAction::Cancel) {
      g_scene = kSceneTitle;
    }
    return false;
  }
  const MenuAction action = StepMenu(g_menu.character, 2);
  DrawMenuLine(120, 110, kDifficultyNames[g_menu.difficultyChosen], false);
  for (int k = 0; k < 2; ++k)
    DrawMenuLine(140, 150 + 30 * k, kCharacterNames[k], g_menu.character.index == k,
                 usableCharacter == nullptr || usableCharacter(k));
  if (action == MenuAction::Confirm && (usableCharacter == nullptr || usableCharacter(g_menu.character.index))) {
    g_menu.characterChosen = g_menu.character.index;
    PlayEffect(kSeMenuConfirm);
    return true;
  }
  if (action == MenuAction::Cancel) g_menu.step = 0;
  return false;
}

// ---------------------------------------------------------------- 300, 301
void RunStartMenu() {
  if (ChooseDifficultyAndCharacter("Start", 4, nullptr, nullptr))
    StartLivePlay(kSceneFirstStage, g_menu.difficultyChosen, CharacterOfRow(g_menu.characterChosen));
}

bool ExtraCharacter(int row) { return ExtraUnlocked(g_save, row); }

void RunExtraMenu() {
  DrawBackdrop();
  DrawMenuTitle(80, 60, "Extra Start");
  const MenuAction action = StepMenu(g_menu.character, 2);
  for (int k = 0; k < 2; ++k)
    DrawMenuLine(140, 150 + 30 * k, kCharacterNames[k], g_menu.character.index == k, ExtraCharacter(k));
  if (action == MenuAction::Confirm && ExtraCharacter(g_menu.character.index)) {
    PlayEffect(kSeMenuConfirm);
    StartLivePlay(kSceneExtraStage, kDifficultyExtra, CharacterOfRow(g_menu.character.index));
  } else if (action == MenuAction::Cancel) {
    g_scene = kSceneTitle;
  }
}

// ---------------------------------------------------------------- 302
void RunPracticeMenu() {
  if (g_menu.step < 2) {
    if (ChooseDifficultyAndCharacter("Practice Start", 4, nullptr, nullptr)) g_menu.step = 2;
    return;
  }
  DrawBackdrop();
  DrawMenuTitle(80, 60, "Practice Start");
  const int row = g_menu.characterChosen, d = g_menu.difficultyChosen;
  DrawMenuLine(120, 110, kDifficultyNames[d], false);
  DrawMenuLine(240, 110, kCharacterNames[row], false);
  const MenuAction action = StepMenu(g_menu.list, 6);
  char line[32];
  for (int k = 0; k < 6; ++k) {
    std::snprintf(line, sizeof line, "Stage %d", k + 1);
    DrawMenuLine(160, 150 + 28 * k, line, g_menu.list.index == k, PracticeStageUsable(g_save, row, d, k + 1));
  }
  if (action == MenuAction::Confirm && PracticeStageUsable(g_save, row, d, g_menu.list.index + 1)) {
    PlayEffect(kSeMenuConfirm);
    StartLivePlay(StagePracticeScene(g_menu.list.index + 1), d, CharacterOfRow(row));
  } else if (action == MenuAction::Cancel) {
    g_menu.step = 1;
  }
}

// ---------------------------------------------------------------- 303
bool SpellDifficultyUsable(int k) { return k < 4 || SpellPracticeExtraListed(g_save); }

// Asks the attack scripts for the names of the listed cards, silently.
void QueryCardNames(int difficulty) {
  int saved[kSoundEffectCount];
  for (int k = 0; k < kSoundEffectCount; ++k) {
    saved[k] = SoundEffectTable[k];
    SoundEffectTable[k] = -1;
  }
  ResetPlayState();
  // The bodies pick a card's name by the play's difficulty: the list's own, not the
  // last game's.
  const int scene = g_scene, played = g_difficulty;
  g_difficulty = difficulty;
  for (int slot = 0; slot < 26; ++slot) {
    g_scene = kSceneSpellPracticeMenu;
    const int id = GetSpellCardId(difficulty, slot);
    g_menu.cardNames[slot] = slot >= FirstSpellSlot(difficulty) && slot <= LastSpellSlot(difficulty)
                                 ? RunBossAttack(id)
                                 : "";
  }
  g_scene = scene;
  g_difficulty = played;
  for (int k = 0; k < kSoundEffectCount; ++k) SoundEffectTable[k] = saved[k];
  ResetPlayState();
}

void RunSpellPracticeMenu() {
  const int difficultyCount = SpellPracticeExtraListed(g_save) ? 5 : 4;
  if (g_menu.step < 2) {
    if (ChooseDifficultyAndCharacter("Spell Practice", difficultyCount, SpellDifficultyUsable, nullptr)) {
      g_menu.step = 2;
      g_menu.list = MenuCursor{};
      g_menu.listTop = 0;
      QueryCardNames(g_menu.difficultyChosen);
    }
    return;
  }
  DrawBackdrop();
  DrawMenuTitle(40, 30, "Spell Practice");
  const int row = g_menu.characterChosen, d = g_menu.difficultyChosen;
  const int first = FirstSpellSlot(d), count = LastSpellSlot(d) - first + 1;
  const MenuAction action = StepMenu(g_menu.list, count);
  if (g_menu.list.index < g_menu.listTop) g_menu.listTop = g_menu.list.index;
  if (g_menu.list.index >= g_menu.listTop + 15) g_menu.listTop = g_menu.list.index - 14;
  char line[256];
  for (int k = g_menu.listTop; k < count && k < g_menu.listTop + 15; ++k) {
    const int slot = first + k, id = GetSpellCardId(d, slot);
    const bool seen = SpellSlotUsable(g_save, row, d, slot);
    const CardHistoryEntry& history = g_save.cardHistory[row][id >= 0 && id < kSaveCards ? id : 0];
    DrawMenuLine(40, 70 + 26 * (k - g_menu.listTop), SpellPracticeListLine(slot).c_str(), g_menu.list.index == k,
                 seen);
    std::snprintf(line, sizeof line, "%d / %d", seen ? history.captures : 0, seen ? history.attempts : 0);
    DrawMenuLine(540, 70 + 26 * (k - g_menu.listTop), line, g_menu.list.index == k, seen);
  }
  if (action == MenuAction::Confirm && SpellSlotUsable(g_save, row, d, first + g_menu.list.index)) {
    PlayEffect(kSeMenuConfirm);
    StartLivePlay(CardPracticeScene(first + g_menu.list.index), d, CharacterOfRow(row));
  } else if (action == MenuAction::Cancel) {
    g_menu.step = 1;
  }
}

// ---------------------------------------------------------------- 304
void RunRanking() {
  DrawBackdrop();
  const int lr = StepLeftRight(g_menu.rankHeld);
  if (lr != 0) {
    g_menu.rankRow ^= 1;
    PlayEffect(kSeMenuMove);
  }
  g_menu.ranking.index = g_menu.rankDifficulty;
  const MenuAction action = StepMenu(g_menu.ranking, 5);
  g_menu.rankDifficulty = g_menu.ranking.index;
  char line[128];
  std::snprintf(line, sizeof line, "Score  -  %s  /  %s", kCharacterNames[g_menu.rankRow],
                kDifficultyNames[g_menu.rankDifficulty]);
  DrawMenuTitle(60, 40, line);
  const HighScoreEntry* table = g_save.highScores[g_menu.rankRow][g_menu.rankDifficulty];
  for (int rank = 0; rank < kHighScoreRanks; ++rank) {
    const HighScoreEntry& e = table[rank];
    char stage[8];
    if (e.stage == 7) std::snprintf(stage, sizeof stage, "All");
    else if (e.stage == 8) std::snprintf(stage, sizeof stage, "Ex");
    else if (e.stage == 9) std::snprintf(stage, sizeof stage, "Ex-C");
    else std::snprintf(stage, sizeof stage, "St.%d", e.stage);
    char date[16] = "--/--/--";
    if (e.date > 0) std::snprintf(date, sizeof date, "%04d/%02d/%02d", e.date / 10000, e.date / 100 % 100, e.date % 100);
    const int y = 100 + 30 * rank;
    std::snprintf(line, sizeof line, "%2d.", rank + 1);
    DrawMenuLine(70, y, line, false);
    DrawMenuLine(110, y, e.name, false);
    std::snprintf(line, sizeof line, "%d", e.score);
    DrawMenuLine(330 - GetStringWidthDefaultFont(line, 1 << 20, 0), y, line, false);
    DrawMenuLine(360, y, stage, false);
    DrawMenuLine(440, y, date, false);
  }
  DrawMenuLine(80, 420, "Left/Right: character   Up/Down: difficulty", false);
  if (action != MenuAction::None) g_scene = kSceneTitle;
}

// ---------------------------------------------------------------- 305
void RunReplayMenu() {
  if (g_menu.step == 0) {
    for (int slot = 1; slot <= kReplaySlots; ++slot) {
      ReplayHeader header{};
      const ReplaySlotState state = InspectReplayFile(ReplayFilePath(slot), &header);
      g_menu.replayStates[slot - 1] = state;
      // Drawn at x 40, each line's box ending 4 past its text.
      g_menu.replayLines[slot - 1] = ReplayMenuLine(slot, state, header, false, kScreenWidth - 40 - 4);
    }
    g_menu.step = 1;
  }
  DrawBackdrop();
  DrawMenuTitle(40, 24, "Replay");
  const MenuAction action = StepMenu(g_menu.list, kReplaySlots);
  if (g_menu.list.index < g_menu.listTop) g_menu.listTop = g_menu.list.index;
  if (g_menu.list.index >= g_menu.listTop + 16) g_menu.listTop = g_menu.list.index - 15;
  for (int k = g_menu.listTop; k < kReplaySlots && k < g_menu.listTop + 16; ++k)
    DrawMenuLine(40, 60 + 25 * (k - g_menu.listTop), g_menu.replayLines[k].c_str(), g_menu.list.index == k,
                 g_menu.replayStates[k] == ReplaySlotState::Valid);
  if (action == MenuAction::Confirm && g_menu.replayStates[g_menu.list.index] == ReplaySlotState::Valid) {
    PlayEffect(kSeMenuConfirm);
    if (!StartReplayPlayback(g_menu.list.index + 1)) g_menu.step = 0;  // changed on disk: list again
  } else if (action == MenuAction::Cancel) {
    g_scene = kSceneTitle;
  }
}

}  // namespace

void ResetSceneMenus() { g_menu = MenuFlow{}; }

void KeepDamagedSavesAndTell(SaveDamage damage) {
  const bool kept = KeepDamagedSaves();
  g_saveDamagedNotice[0] = '\0';
  if (damage == SaveDamage::kNone) return;
  const size_t size = sizeof g_saveDamagedNotice;
  if (damage == SaveDamage::kDefaultsLoaded && kept) {
    std::snprintf(g_saveDamagedNotice, size, "The save file was damaged: defaults are in use");
  } else if (kept) {
    std::snprintf(g_saveDamagedNotice, size, "Damaged save file kept aside: last good copy in use");
  } else {
    // A full disk or a read-only folder: no save writes over it until it can be kept.
    char why[64] = "";
    if (const char* cause = WriteErrorWord(LastWriteError())) std::snprintf(why, sizeof why, " (%s)", cause);
    std::snprintf(g_saveDamagedNotice, size, "Damaged save file left in place, untouched\nNot kept aside%s: %s", why,
                  damage == SaveDamage::kDefaultsLoaded ? "defaults are in use" : "last good copy in use");
  }
}

const char* SaveDamagedNotice() { return g_saveDamagedNotice[0] != '\0' ? g_saveDamagedNotice : nullptr; }

std::string SpellPracticeListLine(int slot) {
  const int row = g_menu.characterChosen, d = g_menu.difficultyChosen;
  if (slot < FirstSpellSlot(d) || slot > LastSpellSlot(d)) return "";
  const bool seen = SpellSlotUsable(g_save, row, d, slot);
  const char* name = seen && g_menu.cardNames[slot] != nullptr ? g_menu.cardNames[slot] : kUnknownCardName;
  char line[256];
  std::snprintf(line, sizeof line, "No.%03d  %s", GetSpellCardId(d, slot), name);
  return line;
}

void RunSceneFrame() {
  const int scene = g_scene;
  if (scene == kSceneTitle || (scene >= kSceneStartMenu && scene <= kSceneSettings)) {
    PlayTrack(7);
    StartFlow();
  } else {
    g_menu.scene = -1;
  }
  switch (scene) {
    case kSceneTitle: RunTitle(); break;
    case kSceneStartMenu: RunStartMenu(); break;
    case kSceneExtraMenu: RunExtraMenu(); break;
    case kScenePracticeMenu: RunPracticeMenu(); break;
    case kSceneSpellPracticeMenu: RunSpellPracticeMenu(); break;
    case kSceneRanking: RunRanking(); break;
    case kSceneReplayMenu: RunReplayMenu(); break;
    case kSceneSettings: RunSettingsScene(); break;
    case kSceneQuit: break;
    case kSceneEnding: RunEndingScene(); break;
    case kSceneStaffRoll: RunStaffRollScene(); break;
    case kSceneScoreEntry:
      if (RunScoreEntry(true)) g_scene = kSceneReplaySave;
      break;
    case kSceneReplaySave:
      if (RunReplaySave(true)) FinishPlayResults();
      break;
    default: RunGameFrame(); break;
  }
}
