// Storage of the effect records beside the play records, and the cosmetic pools.
#include <cstdlib>
#include <cstring>

#include "game/play/play_effects.h"

BossEffect BossEffects[4];
BossBlast g_bossBlast;
DialogueBox g_dialogue;
Notice g_notices[25];
MusicTitleLine g_musicTitle;
int g_currentMusic = -1;
FocusAura g_focusAura;
ShakeView g_shakeView;
VanishFlash g_vanishFlashes[kVanishFlashSlots];
EnemyBurst g_bursts[kBurstSlots];
ScorePopup g_scorePopups[kScorePopupSlots];

namespace {
template <class T, int N>
T* FirstFree(T (&pool)[N]) {
  for (T& slot : pool)
    if (slot.life == 0) return &slot;
  return nullptr;
}
}  // namespace

void AddVanishFlash(double x, double y, int colour, int sheet) {
  if (VanishFlash* flash = FirstFree(g_vanishFlashes)) *flash = {x, y, 12, colour, sheet};
}

void AddEnemyBurst(double x, double y, int sprite) {
  if (EnemyBurst* burst = FirstFree(g_bursts)) *burst = {x, y, 24, sprite};
}

void AddScorePopup(double x, double y, int value) {
  if (ScorePopup* popup = FirstFree(g_scorePopups)) *popup = {x, y, 40, value};
}

void ResetEffects() {
  for (BossEffect& effect : BossEffects) effect = BossEffect{};
  g_bossBlast = BossBlast{};
  g_dialogue = DialogueBox{};
  g_dialogue.slideLeft = g_dialogue.slideRight = 120;
  g_dialogue.clock = 600;
  g_dialogue.side = 3;
  g_dialogue.leftCharacter = g_dialogue.rightCharacter = 100;
  g_dialogue.line1 = g_dialogue.line2 = "";
  g_musicTitle = MusicTitleLine{};
  g_focusAura = FocusAura{};
  g_shakeView = ShakeView{};
  std::memset(g_vanishFlashes, 0, sizeof g_vanishFlashes);
  std::memset(g_bursts, 0, sizeof g_bursts);
  std::memset(g_scorePopups, 0, sizeof g_scorePopups);
}
