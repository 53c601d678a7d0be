// The play's drawing puts an unturned sprite at scale 1 exactly where the rotated draw
// puts it: every pixel of the field, at fractional, negative and clipped positions,
// alpha and additive, even and odd sizes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "game/draw/game_images.h"
#include "game/draw/play_draw.h"
#include "game/play/play_draw_table.h"
#include "game/play/play_state.h"
#include "graphics/draw.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "tests/game/app/app_fixture.h"

namespace {

class PlayDrawTest : public AppTest {};

// A busy picture under the sprite, so a translucent texel shows what it blends with.
void PaintNoise() {
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  SetBlendModeParam(0, 255);
  for (int y = 0; y < kScreenHeight; y += 4)
    for (int x = 0; x < kScreenWidth; x += 4)
      DrawFilledBox(x, y, x + 4, y + 4, MakeScreenColor((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255));
  SetDrawArea(32, 16, 417, 465);
}

std::vector<uint16_t> Screen() {
  int pitch = 0;
  const uint16_t* pixels = GetBackScreenPixels(&pitch);
  std::vector<uint16_t> copy;
  for (int y = 0; y < kScreenHeight; ++y)
    copy.insert(copy.end(), pixels + y * (pitch / 2), pixels + y * (pitch / 2) + kScreenWidth);
  return copy;
}

TEST_F(PlayDrawTest, UnturnedSpritesLandWhereTheRotatedDrawPutsThem) {
  LoadImages();
  InstallPlayDrawing(true);
  ResetPlayState();
  int w = 0, h = 0;
  // An odd-sized piece of a sheet, shown as a notice (drawn centred, unturned).
  const int odd = DeriveGraph(1, 2, 13, 11, g_images.bullet[2][1]);
  ASSERT_NE(odd, -1);
  ASSERT_EQ(GetGraphSize(odd, &w, &h), 0);
  ASSERT_EQ(w % 2 + h % 2, 2);
  struct Case {
    int sheet;  // a bullet sheet, or -1 for the odd-sized notice
    double x, y;
  };
  const Case cases[] = {
      {2, 100.0, 200.0},   {2, 100.75, 200.5}, {2, -0.5, 30.0},    {1, 33.9, 15.2},
      {9, 416.6, 464.99},  {16, 30.0, 470.0},  {6, 224.3, 240.7},  {6, 418.0, 100.0},
      {13, 5000.0, 20.0},  {0, 32.0, 16.0},    {-1, 200.5, 300.25}, {-1, 34.0, 17.0},
      {-1, 416.0, 464.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "sheet " << c.sheet << " at " << c.x << ", " << c.y);
    const int graph = c.sheet >= 0 ? g_images.bullet[c.sheet][3] : odd;
    const int mode = c.sheet == 6 ? 2 : c.sheet == -1 ? 1 : 0;
    ResetPlayState();
    if (c.sheet >= 0) {
      EnemyBullet& b = g_enemyBullets[0];
      b.state = 1;
      b.sheet = c.sheet;
      b.colour = 3;
      b.x = c.x;
      b.y = c.y;
    } else {
      ShowNotice(200, 10, static_cast<int>(c.x), static_cast<int>(c.y), 0, odd);
      // The notice's own position is whole; the fraction is the reference's to drop.
    }
    PaintNoise();
    if (c.sheet >= 0) g_playDraw->bullets();
    else g_playDraw->notices();
    const std::vector<uint16_t> drawn = Screen();

    PaintNoise();
    SetBlendModeParam(mode, 255);
    const double x = c.sheet >= 0 ? c.x : static_cast<int>(c.x), y = c.sheet >= 0 ? c.y : static_cast<int>(c.y);
    DrawGraphRotatedF(static_cast<float>(x), static_cast<float>(y), 1.0, 0.0, graph, 1);
    SetBlendModeParam(0, 255);
    const std::vector<uint16_t> reference = Screen();

    int differing = 0;
    for (size_t i = 0; i < drawn.size(); ++i) differing += drawn[i] != reference[i];
    EXPECT_EQ(differing, 0);
  }
  ResetPlayState();
  ReleaseGraphHandle(odd);
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  InstallPlayDrawing(false);
}

// The background, as the step draws it, against the plain way: F cleared to black and
// the stage's image copied twice, a background height apart, for several scroll
// offsets, stages and the spell background, and back to a stage shown before.
TEST_F(PlayDrawTest, BackgroundIsTheStageImageScrolledOverBlack) {
  LoadImages();
  InstallPlayDrawing(true);
  struct Case {
    int scene, spell, frame, image;
  };
  const Case cases[] = {{1, 0, 0, 0}, {1, 0, 37, 0}, {3, 0, 511, 2}, {3, 0, 512, 2},
                        {8, 0, 100, 6}, {8, 1, 100, 7}, {205, 0, 1023, 1}, {1, 0, 300, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scene " << c.scene << " frame " << c.frame);
    g_scene = c.scene;
    g_difficulty = c.scene == 8 ? 4 : 1;  // a practice scene's card, so its stage, goes by it
    g_spellBackground = c.spell;
    g_stageFrame = c.frame;
    PaintNoise();
    g_playDraw->background();
    const std::vector<uint16_t> drawn = Screen();

    PaintNoise();
    DrawFilledBox(32, 16, 417, 465, MakeScreenColor(0, 0, 0));
    const int offset = c.frame % kBackgroundH;
    DrawGraphAt(32, 16 + offset - kBackgroundH, g_images.background[c.image], 0);
    DrawGraphAt(32, 16 + offset, g_images.background[c.image], 0);
    const std::vector<uint16_t> reference = Screen();
    int differing = 0;
    for (size_t i = 0; i < drawn.size(); ++i) differing += drawn[i] != reference[i];
    EXPECT_EQ(differing, 0);
  }
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  InstallPlayDrawing(false);
  ResetPlayState();
}

// The boss's life bar: 340 pixels at full life, shrinking with it, and its first `split`
// percent of the full bar drawn in the split colour, never past the life left.
TEST_F(PlayDrawTest, LifeBarDrawsItsSplitSectionOverItsStart) {
  LoadImages();
  InstallPlayDrawing(true);
  struct Case {
    int hp, maxHp, split;
    int splitColumns, barColumns;
  };
  const Case cases[] = {
      {1000, 1000, 20, 68, 272}, {1000, 1000, 0, 0, 340},  {500, 1000, 20, 68, 102},
      {500, 1000, 100, 170, 0},  {100, 1000, 20, 34, 0},   {2000, 1000, 30, 102, 238},
      {-5, 1000, 50, 0, 0},      {1, 3, 20, 68, 45},
  };
  const unsigned splitColour = MakeScreenColor(0xff, 0x60, 0x60);
  const unsigned barColour = MakeScreenColor(0xf0, 0xf0, 0xff);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hp << "/" << c.maxHp << " split " << c.split);
    ResetPlayState();
    InitBoss(0, 0, 1, 224.0, 150.0);
    g_bosses[0].hp = c.hp;
    g_bosses[0].maxHp = c.maxHp;
    SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
    SetBlendModeParam(0, 255);
    DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(0, 0, 0));
    g_playDraw->bossStatus(c.split, 1);
    const std::vector<uint16_t> screen = Screen();
    int splitColumns = 0, barColumns = 0, lastLit = -1;
    for (int x = 0; x < kScreenWidth; ++x) {
      const uint16_t pixel = screen[47 * kScreenWidth + x];
      if (pixel == splitColour) {
        EXPECT_EQ(barColumns, 0) << "the split section comes first, at x " << x;
        ++splitColumns;
      } else if (pixel == barColour) {
        ++barColumns;
      } else {
        continue;
      }
      EXPECT_GE(x, 48);
      lastLit = x;
    }
    EXPECT_EQ(splitColumns, c.splitColumns);
    EXPECT_EQ(barColumns, c.barColumns);
    const int lit = c.splitColumns + c.barColumns;
    EXPECT_EQ(lastLit, lit > 0 ? 47 + lit : -1) << "one run from x 48";
  }
  ResetPlayState();
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  InstallPlayDrawing(false);
}

}  // namespace
