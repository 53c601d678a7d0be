// The save block, the keys of this frame, volumes and music tracks, scripted input.
#include "game/scenes/game_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/play/play_effects.h"
#include "game/play/play_state.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/window.h"
#include "sound/music.h"
#include "sound/sound.h"

KeyFrame g_keyFrame;

namespace {
bool g_taken[256];  // held since a notice was put away with it
}  // namespace

void TakeKeySnapshot(const uint8_t keys[256]) {
  std::memcpy(g_keyFrame.before, g_keyFrame.now, 256);
  for (int code = 0; code < 256; ++code) {
    if (!(keys[code] & 0x80)) g_taken[code] = false;
    g_keyFrame.now[code] = g_taken[code] ? 0 : keys[code];
  }
}

void TakeHeldKeys() {
  for (int code = 0; code < 256; ++code) {
    if (!(g_keyFrame.now[code] & 0x80)) continue;
    g_taken[code] = true;
    g_keyFrame.now[code] = 0;
  }
}

bool KeyHeld(int code) { return code > 0 && code < 256 && (g_keyFrame.now[code] & 0x80); }

bool KeyFresh(int code) {
  return KeyHeld(code) && !(g_keyFrame.before[code] & 0x80);
}

bool AnyKeyFresh() {
  for (int code = 1; code < 256; ++code)
    if (KeyFresh(code)) return true;
  return false;
}

int LiveInputByte(const KeyConfig& keys, const uint8_t state[256]) {
  auto held = [&](int code) { return code > 0 && code < 256 && (state[code] & 0x80) != 0; };
  int byte = 0;
  if (held(keys.shot)) byte |= 1;
  if (held(keys.bomb)) byte |= 2;
  if (held(keys.slow)) byte |= 4;
  if (held(keys.skip)) byte |= 8;
  if (held(kKeyUp)) byte |= 16;
  if (held(kKeyDown)) byte |= 32;
  if (held(kKeyLeft)) byte |= 64;
  if (held(kKeyRight)) byte |= 128;
  return byte;
}

namespace {
int MusicVolume() { return 255 * g_save.musicVolume / 100; }
}  // namespace

int StartWindowWidth() {
  int width = 0, height = 0;
  if (g_save.windowWidth > 0 && GetDisplayUsableSize(&width, &height) == 0)
    return WindowWidthThatFits(g_save.windowWidth, width, height);
  return g_save.windowWidth;
}

void ApplyVolumes() {
  const int sound = 255 * g_save.soundVolume / 100;
  for (int slot = 0; slot < kSoundEffectCount; ++slot)
    if (SoundEffectTable[slot] != -1) SetSoundHandleVolume(sound, SoundEffectTable[slot]);
  SetMusicVolume(MusicVolume());
}

// Every track is a new sound, made at full volume: the setting goes onto it in the same
// call that starts it.
int GameMusicPlayFile(const char* path) {
  const int result = PlayMusicFile(path, kPlayLoop);
  if (result == 0) SetMusicVolume(MusicVolume());
  return result;
}

void PlayTrack(int index) {
  if (g_currentMusic == index) return;
  PlayMusicByTitle(MusicTitleTable[index]);
}

namespace {

struct ScriptedPress {
  int first, count, code;
};
std::vector<ScriptedPress> g_scripted;

}  // namespace

void LoadScriptedInput() {
  g_scripted.clear();
  const char* path = std::getenv("DANMAKU_INPUT_SCRIPT");
  if (path == nullptr) return;
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    WriteLogFormat("Scripted input: cannot open %s\n", path);
    return;
  }
  char line[512];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (line[0] == '#') continue;
    char* cursor = line;
    char* end = nullptr;
    const long first = std::strtol(cursor, &end, 10);
    if (end == cursor) continue;
    cursor = end;
    const long count = std::strtol(cursor, &end, 10);
    if (end == cursor) continue;
    cursor = end;
    for (;;) {
      const long code = std::strtol(cursor, &end, 10);
      if (end == cursor) break;
      cursor = end;
      if (code > 0 && code < 256 && count > 0)
        g_scripted.push_back({static_cast<int>(first), static_cast<int>(count), static_cast<int>(code)});
    }
  }
  std::fclose(file);
}

void MergeScriptedInput(int pass, uint8_t keys[256]) {
  for (const ScriptedPress& press : g_scripted)
    if (pass >= press.first && pass < press.first + press.count) keys[press.code] = 0x80;
}
