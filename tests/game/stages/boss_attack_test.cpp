// The common tail of every boss attack, driven through the step runner with the
// stage-1 last card (ids 6-9: 2700 HP and steps, bonus 2,500,000, drain 590) and with
// ids that have no card.
#include "game/stages/boss_attack.h"

#include <cstring>
#include <limits>

#include "play_fixture.h"

namespace {

class AttackTail : public PlayFixture {
 protected:
  // Boss 0 made and the fight phase set; the next step is the attack's first (timer 1).
  void PrepareCard(int id, int difficulty = 0, int remainingCards = 1) {
    Begin(1, difficulty);
    UseScript([] {});
    Step();
    InitBoss(0, remainingCards, 2, 224.0, 100.0);
    g_bossPhase = 1;
    g_spellBackground = 1;
    g_player.invulnerable = 1 << 30;  // no stray bullet decides a capture here
    UseScript([id] { RunBossAttack(id); });
  }
  void StepUntilTimer(int timer) {
    for (int guard = 0; guard < 10000 && g_bosses[0].phaseTimer != timer; ++guard) Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, timer);
  }
  static int ItemsOfKind(int kind) {
    int count = 0;
    for (const Item& item : g_items) count += item.active && item.kind == kind;
    return count;
  }
};

TEST_F(AttackTail, DrainsOnlyWhileTheCardFiresAndFloorsANegativeBonusOtherwise) {
  PrepareCard(6);
  Step();
  EXPECT_EQ(g_spellBonus, 2500000);
  StepUntilTimer(99);
  EXPECT_EQ(g_spellBonus, 2500000);  // timers below 100 never drain
  Step();
  EXPECT_EQ(g_spellBonus, 2500000 - 590);
  StepUntilTimer(499);
  const int before = g_spellBonus;
  Step();  // timer 500 loops back to 99: no drain on that step
  EXPECT_EQ(g_bosses[0].phaseTimer, 99);
  EXPECT_EQ(g_spellBonus, before);

  g_spellBonus = 100;
  Step();  // timer 100 drains below zero; the floor waits for a step without drain
  EXPECT_EQ(g_spellBonus, 100 - 590);
  StepUntilTimer(499);
  EXPECT_LT(g_spellBonus, 0);
  Step();
  EXPECT_EQ(g_spellBonus, 0);
}

TEST_F(AttackTail, BombBeforeTheCardHoldsItShortOfItsFirstFiringStep) {
  PrepareCard(6);
  StepUntilTimer(96);
  g_bombActive = 1;
  g_player.bombTimer = 1000;
  for (int k = 0; k < 40; ++k) {
    Step();
    ASSERT_LE(g_bosses[0].phaseTimer, 98);
  }
  EXPECT_EQ(g_spellCapture, 1);
  EXPECT_EQ(g_spellBonus, 2500000);
  g_bombActive = 0;
  g_player.bombTimer = 0;
  Step(3);
  EXPECT_EQ(g_bosses[0].phaseTimer, 100);
  EXPECT_EQ(g_spellCapture, 1);
  EXPECT_EQ(g_spellBonus, 2500000 - 590);
}

// A real bomb, pressed on the step whose timer reads `pressAt`, against the card's first
// firing step (timer 100): only a bomb running at 98 holds the card; one running at 100
// costs the capture, and the drain starts at 100 either way.
TEST_F(AttackTail, BombRunningAtTheCardsFirstFiringStep) {
  struct Case {
    int pressAt;
    int heldSteps;  // steps the card spends at 97/98 before it reaches 100
    int capture;    // the flag once the timer reads 100
  };
  const Case cases[] = {
      {97, 118, 1},  // running at 98 from the next step on: held just as long
      {98, 119, 1},  // held until the bomb is over, then the card starts with its flag
      {99, 0, 0},    // one step short: not held, and running when the card first fires
      {100, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pressAt);
    PrepareCard(6);
    StepUntilTimer(c.pressAt - 1);
    Step(1, kInputBomb);
    ASSERT_EQ(g_bombActive, 1);
    ASSERT_EQ(g_bosses[0].phaseTimer, c.pressAt == 98 ? 97 : c.pressAt);
    int steps = 1;
    while (g_bosses[0].phaseTimer < 100 && steps < 400) {
      Step(1, 0);
      ++steps;
    }
    ASSERT_EQ(g_bosses[0].phaseTimer, 100);
    EXPECT_EQ(steps - (100 - c.pressAt) - 1, c.heldSteps);
    EXPECT_EQ(g_spellCapture, c.capture);
    EXPECT_EQ(g_bombActive, c.capture == 1 ? 0 : 1);
    EXPECT_EQ(g_spellBonus, 2500000 - 590);
  }
}

// The attempt is counted on the card's first step, where it is first seen, and never again
// while the card loops its pattern; in a stage it is the card's own first step after its
// non-spell, and in practice the step after the boss is made.
TEST_F(AttackTail, AttemptIsCountedOnTheCardsFirstStep) {
  PrepareCard(6);
  ASSERT_EQ(SpellCardHistory[0][6].attempts, 0);
  Step();
  ASSERT_EQ(g_bosses[0].phaseTimer, 1);
  EXPECT_EQ(SpellCardHistory[0][6].attempts, 1);
  EXPECT_EQ(CardSeenFlags[0][6], 1);
  StepUntilTimer(499);
  Step();  // the loop back to 99 is no new attempt
  ASSERT_EQ(g_bosses[0].phaseTimer, 99);
  Step(5);
  EXPECT_EQ(SpellCardHistory[0][6].attempts, 1);

  // Stage 1, Hard, phase 3: the non-spell first, then card slot 1 (id 4).
  g_stageScriptOverride = nullptr;
  StartPhase(1, 2, 3, 2, 2);
  Step(30);
  EXPECT_EQ(SpellCardHistory[0][4].attempts, 0) << "the non-spell is no attempt";
  EXPECT_EQ(g_spellBackground, 0);
  g_bosses[0].hp = 0;
  Step();
  ASSERT_EQ(g_spellBackground, 1);
  ASSERT_EQ(g_bosses[0].phaseTimer, 1);
  EXPECT_EQ(SpellCardHistory[0][4].attempts, 1) << "counted on the card's first step";
  EXPECT_EQ(CardSeenFlags[0][4], 1);

  // Practice: the step of frame 100 makes the boss; its card's first step is the next.
  for (int difficulty : {2, 4}) {
    SCOPED_TRACE(difficulty);
    const int id = GetSpellCardId(difficulty, 3);
    Begin(203, difficulty);
    Step(101);
    EXPECT_EQ(g_bosses[0].state, 1);
    EXPECT_EQ(SpellCardHistory[0][id].attempts, 0);
    EXPECT_EQ(CardSeenFlags[0][id], 0);
    Step();
    EXPECT_EQ(g_bosses[0].phaseTimer, 1);
    EXPECT_EQ(SpellCardHistory[0][id].attempts, 1);
    EXPECT_EQ(CardSeenFlags[0][id], 1);
  }
}

TEST_F(AttackTail, CaptureFlagRules) {
  struct Case {
    const char* what;
    void (*prepare)();
    int expected;
  };
  const Case cases[] = {
      {"card timing out", [] { g_bosses[0].spellTimer = 1; }, 0},
      {"non-card timing out", [] {
         g_bosses[0].spellTimer = 1;
         g_bosses[0].maxHp = 100;
       }, 1},
      {"player at the sixth miss step", [] { g_player.state = -5; }, 0},
      {"bomb during the card", [] {
         g_bombActive = 1;
         g_player.bombTimer = 1000;
       }, 0},
      {"nothing", [] {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareCard(6);
    StepUntilTimer(150);
    ASSERT_EQ(g_spellCapture, 1);
    c.prepare();
    // A leaving boss keeps its timer and never ends the card: only the flag is looked at.
    g_bosses[0].state = 3;
    Step();
    EXPECT_EQ(g_spellCapture, c.expected);
  }

  PrepareCard(6);
  g_spellCapture = 0;
  Step();
  EXPECT_EQ(g_spellCapture, 1) << "the first step of an attack arms the flag";
}

TEST_F(AttackTail, CountsOneAttemptPerCardWithinTheLimits) {
  struct Case {
    const char* what;
    int scene, attemptsBefore, bossPhase;
    int attemptsAfter, seenAfter;
  };
  const Case cases[] = {
      {"live play", 1, 0, 1, 1, 1},
      {"a replay", 1001, 0, 1, 0, 0},
      {"at 999", 1, 999, 1, 999, 0},
      {"outside a boss fight", 1, 5, 0, 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CardSeenFlags.Clear();
    PrepareCard(6);
    g_scene = c.scene;
    g_bossPhase = c.bossPhase;
    SpellCardHistory[0][6].attempts = c.attemptsBefore;
    Step(300);
    EXPECT_EQ(SpellCardHistory[0][6].attempts, c.attemptsAfter);
    EXPECT_EQ(CardSeenFlags[0][6], c.seenAfter);
  }
}

TEST_F(AttackTail, CapturedCardShowsItsBonusDigitsAndPaysIt) {
  PrepareCard(6);
  g_bosses[0].dropPower = 3;
  g_bosses[0].dropPoint = 2;
  StepUntilTimer(150);
  std::memset(g_notices, 0, sizeof g_notices);
  const int score = g_player.score;
  SpellCardHistory[0][6].captures = 4;
  g_spellBonus = 2000000 + 590;  // 2,000,000 once this step's drain is taken
  g_bosses[0].hp = 0;
  Step();

  EXPECT_EQ(g_bossPhase, 2);
  EXPECT_EQ(SpellCardHistory[0][6].captures, 5);
  EXPECT_EQ(g_player.score, score + 2000000);
  EXPECT_EQ(g_bosses[0].dropPoint, 4);
  const std::vector<Notice> notices = LiveNotices();
  ASSERT_EQ(notices.size(), 8u);
  EXPECT_EQ(notices[0].mode, 2);
  EXPECT_EQ(notices[0].image, 600);
  EXPECT_EQ(notices[0].x, 224);
  EXPECT_EQ(notices[0].y, 100);
  for (int k = 0; k < 7; ++k) {
    const Notice& digit = notices[1 + k];
    EXPECT_EQ(digit.mode, 3);
    EXPECT_EQ(digit.x, 16 * (17 - k));
    EXPECT_EQ(digit.y, 130);
    EXPECT_EQ(digit.delay, 5 * (9 - k));
    EXPECT_EQ(digit.image, 500 + (k == 6 ? 2 : 0));
  }
  EXPECT_EQ(notices[1].x, 272);
  EXPECT_EQ(notices[1].delay, 45);
  EXPECT_EQ(notices[7].delay, 15);
  // The boss's drop: three small power items and the doubled four point items.
  EXPECT_EQ(ItemsOfKind(0), 3);
  EXPECT_EQ(ItemsOfKind(2), 4);
  for (const Boss& boss : g_bosses) EXPECT_EQ(boss.phaseTimer, 0);
  EXPECT_EQ(g_spellBackground, 0);
  EXPECT_EQ(g_spellCardActive, 0);
}

TEST_F(AttackTail, CapturesStopAt999AndTheLargestBonusShowsTenDigits) {
  PrepareCard(6);
  StepUntilTimer(150);
  std::memset(g_notices, 0, sizeof g_notices);
  SpellCardHistory[0][6].captures = 999;
  g_player.score = 999999990;
  g_spellBonus = std::numeric_limits<int>::max();  // past every power of ten an int holds
  g_bosses[0].phaseTimer = 98;                      // a step without drain
  g_bosses[0].hp = 0;
  Step();
  EXPECT_EQ(SpellCardHistory[0][6].captures, 999);
  const std::vector<Notice> notices = LiveNotices();
  ASSERT_EQ(notices.size(), 11u);  // the capture notice and ten digits
  EXPECT_EQ(notices[10].x, 16 * (17 - 9));
  EXPECT_EQ(notices[10].image, 502);  // 2,147,483,647 leads with a 2
  EXPECT_LE(g_player.score, 999999999);
}

TEST_F(AttackTail, CardEndingWithoutCapture) {
  struct Case {
    const char* what;
    bool timeOut;
    int bonusLeft;
    int expectedItems;
  };
  const Case cases[] = {
      {"timed out: no drop", true, 1000, 0},
      {"captured at a negative bonus pays nothing", false, -400, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareCard(6);
    g_bosses[0].dropPower = 3;
    StepUntilTimer(150);
    std::memset(g_notices, 0, sizeof g_notices);
    const int score = g_player.score;
    g_spellBonus = c.bonusLeft + 590;
    if (c.timeOut) {
      g_bosses[0].spellTimer = 2;
    } else {
      g_bosses[0].hp = 0;
    }
    Step();
    EXPECT_EQ(g_bossPhase, 2);
    EXPECT_EQ(g_player.score, score);
    EXPECT_EQ(ItemsOfKind(0), c.expectedItems);
    const std::vector<Notice> notices = LiveNotices();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices[0].image, c.timeOut ? 601 : 600);
    EXPECT_EQ(notices[0].mode, c.timeOut ? 10 : 2);
    if (c.timeOut) {
      EXPECT_EQ(SpellCardHistory[0][6].captures, 0);
    }
    for (const EnemyBullet& bullet : g_enemyBullets) EXPECT_EQ(bullet.state, 0);
  }
}

TEST_F(AttackTail, NonCardEndingAtZeroHpNeverDrainsAndDropsItsItems) {
  PrepareCard(200);  // no body: the tail alone
  g_bosses[0].dropPower = 2;
  Step();
  g_spellBonus = 5000;
  g_bosses[0].phaseTimer = 150;
  Step(5);
  EXPECT_EQ(g_spellBonus, 5000);
  g_bosses[0].hp = 0;
  Step();
  EXPECT_EQ(g_bossPhase, 2);
  EXPECT_EQ(ItemsOfKind(0), 2);
}

TEST_F(AttackTail, EndSoundOnlyForCountedCardsAtWholeGameSpeed) {
  struct Case {
    int remainingCards, gameSpeed;
    int sounds, remainingAfter, speedAfter;
  };
  const Case cases[] = {{1, 10, 1, 0, 10}, {0, 10, 0, -1, 10}, {2, 13, 0, 1, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remainingCards * 100 + c.gameSpeed);
    PrepareCard(6, 0, c.remainingCards);
    StepUntilTimer(150);
    Played().clear();
    g_gameSpeed = c.gameSpeed;
    g_bosses[0].hp = 0;
    Step();
    EXPECT_EQ(PlayedCount(kSeCardEnd), c.sounds);
    EXPECT_EQ(g_bosses[0].remainingCards, c.remainingAfter);
    EXPECT_EQ(g_bosses[1].remainingCards, -1);
    EXPECT_EQ(g_gameSpeed, c.speedAfter);
  }
}

TEST_F(AttackTail, CardRunningWithoutItsBossMakesItBeyondTheRightEdge) {
  PrepareCard(6);
  g_bosses[0] = Boss{};
  g_bosses[0].hp = g_bosses[0].maxHp = 100;
  g_bosses[0].spellTimer = -1;
  Step();
  EXPECT_EQ(g_bosses[0].state, 1);
  EXPECT_EQ(g_bosses[0].kind, 2);
  EXPECT_EQ(g_bosses[0].x, 450.0);
  EXPECT_EQ(g_bosses[0].y, 100.0);
  EXPECT_EQ(g_bossPhase, 1);
  Step();
  EXPECT_EQ(g_bosses[0].phaseTimer, 1);
  EXPECT_EQ(g_bosses[0].maxHp, 2700);
}

TEST_F(AttackTail, IdsOutsideTheCardTableTouchNoHistory) {
  for (int id : {-2, -1, 119, 250}) {
    SCOPED_TRACE(id);
    PrepareCard(id);
    Step(120);
    g_bosses[0].hp = 0;
    Step();
    EXPECT_EQ(g_bossPhase, 2);
    for (int row = 0; row < 2; ++row) {
      for (int card = 0; card < kSpellCardCount; ++card) {
        EXPECT_EQ(SpellCardHistory[row][card].attempts, 0);
        EXPECT_EQ(SpellCardHistory[row][card].captures, 0);
        EXPECT_EQ(CardSeenFlags[row][card], 0);
      }
    }
  }
}

TEST_F(AttackTail, PracticeMenuGetsTheNameOnly) {
  Begin(1, 0);
  g_scene = 303;
  EXPECT_STRNE(RunBossAttack(6), "");
  EXPECT_STRNE(RunBossAttack(6), "？？？？？？");
  EXPECT_STREQ(RunBossAttack(119), "？？？？？？");
  EXPECT_STREQ(RunBossAttack(-2), "？？？？？？");
  EXPECT_EQ(SpellCardHistory[0][6].attempts, 0);
  g_scene = 1;
  EXPECT_STREQ(RunBossAttack(6), "");
}

}  // namespace
