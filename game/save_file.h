#pragma once
// The save file "central.dat": settings, keys, progress, card history, high scores
// and clear flags, 8160 bytes with the body scrambled and checked. Loading never
// fails visibly: a bad or missing file gives the defaults (keeping a valid window
// word); writing goes through a temporary file so the old file survives a failure.
#include <cstddef>
#include <cstdint>

constexpr int kSaveFileSize = 8160;
constexpr const char* kSaveFileName = "central.dat";

// Key codes as the keyboard state reports them (F4 = 62).
struct KeyConfig {
  int shot, bomb, slow, skip, pause;
};

struct HighScoreEntry {
  int score;
  int stage;   // reached: 1-6, 7 all clear, 8 Extra, 9 Extra clear
  int date;    // YYYYMMDD
  int flags;   // bit 0: cleared
  char name[13];  // up to 8 printable ASCII characters, NUL-terminated
};

struct CardHistoryEntry {
  int attempts, captures;
};

constexpr int kSaveCharacters = 2, kSaveDifficulties = 5, kSaveCards = 119, kHighScoreRanks = 10;

struct SaveData {
  int windowWidth;  // 0 full screen, else 640, 960 or 1280
  int musicVolume, soundVolume;  // 0..100
  KeyConfig keys;
  int stageProgress[kSaveCharacters][kSaveDifficulties];
  CardHistoryEntry cardHistory[kSaveCharacters][kSaveCards];
  int cardSeen[kSaveCharacters][kSaveCards];
  HighScoreEntry highScores[kSaveCharacters][kSaveDifficulties][kHighScoreRanks];
  int clearFlags[kSaveCharacters][kSaveDifficulties];
};

// The defaults with the given window word.
void ResetSaveData(SaveData* data, int windowWidth = 640);
bool IsValidWindowWidth(int width);  // 0, 640, 960 or 1280
// Refused as configurable keys: arrows, Enter and F4 (and anything outside 1..255).
bool IsReservedKey(int code);

// The file image of `data`.
void EncodeSaveData(const SaveData& data, uint8_t out[kSaveFileSize]);
// Decodes a file image; on any fault `data` gets the defaults, keeping the file's
// window word when the image has at least 4 bytes and the word is valid, and the
// result is false.
bool DecodeSaveData(const uint8_t* bytes, size_t size, SaveData* data);

// Reads `path` into `data` as DecodeSaveData does (false on a missing file too).
bool LoadSaveData(SaveData* data, const char* path = kSaveFileName);
// Writes `path` + ".tmp" whole, flushes, syncs, closes and renames it over `path`.
// On failure: one log line, the temporary file removed, the old file untouched.
bool StoreSaveData(const SaveData& data, const char* path = kSaveFileName);

// Writes `size` bytes to `path` through `path` + ".tmp" as StoreSaveData does; the
// replay files use it too. `what` names the file in the log line.
bool WriteFileAtomically(const char* path, const void* bytes, size_t size, const char* what);
