// The menu widget and the menus' rules.
#include "game/scenes/menu.h"

#include <cstdint>
#include <cstring>

#include "font/default_font.h"
#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "graphics/draw.h"
#include "platform/input.h"

namespace {

// True on the first pass a direction is held, then after 20 passes every 5.
bool Repeats(bool down, int& held) {
  if (!down) {
    held = 0;
    return false;
  }
  held += 1;
  return held == 1 || (held > 20 && (held - 21) % 5 == 0);
}

}  // namespace

MenuAction StepMenu(MenuCursor& cursor, int count) {
  if (count <= 0) return MenuAction::None;
  const bool up = KeyHeld(kKeyUp), down = KeyHeld(kKeyDown);
  if (up != down && Repeats(true, cursor.held)) {
    cursor.index = (cursor.index + (up ? count - 1 : 1)) % count;
    PlayEffect(kSeMenuMove);
  } else if (up == down) {
    cursor.held = 0;
  }
  if (cursor.index >= count || cursor.index < 0) cursor.index = 0;
  if (KeyFresh(g_save.keys.shot) || KeyFresh(kKeyReturn)) return MenuAction::Confirm;
  if (KeyFresh(g_save.keys.bomb) || KeyFresh(kKeyEscape)) {
    PlayEffect(kSeMenuCancel);
    return MenuAction::Cancel;
  }
  return MenuAction::None;
}

int StepLeftRight(int& held) {
  const bool left = KeyHeld(kKeyLeft), right = KeyHeld(kKeyRight);
  if (left == right) {
    held = 0;
    return 0;
  }
  return Repeats(true, held) ? (left ? -1 : 1) : 0;
}

namespace {

// A dark backing keeps text readable over bullets and the ghosted logo; returns the
// right edge of the box.
int DrawBacking(int x, int y, const char* text) {
  const int right = x + GetStringWidthDefaultFont(text, 1 << 20, 0) + 4;
  SetBlendModeParam(1, 160);
  DrawFilledBox(x - 4, y - 1, right, y + 19, MakeScreenColor(0, 0, 0));
  SetBlendModeParam(0, 255);
  return right;
}

}  // namespace

void DrawMenuLine(int x, int y, const char* text, bool chosen, bool usable) {
  // The cursor is a frame of its own, so a refused item under it still shows it.
  const int right = DrawBacking(x, y, text);
  if (chosen) DrawFrameBox(x - 4, y - 1, right, y + 19, usable ? MakeScreenColor(200, 200, 255) : MakeScreenColor(96, 96, 96));
  const int level = !usable ? (chosen ? 96 : 64) : chosen ? 255 : 128;
  DrawStringDefaultFont(x, y, text, MakeScreenColor(level, level, level));
}

void DrawMenuTitle(int x, int y, const char* text, bool warning) {
  DrawBacking(x, y, text);
  DrawStringDefaultFont(x, y, text, warning ? MakeScreenColor(255, 96, 96) : MakeScreenColor(255, 220, 140));
}

bool ExtraUnlocked(const SaveData& save, int row) {
  if (row < 0 || row >= kSaveCharacters) return false;
  for (int d = 1; d < kSaveDifficulties; ++d)
    if (save.clearFlags[row][d] != 0) return true;
  return false;
}

bool AnyExtraUnlocked(const SaveData& save) { return ExtraUnlocked(save, 0) || ExtraUnlocked(save, 1); }

bool PracticeStageUsable(const SaveData& save, int row, int difficulty, int stage) {
  if (row < 0 || row >= kSaveCharacters || difficulty < 0 || difficulty > 3) return false;
  return stage >= 1 && stage <= 6 && save.stageProgress[row][difficulty] >= stage;
}

bool SpellPracticeExtraListed(const SaveData& save) {
  for (int row = 0; row < kSaveCharacters; ++row)
    for (int id = 102; id <= 118; ++id)
      if (save.cardSeen[row][id] != 0) return true;
  return false;
}

int FirstSpellSlot(int difficulty) { return difficulty >= 2 ? 0 : 1; }
int LastSpellSlot(int difficulty) { return difficulty == 4 ? 16 : 25; }

bool SpellSlotUsable(const SaveData& save, int row, int difficulty, int slot) {
  if (row < 0 || row >= kSaveCharacters || difficulty < 0 || difficulty > 4) return false;
  if (slot < FirstSpellSlot(difficulty) || slot > LastSpellSlot(difficulty)) return false;
  const int id = GetSpellCardId(difficulty, slot);
  return id >= 0 && id < kSaveCards && save.cardSeen[row][id] != 0;
}

namespace {

int TextWidth(const std::string& text) { return GetStringWidthDefaultFont(text.c_str(), 1 << 20, 0); }

// `line` and then `name`, as much of it as the `width` pixels hold: all of it, or its
// first characters and "..."; `line` alone when not one character fits.
std::string WithNameThatFits(const std::string& line, const std::string& name, int width) {
  if (TextWidth(line + "  " + name) <= width) return line + "  " + name;
  std::string cut = name;
  while (!cut.empty()) {
    // One character off the end: its UTF-8 continuation bytes, then its lead byte.
    while (!cut.empty() && (static_cast<uint8_t>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
    if (!cut.empty()) cut.pop_back();
    if (!cut.empty() && TextWidth(line + "  " + cut + "...") <= width) return line + "  " + cut + "...";
  }
  return line;
}

}  // namespace

std::string ReplayMenuLine(int slot, ReplaySlotState state, const ReplayHeader& header, bool narrow, int width) {
  const std::string line = ReplayListLine(slot, state, header, narrow);
  if (state != ReplaySlotState::Valid || !IsCardPracticeScene(header.scene)) return line;
  const int cardSlot = CardSlotOfScene(header.scene);
  const bool seen = SpellSlotUsable(g_save, CharacterRow(header.character), header.difficulty, cardSlot);
  return WithNameThatFits(line, seen ? CardName(GetSpellCardId(header.difficulty, cardSlot)) : kUnknownCardName, width);
}

int& ConfigKey(KeyConfig& keys, int which) {
  switch (which) {
    case 0: return keys.shot;
    case 1: return keys.bomb;
    case 2: return keys.slow;
    case 3: return keys.skip;
    default: return keys.pause;
  }
}

bool AssignKey(KeyConfig& keys, int which, int code) {
  if (which < 0 || which > 4 || IsReservedKey(code)) return false;
  int& target = ConfigKey(keys, which);
  for (int other = 0; other < 5; ++other) {
    int& key = ConfigKey(keys, other);
    if (other != which && key == code) key = target;
  }
  target = code;
  return true;
}

int ScoreRank(const HighScoreEntry table[kHighScoreRanks], int score) {
  for (int rank = 0; rank < kHighScoreRanks; ++rank)
    if (score > table[rank].score) return rank;
  return kHighScoreRanks;
}

void InsertHighScore(HighScoreEntry table[kHighScoreRanks], int rank, const HighScoreEntry& entry) {
  if (rank < 0 || rank >= kHighScoreRanks) return;
  for (int k = kHighScoreRanks - 1; k > rank; --k) table[k] = table[k - 1];
  table[rank] = entry;
}

char NameCharOfKey(int code, bool shift) {
  static const char kRowQ[] = "QWERTYUIOP";   // 16..25
  static const char kRowA[] = "ASDFGHJKL";    // 30..38
  static const char kRowZ[] = "ZXCVBNM";      // 44..50
  if (code >= 16 && code <= 25) return kRowQ[code - 16];
  if (code >= 30 && code <= 38) return kRowA[code - 30];
  if (code >= 44 && code <= 50) return kRowZ[code - 44];
  if (code == 57) return ' ';
  if (shift) {  // the keyboard's shifted marks: of these the entry holds only two
    if (code == 2) return '!';
    if (code == 53) return '?';  // the slash key
    return 0;
  }
  if (code >= 2 && code <= 10) return static_cast<char>('1' + code - 2);
  if (code == 11) return '0';
  if (code == 52) return '.';
  if (code == 12) return '-';
  return 0;
}
