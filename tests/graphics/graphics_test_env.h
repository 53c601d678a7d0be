#pragma once
// Starts the graphics layer once for a test binary and gives pixel access to the back
// screen.
#include <gtest/gtest.h>

#include <cstdint>

#include "graphics/draw.h"
#include "graphics/screen.h"
#include "softrender/draw_state.h"
#include "tests/test_files.h"

class GraphicsTest : public ::testing::Test {
 public:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  // The back screen's pixel at (x, y).
  static uint16_t Pixel(int x, int y);
};
