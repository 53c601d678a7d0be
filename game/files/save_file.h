#pragma once
// The save file "central.dat": settings, keys, progress, card history, high scores
// and clear flags, 8160 bytes with the body scrambled and checked. Loading never
// fails visibly: a refused file falls back to the backup "central.dat.bak", then to
// the defaults (keeping a valid window word); a refused file is kept aside before
// anything writes over it; writing goes through a temporary file so the old file
// survives a failure.
#include <cstddef>
#include <cstdint>
#include <string>

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
// The window width to open with on a display whose usable part is `displayWidth` x
// `displayHeight`: the saved `width` when its window fits, else the largest listed one
// that fits, 640 when none does; full screen (0) as it is.
int WindowWidthThatFits(int width, int displayWidth, int displayHeight);
// Refused as configurable keys: arrows, Enter and F4 (and anything outside 1..255).
bool IsReservedKey(int code);

// The file image of `data`.
void EncodeSaveData(const SaveData& data, uint8_t out[kSaveFileSize]);
// Decodes a file image; on any fault `data` gets the defaults, keeping the file's
// window word when the image has at least 4 bytes and the word is valid, the result
// is false and `why` (when given) names the check that failed. An unknown window word
// is no fault: the rest loads with the default window.
bool DecodeSaveData(const uint8_t* bytes, size_t size, SaveData* data, const char** why = nullptr);

// What a load met that the player is told of: a copy that was there and was refused
// for what it holds, or that held a whole record with bytes after it.
enum class SaveDamage {
  kNone,
  kGoodRecordLoaded,  // the newest good record was loaded: the backup, or the head of a long file
  kDefaultsLoaded,    // no good record anywhere: the defaults
};

// Reads `path` into `data` as DecodeSaveData does; a longer file whose first 8160
// bytes pass every check gives that record. When `path` is refused (or missing),
// `path` + ".bak" is tried the same way, and only when both fail are the defaults used
// (false). A line saying which check refused which file is added to `report`: the load
// runs before the log exists. `damage` (when given) says what the player is told.
bool LoadSaveData(SaveData* data, const char* path = kSaveFileName, std::string* report = nullptr,
                  SaveDamage* damage = nullptr);
// Keeps aside each copy of the save (`path` and `path` + ".bak") that is there and is
// refused for what it holds, as "<copy>.damaged", else the first free of
// "<copy>.damaged.2" .. ".9" (the ninth replaced once all are taken), so a later
// damage never replaces an earlier one. A copy kept already, byte for byte, is not
// kept again. False, with a log line, when a copy could not be kept; LastWriteError()
// then gives the cause of the first copy that could not.
bool KeepDamagedSaves(const char* path = kSaveFileName);
// Keeps the damaged copies aside (KeepDamagedSaves), copies a good existing `path` to
// `path` + ".bak", then writes `path` + ".tmp" whole, flushes, syncs, closes and
// renames it over `path` (each copy its own such write). On failure: one log line, the
// temporary file removed, the old files untouched; nothing is written when a damaged
// copy could not be kept.
bool StoreSaveData(const SaveData& data, const char* path = kSaveFileName);

// Writes `size` bytes to `path` through `path` + ".tmp" as StoreSaveData does; the
// replay files use it too. `what` names the file in the log line.
bool WriteFileAtomically(const char* path, const void* bytes, size_t size, const char* what);
// The error number of the last failed write (0 after one that succeeded).
int LastWriteError();
void SetLastWriteError(int error);
// A failed write's error as the player is told it, in words to act on: "no space",
// "no permission", "folder missing", else the system's text; null for 0.
const char* WriteErrorWord(int error);
