// The frame image around the field and the HUD to its right.
#include "game/draw/hud.h"

#include <algorithm>

#include "font/default_font.h"
#include "game/draw/game_images.h"
#include "game/files/save_tables.h"
#include "game/play/play_state.h"
#include "graphics/draw.h"

int HudHiScore() {
  const int row = CharacterRow(g_player.character);
  int top = 0;
  if (row >= 0 && row < kSaveCharacters && g_difficulty >= 0 && g_difficulty < kSaveDifficulties)
    top = g_save.highScores[row][g_difficulty][0].score;
  return std::max(top, g_player.score);
}

void FormatPower(int power, char* out, int size) {
  if (power >= 128)
    std::snprintf(out, size, "MAX");
  else
    std::snprintf(out, size, "%d", power);
}

void DrawFrameAndHud(bool skipHeld) {
  SetBlendModeParam(0, 255);
  if (g_images.frame != -1) DrawGraphAt(0, 0, g_images.frame, 1);
  const unsigned white = MakeScreenColor(255, 255, 255);
  auto label = [](int index, int y) {
    if (g_images.hudLabel[index] != -1) DrawGraphAt(432, y, g_images.hudLabel[index], 1);
  };
  const int difficulty = std::clamp(g_difficulty, 0, 4);
  label(kHudEasy + difficulty, 20);
  label(kHudHiScore, 48);
  DrawFormattedStringDefaultFont(530, 50, white, "%09d", HudHiScore());
  label(kHudScore, 72);
  DrawFormattedStringDefaultFont(530, 74, white, "%09d", g_player.score);
  label(kHudPlayer, 112);
  for (int k = 0; k < std::min(g_player.lives, 8); ++k)
    DrawGraphAt(530 + k * kHudStar, 114, g_images.hudLifeStar, 1);
  label(kHudBomb, 136);
  for (int k = 0; k < std::min(g_player.bombs, 8); ++k)
    DrawGraphAt(530 + k * kHudStar, 138, g_images.hudBombStar, 1);
  char power[16];
  FormatPower(g_player.power, power, sizeof power);
  label(kHudPower, 176);
  DrawStringDefaultFont(530, 178, power, white);
  label(kHudGraze, 200);
  DrawFormattedStringDefaultFont(530, 202, white, "%d", g_player.graze);
  label(kHudPoint, 224);
  DrawFormattedStringDefaultFont(530, 226, white, "%d",
                                 10 * static_cast<int>(1000.0 * g_player.pointRate));
  if (g_replayPlaying)
    DrawStringDefaultFont(432, 440, skipHeld ? "REPLAY  >>>" : "REPLAY", white);
}
