#include "game/content/content_text.h"

#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {
bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}
}  // namespace

TEST(ContentText, EveryCardIdHasANameAndOthersAreUnknown) {
  std::set<std::string> names;
  for (int id = 0; id < kCardIdCount; ++id) {
    std::string name = CardName(id);
    EXPECT_NE(name, kUnknownCardName) << id;
    EXPECT_TRUE(ValidUtf8(name)) << id;
    names.insert(name);
  }
  EXPECT_GT(names.size(), 60u) << "cards of different bodies share names";
  EXPECT_STREQ(CardName(-2), kUnknownCardName);
  EXPECT_STREQ(CardName(119), kUnknownCardName);
  EXPECT_STREQ(CardName(10), CardName(11));  // Easy and Normal share slot 3's name
  EXPECT_STRNE(CardName(12), CardName(13));
}

TEST(ContentText, EndingsAndCreditsAreFilled) {
  for (int kind = 1; kind <= 3; ++kind)
    for (int page = 0; page < kEndingPageCount; ++page) {
      const EndingPage& p = EndingPageText(kind, page);
      ASSERT_NE(p.lines[0], nullptr) << kind << "/" << page;
      for (const char* line : p.lines) {
        if (line) {
          EXPECT_TRUE(ValidUtf8(line));
        }
      }
    }
  EXPECT_EQ(EndingPageText(0, 0).lines[0], nullptr);
  EXPECT_EQ(EndingPageText(1, 4).lines[0], nullptr);
  ASSERT_GT(CreditLineCount(), 10);
  EXPECT_STREQ(CreditLine(CreditLineCount()), "");
}
