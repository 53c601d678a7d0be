// Two runs with the same input agree; drawing (with its own random numbers) changes
// nothing; recording merges repeated inputs. Playback itself is pinned by the kept replay
// set and the live-replay tests.
#include <cstdlib>
#include <vector>

#include "game/play/play_draw_table.h"
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
