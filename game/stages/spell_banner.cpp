#include "game/stages/spell_banner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "game/content/asset_layout.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"

namespace {

int g_bannerCounter = 90;

int MeasureNothing(const char*, int, int) { return 0; }
unsigned ColourNothing(int, int, int) { return 0; }

const BannerCanvas kSilentCanvas = {nullptr, nullptr, nullptr, nullptr,
                                    MeasureNothing, ColourNothing, nullptr};
const BannerCanvas* g_canvas = &kSilentCanvas;

void Filter(int mode) {
  if (g_canvas->setFilterMode) g_canvas->setFilterMode(mode);
}
void Blend(int mode, int param) {
  if (g_canvas->setBlendModeParam) g_canvas->setBlendModeParam(mode, param);
}
void Stretched(int x1, int y1, int x2, int y2, int image) {
  if (g_canvas->drawGraphStretched) g_canvas->drawGraphStretched(x1, y1, x2, y2, image, 1);
}
void At(int x, int y, int image) {
  if (g_canvas->drawGraphAt) g_canvas->drawGraphAt(x, y, image, 1);
}
int TextWidth(const char* text) {
  if (!g_canvas->getStringWidth) return 0;
  return g_canvas->getStringWidth(text, static_cast<int>(std::strlen(text)), 0);
}

// The bonus and history row, right-aligned to the bar's end: the bonus label, up to
// nine bonus digits (or the failed label), the history label, captures / attempts.
constexpr int kDigitStep = kMiniDigitW;
constexpr int kAttemptsUnitsX = 412 - kMiniDigitW;
constexpr int kSeparatorX = kAttemptsUnitsX - 3 * kDigitStep;
constexpr int kCapturesUnitsX = kSeparatorX - kDigitStep;
constexpr int kHistoryX = kCapturesUnitsX - 2 * kDigitStep - 4 - kHistoryLabelW;
constexpr int kBonusUnitsX = kHistoryX - 6 - kMiniDigitW;
constexpr int kFailedX = kBonusUnitsX - 8 * kDigitStep;
constexpr int kBonusLabelX = kFailedX - 4 - kBonusLabelW;
static_assert(kFailedX + kFailedLabelW <= kHistoryX && kBonusLabelX >= kFieldX);

// A history count from the save file, shown with up to three digits: the units digit
// always, each higher one while the count reaches it. A damaged save may hold anything.
void DrawCount(int count, int unitsX) {
  const int shown = std::clamp(count, 0, 999);
  int power = 1;
  for (int k = 0; k < 3; ++k, power *= 10) {
    if (k > 0 && shown < power) break;
    At(unitsX - kDigitStep * k, kCardRowY, SpriteSheetHandles.miniDigit[(shown / power) % 10]);
  }
}

// The name and its bar rise from y 352 and 371 to their settled rows once the portrait
// is gone (C 30..0): 0 at C 30, down to the settled row at C 0.
int Rise(int c) {
  const int curve = (30 - c) * (30 - c) * 320 / 900 + (5 * c - 150) * 128 / 30;  // 0 .. -320
  return curve * (352 - kCardNameY) / 320;
}
static_assert(371 - (352 - kCardNameY) == kCardBarY);

}  // namespace

void SetBannerCanvas(const BannerCanvas* canvas) { g_canvas = canvas ? canvas : &kSilentCanvas; }

int SpellBannerCounter() { return g_bannerCounter; }
void ResetSpellBanner() { g_bannerCounter = 90; }

void DrawSpellCardBanner(int portrait, const char* name, int id) {
  const int bonus = g_spellBonus;
  const int capture = g_spellCapture;
  const Boss& boss = g_bosses[0];
  if (name == nullptr) name = "";

  if (boss.phaseTimer == 1) g_bannerCounter = 90;
  int& c = g_bannerCounter;
  if (c == 90 && g_spellBackground == 1) PlayEffect(kSeSpellStart);

  if (c > 0) {
    Filter(0);
    Blend(1, static_cast<int>(225 - 2.5 * (90 - c)));
    Stretched(275, 283 - 2 * c, 435, 443 - 2 * c, SpriteSheetHandles.portrait[portrait][0]);
    Blend(0, 0);
    Filter(1);
  }

  // Over the top of the field the bar and the name turn translucent so that they never
  // hide the player; the sum passes 255 near the start of a card, so it is clamped.
  if (g_player.y < 170.0) {
    const double alpha = 7.0 * c + 1.5 * g_player.y;
    Blend(1, std::clamp(static_cast<int>(alpha), 0, 255));
  }

  const int nameWidth = TextWidth(name);
  const int w = std::max(nameWidth, 128);
  if (c > 30) {
    const int e = (90 - c) * (90 - c) * 150 / 3600 + 5 * (c - 90) + 470;
    Stretched(692 - e - w, e / 2 + 211, 412, e + 57, SpriteSheetHandles.spellNameBar);
  } else {
    const int top = 371 + Rise(c);
    Stretched(372 - w, top, 412, top + kCardBarH, SpriteSheetHandles.spellNameBar);
  }

  if (c < 10) {
    At(kBonusLabelX, kCardRowY, SpriteSheetHandles.bonusLabel);
    if (capture == 1) {
      int64_t power = 1;
      for (int k = 0; k <= 8 && power <= bonus; ++k, power *= 10) {
        At(kBonusUnitsX - kDigitStep * k, kCardRowY,
           SpriteSheetHandles.miniDigit[static_cast<int>((bonus / power) % 10)]);
      }
    } else {
      At(kFailedX, kCardRowY, SpriteSheetHandles.failedLabel);
    }
    const int row = CharacterRow(g_player.character);
    if (id >= 0 && id < kSpellCardCount && row >= 0 && row < 2) {
      const SpellCardRecord& history = SpellCardHistory[row][id];
      At(kHistoryX, kCardRowY, SpriteSheetHandles.historyLabel);
      DrawCount(history.captures, kCapturesUnitsX);
      At(kSeparatorX, kCardRowY, SpriteSheetHandles.miniDigit[10]);
      DrawCount(history.attempts, kAttemptsUnitsX);
    }
  }

  const int nameY = c > 30 ? 352 : 352 + Rise(c);
  if (g_canvas->drawString) {
    const unsigned white = g_canvas->makeScreenColor ? g_canvas->makeScreenColor(255, 255, 255) : 0;
    g_canvas->drawString(392 - nameWidth, nameY, white, name);
  }

  Blend(0, 0);
  if (c > 0) c -= 1;
  if ((boss.spellTimer == 1 || boss.hp <= 0) && boss.state != 3) c = 90;
}
