#include "platform/handle.h"

#include <gtest/gtest.h>

namespace {
int dummy[8];

TEST(HandleTable, NewHandleTakesSlotAfterHighestThenWrapsToFirstFree) {
  HandleTable table(kSoundHandleType, 4);
  int a = table.Add(&dummy[0]);
  int b = table.Add(&dummy[1]);
  int c = table.Add(&dummy[2]);
  EXPECT_EQ(a & kHandleIndexMask, 0);
  EXPECT_EQ(b & kHandleIndexMask, 1);
  EXPECT_EQ(c & kHandleIndexMask, 2);
  ASSERT_NE(table.Remove(a), nullptr);  // slot 0 free, but 2 is the highest in use
  int d = table.Add(&dummy[3]);
  EXPECT_EQ(d & kHandleIndexMask, 3);
  int e = table.Add(&dummy[4]);  // end reached: the first free slot is searched
  EXPECT_EQ(e & kHandleIndexMask, 0);
  EXPECT_EQ(table.Add(&dummy[5]), -1);  // full
  EXPECT_EQ(table.count(), 4);
}

TEST(HandleTable, FirstFreeOrderFillsTheLowestGapFirst) {
  HandleTable table(kMovieHandleType, 4, HandleSlotOrder::kFirstFree);
  int handles[3];
  for (int i = 0; i < 3; ++i) handles[i] = table.Add(&dummy[i]);
  ASSERT_NE(table.Remove(handles[1]), nullptr);
  ASSERT_NE(table.Remove(handles[0]), nullptr);
  const int expectedSlots[] = {0, 1, 3};
  for (int slot : expectedSlots) EXPECT_EQ(table.Add(&dummy[3]) & kHandleIndexMask, slot);
  EXPECT_EQ(table.Add(&dummy[4]), -1);
}

TEST(HandleTable, RejectsWrongTypeStaleCheckFreedSlotAndIndexPastEnd) {
  HandleTable table(kGraphHandleType, 4);
  int h = table.Add(&dummy[0]);
  ASSERT_NE(h, -1);
  EXPECT_EQ(table.Get(h), &dummy[0]);
  EXPECT_EQ((h & kHandleTypeMask), kGraphHandleType);
  EXPECT_EQ(table.Get((h & ~kHandleTypeMask) | kSoundHandleType), nullptr);
  EXPECT_EQ(table.Get(h ^ (1 << kHandleCheckShift)), nullptr);
  EXPECT_EQ(table.Get(kGraphHandleType | 4), nullptr);
  EXPECT_EQ(table.Get(-1), nullptr);
  ASSERT_EQ(table.Remove(h), &dummy[0]);
  EXPECT_EQ(table.Get(h), nullptr);
  EXPECT_EQ(table.Remove(h), nullptr);
  int again = table.Add(&dummy[1]);  // same slot, new check number
  EXPECT_EQ(again & kHandleIndexMask, h & kHandleIndexMask);
  EXPECT_EQ(table.Get(h), nullptr);
  EXPECT_EQ(table.Get(again), &dummy[1]);
}

// An index past the table's end names no slot: whatever lies in memory beyond the
// table is never taken for a record, whatever the check number (with the table full,
// and odd capacities, whose arrays end against the allocator's own words).
TEST(HandleTable, AnIndexPastTheEndIsRefusedWithEveryCheckNumber) {
  for (int capacity : {1, 3, 5, 8}) {
    SCOPED_TRACE(capacity);
    HandleTable table(kSoundHandleType, capacity);
    for (int i = 0; i < capacity; ++i) ASSERT_NE(table.Add(&dummy[i]), -1);
    for (int index = capacity; index < capacity + 8; ++index) {
      for (int check = 0; check <= kHandleCheckMask; ++check) {
        const int handle = kSoundHandleType | (check << kHandleCheckShift) | index;
        ASSERT_EQ(table.Get(handle), nullptr) << index << " " << check;
        ASSERT_EQ(table.Remove(handle), nullptr) << index << " " << check;
      }
    }
    EXPECT_EQ(table.count(), capacity);
    EXPECT_EQ(table.Get(kSoundHandleType | 0xFFFF), nullptr);
  }
}

TEST(HandleTable, CheckNumberWrapsAfter2048Handles) {
  HandleTable table(kMusicHandleType, 2);
  int first = table.Add(&dummy[0]);
  table.Remove(first);
  int h = -1;
  for (int i = 0; i < 2047; ++i) {
    h = table.Add(&dummy[0]);
    table.Remove(h);
  }
  EXPECT_EQ((h >> kHandleCheckShift) & kHandleCheckMask, 2047);
  int wrapped = table.Add(&dummy[0]);
  EXPECT_EQ((wrapped >> kHandleCheckShift) & kHandleCheckMask, 0);
  EXPECT_EQ(wrapped, first);  // same slot and check number: indistinguishable, as designed
}
}  // namespace
