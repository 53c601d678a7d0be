#include "game/stages/boss_attack.h"

#include <cstdint>
#include <cstring>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/extra_attacks.h"
#include "game/stages/spell_banner.h"

AttackScratch g_attackScratch;

namespace {

// One entry per body; a null entry is a card whose pattern is not built: the tail alone
// runs for it, with the default name and no drain.
constexpr AttackBody kBodies[kAttackBodyCount] = {
    RunStage1MidBossCard,  // 0: ids 0-1
    RunStage1FirstCard,    // 1: ids 2-5
    RunStage1LastCard,     // 2: ids 6-9
    RunStage2SpokeCard,    // 3: ids 10-13
    RunStage2BellCard,     // 4: ids 14-17
    RunStage2FamiliarCard, // 5: ids 18-21
    RunStage3MidBossCard,  // 6: ids 22-25
    RunStage3RingCard,     // 7: ids 26-29
    RunStage3FigureCard,   // 8: ids 30-33
    RunStage3CageCard,     // 9: ids 34-37
    RunStage4CarpetCard,   // 10: ids 38-41
    RunStage4WallCard,     // 11: ids 42-45
    RunStage4GobletCard,   // 12: ids 46-49
    RunStage4GalleryCard,  // 13: ids 50-53
    RunStage4TrioCard,     // 14: ids 54-57
    RunStage5MidBossCard,  // 15: ids 58-61
    RunStage5LaserPairCard, // 16: ids 62-65
    RunStage5PentagramCard, // 17: ids 66-69
    RunStage5SpiralCard,   // 18: ids 70-73
    RunStage5CometCard,    // 19: ids 74-77
    RunStage6MirageCard,   // 20: ids 78-81
    RunStage6BounceCard,   // 21: ids 82-85
    RunStage6GridCard,     // 22: ids 86-89
    RunStage6PhaseCard,    // 23: ids 90-93
    RunStage6StairCard,    // 24: ids 94-97
    RunStage6LastCard,     // 25: ids 98-101
    // 26-42: ids 102-118, the Extra cards, one body each.
    RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard,
    RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard,
    RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard, RunExtraCard,
};

bool IsReplay() { return IsPlaybackScene(g_scene); }

// The history entry of the running player, or null when the row or the id lies outside
// the tables (practice slots past the card list, the Easy and Normal slot 0).
SpellCardRecord* HistoryOf(int id) {
  const int row = CharacterRow(g_player.character);
  if (AttackBodyOfId(id) < 0 || row < 0 || row > 1) return nullptr;
  return &SpellCardHistory[row][id];
}

void CountAttempt(int id) {
  SpellCardRecord* history = HistoryOf(id);
  if (history == nullptr || history->attempts >= 999 || IsReplay()) return;
  history->attempts += 1;
  CardSeenFlags[CharacterRow(g_player.character)][id] = 1;
}

void CountCapture(int id) {
  SpellCardRecord* history = HistoryOf(id);
  if (history == nullptr || history->captures >= 999 || IsReplay()) return;
  history->captures += 1;
}

// The captured card's bonus in big digits falling in one after another, units at x 272.
void ShowBonusDigits(int bonus) {
  int64_t power = 1;
  for (int k = 0; k <= 9 && power <= bonus; ++k, power *= 10) {
    const int digit = static_cast<int>((bonus / power) % 10);
    ShowNotice(120, 3, 16 * (17 - k), 130, 5 * (9 - k), SpriteSheetHandles.bigDigit[digit]);
  }
}

void EndCard(int id) {
  Boss& boss = g_bosses[0];
  if (boss.remainingCards != 0 && SlowDigitOfGameSpeed(g_gameSpeed) == 0) {
    PlayEffect(kSeCardEnd);
  }
  for (int slot = 0; slot < 3; ++slot) {
    g_bosses[slot].remainingCards -= 1;
    g_bosses[slot].moveFrames = 0.0;
  }
  g_bossPhase += 1;
  g_gameSpeed = WithoutSlowDigit(g_gameSpeed);
  for (int slot = 0; slot < 3; ++slot) g_bosses[slot].phaseTimer = 0;
  g_spellCardActive = 0;
  g_spellBackground = 0;

  if (g_spellCapture == 1) {
    CountCapture(id);
    ShowNotice(120, 2, 224, 100, 0, SpriteSheetHandles.capture);
    ShowBonusDigits(g_spellBonus);
    // A card captured on the very step that drained its bonus below zero pays nothing.
    if (g_spellBonus > 0) AddScore(g_spellBonus);
    boss.dropPoint *= 2;
  } else {
    ShowNotice(120, 10, 224, 100, 0, SpriteSheetHandles.bonusFailed);
  }
  if (boss.spellTimer > 1 || boss.maxHp == 100) SpawnItems(2, 0);
  EraseAllBullets();
}

}  // namespace

int AttackBodyOfId(int id) {
  if (id < 0 || id > 118) return -1;
  if (id <= 1) return 0;
  if (id <= 101) return (id + 2) / 4;
  return 26 + (id - 102);
}

void ResetAttackScratch() { std::memset(&g_attackScratch, 0, sizeof g_attackScratch); }

void DeclareCard(AttackStep& step, const CardSetup& card) {
  if (g_difficulty <= 3) step.name = CardName(step.id);
  step.portrait = card.portrait;
  step.bonusDrain = card.drain;
  Boss& boss = g_bosses[0];
  if (boss.phaseTimer != 1) return;
  boss.hp = boss.maxHp = card.hp;
  boss.spellTimer = card.steps;
  g_spellBonus = card.bonus;
  boss.moveFrames = 0.0;
  g_spellCardActive = card.cardActive;
}

// Lasers in state 2 whose far end has crossed a side wall go on from there, mirrored.
void ContinueLasersAtSideWalls() {
  for (Laser& laser : g_lasers) {
    if (laser.state != 2 || (laser.x2 >= kFieldLeft && laser.x2 <= kFieldRight)) continue;
    // A laser of no length has no direction to mirror.
    if (laser.fullLength <= 0) continue;
    const Laser old = laser;
    const double w = old.fullLength;
    SpawnLaser(11, old.x2, old.y2, old.x2 + (old.x1 - old.x2) / w, old.y2 + (old.y2 - old.y1) / w,
               old.growth, old.fullLength, old.fullWidth, old.triggerAge - old.age,
               old.lifetime - old.age, old.colour);
    laser.state = 1;
  }
}

const char* RunBossAttack(int id) {
  AttackStep step{id, kUnknownCardName, 0, 0};
  const int body = AttackBodyOfId(id);
  if (body >= 0 && kBodies[body] != nullptr) kBodies[body](step);

  Boss& boss = g_bosses[0];

  // 1. Drain while a card fires; on other steps a bonus left below zero is floored.
  if (boss.phaseTimer >= 100 && boss.state != 3 && boss.state != 0 && boss.maxHp != 100) {
    const int64_t drained = int64_t{g_spellBonus} - step.bonusDrain;
    g_spellBonus = drained < INT32_MIN ? INT32_MIN : static_cast<int>(drained);
  } else if (g_spellBonus < 0) {
    g_spellBonus = 0;
  }

  // 2. A bomb from before the card holds the attack just short of its first firing step.
  if (g_bombActive == 1 && boss.phaseTimer == 98) boss.phaseTimer = 97;

  // 3. Capture flag.
  const int t = boss.phaseTimer;
  if ((boss.spellTimer == 1 && boss.maxHp != 100) || g_player.state == -6 ||
      (g_bombActive == 1 && t >= 100)) {
    g_spellCapture = 0;
  }
  if (t == 1) g_spellCapture = 1;

  // 4. The practice menu only wants the name.
  if (IsMenuScene(g_scene)) return step.name;

  // 5. History.
  if (t == 1 && g_bossPhase > 0) CountAttempt(id);

  // 6. Banner.
  if (boss.state != 0) DrawSpellCardBanner(step.portrait, step.name, id);

  // 7. End of the card.
  if ((boss.spellTimer == 1 || boss.hp <= 0) && boss.state != 3) EndCard(id);

  // 8. A card that runs while boss 0 is free (spell practice) makes it, entering from
  // beyond the right edge.
  if (boss.state == 0 && g_bossPhase > 0 && g_spellBackground == 1) {
    InitBoss(0, 0, step.portrait, 450.0, 100.0);
  }
  return "";
}
