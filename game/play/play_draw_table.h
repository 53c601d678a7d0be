#pragma once
// The one draw interface of the play. Every pool update and every "Show"/"Draw"
// operation runs its logic first and then calls the matching entry here; the
// drawing layer reads the play state itself. A null table, or a null entry, draws
// nothing, which is how headless runs and tests go.

struct PlayDrawTable {
  void (*background)();            // the field cleared and the stage or spell background
  void (*scorePopups)();
  void (*items)();
  void (*enemyEffects)();          // vanish flashes and bursts
  void (*enemies)();
  void (*bosses)();                // DrawBoss
  void (*player)();                // player, shots, bomb
  void (*bullets)();
  void (*lasers)();
  void (*dialogue)();              // reads g_dialogue
  void (*notices)();               // reads g_notices
  void (*musicTitle)();            // reads g_musicTitle
  void (*shake)();                 // reads g_shakeView
  void (*focusAura)();             // reads g_focusAura
  void (*bossCharge)(int entry);   // BossEffects[entry]; 3 is the fixed point
  void (*breakRing)(int entry);
  void (*bossWarp)(int slot);
  void (*blast)();                 // reads g_bossBlast
  void (*bossStatus)(int barSplit, int spellBackground);
};

// Set by the drawing layer; null in headless runs.
extern const PlayDrawTable* g_playDraw;

#define PLAY_DRAW(entry, ...)                                   \
  do {                                                          \
    if (g_playDraw && g_playDraw->entry) g_playDraw->entry(__VA_ARGS__); \
  } while (0)
