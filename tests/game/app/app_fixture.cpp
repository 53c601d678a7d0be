#include "tests/game/app/app_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "game/draw/game_images.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/file.h"
#include "platform/input.h"

void AppTest::SetUpTestSuite() {
  InstallPlainFileAccess();
  ASSERT_EQ(StartGraphics(), 0);
}

void AppTest::TearDownTestSuite() { EndGraphics(); }

void AppTest::SetUp() {
  ResetSaveData(&g_save);
  Keys(0);
  Keys(0);
  SetDrawScreen(kBackScreen);
}

void AppTest::Keys(int inputByte, int extraCode) {
  uint8_t keys[256] = {};
  const KeyConfig& k = g_save.keys;
  const int codes[8] = {k.shot, k.bomb, k.slow, k.skip, kKeyUp, kKeyDown, kKeyLeft, kKeyRight};
  for (int bit = 0; bit < 8; ++bit)
    if (inputByte & (1 << bit)) keys[codes[bit]] = 0x80;
  if (extraCode > 0 && extraCode < 256) keys[extraCode] = 0x80;
  TakeKeySnapshot(keys);
}

void AppTest::LoadImages() {
  ASSERT_EQ(chdir(GAME_RUN_DIR), 0);
  for (int index = 0; index < kImageFileCount; ++index) LoadImageFile(index);
  g_images.fieldGraph = MakeScreenGraph(417, 465);
  ASSERT_NE(g_images.title, -1);
  ASSERT_NE(g_images.bullet[16][4], -1);
  ASSERT_NE(SpriteSheetHandles.portrait[7][7], -1);
}

std::string AppTest::TempFolder() {
  char pattern[] = "/tmp/game_app_test_XXXXXX";
  const char* made = mkdtemp(pattern);
  return made != nullptr ? made : "/tmp";
}

int NextTestInput(uint32_t* seed) {
  *seed = *seed * 1664525u + 1013904223u;
  const uint32_t r = *seed >> 8;
  int byte = kInputShot;
  if (r % 7 == 0) byte |= kInputSlow;
  if (r % 97 == 0) byte |= kInputBomb;
  static const int kMoves[6] = {0, kInputLeft, kInputRight, kInputUp, kInputDown, kInputLeft | kInputUp};
  byte |= kMoves[(r / 16) % 6];
  return byte;
}
