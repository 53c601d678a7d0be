// Rules that cut across the stage scripts and cards, each checked where it once went
// wrong: the non-spell's last step, a card's loop step, enemy firing by slot, truncated
// origins and the Extra cards' set-up values.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "game/content/content_text.h"
#include "game/stages/extra_stage.h"
#include "game/stages/stage3.h"
#include "game/stages/stage4.h"
#include "game/stages/stage5.h"
#include "game/stages/stage_frame.h"
#include "play_fixture.h"

namespace {

class StageRules : public PlayFixture {
 protected:
  static int LasersBornThisStep() {
    int born = 0;
    for (const Laser& l : g_lasers) born += l.state != 0 && l.bornStep == g_stepSerial;
    return born;
  }
  static int BehaviourParamsOf(int behaviour) {
    int sum = 0;
    for (const EnemyBullet& b : g_enemyBullets)
      if (b.state != 0 && b.behaviour == behaviour) sum += b.behaviourParam;
    return sum;
  }
};

// A non-spell whose HP is gone on a step of its pattern still fires that step's pattern
// before its card (or its end) takes over.
TEST_F(StageRules, NonSpellFiresItsPatternOnTheStepThatEndsIt) {
  const int fights[][2] = {{1, 1}, {1, 3}, {2, 1}, {2, 2}, {3, 1}, {3, 3},
                           {4, 3}, {5, 3}, {6, 3}, {8, 8}, {8, 14}};
  for (const auto& fight : fights) {
    const int scene = fight[0], phase = fight[1];
    SCOPED_TRACE(scene * 100 + phase);
    // The first volley past the set-up steps, with the non-spell going on.
    StartPhase(scene, 1, phase, 1, 3);
    int timer = 0, volley = 0;
    for (int guard = 0; guard < 600 && volley == 0; ++guard) {
      const uint32_t before = g_bulletSerial;
      Step();
      if (g_bosses[0].phaseTimer > 2) volley = static_cast<int>(g_bulletSerial - before);
      timer = g_bosses[0].phaseTimer;
    }
    ASSERT_GT(volley, 0);
    // The same play with the boss's HP gone just before that step.
    StartPhase(scene, 1, phase, 1, 3);
    while (g_bosses[0].phaseTimer < timer - 1) Step();
    g_bosses[0].hp = 0;
    const uint32_t before = g_bulletSerial;
    Step();
    EXPECT_EQ(static_cast<int>(g_bulletSerial - before), volley);
    EXPECT_TRUE(g_spellBackground == 1 || g_bossPhase != phase) << "the non-spell has ended";
  }
}

// On the step that sets a card's timer back to 99, the card's every-step part sees 99 and
// fires, draws and bounces nothing.
TEST_F(StageRules, StageSixCardsDoNothingMoreOnTheirLoopStep) {
  struct Case {
    int slot, difficulty, loopTimer;
    std::function<void()> arrange;
  };
  const auto bouncingLaser = [] {
    Laser& l = g_lasers[70];
    l = Laser{};
    l.state = 2;
    l.x1 = 400;
    l.y1 = 200;
    l.x2 = 430;
    l.y2 = 200;
    l.fullLength = 30;
    l.fullWidth = 3;
    l.lifetime = 800;
  };
  const Case cases[] = {
      {21, 2, 460, bouncingLaser},
      {23, 1, 400, nullptr},
      {24, 0, 460, [] { g_attackScratch.values[0] = 20; }},  // a slanted laser every 20
      {25, 1, 700, [] { g_bosses[0].hp = 1400; }},            // volleys every 10 steps
      {25, 2, 700, [] { g_bosses[0].hp = 1400; }},            // laser stars every 14
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot * 10 + c.difficulty);
    RunCardTo(c.difficulty, c.slot, c.loopTimer - 1);
    if (c.arrange) c.arrange();
    const uint32_t serial = g_bulletSerial, counter = g_randomCounter;
    const int orbitDrift = BehaviourParamsOf(34);
    Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, 99);
    EXPECT_EQ(g_bulletSerial, serial);
    EXPECT_EQ(LasersBornThisStep(), 0);
    EXPECT_EQ(DrawsSince(counter), 0u);
    EXPECT_EQ(BehaviourParamsOf(34), orbitDrift);
  }
}

// The Extra cards' loop steps do what the loop names and no more: every looping card
// sets its timer back, changes only the scratch values it names, draws only what it
// names and fires nothing. `change` turns the scratch values from before the step into
// those expected after it; `draw` is the step's first draw, when it makes one.
TEST_F(StageRules, ExtraCardsOnlyLoopOnTheirLoopStep) {
  using Scratch = double[5];
  struct Case {
    int slot, loopTimer, draws;
    std::function<void()> arrange;
    std::function<void(Scratch& s, int draw)> change;
  };
  const auto flip0 = [](Scratch& s, int) { s[0] = -s[0]; };
  const Case cases[] = {
      {0, 490, 1, nullptr, [](Scratch& s, int draw) { s[0] = 250 + draw % 50; }},
      {1, 520, 0, nullptr, flip0},
      {2, 189, 0, nullptr, nullptr},
      {3, 1600, 0, nullptr, flip0},
      {4, 460, 0, nullptr, nullptr},
      {5, 580, 0, nullptr, nullptr},
      {6, 280, 0, nullptr,
       [](Scratch& s, int) {
         s[0] = -s[0];
         s[3] += 1;
       }},
      {7, 460, 0, nullptr,
       [](Scratch& s, int) {
         s[2] = AngleToPlayer(g_bosses[0].x, g_bosses[0].y) + 180;
         s[4] = -s[4];
       }},
      {8, 160, 0, nullptr,
       [](Scratch& s, int) {
         s[0] = -s[0];
         s[2] += s[4];
         s[3] -= 20;
       }},
      {9, 460, 0, nullptr, nullptr},
      {10, 400, 0, nullptr, nullptr},
      {12, 700, 0, nullptr, [](Scratch& s, int) { s[4] += 1; }},
      // Charged in the cycle before: the loop opens the card's second stage.
      {12, 700, 0, [] { g_attackScratch.values[3] = 1; },
       [](Scratch& s, int) {
         s[1] = 0;
         s[2] = 1;
         s[3] = 2;
         s[4] += 1;
       }},
      // In the second stage, with the boss fan firing every 3 steps and the rings every 9.
      {12, 700, 0,
       [] {
         g_attackScratch.values[3] = 2;
         g_attackScratch.values[4] = 6;
       },
       [](Scratch& s, int) { s[4] += 1; }},
      {13, 280, 0, nullptr, [](Scratch& s, int) { s[1] += 1; }},
      {14, 550, 0, nullptr, flip0},
      {15, 640, 0, nullptr,
       [](Scratch& s, int) {
         s[0] = -s[0];
         s[1] += 2;
         s[3] = 0;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "card " << 102 + c.slot);
    RunCardTo(4, c.slot, c.loopTimer - 1);
    if (c.arrange) c.arrange();
    Scratch expected;
    std::copy_n(g_attackScratch.values, 5, expected);
    const uint32_t serial = g_bulletSerial, counter = g_randomCounter;
    int enemies = 0;
    for (const Enemy& e : g_enemies) enemies += e.active != 0;
    Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, 99);
    EXPECT_EQ(g_bulletSerial, serial) << "bullets fired";
    EXPECT_EQ(LasersBornThisStep(), 0);
    int after = 0;
    for (const Enemy& e : g_enemies) after += e.active != 0;
    EXPECT_EQ(after, enemies);
    EXPECT_EQ(DrawsSince(counter), static_cast<uint32_t>(c.draws));
    const uint32_t now = g_randomCounter;
    g_randomCounter = counter;
    const int draw = c.draws != 0 ? NextRandom() : 0;
    g_randomCounter = now;
    if (c.change) c.change(expected, draw);
    for (int k = 0; k < 5; ++k) EXPECT_DOUBLE_EQ(g_attackScratch.values[k], expected[k]) << k;
  }
}

// Enemy firing chosen by slot: stage 3's large enemy sprays from the orb pair it takes
// over, stage 4's delayed rings turn onto the plain ring's headings, and stage 5's slot 0
// is silent in the second half.
TEST_F(StageRules, EnemiesFireByTheirSlotsRules) {
  const int sprays[4] = {40, 80, 80, 120};
  for (int d = 0; d < 4; ++d) {
    SCOPED_TRACE(d);
    StartAt(3, d, 4300);
    Enemy& large = PlaceEnemy(28, 0, 100, 400);
    large.hp = 600;
    FireStage3EnemyShots(28);
    large.age = 160;
    const uint32_t serial = g_bulletSerial;
    FireStage3EnemyShots(28);
    int spray = 0;
    for (const EnemyBullet& b : g_enemyBullets)
      spray += b.state != 0 && b.serial > serial && b.sheet == 4 && b.colour == 4;
    EXPECT_EQ(spray, sprays[d]);

    StartAt(4, d, 1000);
    UseScript([] {});
    Enemy& side = PlaceEnemy(3, 30, 0, 300);
    side.y = 240;
    FireStage4EnemyShots(3);
    side.active = 0;
    Step(141 + 3 * d);
    int turned = 0;
    for (const EnemyBullet& b : g_enemyBullets) {
      if (b.state == 0) continue;
      EXPECT_NEAR(std::remainder(b.angle - 30, 60.0), 0.0, 1e-9) << b.angle;
      ++turned;
    }
    EXPECT_EQ(turned, 30);

    StartAt(5, d, 5600);
    Enemy& first = PlaceEnemy(0, 60, 40, 60);
    const uint32_t before = g_bulletSerial;
    FireStage5EnemyShots(0);
    first.age = 40;
    FireStage5EnemyShots(0);
    EXPECT_EQ(g_bulletSerial, before);
    EXPECT_EQ(LiveLasers(), 0);
  }
}

// Origins as the cards give them: stage 5's short beams leave from whole pixels of their
// satellites and its first comet is aimed from the boss's exact x; stage 3's cage
// removes its bounced bullets at the boss even once its edges are freed.
TEST_F(StageRules, CardsFireFromTheOriginsTheyName) {
  RunCardTo(2, 17, 159);
  Step();
  int beams = 0;
  for (const Laser& l : g_lasers) {
    if (l.state == 0 || l.bornStep != g_stepSerial) continue;
    ++beams;
    EXPECT_EQ(l.x1, std::trunc(l.x1));
    EXPECT_EQ(l.y1, std::trunc(l.y1));
  }
  EXPECT_EQ(beams, 10);

  RunCardTo(1, 19, 99);
  g_bosses[0].x = 180.75;
  Step();
  int comets = 0;
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0 || b.behaviour != 111 || b.bornStep != g_stepSerial) continue;
    ++comets;
    EXPECT_EQ(b.x, 180);
    EXPECT_DOUBLE_EQ(b.angle, AngleToPlayer(180.75, 0));
  }
  EXPECT_EQ(comets, 1);

  RunCardTo(1, 9, 400);
  for (int k = 0; k < 8; ++k) g_lasers[g_attackScratch.slots[k]].state = 0;
  EnemyBullet& back = g_enemyBullets[700];
  back = EnemyBullet{};
  back.state = 1;
  back.x = g_bosses[0].x + 5;
  back.y = g_bosses[0].y;
  Step();
  EXPECT_EQ(g_enemyBullets[700].state, 0);
}

// The Extra cards' set-up values at their named timers, and the opening lines' portraits.
TEST_F(StageRules, ExtraCardsKeepTheirSetUpValues) {
  // 109: the first arms reach the full span of 200 by t 110 and every laser of the star
  // opens at t 160.
  RunCardTo(4, 7, 110);
  int fromBoss = 0;
  for (const Laser& l : g_lasers) {
    if (l.state == 0 || l.x1 != g_bosses[0].x || l.y1 != g_bosses[0].y) continue;
    ++fromBoss;
    EXPECT_NEAR(std::hypot(l.x2 - l.x1, l.y2 - l.y1), 200.0, 1e-6);
  }
  EXPECT_EQ(fromBoss, 9);
  RunCardTo(4, 7, 150);
  int star = 0;
  for (const Laser& l : g_lasers) {
    if (l.state == 0) continue;
    ++star;
    EXPECT_EQ(l.triggerAge - l.age, 10);
  }
  EXPECT_EQ(star, 54);

  // 114 drops the card look at t 70.
  RunCardTo(4, 12, 69);
  EXPECT_EQ(g_spellCardActive, 1);
  Step();
  EXPECT_EQ(g_spellCardActive, 0);

  // 103: a worn-down enemy in a familiar's slot dies and costs the boss 30 from t 1.
  RunCardTo(4, 1, 10);
  PlaceEnemy(5, 1, 250, 300).hp = 90;
  const int hp = g_bosses[0].hp;
  Step();
  EXPECT_EQ(g_enemies[5].hp, 0);
  EXPECT_EQ(g_bosses[0].hp, hp - 30);

  // N14's two closing rings turn apart by twice the 8 that N8 left.
  StartPhase(8, 4, 8, 4, 1);
  while (g_bosses[0].phaseTimer < 30) Step();
  g_bossPhase = 14;
  g_bosses[0].phaseTimer = 0;
  while (g_bosses[0].phaseTimer < 100) Step();
  std::vector<double> angles;
  for (const EnemyBullet* b : BulletsBornThisStep())
    if (b->sheet == 7) angles.push_back(b->angle);
  ASSERT_EQ(angles.size(), 20u);
  EXPECT_NEAR(angles[10] - angles[0], 16.0, 1e-9);

  // Opening lines 1-3: the player alone speaks, boss 0's kind on the right.
  g_bosses[0].kind = 4;
  for (int number = 1; number <= 3; ++number) {
    g_talkActive = number;
    DialogueLine line;
    GetExtraDialogueLine(line);
    EXPECT_EQ(line.side, 0);
    EXPECT_EQ(line.rightCharacter, 4) << number;
  }
}

TEST(StageText, StageFourSpeaksThirtyTwoLines) {
  int spoken = 0;
  for (int number = 1; number <= 47; ++number) spoken += *Stage4DialogueText(number).line1 != 0;
  EXPECT_EQ(spoken, 32);
}

}  // namespace
