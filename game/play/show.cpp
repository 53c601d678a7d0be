// The logic of the conversation box, notices, the music title, the shake and the
// focus aura; each draws through the draw interface after its logic.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"

namespace {

int SlideToward(int value, bool in) {
  return in ? (value > 8 ? value - 8 : 0) : (value < 112 ? value + 8 : 120);
}

bool AnyBossMoving() {
  for (const Boss& boss : g_bosses)
    if (boss.moveFrames != 0.0) return true;
  return false;
}

}  // namespace

void ShowDialogue(int side, int leftCharacter, int leftPose, int rightCharacter, int rightPose,
                  const char* line1, const char* line2) {
  DialogueBox& box = g_dialogue;
  if (g_talkActive == 0) {
    box.slideLeft = box.slideRight = 120;
    box.clock = 600;
    box.side = 3;
    return;
  }
  box.side = side;
  box.leftCharacter = leftCharacter;
  box.leftPose = leftPose;
  box.rightCharacter = rightCharacter;
  box.rightPose = rightPose;
  box.line1 = line1 ? line1 : "";
  box.line2 = line2 ? line2 : "";
  bool sideThree = side == 3;
  box.slideLeft = SlideToward(box.slideLeft, !sideThree && leftCharacter != 100);
  box.slideRight = SlideToward(box.slideRight, !sideThree && rightCharacter != 100);
  if (!AnyBossMoving()) box.clock -= 1;
  bool freshShot = (g_inputBits & kInputShot) && !(g_prevInputBits & kInputShot);
  bool skip = (g_inputBits & kInputSkip) != 0;
  bool advance;
  if (!sideThree)
    advance = (freshShot && box.clock < 595) || (skip && box.clock < 598) || box.clock < 0;
  else
    advance = box.slideLeft >= 120 && box.slideRight >= 120;
  if (advance) {
    g_talkActive += 1;
    box.clock = 600;
  }
  PLAY_DRAW(dialogue);
}

void ShowNotice(int frames, int mode, int x, int y, int delay, int image) {
  if (mode >= 1) {
    for (Notice& notice : g_notices) {
      if (notice.frames != 0) continue;
      notice = Notice{frames, mode, x, y, delay, image, 0};
      return;
    }
    return;  // no free slot: dropped
  }
  if (mode != 0) return;
  if (g_stageFrame == 0) std::memset(g_notices, 0, sizeof g_notices);
  PLAY_DRAW(notices);
  for (Notice& notice : g_notices) {
    if (notice.frames == 0) continue;
    if (notice.delay > 0) {
      notice.delay -= 1;
      continue;
    }
    notice.age += 1;
    if (notice.age >= notice.frames) notice = Notice{};
  }
}

int PlayMusicByTitle(const char* title) {
  if (title == nullptr) return 0;
  for (int index = 0; index < kMusicTitleCount; ++index) {
    if (std::strcmp(title, MusicTitleTable[index]) != 0) continue;
    char path[32];
    std::snprintf(path, sizeof path, "./music/bgm%02d.mp3", index);
    PLAY_SOUND(playMusicFile, path);
    g_currentMusic = index;
    return 1;
  }
  return 0;
}

void ShowMusicTitle(const char* title, int mode) {
  MusicTitleLine& line = g_musicTitle;
  if (mode == 0) {
    std::snprintf(line.text, sizeof line.text, "%s", title ? title : "");
    line.frames = 300;
    return;
  }
  if (mode != 1 || line.frames <= 0) return;
  PLAY_DRAW(musicTitle);
  line.frames -= 1;
}

void ShakePlayfield(int mode, int length) {
  if (mode == 0) {
    g_shakeTotal = g_shakeLeft = length;
    return;
  }
  if (mode != 1) return;
  if (g_shakeLeft <= 0) {
    g_shakeView = ShakeView{};
    return;
  }
  int elapsed = g_shakeTotal - g_shakeLeft;
  if (elapsed % 5 == 0) {
    static const int kDirX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
    static const int kDirY[8] = {0, -1, -1, -1, 0, 1, 1, 1};
    int direction = std::rand() % 8;  // cosmetic
    int distance = (elapsed < 5 || g_shakeLeft <= 5) ? 5 : 10;
    g_shakeView.dx = kDirX[direction] * distance;
    g_shakeView.dy = kDirY[direction] * distance;
  }
  g_shakeLeft -= 1;
  PLAY_DRAW(shake);
}

void DrawFocusAura() {
  FocusAura& aura = g_focusAura;
  if (g_inputBits & kInputSlow)
    aura.alpha = aura.alpha + 25 > 250 ? 250 : aura.alpha + 25;
  else
    aura.alpha = aura.alpha - 25 < 0 ? 0 : aura.alpha - 25;
  aura.angle += 2.0;
  if (aura.angle >= 360.0) aura.angle -= 360.0;
  PLAY_DRAW(focusAura);
}
