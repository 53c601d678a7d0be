#pragma once
// Text menus and the rules the menus follow: which items are usable (Extra, practice
// stages, spell cards), the key configuration and the ranking.
#include <string>

#include "game/files/replay_file.h"
#include "game/files/save_file.h"

// ---------------------------------------------------------------- the menu widget
struct MenuCursor {
  int index = 0;
  int held = 0;  // passes the current direction has been held, for the key repeat
};
enum class MenuAction { None, Confirm, Cancel };
// Up and down move (wrapping) with a repeat after 20 passes every 5; confirm is the shot
// key or Enter, cancel the bomb key or Esc; sound effects 16, 17 and 18.
MenuAction StepMenu(MenuCursor& cursor, int count);
// Left and right as -1, 0 or +1, with the same repeat (`held` is the caller's counter).
int StepLeftRight(int& held);
// One menu line in the default font: chosen white, others grey, unusable dark grey.
void DrawMenuLine(int x, int y, const char* text, bool chosen, bool usable = true);
// A heading (a warning shows red); lines and headings get a dark backing.
void DrawMenuTitle(int x, int y, const char* text, bool warning = false);

// ---------------------------------------------------------------- unlock rules
// Extra Start: character row 0 or 1 has cleared Normal or harder.
bool ExtraUnlocked(const SaveData& save, int row);
bool AnyExtraUnlocked(const SaveData& save);
// Stage practice of stage 1..6 on a difficulty (0..3): progress reached it.
bool PracticeStageUsable(const SaveData& save, int row, int difficulty, int stage);
// Spell practice lists Extra once any Extra card (102..118) has been seen.
bool SpellPracticeExtraListed(const SaveData& save);
// The card-list slots of a difficulty: Extra 0..16, Hard and Lunatic 0..25, Easy and
// Normal 1..25.
int FirstSpellSlot(int difficulty);
int LastSpellSlot(int difficulty);
// Only a seen card starts.
bool SpellSlotUsable(const SaveData& save, int row, int difficulty, int slot);

// The replay list's line of a slot (ReplayListLine) for a list `width` pixels wide: a
// spell-card practice gets its card's name after its number, as the spell practice
// list shows it, as far as the line has room ("..." where it is cut).
std::string ReplayMenuLine(int slot, ReplaySlotState state, const ReplayHeader& header, bool narrow, int width);

// ---------------------------------------------------------------- keys and ranking
// Which of the five keys: 0 shot, 1 bomb, 2 slow, 3 skip, 4 pause.
int& ConfigKey(KeyConfig& keys, int which);
// Assigns `code` to key `which`: arrows, Enter and F4 (and anything outside 1..255)
// are refused (false); a code already used by another key swaps with it.
bool AssignKey(KeyConfig& keys, int which, int code);
// The rank (0..9) a score takes in a table, or 10 when it does not beat the 10th.
int ScoreRank(const HighScoreEntry table[kHighScoreRanks], int score);
// Puts `entry` at `rank`, shifting the rest down (the last falls off).
void InsertHighScore(HighScoreEntry table[kHighScoreRanks], int rank, const HighScoreEntry& entry);

// The DirectInput key code's character for name entry (A-Z, 0-9, space, '.', '-',
// and with Shift '!' and '?'), or 0: a shifted key whose character the entry does not
// hold gives 0 rather than its unshifted one.
char NameCharOfKey(int code, bool shift = false);
