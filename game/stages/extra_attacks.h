#pragma once
// The seventeen Extra cards (ids 102-118): their shared frame and the bodies of both
// halves. One entry for the body table; the two sources share the helpers below.
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_frame.h"
#include "game/stages/stage_helpers.h"

// Runs the Extra card of step.id (102..118).
void RunExtraCard(AttackStep& step);
void ResetExtraAttacks();

namespace extra_cards {

inline int T() { return g_bosses[0].phaseTimer; }
inline Boss& B(int slot = 0) { return g_bosses[slot]; }
inline double AimFrom(double x, double y) { return AngleToPlayer(x, y); }
inline int Rand(int n) { return NextRandom() % n; }

// A laser kept by slot and birth step: a freed slot given to another laser is no longer it.
struct KeptLaser {
  int slot = -1;
  uint32_t born = 0;
};
KeptLaser KeepLaser(int slot);
Laser* LiveLaser(const KeptLaser& kept);

// The pattern state of the cards beyond the five scratch values: bullets and lasers kept
// by slot, so that a slot reused by another bullet or laser is never fired from.
struct ExtraCardState {
  Kept emitters[8];        // 106: four kBehaviourBossPhased, four kBehaviourCircleCentre;
                           // 107: pair, gunners
  KeptLaser gunnerLaser[4];
  KeptLaser star[6][9];    // 109: arm k of stage j; 113: the five star lines in [0]
  KeptLaser lattice[12];   // 111: the twelve mirror lasers
  Kept pair[2];            // 115: the two ring emitters
};
extern ExtraCardState g_extraCards;

// The trio's cards (111-114) and the four met only in spell practice (115-118).
void RunExtraMirrorLatticeCard(AttackStep& step);
void RunExtraFenceCard(AttackStep& step);
void RunExtraBreathingStarCard(AttackStep& step);
void RunExtraLongLastCard(AttackStep& step);
void RunExtraTwinEmitterCard(AttackStep& step);
void RunExtraEnemyWaveCard(AttackStep& step);
void RunExtraFreezeCard(AttackStep& step);
void RunExtraLastPracticeCard(AttackStep& step);

}  // namespace extra_cards
