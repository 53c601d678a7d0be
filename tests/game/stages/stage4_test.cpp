// Stage 4 and its cards, headless through the step runner.
#include "game/stages/stage4.h"

#include <algorithm>
#include <vector>

#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

class Stage4 : public PlayFixture {
 protected:
  // Stage 4 with the timeline about to run `frame` on the next step.
  void StartAt(int difficulty, int frame) {
    Begin(4, difficulty);
    Step();
    g_player.invulnerable = 1 << 20;
    g_stageFrame = frame;
  }
  // Runs card `slot` alone (the spell practice stage) to the given timer.
  void RunCardTo(int difficulty, int slot, int timer) {
    Begin(200 + slot, difficulty);
    g_player.invulnerable = 1 << 20;
    for (int guard = 0; guard < 5000; ++guard) {
      if (g_bosses[0].state != 0 && g_bosses[0].phaseTimer == timer) return;
      Step();
    }
    FAIL() << "timer " << timer << " not reached";
  }
  static std::vector<const EnemyBullet*> BulletsBornThisStep() {
    std::vector<const EnemyBullet*> out;
    for (const EnemyBullet& b : g_enemyBullets)
      if (b.state != 0 && b.bornStep == g_stepSerial) out.push_back(&b);
    return out;
  }
};

TEST_F(Stage4, PlaysThroughToStage5OnEveryDifficulty) {
  for (int difficulty = 0; difficulty < 4; ++difficulty) {
    for (bool firing : {false, true}) {
      SCOPED_TRACE(difficulty * 10 + firing);
      SpellCardHistory.Clear();
      Begin(4, difficulty);
      int sawTalk = 0, maxPhase = 0, trioShown = 0;
      for (int steps = 0; steps < 100000 && g_scene == 4; ++steps) {
        g_player.invulnerable = 1 << 20;
        SetLiveInput(firing ? FiringInput(steps) : 0);
        RunLogicStep();
        sawTalk = std::max(sawTalk, g_talkActive);
        maxPhase = std::max(maxPhase, g_bossPhase);
        if (g_talkActive == 7) trioShown = g_bosses[1].state == 1 && g_bosses[2].state == 1;
        ASSERT_TRUE(PoolsUntouchedOutside());
      }
      ASSERT_EQ(g_scene, 5) << "the stage did not end within the budget";
      EXPECT_EQ(g_stageFrame, 0);
      EXPECT_GE(sawTalk, 46);
      EXPECT_EQ(maxPhase, 7);
      EXPECT_TRUE(trioShown);
      for (int slot = 10; slot <= 14; ++slot) {
        EXPECT_EQ(SpellCardHistory[0][GetSpellCardId(difficulty, slot)].attempts, 1) << slot;
      }
    }
  }
}

TEST_F(Stage4, ReplayOfAFullRunReproducesTheStateEvery600Steps) {
  ExpectReplayReproducesTheRun(PlaySetup{4, 3, 7, 0xBEEFu}, 100000);
}

}  // namespace
