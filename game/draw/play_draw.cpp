// The drawing of the play: every pool, effect, notice, the conversation box, the boss
// status and the backgrounds, through the graphics layer. It only reads the play
// state; the cosmetic generator (rand) is the only randomness it uses.
#include "game/draw/play_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "font/default_font.h"
#include "game/draw/banner_canvas.h"
#include "game/draw/game_images.h"
#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_state.h"
#include "graphics/draw.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/util.h"
#include "softrender/draw_state.h"

namespace {

constexpr double kRad = 3.14159265358979323846 / 180.0;
// The rotated draw refuses sources this wide or tall; so must its plain stand-in.
constexpr int kMaxCentredSide = 8192;

void Blend(int mode, int param) { SetBlendModeParam(mode, param); }
void Plain() { SetBlendModeParam(0, 255); }

// Draws `graph` centred on (x, y), turned clockwise by `turnDegrees` and scaled.
// Unturned at scale 1 the rotated draw lands every texel on whole pixels: texel (u, v)
// at (cx - w / 2 + u, cy - h / 2 + v), the centre taken as a truncated float as the
// rotated draw takes it. The plain draw puts the same pixels there and skips the
// transparent runs instead of walking them.
void Centred(double x, double y, int graph, double turnDegrees = 0.0, double scale = 1.0) {
  if (graph == -1) return;
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  int w = 0, h = 0;
  constexpr float kNear = 1 << 20;  // far positions keep the rotated draw's own limits
  if (turnDegrees == 0.0 && scale == 1.0 && fx > -kNear && fx < kNear && fy > -kNear && fy < kNear &&
      GetGraphSize(graph, &w, &h) == 0 && w < kMaxCentredSide && h < kMaxCentredSide) {
    DrawGraphAt(FloatToInt(fx) - (w >> 1), FloatToInt(fy) - (h >> 1), graph, 1);
    return;
  }
  DrawGraphRotatedF(fx, fy, scale, turnDegrees * kRad, graph, 1);
}

// Effect `index` centred on (x, y); `scale` is against a kEffectScaleBase-pixel image,
// whatever size its cell was generated at.
void Effect(double x, double y, int index, double turnDegrees, double scale) {
  Centred(x, y, g_images.effect[index], turnDegrees, scale * kEffectScaleBase / EffectCell(index).w);
}

int Wrap(int value, int n) { return ((value % n) + n) % n; }

// The background of a scene: stages 1-6 by their number, Extra, and spell practice by
// its card's stage.
int BackgroundOfScene(int scene) {
  scene = PlayedScene(scene);
  if (scene >= kSceneFirstStage && scene <= kSceneLastStage) return scene - kSceneFirstStage;
  if (scene == kSceneExtraStage) return 6;
  if (IsStagePracticeScene(scene)) return scene - StagePracticeScene(kSceneFirstStage);
  if (IsCardPracticeScene(scene)) {
    if (g_difficulty == 4) return 6;
    const int slot = scene - kSceneCardPracticeBase;
    static const int kFirstSlot[6] = {0, 3, 6, 10, 15, 20};
    for (int stage = 5; stage >= 0; --stage)
      if (slot >= kFirstSlot[stage]) return stage;
  }
  return 0;
}

// The background in the screen's own format: drawn without transparency it is copied
// every step, and a copy from an image with alpha converts each pixel on the way. The
// conversion is made once into a screen graph, which then copies row by row; the
// pixels are the same, since a plain opaque draw writes the converted colour whatever
// lies beneath.
struct ConvertedBackground {
  int source = -1, graph = -1;
};
ConvertedBackground g_converted;

int ScreenFormatBackground(int source) {
  int w = 0, h = 0;
  if (GetGraphSize(source, &w, &h) != 0) return source;
  int cw = 0, ch = 0;
  if (g_converted.source == source && GetGraphSize(g_converted.graph, &cw, &ch) == 0 && cw == w && ch == h)
    return g_converted.graph;
  if (g_converted.graph != -1) ReleaseGraphHandle(g_converted.graph);  // a stale handle is refused
  g_converted = {source, MakeScreenGraph(w, h)};
  if (g_converted.graph == -1) return source;
  const int target = GetDrawScreen();
  const Rect area = DrawArea;
  SetDrawScreen(g_converted.graph);
  Plain();
  DrawGraphAt(0, 0, source, 0);
  SetDrawScreen(target);
  SetDrawArea(area.left, area.top, area.right, area.bottom);
  return g_converted.graph;
}

void DrawBackground() {
  const int graph = g_images.background[g_spellBackground == 1 ? 7 : BackgroundOfScene(g_scene)];
  int w = 0, h = 0;
  // Two copies a background height apart cover F when the image is as wide as F and
  // that high; the black under them would never show.
  if (graph == -1 || GetGraphSize(graph, &w, &h) != 0 || w < kBackgroundW || h < kBackgroundH)
    DrawFilledBox(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx, MakeScreenColor(0, 0, 0));
  if (graph == -1) return;
  Plain();
  const int shown = ScreenFormatBackground(graph);
  const int offset = Wrap(g_stageFrame, kBackgroundH);
  DrawGraphAt(32, 16 + offset - kBackgroundH, shown, 0);
  DrawGraphAt(32, 16 + offset, shown, 0);
}

void DrawScorePopups() {
  for (const ScorePopup& popup : g_scorePopups) {
    if (popup.life <= 0) continue;
    Blend(1, popup.life * 6 > 255 ? 255 : popup.life * 6);
    const int rise = 40 - popup.life;
    DrawFormattedStringDefaultFont(static_cast<int>(popup.x) - 12, static_cast<int>(popup.y) - 8 - rise / 2,
                                   MakeScreenColor(255, 255, 160), "%d", popup.value);
  }
  Plain();
}

void DrawItems() {
  Plain();
  for (const Item& item : g_items) {
    if (!item.active) continue;
    const int kind = item.kind >= 0 && item.kind < kItemKinds ? item.kind : 0;
    const double turn = kind >= 3 ? item.age * 6.0 : 0.0;
    Centred(item.x, item.y, g_images.item[kind], turn);
  }
}

void DrawEnemyEffects() {
  Blend(2, 255);
  for (const VanishFlash& flash : g_vanishFlashes) {
    if (flash.life <= 0) continue;
    Blend(2, flash.life * 20);
    Effect(flash.x, flash.y, kEffectVanish, 0.0, 0.2 + (12 - flash.life) * 0.04);
  }
  for (const EnemyBurst& burst : g_bursts) {
    if (burst.life <= 0) continue;
    Blend(2, burst.life * 10);
    Effect(burst.x, burst.y, kEffectBurst, burst.life * 8.0, 0.5 + (24 - burst.life) * 0.05);
  }
  Plain();
}

void DrawEnemies() {
  for (const Enemy& enemy : g_enemies) {
    if (!enemy.active) continue;
    const int kind = Wrap(enemy.sprite, kEnemyKinds);
    const int frame = Wrap(enemy.age / 8, kEnemyFrames);
    if (enemy.age < 0)
      Blend(1, 25 * (enemy.age + 10) < 0 ? 0 : 25 * (enemy.age + 10));
    else
      Plain();
    Centred(enemy.x, enemy.y, g_images.enemy[kind][frame]);
  }
  Plain();
}

int BossGraph(const Boss& boss, int frame) {
  const int kind = boss.kind >= 1 && boss.kind <= kBossKinds ? boss.kind : 1;
  return g_images.boss[kind - 1][boss.pose > 0 ? 1 : 0][Wrap(frame, kBossFrames)];
}

void DrawBosses() {
  for (int slot = 0; slot < kBossSlots; ++slot) {
    const Boss& boss = g_bosses[slot];
    const BossEffect& effect = BossEffects[slot];
    if (boss.state == 0) continue;
    if (slot == 0 && g_bossBlast.counter > 0 && boss.state == 3) continue;
    const int frame = (boss.phaseTimer / 10) & 3;
    if (slot == 0 && g_spellCardActive == 1) {
      for (int k = effect.trailCount - 1; k >= 1; --k) {
        Blend(1, 40 + (7 - k) * 160 / 7);
        Centred(effect.trailX[k], effect.trailY[k], BossGraph(boss, frame));
      }
    }
    int alpha = 255;
    if (effect.warp.active) alpha = 255 * std::abs(15 - effect.warp.counter) / 15;
    else if (boss.state == 4) continue;
    else if (boss.state == 2) alpha = 128;
    Blend(1, alpha);
    Centred(boss.x, boss.y + std::sin(boss.phaseTimer * 0.05) * 3.0, BossGraph(boss, frame));
  }
  Plain();
}

void DrawPlayer() {
  const PlayerStatus& p = g_player;
  const int row = p.character == kCharacterB ? 1 : 0;
  // Shots first, under the player.
  Plain();
  for (const PlayerShot& shot : g_playerShots) {
    if (shot.state == 1) {
      const int cell = (row == 1 ? kShotNeedle7 : kShotNeedle0) + (shot.kind != 0 ? 1 : 0);
      Blend(1, 200);
      Centred(shot.x, shot.y, g_images.shot[cell], -shot.angle);
    } else if (shot.state == 2) {
      Blend(2, 200);
      Effect(shot.x, shot.y, kEffectSpark, shot.age * 30.0, 0.3);
    }
  }
  Plain();
  if (p.bombTimer > 0) {
    if (row == 0) {
      // The burst's reach, R = 40 + 4 x elapsed, as a widening ring that fades out.
      const double elapsed = 120 - p.bombTimer;
      const int radius = static_cast<int>(40.0 + 4.0 * elapsed);
      Blend(2, static_cast<int>(200.0 * p.bombTimer / 120.0));
      DrawGraphStretched(static_cast<int>(p.x) - radius, static_cast<int>(p.y) - radius, static_cast<int>(p.x) + radius,
                         static_cast<int>(p.y) + radius, g_images.effect[kEffectBombWave], 1);
    } else {
      Blend(2, p.bombTimer > 30 ? 140 : p.bombTimer * 4);
      DrawFilledBox(static_cast<int>(p.x) - 40, 16, static_cast<int>(p.x) + 40, static_cast<int>(p.y),
                    MakeScreenColor(120, 200, 255));
    }
    Plain();
  }
  if (p.state <= -8 && p.state >= -60) return;  // hidden
  int sheetRow = 0;
  if (p.state >= 0 && (g_inputBits & kInputLeft) && !(g_inputBits & kInputRight)) sheetRow = 1;
  if (p.state >= 0 && (g_inputBits & kInputRight) && !(g_inputBits & kInputLeft)) sheetRow = 2;
  const int frame = (g_stageFrame / 6) & 3;
  int alpha = 255;
  if (p.state < 0 && p.state >= -7) alpha = 255 - 30 * (-p.state);
  if (p.invulnerable > 0 && (p.invulnerable / 4) % 2 == 0) alpha = 96;
  Blend(1, alpha);
  Centred(p.x, p.y, g_images.player[row][sheetRow][frame]);
  Plain();
}

bool TurnedSheet(int sheet) {
  return sheet == 3 || sheet == 5 || sheet == 8 || sheet == 10 || sheet == 11 || sheet == 14;
}

void DrawBullets() {
  int mode = -1;
  const CheckedPool<EnemyBullet, kBulletSlots>& pool = g_enemyBullets;
  for (int slot = 0; slot < pool.liveEnd(); ++slot) {
    const EnemyBullet& b = pool.liveSlots()[slot];
    if (b.state == 0 || b.behaviour == kBehaviourVanish) continue;
    const int sheet = b.sheet >= 0 && b.sheet < kBulletSheetCount ? b.sheet : 0;
    const int colour = Wrap(b.colour, kBulletColours);
    const int wanted = sheet == 6 ? 2 : 0;
    if (wanted != mode) {
      mode = wanted;
      Blend(mode, 255);
    }
    double turn = 0.0, scale = 1.0;
    if (TurnedSheet(sheet)) turn = 90.0 - b.angle;
    else if (sheet == 7) turn = b.age * 8.0;
    if (b.behaviour == kBehaviourHarmlessUntil) scale = b.behaviourParam % 10 == 2 ? 1.5 : 0.5;
    Centred(b.x, b.y, g_images.bullet[sheet][colour], turn, scale);
  }
  Plain();
}

void DrawLasers() {
  for (const Laser& laser : g_lasers) {
    if (laser.state == 0) continue;
    const double dx = laser.x2 - laser.x1, dy = laser.y2 - laser.y1;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length <= 0.0) continue;
    int h = laser.fullWidth;
    h = std::min(h, (laser.age - laser.triggerAge) / 3);
    h = std::min(h, (laser.lifetime - laser.age) / 3);
    const bool warning = laser.age < laser.triggerAge;
    const double half = warning ? 0.5 : std::max(h, 1);
    const double nx = -dy / length * half, ny = dx / length * half;
    const int graph = g_images.laser[Wrap(laser.colour, kLaserColours)];
    if (warning) Blend(1, 128);
    else Blend(2, 255);
    DrawGraphQuadF(static_cast<float>(laser.x1 + nx), static_cast<float>(laser.y1 + ny),
                   static_cast<float>(laser.x2 + nx), static_cast<float>(laser.y2 + ny),
                   static_cast<float>(laser.x2 - nx), static_cast<float>(laser.y2 - ny),
                   static_cast<float>(laser.x1 - nx), static_cast<float>(laser.y1 - ny), graph, 1);
  }
  Plain();
}

void DrawPortrait(int character, int pose, int slide, bool left, bool speaking) {
  if (character < 0 || character >= kPortraitKinds || slide >= 120) return;
  const int graph = SpriteSheetHandles.portrait[character][Wrap(pose, kPortraitPoses)];
  if (graph == -1) return;
  Blend(1, (speaking ? 255 : 128) * (120 - slide) / 120);
  const int x = left ? 32 - slide : 161 + slide;
  DrawGraphAt(x, kFieldBottomPx - kPortraitH, graph, 1);
}

void DrawDialogue() {
  const DialogueBox& box = g_dialogue;
  DrawPortrait(box.leftCharacter, box.leftPose, box.slideLeft, true, box.side == 0);
  DrawPortrait(box.rightCharacter, box.rightPose, box.slideRight, false, box.side == 1);
  if (box.side == 3) {
    Plain();
    return;
  }
  Blend(1, 220);
  if (g_images.dialog != -1) DrawGraphAt(40, 372, g_images.dialog, 1);
  else DrawFilledBox(40, 372, 409, 456, MakeScreenColor(20, 20, 60));
  Plain();
  const unsigned white = MakeScreenColor(255, 255, 255);
  if (box.line1) DrawStringDefaultFont(56, 384, box.line1, white);
  if (box.line2) DrawStringDefaultFont(56, 408, box.line2, white);
}

void DrawNotices() {
  for (const Notice& notice : g_notices) {
    if (notice.frames == 0 || notice.delay > 0) continue;
    const int age = notice.age, left = notice.frames - notice.age;
    double x = notice.x, y = notice.y, scale = 1.0;
    int alpha = 255;
    auto fadeOut = [&](int over) {
      if (left < over) alpha = std::min(alpha, 255 * left / over);
    };
    switch (notice.mode) {
      case 2:
        if (age < 10) scale = 2.0 - age / 10.0, alpha = 255 * age / 10;
        fadeOut(20);
        break;
      case 3:
        if (age < 10) y -= 20 - 2 * age, alpha = 255 * age / 10;
        fadeOut(20);
        break;
      case 4:
        if (age < 30) x -= 100 - 100 * age / 30.0, alpha = 255 * age / 30;
        fadeOut(30);
        break;
      case 5:
        if (age < 20) alpha = 255 * age / 20;
        fadeOut(20);
        break;
      default: fadeOut(20); break;
    }
    Blend(1, std::max(0, alpha));
    Centred(x, y, notice.image, 0.0, scale);
  }
  Plain();
}

void DrawMusicTitle() {
  const MusicTitleLine& line = g_musicTitle;
  const int shown = 300 - line.frames;
  int alpha = 255;
  if (shown < 30) alpha = 255 * shown / 30;
  if (line.frames < 30) alpha = 255 * line.frames / 30;
  char text[80];
  std::snprintf(text, sizeof text, "\xE2\x99\xAA %s", line.text);
  const int width = GetStringWidthDefaultFont(text, static_cast<int>(std::strlen(text)), 0);
  Blend(1, alpha);
  DrawStringDefaultFont(412 - width, 448, text, MakeScreenColor(255, 255, 255));
  Plain();
}

void DrawShake() {
  if (g_images.fieldGraph == -1) return;
  GetDrawScreenGraph(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx, g_images.fieldGraph);
  DrawFilledBox(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx, MakeScreenColor(0, 0, 0));
  Plain();
  DrawGraphAt(32 + g_shakeView.dx, 16 + g_shakeView.dy, g_images.fieldGraph, 0);
}

void DrawAura() {
  const FocusAura& aura = g_focusAura;
  if (g_player.state <= -8 && g_player.state >= -60) return;
  if (aura.alpha > 0) {
    Blend(1, aura.alpha);
    Centred(g_player.x, g_player.y, g_images.focus, -aura.angle);
  }
  Plain();
  if (g_inputBits & kInputSlow) Centred(g_player.x, g_player.y, g_images.hitbox);
}

void BossPoint(int entry, double* x, double* y) {
  if (entry >= 0 && entry < kBossSlots) {
    *x = g_bosses[entry].x;
    *y = g_bosses[entry].y;
  } else {
    *x = 224.0;
    *y = 150.0;
  }
}

void DrawCharge(int entry) {
  const int counter = BossEffects[entry].chargeCounter;
  double x, y;
  BossPoint(entry, &x, &y);
  Blend(2, std::min(255, counter * 6));
  Effect(x, y, kEffectCharge, counter * 6.0, 0.3 + counter / 30.0);
  Plain();
}

void DrawRing(int entry) {
  const BossEffect& effect = BossEffects[entry];
  const int age = effect.ringCounter;
  const int alpha = age > 40 ? 255 * (60 - age) / 20 : 255;
  Blend(2, std::max(0, alpha));
  Effect(effect.ringX, effect.ringY, kEffectRing, 0.0, 0.08 * age);
  Plain();
}

void DrawBlast() {
  const BossBlast& blast = g_bossBlast;
  Blend(2, std::min(255, blast.counter * 8));
  Effect(blast.x, blast.y, kEffectBlast, blast.counter * 4.0, 0.5 + (40 - blast.counter) * 0.1);
  if (blast.shardClock % 3 == 0) {
    for (int k = 0; k < 6; ++k) {
      const double angle = std::rand() % 360;  // cosmetic
      const double distance = (40 - blast.counter) * 4.0 + std::rand() % 30;
      Effect(blast.x + std::cos(angle * kRad) * distance, blast.y - std::sin(angle * kRad) * distance,
             kEffectShard, angle, 0.4);
    }
  }
  Plain();
}

void DrawStatus(int barSplit, int /*spellBackground*/) {
  const Boss& boss = g_bosses[0];
  Plain();
  DrawGraphAt(kStatusNameX, kStatusNameY, SpriteSheetHandles.bossName[boss.kind], 1);
  double share = boss.maxHp != 0 ? static_cast<double>(boss.hp) / boss.maxHp : 0.0;
  share = std::clamp(share, 0.0, 1.0);
  const int width = static_cast<int>(kStatusBarW * share);
  const int split = std::clamp(kStatusBarW * barSplit / 100, 0, width);
  const int x = kStatusBarX, y = kStatusBarY, bottom = kStatusBarY + kStatusBarH;
  if (width > 0 && g_images.statusBar != -1) DrawGraphStretched(x, y, x + width, bottom, g_images.statusBar, 1);
  if (split > 0 && g_images.statusSplit != -1) DrawGraphStretched(x, y, x + split, bottom, g_images.statusSplit, 1);
  for (int k = 0; k < boss.remainingCards && k < 30; ++k)
    DrawGraphAt(kStatusBarX + kStatusStarStep * k, kStatusStarsY, g_images.statusStar, 1);
  if (boss.spellTimer > 0) {
    const int seconds = std::min(99, boss.spellTimer / 60);
    DrawGraphAt(kStatusTimerX, kStatusTimerY, g_images.statusDigit[seconds / 10], 1);
    DrawGraphAt(kStatusTimerX + kStatusDigitW, kStatusTimerY, g_images.statusDigit[seconds % 10], 1);
  }
}

const PlayDrawTable kTable = {
    DrawBackground, DrawScorePopups, DrawItems,      DrawEnemyEffects, DrawEnemies,
    DrawBosses,     DrawPlayer,      DrawBullets,    DrawLasers,       DrawDialogue,
    DrawNotices,    DrawMusicTitle,  DrawShake,      DrawAura,         DrawCharge,
    DrawRing,       nullptr,         DrawBlast,      DrawStatus,
};

}  // namespace

void InstallPlayDrawing(bool on) {
  g_playDraw = on ? &kTable : nullptr;
  SetBannerCanvas(on ? GraphicsBannerCanvas() : nullptr);
}
