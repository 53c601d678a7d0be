#pragma once
// The frame every stage script shares: the conversation step over the stage's line
// table, the boss entrance and music, the mid-boss timeout and end, the end of the boss
// fight, and the marks that close a stage (stage clear at 200000, the next scene at
// 200120). A stage's own unit holds only its timeline, waves, firing, lines and phases.
#include <cstdint>

struct Enemy;
struct EnemyBullet;
struct DialogueText;

// True on every `period`-th count (never for a period of 0 or less).
inline bool Every(int counter, int period) { return period > 0 && counter % period == 0; }
// A value given per difficulty, Easy / Normal / Hard / Lunatic (out-of-range difficulties
// take the nearest).
int PerDifficulty(int easy, int normal, int hard, int lunatic);

// True for frame = first, first + step, first + 2 * step, ... up to last.
bool InRun(int frame, int first, int last, int step);
// An enemy's two-segment move: the age its first segment ends, the age its second
// starts, and whether it is pausing between them (both ages included).
int FirstEnd(const Enemy& e);
int SecondStart(const Enemy& e);
bool Pausing(const Enemy& e);
// Pausing, on every `period`-th step counted from the first segment's end.
bool PausingEvery(const Enemy& e, int period);
// The parity of an enemy's sprite: the two of a pair fire in opposite colours.
int Parity(const Enemy& e);
// The angle from an enemy to the player.
double Aim(const Enemy& e);

// Marks of g_stageFrame. Setting a mark makes the next step see the mark + 1.
constexpr int kOpeningTalkEnd = 10000;
constexpr int kBossFightStart = 10001;
constexpr int kBossDefeated = 99999;
constexpr int kClosingTalkStart = 100000;
constexpr int kClosingTalkEnd = 199999;
constexpr int kStageClear = 200000;
constexpr int kNextScene = 200120;

// The values one conversation line shows; a line table overwrites what its line sets.
// Character 100 is no portrait; side 0 the left speaks, 1 the right, 3 both slide out.
struct DialogueLine {
  int side = 3;
  int leftCharacter = 100;
  int leftPose = 0;
  int rightCharacter = 100;
  int rightPose = 0;
  const char* line1 = "";
  const char* line2 = "";
};
using LineTable = void (*)(DialogueLine& line);

// The row of a line table whose `number` is the line's, or null: a line with no row
// shows nothing.
template <typename Row, int N>
const Row* FindLineRow(const Row (&rows)[N], int number) {
  for (const Row& row : rows) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

// A spoken line: its side, the player's portrait at `leftPose` and `rightCharacter` at
// `rightPose`, and its text. A left pose below 0, or a right character below 0, keeps
// that side's default (no portrait).
void FillDialogueLine(DialogueLine& line, int side, int leftPose, int rightCharacter,
                      int rightPose, const DialogueText& text);

// What makes one stage: its timeline switch (with the join), one enemy slot's firing,
// its line table, its boss phases and, for a stage that has one, an emitter of its own
// that runs after the enemies have fired.
struct StageParts {
  // The timeline: the waves spawned at their frames and the join to the boss marks;
  // runs only while no conversation and no boss phase is active.
  void (*waves)();
  // The firing of enemy slot `slot` (0-29), called for every slot after the waves.
  void (*fire)(int slot);
  // The stage's conversation lines, shown while g_talkActive is set.
  LineTable lines;
  // The boss phases, run while g_bossPhase is set.
  void (*bossFight)();
  // An emitter of the stage's own, after the enemies have fired; null for none.
  void (*afterFiring)() = nullptr;
};
// One step of a stage: the timeline, the firing of the 30 enemy slots and the stage's own
// emitter while neither a conversation nor a fight runs, then the conversation, then the fight (each may start
// the next, which then runs its first step at once).
void RunStageSteps(const StageParts& parts);

// One conversation step: the defaults, the stage's line for g_talkActive (which may
// act first), then ShowDialogue, which advances the line by itself.
void RunConversationStep(LineTable table);

// The stage theme at the first frame, with its title line, and the reset of the
// conversation box.
void StartStageMusic(int track);
// One of the stage's opening notices of sprite cell `cell`: 0 its title, 1 its number,
// 2 its place.
void ShowStageTitleNotice(int cell, int part);
// The boss theme, once per stage: boss slot 2's state marks that it has started.
void StartBossMusicOnce(int track);
// The charge flash at (224, 150) and boss 0's warp there.
void WarpBossIn();
// Brings back a boss left in state 3 by the mid-boss: the charge flash at (224, 150),
// a warp there and the boss's name.
void EnterBoss(int remainingCards);
// A boss made on this line (in slot 0 at (420, 100)) that flies to (224, 150) on the next
// step, its timer at 1, showing its name.
void FlyInBoss(int remainingCards, int kind);
// A boss left in state 3 shows again with its name, keeping its place and its cards.
void BringBossBack();
void EndOpeningConversation();
void EndClosingConversation();

// The last wave: bullets erased, items drawn to the player, the opening conversation.
void EndWaves();
void AttractAllItems();
// The enemy-warning mark (the mark sheet's second cell) at (x, y) for 60 steps.
void ShowEnemyMark(int x, int y);
// The item-collection line notice and its guide laser across the field at y 150.
void ShowItemLine();

// The bell, every enemy's death on its next update, and every bullet in flight frozen
// into a sleeping star (sheet 13, colour 4, half its limit) that wakes 30 steps later and
// drifts off, turned by a random -15..14 degrees (one draw per bullet, in slot order).
// Each bullet's age restarts at 0 (the starting-age part of a spawn code) while its state
// stays live, so the trigger at 30 counts from this step.
void ClearOutField();

// The boss fight starts at its first phase on the step after the opening conversation.
void StartBossFight(int firstPhase);
// A mid-boss still fighting inside the window [first, last] leaves upward, toward x
// `exitX` above the field.
void RunMidBossTimeout(int firstFrame, int lastFrame, double exitX = 0.0);
// The mid-boss's last phase: the waves resume at `resumeFrame` when the fight outlasted it.
void EndMidBoss(int resumeFrame);
// The boss's last phase: break ring, a shake, items drawn in, and on to the closing talk.
void EndBossFight();
// The break ring at boss 0, a 30-step shake, and no boss phase running: the common end
// of a fight.
void EndFightWithBreakRing();

// Boss 0's random moves. The order of the two draws is part of what a replay repeats.
// A move of 50 steps toward the player: x (the player's x -50..49, kept inside 124..324)
// is drawn first, then y (125..174).
void MoveBossNearPlayer();
// A warp to (xBase + 0..xRange-1, 125..174): y is drawn first, then x.
void WarpBossToRandomSpot(int xBase, int xRange);

// A non-spell attack's values, set on its first step.
struct NonSpell {
  int hp, steps, dropPower, dropPoint, dropSpecial;
  bool stopsMove;  // also stops any move in progress
};
// Sets the values at timer 1.
void RunNonSpellStart(const NonSpell& values);
// True once a non-spell has ended: its HP or its time is gone.
bool NonSpellOver();
// The card that follows a non-spell: its first step runs in the same call.
void StartCardAfterNonSpell();
// One step of a non-spell while it runs: its values at timer 1, its pattern, and then, on
// the same step, the end test that starts the card. The step that ends it fires as any
// other.
void RunNonSpell(const NonSpell& values, void (*pattern)());
// A non-spell and then the card of `cardSlot`, whose first step runs in the same call as
// the non-spell's last.
void RunNonSpellPhase(const NonSpell& values, void (*pattern)(), int cardSlot);
// The boss's last card ending: the boss is beaten with the defeat blast, and the card
// ends once the blast has freed it.
void BlowUpBossAtLastCardEnd();

// The boss's last phase of a card alone: a wait of `wait` until timer 180, then the card
// of `cardSlot`, with the boss blown up at its end.
void RunWaitThenLastCard(const NonSpell& wait, int cardSlot);

// 200000: the stage-clear notice and the stage bonus of (scene digit) x 1,000,000.
void ShowStageClear();
// 200120: the next stage, or the end of a practice play.
void MoveToNextScene();
// Runs the mark of the current frame when it is 200000 or 200120.
void RunStageEndMarks();

// A bullet kept by its slot and serial: a slot that was freed and given to another bullet
// is no longer it.
struct Kept {
  int slot;  // -1: none
  uint32_t serial;
};
// Keeps the bullet a spawn returned; a full pool (slot 800) keeps none.
Kept Keep(int slot);
// The kept bullet while it is still in flight in its slot, else null.
EnemyBullet* Live(const Kept& kept);
