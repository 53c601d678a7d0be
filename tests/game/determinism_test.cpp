// Replays: a recorded run played back gives the same hash at every step; two runs
// with the same input agree; drawing (with its own random numbers) changes nothing.
#include <cstdlib>
#include <vector>

#include "game/play_draw.h"
#include "tests/game/play_fixture.h"
#include "tests/game/soak_script.h"

namespace {

constexpr int kSteps = 3000;
const PlaySetup kSetup{3, 2, 7, 0xDEADBEEFu};

std::vector<uint64_t> RunLive(uint32_t inputSeed) {
  g_stageScriptOverride = &SoakScript;
  BeginPlay(kSetup);
  std::vector<uint64_t> hashes;
  for (int k = 0; k < kSteps; ++k) {
    SetLiveInput(SoakInput(&inputSeed));
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
    hashes.push_back(HashPlayState());
  }
  g_stageScriptOverride = nullptr;
  return hashes;
}

// A draw table whose entries use the cosmetic generator, as real drawing does.
void Cosmetic() { (void)std::rand(); }
void CosmeticInt(int) { (void)std::rand(); }
void CosmeticStatus(int, int) { (void)std::rand(); }
const PlayDrawTable kNoisyDraw = {Cosmetic, Cosmetic, Cosmetic, Cosmetic, Cosmetic, Cosmetic,
                                  Cosmetic, Cosmetic, Cosmetic, Cosmetic, Cosmetic, Cosmetic,
                                  Cosmetic, Cosmetic, CosmeticInt, CosmeticInt, CosmeticInt,
                                  Cosmetic, CosmeticStatus};

TEST(DeterminismTest, SameInputSameHashes) {
  std::vector<uint64_t> first = RunLive(42);
  std::vector<uint64_t> second = RunLive(42);
  EXPECT_EQ(first, second);
  std::vector<uint64_t> other = RunLive(43);
  EXPECT_NE(first.back(), other.back());
}

TEST(DeterminismTest, RecordedRunPlaysBackStepForStep) {
  std::vector<uint64_t> live = RunLive(7);
  ASSERT_EQ(g_replayStepCount, kSteps);
  ASSERT_GT(g_replayPairCount, 0);
  std::vector<ReplayPair> pairs(g_replayPairs, g_replayPairs + g_replayPairCount);

  g_stageScriptOverride = &SoakScript;
  BeginPlayback(kSetup, pairs.data(), static_cast<int>(pairs.size()));
  for (int k = 0; k < kSteps; ++k) {
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
    // The scene differs by 1000 in playback; everything else must match.
    g_scene -= 1000;
    ASSERT_EQ(HashPlayState(), live[k]) << "step " << k;
    g_scene += 1000;
  }
  EXPECT_EQ(g_stageOver, 0);
  RunLogicStep();  // no bytes left: the replay ends instead of running on
  EXPECT_EQ(g_stageOver, 1);
  g_stageScriptOverride = nullptr;
}

// Fast-forward in playback (three steps a frame) must not change what is played.
TEST(DeterminismTest, PlaybackAtThreeStepsAFrameMatches) {
  std::vector<uint64_t> live = RunLive(11);
  std::vector<ReplayPair> pairs(g_replayPairs, g_replayPairs + g_replayPairCount);
  g_stageScriptOverride = &SoakScript;
  BeginPlayback(kSetup, pairs.data(), static_cast<int>(pairs.size()));
  int frames = 0;
  while (g_stageOver == 0) {  // until the recording runs out
    g_gameSpeed = 30 + g_gameSpeed % 10;
    RunPlayFrameSteps();
    if (g_gameOverPending) ContinuePlay();
    ++frames;
    if (g_stageOver != 0) break;
    g_scene -= 1000;
    ASSERT_EQ(HashPlayState(), live[g_stepSerial - 1]) << "step " << g_stepSerial;
    g_scene += 1000;
  }
  EXPECT_EQ(g_stepSerial, static_cast<uint32_t>(kSteps));
  EXPECT_LT(frames, kSteps / 2);
  g_stageScriptOverride = nullptr;
}

TEST(DeterminismTest, DrawingDoesNotReachLogic) {
  std::vector<uint64_t> headless = RunLive(9);
  g_playDraw = &kNoisyDraw;
  std::srand(1234);
  std::vector<uint64_t> drawn = RunLive(9);
  g_playDraw = nullptr;
  EXPECT_EQ(headless, drawn);
}

TEST(DeterminismTest, RecordingMergesRepeatsUpTo255) {
  ClearRecording();
  for (int k = 0; k < 300; ++k) AppendRecordedInput(5);
  AppendRecordedInput(6);
  ASSERT_EQ(g_replayPairCount, 3);
  EXPECT_EQ(g_replayPairs[0].count, 255);
  EXPECT_EQ(g_replayPairs[1].count, 45);
  EXPECT_EQ(g_replayPairs[2].input, 6);
  EXPECT_EQ(g_replayStepCount, 301);
}

}  // namespace

namespace {

// The real stage scripts under random input: recorded and played back alike.
TEST(DeterminismTest, RealStagePlaysBackStepForStep) {
  const PlaySetup setup{1, 3, 0, 0x1234567u};
  g_stageScriptOverride = nullptr;
  BeginPlay(setup);
  uint32_t seed = 31;
  std::vector<uint64_t> live;
  int bossSteps = 0;
  for (int k = 0; k < 8000 && !g_stageOver; ++k) {
    SetLiveInput(SoakInput(&seed) | kInputShot);
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
    bossSteps += g_bosses[0].state != 0;
    live.push_back(HashPlayState());
  }
  EXPECT_GT(bossSteps, 0);  // the run reached a boss
  std::vector<ReplayPair> pairs(g_replayPairs, g_replayPairs + g_replayPairCount);
  BeginPlayback(setup, pairs.data(), static_cast<int>(pairs.size()));
  for (size_t k = 0; k < live.size(); ++k) {
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
    g_scene -= 1000;
    ASSERT_EQ(HashPlayState(), live[k]) << "step " << k;
    g_scene += 1000;
  }
}

}  // namespace
