#pragma once
// A fresh temporary folder per test for the save and replay files.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

class TempFolder : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return temp_.File(name); }
  TempDir temp_;
  const std::string& dir_ = temp_.path();
};
