#pragma once
// Every image of the game by role, loaded once at the loading screen and kept for the
// whole run. Sheets are cut into one graph per cell (the geometry of
// game/content/asset_layout.h), so a draw never needs a source rectangle. A handle that did
// not load stays -1 and draws nothing.
#include "game/content/asset_layout.h"

struct GameImages {
  int title = -1, frame = -1;
  int background[8];   // back1..6, backex, spellback
  int player[2][kPlayerRows][kPlayerFrames];  // [CharacterRow][row][frame]
  int shot[kShotCells];
  int focus = -1, hitbox = -1;
  int bullet[kBulletSheetCount][kBulletColours];
  int laser[kLaserColours];
  int enemy[kEnemyKinds][kEnemyFrames];
  int item[kItemKinds];
  int effect[kEffectCells];
  int boss[kBossKinds][2][kBossFrames];  // [kind - 1][casting][frame]
  int statusBar = -1, statusSplit = -1, statusStar = -1;
  int statusDigit[10];
  int dialog = -1;
  int hudLabel[kHudLabelCount];
  int hudLifeStar = -1, hudBombStar = -1;
  int ending[kEndingKinds][kEndingPages];
  int staffroll = -1;
  int fieldGraph = -1;  // a screen graph from (0, 0) to the field's far corner, for the overlays and the shake

  GameImages();
};
extern GameImages g_images;

// The 70 image files in load order; the loading screen loads a few per frame.
constexpr int kImageFileCount = 70;
// Loads file `index` of the list and cuts its cells into g_images and the scripts'
// SpriteSheetHandles. A file that fails leaves its handles at -1 (the graph layer logs).
void LoadImageFile(int index);
// Frees every graph of g_images (tests; the library's end frees them anyway).
void ReleaseGameImages();
