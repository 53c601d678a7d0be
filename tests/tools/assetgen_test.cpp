#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/content/asset_layout.h"
#include "tests/sound/converter_fixture.h"

namespace fs = std::filesystem;

namespace {
const std::string kRun = RUN_DIR;

struct Image {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * w + x) * 4]; }
};

Image ReadPng(const std::string& path) {
  Image img;
  png_image pi{};
  pi.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&pi, path.c_str())) return img;
  pi.format = PNG_FORMAT_RGBA;
  img.w = int(pi.width), img.h = int(pi.height);
  img.rgba.resize(PNG_IMAGE_SIZE(pi));
  if (!png_image_finish_read(&pi, nullptr, img.rgba.data(), 0, nullptr)) img = Image{};
  return img;
}

std::string Two(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}
}  // namespace

TEST(GameData, EveryImageHasTheSizeTheGameCutsItBy) {
  struct Expect {
    std::string file;
    int w, h;
  };
  std::vector<Expect> expects = {
      {"title.png", kScreenW, kScreenH},
      {"frame.png", kScreenW, kScreenH},
      {"staffroll.png", kScreenW, kScreenH},
      {"laser.png", kLaserRowW, kLaserRowH * kLaserColours},
      {"player0.png", kPlayerCellW * kPlayerFrames, kPlayerCellH * kPlayerRows},
      {"player7.png", kPlayerCellW * kPlayerFrames, kPlayerCellH * kPlayerRows},
      {"shot.png", kShotCellW * kShotCells, kShotCellH},
      {"focus.png", kFocusSize, kFocusSize},
      {"hitbox.png", kHitboxSize, kHitboxSize},
      {"enemy.png", kEnemyCell * kEnemyFrames, kEnemyCell * kEnemyKinds},
      {"item.png", kItemCell * kItemKinds, kItemCell},
      {"effect.png", kEffectSheetW, kEffectSheetH},
      {"bossname.png", kBossNameW, kBossNameH * kBossNameRows},
      {"bossstatus.png", kStatusW, kStatusH},
      {"ef_spell2.png", kNameBarW, kNameBarH},
      {"ef_bonus.png", kBonusLabelW, kBannerLabelH},
      {"ef_failed.png", kFailedLabelW, kBannerLabelH},
      {"ef_history.png", kHistoryLabelW, kBannerLabelH},
      {"mini_num.png", kMiniDigitW * kMiniDigits, kMiniDigitH},
      {"enemymark.png", kEnemyMarkCell * kEnemyMarkCells, kEnemyMarkCell},
      {"itemline.png", kItemLineW, kItemLineH},
      {"stagetitle.png", kStageTitleW, kStageTitleH * kStageRows},
      {"stagenum.png", kStageNumW, kStageNumH * kStageRows},
      {"stageplace.png", kStagePlaceW, kStagePlaceH * kStageRows},
      {"stageclear.png", kStageClearW, kStageClearH},
      {"capture.png", kCaptureW, kCaptureH},
      {"bonusfailed.png", kBonusFailedW, kBonusFailedH},
      {"bignum.png", kBigDigitW * 10, kBigDigitH},
      {"dialog.png", kDialogW, kDialogH},
      {"hud.png", kHudW, kHudH},
      {"ending.png", kEndingW * kEndingPages, kEndingH * kEndingKinds},
  };
  for (int s = 0; s < kBulletSheetCount; ++s)
    expects.push_back({"bullet" + Two(s) + ".png", kBulletCellW[s] * kBulletColours, kBulletCellH[s]});
  for (int k = 1; k <= kBossKinds; ++k)
    expects.push_back({"boss" + std::to_string(k) + ".png", kBossCellW * kBossFrames, kBossCellH * 2});
  for (int k = 0; k < kPortraitKinds; ++k)
    expects.push_back({"tatie" + std::to_string(k) + ".png", kPortraitW * 4, kPortraitH * 2});
  for (const char* b : {"back1", "back2", "back3", "back4", "back5", "back6", "backex", "spellback"})
    expects.push_back({std::string(b) + ".png", kBackgroundW, kBackgroundH});
  for (const Expect& e : expects) {
    Image img = ReadPng(kRun + "/image/" + e.file);
    EXPECT_EQ(img.w, e.w) << e.file;
    EXPECT_EQ(img.h, e.h) << e.file;
  }
}

// The frame is keyed art: the game loads it without alpha and draws it with the colour
// key, black as RGB565 (below 8, 4, 8), which must cover the field and nothing else.
TEST(GameData, FrameIsClearExactlyOverThePlayField) {
  Image f = ReadPng(kRun + "/image/frame.png");
  ASSERT_EQ(f.w, kScreenW);
  int wrong = 0;
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const bool inField = x >= kFieldX && x < kFieldX + kFieldW && y >= kFieldY && y < kFieldY + kFieldH;
      const uint8_t* p = f.At(x, y);
      const bool key = p[0] < 8 && p[1] < 4 && p[2] < 8;
      wrong += inField != key || p[3] != 255;
    }
  EXPECT_EQ(wrong, 0);
}

TEST(GameData, BackgroundsScrollWithoutASeam) {
  for (const char* b : {"back1", "back2", "back3", "back4", "back5", "back6", "backex", "spellback"}) {
    Image img = ReadPng(kRun + "/image/" + std::string(b) + ".png");
    ASSERT_EQ(img.h, kBackgroundH) << b;
    auto rowDiff = [&](int y0, int y1) {
      double sum = 0;
      for (int x = 0; x < img.w; ++x)
        for (int c = 0; c < 3; ++c) sum += std::abs(img.At(x, y0)[c] - img.At(x, y1)[c]);
      return sum / img.w;
    };
    double typical = 0;
    for (int y = 0; y + 1 < img.h; ++y) typical = std::max(typical, rowDiff(y, y + 1));
    EXPECT_LE(rowDiff(img.h - 1, 0), typical) << b << ": the wrap is rougher than any row inside";
    for (int y = 0; y < img.h; ++y) ASSERT_EQ(img.At(img.w / 2, y)[3], 255) << b;
  }
}

TEST(GameData, EveryBulletCellIsDrawnAndCentred) {
  for (int s = 0; s < kBulletSheetCount; ++s) {
    Image img = ReadPng(kRun + "/image/bullet" + Two(s) + ".png");
    ASSERT_GT(img.w, 0) << s;
    for (int c = 0; c < kBulletColours; ++c) {
      SheetCell cell = BulletCell(s, c);
      EXPECT_GT(img.At(cell.x + cell.w / 2, cell.y + cell.h / 2)[3], 200) << "sheet " << s << " colour " << c;
      EXPECT_LT(img.At(cell.x, cell.y)[3], 40) << "sheet " << s << " colour " << c << " fills its corner";
    }
  }
}

TEST(GameData, SoundEffectsAreShortAudibleWaves) {
  for (int i = 0; i < 20; ++i) {
    std::string data = ReadWholeFile(kRun + "/sound/se" + Two(i) + ".wav");
    ASSERT_GT(data.size(), 44u) << i;
    EXPECT_EQ(data.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(data.compare(8, 8, "WAVEfmt "), 0);
    const int16_t* pcm = reinterpret_cast<const int16_t*>(data.data() + 44);
    size_t n = (data.size() - 44) / 2;
    int peak = 0;
    for (size_t k = 0; k < n; ++k) peak = std::max(peak, std::abs(int(pcm[k])));
    EXPECT_GT(peak, 3000) << "se" << i << " is nearly silent";
    EXPECT_LE(peak, 16423) << "se" << i << " peaks above -6 dBFS";
    EXPECT_LT(n, size_t(44100 * 2)) << "se" << i << " is too long for an effect";
  }
}

TEST(GameData, MusicTracksLoopForAMinuteAndDiffer) {
  std::set<size_t> lengths;
  for (int i = 0; i < 18; ++i) {
    const std::string file = ReadWholeFile(kRun + "/music/bgm" + Two(i) + ".mp3");
    ASSERT_FALSE(file.empty()) << i;
    const Bytes decoded = DecodeMp3GaplessWithMpg123(Bytes(file.begin(), file.end()));
    // The game plays the track through its sound converter: that must deliver the same
    // trimmed samples, or the checks below would not be about what a player hears.
    Converter converter(Bytes(file.begin(), file.end()));
    ASSERT_EQ(converter.result, 0) << "bgm" << i;
    EXPECT_TRUE(converter.DecodeAll() == decoded) << "bgm" << i;
    std::vector<int16_t> pcm(decoded.size() / 2);
    std::memcpy(pcm.data(), decoded.data(), pcm.size() * 2);
    size_t frames = pcm.size() / 2;
    EXPECT_GE(double(frames) / 44100, 60.0) << "bgm" << i;
    // A gap at the loop point would be silence at the start: the tails of the last
    // bar ring on there.
    double start = 0;
    for (size_t k = 0; k < 2 * 1152 && k < pcm.size(); ++k) start = std::max(start, std::fabs(double(pcm[k])));
    EXPECT_GT(start, 500) << "bgm" << i << " starts with silence";
    // Played end to start, the wave steps no further than it does inside the track.
    int largestStep = 0;
    for (size_t k = 2; k < pcm.size(); ++k) largestStep = std::max(largestStep, std::abs(pcm[k] - pcm[k - 2]));
    EXPECT_LE(std::abs(pcm[0] - pcm[pcm.size() - 2]), largestStep) << "bgm" << i;
    EXPECT_LE(std::abs(pcm[1] - pcm[pcm.size() - 1]), largestStep) << "bgm" << i;
    int peak = 0;
    for (int16_t v : pcm) peak = std::max(peak, std::abs(int(v)));
    EXPECT_LE(peak, 11627) << "bgm" << i << " peaks above -9 dBFS at full volume";
    lengths.insert(frames);
  }
  EXPECT_GE(lengths.size(), 12u) << "tracks of different roles should differ in tempo";
}

TEST(GameData, GeneratorIsDeterministic) {
  fs::path tmp = fs::temp_directory_path() / ("assetgen_test_" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  std::string cmd = std::string(ASSETGEN_PATH) + " " + tmp.string() + " images sound";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  int compared = 0;
  for (const char* sub : {"image", "sound"})
    for (const auto& e : fs::directory_iterator(tmp / sub)) {
      fs::path built = fs::path(kRun) / sub / e.path().filename();
      EXPECT_TRUE(ReadWholeFile(e.path()) == ReadWholeFile(built)) << built;
      ++compared;
    }
  EXPECT_GT(compared, 80);
  fs::remove_all(tmp);
}
