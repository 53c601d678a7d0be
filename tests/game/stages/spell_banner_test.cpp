// The spell-card banner's geometry, read from a recording of its draw calls while a
// stage-1 card runs through the step runner.
#include "game/stages/spell_banner.h"

#include <string>
#include <vector>

#include "game/stages/boss_attack.h"
#include "play_fixture.h"

namespace {

struct Call {
  char kind;  // F filter, B blend, S stretched, A at, T text
  int a, b, c, d, image;
  std::string text;
  bool operator==(const Call&) const = default;
};

std::vector<Call> g_calls;
int g_nameWidth = 100;

const BannerCanvas kRecorder = {
    [](int mode) { g_calls.push_back({'F', mode, 0, 0, 0, 0, ""}); },
    [](int mode, int param) { g_calls.push_back({'B', mode, param, 0, 0, 0, ""}); },
    [](int x1, int y1, int x2, int y2, int image, int) {
      g_calls.push_back({'S', x1, y1, x2, y2, image, ""});
    },
    [](int x, int y, int image, int) { g_calls.push_back({'A', x, y, 0, 0, image, ""}); },
    [](const char*, int, int) { return g_nameWidth; },
    [](int r, int g, int b) { return static_cast<unsigned>(r << 16 | g << 8 | b); },
    [](int x, int y, unsigned colour, const char* text) {
      g_calls.push_back({'T', x, y, static_cast<int>(colour), 0, 0, text});
    },
};

constexpr int kPortrait = 700, kBar = 701, kBonus = 702, kFailed = 703, kHistory = 704;
constexpr int kMini = 800;

class Banner : public PlayFixture {
 protected:
  void SetUp() override {
    PlayFixture::SetUp();
    SpriteSheetHandles.portrait[2][0] = kPortrait;
    SpriteSheetHandles.spellNameBar = kBar;
    SpriteSheetHandles.bonusLabel = kBonus;
    SpriteSheetHandles.failedLabel = kFailed;
    SpriteSheetHandles.historyLabel = kHistory;
    for (int k = 0; k <= 10; ++k) SpriteSheetHandles.miniDigit[k] = kMini + k;
    SetBannerCanvas(&kRecorder);
    g_nameWidth = 100;
  }

  // Runs card `id` up to the step whose banner counter starts at `counter` and records
  // only that step's calls.
  void RecordAtCounter(int counter, int id = 6, double playerY = 400.0) {
    Begin(1, 0);
    UseScript([] {});
    Step();
    InitBoss(0, 1, 2, 224.0, 100.0);
    g_bossPhase = 1;
    g_spellBackground = 1;
    g_player.invulnerable = 1 << 30;
    UseScript([id] { RunBossAttack(id); });
    const int timer = 91 - counter;
    for (int t = 1; t < timer; ++t) Step();
    g_player.y = playerY;
    g_calls.clear();
    Step();
    ASSERT_EQ(g_bosses[0].phaseTimer, timer);
  }

  static std::vector<Call> Of(char kind) {
    std::vector<Call> out;
    for (const Call& call : g_calls)
      if (call.kind == kind) out.push_back(call);
    return out;
  }
  static bool Drew(int image) {
    for (const Call& call : g_calls)
      if ((call.kind == 'A' || call.kind == 'S') && call.image == image) return true;
    return false;
  }
  static std::vector<Call> DigitsAt(int y) {
    std::vector<Call> out;
    for (const Call& call : Of('A'))
      if (call.b == y && call.image >= kMini && call.image <= kMini + 10) out.push_back(call);
    return out;
  }
};

TEST_F(Banner, GeometryAsTheCardStartsFliesInAndSettles) {
  struct Case {
    int counter;
    int nameWidth;
    Call bar;
    int nameY;
    bool portrait;
  };
  const Case cases[] = {
      {90, 100, {'S', 94, 446, 412, 527, kBar, ""}, 352, true},
      {30, 100, {'S', 244, 371, 412, 377, kBar, ""}, 352, true},
      {0, 100, {'S', 244, 81, 412, 87, kBar, ""}, 62, false},
      {0, 200, {'S', 172, 81, 412, 87, kBar, ""}, 62, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.counter * 1000 + c.nameWidth);
    g_nameWidth = c.nameWidth;
    RecordAtCounter(c.counter);
    const std::vector<Call> stretched = Of('S');
    ASSERT_EQ(stretched.size(), c.portrait ? 2u : 1u);
    EXPECT_EQ(stretched.back(), c.bar);
    const std::vector<Call> texts = Of('T');
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].a, 392 - c.nameWidth);
    EXPECT_EQ(texts[0].b, c.nameY);
    EXPECT_EQ(texts[0].c, 0xFFFFFF);
    EXPECT_FALSE(texts[0].text.empty());
    EXPECT_EQ(Drew(kBonus), c.counter < 10);
    EXPECT_EQ(g_calls.back(), (Call{'B', 0, 0, 0, 0, 0, ""}));
  }

  // The first step: the portrait at the top of its slide, nearly opaque, sampled plainly.
  RecordAtCounter(90);
  ASSERT_GE(g_calls.size(), 5u);
  EXPECT_EQ(g_calls[0], (Call{'F', 0, 0, 0, 0, 0, ""}));
  EXPECT_EQ(g_calls[1], (Call{'B', 1, 225, 0, 0, 0, ""}));
  EXPECT_EQ(g_calls[2], (Call{'S', 275, 103, 435, 263, kPortrait, ""}));
  EXPECT_EQ(g_calls[3], (Call{'B', 0, 0, 0, 0, 0, ""}));
  EXPECT_EQ(g_calls[4], (Call{'F', 1, 0, 0, 0, 0, ""}));
  EXPECT_EQ(SpellBannerCounter(), 89);
}

TEST_F(Banner, TurnsTranslucentOverThePlayerWithAlphaClamped) {
  struct Case {
    int counter;
    double playerY;
    int alpha;  // -1: the blend is left alone
  };
  const Case cases[] = {{90, 100.0, 255}, {0, 100.0, 150}, {0, 169.0, 253}, {0, 170.0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.counter * 1000 + static_cast<int>(c.playerY));
    RecordAtCounter(c.counter, 6, c.playerY);
    std::vector<int> alphas;
    for (const Call& call : Of('B'))
      if (call.a == 1 && call.b != 225) alphas.push_back(call.b);
    if (c.alpha < 0) {
      EXPECT_TRUE(alphas.empty());
    } else {
      ASSERT_EQ(alphas.size(), 1u);
      EXPECT_EQ(alphas[0], c.alpha);
    }
  }
}

TEST_F(Banner, NumberRowShowsBonusOrFailedAndTheClampedHistory) {
  struct Case {
    const char* what;
    int capture, bonus, captures, attempts;
    std::vector<int> bonusDigits;   // units first
    std::vector<int> historyDigits; // captures units first, separator, attempts units first
  };
  const Case cases[] = {
      {"captured", 1, 1234560, 0, 999, {0, 6, 5, 4, 3, 2, 1}, {0, 10, 9, 9, 9}},
      {"bonus 0 shows no digits", 1, 0, 12, 40, {}, {2, 1, 10, 0, 4}},
      {"failed", 0, 1234560, 7, 8, {}, {7, 10, 8}},
      {"damaged save", 1, 5, -3, 5000, {5}, {0, 10, 9, 9, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SpellCardHistory[0][6].captures = c.captures;
    SpellCardHistory[0][6].attempts = c.attempts;
    RecordAtCounter(1);
    g_spellCapture = c.capture;
    g_spellBonus = c.bonus;  // timer 91: no drain yet
    SpellCardHistory[0][6].captures = c.captures;
    SpellCardHistory[0][6].attempts = c.attempts;
    g_calls.clear();
    Step();
    EXPECT_TRUE(Drew(kBonus));
    EXPECT_EQ(Drew(kFailed), c.capture == 0);
    EXPECT_TRUE(Drew(kHistory));
    std::vector<int> bonusDigits, historyDigits;
    for (const Call& call : DigitsAt(90)) {
      if (call.a <= 266) {
        bonusDigits.push_back(call.image - kMini);
        EXPECT_EQ(call.a, 266 - 10 * static_cast<int>(bonusDigits.size() - 1));
      } else {
        historyDigits.push_back(call.image - kMini);
      }
    }
    EXPECT_EQ(bonusDigits, c.bonusDigits);
    EXPECT_EQ(historyDigits, c.historyDigits);
  }
}

// The row comes in with the tenth-last step of the bar's rise (counter 9), never before.
TEST_F(Banner, NumberRowAppearsAtCounterNine) {
  struct Case {
    int counter;
    bool row;
  };
  for (const Case& c : {Case{11, false}, Case{10, false}, Case{9, true}, Case{8, true}}) {
    SCOPED_TRACE(c.counter);
    RecordAtCounter(c.counter);
    EXPECT_EQ(Drew(kBonus), c.row);
    EXPECT_EQ(Drew(kHistory), c.row);
    EXPECT_EQ(DigitsAt(90).empty(), !c.row);
  }
}

// A card that begins without the previous one re-arming the banner (the boss was left
// leaving under its blast, or a script restarted the timer) still opens with the portrait
// at the top of its slide and the spell-start sound.
TEST_F(Banner, CardsFirstStepRestartsTheCounter) {
  RecordAtCounter(0);
  ASSERT_EQ(SpellBannerCounter(), 0);
  ASSERT_EQ(PlayedCount(kSeSpellStart), 1);
  g_bosses[0].phaseTimer = 0;  // the next attack's first step comes next
  g_calls.clear();
  Step();
  ASSERT_EQ(g_bosses[0].phaseTimer, 1);
  EXPECT_EQ(PlayedCount(kSeSpellStart), 2);
  ASSERT_GE(g_calls.size(), 3u);
  EXPECT_EQ(g_calls[1], (Call{'B', 1, 225, 0, 0, 0, ""}));
  EXPECT_EQ(g_calls[2], (Call{'S', 275, 103, 435, 263, kPortrait, ""}));
  EXPECT_FALSE(Drew(kBonus));
  EXPECT_EQ(SpellBannerCounter(), 89);
}

TEST_F(Banner, HistoryPlacesCapturesAndAttemptsRightAligned) {
  SpellCardHistory[0][6].captures = 12;
  SpellCardHistory[0][6].attempts = 345;  // the card's first step makes it 346
  RecordAtCounter(0);
  std::vector<std::pair<int, int>> placed;
  for (const Call& call : DigitsAt(90))
    if (call.a > 266) placed.push_back({call.a, call.image - kMini});
  const std::vector<std::pair<int, int>> expected = {
      {362, 2}, {352, 1}, {372, 10}, {402, 6}, {392, 4}, {382, 3}};
  EXPECT_EQ(placed, expected);
}

TEST_F(Banner, NoHistoryRowForIdsOutsideTheCardTable) {
  for (int id : {-2, 119}) {
    SCOPED_TRACE(id);
    RecordAtCounter(0, id);
    EXPECT_TRUE(Drew(kBonus));
    EXPECT_FALSE(Drew(kHistory));
    for (const Call& call : DigitsAt(90)) EXPECT_LE(call.a, 266);
  }
}

TEST_F(Banner, SpellStartSoundAndCounterRearmedAtTheCardEnd) {
  RecordAtCounter(90);
  EXPECT_EQ(PlayedCount(kSeSpellStart), 1);
  Step(120);
  EXPECT_EQ(PlayedCount(kSeSpellStart), 1);
  EXPECT_EQ(SpellBannerCounter(), 0);
  g_bosses[0].hp = 0;
  Step();
  EXPECT_EQ(SpellBannerCounter(), 90);

  // Without the spell background the first step is silent.
  Played().clear();
  Begin(1, 0);
  UseScript([] {});
  Step();
  InitBoss(0, 1, 2, 224.0, 100.0);
  g_bossPhase = 1;
  UseScript([] { RunBossAttack(6); });
  Step();
  EXPECT_EQ(PlayedCount(kSeSpellStart), 0);
}

}  // namespace
