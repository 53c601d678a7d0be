// Saved replays stay valid: every replay of the kept set plays back through the same
// states as when it was recorded. Each file in tests/data/replays has beside it the
// score and step count at the end of its play-back and the state hash after every
// 600th step (written by tools/replay_recorder, re-run when play changes on purpose).
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "game/files/replay_file.h"
#include "game/play/play_runner.h"
#include "game/play/replay_memory.h"
#include "play_fixture.h"

namespace {

struct Expected {
  int score = -1, steps = -1;
  std::vector<uint64_t> hashes;
};

bool ReadExpected(const std::string& path, Expected* out) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  bool ok = std::fscanf(file, "score %d steps %d", &out->score, &out->steps) == 2;
  uint64_t hash = 0;
  while (ok && std::fscanf(file, "%" SCNx64, &hash) == 1) out->hashes.push_back(hash);
  std::fclose(file);
  return ok;
}

// Played as the recorder played them: nothing drawn or heard, no image handles, a fresh
// card history.
class ReplaySet : public ::testing::TestWithParam<const char*> {};

TEST_P(ReplaySet, PlaysBackThroughItsStoredStatesToItsScore) {
  const std::string base = std::string(REPLAY_DATA_DIR) + "/" + GetParam();
  Expected expected;
  ASSERT_TRUE(ReadExpected(base + ".expected", &expected));
  std::vector<ReplayPair> pairs(kReplayPairCapacity);
  ReplayData replay{ReplayHeader{}, pairs.data(), kReplayPairCapacity};
  ASSERT_TRUE(LoadReplayFile(base + ".rip", &replay));
  const ReplayHeader& header = replay.header;

  BeginPlayback(PlaySetup{header.scene, header.difficulty, header.character, header.startCounter},
                pairs.data(), header.pairCount);
  int played = 0;
  size_t checked = 0;
  while (played < header.stepCount && g_stageOver == 0 && g_gameOverPending == 0) {
    RunLogicStep();
    if (++played % 600 != 0) continue;
    ASSERT_LT(checked, expected.hashes.size());
    ASSERT_EQ(HashAsLive(), expected.hashes[checked]) << "step " << played;
    ++checked;
  }
  EXPECT_EQ(played, expected.steps) << "the play-back ends where it ended when recorded";
  EXPECT_EQ(checked, expected.hashes.size());
  EXPECT_EQ(g_player.score, expected.score);
}

INSTANTIATE_TEST_SUITE_P(
    Kept, ReplaySet,
    ::testing::Values("stage1_easy", "stage1_normal", "stage1_hard", "stage1_lunatic",
                      "stage2_easy", "stage2_normal", "stage2_hard", "stage2_lunatic",
                      "stage3_easy", "stage3_normal", "stage3_hard", "stage3_lunatic",
                      "stage4_easy", "stage4_normal", "stage4_hard", "stage4_lunatic",
                      "stage5_easy", "stage5_normal", "stage5_hard", "stage5_lunatic",
                      "stage6_easy", "stage6_normal", "stage6_hard", "stage6_lunatic", "extra",
                      "main_normal", "spell_hard", "spell_extra"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
