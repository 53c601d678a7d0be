// The banner drawn for real: the generated images through the graphics layer and the
// default font onto the back screen, while a stage-1 card runs. STAGE_LOOK_DIR=<folder>
// also writes each checked frame as a PNG to look at.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "font/default_font.h"
#include "game/content/asset_layout.h"
#include "game/content/content_text.h"
#include "game/draw/banner_canvas.h"
#include "game/stages/boss_attack.h"
#include "graphics/draw.h"
#include "graphics/frame_dump.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/file.h"
#include "play_fixture.h"

namespace {

int Cut(int sheet, SheetCell cell) { return DeriveGraph(cell.x, cell.y, cell.w, cell.h, sheet); }
std::string Image(const char* name) { return std::string(GAME_IMAGE_DIR) + "/" + name; }

class BannerLook : public PlayFixture {
 public:
  static void SetUpTestSuite() {
    InstallPlainFileAccess();
    ASSERT_EQ(StartGraphics(), 0);
    const int portraits = LoadGraphFromFile(Image("tatie2.png").c_str());
    ASSERT_NE(portraits, -1);
    const int digits = LoadGraphFromFile(Image("mini_num.png").c_str());
    ASSERT_NE(digits, -1);
    s_handles.portrait = Cut(portraits, PortraitCell(0));
    s_handles.bar = LoadGraphFromFile(Image("ef_spell2.png").c_str());
    s_handles.bonus = LoadGraphFromFile(Image("ef_bonus.png").c_str());
    s_handles.failed = LoadGraphFromFile(Image("ef_failed.png").c_str());
    s_handles.history = LoadGraphFromFile(Image("ef_history.png").c_str());
    for (int k = 0; k < kMiniDigits; ++k) s_handles.mini[k] = Cut(digits, MiniDigitCell(k));
  }
  static void TearDownTestSuite() { EndGraphics(); }

 protected:
  void SetUp() override {
    PlayFixture::SetUp();
    SpriteSheetHandles.portrait[2][0] = s_handles.portrait;
    SpriteSheetHandles.spellNameBar = s_handles.bar;
    SpriteSheetHandles.bonusLabel = s_handles.bonus;
    SpriteSheetHandles.failedLabel = s_handles.failed;
    SpriteSheetHandles.historyLabel = s_handles.history;
    for (int k = 0; k < kMiniDigits; ++k) SpriteSheetHandles.miniDigit[k] = s_handles.mini[k];
    SetBannerCanvas(GraphicsBannerCanvas());
  }

  // The back screen after the card step whose banner counter starts at `counter`.
  void DrawAtCounter(int counter) {
    Begin(1, 3);
    UseScript([] {});
    Step();
    InitBoss(0, 1, 2, 224.0, 100.0);
    g_bossPhase = 1;
    g_spellBackground = 1;
    g_player.invulnerable = 1 << 20;
    SpellCardHistory[0][9].captures = 3;
    SpellCardHistory[0][9].attempts = 41;
    UseScript([] { RunBossAttack(9); });
    for (int t = 1; t < 91 - counter; ++t) Step();
    SetDrawScreen(kBackScreen);
    ClearDrawScreen();
    Step();
    if (const char* dir = std::getenv("STAGE_LOOK_DIR")) {
      int pitch = 0;
      const uint16_t* pixels = GetBackScreenPixels(&pitch);
      const std::string path = std::string(dir) + "/banner_c" + std::to_string(counter) + ".png";
      WriteScreenPng(path.c_str(), pixels, pitch, kScreenWidth, kScreenHeight);
    }
  }

  static int LitPixels(int x1, int y1, int x2, int y2) {
    int pitch = 0;
    const uint16_t* pixels = GetBackScreenPixels(&pitch);
    int lit = 0;
    for (int y = y1; y < y2; ++y)
      for (int x = x1; x < x2; ++x) lit += pixels[y * (pitch / 2) + x] != 0;
    return lit;
  }

  struct Handles {
    int portrait, bar, bonus, failed, history;
    int mini[kMiniDigits];
  };
  static inline Handles s_handles;
};

TEST_F(BannerLook, PortraitSlidesAndTheBarSettlesUnderTheTopEdge) {
  DrawAtCounter(90);
  EXPECT_GT(LitPixels(275, 103, 435, 263), 2000) << "the portrait at the top of its slide";
  EXPECT_GT(LitPixels(300, 446, 412, 465), 100) << "the bar flying in at the bottom";

  DrawAtCounter(0);
  EXPECT_EQ(LitPixels(275, 106, 435, 443), 0) << "no portrait once settled";
  const char* name = CardName(9);
  const int left = 372 - std::max(GetStringWidthDefaultFont(name, int(std::strlen(name)), 0), 128);
  EXPECT_GT(LitPixels(left, 81, 412, 87), 6 * (412 - left) / 2) << "the settled bar";
  EXPECT_EQ(LitPixels(0, 81, left, 87), 0) << "nothing left of the bar";
  EXPECT_GT(LitPixels(left, 62, 392, 81), 50) << "the card name above the bar";
  EXPECT_EQ(LitPixels(393, 62, 412, 81), 0) << "the name ends at x 392";
  EXPECT_EQ(LitPixels(0, 16, 448, 62), 0) << "the rows of the boss status left free";
  EXPECT_GT(LitPixels(134, 90, 412, 106), 300) << "the bonus and history row";
  EXPECT_EQ(LitPixels(0, 106, 448, 480), 0) << "nothing under the row";
}

}  // namespace

namespace {

// The conversation box spans x 40..409 and its text starts at x 56: a line must end
// inside the box's right margin.
constexpr int kDialogueTextWidth = 409 - 56 - 8;

TEST_F(BannerLook, EveryConversationLineFitsTheBox) {
  struct Table {
    const char* name;
    const DialogueText& (*text)(int);
    int lines;
  };
  const Table tables[] = {{"stage 1", Stage1DialogueText, 18},
                          {"stage 2", Stage2DialogueText, 28},
                          {"stage 3", Stage3DialogueText, 23},
                          {"stage 4", Stage4DialogueText, 47},
                          {"stage 5", Stage5DialogueText, 27},
                          {"stage 6", Stage6DialogueText, 59},
                          {"extra", ExtraDialogueText, 66},
                          {"practice", PracticeDialogueText, 14}};
  for (const Table& table : tables) {
    for (int line = 1; line <= table.lines; ++line) {
      const DialogueText& text = table.text(line);
      for (const char* part : {text.line1, text.line2}) {
        const int width = GetStringWidthDefaultFont(part, int(std::strlen(part)), 0);
        EXPECT_LE(width, kDialogueTextWidth) << table.name << " line " << line << ": " << part;
      }
    }
  }
}

}  // namespace
