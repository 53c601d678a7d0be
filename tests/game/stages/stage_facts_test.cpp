// The numbers every stage is built from, as behaviour at named frames and timers: when
// and where the waves spawn, the first volley of each enemy firing rule, each card's
// settings, and how many random values each card draws on its drawing steps. One table
// and one driver per kind of fact, over stages 1 to 6 and the Extra stage.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

// Each spawn as the stage's tables give it: "frames slot hp x,y kind:speed@angle", the
// last being the first segment (the first move). Frames are "F" or "F..L/P"; the slot
// is "S", "S+k" (k more at each later frame) or "S..T" (one spawn per slot at one
// frame); a number is "v", "v+i" or "v-i" (i more or less at each later frame or slot)
// or "v~n" (drawn: from v up to v + n, exclusive). An angle of 720 or more is aimed at
// the player, plus the excess. The same on every difficulty.
struct SpawnFacts {
  int scene;
  std::vector<const char*> lines;
};
const SpawnFacts kSpawnFacts[] = {
    {1,
     {"50..110/20 0+2 10 50,0 3:2@260", "50..110/20 1+2 10 100,0 3:2@260",
      "50..110/20 9+2 10 400,0 3:2@280", "50..110/20 10+2 10 350,0 3:2@280",
      "550..610/20 0+2 20 50,0 3:2@260", "550..610/20 1+2 20 100,0 3:2@260",
      "730..790/20 9+2 20 400,0 3:2@280", "730..790/20 10+2 20 350,0 3:2@280",
      "3050..3140/30 0+2 20 50,0 3:3@270", "3050..3140/30 1+2 20 100,0 3:3@270",
      "3250..3340/30 9+2 20 400,0 3:3@270", "3250..3340/30 10+2 20 350,0 3:3@270",
      "620 8 100 124,0 1:3@270", "820 17 100 324,0 1:3@270", "1050 18 350 224,0 1:2@270",
      "1450 26 300 224,0 1:2@270", "1450 27 200 29,180 1:2@0", "1450 28 200 420,180 1:2@180",
      "3500 8 200 124,0 1:2.5@270", "3500 17 200 324,0 1:2.5@270", "4150 0 400 224,0 1:2@270",
      "1150 19..25 30 134+30,200 0:0@0", "3800..3840/10 18+2 50 374-40,100+20 0:0@0",
      "3800..3840/10 19+2 50 74+40,100+20 0:0@0", "4250 1 100 134,128 0:0@0",
      "4250 2 100 164,168 0:0@0", "4250 3 100 194,192 0:0@0", "4250 4 100 224,200 0:0@0",
      "4250 5 100 254,192 0:0@0", "4250 6 100 284,168 0:0@0", "4250 7 100 314,128 0:0@0"}},
    {2,
     {"220..310/10 0+2 120 82~285,0 1:3@250~40", "220..310/10 1+2 120 82~285,0 1:3@250~40",
      "500 29 400 224,0 1:2@270", "600..690/30 20+2 50 29,50 1:2@320",
      "600..690/30 21+2 50 420,50 1:2@220", "860..890/30 20+2 50 29,50 1:2@320",
      "860..890/30 21+2 50 420,50 1:2@220", "1100..1260/20 20+1 30 324,0 1:2@720",
      "1100..1260/20 0+1 120 60~100,0 1:2@250~40", "1400..1560/20 20+1 30 124,0 1:2@720",
      "1400..1560/20 0+1 120 260~100,0 1:2@250~40", "1700..1860/20 20+1 30 324,0 1:2@720",
      "1700..1860/20 0+1 120 60~100,0 1:2@250~40", "3000..3300/300 22 100 324,0 1:3@720",
      "3000..3300/300 23 100 124,0 1:3@720", "3000..3300/300 24 100 224,0 1:3@720",
      "3150 25 100 324,0 1:3@720", "3150 26 100 124,0 1:3@720", "3150 27 100 224,0 1:3@720",
      "3420..3510/10 0+2 140 100,0 1:3@270", "3420..3510/10 1+2 140 0,100 1:3@0",
      "3820..3910/10 0+2 140 348,0 1:3@270", "3820..3910/10 1+2 140 0,380 1:3@0",
      "4200 20 400 79,0 1:2@-60", "4200 21 400 350,0 1:2@240",
      "4420..4540/30 0+2 120 348,0 1:3@270", "4420..4540/30 1+2 120 100,480 1:3@90",
      "4700 28 400 274,0 1:2@270", "4700 29 400 174,0 1:2@270",
      "5000..5120/60 22+1 60 384-30,0 1:2@265", "5000..5120/60 25+1 60 64+30,0 1:2@275"}},
    {3,
     {"120..210/10 0+2 130 324,0 3:3@270", "120..210/10 1+2 130 374,0 3:3@270",
      "620..710/10 0+2 130 124,0 3:3@270", "620..710/10 1+2 130 74,0 3:3@270",
      "920..1010/10 0+2 130 0,340 3:3@0", "920..1010/10 1+2 130 0,390 3:3@0",
      "1220..1310/10 0+2 130 324,480 3:3@90", "1220..1310/10 1+2 130 374,480 3:3@90",
      "1520..1610/10 0+2 130 420,140 3:3@180", "1520..1610/10 1+2 130 420,90 3:3@180",
      "4900..4990/10 0+2 130 0,340 3:3@0", "4900..4990/10 1+2 130 450,340 3:3@180",
      "5600..5690/10 0+2 130 0,140 4:3@0", "5600..5690/10 1+2 130 450,140 4:3@180",
      "3800..3840/10 0+2 120 0,100 1:3@0", "3800..3840/10 1+2 120 450,150 1:3@180",
      "4000..4040/10 10+2 120 0,150 1:3@0", "4000..4040/10 11+2 120 450,200 1:3@180",
      "4260..4340/20 0+4 120 324,0 1:3@280", "4260..4340/20 1+4 120 324,0 1:3@260",
      "4260..4340/20 2+4 120 124,0 1:3@280", "4260..4340/20 3+4 120 124,0 1:3@260",
      "4460..4540/20 0+4 120 304,0 1:3@280", "4460..4540/20 1+4 120 304,0 1:3@260",
      "4460..4540/20 2+4 120 144,0 1:3@280", "4460..4540/20 3+4 120 144,0 1:3@260",
      "860 20 200 324,0 1:3@260", "1160 21 200 124,0 1:3@280", "1460 20 200 324,0 1:3@260",
      "3700..4100/200 22+2 100 324-20,0 1:2@260", "3700..4100/200 23+2 100 124+20,0 1:2@280",
      "4260 28 600 224,0 1:2@270", "4800 20 400 104,0 1:3@290", "4800 21 400 344,0 1:3@250",
      "5500 29 1000 224,0 1:2.7@270"}},
    {4,
     {"60 0 400 224,175 0:3@270", "60 1 400 274,120 0:3@270", "60 2 400 174,120 0:3@270",
      "820 3 250 448,240 1:3@150", "900..960/20 4+1 30 0,40 1:3@720", "980 26 250 0,240 1:3@30",
      "1060..1120/20 8+1 30 420,40 1:3@720", "1140 27 300 448,150 1:4@170",
      "1220..1280/20 4+1 50 0,40 1:3@720", "1500..1800/100 12+1 300 420,90 7:1@190",
      "1550..1850/100 16+1 300 0,90 7:1@-10", "2300 24 200 440,20 1:2@200",
      "2360..2420/60 20+1 30 0,40 1:3@300", "2360..2420/60 22+1 30 420,40 1:3@240",
      "2450 25 200 10,20 1:2@340", "2700 28 500 224,0 1:3@270",
      "2760..2820/60 20+1 30 294,0 1:2@270", "2760..2820/60 22+1 30 154,0 1:2@270",
      "3050 24 200 174,0 1:2@330", "3050 25 200 274,0 1:2@210", "4560 27 200 224,0 1:3@270",
      "4560..4700/20 4+1 30 10,120 1:3@-20", "4720..4860/20 4+1 30 440,120 1:3@200",
      "4900 3 200 448,240 1:3@150", "4900 26 200 0,240 1:3@30",
      "4960..5080/60 4+3 20 10,120 1:3@-20", "5140..5260/60 5+3 20 440,120 1:3@200",
      "5400 6 350 274,0 1:3@270", "5460 8 60 74,80 0:3@270", "5470 9 60 114,130 0:3@270",
      "5480 10 60 74,180 0:3@270", "5490 11 60 114,230 0:3@270", "5600 7 350 174,0 1:3@270",
      "5660 12 60 374,80 0:3@270", "5670 13 60 334,130 0:3@270", "5680 14 60 374,180 0:3@270",
      "5690 15 60 334,230 0:3@270", "6000 20 200 448,40 7:3@210", "6000 21 200 0,40 7:3@-30",
      "6000 22 200 448,340 7:3@150", "6000 23 200 0,340 7:3@30",
      "6020..6080/20 24+1 40 440,120 1:3@200", "6160..6220/20 24+1 40 10,120 1:3@-20",
      "6350 0 200 10,150 7:2@0", "6350 1 200 440,150 7:2@180", "6410 2 300 224,0 7:2@270",
      "6410 3 300 224,0 7:2@270", "6420..6480/20 24+1 40 440,120 1:3@200",
      "6560..6620/20 24+1 40 10,120 1:3@-20", "6900 29 750 224,0 1:3.7@270",
      "6960 4 100 224,0 1:2.7@270", "6960 5 100 124,0 1:2.7@270", "6960 28 100 324,0 1:2.7@270"}},
    {5,
     {"90..130/10 0+1 30 29,450-50 1:2@0", "90..130/10 5+1 30 420,450-50 1:2@180",
      "710 10 300 448,240 1:3@150", "710 11 300 0,240 1:3@30",
      "790..810/10 0+1 30 29,20+50 1:1@0", "790..810/10 5+1 30 420,20+50 1:1@180",
      "1060..1150/30 14+1 50 448,100 1:2+1@185+10", "1180 12 200 60,0 1:3@290",
      "1340..1430/30 14+1 50 0,100 1:2+1@355-10", "1460 13 200 380,0 1:3@250",
      "1650..1680/30 14 100 448,100 1:2@190", "1650..1680/30 16 100 0,100 1:2@350",
      "1790 12 150 60,0 1:3@290", "1790 13 150 380,0 1:3@250", "2200 18 50 0,400 1:4@10",
      "2200 19 50 448,400 1:4@170", "2260 14 50 0,400 1:2@0", "2260 15 50 448,400 1:2@180",
      "2380 20 50 0,400 1:3@-10", "2380 21 50 448,400 1:3@190", "2440 16 50 0,400 1:4@0",
      "2440 17 50 448,400 1:4@180", "2500 22 50 0,400 1:3@10", "2500 23 50 448,400 1:3@170",
      "4200 18 100 448,180 1:3@150", "4200 19 100 0,180 1:3@30", "4250 20 100 448,240 1:3@150",
      "4250 21 100 0,240 1:3@30", "4300 22 100 448,180 1:3@150", "4300 23 100 0,180 1:3@30",
      "4560 24 200 448,240 1:3@150", "4560 25 200 0,240 1:3@30", "4740 26 250 448,240 1:3@150",
      "4740 27 250 0,240 1:3@30", "4920 24 300 288,0 1:2@270", "4920 25 300 160,0 1:2@270",
      "5200..5280/20 0+1 30 29,150 0:0@0", "5200..5280/20 5+1 30 420,150 0:0@0",
      "5500 1 500 224,0 1:3@270", "5600..5680/20 2+1 130 374,0 0:0@0",
      "5600..5680/20 7+1 130 74,0 0:0@0", "5740..5820/20 2+1 130 0,140 3:3@0",
      "5740..5820/20 7+1 130 450,140 4:3@180", "6100 18 100 0,180 1:4@10",
      "6100 19 100 448,180 1:4@170", "6280 20 100 0,180 1:3@-10", "6280 21 100 448,180 1:3@190",
      "6400 22 100 0,180 1:3@10", "6400 23 100 448,180 1:3@170", "6700 24 500 0,50 1:4@330",
      "7000..7300/300 14 500 0,100-50 1:3@300", "7000..7300/300 15 500 0,100-50 1:3.5@320",
      "7000..7300/300 17 500 448,100-50 1:3.5@220", "7000..7300/300 16 500 448,100-50 1:3@240",
      "7350 24 500 0,100 1:3@300", "7350 25 500 0,100 1:3.5@350", "7350 12 500 448,100 1:3.5@190",
      "7350 26 500 448,100 1:3@240", "7400 27 500 0,350 1:3@330", "7400 28 500 0,350 1:3.5@0",
      "7400 13 500 448,350 1:3.5@180", "7400 29 500 448,350 1:3@230"}},
    {6,
     {"240 0 200 0,50 1:4@330", "270 1 200 440,50 1:4@210", "300 2 200 0,110 1:4@300",
      "330 3 200 440,110 1:4@240", "700..790/15 6+1 60 29,50+15 1:3@320",
      "700..790/15 14+1 60 420,50+15 1:3@220", "815 13 60 29,165 1:3@320",
      "815 21 60 420,165 1:3@220", "1230 22 200 0,0 1:4@310", "1230 23 200 440,0 1:4@230",
      "1290..1350/60 6+1 60 29,50 1:3@300", "1290..1350/60 10+1 60 29,100 1:3@340",
      "1290..1350/60 14+1 60 420,50 1:3@240", "1290..1350/60 18+1 60 420,100 1:3@200",
      "1800 4 350 0,50 1:4@330", "1800 5 350 440,50 1:4@210"}},
    {8,
     {"150..210/20 0+2 30 50,0 3:2@260", "150..210/20 1+2 30 100,0 3:2@260",
      "150..210/20 9+2 30 400,0 3:2@280", "150..210/20 10+2 30 350,0 3:2@280",
      "680 8 150 324,0 1:3@270", "700..760/20 0+2 30 50,0 3:2@260",
      "700..760/20 1+2 30 100,0 3:2@260", "820 17 150 124,0 1:3@270",
      "840..900/20 9+2 30 400,0 3:2@280", "840..900/20 10+2 30 350,0 3:2@280",
      "1920..1960/10 0+2 200 100,0 1:3@270", "1920..1960/10 1+2 200 0,100 1:3@0",
      "1970..2010/10 10+2 200 330,0 1:3@270", "1970..2010/10 11+2 200 440,150 1:3@180",
      "2400 20 400 274,0 1:2@270", "2400 21 400 174,0 1:2@270",
      "2520..2640/30 0+2 250 348,0 1:3@270", "2520..2640/30 1+2 250 100,480 1:3@90",
      "3720 28 600 224,0 1:2@270", "3820..3900/20 0+4 120 324,0 1:3@280",
      "3820..3900/20 1+4 120 324,0 1:3@260", "3820..3900/20 2+4 120 124,0 1:3@280",
      "3820..3900/20 3+4 120 124,0 1:3@260", "4200 29 700 224,0 1:2@270",
      "4320..4400/20 0+4 200 324,0 3:3@270", "4320..4400/20 1+4 200 374,0 3:3@270",
      "4320..4400/20 2+4 200 124,0 3:3@270", "4320..4400/20 3+4 200 74,0 3:3@270",
      "5520 27 250 448,240 1:3@150", "5530 28 250 0,240 1:3@30", "5540 29 250 224,0 1:3@270",
      "6000..6090/10 0+1 400 44+40,80 0:3@270", "6000..6090/10 10+1 400 404-40,400 0:3@270",
      "7320 0 100 0,180 1:4@20", "7380 1 100 448,180 1:4@160", "7440 2 100 0,180 1:3@-10",
      "7500 3 100 448,180 1:3@190", "7560 4 100 0,180 1:3@10", "7620 5 100 448,180 1:3@170",
      "7900 23 500 0,50 1:3@300", "7900 14 500 0,50 1:3.5@320", "7925 24 500 448,50 1:3.5@220",
      "7925 15 500 448,50 1:3@240", "7950 25 500 0,100 1:3@300", "7950 16 500 0,100 1:3.5@350",
      "7975 12 500 448,100 1:3.5@190", "7975 19 500 448,100 1:3@240",
      "8000 17 500 0,350 1:3@330", "8000 21 500 0,350 1:3.5@0", "8025 13 500 448,350 1:3.5@180",
      "8025 22 500 448,350 1:3@230", "9120 0 200 0,50 1:4@330", "9150 1 200 440,50 1:4@210",
      "9210 2 200 0,150 1:4@300", "9240 3 200 440,150 1:4@240", "9300 4 200 0,100 1:4@315",
      "9330 5 200 440,100 1:4@225", "9390 0 200 0,50 1:4@330", "9420 1 200 440,50 1:4@210"}},
};

// One number of a spawn fact at step j: fixed, stepped, or drawn within a range.
struct FactNumber {
  double value = 0, step = 0, range = 0;
};
FactNumber ParseNumber(const std::string& text) {
  FactNumber n;
  size_t split = text.find_first_of("+-~", 1);
  n.value = std::stod(text.substr(0, split));
  if (split == std::string::npos) return n;
  const double rest = std::stod(text.substr(split + 1));
  if (text[split] == '~') n.range = rest;
  else n.step = text[split] == '+' ? rest : -rest;
  return n;
}

// Whether `seen` is the number at step j, with `aimFrom` for aimed angle codes.
::testing::AssertionResult Matches(const char* what, double seen, const FactNumber& n, int j,
                                   const double* aimFrom = nullptr) {
  double expected = n.value + j * n.step;
  if (aimFrom != nullptr && expected >= 720) {
    expected = AngleToPlayer(aimFrom[0], aimFrom[1]) + expected - 720;
  }
  const bool ok = n.range != 0 ? seen >= expected && seen < expected + n.range
                               : std::fabs(seen - expected) < 1e-9;
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << what << " " << seen << ", listed " << expected
                                       << (n.range != 0 ? " and up" : "");
}

TEST_F(StageFacts, EverySpawnStartsWithItsHitPointsPlaceAndFirstMove) {
  for (const SpawnFacts& facts : kSpawnFacts) {
    for (int difficulty = 0; difficulty < 5; ++difficulty) {
      if ((DifficultiesOf(facts.scene) >> difficulty & 1) == 0) continue;
      Begin(facts.scene, difficulty);
      Step();
      for (const char* line : facts.lines) {
        SCOPED_TRACE(testing::Message() << "stage " << facts.scene << " difficulty "
                                        << difficulty << ": " << line);
        std::istringstream in(line);
        std::string frames, slots, hp, place, move;
        in >> frames >> slots >> hp >> place >> move;
        int first = 0, last = 0, period = 1;
        if (std::sscanf(frames.c_str(), "%d..%d/%d", &first, &last, &period) != 3) {
          last = first = std::stoi(frames);
        }
        int slot = 0, lastSlot = 0, slotStep = 0;
        if (std::sscanf(slots.c_str(), "%d..%d", &slot, &lastSlot) != 2) {
          lastSlot = slot;
          std::sscanf(slots.c_str(), "%d+%d", &slot, &slotStep);
        }
        const size_t comma = place.find(','), colon = move.find(':'), at = move.find('@');
        const FactNumber x = ParseNumber(place.substr(0, comma));
        const FactNumber y = ParseNumber(place.substr(comma + 1));
        const int kind = std::stoi(move.substr(0, colon));
        const FactNumber speed = ParseNumber(move.substr(colon + 1, at - colon - 1));
        const FactNumber angle = ParseNumber(move.substr(at + 1));
        int j = 0;
        for (int frame = first; frame <= last; frame += period) {
          for (int s = slot; s <= lastSlot; ++s, ++j) {
            RunWavesAt(facts.scene, frame);
            const int at = s + (first == last ? 0 : j * slotStep);
            const Enemy& e = g_enemies[at];
            ASSERT_EQ(e.active, 1) << "frame " << frame << " slot " << at;
            EXPECT_EQ(e.hp, std::stoi(hp)) << "frame " << frame;
            EXPECT_TRUE(Matches("x", e.x, x, j)) << "frame " << frame;
            EXPECT_TRUE(Matches("y", e.y, y, j)) << "frame " << frame;
            EXPECT_EQ(e.seg1.kind, kind) << "frame " << frame;
            EXPECT_TRUE(Matches("speed", e.seg1.speed, speed, j)) << "frame " << frame;
            const double from[2] = {e.x, e.y};
            EXPECT_TRUE(Matches("angle", e.seg1.angle, angle, j, from)) << "frame " << frame;
          }
        }
      }
    }
  }
}

// Each mid-boss (the Extra stage: each meeting during the waves): the frame it is made
// and its kind, the frame its fight starts and the phase, the frames in which the
// timeline sends it away (to exitX, -50 over 120 steps; none where first is 0) or, on
// the Extra stage, holds the frame (R - 360 .. R - 1, set back from R), and the frame
// its end resumes the waves at (every later frame set back to it; `always`: any frame).
struct MidBossWindow {
  int scene, made, kind, fight, phase;
  int first, last;
  double exitX;
  int endPhase, resume;
  bool always;
};
const MidBossWindow kMidBossWindows[] = {
    {1, 2100, 2, 2230, 1, 2331, 4099, 0, 2, 3630, false},
    {2, 2100, 3, 2230, 1, 2331, 4099, 0, 0, 0, false},  // its end is inline in phase 1
    {3, 2000, 3, 2230, 1, 0, 0, 0, 2, 4130, false},
    {4, 3200, 6, 4201, 1, 0, 0, 0, 0, 0, false},  // the trio, framed by conversations
    {5, 3079, 6, 3180, 1, 3281, 4999, 420, 2, 4500, false},
    {6, 2399, 4, 2520, 1, 0, 0, 0, 2, 4500, true},
    {8, 1100, 2, 1240, 1, 1340, 1699, 0, 2, 1700, true},
    {8, 2900, 3, 3110, 3, 3140, 3499, 0, 4, 3500, true},
    {8, 4700, 1, 4910, 5, 4940, 5299, 0, 6, 5300, true},
    {8, 6500, 5, 6710, 7, 6740, 7099, 0, 9, 7100, true},
    {8, 8300, 6, 8510, 10, 8540, 8899, 0, 12, 8900, true},
};

TEST_F(StageFacts, MidBossesComeFightAndLeaveInTheirWindows) {
  for (const MidBossWindow& w : kMidBossWindows) {
    for (int difficulty = 0; difficulty < 5; ++difficulty) {
      if ((DifficultiesOf(w.scene) >> difficulty & 1) == 0) continue;
      SCOPED_TRACE(testing::Message() << "stage " << w.scene << " difficulty " << difficulty
                                      << " made at " << w.made);
      StartAt(w.scene, difficulty, w.made - 1);
      Step();
      EXPECT_EQ(g_bosses[0].state, 0);
      Step();
      EXPECT_NE(g_bosses[0].state, 0);
      EXPECT_EQ(g_bosses[0].kind, w.kind);

      StartAt(w.scene, difficulty, w.fight);
      InitBoss(0, 0, w.kind, 224.0, 150.0);
      Step();
      EXPECT_EQ(g_bossPhase, w.phase) << "at " << w.fight;

      if (w.scene == 8) {
        // The meeting's phase holds the frame inside its window.
        for (int frame : {w.first - 1, w.first, w.last, w.resume}) {
          StartPhase(8, difficulty, w.phase, w.kind, 1);
          g_stageFrame = frame;
          Step();
          EXPECT_EQ(g_stageFrame, (frame == w.resume ? w.first : frame) + 1) << "at " << frame;
        }
      } else {
        // The timeline sends a boss still there away inside the window only.
        const std::vector<int> frames = w.first != 0
                                            ? std::vector<int>{w.first - 1, w.first, w.last, w.last + 1}
                                            : std::vector<int>{2600, 4099};
        for (int frame : frames) {
          StartAt(w.scene, difficulty, frame);
          InitBoss(0, 0, w.kind, 224.0, 150.0);
          Step();
          const bool leaves = frame >= w.first && frame <= w.last && w.first != 0;
          EXPECT_EQ(g_bosses[0].state, leaves ? 3 : 1) << "at " << frame;
          if (!leaves) continue;
          EXPECT_EQ(g_bosses[0].targetX, w.exitX);
          EXPECT_EQ(g_bosses[0].targetY, -50.0);
          EXPECT_EQ(g_bosses[0].moveFrames, 120.0);
        }
      }
      if (w.endPhase == 0) continue;
      // The end resumes the waves at the resume frame.
      for (int frame : {w.resume - 100, w.resume + 100}) {
        StartPhase(w.scene, difficulty, w.endPhase, w.kind, 0);
        g_stageFrame = frame;
        Step();
        const int expected = w.always || frame > w.resume ? w.resume : frame;
        EXPECT_EQ(g_stageFrame, expected + 1) << "ended at " << frame;
        EXPECT_EQ(g_bossPhase, 0);
      }
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
