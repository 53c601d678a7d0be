#pragma once
// Replay files "./Replay/vlm_NN.rip" (NN 01..25): a 512-byte header and the
// recording as (input byte, repeat count) pairs. A file that is malformed in any way
// is refused whole: it shows as "-- broken --" and nothing is loaded from it.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "game/play/replay_memory.h"

constexpr int kReplaySlots = 25;
constexpr int kReplayHeaderSize = 512;
constexpr const char* kReplayDirectory = "./Replay";

struct ReplayHeader {
  int scene;        // play scene at the start: 1, 8, 11-16, 200-299
  int difficulty;   // 0..4
  int character;    // 0 or 7
  uint32_t startCounter;  // NextRandom's counter at the start
  int finalScore;
  int stepCount;    // the sum of the repeat counts
  int pairCount;
  int lastScene;    // the last play scene, mod 1000
  char date[21];    // "YYYY/MM/DD HH:MM"
  char name[13];    // up to 8 printable ASCII characters
};

// `ReplayData`: the header and the pair buffer it plays from.
struct ReplayData {
  ReplayHeader header;
  ReplayPair* pairs;
  int capacity;
};

// "./Replay/vlm_NN.rip" for slot 1..25 (in `directory`).
std::string ReplayFilePath(int slot, const char* directory = kReplayDirectory);
// Writes the header's date from a time stamp, in local time.
void SetReplayDate(ReplayHeader* header, std::time_t when);

// The file image of a recording; pairCount and stepCount are taken from the pairs.
std::string EncodeReplay(const ReplayHeader& header, const ReplayPair* pairs, int pairCount);
// Checks a file image; on success fills the header and, when `pairs` is given,
// copies the pairs into it (at most `capacity`). On any fault nothing is written.
bool DecodeReplay(const uint8_t* bytes, size_t size, ReplayHeader* header, ReplayPair* pairs,
                  int capacity);

// Saves through a temporary file and rename, making the file's folder (0755) when
// missing. Refuses (false) a recording with a repeat count of 0 or too many pairs.
bool SaveReplayFile(const std::string& path, const ReplayHeader& header, const ReplayPair* pairs,
                    int pairCount);
bool LoadReplayFile(const std::string& path, ReplayData* replay);
// Removes "vlm_NN.rip.tmp" (NN 01..25) from `directory`: what a write killed before its
// rename leaves. Only plain files of those names go; anything else stays.
void RemoveReplayLeftovers(const char* directory = kReplayDirectory);

enum class ReplaySlotState { Empty, Broken, Valid };
// What the replay list shows for a file; `header` is filled for a valid one.
ReplaySlotState InspectReplayFile(const std::string& path, ReplayHeader* header);
// The list line: "No.NN name date character difficulty kind", "No.NN -- empty --" or
// "No.NN -- broken --". The kind is "Game", "Stage N" or the card's "No.id"; an Extra
// play has none. A narrow line (for lists inside the play field) gives the date as
// "MM/DD" and does not pad the name.
std::string ReplayListLine(int slot, ReplaySlotState state, const ReplayHeader& header, bool narrow = false);
