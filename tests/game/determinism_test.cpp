// Replays: a recorded run played back gives the same hash at every step; two runs
// with the same input agree; drawing (with its own random numbers) changes nothing.
#include <cstdlib>
#include <vector>

#include "game/play/play_draw.h"
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

// The play's hash in playback, where the scene differs by 1000 from the live play.
uint64_t PlaybackHash() {
  g_scene -= 1000;
  uint64_t hash = HashPlayState();
  g_scene += 1000;
  return hash;
}

// One recording played back at one step a frame, then fast-forwarded at three steps a
// frame: both must match the live run at every step and end with the recording.
TEST(DeterminismTest, RecordedRunPlaysBackStepForStepAndFastForwarded) {
  std::vector<uint64_t> live = RunLive(7);
  ASSERT_EQ(g_replayStepCount, kSteps);
  ASSERT_GT(g_replayPairCount, 0);
  std::vector<ReplayPair> pairs(g_replayPairs, g_replayPairs + g_replayPairCount);

  g_stageScriptOverride = &SoakScript;
  BeginPlayback(kSetup, pairs.data(), static_cast<int>(pairs.size()));
  for (int k = 0; k < kSteps; ++k) {
    RunLogicStep();
    if (g_gameOverPending) ContinuePlay();
    ASSERT_EQ(PlaybackHash(), live[k]) << "step " << k;
  }
  EXPECT_EQ(g_stageOver, 0);
  RunLogicStep();  // no bytes left: the replay ends instead of running on
  EXPECT_EQ(g_stageOver, 1);

  BeginPlayback(kSetup, pairs.data(), static_cast<int>(pairs.size()));
  int frames = 0;
  while (g_stageOver == 0) {  // until the recording runs out
    g_gameSpeed = 30 + g_gameSpeed % 10;
    RunPlayFrameSteps();
    if (g_gameOverPending) ContinuePlay();
    ++frames;
    if (g_stageOver != 0) break;
    ASSERT_EQ(PlaybackHash(), live[g_stepSerial - 1]) << "step " << g_stepSerial;
  }
  EXPECT_EQ(g_stepSerial, static_cast<uint32_t>(kSteps));
  EXPECT_LT(frames, kSteps / 2);
  g_stageScriptOverride = nullptr;
}

// Two runs with the same input agree step for step, one of them drawn (drawing takes
// its own random numbers); another input diverges.
TEST(DeterminismTest, SameInputSameHashesWithOrWithoutDrawing) {
  std::vector<uint64_t> headless = RunLive(9);
  g_playDraw = &kNoisyDraw;
  std::srand(1234);
  std::vector<uint64_t> drawn = RunLive(9);
  g_playDraw = nullptr;
  EXPECT_EQ(headless, drawn);
  EXPECT_NE(headless.back(), RunLive(10).back());
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
