#include "game/files/replay_file.h"

#include <cstring>
#include <functional>
#include <vector>

#include "game/files/save_file.h"
#include "game/play/play_codes.h"
#include "platform/log.h"
#include "tests/game/file_images.h"
#include "tests/game/files_fixture.h"

namespace {

class ReplayFileTest : public TempFolder {
 protected:
  void SetUp() override {
    TempFolder::SetUp();
    header_ = ReplayHeader{};
    header_.scene = 12, header_.difficulty = 3, header_.character = 7;
    header_.startCounter = 0xDEADBEEFu, header_.finalScore = 123456780, header_.lastScene = 13;
    std::strcpy(header_.date, "2026/12/06 21:45");
    std::strcpy(header_.name, "ABC-1 ?!");
    uint32_t s = 7;
    for (int i = 0; i < 3000; ++i) {
      s = s * 1664525u + 1013904223u;
      pairs_.push_back(ReplayPair{uint8_t(s >> 24), uint8_t(1 + (s >> 8) % 255)});
    }
  }
  std::string Image() const { return EncodeReplay(header_, pairs_.data(), int(pairs_.size())); }

  ReplayHeader header_;
  std::vector<ReplayPair> pairs_;
};

void Put32(std::string& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
// Re-signed images carry only the intended fault.
constexpr auto Resign = SignedImage;

}  // namespace

TEST_F(ReplayFileTest, RecordingSurvivesASaveAndALoad) {
  std::string path = ReplayFilePath(7, Path("Replay").c_str());
  ASSERT_TRUE(SaveReplayFile(path, header_, pairs_.data(), int(pairs_.size())));
  EXPECT_TRUE(std::filesystem::is_directory(Path("Replay"))) << "the folder is made when missing";
  EXPECT_EQ(std::filesystem::path(path).filename(), "vlm_07.rip");
  EXPECT_EQ(std::filesystem::file_size(path), 512 + 2 * pairs_.size());
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  std::vector<ReplayPair> buffer(kReplayPairCapacity);
  ReplayData loaded{{}, buffer.data(), kReplayPairCapacity};
  ASSERT_TRUE(LoadReplayFile(path, &loaded));
  const ReplayHeader& h = loaded.header;
  EXPECT_EQ(h.scene, 12);
  EXPECT_EQ(h.difficulty, 3);
  EXPECT_EQ(h.character, 7);
  EXPECT_EQ(h.startCounter, 0xDEADBEEFu);
  EXPECT_EQ(h.finalScore, 123456780);
  EXPECT_EQ(h.lastScene, 13);
  EXPECT_STREQ(h.date, "2026/12/06 21:45");
  EXPECT_STREQ(h.name, "ABC-1 ?!");
  ASSERT_EQ(h.pairCount, int(pairs_.size()));
  int steps = 0;
  for (size_t i = 0; i < pairs_.size(); ++i) {
    EXPECT_EQ(buffer[i].input, pairs_[i].input) << i;
    EXPECT_EQ(buffer[i].count, pairs_[i].count) << i;
    steps += pairs_[i].count;
  }
  EXPECT_EQ(h.stepCount, steps);

  ReplayHeader listed;
  EXPECT_EQ(InspectReplayFile(path, &listed), ReplaySlotState::Valid);
  EXPECT_EQ(ReplayListLine(7, ReplaySlotState::Valid, listed), "No.07 ABC-1 ?! 2026/12/06 21:45 B Lunatic Stage 2");
  // A card by the number the spell practice list gives it; the Extra stage named once.
  listed.scene = CardPracticeScene(3), listed.difficulty = 0;
  EXPECT_EQ(ReplayListLine(7, ReplaySlotState::Valid, listed, true), "No.07 ABC-1 ?! 12/06 B Easy No.010");
  listed.scene = CardPracticeScene(16), listed.difficulty = kDifficultyExtra;
  EXPECT_EQ(ReplayListLine(7, ReplaySlotState::Valid, listed), "No.07 ABC-1 ?! 2026/12/06 21:45 B Extra No.118");
  listed.scene = kSceneExtraStage;
  EXPECT_EQ(ReplayListLine(7, ReplaySlotState::Valid, listed), "No.07 ABC-1 ?! 2026/12/06 21:45 B Extra");
  EXPECT_EQ(InspectReplayFile(ReplayFilePath(8, Path("Replay").c_str()), &listed), ReplaySlotState::Empty);
  EXPECT_EQ(ReplayListLine(8, ReplaySlotState::Empty, listed), "No.08 -- empty --");
}

TEST_F(ReplayFileTest, EveryMalformedFileIsRefusedAndChangesNothing) {
  const std::string good = Image();
  auto with = [&](std::function<void(std::string&)> change) {
    std::string b = good;
    change(b);
    return Resign(b);
  };
  auto header = [&](int scene, int difficulty, int character) {
    return with([=](std::string& b) {
      Put32(b, 16, uint32_t(scene)), Put32(b, 20, uint32_t(difficulty)), Put32(b, 24, uint32_t(character));
    });
  };
  struct Case {
    const char* what;
    std::string bytes;
    int capacity = kReplayPairCapacity;
  };
  std::vector<Case> cases = {
      {"shorter than the header", good.substr(0, 511)},
      {"header only, pairs promised", Resign(good.substr(0, 512))},
      {"wrong magic", with([](std::string& b) { b[3] = 'X'; })},
      {"wrong version", with([](std::string& b) { Put32(b, 4, 2); })},
      {"wrong header size", with([](std::string& b) { Put32(b, 8, 256); })},
      {"a byte too many", Resign(good + '\x01')},
      {"a pair missing", Resign(good.substr(0, good.size() - 2))},
      {"pair count too large", with([](std::string& b) { Put32(b, 40, 0x80000000u); })},
      {"wrong check", [&] { std::string b = good; b[600] ^= 1; return b; }()},
      {"scene 0", header(0, 0, 0)},
      {"scene 7", header(7, 0, 0)},
      {"scene 9", header(9, 0, 0)},
      {"scene 17", header(17, 0, 0)},
      {"scene 300", header(300, 0, 0)},
      {"scene 1001", header(1001, 0, 0)},
      {"difficulty 5", header(1, 5, 0)},
      {"difficulty -1", header(1, -1, 0)},
      {"character 1", header(1, 0, 1)},
      {"character 14", header(1, 0, 14)},
      {"card slot 0 on Normal", header(200, 1, 0)},
      {"card slot 26 on Lunatic", header(226, 3, 0)},
      {"Extra card slot 17", header(217, 4, 0)},
      {"repeat count 0", with([](std::string& b) {  // the step count still adds up
         uint32_t steps;
         std::memcpy(&steps, b.data() + 36, 4);
         Put32(b, 36, steps - uint8_t(b[512 + 2 * 1500 + 1]));
         b[512 + 2 * 1500 + 1] = 0;
       })},
      {"step count off by one", with([](std::string& b) {
         uint32_t steps;
         std::memcpy(&steps, b.data() + 36, 4);
         Put32(b, 36, steps + 1);
       })},
      {"more pairs than the buffer", good, 2999},
  };
  for (const Case& c : cases) {
    std::string path = Path("vlm_01.rip");
    WriteWholeFile(path, c.bytes);
    std::vector<ReplayPair> buffer(c.capacity, ReplayPair{0xAA, 0xBB});
    ReplayData replay{{}, buffer.data(), c.capacity};
    replay.header.scene = 4242;
    EXPECT_FALSE(LoadReplayFile(path, &replay)) << c.what;
    EXPECT_EQ(replay.header.scene, 4242) << c.what << ": the header changed";
    bool untouched = true;
    for (const ReplayPair& p : buffer) untouched &= p.input == 0xAA && p.count == 0xBB;
    EXPECT_TRUE(untouched) << c.what << ": the pair buffer changed";
    ReplayHeader listed{};
    ReplaySlotState state = c.capacity == kReplayPairCapacity ? ReplaySlotState::Broken : ReplaySlotState::Valid;
    EXPECT_EQ(InspectReplayFile(path, &listed), state) << c.what;
  }
  EXPECT_EQ(ReplayListLine(1, ReplaySlotState::Broken, header_), "No.01 -- broken --");
  std::filesystem::create_directory(Path("vlm_02.rip"));
  ReplayHeader listed;
  EXPECT_EQ(InspectReplayFile(Path("vlm_02.rip"), &listed), ReplaySlotState::Broken) << "a folder in its place";
  EXPECT_TRUE(ReturnsWithAFifoInPlace(Path("vlm_03.rip"), [&] {
    EXPECT_EQ(InspectReplayFile(Path("vlm_03.rip"), &listed), ReplaySlotState::Broken) << "a FIFO in its place";
  }));
  // Each legal start is accepted, so the cases above fail for their own fault.
  for (auto [scene, difficulty] : {std::pair{1, 0}, {8, 4}, {11, 2}, {16, 3}, {200, 2}, {225, 0}, {216, 4}}) {
    std::string b = header(scene, difficulty, 0);
    ReplayHeader h;
    EXPECT_TRUE(DecodeReplay(reinterpret_cast<const uint8_t*>(b.data()), b.size(), &h, nullptr, kReplayPairCapacity))
        << scene << " " << difficulty;
  }
}

TEST_F(ReplayFileTest, SavingRefusesARecordingThatCouldNotLoad) {
  pairs_[10].count = 0;
  std::string path = ReplayFilePath(3, dir_.c_str());
  EXPECT_FALSE(SaveReplayFile(path, header_, pairs_.data(), int(pairs_.size())));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ReplayFileTest, AFailedSaveLeavesTheOldReplayIntact) {
  std::string path = ReplayFilePath(2, dir_.c_str());
  ASSERT_TRUE(SaveReplayFile(path, header_, pairs_.data(), 100));
  std::string before = ReadWholeFile(path);
  std::filesystem::create_directories(path + ".tmp/x");
  EXPECT_FALSE(SaveReplayFile(path, header_, pairs_.data(), int(pairs_.size())));
  EXPECT_EQ(ReadWholeFile(path), before);
}

TEST_F(ReplayFileTest, AReplayFolderThatCannotBeMadeIsToldAsSuch) {
  StartLog(dir_.c_str());
  WriteWholeFile(Path("plain"), "a file where a folder should be");
  EXPECT_FALSE(SaveReplayFile(Path("plain/Replay/vlm_01.rip"), header_, pairs_.data(), int(pairs_.size())));
  EXPECT_STREQ(WriteErrorWord(LastWriteError()), "folder missing");
  EXPECT_NE(ReadWholeFile(Path("Log.txt")).find("the folder " + Path("plain/Replay") + " could not be made"),
            std::string::npos);
  // A recording refused before any write leaves no cause from an earlier write.
  pairs_[0].count = 0;
  EXPECT_FALSE(SaveReplayFile(ReplayFilePath(1, dir_.c_str()), header_, pairs_.data(), int(pairs_.size())));
  EXPECT_EQ(LastWriteError(), 0);
}

// What a write killed before its rename leaves is removed at start; the replays, other
// files and anything that is not a plain file of those names stay.
TEST_F(ReplayFileTest, TheLeftoversOfUnfinishedWritesAreRemovedAndNothingElse) {
  const std::string folder = Path("Replay");
  const std::string slot1 = ReplayFilePath(1, folder.c_str()), slot25 = ReplayFilePath(25, folder.c_str());
  ASSERT_TRUE(SaveReplayFile(slot1, header_, pairs_.data(), 50));
  const std::string replay = ReadWholeFile(slot1);
  WriteWholeFile(slot1 + ".tmp", replay.substr(0, 300));
  WriteWholeFile(slot25 + ".tmp", "");
  WriteWholeFile(ReplayFilePath(26, folder.c_str()) + ".tmp", "not a slot");
  WriteWholeFile(folder + "/notes.tmp", "the player's");
  std::filesystem::create_directory(ReplayFilePath(2, folder.c_str()) + ".tmp");
  std::filesystem::create_symlink(folder + "/notes.tmp", ReplayFilePath(3, folder.c_str()) + ".tmp");
  RemoveReplayLeftovers(folder.c_str());
  EXPECT_FALSE(std::filesystem::exists(slot1 + ".tmp"));
  EXPECT_FALSE(std::filesystem::exists(slot25 + ".tmp"));
  EXPECT_EQ(ReadWholeFile(slot1), replay);
  EXPECT_TRUE(std::filesystem::exists(ReplayFilePath(26, folder.c_str()) + ".tmp"));
  EXPECT_EQ(ReadWholeFile(folder + "/notes.tmp"), "the player's");
  EXPECT_TRUE(std::filesystem::is_directory(ReplayFilePath(2, folder.c_str()) + ".tmp"));
  EXPECT_TRUE(std::filesystem::is_symlink(ReplayFilePath(3, folder.c_str()) + ".tmp"));
  RemoveReplayLeftovers(Path("no such folder").c_str());  // nothing to do, nothing done
}
