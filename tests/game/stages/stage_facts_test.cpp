// The numbers every stage is built from, as behaviour at named frames and timers: when
// and where the waves spawn, the first volley of each enemy firing rule, each card's
// settings, and how many random values each card draws on its drawing steps. One table
// and one driver per kind of fact, over stages 1 to 6 and the Extra stage.
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "game/stages/extra_stage.h"
#include "game/stages/stage1.h"
#include "game/stages/stage2.h"
#include "game/stages/stage3.h"
#include "game/stages/stage4.h"
#include "game/stages/stage5.h"
#include "game/stages/stage6.h"
#include "play_fixture.h"

namespace {

struct StageUnit {
  void (*waves)();
  void (*fire)(int slot);
};
// By scene digit; 8 is the Extra stage.
const StageUnit kStages[] = {{}, {RunStage1Waves, FireStage1EnemyShots},
                             {RunStage2Waves, FireStage2EnemyShots},
                             {RunStage3Waves, FireStage3EnemyShots},
                             {RunStage4Waves, FireStage4EnemyShots},
                             {RunStage5Waves, FireStage5EnemyShots},
                             {RunStage6Waves, FireStage6EnemyShots}, {},
                             {RunExtraWaves, FireExtraEnemyShots}};

// The difficulties a stage is played on, as a mask (bit 4: Extra).
int DifficultiesOf(int scene) { return scene == 8 ? 0x10 : 0xF; }

class StageFacts : public PlayFixture {
 protected:
  // Runs only the timeline switch of `scene` at `frame`, on an empty enemy table, as the
  // stage's step would with no conversation or fight on.
  static void RunWavesAt(int scene, int frame) {
    g_talkActive = 0;
    g_bossPhase = 0;
    g_bosses[0].state = 0;
    g_enemies.Clear();
    g_enemyBullets.Clear();
    g_stageFrame = frame;
    kStages[scene].waves();
  }
  // Card `slot` of `difficulty` alone in spell practice, run until its timer reads `timer`.
  void RunCardUntil(int difficulty, int slot, int timer) {
    Begin(200 + slot, difficulty);
    for (int guard = 0; guard < 8000; ++guard) {
      g_player.invulnerable = 1 << 20;
      Step();
      if (g_bossPhase == 1 && g_spellBackground == 1 && g_bosses[0].phaseTimer == timer) return;
    }
    FAIL() << "timer " << timer << " not reached";
  }
  static std::string FirstVolley(int scene, int frame, int slot, int hp);
};

// "F:slots" spawns at frame F; "F..L/P:slots+k" at F, F + P ... L with the slots moved on
// by k at each; slots are "a" or "a-b"; "#n" adds n random draws on each such frame.
std::string ExpandSpawns(const char* compact) {
  std::istringstream in(compact);
  std::string token;
  std::map<int, std::string> byFrame;
  while (in >> token) {
    int first = 0, last = 0, period = 1, inc = 0, draws = 0;
    const size_t colon = token.find(':');
    if (std::sscanf(token.c_str(), "%d..%d/%d", &first, &last, &period) != 3) {
      last = first = std::stoi(token);
    }
    std::string slots = token.substr(colon + 1);
    if (const size_t hash = slots.find('#'); hash != std::string::npos) {
      draws = std::stoi(slots.substr(hash + 1));
      slots.resize(hash);
    }
    if (const size_t plus = slots.find('+'); plus != std::string::npos) {
      inc = std::stoi(slots.substr(plus + 1));
      slots.resize(plus);
    }
    for (int frame = first, step = 0; frame <= last; frame += period, ++step) {
      std::string list;
      std::istringstream items(slots);
      for (std::string item; std::getline(items, item, ',');) {
        int a = 0, b = 0;
        if (std::sscanf(item.c_str(), "%d-%d", &a, &b) != 2) b = a;
        for (int s = a; s <= b; ++s) {
          list += (list.empty() ? "" : ",") + std::to_string(s + step * inc);
        }
      }
      byFrame[frame] = list + (draws != 0 ? "#" + std::to_string(draws) : "");
    }
  }
  std::string out;
  for (const auto& [frame, spawns] : byFrame) out += " " + std::to_string(frame) + ":" + spawns;
  return out;
}

// The first token where two expanded lists part, or "" when they agree.
std::string FirstDifference(const std::string& seen, const std::string& expected) {
  std::istringstream a(seen), b(expected);
  std::string x, y;
  while (true) {
    const bool moreA = static_cast<bool>(a >> x), moreB = static_cast<bool>(b >> y);
    if (!moreA && !moreB) return "";
    if (!moreA || !moreB || x != y) {
      return "seen " + (moreA ? x : "end") + ", listed " + (moreB ? y : "end");
    }
  }
}

// Frames and slots of every wave, with the random draws of the frames that draw.
struct SpawnList {
  int scene;
  const char* spawns;
};
const SpawnList kSpawnLists[] = {
    {1, "50..110/20:0,1,9,10+2 550..610/20:0,1+2 620:8 730..790/20:9,10+2 820:17 1050:18 "
        "1150:19-25 1450:26-28 3050..3140/30:0,1+2 3250..3340/30:9,10+2 3500:8,17 "
        "3800..3840/10:18,19+2 4150:0 4250:1-7"},
    {2, "220..310/10:0,1+2#6 500:29 600..690/30:20,21+2 860..890/30:20,21+2 "
        "1100..1260/20:0,20+1#3 1400..1560/20:0,20+1#3 1700..1860/20:0,20+1#3 3000:22-24 "
        "3150:25-27 3300:22-24 3420..3510/10:0,1+2 3820..3910/10:0,1+2 4200:20,21 "
        "4420..4540/30:0,1+2 4700:28,29 5000..5120/60:22,25+1"},
    {3, "120..210/10:0,1+2 620..710/10:0,1+2 860:20 920..1010/10:0,1+2 1160:21 "
        "1220..1310/10:0,1+2 1460:20 1520..1610/10:0,1+2 3700:22,23 3800..3840/10:0,1+2 "
        "3900:24,25 4000..4040/10:10,11+2 4100:26,27 4260:0-3,28 4280..4340/20:4-7+4 "
        "4460..4540/20:0-3+4 4800:20,21 4900..4990/10:0,1+2 5500:29 5600..5690/10:0,1+2"},
    {4, "60:0-2 820:3 900..960/20:4+1 980:26 1060..1120/20:8+1 1140:27 1220..1280/20:4+1 "
        "1500..1800/100:12+1 1550..1850/100:16+1 2300:24 2360:20,22 2420:21,23 2450:25 "
        "2700:28 2760:20,22 2820:21,23 3050:24,25 4560:4,27 4580..4700/20:5+1 "
        "4720..4860/20:4+1 4900:3,26 4960..5080/60:4+3 5140..5260/60:5+3 5400:6 "
        "5460..5490/10:8+1 5600:7 5660..5690/10:12+1 6000:20-23 6020..6080/20:24+1 "
        "6160..6220/20:24+1 6350:0,1 6410:2,3 6420..6480/20:24+1 6560..6620/20:24+1 6900:29 "
        "6960:4,5,28"},
    {5, "90..130/10:0,5+1 710:10,11 790..810/10:0,5+1 1060..1150/30:14+1 1180:12 "
        "1340..1430/30:14+1 1460:13 1650:14,16 1680:14,16 1790:12,13 2200:18,19 2260:14,15 "
        "2380:20,21 2440:16,17 2500:22,23 4200..4300/50:18,19+2 4560:24,25 4740:26,27 "
        "4920:24,25 5200..5280/20:0,5+1 5500:1 5600..5680/20:2,7+1 5740..5820/20:2,7+1 "
        "6100:18,19 6280:20,21 6400:22,23 6700:24 7000:14-17 7300:14-17 7350:12,24-26 "
        "7400:13,27-29"},
    {6, "240..330/30:0+1 700..790/15:6,14+1 815:13,21 1230:22,23 1290:6,10,14,18 "
        "1350:7,11,15,19 1800:4,5"},
    {8, "150..210/20:0,1,9,10+2 680:8 700..760/20:0,1+2 820:17 840..900/20:9,10+2 "
        "1920..2010/10:0,1+2 2400:20,21 2520..2640/30:0,1+2 3720:28 3820..3900/20:0-3+4 "
        "4200:29 4320..4400/20:0-3+4 5520..5540/10:27+1 6000..6090/10:0,10+1 "
        "7320..7620/60:0+1 7900..7950/25:14,23+1 7975:12,19 8000:17,21 8025:13,22 9120:0 "
        "9150:1 9210:2 9240:3 9300:4 9330:5 9390:0 9420:1"},
};

TEST_F(StageFacts, WavesSpawnAtTheirFramesAndSlotsAlikeOnEveryDifficulty) {
  for (const SpawnList& list : kSpawnLists) {
    SCOPED_TRACE(list.scene);
    const std::string expected = ExpandSpawns(list.spawns);
    uint64_t firstPrint = 0;
    for (int difficulty = 0; difficulty < 5; ++difficulty) {
      if ((DifficultiesOf(list.scene) >> difficulty & 1) == 0) continue;
      Begin(list.scene, difficulty);
      Step();
      std::string seen;
      uint64_t print = 1469598103934665603ull;  // every spawned record, byte for byte
      for (int frame = 1; frame < 10000; ++frame) {
        const uint32_t before = g_randomCounter;
        RunWavesAt(list.scene, frame);
        const uint32_t draws = DrawsSince(before);
        std::string slots;
        for (int slot = 0; slot < kEnemySlots; ++slot) {
          if (g_enemies[slot].active == 0) continue;
          slots += (slots.empty() ? "" : ",") + std::to_string(slot);
          const auto* bytes = reinterpret_cast<const unsigned char*>(&g_enemies[slot]);
          for (size_t k = 0; k < sizeof(Enemy); ++k) print = (print ^ bytes[k]) * 1099511628211ull;
        }
        if (slots.empty() && draws == 0) continue;
        seen += " " + std::to_string(frame) + ":" + slots;
        if (draws != 0) seen += "#" + std::to_string(draws);
      }
      EXPECT_EQ(FirstDifference(seen, expected), "") << "difficulty " << difficulty;
      if (firstPrint == 0) firstPrint = print;
      EXPECT_EQ(print, firstPrint) << "difficulty " << difficulty << " spawns other enemies";
    }
  }
}

// The first volley of each enemy firing rule: "F:S" is the enemy that frame F spawns in
// slot S (or a plain enemy placed there when F spawns none; "!h" sets its HP to h), held in
// place while its age and the frame count on. Per difficulty, Easy to Lunatic (the Extra
// has one), "age/count" gives the age of its first volley and the bullets in it (lasers
// count one each), "-" no volley within 900 steps; "v>l" is the speed and speed limit of
// the first bullet on the hardest difficulty. A lone "-": silent on every difficulty.
struct FiringList {
  int scene;
  const char* rules;
};
const FiringList kFiringLists[] = {
    {1, "50:0 80/2 80/3 80/12 80/15 1>3; 3050:0 40/2 40/3 40/12 40/15 1>3; "
        "620:8 60/6 100/8 80/11 60/13 1>3.5; 1050:18 80/12 105/18 90/24 100/30 0>2.5; "
        "1150:19 0/4 0/4 0/12 0/12 2>3; 1450:26 80/4 105/6 90/8 100/10 0>3; "
        "1450:27 80/20 140/30 120/40 100/50 0>2; 3000:29 -; "
        "4150:0 100/8 80/12 90/18 80/22 1>5; 4250:1 0/8 0/18 0/32 0/50 2>3; "
        "3500:8 75/8 75/12 75/26 75/32 1>3.5; 3800:18 60/8 60/12 60/16 60/20 0>2; 3600:12 -; "
        "5200:0 -"},
    {2, "220:0 90/2 90/4 90/6 90/8 2>2; 220:0!90 - 0/4 0/6 0/8 3>3; "
        "600:20 90/1 70/3 100/3 60/5 1>3; 500:29 84/8 84/10 84/12 84/14 1>2.5; "
        "3420:0 0/4 0/4 0/4 0/4 2.5>2.5; 3420:0!90 0/4 0/4 0/8 0/8 2.5>2.5; "
        "4200:20 100/4 100/12 100/24 100/40 1>2.5; 3000:22 60/2 60/6 60/10 60/14 1>2; "
        "4700:28 80/3 80/5 80/7 80/9 1>3; 5200:28 -"},
    {3, "120:0 90/2 90/4 90/6 90/8 2>2; 860:20 0/2 0/2 0/2 0/2 0>30; "
        "3700:22 0/2 0/4 0/6 0/8 1>2; 4260:28 0/2 0/2 0/2 0/2 0>30; "
        "4800:20 120/14 120/22 120/30 120/38 -3>3; 5500:29 100/5 100/6 100/8 100/8 1>2"},
    {4, "60:0 60/6 60/10 60/14 60/18 2.5>4; 60:1 75/2 60/3 60/4 60/5 1>2; "
        "820:3 60/30 60/30 60/30 60/30 -3>3; 900:4 0/3 0/6 0/10 0/15 1>2; "
        "1500:12 900/21 900/24 900/36 900/40 -2>3; 2300:24 1/6 1/6 1/6 1/6 0>30; 2360:20 -; "
        "5400:6 0/6 0/6 0/6 0/6 0>30; 6000:20 60/28 60/32 60/36 60/40 -2>3; "
        "6020:24 - 600/4 600/6 600/6 1>2; 6350:0 60/2 60/3 60/4 60/5 3>2; "
        "6900:29 54/8 54/10 54/12 54/14 1>2; 6960:4 140/6 120/6 100/8 80/8 1>4"},
    {5, "90:0 100/6 100/10 100/15 100/21 1>2; 710:10 0/2 0/2 0/2 0/2 0>30; "
        "1060:14 60/26 60/28 60/30 60/32 6>2; 2200:18 60/44 60/48 60/52 60/56 4>2; "
        "4560:24 60/48 60/60 60/72 60/84 1>2; 5200:0 40/6 40/10 40/15 40/21 1>2; "
        "5500:1 0/2 0/2 0/2 0/2 0>30; 5500:0 -; 5600:2!90 0/2 0/4 0/6 0/8 2.5>2; "
        "7350:12 120/8 120/8 120/8 120/8 0>2; 6100:18 60/44 60/48 60/52 60/56 6>2; "
        "7000:14 60/6 60/6 60/6 60/6 0>2"},
    {6, "240:0 60/4 60/6 60/9 60/12 3>3; 700:6 60/8 60/12 60/16 60/20 5>2; "
        "1230:22 60/4 60/6 60/9 60/12 2>2; 1800:4 60/60 60/80 60/80 60/100 0>2; 240:26 -"},
    {8, "150:0 30/2 3>4; 680:8 60/90 1>3; 700:0 30/6 3>4; 1920:0 0/4 2>2; 2400:20 75/55 1>2.5; "
        "3720:28 0/2 0>30; 3820:0 90/8 2>2; 4200:29 100/24 2>2; 5520:27 60/35 -3>3; "
        "6000:0 120/10 3>1.5; 7320:0 60/54 5>3; 7900:14 90/4 0>0; 7900:23 60/2 0>0; "
        "9120:0 60/6 1.5>1.5"},
};

// The first volley of `slot`'s enemy as a rule of kFiringLists shows it.
std::string StageFacts::FirstVolley(int scene, int frame, int slot, int hp) {
  std::string out;
  double speed = 0, limit = 0;
  for (int difficulty = 0; difficulty < 5; ++difficulty) {
    if ((DifficultiesOf(scene) >> difficulty & 1) == 0) continue;
    BeginPlay(PlaySetup{scene, difficulty, 0, 12345});
    RunLogicStep();
    RunWavesAt(scene, frame);
    Enemy& e = g_enemies[slot];
    if (e.active == 0) PlaceEnemy(slot, 0, 75, 500);
    for (int other = 0; other < kEnemySlots; ++other)
      if (other != slot) g_enemies[other].active = 0;
    if (hp != 0) e.hp = hp;
    g_enemyBullets.Clear();
    g_lasers.Clear();
    int age = 0, count = 0;
    for (; age <= 900 && count == 0 && e.hp > 0; ++age) {
      e.age = age;
      g_stageFrame = frame + age;
      const uint32_t serial = g_bulletSerial;
      const int lasers = LiveLasers();
      kStages[scene].fire(slot);
      count = LiveLasers() - lasers;
      const EnemyBullet* first = nullptr;
      for (const EnemyBullet& b : g_enemyBullets) {
        if (b.state == 0 || b.serial <= serial) continue;
        ++count;
        if (first == nullptr) first = &b;
      }
      if (first != nullptr) speed = first->speed, limit = first->speedLimit;
    }
    out += count == 0 ? " -" : " " + std::to_string(age - 1) + "/" + std::to_string(count);
  }
  if (out.find_first_not_of(" -") == std::string::npos) return " -";
  char tail[40];
  std::snprintf(tail, sizeof tail, " %g>%g", speed, limit);
  return out + tail;
}

TEST_F(StageFacts, FirstVolleyOfEveryFiringRule) {
  for (const FiringList& list : kFiringLists) {
    std::istringstream rules(list.rules);
    for (std::string rule; std::getline(rules, rule, ';');) {
      rule = rule.substr(rule.find_first_not_of(' '));
      int frame = 0, slot = 0, hp = 0;
      std::sscanf(rule.c_str(), "%d:%d!%d", &frame, &slot, &hp);
      const std::string head = rule.substr(0, rule.find(' '));
      EXPECT_EQ(head + FirstVolley(list.scene, frame, slot, hp), rule) << "stage " << list.scene;
    }
  }
}

// Each card's settings as its first step shows them, on the difficulties of `mask`
// (bit 4: the Extra card of that slot), and the bonus after the first drain at timer 100.
struct CardRow {
  int slot, mask, hp, timer, bonus, drain;
};
const CardRow kCardRows[] = {
    {0, 0xC, 1200, 1800, 2000000, 740},    {1, 0x3, 1400, 1800, 2000000, 760},
    {1, 0xC, 1200, 1800, 2000000, 760},    {2, 0xF, 2700, 2700, 2500000, 590},
    {3, 0xF, 2000, 1800, 3600000, 810},    {4, 0xF, 2500, 2400, 3800000, 660},
    {5, 0xF, 2000, 2000, 4000000, 860},    {6, 0xF, 2500, 2000, 4000000, 0},
    {7, 0xF, 3000, 2800, 5300000, 410},    {8, 0x3, 1400, 2500, 5300000, 810},
    {8, 0xC, 2000, 2500, 5300000, 810},    {9, 0xF, 4000, 3000, 5300000, 400},
    {10, 0xF, 1800, 1800, 6500000, 510},   {11, 0xF, 2400, 2400, 6500000, 410},
    {12, 0xF, 3000, 3000, 6700000, 410},   {13, 0xF, 3500, 3000, 8000000, 460},
    {14, 0xF, 100, 1200, 7000000, 0},      {15, 0x3, 1800, 2500, 7000000, 860},
    {15, 0xC, 2300, 2500, 7000000, 860},   {16, 0xF, 2200, 3000, 7000000, 610},
    {17, 0xF, 2700, 3500, 7500000, 710},   {18, 0xF, 3200, 3500, 7500000, 410},
    {19, 0xF, 2000, 4500, 8000000, 610},   {20, 0x3, 500, 5000, 8000000, 410},
    {20, 0xC, 1000, 3000, 8000000, 410},   {21, 0xF, 2700, 3000, 8200000, 710},
    {22, 0xF, 2700, 2500, 8200000, 760},   {23, 0xF, 3200, 3500, 8600000, 660},
    {24, 0xF, 5500, 4000, 8600000, 560},   {25, 0xF, 7000, 6000, 9000000, 410},
    {0, 0x10, 2500, 3600, 5000000, 710},   {1, 0x10, 2000, 3600, 5000000, 610},
    {2, 0x10, 3000, 3600, 5000000, 410},   {3, 0x10, 3500, 3600, 5000000, 330},
    {4, 0x10, 2500, 3600, 5000000, 570},   {5, 0x10, 2500, 3600, 5000000, 330},
    {6, 0x10, 2500, 3600, 5000000, 570},   {7, 0x10, 2500, 3600, 5000000, 710},
    {8, 0x10, 2500, 3600, 5000000, 710},   {9, 0x10, 3500, 3600, 5000000, 760},
    {10, 0x10, 4000, 3600, 5000000, 660},  {11, 0x10, 100, 3600, 5000000, 0},
    {12, 0x10, 10000, 7200, 9000000, 810}, {13, 0x10, 4000, 3600, 5000000, 260},
    {14, 0x10, 3000, 3500, 5000000, 260},  {15, 0x10, 4500, 3300, 5000000, 260},
    {16, 0x10, 100, 1800, 5000000, 0},
};

TEST_F(StageFacts, EveryCardShowsItsSettingsAndDrainsItsBonus) {
  for (const CardRow& row : kCardRows) {
    for (int difficulty = 0; difficulty < 5; ++difficulty) {
      if ((row.mask >> difficulty & 1) == 0) continue;
      SCOPED_TRACE(testing::Message() << "slot " << row.slot << " difficulty " << difficulty);
      RunCardUntil(difficulty, row.slot, 1);
      EXPECT_EQ(g_bosses[0].hp, row.hp);
      EXPECT_EQ(g_bosses[0].maxHp, row.hp);
      EXPECT_EQ(g_bosses[0].spellTimer, row.timer);
      EXPECT_EQ(g_spellBonus, row.bonus);
      for (int guard = 0; guard < 200 && g_bosses[0].phaseTimer != 100; ++guard) Step();
      ASSERT_EQ(g_bosses[0].phaseTimer, 100);
      EXPECT_EQ(g_spellBonus, row.bonus - row.drain);
    }
  }
}

// The random draws a card makes on the step of `timer` (a loop step by the timer it
// loops at), on the difficulties of `mask` (bit 4: the Extra card of that slot); where
// that step moves the boss, its y target is yBase + yStep x (draw number yDraw mod yMod).
struct DrawRow {
  int slot, mask, timer, draws;
  int yDraw = -1, yBase = 0, yMod = 0, yStep = 1;
};
const DrawRow kDrawRows[] = {
    {0, 0xC, 120, 3},  {0, 0xC, 260, 2, 0, 100, 50},  {0, 0xC, 261, 0},
    {1, 0xF, 100, 2, 0, 200, 50},  {1, 0x3, 220, 2},  {1, 0xC, 350, 2},
    {2, 0x1, 112, 14}, {2, 0x2, 108, 14}, {2, 0x4, 108, 16}, {2, 0x8, 110, 16},
    {2, 0x8, 111, 0},  {2, 0x7, 170, 2, 0, 150, 50},  {3, 0x3, 160, 2},  {3, 0xC, 170, 3},
    {3, 0xF, 270, 2, 0, 125, 50},  {4, 0xF, 300, 1},  {5, 0xF, 110, 1},
    {5, 0xF, 500, 2},  {6, 0x5, 100, 1},  {6, 0x5, 120, 3},  {6, 0xA, 102, 1},
    {6, 0xA, 120, 3},  {7, 0xF, 400, 2, 0, 100, 50},  {8, 0x3, 100, 2, 0, 125, 50},
    {8, 0xC, 100, 2, 0, 245, 50},  {8, 0xF, 280, 2},  {11, 0xF, 150, 1},
    {11, 0xF, 350, 2, 0, 150, 50},  {12, 0xF, 350, 2, 0, 125, 50},  {13, 0x3, 150, 0},
    {13, 0x4, 150, 90}, {13, 0x8, 150, 120}, {16, 0xF, 70, 1},  {18, 0xF, 70, 1},
    {19, 0xF, 180, 2, 0, 125, 50}, {19, 0xF, 310, 1, 0, 125, 50},
    {20, 0x3, 100, 2, 0, 100, 19, 10}, {20, 0xC, 110, 2, 0, 100, 19, 5},
    {22, 0xF, 70, 1},  {22, 0x4, 250, 12}, {22, 0x8, 250, 16}, {23, 0xC, 100, 2},
    {23, 0x4, 200, 3}, {23, 0x8, 205, 3}, {24, 0x1, 110, 7}, {24, 0x2, 100, 7},
    {24, 0x4, 135, 6}, {24, 0x8, 120, 6}, {25, 0xF, 108, 16},
    // Extra.
    {0, 0x10, 70, 1},  {0, 0x10, 120, 1}, {1, 0x10, 110, 4}, {1, 0x10, 430, 2, 0, 150, 50},
    {2, 0x10, 100, 3}, {3, 0x10, 100, 1}, {5, 0x10, 460, 1}, {6, 0x10, 100, 2},
    {6, 0x10, 180, 4}, {7, 0x10, 160, 1}, {8, 0x10, 100, 4, 0, 100, 50}, {8, 0x10, 110, 2},
    {9, 0x10, 70, 1},  {9, 0x10, 100, 1}, {10, 0x10, 120, 2}, {12, 0x10, 100, 13},
    {12, 0x10, 115, 1}, {13, 0x10, 120, 1}, {14, 0x10, 135, 18}, {15, 0x10, 120, 20},
    {15, 0x10, 540, 2, 0, 100, 50}, {16, 0x10, 240, 1},
};

TEST_F(StageFacts, CardsDrawTheirRandomValuesOnTheirSteps) {
  for (const DrawRow& row : kDrawRows) {
    for (int difficulty = 0; difficulty < 5; ++difficulty) {
      if ((row.mask >> difficulty & 1) == 0) continue;
      SCOPED_TRACE(testing::Message() << "slot " << row.slot << " difficulty " << difficulty
                                      << " timer " << row.timer);
      RunCardUntil(difficulty, row.slot, row.timer - 1);
      const uint32_t before = g_randomCounter;
      Step();
      EXPECT_EQ(DrawsSince(before), static_cast<uint32_t>(row.draws));
      if (row.yMod != 0) {
        const uint32_t after = g_randomCounter;
        g_randomCounter = before;
        int draw = 0;
        for (int k = 0; k <= row.yDraw; ++k) draw = NextRandom();
        g_randomCounter = after;
        EXPECT_EQ(g_bosses[0].targetY, row.yBase + row.yStep * (draw % row.yMod))
            << "the draws feed the move in order";
      }
    }
  }
}

}  // namespace
