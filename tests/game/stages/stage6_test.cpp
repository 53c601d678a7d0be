// Stage 6 and its cards, headless through the step runner.
#include "game/stages/stage6.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/content/content_text.h"
#include "game/play/stage_entry.h"
#include "game/stages/boss_attack.h"
#include "game/stages/spell_practice.h"
#include "play_fixture.h"

namespace {

class Stage6 : public PlayFixture {
 protected:
  static int LiveLasers(int state) {
    int live = 0;
    for (const Laser& l : g_lasers) live += l.state == state;
    return live;
  }
};

TEST_F(Stage6, EndingConversationFollowsTheScoresLastDigit) {
  struct Case {
    int scene, score, talk, stageOver;
  };
  // Stage practice and any replay (scene + 1000) end the play there.
  const Case cases[] = {{6, 1234560, 20, 0}, {6, 1234563, 50, 0}, {1006, 1234560, 0, 1},
                        {1016, 1234567, 0, 1}, {16, 1234560, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene * 10 + c.score % 10);
    StartAt(6, 1, 100300);
    g_scene = c.scene;
    g_player.score = c.score;
    RunStage();
    EXPECT_EQ(g_talkActive, c.talk);
    EXPECT_EQ(g_stageOver, c.stageOver);
  }
  // Both conversations end at 199999.
  for (int last : {39, 59}) {
    StartAt(6, 1, 100400);
    g_talkActive = last;
    RunStage();
    EXPECT_EQ(g_stageFrame, 199999);
    EXPECT_EQ(g_talkActive, 0);
  }
}

TEST_F(Stage6, StageClearPaysTheSceneMillionsAndWhatThePlayerKept) {
  StartAt(6, 1, 100120);
  g_player.lives = 2;
  g_player.bombs = 3;
  g_player.graze = 100;
  g_player.pointRate = 1.0;
  g_player.score = 0;
  // ((2 * 2 + 3) * 5000 + 100) * 100 * 3 / 6 * 2 = 3510000.
  EXPECT_EQ(Stage6ClearBonus(), 9510000);
  RunStage();
  std::vector<Notice> notices = LiveNotices();
  ASSERT_EQ(notices.size(), 8u);
  EXPECT_EQ(notices[0].image, 602);
  EXPECT_EQ(notices[0].frames, 180);
  EXPECT_EQ(notices[1].image, 500);  // units digit 0 at x 272
  EXPECT_EQ(notices[1].x, 272);
  EXPECT_EQ(notices[7].image, 509);
  EXPECT_EQ(g_player.score, 9510000);
  // A graze count far past any play cannot carry the bonus past the score.
  g_player.graze = 2000000000;
  EXPECT_LE(Stage6ClearBonus(), 1006000000);
  EXPECT_EQ(Stage6ClearBonus() % 10, 0);
}

TEST_F(Stage6, MirageMidBossLeavesAt4500AndComesBackOnLine2) {
  StartAt(6, 2, 2399);
  Step();
  ASSERT_EQ(g_bosses[0].state, 1);
  EXPECT_EQ(g_bosses[0].kind, 4);
  Step();
  EXPECT_EQ(g_bosses[0].state, 4);  // hidden while it flies in
  g_stageFrame = 2520;
  Step();
  ASSERT_EQ(g_bossPhase, 1);
  EXPECT_EQ(g_bosses[0].spellTimer, 1240);
  // The fight ends early or late: the waves' clock goes on from 4500 either way.
  for (int frame : {3000, 9000}) {
    g_bossPhase = 2;
    g_stageFrame = frame;
    Played().clear();
    Step();
    EXPECT_EQ(g_stageFrame, 4501);
    EXPECT_EQ(g_bossPhase, 0);
    EXPECT_EQ(g_bosses[0].state, 3);
    EXPECT_EQ(PlayedCount(kSeCardEnd), 1);
  }
  g_stageFrame = 4600;
  Step();
  ASSERT_EQ(g_talkActive, 1);
  // Line 2 brings the same boss back, its card count as the mid-boss left it.
  const int cards = g_bosses[0].remainingCards;
  for (int k = 0; k < 400 && g_talkActive < 2; ++k) Step(1, k % 2 == 0 ? kInputShot : 0);
  ASSERT_EQ(g_talkActive, 2);
  EXPECT_EQ(g_bosses[0].state, 3);
  Step();
  EXPECT_EQ(g_bosses[0].state, 1);
  EXPECT_EQ(g_bosses[0].remainingCards, cards);
}

TEST_F(Stage6, LastCardBlowsUpOnceNinetyStepsInAndMarksTheGameSpeed) {
  StartAt(6, 1, 20000);
  InitBoss(0, 0, 4, 224.0, 150.0);
  g_bossPhase = 7;
  g_bosses[0].phaseTimer = 0;
  Step(180);
  ASSERT_EQ(g_spellBackground, 1);
  Step(100);
  g_bosses[0].hp = 0;
  Step();
  EXPECT_EQ(g_bosses[0].state, 3);
  EXPECT_EQ(g_gameSpeed % 10, 1);
  for (int guard = 0; guard < 400 && g_bossPhase == 7; ++guard) Step();
  ASSERT_EQ(g_bossPhase, 8);
  Step();
  EXPECT_EQ(g_bossPhase, 0);
  EXPECT_EQ(g_gameSpeed, 10);
  EXPECT_EQ(g_stageFrame, 100000);
}

// Body 21: a state-2 laser out through the top or bottom makes rings on every
// difficulty, through a side only on Hard and Lunatic; one exactly on a bound stays, and
// one of no length has no direction to go on in.
TEST_F(Stage6, BounceCardContinuesLasersAndRingsByEdgeAndDifficulty) {
  struct Case {
    int difficulty;
    double x2, y2;
    int length, continued, ringBullets;
  };
  const Case cases[] = {{0, 200, 10, 100, 1, 4},  {0, 20, 200, 100, 1, 0},
                        {2, 20, 200, 100, 1, 8},  {3, 200, 470, 100, 1, 12},
                        {1, 200, 16, 100, 0, 0},  {1, 417, 200, 100, 0, 0},
                        {2, 200, 10, 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.difficulty * 1000 + c.x2 + c.y2);
    RunCardTo(c.difficulty, 21, 140);
    std::memset(&g_enemyBullets[0], 0, sizeof(EnemyBullet) * kBulletSlots);
    for (Laser& l : g_lasers) l = Laser{};
    g_lasers[5] = Laser{2, c.length, 3, 1, 5, 0, 800, 200, 100, c.x2, c.y2, 0.0, 0};
    RunBossAttack(GetSpellCardId(c.difficulty, 21));
    EXPECT_EQ(LiveLasers(1), 2 * c.continued);  // the old laser drops to state 1 too
    EXPECT_EQ(g_lasers[5].state, c.continued ? 1 : 2);
    EXPECT_EQ(LiveBullets(), c.ringBullets);
  }
}

// Body 24 on Easy: a slanted laser every 55 steps at pace 90; below half HP the pace is
// cut to 25 and the period to 22.
TEST_F(Stage6, StairCardLaysSlantedLasersFasterBelowHalfHp) {
  auto count = [](int steps) {
    int made = 0;
    for (int k = 0; k < steps; ++k) {
      const int before = LiveLasers(1);
      RunLogicStep();
      made += LiveLasers(1) > before;
    }
    return made;
  };
  RunCardTo(0, 24, 100);
  EXPECT_EQ(g_attackScratch.values[0], 90);
  EXPECT_EQ(count(110), 3);  // timers 110, then at pace 85 from timer 150: 156 and 208
  RunCardTo(0, 24, 100);
  g_bosses[0].hp = 2000;
  Step();
  EXPECT_EQ(g_attackScratch.values[0], 25);
  EXPECT_EQ(count(44), 2);  // timers 110 and 132
}

// The last card's orbit bullets are kept by slot and serial: in a full pool there are
// none, and nothing is fired from slots that are not theirs.
TEST_F(Stage6, LastCardFiresNothingFromOrbitsItCouldNotMake) {
  RunCardTo(2, 25, 69);
  for (EnemyBullet& b : g_enemyBullets) {
    b = EnemyBullet{};
    b.state = 1;
    b.x = 100;
    b.y = 450;
    b.triggerAge = 1 << 20;
  }
  Step();
  for (const EnemyBullet& b : g_enemyBullets) EXPECT_NE(b.behaviour, 32);
  for (EnemyBullet& b : g_enemyBullets) b = EnemyBullet{};
  Step(43);  // through timer 112, the first orbit volley
  ASSERT_EQ(g_bosses[0].phaseTimer, 113);
  for (const EnemyBullet& b : g_enemyBullets) EXPECT_NE(b.behaviour, 110);
  EXPECT_TRUE(PoolsUntouchedOutside());
}

}  // namespace
