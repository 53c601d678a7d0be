#include "tests/game/files_fuzz_check.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/files/replay_file.h"
#include "game/files/save_file.h"
#include "tests/game/file_images.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

bool Printable(const char* text, size_t bytes) {
  size_t n = strnlen(text, bytes);
  if (n == bytes) return false;  // not terminated
  for (size_t i = 0; i < n; ++i)
    if (text[i] < 32 || text[i] > 126) return false;
  return true;
}

// Whatever came in, what the game gets must be in range.
void CheckSave(const SaveData& s) {
  Require(IsValidWindowWidth(s.windowWidth));
  Require(s.musicVolume >= 0 && s.musicVolume <= 100 && s.soundVolume >= 0 && s.soundVolume <= 100);
  const int keys[5] = {s.keys.shot, s.keys.bomb, s.keys.slow, s.keys.skip, s.keys.pause};
  for (int i = 0; i < 5; ++i) {
    Require(!IsReservedKey(keys[i]));
    for (int j = 0; j < i; ++j) Require(keys[i] != keys[j]);
  }
  for (int c = 0; c < 2; ++c) {
    for (int d = 0; d < 5; ++d) {
      Require(s.stageProgress[c][d] >= 0 && s.stageProgress[c][d] <= 6);
      Require(s.clearFlags[c][d] == 0 || s.clearFlags[c][d] == 1);
      for (const HighScoreEntry& e : s.highScores[c][d]) {
        Require(e.score >= 0 && e.score <= 999999999 && e.stage >= 0 && e.stage <= 9);
        Require(Printable(e.name, sizeof e.name));
      }
    }
    for (int id = 0; id < 119; ++id) {
      const CardHistoryEntry& h = s.cardHistory[c][id];
      Require(h.attempts >= 0 && h.attempts <= 999 && h.captures >= 0 && h.captures <= h.attempts);
      Require(s.cardSeen[c][id] == 0 || s.cardSeen[c][id] == 1);
    }
  }
}

void CheckReplay(const uint8_t* bytes, size_t size) {
  static std::vector<ReplayPair> pairs(kReplayPairCapacity);
  ReplayHeader h;
  if (!DecodeReplay(bytes, size, &h, pairs.data(), kReplayPairCapacity)) return;
  Require(size == 512 + 2 * size_t(h.pairCount));
  Require(h.difficulty >= 0 && h.difficulty <= 4 && (h.character == 0 || h.character == 7));
  Require(h.scene == 1 || h.scene == 8 || (h.scene >= 11 && h.scene <= 16) || (h.scene >= 200 && h.scene <= 299));
  long steps = 0;
  for (int i = 0; i < h.pairCount; ++i) {
    Require(pairs[i].count > 0);
    steps += pairs[i].count;
  }
  Require(steps == h.stepCount);
  Require(Printable(h.name, sizeof h.name) && Printable(h.date, sizeof h.date));
  Require(!ReplayListLine(1, ReplaySlotState::Valid, h).empty());
}

// Overwrites `image` at an offset taken from the first two input bytes.
void Patch(std::string& image, const uint8_t* data, size_t size) {
  if (size < 2 || image.empty()) return;
  size_t at = (data[0] | data[1] << 8) % image.size();
  size_t n = std::min(size - 2, image.size() - at);
  std::memcpy(image.data() + at, data + 2, n);
}

}  // namespace

void FuzzFileLoaders(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const int mode = data[0] % 4;
  ++data, --size;
  SaveData save;
  std::string image;
  switch (mode) {
    case 0:  // the bytes as a file, both ways
      DecodeSaveData(data, size, &save);
      CheckSave(save);
      CheckReplay(data, size);
      return;
    case 1: {  // a good save file changed in its plain body, then re-signed
      SaveData base;
      ResetSaveData(&base, 960);
      image.assign(kSaveFileSize, '\0');
      EncodeSaveData(base, reinterpret_cast<uint8_t*>(image.data()));
      image = XorSaveKeyStream(image);  // mutations reach past the check
      Patch(image, data, size);
      image = XorSaveKeyStream(SignedImage(image));
      DecodeSaveData(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &save);
      CheckSave(save);
      return;
    }
    case 2: {  // a good replay changed anywhere, then re-signed
      ReplayHeader h{};
      h.scene = 14, h.difficulty = 1, h.character = 0;
      std::vector<ReplayPair> pairs(64);
      for (int i = 0; i < 64; ++i) pairs[i] = ReplayPair{uint8_t(i * 37), uint8_t(1 + i * 3)};
      image = EncodeReplay(h, pairs.data(), 64);
      Patch(image, data, size);
      image = SignedImage(image);
      CheckReplay(reinterpret_cast<const uint8_t*>(image.data()), image.size());
      return;
    }
    default:  // the bytes as a replay with a correct check
      image.assign(reinterpret_cast<const char*>(data), size);
      image = SignedImage(image);
      CheckReplay(reinterpret_cast<const uint8_t*>(image.data()), image.size());
      return;
  }
}
