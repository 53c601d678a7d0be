#pragma once
// Every media-filter test ends with nothing left behind: objects, task memory,
// enumerators, page blocks, timers, threads and loaded modules all back to 0.
#include <gtest/gtest.h>

#include "filters/com_base.h"
#include "filters/enumerator_unknown.h"
#include "host/com/task_memory.h"
#include "host/kernel/module.h"
#include "host/kernel/thread.h"
#include "host/kernel/timer.h"
#include "host/kernel/virtual_block.h"

class FrameworkTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(LiveObjectCount.load(), 0);
    EXPECT_EQ(LiveTaskMemoryCount(), 0);
    EXPECT_EQ(LiveEnumeratorCount.load(), 0);
    EXPECT_EQ(LiveVirtualBlockCount(), 0);
    EXPECT_EQ(LiveTimerCount(), 0);
    EXPECT_EQ(LiveHostThreadCount(), 0);
    EXPECT_EQ(LiveHostModuleCount(), 0);  // freed with the last framework object
    FailNextTaskMemoryAllocations(0);
  }
};
