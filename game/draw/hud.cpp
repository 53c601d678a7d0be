// The frame image around the field and the HUD to its right.
#include "game/draw/hud.h"

#include <algorithm>
#include <cstdio>

#include "font/default_font.h"
#include "game/draw/game_images.h"
#include "game/files/save_tables.h"
#include "game/play/play_state.h"
#include "graphics/draw.h"

HudValues ReadHudValues() {
  HudValues v{};
  v.difficulty = std::clamp(g_difficulty, 0, 4);
  const int row = CharacterRow(g_player.character);
  int top = 0;
  if (row >= 0 && row < kSaveCharacters && g_difficulty >= 0 && g_difficulty < kSaveDifficulties)
    top = g_save.highScores[row][g_difficulty][0].score;
  v.hiScore = std::max(top, g_player.score);
  v.score = g_player.score;
  v.lifeStars = std::clamp(g_player.lives, 0, 8);
  v.bombStars = std::clamp(g_player.bombs, 0, 8);
  if (g_player.power >= 128)
    std::snprintf(v.power, sizeof v.power, "MAX");
  else
    std::snprintf(v.power, sizeof v.power, "%d", g_player.power);
  v.graze = g_player.graze;
  v.point = 10 * static_cast<int>(1000.0 * g_player.pointRate);
  return v;
}

void DrawFrameAndHud(bool skipHeld) {
  const HudValues v = ReadHudValues();
  SetBlendModeParam(0, 255);
  if (g_images.frame != -1) DrawGraphAt(0, 0, g_images.frame, 1);
  const unsigned white = MakeScreenColor(255, 255, 255);
  auto label = [](int index, int y) {
    if (g_images.hudLabel[index] != -1) DrawGraphAt(432, y, g_images.hudLabel[index], 1);
  };
  label(kHudEasy + v.difficulty, 20);
  label(kHudHiScore, 48);
  DrawFormattedStringDefaultFont(530, 50, white, "%09d", v.hiScore);
  label(kHudScore, 72);
  DrawFormattedStringDefaultFont(530, 74, white, "%09d", v.score);
  label(kHudPlayer, 112);
  for (int k = 0; k < v.lifeStars; ++k) DrawGraphAt(530 + k * kHudStar, 114, g_images.hudLifeStar, 1);
  label(kHudBomb, 136);
  for (int k = 0; k < v.bombStars; ++k) DrawGraphAt(530 + k * kHudStar, 138, g_images.hudBombStar, 1);
  label(kHudPower, 176);
  DrawStringDefaultFont(530, 178, v.power, white);
  label(kHudGraze, 200);
  DrawFormattedStringDefaultFont(530, 202, white, "%d", v.graze);
  label(kHudPoint, 224);
  DrawFormattedStringDefaultFont(530, 226, white, "%d", v.point);
  if (g_replayPlaying)
    DrawStringDefaultFont(432, 440, skipHeld ? "REPLAY  >>>" : "REPLAY", white);
}
