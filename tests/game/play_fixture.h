#pragma once
// A headless play with no stage script, for tests that drive the core directly.
#include <gtest/gtest.h>

#include "game/play/play_internal.h"
#include "game/play/play_runner.h"

inline void NoScript() {}

class PlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_stageScriptOverride = &NoScript;
    BeginPlay(PlaySetup{1, 1, 0, 12345u});
    // Step once so the stage-start reset of frame 0 is behind us.
    Step();
    g_player.invulnerable = 0;
  }
  void TearDown() override { g_stageScriptOverride = nullptr; }

  void Step(int steps = 1, int input = 0) {
    SetLiveInput(input);
    for (int k = 0; k < steps; ++k) RunLogicStep();
  }

  static int LiveBullets() {
    int count = 0;
    for (const EnemyBullet& b : g_enemyBullets) count += b.state != 0;
    return count;
  }
  static int LiveLasers() {
    int count = 0;
    for (const Laser& l : g_lasers) count += l.state != 0;
    return count;
  }
  static int LiveItems(int kind = -1) {
    int count = 0;
    for (const Item& i : g_items) count += i.active && (kind < 0 || i.kind == kind);
    return count;
  }
  // The value NextRandom will give next, without advancing it.
  static int PeekRandom() {
    uint32_t saved = g_randomCounter;
    int value = NextRandom();
    g_randomCounter = saved;
    return value;
  }
  // Moves the player out of the way of everything near the top of the field.
  static void ParkPlayer() {
    g_player.x = 224.0;
    g_player.y = 440.0;
    g_player.invulnerable = 1000000;
  }
};
