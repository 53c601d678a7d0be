#pragma once
// Geometry of the generated images under "./image/": the asset generator draws each
// sheet to these cells and the game cuts its graphs from the same numbers, so the two
// can never disagree. Turned sprites (rice, arrowheads, crystals, the player's shots)
// point up in their cell; draw them turned by (90 - heading) degrees.

struct SheetCell {
  int x, y, w, h;
};

// Cell `index` of a sheet laid out `columns` across in cells of w x h.
constexpr SheetCell GridCell(int index, int columns, int w, int h) {
  return {(index % columns) * w, (index / columns) * h, w, h};
}

// The play field F and the screen.
constexpr int kScreenW = 640, kScreenH = 480;
constexpr int kFieldX = 32, kFieldY = 16, kFieldW = 385, kFieldH = 449;

// back1..6.png, backex.png, spellback.png: one field wide, seamless top to bottom.
constexpr int kBackgroundW = kFieldW, kBackgroundH = 512;

// bulletNN.png: five colour cells across (0 red, 1 blue, 2 green, 3 yellow, 4 violet).
constexpr int kBulletSheetCount = 17;
constexpr int kBulletColours = 5;
constexpr int kBulletCellW[kBulletSheetCount] = {8,  12, 16, 12, 16, 12, 24, 16, 12,
                                                 32, 10, 24, 20, 14, 16, 28, 40};
constexpr int kBulletCellH[kBulletSheetCount] = {8,  12, 16, 16, 16, 18, 24, 16, 20,
                                                 32, 20, 24, 20, 14, 16, 28, 40};
constexpr SheetCell BulletCell(int sheet, int colour) {
  return GridCell(colour, kBulletColours, kBulletCellW[sheet], kBulletCellH[sheet]);
}

// laser.png: ten rows by colour; the beam runs along x, its width across y, so a
// row is stretched along the segment.
constexpr int kLaserColours = 10;
constexpr int kLaserRowW = 64, kLaserRowH = 16;
constexpr SheetCell LaserRow(int colour) { return GridCell(colour, 1, kLaserRowW, kLaserRowH); }

// player0.png, player7.png: 4 animation frames across; rows 0 still, 1 moving left,
// 2 moving right.
constexpr int kPlayerFrames = 4, kPlayerRows = 3;
constexpr int kPlayerCellW = 32, kPlayerCellH = 48;
constexpr SheetCell PlayerCell(int row, int frame) {
  return GridCell(row * kPlayerFrames + frame, kPlayerFrames, kPlayerCellW, kPlayerCellH);
}

// shot.png: the player shots, pointing up.
enum ShotCellIndex { kShotNeedle0 = 0, kShotSpread0 = 1, kShotNeedle7 = 2, kShotOption7 = 3 };
constexpr int kShotCells = 4, kShotCellW = 16, kShotCellH = 32;
constexpr SheetCell ShotCell(int index) { return GridCell(index, kShotCells, kShotCellW, kShotCellH); }

// focus.png (the aura) and hitbox.png (the dot): one image each.
constexpr int kFocusSize = 64, kHitboxSize = 8;

// enemy.png: 8 kinds (rows) x 4 animation frames (columns) of 48 px.
constexpr int kEnemyKinds = 8, kEnemyFrames = 4, kEnemyCell = 48;
constexpr SheetCell EnemyCell(int kind, int frame) {
  return GridCell(kind * kEnemyFrames + frame, kEnemyFrames, kEnemyCell, kEnemyCell);
}

// item.png: kinds 0 small power, 1 large power, 2 point, 3 star, 4 bullet star.
constexpr int kItemKinds = 5, kItemCell = 20;
constexpr SheetCell ItemCell(int kind) { return GridCell(kind, kItemKinds, kItemCell, kItemCell); }

// effect.png: cosmetic effects, 64 px cells.
enum EffectCellIndex {
  kEffectVanish = 0,   // soft flash where a bullet vanished
  kEffectBurst = 1,    // enemy death burst
  kEffectRing = 2,     // break ring
  kEffectCharge = 3,   // boss charge flash
  kEffectShard = 4,    // blast shard
  kEffectSpark = 5,    // a player shot hitting
  kEffectBlast = 6,    // boss defeat blast
  kEffectBombWave = 7, // the burst bomb's wave
};
// Each cell is at least two thirds of the largest size its effect is drawn at (in
// brackets), so none is magnified more than 1.5x: the bomb wave fills the left of the
// sheet, the others stack in a column to its right, the three smallest side by side.
// Draw scales are written against kEffectScaleBase pixels and converted per cell.
constexpr int kEffectCells = 8, kEffectScaleBase = 64;
constexpr SheetCell kEffectCellTable[kEffectCells] = {
    {704, 624, 64, 64},    // vanish (41 px)
    {704, 544, 80, 80},    // burst (106)
    {704, 0, 224, 224},    // ring (307)
    {704, 432, 112, 112},  // charge (147)
    {768, 624, 64, 64},    // shard (26)
    {832, 624, 64, 64},    // spark (19)
    {704, 224, 208, 208},  // blast (282)
    {0, 0, 704, 704},      // bomb wave (1032)
};
constexpr int kEffectSheetW = 928, kEffectSheetH = 704;
constexpr SheetCell EffectCell(int index) { return kEffectCellTable[index]; }
constexpr bool EffectCellsFitApart() {
  for (int i = 0; i < kEffectCells; ++i) {
    const SheetCell a = kEffectCellTable[i];
    if (a.x < 0 || a.y < 0 || a.x + a.w > kEffectSheetW || a.y + a.h > kEffectSheetH) return false;
    for (int j = 0; j < i; ++j) {
      const SheetCell b = kEffectCellTable[j];
      if (a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h) return false;
    }
  }
  return true;
}
static_assert(EffectCellsFitApart());

// bossK.png (K 1..6): row 0 four idle frames, row 1 four casting frames.
constexpr int kBossKinds = 6, kBossFrames = 4, kBossCellW = 64, kBossCellH = 80;
constexpr SheetCell BossCell(bool casting, int frame) {
  return GridCell((casting ? kBossFrames : 0) + frame, kBossFrames, kBossCellW, kBossCellH);
}

// bossname.png: one name per boss kind 0..7 (rows).
constexpr int kBossNameRows = 8, kBossNameW = 160, kBossNameH = 24;
constexpr SheetCell BossNameCell(int kind) { return GridCell(kind, 1, kBossNameW, kBossNameH); }

// bossstatus.png: the life bar (stretched), its split colour, a card star and the
// timer's big digits 0..9.
constexpr int kStatusDigitW = 16, kStatusDigitH = 24;
constexpr SheetCell kStatusLifeBar{0, 0, 16, 4};
constexpr SheetCell kStatusLifeSplit{16, 0, 16, 4};
constexpr SheetCell kStatusStar{32, 0, 8, 8};
constexpr SheetCell StatusDigitCell(int digit) {
  return {digit * kStatusDigitW, 8, kStatusDigitW, kStatusDigitH};
}
constexpr int kStatusW = 10 * kStatusDigitW, kStatusH = 8 + kStatusDigitH;

// tatieK.png (K 0..7): 8 pose cells, 4 across and 2 down, pose 0 first.
constexpr int kPortraitKinds = 8, kPortraitPoses = 8, kPortraitW = 256, kPortraitH = 320;
constexpr SheetCell PortraitCell(int pose) { return GridCell(pose, 4, kPortraitW, kPortraitH); }

// The card banner: ef_spell2.png the name bar (stretched), the row labels, and
// mini_num.png's digits 0..9 with the separator in cell 10.
constexpr int kNameBarW = 256, kNameBarH = 8;
constexpr int kBonusLabelW = 48, kFailedLabelW = 48, kHistoryLabelW = 56, kBannerLabelH = 16;
constexpr int kMiniDigits = 11, kMiniDigitW = 10, kMiniDigitH = 16;
constexpr SheetCell MiniDigitCell(int index) { return GridCell(index, kMiniDigits, kMiniDigitW, kMiniDigitH); }

// Where the boss status and the card banner sit at the top of the field: one row each
// so that nothing overlaps (boss name and timer, life bar, card stars, card name, its
// bar, bonus and history), and no text smaller than the HUD's 16-pixel text.
constexpr int kHudTextH = 16;
constexpr int kStatusNameX = 40, kStatusNameY = 20;    // the boss name image, unscaled
constexpr int kStatusTimerX = 380, kStatusTimerY = 20;  // two big digits
constexpr int kStatusBarX = 48, kStatusBarY = 46, kStatusBarW = 340, kStatusBarH = 4;
constexpr int kStatusStarsY = 52, kStatusStarStep = 10;
constexpr int kCardNameY = 62, kCardBarY = 81, kCardBarH = 6, kCardRowY = 90;
static_assert(kStatusNameY + kBossNameH <= kStatusBarY && kStatusTimerY + kStatusDigitH <= kStatusBarY);
static_assert(kStatusNameX + kBossNameW <= kStatusTimerX && kStatusBarX + kStatusBarW <= kFieldX + kFieldW);
static_assert(kStatusBarY + kStatusBarH <= kStatusStarsY && kStatusStarsY + kStatusStar.h <= kCardNameY);
static_assert(kCardNameY + kHudTextH <= kCardBarY && kCardBarY + kCardBarH <= kCardRowY);
static_assert(kBannerLabelH >= kHudTextH && kMiniDigitH >= kHudTextH && kBossNameH >= kHudTextH);

// enemymark.png: 2 cells.
constexpr int kEnemyMarkCells = 2, kEnemyMarkCell = 32;
constexpr SheetCell EnemyMarkCell(int index) {
  return GridCell(index, kEnemyMarkCells, kEnemyMarkCell, kEnemyMarkCell);
}

// Notices. stagetitle.png, stagenum.png and stageplace.png hold 7 rows: row k is
// stage k + 1, row 6 the Extra stage.
constexpr int kStageRows = 7;
// The stage title is centred at x 180: at most 2 x (180 - kFieldX) wide, or the field's
// edge cuts its first letter.
constexpr int kStageTitleW = 288, kStageTitleH = 40;
constexpr int kStageNumW = 160, kStageNumH = 32;
constexpr int kStagePlaceW = 320, kStagePlaceH = 24;
constexpr SheetCell StageTitleCell(int row) { return GridCell(row, 1, kStageTitleW, kStageTitleH); }
constexpr SheetCell StageNumCell(int row) { return GridCell(row, 1, kStageNumW, kStageNumH); }
constexpr SheetCell StagePlaceCell(int row) { return GridCell(row, 1, kStagePlaceW, kStagePlaceH); }
constexpr int kItemLineW = 288, kItemLineH = 24;
constexpr int kStageClearW = 256, kStageClearH = 48;
constexpr int kCaptureW = 256, kCaptureH = 40;
constexpr int kBonusFailedW = 224, kBonusFailedH = 40;
constexpr int kBigDigitW = 16, kBigDigitH = 24;
constexpr SheetCell BigDigitCell(int digit) { return GridCell(digit, 10, kBigDigitW, kBigDigitH); }

// dialog.png: the conversation box, drawn at (40, 372)-(409, 456).
constexpr int kDialogW = 369, kDialogH = 84;

// hud.png: one label a row (the five difficulties, then the value labels), then the
// life and bomb stars.
enum HudLabelIndex {
  kHudEasy = 0, kHudNormal, kHudHard, kHudLunatic, kHudExtra,
  kHudHiScore, kHudScore, kHudPlayer, kHudBomb, kHudPower, kHudGraze, kHudPoint,
  kHudLabelCount
};
constexpr int kHudLabelW = 96, kHudLabelH = 20, kHudStar = 16;
constexpr SheetCell HudLabelCell(int index) { return GridCell(index, 1, kHudLabelW, kHudLabelH); }
constexpr SheetCell kHudLifeStar{0, kHudLabelCount * kHudLabelH, kHudStar, kHudStar};
constexpr SheetCell kHudBombStar{kHudStar, kHudLabelCount * kHudLabelH, kHudStar, kHudStar};
constexpr int kHudW = kHudLabelW, kHudH = kHudLabelCount * kHudLabelH + kHudStar;

// ending.png: row = ending kind 1..3 (row kind - 1), column = page 0..3.
constexpr int kEndingKinds = 3, kEndingPages = 4, kEndingW = 320, kEndingH = 240;
constexpr SheetCell EndingCell(int kind, int page) {
  return GridCell((kind - 1) * kEndingPages + page, kEndingPages, kEndingW, kEndingH);
}
