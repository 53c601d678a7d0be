#include "game/files/save_file.h"
#include "game/files/save_tables.h"
#include "game/play/play_state.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "platform/log.h"
#include "tests/game/file_images.h"
#include "tests/game/files_fixture.h"

namespace {

// Every field set to a value of its own, all within range.
SaveData Varied() {
  SaveData s;
  ResetSaveData(&s, 1280);
  s.musicVolume = 30, s.soundVolume = 100;
  s.keys = KeyConfig{16, 17, 54, 57, 2};
  int n = 0;
  for (int c = 0; c < 2; ++c) {
    for (int d = 0; d < 5; ++d) {
      s.stageProgress[c][d] = (c * 5 + d) % 7;
      s.clearFlags[c][d] = (c + d) % 2;
      for (int r = 0; r < 10; ++r) {
        HighScoreEntry& e = s.highScores[c][d][r];
        e.score = 999999999 - ++n * 7919;
        e.stage = n % 10;
        e.date = 20261200 + n % 31;
        e.flags = n % 2;
        std::snprintf(e.name, sizeof e.name, "P%d-%c %c", n % 1000, 'A' + n % 26, '~' - n % 5);
      }
    }
    for (int id = 0; id < 119; ++id) {
      s.cardHistory[c][id] = {(id * 37 + c) % 1000, ((id * 37 + c) % 1000) / 3};
      s.cardSeen[c][id] = (id + c) % 2;
    }
  }
  return s;
}

void ExpectSame(const SaveData& a, const SaveData& b) {
  EXPECT_EQ(a.windowWidth, b.windowWidth);
  EXPECT_EQ(a.musicVolume, b.musicVolume);
  EXPECT_EQ(a.soundVolume, b.soundVolume);
  EXPECT_EQ(0, std::memcmp(&a.keys, &b.keys, sizeof a.keys));
  EXPECT_EQ(0, std::memcmp(a.stageProgress, b.stageProgress, sizeof a.stageProgress));
  EXPECT_EQ(0, std::memcmp(a.cardHistory, b.cardHistory, sizeof a.cardHistory));
  EXPECT_EQ(0, std::memcmp(a.cardSeen, b.cardSeen, sizeof a.cardSeen));
  EXPECT_EQ(0, std::memcmp(a.clearFlags, b.clearFlags, sizeof a.clearFlags));
  for (int c = 0; c < 2; ++c)
    for (int d = 0; d < 5; ++d)
      for (int r = 0; r < 10; ++r) {
        const HighScoreEntry &x = a.highScores[c][d][r], &y = b.highScores[c][d][r];
        EXPECT_EQ(x.score, y.score);
        EXPECT_EQ(x.stage, y.stage);
        EXPECT_EQ(x.date, y.date);
        EXPECT_EQ(x.flags, y.flags);
        EXPECT_STREQ(x.name, y.name);
      }
}

std::string Image(const SaveData& s) {
  std::string out(kSaveFileSize, '\0');
  EncodeSaveData(s, reinterpret_cast<uint8_t*>(out.data()));
  return out;
}

int32_t Word(const std::string& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

class SaveFileTest : public TempFolder {};

// StoreSaveData where every write past the first 100 bytes of a file fails.
bool StoreOnAFullDisk(const SaveData& data, const std::string& path) {
  FullDisk full(100);
  if (!full.set()) {
    ADD_FAILURE() << "the file size limit cannot be set";
    return true;
  }
  return StoreSaveData(data, path.c_str());
}

}  // namespace

TEST_F(SaveFileTest, EveryFieldSurvivesAWriteAndARead) {
  SaveData written = Varied(), read;
  ASSERT_TRUE(StoreSaveData(written, Path("central.dat").c_str()));
  EXPECT_FALSE(std::filesystem::exists(Path("central.dat.tmp")));
  ASSERT_TRUE(LoadSaveData(&read, Path("central.dat").c_str()));
  ExpectSame(written, read);
}

TEST_F(SaveFileTest, FileHasThePlainHeaderAndAScrambledCheckedBody) {
  SaveData s = Varied();
  std::string file = Image(s);
  ASSERT_EQ(file.size(), 8160u);
  EXPECT_EQ(Word(file, 0), 1280);
  EXPECT_EQ(file.substr(4, 4), "VLMS");
  EXPECT_EQ(Word(file, 8), 1);
  EXPECT_EQ(file.find("P1-"), std::string::npos) << "names must not be readable in the file";
  std::string plain = XorSaveKeyStream(file);
  EXPECT_EQ(SignedImage(plain).substr(12, 4), file.substr(12, 4));  // checked over the plain body
  EXPECT_EQ(Word(plain, 16), 30);
  EXPECT_EQ(Word(plain, 20), 100);
  EXPECT_EQ(Word(plain, 24 + 4 * 4), 2);                       // pause key
  EXPECT_EQ(Word(plain, 44 + 4 * 7), s.stageProgress[1][2]);   // progress [1][2]
  EXPECT_EQ(Word(plain, 84 + 8 * 119 + 8 * 5 + 4), s.cardHistory[1][5].captures);
  EXPECT_EQ(Word(plain, 1988 + 4 * 118), s.cardSeen[0][118]);
  size_t rec = 2940 + 32 * ((1 * 5 + 3) * 10 + 4);              // [1][3] rank 4
  EXPECT_EQ(Word(plain, rec), s.highScores[1][3][4].score);
  EXPECT_EQ(plain.substr(rec + 16, 12), std::string(s.highScores[1][3][4].name) +
                                             std::string(12 - std::strlen(s.highScores[1][3][4].name), '\0'));
  EXPECT_EQ(Word(plain, 6140 + 4 * 9), s.clearFlags[1][4]);
  EXPECT_EQ(plain.substr(6180), std::string(1980, '\0'));
}

TEST_F(SaveFileTest, DefaultsAreTheDocumentedOnes) {
  SaveData s;
  EXPECT_FALSE(LoadSaveData(&s, Path("central.dat").c_str()));  // missing
  // Window, music and sound volume, then the shot, bomb, slow, skip and pause keys.
  EXPECT_EQ((std::vector<int>{s.windowWidth, s.musicVolume, s.soundVolume, s.keys.shot, s.keys.bomb, s.keys.slow,
                              s.keys.skip, s.keys.pause}),
            (std::vector<int>{640, 80, 80, 44, 45, 42, 29, 1}));
  for (int r = 0; r < 10; ++r) {
    EXPECT_EQ(s.highScores[1][4][r].score, (10 - r) * 50000);
    EXPECT_STREQ(s.highScores[1][4][r].name, "NONAME");
    EXPECT_EQ(s.highScores[1][4][r].stage, 1);
    EXPECT_EQ(s.highScores[1][4][r].date, 0);
  }
  EXPECT_EQ(s.cardHistory[1][118].attempts, 0);
  EXPECT_EQ(s.stageProgress[0][0], 0);
}

TEST_F(SaveFileTest, EveryMalformedFileLoadsTheDefaultsKeepingTheWindowWord) {
  auto withField = [](std::function<void(SaveData&)> change) {
    SaveData s = Varied();
    s.windowWidth = 960;
    change(s);
    return Image(s);
  };
  std::string good = withField([](SaveData&) {});
  auto flipped = [&](size_t at) {
    std::string b = good;
    b[at] = char(b[at] ^ 0x10);
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
    int window;  // expected window word after the failed load
  };
  std::vector<Case> cases = {
      {"empty", "", 640},
      {"three bytes", good.substr(0, 3), 640},
      {"four bytes", good.substr(0, 4), 960},
      {"short", good.substr(0, 8159), 960},
      {"long, its record damaged", flipped(5000) + '\0', 960},
      {"wrong magic", flipped(5), 960},
      {"wrong version", flipped(8), 960},
      {"wrong check", flipped(13), 960},
      {"body changed", flipped(5000), 960},
      {"scrambled with another key", XorSaveKeyStream(good), 960},
      {"music volume 101", withField([](SaveData& s) { s.musicVolume = 101; }), 960},
      {"sound volume -1", withField([](SaveData& s) { s.soundVolume = -1; }), 960},
      {"key 0", withField([](SaveData& s) { s.keys.shot = 0; }), 960},
      {"key 256", withField([](SaveData& s) { s.keys.bomb = 256; }), 960},
      {"key up arrow", withField([](SaveData& s) { s.keys.slow = 200; }), 960},
      {"key right arrow", withField([](SaveData& s) { s.keys.skip = 205; }), 960},
      {"key down arrow", withField([](SaveData& s) { s.keys.pause = 208; }), 960},
      {"key F4", withField([](SaveData& s) { s.keys.shot = 62; }), 960},
      {"two keys alike", withField([](SaveData& s) { s.keys.pause = s.keys.shot; }), 960},
      {"progress 7", withField([](SaveData& s) { s.stageProgress[1][4] = 7; }), 960},
      {"progress -1", withField([](SaveData& s) { s.stageProgress[0][0] = -1; }), 960},
      {"attempts 1000", withField([](SaveData& s) { s.cardHistory[1][118] = {1000, 0}; }), 960},
      {"captures above attempts", withField([](SaveData& s) { s.cardHistory[0][3] = {4, 5}; }), 960},
      {"captures -1", withField([](SaveData& s) { s.cardHistory[0][3] = {4, -1}; }), 960},
      {"seen flag 2", withField([](SaveData& s) { s.cardSeen[1][50] = 2; }), 960},
      {"clear flag 2", withField([](SaveData& s) { s.clearFlags[0][4] = 2; }), 960},
      {"score 1,000,000,000", withField([](SaveData& s) { s.highScores[0][1][9].score = 1000000000; }), 960},
      {"score -10", withField([](SaveData& s) { s.highScores[0][1][9].score = -10; }), 960},
      {"stage 10", withField([](SaveData& s) { s.highScores[1][0][0].stage = 10; }), 960},
      {"name byte 127", withField([](SaveData& s) { s.highScores[1][0][0].name[2] = 127; }), 960},
      {"name byte 10", withField([](SaveData& s) { s.highScores[1][0][0].name[0] = '\n'; }), 960},
  };
  for (const Case& c : cases) {
    WriteWholeFile(Path("central.dat"), c.bytes);
    SaveData s = Varied();
    EXPECT_FALSE(LoadSaveData(&s, Path("central.dat").c_str())) << c.what;
    SaveData defaults;
    ResetSaveData(&defaults, c.window);
    SCOPED_TRACE(c.what);
    ExpectSame(s, defaults);
  }
  // A FIFO in its place is refused at once, not waited on.
  std::filesystem::remove(Path("central.dat"));
  EXPECT_TRUE(ReturnsWithAFifoInPlace(Path("central.dat"), [&] {
    SaveData s = Varied();
    std::string report;
    EXPECT_FALSE(LoadSaveData(&s, Path("central.dat").c_str(), &report));
    EXPECT_NE(report.find("central.dat refused (not a regular file)"), std::string::npos) << report;
  }));
}

// Each write keeps the file it replaces as the backup, and the first save is its own
// backup: one flipped bit anywhere loses nothing but, in the window word (outside the
// check), the window size.
TEST_F(SaveFileTest, AFlippedBitInAnyByteLoadsTheBackupOrOnlyResetsTheWindow) {
  const std::string path = Path("central.dat");
  SaveData s = Varied(), read;
  s.windowWidth = 960;
  ASSERT_TRUE(StoreSaveData(s, path.c_str()));
  const std::string good = ReadWholeFile(path);
  for (size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = char(bad[at] ^ (1 << at % 8));
    WriteWholeFile(path, bad);
    std::string report;
    ASSERT_TRUE(LoadSaveData(&read, path.c_str(), &report)) << at;
    SaveData expected = s;
    if (at < 4) expected.windowWidth = 640;
    ASSERT_EQ(Image(read), Image(expected)) << at;
    ASSERT_EQ(report.empty(), at < 4) << at;
    if (at == 13) {
      EXPECT_NE(report.find("check mismatch"), std::string::npos) << report;
    }
  }
  // A write over a refused file keeps the good backup.
  SaveData other;
  ResetSaveData(&other);
  WriteWholeFile(path, good.substr(1));
  ASSERT_TRUE(StoreSaveData(other, path.c_str()));
  ASSERT_TRUE(LoadSaveData(&read, (path + ".bak").c_str()));
  EXPECT_EQ(Image(read), Image(s));
}

TEST_F(SaveFileTest, AFailedWriteLeavesTheOldFileIntact) {
  const std::string path = Path("central.dat");
  ASSERT_TRUE(StoreSaveData(Varied(), path.c_str()));
  const std::string before = ReadWholeFile(path);
  SaveData other;
  ResetSaveData(&other);

  // The temporary file cannot be made: a folder of someone else's stands in its place
  // and stays.
  std::filesystem::create_directory(path + ".tmp");
  EXPECT_FALSE(StoreSaveData(other, path.c_str()));
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_TRUE(std::filesystem::is_directory(path + ".tmp"));
  std::filesystem::remove(path + ".tmp");

  // A full disk: every write past the first 100 bytes fails.
  EXPECT_FALSE(StoreOnAFullDisk(other, path));
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << "the partial temporary file must go";

  // A read-only folder (only meaningful where permissions bind us: not as root).
  if (geteuid() != 0) {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(StoreSaveData(other, path.c_str()));
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadWholeFile(path), before);
  }
}

TEST(SaveTables, TheScriptsTablesCarryTheSavedValuesBothWays) {
  SaveData saved = Varied();
  CopySaveDataToPlayTables(saved);
  EXPECT_EQ(StageProgress[1][3], saved.stageProgress[1][3]);
  EXPECT_EQ(SpellCardHistory[1][117].attempts, saved.cardHistory[1][117].attempts);
  EXPECT_EQ(CardSeenFlags[0][1], saved.cardSeen[0][1]);
  SpellCardHistory[0][40].attempts += 1;  // as a card start counts an attempt
  CardSeenFlags[0][40] = 1;
  SaveData back;
  ResetSaveData(&back);
  CopyPlayTablesToSaveData(&back);
  saved.cardHistory[0][40].attempts += 1;
  saved.cardSeen[0][40] = 1;
  EXPECT_EQ(0, std::memcmp(back.cardHistory, saved.cardHistory, sizeof back.cardHistory));
  EXPECT_EQ(0, std::memcmp(back.cardSeen, saved.cardSeen, sizeof back.cardSeen));
  EXPECT_EQ(0, std::memcmp(back.stageProgress, saved.stageProgress, sizeof back.stageProgress));
}

// Defaults replace the save only when neither copy loads; a long file whose record is
// whole gives that record. Every copy refused for what it holds is kept aside whole
// under its own name, and what the player is told follows what was loaded.
TEST_F(SaveFileTest, EveryRefusedCopyIsKeptAsideUnderItsOwnNameAndTheDamageTold) {
  enum Kind { kGood, kDamaged, kMissing, kFolder, kLong };
  const struct {
    Kind main, backup;
    bool loaded;
    SaveDamage told;
  } cases[] = {
      {kDamaged, kDamaged, false, SaveDamage::kDefaultsLoaded},
      {kDamaged, kMissing, false, SaveDamage::kDefaultsLoaded},
      {kMissing, kDamaged, false, SaveDamage::kDefaultsLoaded},
      {kFolder, kDamaged, false, SaveDamage::kDefaultsLoaded},
      {kDamaged, kFolder, false, SaveDamage::kDefaultsLoaded},
      {kMissing, kMissing, false, SaveDamage::kNone},
      {kFolder, kMissing, false, SaveDamage::kNone},
      {kDamaged, kGood, true, SaveDamage::kGoodRecordLoaded},
      {kMissing, kGood, true, SaveDamage::kNone},
      {kGood, kDamaged, true, SaveDamage::kNone},  // the backup is not read: kept silently
      {kLong, kGood, true, SaveDamage::kGoodRecordLoaded},
      {kLong, kDamaged, true, SaveDamage::kGoodRecordLoaded},
      {kDamaged, kLong, true, SaveDamage::kGoodRecordLoaded},
  };
  const std::string path = Path("central.dat");
  SaveData newer = Varied(), older = Varied();
  newer.musicVolume = 70, older.musicVolume = 20;
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "main " << c.main << ", backup " << c.backup);
    std::map<std::string, std::string> written;  // every copy left, and its bytes
    for (const auto& [file, kind] : {std::pair{path, c.main}, {path + ".bak", c.backup}}) {
      for (const char* kept : {"", ".damaged"}) std::filesystem::remove_all(file + kept);
      const std::string good = Image(file == path ? newer : older);
      std::string bytes = good;
      bytes[100 + n++] ^= 0x5A;  // each damage its own, so the kept file tells which
      if (kind == kGood) bytes = good;
      if (kind == kLong) bytes = good + "tail";
      if (kind == kGood || kind == kDamaged || kind == kLong) WriteWholeFile(file, written[file] = bytes);
      if (kind == kFolder) std::filesystem::create_directory(file);
    }
    SaveData read;
    SaveDamage told = SaveDamage::kDefaultsLoaded;
    std::string report;
    EXPECT_EQ(LoadSaveData(&read, path.c_str(), &report, &told), c.loaded);
    EXPECT_EQ(told, c.told);
    const bool fromMain = c.main == kGood || c.main == kLong;
    EXPECT_EQ(read.musicVolume, fromMain ? 70 : c.loaded ? 20 : 80);
    if (c.main == kLong) {
      EXPECT_NE(report.find("bytes after a whole record"), std::string::npos) << report;
    }
    ASSERT_TRUE(KeepDamagedSaves(path.c_str()));
    for (const auto& [file, kind] : {std::pair{path, c.main}, {path + ".bak", c.backup}}) {
      if (kind == kDamaged || kind == kLong)
        EXPECT_EQ(ReadWholeFile(file + ".damaged"), written[file]) << file;
      else
        EXPECT_FALSE(std::filesystem::exists(file + ".damaged")) << file;
    }
    for (const auto& [file, bytes] : written) EXPECT_EQ(ReadWholeFile(file), bytes) << "left as it was";
  }
  // A damaged file far longer than a save keeps its head.
  std::filesystem::remove_all(path);
  std::filesystem::remove_all(path + ".damaged");
  ASSERT_TRUE(WriteWholeFile(path, std::string(3 << 20, 'x')));
  ASSERT_TRUE(KeepDamagedSaves(path.c_str()));
  EXPECT_EQ(ReadWholeFile(path + ".damaged"), std::string(1 << 20, 'x'));
}

// A later damage never replaces one kept before; the same damage is not kept twice;
// nine kept files at most for each copy, the last replaced once all are taken.
TEST_F(SaveFileTest, ALaterDamageIsKeptBesideTheFirstWithinNineFiles) {
  const std::string path = Path("central.dat");
  std::filesystem::remove_all(path + ".bak");
  for (int damage = 1; damage <= 11; ++damage) {
    WriteWholeFile(path, "damage " + std::to_string(damage));
    ASSERT_TRUE(KeepDamagedSaves(path.c_str())) << damage;
    ASSERT_TRUE(KeepDamagedSaves(path.c_str())) << damage;  // found kept: nothing new
  }
  EXPECT_EQ(ReadWholeFile(path + ".damaged"), "damage 1");
  for (int k = 2; k <= 8; ++k) EXPECT_EQ(ReadWholeFile(path + ".damaged." + std::to_string(k)), "damage " + std::to_string(k));
  EXPECT_EQ(ReadWholeFile(path + ".damaged.9"), "damage 11");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 10);  // central.dat and its nine kept files
}

// Every write keeps a refused copy aside before it replaces it; when that cannot be
// done nothing is written.
TEST_F(SaveFileTest, AWriteKeepsEachRefusedCopyBeforeReplacingItOrWritesNothing) {
  const std::string path = Path("central.dat");
  // An empty main file and a backup with one flipped bit: both kept, both then good.
  std::string backup = Image(Varied());
  backup[4000] ^= 0x01;
  WriteWholeFile(path, "");
  WriteWholeFile(path + ".bak", backup);
  SaveData data;
  EXPECT_FALSE(LoadSaveData(&data, path.c_str()));
  ASSERT_TRUE(StoreSaveData(data, path.c_str()));
  EXPECT_EQ(ReadWholeFile(path + ".damaged"), "");
  EXPECT_EQ(ReadWholeFile(path + ".bak.damaged"), backup);
  SaveData read;
  EXPECT_TRUE(LoadSaveData(&read, path.c_str()));
  EXPECT_TRUE(LoadSaveData(&read, (path + ".bak").c_str()));

  // A long file over a good backup: its record is read; the file is kept whole.
  const std::string longFile = Image(Varied()) + std::string(300, '\x7f');
  WriteWholeFile(path, longFile);
  ASSERT_TRUE(StoreSaveData(data, path.c_str()));
  EXPECT_EQ(ReadWholeFile(path + ".damaged.2"), longFile);

  // The disk is full: the damaged file cannot be kept, so it is not written over.
  std::filesystem::remove(path + ".damaged.2");
  WriteWholeFile(path, longFile);
  EXPECT_FALSE(StoreOnAFullDisk(data, path));
  EXPECT_EQ(ReadWholeFile(path), longFile);
  EXPECT_STREQ(WriteErrorWord(LastWriteError()), "no space");
  // Every name it could be kept under is taken by something that is no file: the same.
  std::filesystem::remove(path + ".damaged");
  for (int n = 1; n <= 9; ++n)
    std::filesystem::create_directory(path + ".damaged" + (n > 1 ? "." + std::to_string(n) : ""));
  EXPECT_FALSE(StoreSaveData(data, path.c_str()));
  EXPECT_EQ(ReadWholeFile(path), longFile);
}

// A failed write is told to the player in a word to act on, from the error the write
// got; the log line keeps the whole error.
TEST_F(SaveFileTest, AFailedWriteNamesItsCauseInAWordAndLogsTheWholeError) {
  const struct {
    int error;
    const char* word;
  } words[] = {{ENOSPC, "no space"},      {EDQUOT, "no space"},      {EFBIG, "no space"},
               {EACCES, "no permission"}, {EPERM, "no permission"},  {EROFS, "no permission"},
               {ENOENT, "folder missing"}, {ENOTDIR, "folder missing"}, {EIO, std::strerror(EIO)}};
  for (const auto& w : words) EXPECT_STREQ(WriteErrorWord(w.error), w.word) << w.error;
  EXPECT_EQ(WriteErrorWord(0), nullptr);

  StartLog(dir_.c_str());
  SaveData data = Varied();
  // The folder is gone.
  EXPECT_FALSE(StoreSaveData(data, Path("gone/central.dat").c_str()));
  EXPECT_STREQ(WriteErrorWord(LastWriteError()), "folder missing");
  EXPECT_NE(ReadWholeFile(Path("Log.txt")).find(std::strerror(ENOENT)), std::string::npos);
  // The disk is full.
  const std::string path = Path("central.dat");
  EXPECT_FALSE(StoreOnAFullDisk(data, path));
  EXPECT_STREQ(WriteErrorWord(LastWriteError()), "no space");
  // A write that succeeds leaves no cause behind.
  EXPECT_TRUE(StoreSaveData(data, path.c_str()));
  EXPECT_EQ(LastWriteError(), 0);
  // A damaged file too large to keep on the full disk, beside a short damaged backup that
  // is kept after it: the cause told is the first failure's.
  std::string damaged = Image(data);
  damaged[3000] ^= 0x10;
  WriteWholeFile(path, damaged);
  WriteWholeFile(path + ".bak", "short");
  EXPECT_FALSE(StoreOnAFullDisk(data, path));
  EXPECT_STREQ(WriteErrorWord(LastWriteError()), "no space");
  EXPECT_EQ(ReadWholeFile(path + ".bak.damaged"), "short");
  EXPECT_EQ(ReadWholeFile(path), damaged);
}
