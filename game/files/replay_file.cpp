#include "game/files/replay_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game/files/save_file.h"
#include "game/play/play_codes.h"
#include "platform/file.h"
#include "platform/log.h"

namespace {

const char kMagic[4] = {'V', 'L', 'M', 'R'};
constexpr int kVersion = 1;
constexpr int kCheckFrom = 16;
constexpr int kDateAt = 48, kDateBytes = 20, kNameAt = 68, kNameBytes = 12;

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A spell-practice scene 200 + slot exists on its difficulty: slot 0 on Hard and
// Lunatic, slots 1..25 on Easy to Lunatic, Extra slots 0..16 on Extra.
bool CardSlotExists(int slot, int difficulty) {
  if (difficulty == 4) return slot >= 0 && slot <= 16;
  if (slot == 0) return difficulty == 2 || difficulty == 3;
  return slot >= 1 && slot <= 25;
}

bool ValidStart(int scene, int difficulty, int character) {
  if (difficulty < 0 || difficulty > 4 || (character != kCharacterA && character != kCharacterB)) return false;
  if (scene == kSceneFirstStage || scene == kSceneExtraStage) return true;
  if (scene >= StagePracticeScene(kSceneFirstStage) && scene <= StagePracticeScene(kSceneLastStage))
    return true;
  return scene >= CardPracticeScene(0) && scene <= CardPracticeScene(99) &&
         CardSlotExists(scene - kSceneCardPracticeBase, difficulty);
}

// Copies a NUL-padded text field up to its first NUL; bytes that cannot be shown
// become '?'.
void CopyText(char* out, const uint8_t* field, int bytes) {
  int n = 0;
  for (; n < bytes && field[n]; ++n) out[n] = field[n] >= 32 && field[n] <= 126 ? char(field[n]) : '?';
  out[n] = 0;
}

}  // namespace

std::string ReplayFilePath(int slot, const char* directory) {
  char name[32];
  std::snprintf(name, sizeof name, "/vlm_%02d.rip", slot);
  return directory + std::string(name);
}

void SetReplayDate(ReplayHeader* header, std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", (local.tm_year + 1900) % 10000, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min);
  std::snprintf(header->date, sizeof header->date, "%.20s", text);
}

std::string EncodeReplay(const ReplayHeader& h, const ReplayPair* pairs, int pairCount) {
  std::string out(size_t(kReplayHeaderSize) + 2 * size_t(pairCount), '\0');
  uint8_t* p = reinterpret_cast<uint8_t*>(out.data());
  uint32_t steps = 0;
  for (int i = 0; i < pairCount; ++i) {
    p[kReplayHeaderSize + 2 * i] = pairs[i].input;
    p[kReplayHeaderSize + 2 * i + 1] = pairs[i].count;
    steps += pairs[i].count;
  }
  std::memcpy(p, kMagic, 4);
  Put32(p + 4, kVersion);
  Put32(p + 8, kReplayHeaderSize);
  Put32(p + 16, uint32_t(h.scene));
  Put32(p + 20, uint32_t(h.difficulty));
  Put32(p + 24, uint32_t(h.character));
  Put32(p + 28, h.startCounter);
  Put32(p + 32, uint32_t(h.finalScore));
  Put32(p + 36, steps);
  Put32(p + 40, uint32_t(pairCount));
  Put32(p + 44, uint32_t(h.lastScene));
  std::memcpy(p + kDateAt, h.date, strnlen(h.date, kDateBytes));
  for (int k = 0; k < 8 && h.name[k]; ++k) p[kNameAt + k] = uint8_t(h.name[k]);
  Put32(p + 12, uint32_t(crc32(0L, p + kCheckFrom, uInt(out.size() - kCheckFrom))));
  return out;
}

bool DecodeReplay(const uint8_t* bytes, size_t size, ReplayHeader* header, ReplayPair* pairs,
                  int capacity) {
  if (size < size_t(kReplayHeaderSize) || std::memcmp(bytes, kMagic, 4) != 0 || Get32(bytes + 4) != kVersion ||
      Get32(bytes + 8) != kReplayHeaderSize)
    return false;
  uint32_t pairCount = Get32(bytes + 40);
  if (pairCount > uint32_t(kReplayPairCapacity) || pairCount > uint32_t(capacity) ||
      size != size_t(kReplayHeaderSize) + 2 * size_t(pairCount))
    return false;
  if (Get32(bytes + 12) != uint32_t(crc32(0L, bytes + kCheckFrom, uInt(size - kCheckFrom)))) return false;
  ReplayHeader h{};
  h.scene = int(Get32(bytes + 16));
  h.difficulty = int(Get32(bytes + 20));
  h.character = int(Get32(bytes + 24));
  if (!ValidStart(h.scene, h.difficulty, h.character)) return false;
  const uint8_t* body = bytes + kReplayHeaderSize;
  uint64_t steps = 0;
  for (uint32_t i = 0; i < pairCount; ++i) {
    if (body[2 * i + 1] == 0) return false;
    steps += body[2 * i + 1];
  }
  if (steps != Get32(bytes + 36)) return false;
  h.startCounter = Get32(bytes + 28);
  h.finalScore = int(Get32(bytes + 32));
  h.stepCount = int(steps);
  h.pairCount = int(pairCount);
  h.lastScene = int(Get32(bytes + 44));
  CopyText(h.date, bytes + kDateAt, kDateBytes);
  CopyText(h.name, bytes + kNameAt, 8);
  if (pairs)
    for (uint32_t i = 0; i < pairCount; ++i) pairs[i] = ReplayPair{body[2 * i], body[2 * i + 1]};
  *header = h;
  return true;
}

bool SaveReplayFile(const std::string& path, const ReplayHeader& header, const ReplayPair* pairs,
                    int pairCount) {
  SetLastWriteError(0);
  if (pairCount < 0 || pairCount > kReplayPairCapacity) return false;
  for (int i = 0; i < pairCount; ++i)
    if (pairs[i].count == 0) return false;
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    const std::string folder = path.substr(0, slash);
    // A folder that cannot be made says why (a full disk, no permission), not that the
    // file's folder is missing.
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
      const int err = errno;
      WriteLogFormat("%s could not be written (the folder %s could not be made: %s)\n", path.c_str(),
                     folder.c_str(), std::strerror(err));
      SetLastWriteError(err);
      return false;
    }
  }
  std::string image = EncodeReplay(header, pairs, pairCount);
  return WriteFileAtomically(path.c_str(), image.data(), image.size(), path.c_str());
}

namespace {
// The whole file; false when it is missing, not a plain file or larger than any
// good replay.
bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes, bool* missing) {
  FILE* f = OpenRegularFile(path.c_str());
  *missing = !f && errno != EINVAL;  // a folder or a FIFO in its place is a broken slot
  if (!f) return false;
  const long limit = long(kReplayHeaderSize) + 2L * kReplayPairCapacity;
  struct stat st;
  bool fits = fstat(fileno(f), &st) == 0 && st.st_size <= limit;
  if (fits) {
    // One byte more than the file holds tells a file that grew while read.
    bytes->resize(size_t(st.st_size) + 1);
    bytes->resize(std::fread(bytes->data(), 1, bytes->size(), f));
    fits = bytes->size() <= size_t(st.st_size);
  }
  std::fclose(f);
  return fits;
}
}  // namespace

bool LoadReplayFile(const std::string& path, ReplayData* replay) {
  std::vector<uint8_t> bytes;
  bool missing;
  return ReadWhole(path, &bytes, &missing) &&
         DecodeReplay(bytes.data(), bytes.size(), &replay->header, replay->pairs, replay->capacity);
}

void RemoveReplayLeftovers(const char* directory) {
  for (int slot = 1; slot <= kReplaySlots; ++slot) {
    const std::string leftover = ReplayFilePath(slot, directory) + ".tmp";
    struct stat st;
    if (lstat(leftover.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (unlink(leftover.c_str()) == 0)
      WriteLogFormat("%s removed: the rest of a replay write that did not finish\n", leftover.c_str());
    else
      WriteLogFormat("%s could not be removed: %s\n", leftover.c_str(), std::strerror(errno));
  }
}

ReplaySlotState InspectReplayFile(const std::string& path, ReplayHeader* header) {
  std::vector<uint8_t> bytes;
  bool missing;
  bool read = ReadWhole(path, &bytes, &missing);
  if (missing) return ReplaySlotState::Empty;
  return read && DecodeReplay(bytes.data(), bytes.size(), header, nullptr, kReplayPairCapacity)
             ? ReplaySlotState::Valid
             : ReplaySlotState::Broken;
}

std::string ReplayListLine(int slot, ReplaySlotState state, const ReplayHeader& h, bool narrow) {
  char line[128];
  if (state != ReplaySlotState::Valid) {
    std::snprintf(line, sizeof line, "No.%02d %s", slot,
                  state == ReplaySlotState::Empty ? "-- empty --" : "-- broken --");
    return line;
  }
  static const char* const kDifficulty[5] = {"Easy", "Normal", "Hard", "Lunatic", "Extra"};
  // The play as the menus that start it name it: a stage as the practice list does, a
  // card by the number the spell practice list gives it. The Extra stage is named by
  // its difficulty alone.
  char kind[32] = "";
  if (h.scene == kSceneFirstStage)
    std::snprintf(kind, sizeof kind, " Game");
  else if (IsCardPracticeScene(h.scene))
    std::snprintf(kind, sizeof kind, " No.%03d", GetSpellCardId(h.difficulty, CardSlotOfScene(h.scene)));
  else if (h.scene != kSceneExtraStage)
    std::snprintf(kind, sizeof kind, " Stage %d", h.scene - kSceneStagePracticeBase);
  std::string date = h.date;
  if (narrow && date.size() > 5) date = date.substr(5, 5);
  std::snprintf(line, sizeof line, narrow ? "No.%02d %s %s %s %s%s" : "No.%02d %-8s %s %s %s%s", slot, h.name,
                date.c_str(), h.character == kCharacterA ? "A" : "B", kDifficulty[h.difficulty], kind);
  return line;
}
