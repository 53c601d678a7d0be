// Bosses: the update, the movement law, damage rules, the warp and the boss effects.
#include <algorithm>
#include <cstdlib>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"

namespace {

bool ValidBossSlot(int slot) { return slot >= 0 && slot < kBossSlots; }

void MoveTowardTarget(Boss& boss) {
  if (!(boss.moveFrames > 0.0)) return;
  if (boss.moveFrames <= 1.0) {
    boss.x = boss.targetX;
    boss.y = boss.targetY;
    boss.moveFrames = 0.0;
    return;
  }
  boss.x += (boss.targetX - boss.x) / boss.moveFrames;
  boss.y += (boss.targetY - boss.y) / boss.moveFrames;
  boss.moveFrames -= 1.0;
}

void RecordTrail(int slot) {
  BossEffect& effect = BossEffects[slot];
  for (int k = 7; k > 0; --k) {
    effect.trailX[k] = effect.trailX[k - 1];
    effect.trailY[k] = effect.trailY[k - 1];
  }
  effect.trailX[0] = g_bosses[slot].x;
  effect.trailY[0] = g_bosses[slot].y;
  effect.trailCount = std::min(effect.trailCount + 1, 8);
}

void AdvanceCharge(int entry) {
  if (BossEffects[entry].chargeCounter > 0) {
    PLAY_DRAW(bossCharge, entry);
    BossEffects[entry].chargeCounter -= 1;
  }
}

void AdvanceRing(int entry) {
  BossEffect& effect = BossEffects[entry];
  if (effect.ringCounter <= 0) return;
  PLAY_DRAW(breakRing, entry);
  effect.ringCounter += 1;
  if (effect.ringCounter > 60) effect.ringCounter = 0;
}

}  // namespace

bool BossTakesDamage(const Boss& boss) {
  return (boss.state == 1 || boss.state == 2) && boss.phaseTimer >= 100 && boss.maxHp != 100 &&
         g_talkActive == 0;
}

void DamageBoss(Boss& boss, int damage) {
  if (BossTakesDamage(boss)) boss.hp -= damage;
}

void UpdateBosses() {
  for (int slot = 0; slot < kBossSlots; ++slot) {
    Boss& boss = g_bosses[slot];
    if (boss.state == 0) continue;
    boss.phaseTimer += 1;
    if (boss.spellTimer > 0 && g_bosses[0].state != 0 && g_bosses[0].state != 3)
      boss.spellTimer -= 1;
    MoveTowardTarget(boss);
    MoveBoss(slot, 1, 0.0, 0.0, 0);
    RecordTrail(slot);
  }
  PLAY_DRAW(bosses);
}

void InitBoss(int slot, int remainingCards, int kind, double x, double y) {
  if (!ValidBossSlot(slot)) return;
  Boss& boss = g_bosses[slot];
  boss = Boss{};
  boss.x = x;
  boss.y = y;
  boss.state = 1;
  boss.hp = boss.maxHp = 100;
  boss.remainingCards = remainingCards;
  boss.kind = kind;
  boss.spellTimer = -1;
  BossEffects[slot] = BossEffect{};
}

void SetBossMoveTarget(int slot, double x, double y, double steps) {
  Boss& boss = g_bosses[slot];
  boss.targetX = x;
  boss.targetY = y;
  boss.moveFrames = steps;
}

void MoveBoss(int slot, int mode, double x, double y, int /*extra*/) {
  if (!ValidBossSlot(slot)) return;
  Boss& boss = g_bosses[slot];
  BossWarp& warp = BossEffects[slot].warp;
  if (mode == 0) {
    warp.targetX = std::clamp(x, 43.0, 404.0);
    warp.targetY = std::clamp(y, 40.0, 446.0);
    if (!(boss.phaseTimer > 1 && (boss.hp > 0 || g_talkActive != 0))) {
      warp.targetX = x;  // only the point is recorded
      warp.targetY = y;
      return;
    }
    if (!warp.active) warp.savedState = boss.state;
    warp.active = 1;
    warp.counter = 0;
    boss.moveFrames = 0.0;
    boss.state = 4;
    return;
  }
  if (mode != 1 || !warp.active) return;
  warp.counter += 1;
  PLAY_DRAW(bossWarp, slot);
  if (warp.counter == 15) {
    boss.x = warp.targetX;
    boss.y = warp.targetY;
  }
  if (warp.counter >= 30) {
    warp.active = 0;
    RunBossBreakRing(0, slot);
    if (boss.state == 4) boss.state = warp.savedState;
  }
}

void SetBossAnimation(int slot, int mode, int steps) {
  Boss& boss = g_bosses[slot];
  if (mode == 0)
    boss.pose = steps;
  else if (mode == 1 && boss.pose > 0)
    boss.pose -= 1;
}

void RunBossChargeEffect(int slot, int mode) {
  if (mode == 0) {
    int entry = ValidBossSlot(slot) ? slot : 3;
    BossEffects[entry].chargeCounter = 60;
    PlayEffect(kSeBossCharge);
    if (ValidBossSlot(slot)) g_bosses[slot].pose = 60;
    return;
  }
  if (mode != 1 || !ValidBossSlot(slot)) return;
  AdvanceCharge(slot);
  if (slot == 0) AdvanceCharge(3);
}

void RunBossBreakRing(int mode, int slot) {
  if (mode == 0) {
    int entry = ValidBossSlot(slot) ? slot : 3;
    BossEffect& effect = BossEffects[entry];
    effect.ringCounter = 1;
    effect.ringX = entry == 3 ? 224.0 : g_bosses[slot].x;
    effect.ringY = entry == 3 ? 200.0 : g_bosses[slot].y;
    return;
  }
  if (mode != 1 || !ValidBossSlot(slot)) return;
  AdvanceRing(slot);
  if (slot == 0) AdvanceRing(3);
}

void RunBossExplosion(int mode) {
  if (mode == 0) {
    const Boss& boss = g_bosses[0];
    bool inside = InsideField(boss.x, boss.y, 0.0);
    g_bossBlast.counter = 40;
    g_bossBlast.x = inside ? boss.x : 224.0;
    g_bossBlast.y = inside ? boss.y : 200.0;
    g_bossBlast.shardClock = 0;
    PlayEffect(kSeBossBlast);
    return;
  }
  if (mode != 1 || g_bossBlast.counter <= 0) return;
  g_bossBlast.counter -= 1;
  g_bossBlast.shardClock += 1;
  PLAY_DRAW(blast);
  if (g_bossBlast.counter == 0) {
    for (Boss& boss : g_bosses)
      if (boss.state == 3) boss.state = 0;
  }
}

void DrawBossStatus(int barSplit, int spellBackground) {
  const Boss& boss = g_bosses[0];
  if (boss.state == 0) return;
  if (boss.spellTimer >= 1 && boss.spellTimer <= 600 && boss.spellTimer % 60 == 0)
    PlayEffect(kSeTimerTick);
  PLAY_DRAW(bossStatus, barSplit, spellBackground);
}
