// The loading screen.
#include "game/scenes/loading.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "font/default_font.h"
#include "game/draw/game_images.h"
#include "game/play/play_effects.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "graphics/draw.h"
#include "graphics/screen.h"
#include "platform/input.h"
#include "platform/library.h"
#include "platform/log.h"
#include "platform/pacer.h"
#include "sound/sound.h"

namespace {

constexpr int kEffectFrames = kSoundEffectCount;           // 0..19
constexpr int kImageFirstFrame = kEffectFrames;            // 20..89
constexpr int kMusicFrame = kImageFirstFrame + kImageFileCount;  // 90
constexpr int kWarmUpFrame = kMusicFrame + 1;              // 91

void LoadEffect(int slot) {
  char path[32];
  std::snprintf(path, sizeof path, "./sound/se%02d.wav", slot);
  SoundEffectTable[slot] = LoadSoundFile(path, 3, -1);
}

// One silent step of attack 0 so the attack code, its tables and the banner have run
// once before the first play.
void WarmUpPlay() {
  int saved[kSoundEffectCount];
  for (int k = 0; k < kSoundEffectCount; ++k) {
    saved[k] = SoundEffectTable[k];
    SoundEffectTable[k] = -1;
  }
  const int scene = g_scene;
  ResetPlayState();
  g_scene = kSceneStartMenu;
  RunBossAttack(0);
  g_scene = scene;
  for (int k = 0; k < kSoundEffectCount; ++k) SoundEffectTable[k] = saved[k];
  ResetPlayState();
}

}  // namespace

// The titles are compiled in; the tracks are only checked for.
void CheckMusicTitles() {
  for (int index = 0; index < kMusicTitleCount; ++index) {
    char path[32];
    std::snprintf(path, sizeof path, "./music/bgm%02d.mp3", index);
    struct stat info;
    if (stat(path, &info) != 0)
      WriteLogFormat("Music track missing: %s (%s)\n", path, MusicTitleTable[index]);
    else if (!S_ISREG(info.st_mode) || access(path, R_OK) != 0)
      WriteLogFormat("Music track is not a readable file: %s (%s)\n", path, MusicTitleTable[index]);
  }
}

void RunLoadingWork(int frame) {
  if (frame < kEffectFrames) LoadEffect(frame);
  else if (frame < kMusicFrame) LoadImageFile(frame - kImageFirstFrame);
  else if (frame == kMusicFrame) CheckMusicTitles();
  else if (frame == kWarmUpFrame) WarmUpPlay();
}

int RunLoadingScreen(PassClock& clock) {
  uint8_t keys[256];
  for (int frame = 0; frame < kLoadingFrames; ++frame) {
    if (ProcessLibraryMessages() != 0) return -1;
    if (GetKeyStateSnapshot(keys) != 0) return -1;
    const int64_t start = clock.NowUs();
    RunLoadingWork(frame);
    SetBlendModeParam(0, 255);
    ClearDrawScreen();
    const unsigned white = MakeScreenColor(255, 255, 255);
    DrawStringDefaultFont(440, 420, "Now loading...", white);
    DrawFrameBox(440, 444, 600, 452, white);
    DrawFilledBox(442, 446, 442 + 156 * (frame + 1) / kLoadingFrames, 450, MakeScreenColor(140, 200, 255));
    FlipScreen();
    if (keys[kKeyF4] & 0x80) return -1;
    WaitForPassEnd(clock, start, 16000);
  }
  return 0;
}
