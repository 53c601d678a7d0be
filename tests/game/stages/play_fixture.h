#pragma once
// A headless play for the script tests: the core's step runner with sounds recorded,
// nothing drawn, and optionally a script of the test's own in place of RunStage.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_runner.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/spell_banner.h"

// How many NextRandom calls moved the counter from `before` to now.
inline uint32_t DrawsSince(uint32_t before) {
  // The counter moves by a fixed odd step per call; multiply by its inverse mod 2^32.
  uint32_t inverse = 0x9E3779B9u;
  for (int k = 0; k < 5; ++k) inverse *= 2u - 0x9E3779B9u * inverse;
  return (g_randomCounter - before) * inverse;
}

// A player who fires in bursts (fresh presses let the conversations advance), bombs now
// and then, and keeps under boss 0 (or the centre column while no boss is up).
inline int FiringInput(int step) {
  int input = step % 8 != 0 ? kInputShot : 0;
  if (step % 700 == 350) input |= kInputBomb;
  const double targetX = g_bosses[0].state != 0 ? g_bosses[0].x : 224.0;
  if (g_player.x < targetX - 4) input |= kInputRight;
  if (g_player.x > targetX + 4) input |= kInputLeft;
  return input;
}

// The state hash with the scene read as the live play's: a replay runs under its playback number.
inline uint64_t HashAsLive() {
  const int scene = g_scene;
  g_scene = PlayedScene(g_scene);
  const uint64_t hash = HashPlayState();
  g_scene = scene;
  return hash;
}

class PlayFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Played().clear();
    StopCount() = 0;
    for (int slot = 0; slot < kSoundEffectCount; ++slot) SoundEffectTable[slot] = 1000 + slot;
    for (int digit = 0; digit < 10; ++digit) SpriteSheetHandles.bigDigit[digit] = 500 + digit;
    SpriteSheetHandles.capture = 600;
    SpriteSheetHandles.bonusFailed = 601;
    SpriteSheetHandles.stageClear = 602;
    static const PlaySoundTable kRecorder{
        [](int handle, int, int) {
          Played().push_back(handle - 1000);
          return 0;
        },
        nullptr,
        [] {
          StopCount() += 1;
          return 0;
        }};
    g_playSound = &kRecorder;
    g_playDraw = nullptr;
    SetBannerCanvas(nullptr);
    Script() = nullptr;
    g_stageScriptOverride = nullptr;
    SpellCardHistory.Clear();
    CardSeenFlags.Clear();
    StageProgress.Clear();
  }
  void TearDown() override {
    g_stageScriptOverride = nullptr;
    g_playSound = nullptr;
    SetBannerCanvas(nullptr);
  }

  // Starts a live play of the scene; the stage-start reset has run once the first step is
  // done, so tests that set bosses up themselves start from frame 1.
  void Begin(int scene, int difficulty, int character = 0, uint32_t counter = 12345) {
    BeginPlay(PlaySetup{scene, difficulty, character, counter});
  }

  // `scene` with the timeline about to run `frame` on the next step, the player untouchable.
  void StartAt(int scene, int difficulty, int frame) {
    Begin(scene, difficulty);
    Step();
    g_player.invulnerable = 1 << 20;
    g_stageFrame = frame;
  }

  // Boss 0 (`kind`, with `cards` left) in fight phase `phase` of `scene`, at its first step.
  void StartPhase(int scene, int difficulty, int phase, int kind, int cards) {
    Begin(scene, difficulty);
    Step();
    g_player.invulnerable = 1 << 20;
    InitBoss(0, kind, cards, 224.0, 150.0);
    g_bossPhase = phase;
    g_bosses[0].phaseTimer = 0;
  }

  // Plays `scene` from a clear card history with an untouchable player, still or firing,
  // until the scene changes or the play ends, checking the pools after every step; the
  // step count, or -1 past the budget or on a pool written past its end.
  int PlayThrough(int scene, int difficulty, bool firing, int budget) {
    SpellCardHistory.Clear();
    Begin(scene, difficulty);
    for (int step = 0; step < budget; ++step) {
      g_player.invulnerable = 1 << 20;
      SetLiveInput(firing ? FiringInput(step) : 0);
      RunLogicStep();
      if (!PoolsUntouchedOutside()) {
        ADD_FAILURE() << "a pool was written past its end at step " << step;
        return -1;
      }
      if (g_scene != scene || g_stageOver != 0) return step + 1;
    }
    return -1;
  }
  // Plays each card slot in [first, last] alone in spell practice on every difficulty, still
  // and firing: the play must end within the budget with the card tried once; `check` adds
  // the caller's facts about the finished play.
  void PlayEveryCardInPractice(int first, int last, int budget,
                               const std::function<void(int slot, bool firing)>& check = nullptr) {
    for (int slot = first; slot <= last; ++slot) {
      for (int difficulty = 0; difficulty < 4; ++difficulty) {
        for (bool firing : {false, true}) {
          SCOPED_TRACE(slot * 100 + difficulty * 10 + firing);
          ASSERT_GT(PlayThrough(200 + slot, difficulty, firing, budget), 0);
          ASSERT_EQ(g_stageOver, 1);
          EXPECT_EQ(SpellCardHistory[0][GetSpellCardId(difficulty, slot)].attempts, 1);
          if (check) check(slot, firing);
        }
      }
    }
  }

  // Runs `script` in place of RunStage for the following steps.
  void UseScript(std::function<void()> script) {
    Script() = std::move(script);
    g_stageScriptOverride = [] { Script()(); };
  }

  void Step(int count = 1, int input = 0) {
    SetLiveInput(input);
    for (int k = 0; k < count; ++k) RunLogicStep();
  }

  // Runs card `slot` alone (the spell practice stage) to the given timer.
  void RunCardTo(int difficulty, int slot, int timer) {
    Begin(200 + slot, difficulty);
    g_player.invulnerable = 1 << 20;
    for (int guard = 0; guard < 8000; ++guard) {
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

  static int LiveBullets() {
    int live = 0;
    for (const EnemyBullet& b : g_enemyBullets) live += b.state != 0;
    return live;
  }
  static int LiveLasers() {
    int live = 0;
    for (const Laser& l : g_lasers) live += l.state != 0;
    return live;
  }

  static bool PoolsUntouchedOutside() {
    return g_enemies.dummy().active == 0 && g_enemyBullets.dummy().state == 0 &&
           g_lasers.dummy().state == 0 && g_items.dummy().active == 0 &&
           g_bosses.dummy().state == 0;
  }

  static int PlayedCount(int slot) {
    int count = 0;
    for (int s : Played()) count += s == slot;
    return count;
  }

  static std::vector<int>& Played() {
    static std::vector<int> played;
    return played;
  }
  static int& StopCount() {
    static int count = 0;
    return count;
  }
  static std::function<void()>& Script() {
    static std::function<void()> script;
    return script;
  }
};

// An enemy standing at (224, 100) in `slot`, with the given age and segment ages.
inline Enemy& PlaceEnemy(int slot, int age, double t1, double t2) {
  Enemy& e = g_enemies[slot];
  e = Enemy{};
  e.active = 1;
  e.x = 224;
  e.y = 100;
  e.age = age;
  e.hp = 100;
  e.seg1.age = t1;
  e.seg2.age = t2;
  return e;
}

// Live enemy bullets, each checked to be of `sheet`.
inline int LiveBulletsOfSheet(int sheet) {
  int live = 0;
  for (const EnemyBullet& bullet : g_enemyBullets) {
    if (bullet.state == 0) continue;
    ++live;
    EXPECT_EQ(bullet.sheet, sheet);
  }
  return live;
}

// Live satellites (behaviour 18) around the bullet in slot `centre`, in slot order.
inline std::vector<int> SatellitesAround(int centre) {
  std::vector<int> out;
  for (int slot = 0; slot < kBulletSlots; ++slot) {
    const EnemyBullet& b = g_enemyBullets[slot];
    if (b.state != 0 && b.behaviour == 18 && b.behaviourParam == centre) out.push_back(slot);
  }
  return out;
}

// Live notices in slot order.
inline std::vector<Notice> LiveNotices() {
  std::vector<Notice> out;
  for (const Notice& notice : g_notices)
    if (notice.frames != 0) out.push_back(notice);
  return out;
}
