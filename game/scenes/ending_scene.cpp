// The ending pages (500) and the staff roll (600) after a cleared play.
#include <algorithm>

#include "font/default_font.h"
#include "game/content/content_text.h"
#include "game/draw/game_images.h"
#include "game/files/save_tables.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/ending_scene.h"
#include "game/scenes/play_scene.h"
#include "graphics/draw.h"
#include "graphics/screen.h"

namespace {

struct EndingState {
  int page = 0;
  int frames = 0;
};
EndingState g_ending;
int g_rollFrames = 0;

void DrawRollBackground() {
  SetBlendModeParam(0, 255);
  if (g_images.staffroll != -1) DrawGraphAt(0, 0, g_images.staffroll, 0);
}

}  // namespace

void RunEndingScene() {
  PlayTrack(15);
  const int kind = EndingKindOfResults();
  SetBlendModeParam(0, 255);
  DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(0, 0, 0));
  const int page = std::clamp(g_ending.page, 0, kEndingPages - 1);
  const int alpha = std::min(255, g_ending.frames * 8);
  SetBlendModeParam(1, alpha);
  DrawGraphAt(160, 40, g_images.ending[std::clamp(kind, 1, 3) - 1][page], 0);
  const EndingPage& text = EndingPageText(kind, page);
  for (int k = 0; k < kEndingLineCount && text.lines[k] != nullptr; ++k)
    DrawStringDefaultFont(100, 310 + 28 * k, text.lines[k], MakeScreenColor(255, 255, 255));
  SetBlendModeParam(0, 255);
  g_ending.frames += 1;
  // Any fresh press turns the page, even while the picture still fades in.
  if (KeyFresh(g_save.keys.shot)) {
    PlayEffect(kSeMenuConfirm);
    g_ending.page += 1;
    g_ending.frames = 0;
    if (g_ending.page >= kEndingPages) {
      g_ending = EndingState{};
      g_rollFrames = 0;
      g_scene = kSceneStaffRoll;
    }
  }
}

void RunStaffRollScene() {
  PlayTrack(17);
  DrawRollBackground();
  const int count = CreditLineCount();
  const double travel = 480.0 + count * 28.0;
  const int offset = static_cast<int>(travel * g_rollFrames / 1800.0);
  for (int k = 0; k < count; ++k) {
    const int y = 480 + k * 28 - offset;
    if (y < -24 || y > 480) continue;
    const char* line = CreditLine(k);
    const int width = GetStringWidthDefaultFont(line, 1 << 20, 0);
    DrawStringDefaultFont(320 - width / 2, y, line, MakeScreenColor(255, 255, 255));
  }
  g_rollFrames += 1;
  if (g_rollFrames < 1800) return;
  g_rollFrames = 0;
  const int row = CharacterRow(g_playSetup.character), d = g_playSetup.difficulty;
  if (row >= 0 && row <= 1 && d >= 0 && d <= 4) {
    g_save.clearFlags[row][d] = 1;
    if (d >= 1) CardSeenFlags[row][114 + d] = 1;
  }
  CopyPlayTablesToSaveData(&g_save);
  g_scene = kSceneScoreEntry;
  TakeHeldKeys();  // the results open by themselves, under whatever is held
}
