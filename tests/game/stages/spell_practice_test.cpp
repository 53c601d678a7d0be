// Spell-card practice through the step runner: every card of stages 1 and 2 alone, the
// conversation before the last Extra card, and practice slots that name no card.
#include "game/stages/spell_practice.h"

#include "game/stages/boss_attack.h"
#include <algorithm>
#include <vector>

#include "game/play/replay_memory.h"

#include "play_fixture.h"

namespace {

class SpellPractice : public PlayFixture {};

TEST_F(SpellPractice, EveryCardOfStages1And2RunsFromEntryToTheEndOfThePlay) {
  for (int slot = 0; slot < 6; ++slot) {
    for (int difficulty = slot == 0 ? 2 : 0; difficulty < 4; ++difficulty) {
      for (bool firing : {false, true}) {
        SCOPED_TRACE(slot * 100 + difficulty * 10 + firing);
        SpellCardHistory.Clear();
        Begin(200 + slot, difficulty);
        const int id = GetSpellCardId(difficulty, slot);
        ASSERT_EQ(PracticeCardId(), id);
        int entered = -1, ended = -1, blast = 0, steps = 0;
        for (; steps < 8000 && g_stageOver == 0; ++steps) {
          g_player.invulnerable = 1 << 20;
          SetLiveInput(firing ? FiringInput(steps) : 0);
          RunLogicStep();
          if (entered < 0 && g_bosses[0].state != 0) entered = steps;
          if (ended < 0 && g_stageFrame == 10001) ended = steps;
          blast = std::max(blast, g_bossBlast.counter);
        }
        ASSERT_EQ(g_stageOver, 1);
        EXPECT_EQ(entered, 100) << "the boss is made at frame 100";
        EXPECT_GT(ended, entered);
        EXPECT_EQ(steps - 1, ended + 121) << "the play ends on the step that sees frame 10121";
        EXPECT_EQ(SpellCardHistory[0][id].attempts, 1);
        EXPECT_EQ(CardSeenFlags[0][id], 1);
        // The familiars of slot 5 cost the boss its HP inside the card's own step, so that
        // card ends by HP before the stage's blast check sees it: no blast, but the
        // practice still ends. Every other card is blown up and, left alone, times out.
        if (slot != 5) {
          EXPECT_GT(blast, 0) << "the last card's boss is blown up";
          EXPECT_EQ(g_bosses[0].state, 0);
          if (!firing) {
            EXPECT_EQ(SpellCardHistory[0][id].captures, 0) << "a timed-out card is not captured";
          }
        }
      }
    }
  }
}

// The cards of stages 3 to 6 on every difficulty, still and firing, and every Extra card
// firing: each play ends within its budget with its card tried once.
TEST_F(SpellPractice, EveryCardOfStages3To6AndTheExtraRunsToTheEndOfThePlay) {
  const auto bossGone = [](int, bool) { EXPECT_EQ(g_bosses[0].state, 0); };
  PlayEveryCardInPractice(6, 9, 8000, bossGone);
  PlayEveryCardInPractice(10, 14, 20000, [](int, bool) { EXPECT_EQ(g_gameSpeed % 10, 0); });
  PlayEveryCardInPractice(14, 19, 8000, bossGone);
  PlayEveryCardInPractice(20, 25, 8000);
  for (int slot = 0; slot <= 16; ++slot) {
    SCOPED_TRACE(slot);
    ASSERT_GT(PlayThrough(200 + slot, 4, true, 12000), 0);
    EXPECT_EQ(g_stageOver, 1);
    EXPECT_EQ(SpellCardHistory[0][102 + slot].attempts, 1);
  }
}

TEST_F(SpellPractice, LastExtraCardOpensWithItsConversation) {
  Begin(216, 4, 7);  // Extra slot 16: id 118, whatever the character
  ASSERT_EQ(PracticeCardId(), 118);
  Step(60);
  EXPECT_EQ(g_talkActive, 0);
  Step();
  EXPECT_EQ(g_talkActive, 1);
  EXPECT_EQ(g_bosses[0].kind, 4);
  EXPECT_EQ(g_bosses[1].kind, 5);
  EXPECT_EQ(g_bosses[2].kind, 6);
  EXPECT_EQ(g_bosses[0].x, 420.0);
  Step();
  EXPECT_EQ(g_bosses[0].targetX, 224.0);
  EXPECT_EQ(g_bosses[1].targetX, 324.0);
  EXPECT_EQ(g_bosses[2].targetX, 124.0);
  EXPECT_EQ(g_dialogue.leftCharacter, 100);
  EXPECT_EQ(g_dialogue.rightCharacter, 4);

  int lastFrameOfTalk = -1;
  for (int k = 0; k < 3000 && g_talkActive != 0; ++k) {
    Step(1, k % 2 ? kInputShot : 0);
    if (g_talkActive == 3 && g_dialogue.side == 0) {  // line 3 on screen
      EXPECT_EQ(g_dialogue.leftCharacter, 0) << "the left portrait is always character 0";
    }
    if (g_talkActive == 11) {
      EXPECT_EQ(g_currentMusic, 5);
      EXPECT_EQ(g_bosses[2].remainingCards, 1);
    }
    lastFrameOfTalk = g_stageFrame;
  }
  ASSERT_EQ(g_talkActive, 0);
  EXPECT_EQ(lastFrameOfTalk, 71) << "the last line sets the frame back to 70";
  Step(29);
  EXPECT_EQ(g_bossPhase, 0);
  Step();
  EXPECT_EQ(g_bossPhase, 1) << "the fight starts 30 steps after the last line";
  EXPECT_EQ(g_spellBackground, 1);
}

// A practice played back runs 1000 scenes higher: it must still pick the card the live
// play fought, step for step, and leave the history as the live play left it.
TEST_F(SpellPractice, PlaybackPicksTheLivePlaysCardAndCountsNothing) {
  struct Case {
    int difficulty, slot, id;
  };
  const Case cases[] = {{2, 0, 0}, {3, 0, 1}, {1, 7, 27}, {3, 25, 101}, {4, 0, 102}, {4, 16, 118}};
  constexpr int kSteps = 500;  // past the card's first step (the last card's after its talk)
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    SpellCardHistory.Clear();
    CardSeenFlags.Clear();
    const PlaySetup setup{200 + c.slot, c.difficulty, 7, 0xC0FFEEu + c.id};
    BeginPlay(setup);
    EXPECT_EQ(PracticeCardId(), c.id);
    std::vector<uint64_t> live;
    for (int step = 0; step < kSteps; ++step) {
      g_player.invulnerable = 1 << 20;
      SetLiveInput(FiringInput(step));
      RunLogicStep();
      live.push_back(HashAsLive());
    }
    ASSERT_EQ(SpellCardHistory[1][c.id].attempts, 1);
    const std::vector<ReplayPair> pairs(g_replayPairs, g_replayPairs + g_replayPairCount);

    SpellCardHistory[1][c.id].attempts = 7;
    CardSeenFlags.Clear();
    BeginPlayback(setup, pairs.data(), static_cast<int>(pairs.size()));
    EXPECT_EQ(g_scene, 1200 + c.slot);
    EXPECT_EQ(PracticeCardId(), c.id);
    for (int step = 0; step < kSteps; ++step) {
      g_player.invulnerable = 1 << 20;
      RunLogicStep();
      ASSERT_EQ(HashAsLive(), live[step]) << "step " << step;
    }
    EXPECT_EQ(SpellCardHistory[1][c.id].attempts, 7);
    EXPECT_EQ(CardSeenFlags[1][c.id], 0);
  }
}

// The last Extra card is survived, not beaten: at its time limit the two side bosses, hidden
// since the card's set-up, leave with boss 0 under the one blast, and the blast frees all
// three before the card ends and the practice closes.
TEST_F(SpellPractice, LastExtraCardsSideBossesLeaveWithTheBossAtItsEnd) {
  Begin(216, 4);
  int leftAt = -1, step = 0;
  for (; step < 6000 && leftAt < 0; ++step) {
    g_player.invulnerable = 1 << 20;
    const int side1 = g_bosses[1].state, side2 = g_bosses[2].state;
    Step(1, step % 2 ? kInputShot : 0);
    if (g_bosses[0].state != 3) continue;
    leftAt = step;
    EXPECT_EQ(side1, 4);
    EXPECT_EQ(side2, 4);
  }
  ASSERT_GE(leftAt, 0);
  EXPECT_EQ(g_bosses[0].spellTimer, 1) << "left at the time limit";
  EXPECT_EQ(g_bosses[1].state, 3);
  EXPECT_EQ(g_bosses[2].state, 3);
  EXPECT_EQ(g_bosses[1].x, 374.0);
  EXPECT_EQ(g_bosses[1].y, 150.0);
  EXPECT_EQ(g_bossBlast.counter, 39) << "started, and run once by the same step";
  EXPECT_EQ(g_bossPhase, 1);

  Step(38);
  EXPECT_EQ(g_bossBlast.counter, 1);
  for (const Boss& boss : g_bosses) EXPECT_EQ(boss.state, 3);
  Step();
  for (const Boss& boss : g_bosses) EXPECT_EQ(boss.state, 0);
  Step();
  EXPECT_EQ(g_bossPhase, 0) << "the card ends once its bosses are gone";
  EXPECT_EQ(g_stageFrame, 10001);
  for (int k = 0; k < 200 && g_stageOver == 0; ++k) {
    Step();
    for (const Boss& boss : g_bosses) ASSERT_EQ(boss.state, 0);
  }
  EXPECT_EQ(g_stageOver, 1);
  EXPECT_EQ(SpellCardHistory[0][118].attempts, 1);
}

TEST_F(SpellPractice, SlotsWithoutACardTouchNothingOutsideTheTables) {
  struct Case {
    int scene, difficulty, id;
  };
  const Case cases[] = {{200, 0, -2}, {200, 1, -1}, {231, 0, 122}, {299, 3, 397}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene * 10 + c.difficulty);
    SpellCardHistory.Clear();
    CardSeenFlags.Clear();
    Begin(c.scene, c.difficulty);
    EXPECT_EQ(PracticeCardId(), c.id);
    Step(600);
    EXPECT_EQ(g_bossPhase, 1);
    for (int row = 0; row < 2; ++row) {
      for (int id = 0; id < kSpellCardCount; ++id) {
        ASSERT_EQ(SpellCardHistory[row][id].attempts, 0);
        ASSERT_EQ(CardSeenFlags[row][id], 0);
      }
    }
  }
}

}  // namespace
