// Loading the game's images and cutting the sheets into one graph per cell.
#include "game/draw/game_images.h"

#include <algorithm>
#include <cstdio>

#include "game/play/play_state.h"
#include "graphics/graph.h"

GameImages g_images;

namespace {

// Every member array of GameImages is ints all the way down.
template <class T>
void FillHandles(T& array) {
  static_assert(sizeof(T) % sizeof(int) == 0);
  std::fill_n(reinterpret_cast<int*>(&array), sizeof(T) / sizeof(int), -1);
}

int Cut(int sheet, const SheetCell& cell) { return DeriveGraph(cell.x, cell.y, cell.w, cell.h, sheet); }

// Loads one sheet, hands it to `cut`, then frees it: only the cells stay.
template <class CutFn>
void LoadSheet(const char* name, CutFn cut) {
  char path[64];
  std::snprintf(path, sizeof path, "./image/%s", name);
  const int sheet = LoadGraphFromFile(path);
  if (sheet == -1) return;
  cut(sheet);
  ReleaseGraphHandle(sheet);
}

int LoadWhole(const char* name) {
  char path[64];
  std::snprintf(path, sizeof path, "./image/%s", name);
  return LoadGraphFromFile(path);
}

void LoadRows(const char* name, CheckedHandles<7>& handles, int w, int h) {
  LoadSheet(name, [&](int sheet) {
    for (int row = 0; row < kStageRows; ++row) handles[row] = Cut(sheet, GridCell(row, 1, w, h));
  });
}

void LoadBackground(int index) {
  static const char* const kNames[8] = {"back1.png", "back2.png", "back3.png", "back4.png",
                                        "back5.png", "back6.png", "backex.png", "spellback.png"};
  g_images.background[index] = LoadWhole(kNames[index]);
}

void LoadPlayer(int row, const char* name) {
  LoadSheet(name, [&](int sheet) {
    for (int r = 0; r < kPlayerRows; ++r)
      for (int f = 0; f < kPlayerFrames; ++f) g_images.player[row][r][f] = Cut(sheet, PlayerCell(r, f));
  });
}

void LoadBulletSheet(int s) {
  char name[32];
  std::snprintf(name, sizeof name, "bullet%02d.png", s);
  LoadSheet(name, [&](int sheet) {
    for (int c = 0; c < kBulletColours; ++c) g_images.bullet[s][c] = Cut(sheet, BulletCell(s, c));
  });
}

void LoadBoss(int kind) {
  char name[32];
  std::snprintf(name, sizeof name, "boss%d.png", kind + 1);
  LoadSheet(name, [&](int sheet) {
    for (int casting = 0; casting < 2; ++casting)
      for (int f = 0; f < kBossFrames; ++f)
        g_images.boss[kind][casting][f] = Cut(sheet, BossCell(casting != 0, f));
  });
}

void LoadPortrait(int kind) {
  char name[32];
  std::snprintf(name, sizeof name, "tatie%d.png", kind);
  LoadSheet(name, [&](int sheet) {
    for (int pose = 0; pose < kPortraitPoses; ++pose)
      SpriteSheetHandles.portrait[kind][pose] = Cut(sheet, PortraitCell(pose));
  });
}

void LoadMisc(int index) {
  SpriteSheetSet& s = SpriteSheetHandles;
  GameImages& g = g_images;
  switch (index) {
    case 0: g.title = LoadWhole("title.png"); break;
    case 1: g.frame = LoadWhole("frame.png"); break;
    case 2:
      LoadSheet("shot.png", [&](int sheet) {
        for (int k = 0; k < kShotCells; ++k) g.shot[k] = Cut(sheet, ShotCell(k));
      });
      break;
    case 3: g.focus = LoadWhole("focus.png"); break;
    case 4: g.hitbox = LoadWhole("hitbox.png"); break;
    case 5:
      LoadSheet("laser.png", [&](int sheet) {
        for (int c = 0; c < kLaserColours; ++c) g.laser[c] = Cut(sheet, LaserRow(c));
      });
      break;
    case 6:
      LoadSheet("enemy.png", [&](int sheet) {
        for (int k = 0; k < kEnemyKinds; ++k)
          for (int f = 0; f < kEnemyFrames; ++f) g.enemy[k][f] = Cut(sheet, EnemyCell(k, f));
      });
      break;
    case 7:
      LoadSheet("item.png", [&](int sheet) {
        for (int k = 0; k < kItemKinds; ++k) g.item[k] = Cut(sheet, ItemCell(k));
      });
      break;
    case 8:
      LoadSheet("effect.png", [&](int sheet) {
        for (int k = 0; k < kEffectCells; ++k) g.effect[k] = Cut(sheet, EffectCell(k));
      });
      break;
    case 9:
      LoadSheet("bossname.png", [&](int sheet) {
        for (int k = 0; k < kBossNameRows; ++k) s.bossName[k] = Cut(sheet, BossNameCell(k));
      });
      break;
    case 10:
      LoadSheet("bossstatus.png", [&](int sheet) {
        g.statusBar = Cut(sheet, kStatusLifeBar);
        g.statusSplit = Cut(sheet, kStatusLifeSplit);
        g.statusStar = Cut(sheet, kStatusStar);
        for (int d = 0; d < 10; ++d) g.statusDigit[d] = Cut(sheet, StatusDigitCell(d));
      });
      break;
    case 11: s.spellNameBar = LoadWhole("ef_spell2.png"); break;
    case 12: s.bonusLabel = LoadWhole("ef_bonus.png"); break;
    case 13: s.failedLabel = LoadWhole("ef_failed.png"); break;
    case 14: s.historyLabel = LoadWhole("ef_history.png"); break;
    case 15:
      LoadSheet("mini_num.png", [&](int sheet) {
        for (int k = 0; k < kMiniDigits; ++k) s.miniDigit[k] = Cut(sheet, MiniDigitCell(k));
      });
      break;
    case 16:
      LoadSheet("enemymark.png", [&](int sheet) {
        for (int k = 0; k < kEnemyMarkCells; ++k) s.enemyMark[k] = Cut(sheet, EnemyMarkCell(k));
      });
      break;
    case 17: s.itemLine = LoadWhole("itemline.png"); break;
    case 18: LoadRows("stagetitle.png", s.stageTitle, kStageTitleW, kStageTitleH); break;
    case 19: LoadRows("stagenum.png", s.stageNumber, kStageNumW, kStageNumH); break;
    case 20: LoadRows("stageplace.png", s.stagePlace, kStagePlaceW, kStagePlaceH); break;
    case 21: s.stageClear = LoadWhole("stageclear.png"); break;
    case 22: s.capture = LoadWhole("capture.png"); break;
    case 23: s.bonusFailed = LoadWhole("bonusfailed.png"); break;
    case 24:
      LoadSheet("bignum.png", [&](int sheet) {
        for (int d = 0; d < 10; ++d) s.bigDigit[d] = Cut(sheet, BigDigitCell(d));
      });
      break;
    case 25: g.dialog = LoadWhole("dialog.png"); break;
    case 26:
      LoadSheet("hud.png", [&](int sheet) {
        for (int k = 0; k < kHudLabelCount; ++k) g.hudLabel[k] = Cut(sheet, HudLabelCell(k));
        g.hudLifeStar = Cut(sheet, kHudLifeStar);
        g.hudBombStar = Cut(sheet, kHudBombStar);
      });
      break;
    case 27:
      LoadSheet("ending.png", [&](int sheet) {
        for (int kind = 1; kind <= kEndingKinds; ++kind)
          for (int page = 0; page < kEndingPages; ++page)
            g.ending[kind - 1][page] = Cut(sheet, EndingCell(kind, page));
      });
      break;
    case 28: g.staffroll = LoadWhole("staffroll.png"); break;
    default: break;
  }
}

}  // namespace

GameImages::GameImages() {
  FillHandles(background);
  FillHandles(player);
  FillHandles(shot);
  FillHandles(bullet);
  FillHandles(laser);
  FillHandles(enemy);
  FillHandles(item);
  FillHandles(effect);
  FillHandles(boss);
  FillHandles(statusDigit);
  FillHandles(hudLabel);
  FillHandles(ending);
}

// Order: 29 single files and sheets, 8 backgrounds, 2 players, 17 bullet sheets,
// 6 bosses, 8 portraits = 70.
void LoadImageFile(int index) {
  if (index < 0) return;
  if (index < 29) return LoadMisc(index);
  index -= 29;
  if (index < 8) return LoadBackground(index);
  index -= 8;
  if (index < 2) return LoadPlayer(index, index == 0 ? "player0.png" : "player7.png");
  index -= 2;
  if (index < kBulletSheetCount) return LoadBulletSheet(index);
  index -= kBulletSheetCount;
  if (index < kBossKinds) return LoadBoss(index);
  index -= kBossKinds;
  if (index < kPortraitKinds) return LoadPortrait(index);
}

void ReleaseGameImages() {
  ReleaseAllGraphs();
  g_images = GameImages{};
  SpriteSheetHandles = SpriteSheetSet{};
}
