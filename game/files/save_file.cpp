#include "game/files/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/log.h"

namespace {

constexpr int kBodyOffset = 16;
constexpr uint32_t kScrambleSeed = 0x56C4E12Du;
const char kMagic[4] = {'V', 'L', 'M', 'S'};
constexpr int kVersion = 1;

// Fields of the body in file order; offsets are those of the file.
constexpr int kMusicVolumeAt = 16, kSoundVolumeAt = 20, kKeysAt = 24, kProgressAt = 44,
              kHistoryAt = 84, kSeenAt = 1988, kScoresAt = 2940, kClearAt = 6140;
constexpr int kScoreRecordSize = 32, kNameBytes = 12;
static_assert(kClearAt + 4 * kSaveCharacters * kSaveDifficulties + 1980 == kSaveFileSize);

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
int32_t Get32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// XOR with the key stream; its own inverse.
void Scramble(uint8_t* body, size_t size) {
  uint32_t s = kScrambleSeed;
  for (size_t i = 0; i < size; ++i) {
    s = s * 1664525u + 1013904223u;
    body[i] ^= uint8_t(s >> 24);
  }
}

uint32_t BodyCheck(const uint8_t* image) {
  return uint32_t(crc32(0L, image + kBodyOffset, kSaveFileSize - kBodyOffset));
}

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

const uint8_t* ScoreRecord(const uint8_t* image, int c, int d, int rank) {
  return image + kScoresAt + ((c * kSaveDifficulties + d) * kHighScoreRanks + rank) * kScoreRecordSize;
}

// Reads the plain image into `out`, checking every range as it goes; the check that
// failed, or null.
const char* ReadFields(const uint8_t* img, SaveData* out) {
  out->musicVolume = Get32(img + kMusicVolumeAt);
  out->soundVolume = Get32(img + kSoundVolumeAt);
  if (!InRange(out->musicVolume, 0, 100) || !InRange(out->soundVolume, 0, 100)) return "volume out of range";
  int* keys[5] = {&out->keys.shot, &out->keys.bomb, &out->keys.slow, &out->keys.skip, &out->keys.pause};
  for (int i = 0; i < 5; ++i) {
    *keys[i] = Get32(img + kKeysAt + 4 * i);
    if (IsReservedKey(*keys[i])) return "key code refused";
    for (int j = 0; j < i; ++j)
      if (*keys[j] == *keys[i]) return "key code used twice";
  }
  for (int c = 0; c < kSaveCharacters; ++c) {
    for (int d = 0; d < kSaveDifficulties; ++d) {
      int& p = out->stageProgress[c][d];
      p = Get32(img + kProgressAt + 4 * (c * kSaveDifficulties + d));
      int& f = out->clearFlags[c][d];
      f = Get32(img + kClearAt + 4 * (c * kSaveDifficulties + d));
      if (!InRange(p, 0, 6) || !InRange(f, 0, 1)) return "progress or clear flag out of range";
      for (int r = 0; r < kHighScoreRanks; ++r) {
        const uint8_t* rec = ScoreRecord(img, c, d, r);
        HighScoreEntry& e = out->highScores[c][d][r];
        e.score = Get32(rec), e.stage = Get32(rec + 4), e.date = Get32(rec + 8), e.flags = Get32(rec + 12);
        if (!InRange(e.score, 0, 999999999) || !InRange(e.stage, 0, 9)) return "high score out of range";
        for (int k = 0; k < kNameBytes; ++k) {
          uint8_t b = rec[16 + k];
          if (b != 0 && !InRange(b, 32, 126)) return "high score name not printable";
          e.name[k] = char(b);
        }
        e.name[kNameBytes] = 0;
      }
    }
    for (int id = 0; id < kSaveCards; ++id) {
      CardHistoryEntry& h = out->cardHistory[c][id];
      h.attempts = Get32(img + kHistoryAt + 8 * (c * kSaveCards + id));
      h.captures = Get32(img + kHistoryAt + 8 * (c * kSaveCards + id) + 4);
      int& seen = out->cardSeen[c][id];
      seen = Get32(img + kSeenAt + 4 * (c * kSaveCards + id));
      if (!InRange(h.attempts, 0, 999) || !InRange(h.captures, 0, h.attempts) || !InRange(seen, 0, 1))
        return "card history out of range";
    }
  }
  return nullptr;
}

// The whole file, one byte more than a good file holds telling a long file from a
// good one; false when it cannot be opened.
bool ReadSaveImage(const char* path, std::vector<uint8_t>* bytes) {
  FILE* f = OpenRegularFile(path);
  if (!f) return false;
  bytes->resize(kSaveFileSize + 1);
  bytes->resize(std::fread(bytes->data(), 1, bytes->size(), f));
  std::fclose(f);
  return true;
}

// What one copy of the save holds.
enum class CopyState {
  kGood,
  kRecordWithTail,  // a whole good record with bytes after it
  kDamaged,         // there and read, but refused
  kAbsent,          // missing, unreadable or not a regular file
};

// Loads the copy at `path` into `data` (defaults on a fault); `why` names the check
// that failed.
CopyState LoadCopy(const char* path, SaveData* data, const char** why) {
  std::vector<uint8_t> bytes;
  if (!ReadSaveImage(path, &bytes)) {
    *why = errno != EINVAL ? "missing" : "not a regular file";
    DecodeSaveData(nullptr, 0, data);
    return CopyState::kAbsent;
  }
  if (DecodeSaveData(bytes.data(), bytes.size(), data, why)) return CopyState::kGood;
  // The format has no length field, but the record's own check covers all of it: a
  // record that passes every check is whole, whatever follows it.
  SaveData head;
  if (bytes.size() > size_t(kSaveFileSize) && DecodeSaveData(bytes.data(), kSaveFileSize, &head)) {
    *data = head;
    *why = "bytes after a whole record";
    return CopyState::kRecordWithTail;
  }
  return CopyState::kDamaged;
}

bool Loaded(CopyState state) { return state == CopyState::kGood || state == CopyState::kRecordWithTail; }

}  // namespace

bool IsValidWindowWidth(int width) { return width == 0 || width == 640 || width == 960 || width == 1280; }

int WindowWidthThatFits(int width, int displayWidth, int displayHeight) {
  if (width <= 0) return width;
  for (int listed : {1280, 960}) {
    if (listed <= width && listed <= displayWidth && listed * 3 / 4 <= displayHeight) return listed;
  }
  return 640;
}

bool IsReservedKey(int code) {
  return code < 1 || code > 255 || code == 200 || code == 203 || code == 205 || code == 208 ||
         code == 28 || code == 62;
}

void ResetSaveData(SaveData* data, int windowWidth) {
  std::memset(data, 0, sizeof *data);
  data->windowWidth = windowWidth;
  data->musicVolume = data->soundVolume = 80;
  data->keys = KeyConfig{44, 45, 42, 29, 1};  // Z, X, left Shift, left Ctrl, Esc
  for (auto& character : data->highScores)
    for (auto& table : character)
      for (int r = 0; r < kHighScoreRanks; ++r) {
        // 500,000 down to 50,000: a first Easy run that reaches the stage-1 boss makes the board.
        table[r].score = (10 - r) * 50000;
        table[r].stage = 1;
        std::strcpy(table[r].name, "NONAME");
      }
}

void EncodeSaveData(const SaveData& data, uint8_t out[kSaveFileSize]) {
  std::memset(out, 0, kSaveFileSize);
  Put32(out, uint32_t(data.windowWidth));
  std::memcpy(out + 4, kMagic, 4);
  Put32(out + 8, kVersion);
  Put32(out + kMusicVolumeAt, uint32_t(data.musicVolume));
  Put32(out + kSoundVolumeAt, uint32_t(data.soundVolume));
  const int keys[5] = {data.keys.shot, data.keys.bomb, data.keys.slow, data.keys.skip, data.keys.pause};
  for (int i = 0; i < 5; ++i) Put32(out + kKeysAt + 4 * i, uint32_t(keys[i]));
  for (int c = 0; c < kSaveCharacters; ++c) {
    for (int d = 0; d < kSaveDifficulties; ++d) {
      Put32(out + kProgressAt + 4 * (c * kSaveDifficulties + d), uint32_t(data.stageProgress[c][d]));
      Put32(out + kClearAt + 4 * (c * kSaveDifficulties + d), uint32_t(data.clearFlags[c][d]));
      for (int r = 0; r < kHighScoreRanks; ++r) {
        uint8_t* rec = const_cast<uint8_t*>(ScoreRecord(out, c, d, r));
        const HighScoreEntry& e = data.highScores[c][d][r];
        Put32(rec, uint32_t(e.score)), Put32(rec + 4, uint32_t(e.stage));
        Put32(rec + 8, uint32_t(e.date)), Put32(rec + 12, uint32_t(e.flags));
        // Up to 8 characters; the rest of the 12 bytes stays NUL.
        for (int k = 0; k < 8 && e.name[k]; ++k) rec[16 + k] = uint8_t(e.name[k]);
      }
    }
    for (int id = 0; id < kSaveCards; ++id) {
      Put32(out + kHistoryAt + 8 * (c * kSaveCards + id), uint32_t(data.cardHistory[c][id].attempts));
      Put32(out + kHistoryAt + 8 * (c * kSaveCards + id) + 4, uint32_t(data.cardHistory[c][id].captures));
      Put32(out + kSeenAt + 4 * (c * kSaveCards + id), uint32_t(data.cardSeen[c][id]));
    }
  }
  Put32(out + 12, BodyCheck(out));
  Scramble(out + kBodyOffset, kSaveFileSize - kBodyOffset);
}

bool DecodeSaveData(const uint8_t* bytes, size_t size, SaveData* data, const char** why) {
  // The window word is outside the check: an unknown value only means the default window.
  const int window = size >= 4 && IsValidWindowWidth(Get32(bytes)) ? Get32(bytes) : 640;
  const char* fault = nullptr;
  SaveData loaded;
  ResetSaveData(&loaded, window);
  if (size != size_t(kSaveFileSize)) {
    fault = "wrong size";
  } else if (std::memcmp(bytes + 4, kMagic, 4) != 0) {
    fault = "wrong magic";
  } else if (Get32(bytes + 8) != kVersion) {
    fault = "wrong version";
  } else {
    std::vector<uint8_t> plain(bytes, bytes + kSaveFileSize);
    Scramble(plain.data() + kBodyOffset, kSaveFileSize - kBodyOffset);
    fault = uint32_t(Get32(plain.data() + 12)) != BodyCheck(plain.data()) ? "check mismatch"
                                                                           : ReadFields(plain.data(), &loaded);
  }
  if (fault) ResetSaveData(&loaded, window);
  *data = loaded;
  if (why) *why = fault;
  return fault == nullptr;
}

bool LoadSaveData(SaveData* data, const char* path, std::string* report, SaveDamage* damage) {
  if (damage) *damage = SaveDamage::kNone;
  const char* why = nullptr;
  const CopyState main = LoadCopy(path, data, &why);
  if (main == CopyState::kGood) return true;
  if (main == CopyState::kRecordWithTail) {
    if (report) *report += std::string(path) + " has " + why + ": the record loaded\n";
    if (damage) *damage = SaveDamage::kGoodRecordLoaded;
    return true;
  }
  const std::string backup = std::string(path) + ".bak";
  SaveData fromBackup;
  const char* backupWhy = nullptr;
  const CopyState second = LoadCopy(backup.c_str(), &fromBackup, &backupWhy);
  if (Loaded(second)) *data = fromBackup;  // else the defaults with the main file's window word
  if (report && (main != CopyState::kAbsent || second != CopyState::kAbsent || std::strcmp(why, "missing") != 0))
    *report += std::string(path) + " refused (" + why + "): " + backup +
               (second == CopyState::kGood         ? std::string(" loaded\n")
                : second == CopyState::kAbsent || second == CopyState::kDamaged
                    ? std::string(" refused too (") + backupWhy + "), defaults used\n"
                    : std::string(" has ") + backupWhy + ": its record loaded\n");
  // Only a copy that was there and read is damage worth telling.
  if (damage && (main == CopyState::kDamaged || second == CopyState::kDamaged ||
                 second == CopyState::kRecordWithTail))
    *damage = Loaded(second) ? SaveDamage::kGoodRecordLoaded : SaveDamage::kDefaultsLoaded;
  return Loaded(second);
}

namespace {

int g_lastWriteError = 0;

constexpr int kKeptCopies = 9;  // "<copy>.damaged" and ".damaged.2" .. ".damaged.9": one digit
// A save file is 8160 bytes: the head of anything far larger is all it can hold.
constexpr size_t kKeptBytes = 1 << 20;

std::string KeptName(const std::string& copy, int n) {
  std::string name = copy + ".damaged";
  if (n > 1) name += '.', name += char('0' + n);
  return name;
}

// The first `limit` bytes of a regular file; false when there is none to read.
bool ReadHead(const std::string& path, size_t limit, std::vector<uint8_t>* bytes) {
  FILE* f = OpenRegularFile(path.c_str());
  if (!f) return false;
  bytes->resize(limit);
  bytes->resize(std::fread(bytes->data(), 1, bytes->size(), f));
  std::fclose(f);
  return true;
}

// Keeps `copy` aside when it is there and refused; true when there was nothing to keep
// or it is kept (now or before).
bool KeepIfDamaged(const std::string& copy) {
  SaveData scratch;
  const char* why = nullptr;
  const CopyState state = LoadCopy(copy.c_str(), &scratch, &why);
  std::vector<uint8_t> bytes;
  if (state == CopyState::kGood || state == CopyState::kAbsent || !ReadHead(copy, kKeptBytes, &bytes))
    return true;
  int vacant = 0;
  for (int n = 1; n <= kKeptCopies; ++n) {
    std::vector<uint8_t> kept;
    struct stat st;
    if (ReadHead(KeptName(copy, n), kKeptBytes, &kept)) {
      if (kept == bytes) return true;  // this very damage was kept before
    } else if (vacant == 0 && lstat(KeptName(copy, n).c_str(), &st) != 0 && errno == ENOENT) {
      vacant = n;
    }
  }
  const std::string kept = KeptName(copy, vacant != 0 ? vacant : kKeptCopies);
  if (!WriteFileAtomically(kept.c_str(), bytes.data(), bytes.size(), kept.c_str())) return false;
  WriteLogFormat("%s was refused (%s): kept as %s\n", copy.c_str(), why, kept.c_str());
  return true;
}

}  // namespace

bool KeepDamagedSaves(const char* path) {
  const bool main = KeepIfDamaged(path);
  const int mainError = g_lastWriteError;
  const bool backup = KeepIfDamaged(std::string(path) + ".bak");
  // The backup's keep, written after, must not hide why the main file's failed.
  if (!main) g_lastWriteError = mainError;
  return main && backup;
}

int LastWriteError() { return g_lastWriteError; }

void SetLastWriteError(int error) { g_lastWriteError = error; }

const char* WriteErrorWord(int error) {
  switch (error) {
    case 0: return nullptr;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return "no space";
    case EACCES:
    case EPERM:
    case EROFS: return "no permission";
    case ENOENT:
    case ENOTDIR: return "folder missing";
    default: return std::strerror(error);
  }
}

bool WriteFileAtomically(const char* path, const void* bytes, size_t size, const char* what) {
  std::string tmp = std::string(path) + ".tmp";
  // Only a file this write made is ever removed: a leftover regular file of a killed
  // write is replaced, anything else in the way (a folder, a link) is left alone.
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  struct stat st;
  if (fd < 0 && errno == EEXIST && lstat(tmp.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(tmp.c_str()) == 0)
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  const char* failed = nullptr;
  if (!f) {
    failed = "open";
  } else {
    if (std::fwrite(bytes, 1, size, f) != size)
      failed = "write";
    else if (std::fflush(f) != 0)
      failed = "flush";
    else if (fsync(fileno(f)) != 0)
      failed = "sync";
    if (std::fclose(f) != 0 && !failed) failed = "close";
    if (!failed && std::rename(tmp.c_str(), path) != 0) failed = "rename";
  }
  if (!failed) {
    g_lastWriteError = 0;
    return true;
  }
  int err = errno;
  g_lastWriteError = err;
  if (fd >= 0) unlink(tmp.c_str());
  if (fd >= 0 && !f) close(fd);
  WriteLogFormat("%s could not be written (%s of %s failed: %s)\n", what, failed, tmp.c_str(), std::strerror(err));
  return false;
}

// True when the file at `path` reads and decodes as a save file; its bytes in `bytes`.
static bool ReadsAsGoodSave(const char* path, std::vector<uint8_t>* bytes) {
  SaveData scratch;
  return ReadSaveImage(path, bytes) && DecodeSaveData(bytes->data(), bytes->size(), &scratch);
}

bool StoreSaveData(const SaveData& data, const char* path) {
  // A refused copy may hold what no other does: it is never written over unkept.
  if (!KeepDamagedSaves(path)) return false;
  uint8_t image[kSaveFileSize];
  EncodeSaveData(data, image);
  // The file about to be replaced becomes the backup first, each through its own
  // temporary file and rename, so a kill at any moment leaves a good file behind. A
  // refused file never pushes out the last good backup.
  const std::string backup = std::string(path) + ".bak";
  std::vector<uint8_t> previous;
  const bool keptPrevious = ReadsAsGoodSave(path, &previous);
  if (keptPrevious) WriteFileAtomically(backup.c_str(), previous.data(), previous.size(), backup.c_str());
  if (!WriteFileAtomically(path, image, sizeof image, path)) return false;
  // With nothing good to keep (the first save, or one over a refused file) and no good
  // backup either, the new data is its own backup, so one damaged file never loses it.
  if (!keptPrevious && !ReadsAsGoodSave(backup.c_str(), &previous))
    WriteFileAtomically(backup.c_str(), image, sizeof image, backup.c_str());
  return true;
}
