// Stage 3 and its cards, headless through the step runner.
#include "game/stages/stage3.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/stages/boss_attack.h"
#include "game/stages/spell_practice.h"
#include "play_fixture.h"

namespace {

class Stage3 : public PlayFixture {
 protected:
  // Stage 3 at the given frame with the timeline about to run it on the next step.
  void StartAt(int difficulty, int frame) {
    Begin(3, difficulty);
    Step();
    g_player.invulnerable = 1 << 20;
    g_stageFrame = frame;
  }
  // Boss 0 in the given fight phase at its first step.
  void StartPhase(int difficulty, int phase) {
    Begin(3, difficulty);
    Step();
    g_player.invulnerable = 1 << 20;
    InitBoss(0, 2, phase <= 2 ? 3 : 1, 224.0, 150.0);
    g_bossPhase = phase;
    g_bosses[0].phaseTimer = 0;
  }
  // Runs card `slot` alone (the spell practice stage) to the given timer.
  void RunCardTo(int difficulty, int slot, int timer) {
    Begin(200 + slot, difficulty);
    g_player.invulnerable = 1 << 20;
    for (int guard = 0; guard < 3000; ++guard) {
      if (g_bosses[0].state != 0 && g_bosses[0].phaseTimer == timer) return;
      Step();
    }
    FAIL() << "timer " << timer << " not reached";
  }
  static std::vector<int> BulletsBornThisStep() {
    std::vector<int> out;
    for (int slot = 0; slot < kBulletSlots; ++slot) {
      const EnemyBullet& b = g_enemyBullets[slot];
      if (b.state != 0 && b.bornStep == g_stepSerial) out.push_back(slot);
    }
    return out;
  }
  static std::vector<int> SatelliteSlots(int centre) {
    std::vector<int> out;
    for (int slot = 0; slot < kBulletSlots; ++slot) {
      const EnemyBullet& b = g_enemyBullets[slot];
      if (b.state != 0 && b.behaviour == 18 && b.behaviourParam == centre) out.push_back(slot);
    }
    return out;
  }
};

TEST_F(Stage3, PlaysThroughToStage4OnEveryDifficulty) {
  for (int difficulty = 0; difficulty < 4; ++difficulty) {
    for (bool firing : {false, true}) {
      SCOPED_TRACE(difficulty * 10 + firing);
      SpellCardHistory.Clear();
      Begin(3, difficulty);
      int sawTalk = 0, maxPhase = 0, maxLasers = 0;
      for (int steps = 0; steps < 100000 && g_scene == 3; ++steps) {
        g_player.invulnerable = 1 << 20;
        SetLiveInput(firing ? FiringInput(steps) : 0);
        RunLogicStep();
        sawTalk = std::max(sawTalk, g_talkActive);
        maxPhase = std::max(maxPhase, g_bossPhase);
        int lasers = 0;
        for (const Laser& laser : g_lasers) lasers += laser.state != 0;
        maxLasers = std::max(maxLasers, lasers);
        ASSERT_TRUE(PoolsUntouchedOutside());
      }
      ASSERT_EQ(g_scene, 4) << "the stage did not end within the budget";
      EXPECT_EQ(g_stageFrame, 0);
      EXPECT_GE(sawTalk, 22);
      EXPECT_EQ(maxPhase, 6);
      EXPECT_LT(maxLasers, kLaserSlots);
      for (int slot = 6; slot <= 9; ++slot) {
        EXPECT_EQ(SpellCardHistory[0][GetSpellCardId(difficulty, slot)].attempts, 1) << slot;
      }
    }
  }
}

TEST_F(Stage3, ReplayOfAFullRunReproducesTheStateEvery600Steps) {
  ExpectReplayReproducesTheRun(PlaySetup{3, 3, 7, 0xC0FFEEu}, 100000);
}

}  // namespace
