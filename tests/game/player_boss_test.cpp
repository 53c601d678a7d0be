// The player's graze, miss sequence and deathbomb window; bosses' movement, warp,
// blast and damage rules; checked indexes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "game/play/play_effects.h"
#include "tests/game/play_fixture.h"

namespace {

class PlayerTest : public PlayTest {};

TEST_F(PlayerTest, GrazeCountedOncePerBullet) {
  g_player.invulnerable = 0;
  // Two resting bullets 10 pixels off: inside the graze radius, outside the hit one.
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 1, .x = g_player.x + 10, .y = g_player.y});
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 1, .x = g_player.x - 10, .y = g_player.y});
  int score = g_player.score;
  Step(10);
  EXPECT_EQ(g_player.graze, 2);
  EXPECT_EQ(g_player.score - score, 1000);
  EXPECT_EQ(g_player.state, 0);
}

TEST_F(PlayerTest, BulletHitStartsTheMissAndClearsCapture) {
  g_player.invulnerable = 0;
  g_spellCapture = 1;
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 1, .x = g_player.x + 2, .y = g_player.y});
  Step();
  EXPECT_EQ(g_player.state, -1);
  EXPECT_EQ(g_spellCapture, 0);
  EXPECT_EQ(g_player.graze, 0);
}

// A fresh bomb press k steps after the hit: within -1..-6 it saves the life.
TEST_F(PlayerTest, DeathbombWindow) {
  for (int k = 1; k <= 8; ++k) {
    SCOPED_TRACE(k);
    BeginPlay(PlaySetup{1, 1, 0, 1u});
    Step();
    StartMiss();
    int lives = g_player.lives;
    Step(k - 1);
    Step(1, kInputBomb);
    bool saved = k <= 6;
    EXPECT_EQ(g_player.state == 0, saved);
    EXPECT_EQ(g_bombActive, saved ? 1 : 0);
    EXPECT_EQ(g_player.lives, saved ? lives : lives - 1);
  }
}

TEST_F(PlayerTest, MissSequenceReturnsThePlayer) {
  g_player.power = 40;
  g_player.bombs = 1;
  StartMiss();
  Step(6);
  EXPECT_EQ(g_player.state, -7);
  EXPECT_EQ(g_player.lives, 1);
  EXPECT_EQ(g_player.power, 24);
  EXPECT_EQ(g_player.bombs, 3);
  EXPECT_EQ(LiveItems(0), 8);
  Step(53);
  EXPECT_EQ(g_player.state, -60);
  EXPECT_EQ(g_player.y, 480.0);
  Step(59);
  EXPECT_EQ(g_player.state, -119);
  EXPECT_EQ(g_player.y, 400.0);
  Step(1, kInputLeft);
  EXPECT_EQ(g_player.state, 0);
  EXPECT_EQ(g_player.invulnerable, 120);
  EXPECT_EQ(g_player.x, 224.0);  // no control on the step that ends the sequence
}

TEST_F(PlayerTest, GameOverPendingWithNoLifeLeft) {
  g_player.lives = 0;
  StartMiss();
  Step(5);
  EXPECT_EQ(g_gameOverPending, 0);
  EXPECT_EQ(RunPlayFrameSteps(), 1);
  EXPECT_EQ(g_gameOverPending, 1);
}

// The last miss of a play that cannot be continued ends it with the figures the play
// had; one that a continue may follow pays the next life as every miss does.
TEST_F(PlayerTest, AGameOverThatEndsThePlayKeepsItsPowerAndBombs) {
  struct Case {
    const char* what;
    int scene, difficulty, continuesUsed;
    int power, bombs;  // after the miss
    int items;
  } cases[] = {
      {"spell practice", 201, 1, 0, 128, 0, 0},
      {"stage practice", 13, 1, 0, 128, 0, 0},
      {"Extra", 8, 4, 0, 128, 0, 0},
      {"main game, no continue left", 1, 1, kMaxContinues, 128, 0, 0},
      {"main game, continues left", 1, 1, 1, 112, 3, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BeginPlay(PlaySetup{c.scene, c.difficulty, 0, 12345u});
    Step();
    g_player.invulnerable = 0;
    g_continuesUsed = c.continuesUsed;
    g_player.lives = 0;
    g_player.bombs = 0;
    g_player.power = 128;
    StartMiss();
    Step(6);
    EXPECT_EQ(g_gameOverPending, 1);
    EXPECT_EQ(g_player.power, c.power);
    EXPECT_EQ(g_player.bombs, c.bombs);
    EXPECT_EQ(LiveItems(0), c.items);
  }
}

TEST_F(PlayerTest, ShotsDamageEnemiesAndScoreRulesHold) {
  SpawnEnemy(0, 1000, 0, 0, 10000, 0, 10000, 0, 0, 0, 0, 224, 300, 0, 0, 0, 0);
  g_enemies[0].age = 0;
  Step(20, kInputShot);
  EXPECT_LT(g_enemies[0].hp, 1000);
  EXPECT_EQ(g_player.score % 10, 0);
  // Each extra life at its own score, the last one into a full stock of 8.
  g_player.lives = 2;
  for (int threshold : {10000000, 25000000, 50000000, 80000000}) {
    if (threshold == 80000000) g_player.lives = 8;
    const int lives = g_player.lives;
    g_player.score = threshold - 10;
    Step();
    EXPECT_EQ(g_player.lives, lives) << threshold;
    g_player.score = threshold;
    Step();
    EXPECT_EQ(g_player.lives, std::min(lives + 1, 8)) << threshold;
  }
  g_player.score = 999999995;
  Step();
  EXPECT_EQ(g_player.score, 999999995);
  g_player.score = 1000000003;
  Step();
  EXPECT_EQ(g_player.score, 999999993);
  g_player.score = 0;
  Step();
  EXPECT_EQ(g_player.lives, 8);  // each paid once
}

class BossTest : public PlayTest {};

TEST_F(BossTest, MovementArrivesExactly) {
  const double frames[] = {7.0, 1.0, 2.5, 0.5};
  for (double n : frames) {
    SCOPED_TRACE(n);
    InitBoss(0, 0, 1, 100.0, 100.0);
    SetBossMoveTarget(0, 301.0, 57.0, n);
    int steps = static_cast<int>(std::ceil(n));
    if (steps > 1) {
      Step(steps - 1);
      EXPECT_NE(g_bosses[0].x, 301.0);
      EXPECT_GT(g_bosses[0].moveFrames, 0.0);
    }
    Step(1);
    EXPECT_EQ(g_bosses[0].x, 301.0);
    EXPECT_EQ(g_bosses[0].y, 57.0);
    EXPECT_EQ(g_bosses[0].moveFrames, 0.0);
  }
}

TEST_F(BossTest, WarpHidesMovesAndRestores) {
  InitBoss(0, 0, 1, 100.0, 100.0);
  Step(2);  // phaseTimer 2
  g_bosses[0].state = 2;
  MoveBoss(0, 0, 500.0, 10.0, 0);
  EXPECT_EQ(g_bosses[0].state, 4);
  Step(14);
  EXPECT_EQ(g_bosses[0].x, 100.0);
  Step(1);
  EXPECT_EQ(g_bosses[0].x, 404.0);
  EXPECT_EQ(g_bosses[0].y, 40.0);
  Step(14);
  EXPECT_EQ(g_bosses[0].state, 4);
  Step(1);
  EXPECT_EQ(g_bosses[0].state, 2);
  EXPECT_EQ(BossEffects[0].ringCounter, 1);
  EXPECT_EQ(BossEffects[0].ringX, 404.0);
}

TEST_F(BossTest, WarpNeedsTimerAndLife) {
  InitBoss(0, 0, 1, 100.0, 100.0);
  MoveBoss(0, 0, 200.0, 200.0, 0);  // phaseTimer 0: only the point
  EXPECT_EQ(g_bosses[0].state, 1);
  Step(3);
  g_bosses[0].hp = 0;
  MoveBoss(0, 0, 200.0, 200.0, 0);
  EXPECT_EQ(g_bosses[0].state, 1);
  g_talkActive = 1;
  MoveBoss(0, 0, 200.0, 200.0, 0);
  EXPECT_EQ(g_bosses[0].state, 4);
  MoveBoss(5, 0, 200.0, 200.0, 0);
  MoveBoss(-1, 1, 200.0, 200.0, 0);
}

void BlastScript() { RunBossExplosion(1); }

TEST_F(BossTest, BlastEndFreesEveryBossInState3) {
  g_stageScriptOverride = &BlastScript;
  for (int slot = 0; slot < 3; ++slot) InitBoss(slot, 0, 1, 224, 100);
  g_bosses[0].state = 3;
  g_bosses[1].state = 3;
  RunBossExplosion(0);
  Step(1);
  ShootRing({.sheet = 1, .spawnCode = 1, .n = 4, .x = 224, .y = 100, .speed = 1, .speedLimit = 1});
  EXPECT_EQ(LiveBullets(), 0);  // a beaten boss fires nothing during its blast
  Step(38);
  EXPECT_EQ(g_bosses[0].state, 3);
  Step(1);
  EXPECT_EQ(g_bosses[0].state, 0);
  EXPECT_EQ(g_bosses[1].state, 0);
  EXPECT_EQ(g_bosses[2].state, 1);
  EXPECT_EQ(g_bosses[0].hp, 100);  // the record stays for the card end
}

TEST_F(BossTest, DamageOnlyWhenAllowed) {
  struct Case {
    int phaseTimer, maxHp, talk, state;
    bool damaged;
  } cases[] = {
      {200, 500, 0, 1, true}, {200, 500, 0, 2, true}, {50, 500, 0, 1, false},
      {200, 100, 0, 1, false}, {200, 500, 1, 1, false}, {200, 500, 0, 3, false},
  };
  for (const Case& c : cases) {
    g_playerShots.Clear();
    InitBoss(0, 0, 1, g_player.x, g_player.y - 60);
    Boss& boss = g_bosses[0];
    boss.phaseTimer = c.phaseTimer;
    boss.maxHp = c.maxHp;
    boss.hp = 500;
    boss.state = c.state;
    g_talkActive = c.talk;
    Step(6, kInputShot);
    EXPECT_EQ(boss.hp < 500, c.damaged) << c.phaseTimer << " " << c.maxHp << " " << c.talk;
  }
}

TEST_F(BossTest, SpellTimerAndTick) {
  int ticks = 0;
  static int* counter;
  counter = &ticks;
  SoundEffectTable[kSeTimerTick] = 77;
  const PlaySoundTable* soundLayer = g_playSound;
  static const PlaySoundTable kRecorder{[](int handle, int, int) {
                                          if (handle == 77) ++*counter;
                                          return 0;
                                        },
                                        nullptr, nullptr};
  g_playSound = &kRecorder;
  InitBoss(0, 0, 1, 224, 100);
  g_bosses[0].spellTimer = 602;
  for (int k = 0; k < 130; ++k) {
    Step();
    DrawBossStatus(0, 0);
  }
  EXPECT_EQ(g_bosses[0].spellTimer, 472);
  EXPECT_EQ(ticks, 3);  // 600, 540, 480
  g_bosses[0].state = 3;
  Step();
  EXPECT_EQ(g_bosses[0].spellTimer, 472);
  g_playSound = soundLayer;
  SoundEffectTable[kSeTimerTick] = -1;
}

TEST_F(BossTest, CheckedIndexesNeverLeaveTheTables) {
  uint64_t before = HashPlayState();
  InitBoss(10, 1, 1, 5, 5);
  SetBossMoveTarget(10, 1, 1, 5);
  SetBossAnimation(10, 0, 9);
  g_bosses[10].state = 1;
  g_bosses[-1].hp = 7;
  g_enemyBullets[800].state = 1;
  g_enemyBullets[-5].x = 1;
  g_lasers[80].state = 1;
  g_items[500].active = 1;
  g_enemies[30].active = 1;
  g_playerShots[128].state = 1;
  SpawnEnemy(30, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(HashPlayState(), before);
  EXPECT_EQ(g_bosses[10].state, 0);

  SpellCardHistory[0][GetSpellCardId(0, 0)].attempts += 1;  // id -2
  SpellCardHistory.at(1, 119).captures = 5;
  CardSeenFlags[2][5] = 1;
  StageProgress[0][5] = 3;
  StageProgress[-1][0] = 3;
  int seen = 0, history = 0, progress = 0;
  for (int row = 0; row < 2; ++row) {
    for (int id = 0; id < kSpellCardCount; ++id) {
      seen += CardSeenFlags[row][id];
      history += SpellCardHistory[row][id].attempts + SpellCardHistory[row][id].captures;
    }
    for (int d = 0; d < 5; ++d) progress += StageProgress[row][d];
  }
  EXPECT_EQ(seen + history + progress, 0);
  EXPECT_EQ(SoundEffectTable[20], -1);
  EXPECT_EQ(SoundEffectTable[-1], -1);
  EXPECT_STREQ(MusicTitleTable[18], "");
  EXPECT_STRNE(MusicTitleTable[17], "");
  EXPECT_EQ(SpriteSheetHandles.portrait[9][0], -1);
  EXPECT_EQ(SpriteSheetHandles.stageTitle[7], -1);
}

TEST(SpellCardIdTest, IdsAndHits) {
  const int table[][3] = {{0, 0, -2}, {3, 0, 1}, {2, 25, 100}, {1, 1, 3}, {4, 0, 102}, {4, 16, 118}};
  for (const auto& row : table) EXPECT_EQ(GetSpellCardId(row[0], row[1]), row[2]);
  EXPECT_TRUE(HitCircle(0, 0, 3, 4, 5.01));
  EXPECT_FALSE(HitCircle(0, 0, 3, 4, 5.0));
  EXPECT_TRUE(HitSegment(5, 1, 0, 0, 10, 0, 1.5));
  EXPECT_FALSE(HitSegment(0, 1, 0, 0, 10, 0, 1.5));    // projection 0 is not inside
  EXPECT_FALSE(HitSegment(11, 0, 0, 0, 10, 0, 1.5));
  EXPECT_FALSE(HitSegment(5, 1, 5, 5, 5, 5, 10));      // a point segment
}

}  // namespace
