#pragma once
// State of the "Show"/"Draw" operations and the boss effects, kept beside the play
// records (never inside them: scripts exchange whole Boss records). The logic parts
// are hashed for replays; the cosmetic parts (shards, flashes, pop-ups, trail) are
// driven by the C library's rand() and never reach logic.
#include <cstdint>

struct BossWarp {
  int active, counter;  // counter 0-30
  double targetX, targetY;
  int savedState;
};

struct BossEffect {  // entries 0-2: boss slots 0-2; entry 3: the fixed points
  BossWarp warp;
  int chargeCounter;           // 60 down to 0
  int ringCounter;             // 0 idle, else frames since the ring started (1-60)
  double ringX, ringY;
  double trailX[8], trailY[8];  // cosmetic
  int trailCount;               // cosmetic
};
extern BossEffect BossEffects[4];

struct BossBlast {
  int counter;  // 40 down to 0
  double x, y;
  int shardClock;  // cosmetic
};
extern BossBlast g_bossBlast;

struct DialogueBox {
  int slideLeft, slideRight;  // 0 in, 120 out
  int clock;                  // the line clock
  // What the last call showed, for drawing.
  int side, leftCharacter, leftPose, rightCharacter, rightPose;
  const char* line1;
  const char* line2;
};
extern DialogueBox g_dialogue;

struct Notice {
  int frames, mode, x, y, delay, image, age;
};
extern Notice g_notices[25];

struct MusicTitleLine {
  char text[64];
  int frames;  // frames shown so far; 0 idle
};
extern MusicTitleLine g_musicTitle;
extern int g_currentMusic;  // index of the track now playing, -1 none

struct FocusAura {
  int alpha;     // 0-250
  double angle;  // turns 2 degrees a frame
};
extern FocusAura g_focusAura;

struct ShakeView {
  int dx, dy;  // cosmetic: the field's offset this frame
};
extern ShakeView g_shakeView;

// Cosmetic pools.
struct VanishFlash {
  double x, y;
  int life, colour, sheet;
};
struct EnemyBurst {
  double x, y;
  int life, sprite;
};
struct ScorePopup {
  double x, y;
  int life, value;
};
constexpr int kVanishFlashSlots = 1024, kBurstSlots = 64, kScorePopupSlots = 64;
extern VanishFlash g_vanishFlashes[kVanishFlashSlots];
extern EnemyBurst g_bursts[kBurstSlots];
extern ScorePopup g_scorePopups[kScorePopupSlots];

void AddVanishFlash(double x, double y, int colour, int sheet);
void AddEnemyBurst(double x, double y, int sprite);
void AddScorePopup(double x, double y, int value);
// Clears the effect records (all, or one boss slot's entry).
void ResetEffects();
