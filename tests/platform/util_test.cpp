#include "platform/util.h"

#include <cfenv>
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "platform/list.h"

namespace {
TEST(ClipRectByRect, TableOfRectangles) {
  const Rect area{10, 20, 110, 220};
  struct Case {
    const char* name;
    Rect in;
    Rect out;
  } cases[] = {
      {"inside", {20, 30, 40, 50}, {20, 30, 40, 50}},
      {"covers: clipped on every side", {0, 0, 500, 500}, {10, 20, 110, 220}},
      {"left of", {-50, 30, -10, 50}, {10, 30, 10, 50}},
      {"right of", {200, 30, 300, 50}, {110, 30, 110, 50}},
      {"above", {20, -40, 40, -20}, {20, 20, 40, 20}},
      {"below", {20, 300, 40, 400}, {20, 220, 40, 220}},
      {"inverted x", {50, 30, 40, 50}, {50, 30, 50, 50}},
      {"inverted y", {20, 60, 40, 50}, {20, 60, 40, 60}},
      {"inverted outside", {300, 300, -300, -300}, {110, 220, 110, 220}},
  };
  for (const Case& c : cases) {
    Rect r = c.in;
    EXPECT_EQ(ClipRectByRect(&r, &area), 0);
    EXPECT_EQ(r.left, c.out.left) << c.name;
    EXPECT_EQ(r.top, c.out.top) << c.name;
    EXPECT_EQ(r.right, c.out.right) << c.name;
    EXPECT_EQ(r.bottom, c.out.bottom) << c.name;
  }
}

TEST(Conversions, DoubleFollowsRoundingModeFloatTruncates) {
  struct Case {
    double value;
    int nearest, down;
    int truncated;
  } cases[] = {{2.5, 2, 2, 2},     {3.5, 4, 3, 3},     {2.7, 3, 2, 2},  {-2.7, -3, -3, -2},
               {-2.5, -2, -3, -2}, {0.49, 0, 0, 0},     {-0.2, 0, -1, 0},
               {1e10, INT_MIN, INT_MIN, INT_MIN},       {-3e9, INT_MIN, INT_MIN, INT_MIN}};
  for (const Case& c : cases) {
    EXPECT_EQ(DoubleToInt(c.value), c.nearest) << c.value;
    EXPECT_EQ(FloatToInt(static_cast<float>(c.value)), c.truncated) << c.value;
  }
  ASSERT_EQ(std::fesetround(FE_DOWNWARD), 0);
  for (const Case& c : cases) {
    EXPECT_EQ(DoubleToInt(c.value), c.down) << c.value;
    EXPECT_EQ(FloatToInt(static_cast<float>(c.value)), c.truncated) << c.value;
  }
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(DoubleToInt(__builtin_nan("")), INT_MIN);
}

// Collects the values met walking from head.next to the tail sentinel.
std::vector<int> Walk(List& list) {
  std::vector<int> values;
  for (ListNode* n = list.head.next; n->next != nullptr; n = n->next) values.push_back(n->value);
  return values;
}

TEST(List, WalkSeesAdditionsInOrderAndSkipsRemovedNodes) {
  List list;
  ListInit(&list);
  EXPECT_TRUE(Walk(list).empty());
  ListNode nodes[4];
  int payload = 0;
  for (int i = 0; i < 4; ++i) ListAdd(&list, &nodes[i], 10 + i, &payload);
  EXPECT_EQ(Walk(list), (std::vector<int>{10, 11, 12, 13}));
  EXPECT_EQ(nodes[2].data, &payload);
  // Removing while walking, stepping on from the removed node.
  for (ListNode* n = list.head.next; n->next != nullptr; n = n->next) {
    if (n->value % 2 == 1) ListRemove(n);
  }
  EXPECT_EQ(Walk(list), (std::vector<int>{10, 12}));
  ListRemove(&nodes[0]);
  ListRemove(&nodes[2]);
  EXPECT_TRUE(Walk(list).empty());
  EXPECT_EQ(list.tail.prev, &list.head);
  ListAdd(&list, &nodes[3], 99, nullptr);
  EXPECT_EQ(Walk(list), (std::vector<int>{99}));
}
}  // namespace
