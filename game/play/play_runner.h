#pragma once
// Running the play without a window: set a play up, feed input bytes, run logic
// steps, read the state back and hash it. The frame loop uses the same entries.
#include <cstdint>

#include "game/play/replay_memory.h"

struct PlaySetup {
  int scene;        // 1-6, 8, 11-16, 200-299
  int difficulty;   // 0-4
  int character;    // kCharacterA or kCharacterB
  uint32_t startCounter;
};

// A live play: the play state reset, start values, the recording restarted.
void BeginPlay(const PlaySetup& setup);
// Playback of `count` recorded pairs: g_scene becomes the scene's playback number.
void BeginPlayback(const PlaySetup& setup, const ReplayPair* pairs, int count);
// The byte the next live step takes (the frame loop builds it from the keys).
void SetLiveInput(int inputByte);

// One logic step, its parts in a fixed order: replays rely on it.
void RunLogicStep();
// The logic steps of one frame: max(1, g_gameSpeed div 10), stopping after a step
// that ends the stage or commits a game over. Returns the steps run.
int RunPlayFrameSteps();

// A stable 64-bit hash of everything a replay must reproduce: the globals, every
// pool, the player, the effect logic and the random counter.
uint64_t HashPlayState();

// Tools and tests may run a script of their own in place of RunStage; null runs it.
extern void (*g_stageScriptOverride)();

// A continue after a committed game over (main game only).
void ContinuePlay();
