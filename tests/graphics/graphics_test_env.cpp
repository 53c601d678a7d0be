#include "tests/graphics/graphics_test_env.h"

#include "platform/file.h"

void GraphicsTest::SetUpTestSuite() {
  InstallPlainFileAccess();
  ASSERT_EQ(StartGraphics(), 0);
}

void GraphicsTest::TearDownTestSuite() { EndGraphics(); }

void GraphicsTest::SetUp() {
  SetDrawScreen(kBackScreen);
  ClearDrawScreen();
  SetBlendModeParam(0, 255);
  SetDrawBright(255, 255, 255);
}

uint16_t GraphicsTest::Pixel(int x, int y) {
  int pitch = 0;
  const uint16_t* pixels = GetBackScreenPixels(&pitch);
  return pixels[y * (pitch / 2) + x];
}
