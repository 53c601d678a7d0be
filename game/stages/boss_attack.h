#pragma once
// One step of a boss attack: the body of the card id (its settings and its pattern),
// then the tail every card shares: the bonus drain, the capture rules, the history,
// the banner and the end of the card.

// What a body declares for this step only; the entry sets the defaults first.
struct AttackStep {
  int id;            // the card id the body runs for
  const char* name;  // the card's name
  int portrait;      // boss kind of the banner's portrait and of a re-made boss 0
  int bonusDrain;    // points taken from the bonus this step
};

// Values an attack keeps between its steps (angles, signs, sizes, remembered slots).
// Cleared at every play and stage start.
struct AttackScratch {
  double angle;
  double sign;
  int ringSize;
  double values[16];
  int slots[32];
};
extern AttackScratch g_attackScratch;

constexpr int kAttackBodyCount = 43;

// The body index of a card id, or -1 for an id outside 0..118.
int AttackBodyOfId(int id);

// Runs one step of attack `id`. Returns the card's name while a practice menu
// (scenes 300..399) asks for it, else "".
const char* RunBossAttack(int id);

// The stage-specific body sources fill these in; a card whose body is not built runs
// the tail alone.
using AttackBody = void (*)(AttackStep& step);
void RunStage1MidBossCard(AttackStep& step);  // slot 0
void RunStage1FirstCard(AttackStep& step);    // slot 1
void RunStage1LastCard(AttackStep& step);     // slot 2
void RunStage2SpokeCard(AttackStep& step);    // slot 3
void RunStage2BellCard(AttackStep& step);     // slot 4
void RunStage2FamiliarCard(AttackStep& step); // slot 5
void RunStage3MidBossCard(AttackStep& step);  // slot 6
void RunStage3RingCard(AttackStep& step);     // slot 7
void RunStage3FigureCard(AttackStep& step);   // slot 8
void RunStage3CageCard(AttackStep& step);     // slot 9
void RunStage4CarpetCard(AttackStep& step);   // slot 10
void RunStage4WallCard(AttackStep& step);     // slot 11
void RunStage4GobletCard(AttackStep& step);   // slot 12
void RunStage4GalleryCard(AttackStep& step);  // slot 13
void RunStage4TrioCard(AttackStep& step);     // slot 14: the stage-4 trio's card
void RunStage5MidBossCard(AttackStep& step);  // slot 15
void RunStage5LaserPairCard(AttackStep& step); // slot 16
void RunStage5PentagramCard(AttackStep& step); // slot 17
void RunStage5SpiralCard(AttackStep& step);   // slot 18
void RunStage5CometCard(AttackStep& step);    // slot 19
void RunStage6MirageCard(AttackStep& step);   // slot 20
void RunStage6BounceCard(AttackStep& step);   // slot 21
void RunStage6GridCard(AttackStep& step);     // slot 22
void RunStage6PhaseCard(AttackStep& step);    // slot 23
void RunStage6StairCard(AttackStep& step);    // slot 24
void RunStage6LastCard(AttackStep& step);     // slot 25

// What a card body declares: its name (on Easy to Lunatic), portrait and drain on every
// step, and on the attack's first step (timer 1) boss 0's HP and time, the bonus, the
// card look and a stop of any move in progress.
struct CardSetup {
  int portrait, hp, steps, bonus, drain;
  int cardActive = 1;  // 0 for a card that never shows the card look
};
void DeclareCard(AttackStep& step, const CardSetup& card);

// Lasers in state 2 whose far end has crossed a side wall go on from there, mirrored in x
// (each only once: the old laser drops to state 1).
void ContinueLasersAtSideWalls();

void ResetAttackScratch();
