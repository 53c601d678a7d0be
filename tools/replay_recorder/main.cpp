// Records the replay set kept with the tests: each play is run live and headless by a
// scripted player, saved through the game's own replay save, and written beside it is
// what its play-back must show: the final score, the step count and the state hash
// after every 600th step.
//
//   record_replays <folder> [name ...]
//
// Run it again, and commit what it writes, whenever play changes on purpose. Naming
// replays records only those: a saved replay carries its recording date, so the others
// are left as they are.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "game/play/play_internal.h"
#include "game/play/play_runner.h"
#include "game/play/play_state.h"
#include "game/play/replay_memory.h"
#include "game/scenes/play_scene.h"

namespace {

constexpr int kHashPeriod = 600;

struct Recording {
  const char* name;
  int scene, difficulty, character;
  uint32_t startCounter;
  int quitInScene;  // a main game is quit at this scene's frame 1200; 0: never quit
};

// The state hash with the scene read as the live play's: a replay runs under its playback number.
uint64_t HashAsLive() {
  const int scene = g_scene;
  g_scene = PlayedScene(g_scene);
  const uint64_t hash = HashPlayState();
  g_scene = scene;
  return hash;
}

// What can hurt the player on the coming steps, in their last step's motion.
struct Threat {
  double x, y, vx, vy, reach;
};
struct Beam {
  double x1, y1, x2, y2, reach;
};

double SegmentDistance(double px, double py, const Beam& b) {
  const double dx = b.x2 - b.x1, dy = b.y2 - b.y1;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - b.x1) * dx + (py - b.y1) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (b.x1 + t * dx), py - (b.y1 + t * dy));
}

// The least room left between the player and any threat over the next steps when it
// keeps moving by (mx, my) a step.
double Room(const std::vector<Threat>& threats, const std::vector<Beam>& beams, double mx,
            double my) {
  constexpr int kHorizon = 10;
  double room = 1e9;
  double px = g_player.x, py = g_player.y;
  for (int k = 1; k <= kHorizon; ++k) {
    px = std::clamp(px + mx, 40.0, 409.0);
    py = std::clamp(py + my, 32.0, 449.0);
    // Nearer steps count for more: a far guess is only a guess.
    const double weight = 1.0 + 0.15 * (k - 1);
    for (const Threat& t : threats) {
      const double gap = std::hypot(t.x + k * t.vx - px, t.y + k * t.vy - py) - t.reach;
      room = std::min(room, gap * weight);
    }
    for (const Beam& b : beams) room = std::min(room, (SegmentDistance(px, py, b) - b.reach) * weight);
  }
  return room;
}

// A player who keeps firing (letting go every eighth step so that conversation lines
// advance), dodges what it can see coming, stays under its target, bombs when no move
// is safe and bombs again the moment it is hit, while a bomb can still save it.
int ScriptedInput(int step, int previous) {
  const bool freshBomb = (previous & kInputBomb) == 0 && g_player.bombs > 0;
  if (g_player.state < 0) return g_player.state >= -5 && freshBomb ? kInputBomb : 0;

  const double radius = PlayerHitRadius();
  std::vector<Threat> threats;
  for (const EnemyBullet& b : g_enemyBullets) {
    if (b.state == 0 || BulletIsHarmless(b)) continue;
    if (std::fabs(b.x - g_player.x) > 120 || std::fabs(b.y - g_player.y) > 120) continue;
    threats.push_back({b.x, b.y, b.x - b.px, b.y - b.py, BulletHitRadius(b.sheet) + radius + 1.5});
  }
  std::vector<Beam> beams;
  for (const Laser& l : g_lasers) {
    if (l.state == 0 || l.age < l.triggerAge - 10 || l.age >= l.lifetime) continue;
    beams.push_back({l.x1, l.y1, l.x2, l.y2, std::max(1, l.fullWidth) + radius + 2.0});
  }

  double targetX = 224.0;
  if (g_bosses[0].state != 0) {
    targetX = g_bosses[0].x;
  } else {
    double best = 1e9;
    for (const Enemy& e : g_enemies) {
      if (e.active != 1 || e.y > g_player.y || e.y < 16) continue;
      const double gap = std::fabs(e.x - g_player.x);
      if (gap < best) best = gap, targetX = e.x;
    }
  }
  const double targetY = 400.0;

  int bestInput = 0;
  double bestScore = -1e18, bestRoom = -1e18;
  for (int dx = -1; dx <= 1; ++dx) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (bool slow : {false, true}) {
        const double speed = (slow ? 2.0 : (g_player.character == 7 ? 5.0 : 4.5)) *
                             (dx != 0 && dy != 0 ? 0.7071067811865476 : 1.0);
        const double mx = dx * speed, my = dy * speed;
        const double room = Room(threats, beams, mx, my);
        const double nx = g_player.x + mx, ny = g_player.y + my;
        // Enough room counts the same; within it, the nearer the target the better.
        const double score = std::min(room, 14.0) * 100.0 - std::fabs(nx - targetX) -
                             0.5 * std::fabs(ny - targetY);
        if (score > bestScore) {
          bestScore = score;
          bestRoom = room;
          bestInput = (dx < 0 ? kInputLeft : dx > 0 ? kInputRight : 0) |
                      (dy < 0 ? kInputUp : dy > 0 ? kInputDown : 0) | (slow ? kInputSlow : 0);
        }
      }
    }
  }
  if (step % 8 != 0) bestInput |= kInputShot;
  if (bestRoom < 0.0 && freshBomb && g_player.invulnerable == 0 && g_talkActive == 0) {
    bestInput |= kInputBomb;
  }
  return bestInput;
}

bool Record(const Recording& r, const std::string& folder) {
  SpellCardHistory.Clear();
  CardSeenFlags.Clear();
  g_playSetup = PlaySetup{r.scene, r.difficulty, r.character, r.startCounter};
  BeginPlay(g_playSetup);
  g_lastPlayScene = r.scene;
  std::vector<uint64_t> hashes;
  int steps = 0, input = 0;
  for (;;) {
    input = ScriptedInput(steps, input);
    SetLiveInput(input);
    RunLogicStep();
    ++steps;
    NoteLastPlayScene();
    if (steps % kHashPeriod == 0) hashes.push_back(HashAsLive());
    if (g_stageOver != 0 || g_gameOverPending != 0) break;
    if (g_scene == r.quitInScene && g_stageFrame >= 1200) break;  // Quit from the pause menu
    if (g_scene >= kSceneEnding) break;
  }
  const std::string path = folder + "/" + r.name + ".rip";
  if (!SaveRecordedReplay(path, "SCRIPTED")) {
    std::fprintf(stderr, "%s: not saved\n", path.c_str());
    return false;
  }
  const int pairs = g_replayPairCount, reached = g_lastPlayScene;

  // Its play-back must show the live play's hashes. It may end sooner than the live play:
  // a replay of a whole Extra play or main game stops where the closing talk would start.
  if (!StartReplayPlaybackFile(path)) return false;
  int played = 0;
  while (played < steps && g_stageOver == 0 && g_gameOverPending == 0) {
    RunLogicStep();
    if (++played % kHashPeriod == 0 && hashes[played / kHashPeriod - 1] != HashAsLive()) {
      std::fprintf(stderr, "%s: play-back leaves the recording at step %d\n", path.c_str(), played);
      return false;
    }
  }
  hashes.resize(played / kHashPeriod);

  FILE* out = std::fopen((folder + "/" + r.name + ".expected").c_str(), "w");
  if (out == nullptr) return false;
  std::fprintf(out, "score %d\nsteps %d\n", g_player.score, played);
  for (uint64_t hash : hashes) std::fprintf(out, "%016llx\n", static_cast<unsigned long long>(hash));
  std::fclose(out);
  std::printf("%-16s %6d steps (%6d played back), %5d pairs, score %10d, last scene %d%s\n",
              r.name, steps, played, pairs, g_player.score, reached,
              g_gameOverPending != 0 ? ", game over" : "");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: record_replays <folder> [name ...]\n");
    return 2;
  }
  const std::vector<std::string> names(argv + 2, argv + argc);
  const Recording recordings[] = {
      {"stage1_easy", 11, 0, 0, 0x1001u, 0},      {"stage1_normal", 11, 1, 7, 0x1102u, 0},
      {"stage1_hard", 11, 2, 0, 0x1202u, 0},      {"stage1_lunatic", 11, 3, 7, 0x1003u, 0},
      {"stage2_easy", 12, 0, 7, 0x2001u, 0},      {"stage2_normal", 12, 1, 0, 0x2102u, 0},
      {"stage2_hard", 12, 2, 7, 0x2202u, 0},      {"stage2_lunatic", 12, 3, 0, 0x2003u, 0},
      {"stage3_easy", 13, 0, 0, 0x3001u, 0},      {"stage3_normal", 13, 1, 7, 0x3102u, 0},
      {"stage3_hard", 13, 2, 0, 0x3202u, 0},      {"stage3_lunatic", 13, 3, 7, 0x3003u, 0},
      {"stage4_easy", 14, 0, 7, 0x4001u, 0},      {"stage4_normal", 14, 1, 0, 0x4102u, 0},
      {"stage4_hard", 14, 2, 7, 0x4202u, 0},      {"stage4_lunatic", 14, 3, 7, 0x4003u, 0},
      {"stage5_easy", 15, 0, 0, 0x5001u, 0},      {"stage5_normal", 15, 1, 7, 0x5102u, 0},
      {"stage5_hard", 15, 2, 0, 0x5202u, 0},      {"stage5_lunatic", 15, 3, 7, 0x5003u, 0},
      {"stage6_easy", 16, 0, 7, 0x6001u, 0},      {"stage6_normal", 16, 1, 0, 0x6105u, 0},
      {"stage6_hard", 16, 2, 7, 0x6202u, 0},      {"stage6_lunatic", 16, 3, 7, 0x6403u, 0},
      {"extra", 8, 4, 7, 0x8408u, 0},             {"main_normal", 1, 1, 7, 0x0101u, 3},
      // Spell practice: Hard's slot 0 (a slot Easy and Normal lack), and the last Extra
      // card with its conversation and the three bosses that leave at its end.
      {"spell_hard", 200, 2, 0, 0xA200u, 0},      {"spell_extra", 216, 4, 7, 0xA416u, 0},
  };
  bool ok = true;
  size_t recorded = 0;
  for (const Recording& r : recordings) {
    if (!names.empty() && std::find(names.begin(), names.end(), r.name) == names.end()) continue;
    ok = Record(r, argv[1]) && ok;
    ++recorded;
  }
  if (recorded < names.size()) {
    std::fprintf(stderr, "record_replays: a named replay is not in the set\n");
    return 2;
  }
  return ok ? 0 : 1;
}
