// Replays saved from a live play through the frame loop's own path, loaded back from
// disk and played to the same state at every step; the drawing leaves the play alone.
#include <unistd.h>

#include <vector>

#include "game/draw/game_images.h"
#include "game/draw/play_draw.h"
#include "game/files/replay_file.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/play_scene.h"
#include "graphics/screen.h"
#include "tests/game/app/app_fixture.h"

namespace {

// The play's hash with the scene read as the live play's: playback runs the same
// scenes under their playback numbers.
uint64_t PlayHash() {
  const int scene = g_scene;
  g_scene = PlayedScene(g_scene);
  const uint64_t hash = HashPlayState();
  g_scene = scene;
  return hash;
}

class LiveReplayTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    InstallPlayDrawing(false);
    folder_ = TempFolder();
    ASSERT_EQ(chdir(folder_.c_str()), 0);
  }
  void TearDown() override { InstallPlayDrawing(false); }

  // Plays stage 1 live for up to `frames` passes (or until a menu opens), the hash of
  // the play after every pass (one step each).
  std::vector<uint64_t> PlayLive(int frames, uint32_t seed) {
    StartLivePlay(1, 1, 0);
    std::vector<uint64_t> hashes;
    for (int f = 0; f < frames && g_scene < 10000 && IsPlayScene(g_scene); ++f) {
      Keys(NextTestInput(&seed));
      RunGameFrame();
      hashes.push_back(PlayHash());
    }
    return hashes;
  }

  std::string folder_;
};

TEST_F(LiveReplayTest, ReplaySavedFromALivePlayPlaysBackToTheSameHashAtEveryStep) {
  const std::vector<uint64_t> live = PlayLive(2400, 99);
  ASSERT_GT(live.size(), 600u);
  const int score = g_player.score;
  ASSERT_TRUE(SaveRecordedReplay(ReplayFilePath(3), "TESTER"));

  ReplayHeader header{};
  ASSERT_EQ(InspectReplayFile(ReplayFilePath(3), &header), ReplaySlotState::Valid);
  EXPECT_EQ(header.stepCount, static_cast<int>(live.size()));
  EXPECT_EQ(header.finalScore, score);
  EXPECT_STREQ(header.name, "TESTER");

  ResetPlayState();
  ASSERT_TRUE(StartReplayPlayback(3));
  EXPECT_EQ(g_scene, 1001);
  for (size_t step = 0; step < live.size(); ++step) {
    Keys(0);
    RunGameFrame();
    if (g_scene == 305) {  // a game over ends a playback where the live play opened its menu
      EXPECT_EQ(step, live.size() - 1);
      EXPECT_EQ(g_player.score, score);
      break;
    }
    ASSERT_EQ(PlayHash(), live[step]) << "step " << step;
  }
  // Else the recording is spent: the next pass ends the playback.
  if (g_scene != 305) {
    Keys(0);
    RunGameFrame();
  }
  EXPECT_EQ(g_scene, 305);
  EXPECT_EQ(g_replayPlaying, 0);
}

TEST_F(LiveReplayTest, SkipKeyRunsThreeStepsAFrameAlongTheSameRecording) {
  const std::vector<uint64_t> live = PlayLive(900, 5);
  ASSERT_TRUE(SaveRecordedReplay(ReplayFilePath(1), "SKIP"));
  ASSERT_TRUE(StartReplayPlayback(1));
  size_t done = 0;
  while (done + 3 <= live.size()) {
    Keys(kInputSkip);
    RunGameFrame();
    done += 3;
    ASSERT_EQ(PlayHash(), live[done - 1]) << "after step " << done;
    EXPECT_EQ(g_gameSpeed / 10, 3);
  }
  Keys(0);
  RunGameFrame();
  EXPECT_EQ(g_gameSpeed / 10, 1);
}

TEST_F(LiveReplayTest, APlayThatContinuedSavesNoReplayAndABrokenFileDoesNotPlay) {
  PlayLive(60, 3);
  g_gameOverPending = 1;
  Keys(0);
  RunGameFrame();  // the game-over menu opens: a continue is possible in a main game
  ASSERT_EQ(g_scene / 10000, 1);
  EXPECT_EQ(g_overlayKind, 1);
  Keys(0, 28);  // Enter on "Continue"
  RunGameFrame();
  EXPECT_LT(g_scene, 10000);
  EXPECT_EQ(g_continuesUsed, 1);
  EXPECT_EQ(g_recordOk, 0);
  EXPECT_EQ(g_player.score % 10, 1);

  // A file cut short is refused and changes nothing.
  ASSERT_TRUE(SaveRecordedReplay(ReplayFilePath(2), "CUT"));
  ASSERT_EQ(truncate(ReplayFilePath(2).c_str(), 600), 0);
  const int scene = g_scene;
  EXPECT_FALSE(StartReplayPlayback(2));
  EXPECT_EQ(g_scene, scene);
}

TEST_F(LiveReplayTest, PauseFreezesThePlayAndThePauseKeyResumes) {
  PlayLive(200, 8);
  const uint64_t before = PlayHash();
  Keys(0, g_save.keys.pause);
  RunGameFrame();  // a step runs, then the menu opens
  ASSERT_EQ(g_scene, 10001);
  const uint64_t paused = PlayHash();
  EXPECT_NE(paused, before);
  for (int k = 0; k < 30; ++k) {
    Keys(kInputLeft);  // moves nothing in the menu, confirms nothing
    RunGameFrame();
  }
  EXPECT_EQ(PlayHash(), paused);
  Keys(0);
  RunGameFrame();
  Keys(0, g_save.keys.pause);
  RunGameFrame();
  EXPECT_EQ(g_scene, 1);
}

TEST_F(LiveReplayTest, DrawingOnOrOffGivesTheSameHashAtEveryStep) {
  LoadImages();
  auto run = [&](bool drawing) {
    InstallPlayDrawing(drawing);
    g_playSetup = PlaySetup{1, 2, 7, 0x1234567u};
    BeginPlay(g_playSetup);
    std::vector<uint64_t> hashes;
    uint32_t seed = 42;
    for (int step = 0; step < 3000 && !g_gameOverPending && !g_stageOver; ++step) {
      SetLiveInput(NextTestInput(&seed));
      RunLogicStep();
      hashes.push_back(PlayHash());
    }
    return hashes;
  };
  const std::vector<uint64_t> off = run(false);
  SetDrawScreen(kBackScreen);
  ClearDrawScreen();
  const std::vector<uint64_t> on = run(true);
  ASSERT_EQ(on.size(), off.size());
  ASSERT_GT(on.size(), 1000u);
  for (size_t step = 0; step < on.size(); ++step) ASSERT_EQ(on[step], off[step]) << "step " << step;

  // The drawn run really drew: the field holds more than one colour.
  int pitch = 0;
  const uint16_t* pixels = GetBackScreenPixels(&pitch);
  int differing = 0;
  for (int y = 16; y < 465; y += 7)
    for (int x = 32; x < 417; x += 5) differing += pixels[y * (pitch / 2) + x] != pixels[16 * (pitch / 2) + 32];
  EXPECT_GT(differing, 100);
}

}  // namespace
