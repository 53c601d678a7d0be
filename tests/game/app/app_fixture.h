#pragma once
// The game around the play, headless: graphics started on memory screens, the
// generated images loaded from the run folder, keys fed as snapshots.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

class AppTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  // One pass's keys: the configured keys of the bits of `inputByte` (shot 1, bomb 2,
  // slow 4, skip 8, arrows 16-128), plus any extra key code.
  static void Keys(int inputByte, int extraCode = 0);
  // Loads every image of the run folder (the working directory becomes that folder).
  static void LoadImages();
  static std::string TempFolder();
};

// A reproducible stream of input bytes: shooting, moving, now and then a bomb.
int NextTestInput(uint32_t* seed);
