// The play state's storage, its resets, the play generator and the geometry helpers.
#include "game/play/play_state.h"

#include <cmath>
#include <cstring>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"
#include "game/play/play_sound.h"
#include "game/play/stage_entry.h"

int g_scene, g_stageFrame, g_talkActive, g_bossPhase, g_spellBackground, g_stageOver, g_spellBonus,
    g_spellCapture, g_spellCardActive, g_bombActive, g_difficulty, g_gameSpeed = kNormalGameSpeed, g_inputBits;
int g_shakeTotal, g_shakeLeft;

int g_prevInputBits;
uint32_t g_randomCounter;
uint32_t g_stepSerial;
uint32_t g_bulletSerial;
int g_emitterBlock;
int g_playKind;
int g_replayPlaying, g_recordOk, g_continuesUsed, g_extendIndex, g_gameOverPending, g_overlayKind,
    g_returnScene;

CheckedPool<Boss, kBossSlots> g_bosses;
CheckedPool<Enemy, kEnemySlots> g_enemies;
CheckedPool<EnemyBullet, kBulletSlots> g_enemyBullets;
CheckedPool<Laser, kLaserSlots> g_lasers;
CheckedPool<Item, kItemSlots> g_items;
CheckedPool<PlayerShot, kPlayerShotSlots> g_playerShots;
PlayerStatus g_player;

CheckedTable2<int, 2, 5> StageProgress;
CheckedTable2<SpellCardRecord, 2, kSpellCardCount> SpellCardHistory;
CheckedTable2<int, 2, kSpellCardCount> CardSeenFlags;

CheckedHandles<kSoundEffectCount> SoundEffectTable;
SpriteSheetSet SpriteSheetHandles;

const PlayDrawTable* g_playDraw = nullptr;
const PlaySoundTable* g_playSound = nullptr;

namespace {
// Placeholder titles of the 18 tracks (index = the scripts' track number).
const char* const kMusicTitles[kMusicTitleCount] = {
    "Lanterns Over the Canal",      // 0 stage 4 theme
    "Last Light of the Pagoda",     // 1 stage 6 theme
    "Heavenly Gate Unbarred",       // 2 stage 6 boss
    "Paper Cranes in a Storm",      // 3 stage 5 theme
    "Moth and the Lamplighter",     // 4 stage 3 boss
    "Three Moons Fall Together",    // 5 last fight
    "A Mirror Full of Stars",       // 6 stage 5 boss, spell practice
    "Halvo Sky Festival",           // 7 title and menus
    "Beyond the Painted Border",    // 8 Extra stage theme
    "Bamboo Wind at Dusk",          // 9 stage 3 theme
    "River of Glass Beads",         // 10 stage 2 theme
    "Clockwork Shrine Maiden",      // 11 stage 4 boss
    "First Snow on the Roof",       // 12 stage 1 theme
    "The Little Frost Spirit",      // 13 stage 1 boss
    "Phantom of the Outer Garden",  // 14 Extra boss
    "Home Before the Lamps Go Out", // 15 ending
    "Ferrywoman's Lullaby",         // 16 stage 2 boss
    "Thank You for Playing",        // 17 staff roll
};

void ClearBoss(Boss& boss) {
  boss = Boss{};
  boss.hp = boss.maxHp = 100;
  boss.spellTimer = -1;
}
}  // namespace

const MusicTitles MusicTitleTable;

const char* MusicTitles::operator[](int index) const {
  if (static_cast<unsigned>(index) < static_cast<unsigned>(kMusicTitleCount))
    return kMusicTitles[index];
  return "";
}

void PlayEffect(int slot) {
  int handle = SoundEffectTable[slot];
  if (handle != -1) PLAY_SOUND(playSoundHandle, handle, kPlayBack, 1);
}


void StopPlayMusic() {
  g_currentMusic = -1;
  PLAY_SOUND(stopMusic);
}

void ResetPlayState() {
  for (Boss& boss : g_bosses) ClearBoss(boss);
  g_enemies.Clear();
  g_enemyBullets.Clear();
  g_lasers.Clear();
  g_items.Clear();
  g_playerShots.Clear();
  ResetEffects();
  std::memset(g_notices, 0, sizeof g_notices);

  g_stageFrame = g_talkActive = g_bossPhase = g_spellBackground = g_stageOver = 0;
  g_spellBonus = g_spellCapture = g_spellCardActive = g_bombActive = 0;
  g_gameSpeed = kNormalGameSpeed;
  g_inputBits = 0;
  g_shakeTotal = g_shakeLeft = 0;
  g_prevInputBits = 0;
  g_stepSerial = g_bulletSerial = 0;
  g_emitterBlock = 0;
  g_gameOverPending = 0;
  g_extendIndex = 0;
  g_laserSoundStep = 0xFFFFFFFFu;
  g_shotVolleys = 0;
  g_shotHitSoundStep = -1;

  g_player = PlayerStatus{};
  g_player.x = 224.0;
  g_player.y = 400.0;
  g_player.pointRate = 1.0;

  ResetScriptState();
}

void ResetStageStart() {
  for (Boss& boss : g_bosses) ClearBoss(boss);
  for (BossEffect& effect : BossEffects) effect = BossEffect{};
  g_bossBlast = BossBlast{};
  g_enemies.Clear();
  g_enemyBullets.Clear();
  g_lasers.Clear();
  g_playerShots.Clear();
  g_spellBackground = 0;
  g_spellCardActive = 0;
  ResetScriptState();
}

uint64_t g_nextRandomCalls;

int NextRandom() {
  ++g_nextRandomCalls;
  g_randomCounter += 0x9E3779B9u;
  uint32_t z = g_randomCounter;
  z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
  z = (z ^ (z >> 13)) * 0xC2B2AE35u;
  z ^= z >> 16;
  return static_cast<int>(z >> 1);
}

double AngleToPlayer(double x, double y) {
  return std::atan2(y - g_player.y, g_player.x - x) * 180.0 / kPi;
}

bool HitCircle(double x1, double y1, double x2, double y2, double r) {
  double dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy < r * r;
}

bool HitSegment(double px, double py, double x1, double y1, double x2, double y2, double r) {
  double ex = x2 - x1, ey = y2 - y1;
  double lengthSq = ex * ex + ey * ey;
  if (!(lengthSq > 0.0)) return false;  // a point has no inside of its projection
  double t = ((px - x1) * ex + (py - y1) * ey) / lengthSq;
  if (!(t > 0.0 && t < 1.0)) return false;
  double dx = x1 + t * ex - px, dy = y1 + t * ey - py;
  return dx * dx + dy * dy < r * r;
}
