#pragma once
// The play state that the game core and the stage and boss scripts share: the
// globals, the object records, the checked pools and every operation the scripts
// call. Everything here is logic; drawing goes through the table of
// game/play/play_draw_table.h and is switched off in headless runs.
#include <cstdint>

#include "game/play/play_codes.h"

// ---------------------------------------------------------------------------
// Checked tables: an index outside the table reaches a dummy record that is zeroed
// on every such access, so it reads as free and swallows writes. Scripts keep
// slot 800 (pool full), computed slots and card ids of -2 to 400.

// Each pool also keeps its live end: no slot at or past it is in use. Every writable
// access raises it (a whole-pool walk to the pool's end) and TrimLiveEnd lowers it past
// trailing free slots, so walks over Live() skip the free tail of a large pool cheaply.
template <class T, int N>
class CheckedPool {
 public:
  static constexpr int kSize = N;
  T& operator[](int index) {
    if (static_cast<unsigned>(index) < static_cast<unsigned>(N)) {
      if (index >= liveEnd_) liveEnd_ = index + 1;
      return slots_[index];
    }
    dummy_ = T{};
    return dummy_;
  }
  const T& operator[](int index) const {
    if (static_cast<unsigned>(index) < static_cast<unsigned>(N)) return slots_[index];
    dummy_ = T{};
    return dummy_;
  }
  static constexpr int size() { return N; }
  T* begin() {
    liveEnd_ = N;
    return slots_;
  }
  T* end() { return slots_ + N; }
  const T* begin() const { return slots_; }
  const T* end() const { return slots_ + N; }
  // The slots before the live end, without raising it.
  int liveEnd() const { return liveEnd_; }
  T* liveSlots() { return slots_; }
  const T* liveSlots() const { return slots_; }
  template <class IsFree>
  void TrimLiveEnd(IsFree isFree) {
    while (liveEnd_ > 0 && isFree(slots_[liveEnd_ - 1])) --liveEnd_;
  }
  void Clear() {
    for (T& slot : slots_) slot = T{};
    dummy_ = T{};
    liveEnd_ = 0;
  }
  // The dummy as it stands now (tests check that nothing outside ever leaks in).
  const T& dummy() const { return dummy_; }

 private:
  T slots_[N]{};
  mutable T dummy_{};
  int liveEnd_ = 0;
};

// A two-level table such as `SpellCardHistory`[row][id]; either level out of range
// reaches the zeroed dummy. Also reachable as at(row, col).
template <class T, int R, int C>
class CheckedTable2 {
 public:
  class Row {
   public:
    Row(CheckedTable2* table, int row) : table_(table), row_(row) {}
    T& operator[](int col) const { return table_->at(row_, col); }

   private:
    CheckedTable2* table_;
    int row_;
  };
  Row operator[](int row) { return Row(this, row); }
  T& at(int row, int col) {
    if (static_cast<unsigned>(row) < static_cast<unsigned>(R) &&
        static_cast<unsigned>(col) < static_cast<unsigned>(C))
      return cells_[row][col];
    dummy_ = T{};
    return dummy_;
  }
  static constexpr int rows() { return R; }
  static constexpr int cols() { return C; }
  void Clear() {
    for (auto& row : cells_)
      for (T& cell : row) cell = T{};
    dummy_ = T{};
  }
  T* data() { return &cells_[0][0]; }
  const T& dummy() const { return dummy_; }

 private:
  T cells_[R][C]{};
  T dummy_{};
};

// A table of library handles (sounds, images): an index outside it gives -1, which
// plays or draws nothing.
template <int N>
class CheckedHandles {
 public:
  CheckedHandles() {
    for (int& h : handles_) h = -1;
  }
  int& operator[](int index) {
    if (static_cast<unsigned>(index) < static_cast<unsigned>(N)) return handles_[index];
    dummy_ = -1;
    return dummy_;
  }
  static constexpr int size() { return N; }
  void Reset() {
    for (int& h : handles_) h = -1;
  }

 private:
  int handles_[N];
  int dummy_ = -1;
};

template <int R, int C>
class HandleGrid {
 public:
  CheckedHandles<C>& operator[](int row) {
    if (static_cast<unsigned>(row) < static_cast<unsigned>(R)) return rows_[row];
    dummy_.Reset();
    return dummy_;
  }
  void Reset() {
    for (auto& row : rows_) row.Reset();
  }

 private:
  CheckedHandles<C> rows_[R];
  CheckedHandles<C> dummy_;
};

// ---------------------------------------------------------------------------
// Records. The field order is fixed: scripts exchange whole records and the
// stage-6 bonus reads `graze` as the word after `score`.

struct Boss {  // plain data; scripts exchange whole records
  double x, y, targetX, targetY, moveFrames;
  int state, phaseTimer, hp, maxHp, remainingCards, kind, spellTimer, dropPower, dropPoint,
      dropSpecial, pose;  // pose: steps left of the casting pose
};

struct EnemySegment {
  double kind, age, speed, angle;  // age: segment 1's end t1, segment 2's start t2
};

struct Enemy {
  double x, y;
  EnemySegment seg1, seg2;
  int active, age, hp, turnFlag, sprite, dropPower, dropSpecial, dropPoint;
};

// The motion kinds of an enemy's segments (`EnemySegment::kind`; `SpawnEnemy`'s m1 and
// m2). v is the segment's eased speed, a its angle, n its age within the segment and
// sign 2 x turnFlag - 1.
enum EnemyMotion : int {
  kMotionNone = 0,                   // stands still
  kMotionStraight = 1,               // along a
  kMotionDrift = 2,                  // along a, drifting sideways by sign x min(0.02 x n, 4)
  kMotionQuarterTurn = 3,            // turns sign x 90 degrees over its first 90 steps
  kMotionHalfTurn = 4,               // turns sign x 180 degrees over its first 90 steps
  kMotionOrbitCounterClockwise = 5,  // round boss 0 at radius v, a += 1.5 a step
  kMotionOrbitClockwise = 6,         // round boss 0 at radius v, a -= 1.5 a step
  kMotionWeave = 7,                  // heading a + sign x 30 x sin(6 x n)
  kMotionWideWeave = 8,              // heading a + sign x 60 x sin(3 x n)
  kMotionHoming = 9,                 // a turns toward the player by at most 1 a step
  kMotionBounce = 10,                // straight, reflected off the field's edges
};

// The bullet behaviour numbers the scripts pass (`behaviour`, its parameter p
// in `behaviourParam`); a value, once given, is kept: the kept replays' state hashes hold it.
enum BulletBehaviour : int {
  kBehaviourNone = 0,             // flies as made
  kBehaviourAngleCode = 1,        // the angle decoded from the angle code p
  kBehaviourAimOffset = 2,        // aimed at the player, turned by p
  kBehaviourStopTurning = 3,
  kBehaviourEaseToLimit = 4,      // speed toward its limit over p steps (p <= 0: at once)
  kBehaviourEaseToLimitSlow = 5,  // the same over 10 x p steps
  kBehaviourHaltThenVanish = 6,   // stops at its trigger age, vanishes p steps later
  kBehaviourBackAway = 9,         // aimed, moving away at p / 2
  kBehaviourBounce = 10,          // off the field edges the digits of p enable
  kBehaviourWrap = 11,            // to the opposite edge, for the edges p enables
  kBehaviourSway = 16,            // its heading swings by p / 10 x cos(6 x age)
  kBehaviourCircleLinked = 17,    // around the bullet it is linked to, radius = speed
  kBehaviourCircleCentre = 18,    // around the field centre (p 0), enemy p, boss p - 100
                                  // or the player (p 9999); gone with its centre
  kBehaviourTurnGrowth = 21,      // its turn grows by p percent a step
  kBehaviourHomeUntil = 23,       // steers at the player until age p
  kBehaviourTrailLinked = 24,     // along the path of the bullet it is linked to
  kBehaviourHarmlessUntil = 25,   // harmless, vanishes at age p / 10
  kBehaviourRideBoss = 26,        // on boss 0 until age p
  kBehaviourAimAndSpeedUp = 28,   // aimed, speed toward its limit by 0.05 x p a step
  kBehaviourEdgeReaim = 31,       // at an edge it stays there and aims again
  kBehaviourBossEllipse = 32,     // around boss 0, the vertical squashed by sin p
  kBehaviourCircleBoss = 33,      // around boss 0, radius = speed
  kBehaviourBossPhased = 34,      // around boss 0, the vertical phase shifted by p
  kBehaviourCurl = 36,            // turns p / 100 a step, speed toward its limit
  kBehaviourJumpToLimit = 100,    // speed set to its limit, no acceleration
  kBehaviourJumpThenStraighten = 104,  // speed to its limit at the trigger, stops turning at age p
  kBehaviourTurnAndRestart = 105,  // turned by p, from speed 0 toward its limit
  kBehaviourEaseByRate = 107,     // speed toward its limit by p / 100 a step
  kBehaviourTurnWhileSlow = 109,  // turns only while the game speed's slow digit is set
  kBehaviourBounceOnce = 110,     // in state 2: off a side or the top once, then at p percent
  kBehaviourShedBehind = 111,     // sheds a bullet backward every other step, p / 100 times
  kBehaviourFireLasers = 112,     // fires a laser along its heading at ages 30 and 60
  kBehaviourSplit = 114,          // splits in two at trigger + p / 10
  kBehaviourTurnAndSpeedUp = 116,  // turned by p, speed toward its limit
  kBehaviourAimAtSpeed = 120,     // aimed, speed toward p / 2
  kBehaviourEdgeSlide = 121,      // at an edge it turns to run along it
  kBehaviourAimOnceAtAge = 122,   // at age p / 100: aimed, turned by p mod 100, no more turning
  kBehaviourBackAwayThenReturn = 123,  // moving away at p / 2, then speeding back up
  kBehaviourStraightenAndSpeedUp = 124,  // no more turning, speed toward 1.5 + p / 2
  kBehaviourVeer = 125,           // turned by p - 95, speed toward 2.5
  kBehaviourVanish = 666,         // freed at its trigger age
  kBehaviourReverse = 777,        // turns back every trigger age, p times
};

struct EnemyBullet {
  int state, age, sheet, colour, triggerAge, behaviour, behaviourParam;
  double x, y, speed, accel, speedLimit, turnRate, angle;
  uint32_t serial, bornStep;  // core only from here on
  int linkSlot;
  uint32_t linkSerial;
  int grazed;
  double px, py;  // position at the start of this step's bullet update
  // The move's cosine and sine, kept with the angle they were worked out for: most
  // bullets keep their angle for their whole flight.
  double moveAngle, moveCos, moveSin;
  bool moveKnown;
};

struct Laser {
  int state, fullLength, fullWidth, colour, age, triggerAge, lifetime;
  double x1, y1, x2, y2, growth;
  uint32_t bornStep;
};

struct Item {
  double x, y, vx, vy, spin, attraction;
  int active, kind, age;
};

struct PlayerShot {
  int state, kind, damage, age;
  double x, y, angle, speed;
};

struct PlayerStatus {
  double x, y, pointRate;
  int lives, bombs, state, character, power, score, graze;
  int invulnerable, bombTimer, shotTimer;  // core only
};

struct SpellCardRecord {
  int attempts, captures;
};

// ---------------------------------------------------------------------------
// Sizes and constants.

constexpr int kBossSlots = 3;
constexpr int kEnemySlots = 30;
// A benchmark build raises the bullet pool to measure how many bullets one frame
// carries; the game keeps 800.
#ifndef DANMAKU_BULLET_SLOTS
#define DANMAKU_BULLET_SLOTS 800
#endif
constexpr int kBulletSlots = DANMAKU_BULLET_SLOTS;
constexpr int kLaserSlots = 80;
constexpr int kItemSlots = 500;
constexpr int kPlayerShotSlots = 128;
constexpr int kNoticeSlots = 25;
constexpr int kSpellCardCount = 119;
constexpr int kSoundEffectCount = 20;
constexpr int kMusicTitleCount = 18;

// The one constant for every degree/radian conversion of logic, both ways.
constexpr double kPi = 3.141593;

// The play field F, in whole pixels for clipping and drawing, and as the logic's doubles.
constexpr int kFieldLeftPx = 32, kFieldTopPx = 16, kFieldRightPx = 417, kFieldBottomPx = 465;
constexpr double kFieldLeft = kFieldLeftPx, kFieldTop = kFieldTopPx, kFieldRight = kFieldRightPx,
                 kFieldBottom = kFieldBottomPx;

// Sound-effect slots of `SoundEffectTable`.
enum SoundEffectSlot {
  kSePlayerShot = 0,
  kSeShotHit = 1,
  kSeEnemyDies = 2,
  kSeItem = 3,
  kSeGraze = 4,
  kSePlayerHit = 5,
  kSeBomb = 6,
  kSeAttackBell = 7,
  kSeLaser = 8,
  kSeSpellStart = 9,
  kSeTimerTick = 10,
  kSeBossCharge = 11,
  kSeBossBlast = 12,
  kSeCardEnd = 13,
  kSeExtend = 14,
  kSePowerUp = 15,
  kSeMenuMove = 16,
  kSeMenuConfirm = 17,
  kSeMenuCancel = 18,
  kSePause = 19,
};


// ---------------------------------------------------------------------------
// Script-visible globals (32-bit signed ints).

extern int g_scene, g_stageFrame, g_talkActive, g_bossPhase, g_spellBackground, g_stageOver,
    g_spellBonus, g_spellCapture, g_spellCardActive, g_bombActive, g_difficulty, g_gameSpeed,
    g_inputBits;
extern int g_shakeTotal, g_shakeLeft;  // a script starts a shake by setting both to its length

// Core-only globals.
extern int g_prevInputBits;     // the previous step's input byte as the scripts left it
extern uint32_t g_randomCounter;  // the whole state of NextRandom
extern uint32_t g_stepSerial;     // +1 at the start of every step; stamps bornStep
extern uint32_t g_bulletSerial;   // +1 for every bullet made; stamps serial
extern int g_emitterBlock;        // 1 from an EraseAllBullets to the end of that step
extern int g_playKind;            // a PlayKind
extern int g_replayPlaying, g_recordOk, g_continuesUsed, g_extendIndex, g_gameOverPending,
    g_overlayKind, g_returnScene;

// A main game may be continued this many times.
constexpr int kMaxContinues = 3;
// Whether a game over of this play may be followed by a continue (a live main game
// with continues left); otherwise it ends the play.
inline bool ContinueMayFollow() { return g_playKind == kPlayMainGame && g_continuesUsed < kMaxContinues; }

// Input bits.
constexpr int kInputShot = 1, kInputBomb = 2, kInputSlow = 4, kInputSkip = 8, kInputUp = 16,
              kInputDown = 32, kInputLeft = 64, kInputRight = 128;

// Pools.
extern CheckedPool<Boss, kBossSlots> g_bosses;
extern CheckedPool<Enemy, kEnemySlots> g_enemies;
extern CheckedPool<EnemyBullet, kBulletSlots> g_enemyBullets;
extern CheckedPool<Laser, kLaserSlots> g_lasers;
extern CheckedPool<Item, kItemSlots> g_items;
extern CheckedPool<PlayerShot, kPlayerShotSlots> g_playerShots;
extern PlayerStatus g_player;

// The save-block tables that the scripts update; the row is `character` / 7.
extern CheckedTable2<int, 2, 5> StageProgress;
extern CheckedTable2<SpellCardRecord, 2, kSpellCardCount> SpellCardHistory;
extern CheckedTable2<int, 2, kSpellCardCount> CardSeenFlags;

// Content tables. An index outside a table gives handle -1 (or an empty title).
extern CheckedHandles<kSoundEffectCount> SoundEffectTable;

class MusicTitles {
 public:
  const char* operator[](int index) const;
  static constexpr int size() { return kMusicTitleCount; }
};
extern const MusicTitles MusicTitleTable;

// Image handles by role, filled by the loading screen; -1 until loaded.
struct SpriteSheetSet {
  CheckedHandles<7> stageTitle;   // cell k = stage k + 1, cell 6 Extra
  CheckedHandles<7> stageNumber;
  CheckedHandles<7> stagePlace;
  CheckedHandles<2> enemyMark;    // the two cells of "./image/enemymark.png"
  int itemLine = -1;
  int stageClear = -1;
  int capture = -1;
  int bonusFailed = -1;
  CheckedHandles<10> bigDigit;
  CheckedHandles<8> bossName;     // by boss kind
  HandleGrid<8, 8> portrait;   // [kind][pose]; kinds 0 and 7 are the player characters
  int spellNameBar = -1;       // the card banner's images
  int bonusLabel = -1;
  int failedLabel = -1;
  int historyLabel = -1;
  CheckedHandles<11> miniDigit;   // 0-9 and the separator (cell 10)
};
extern SpriteSheetSet SpriteSheetHandles;

// ---------------------------------------------------------------------------
// Resets and random numbers.

// Zeroes every pool, dummy and effect record, sets the globals' start values, puts
// the player at (224, 400), then calls the scripts' ResetScriptState().
void ResetPlayState();
// The stage-start reset, run at the start of a step whose g_stageFrame is 0.
void ResetStageStart();

int NextRandom();
// Calls of NextRandom since start-up, for tests that check the order of draws.
extern uint64_t g_nextRandomCalls;

// ---------------------------------------------------------------------------
// Angles and hits.

double AngleToPlayer(double x, double y);
bool HitCircle(double x1, double y1, double x2, double y2, double r);
bool HitSegment(double px, double py, double x1, double y1, double x2, double y2, double r);

// ---------------------------------------------------------------------------
// Numbers and score.

// A script-given double as an int: truncated toward zero, clamped to [lo, hi], NaN
// giving lo (a cast of an out-of-range double would be undefined).
inline int ClampToInt(double value, int lo, int hi) {
  if (!(value >= lo)) return lo;
  if (value > hi) return hi;
  return static_cast<int>(value);
}

// Adds to the player's score, held within half the int range either way so that no
// award can wrap it.
void AddScore(int points);

// ---------------------------------------------------------------------------
// Enemies, bosses and items.

// Makes enemy `slot` (0-29; any other does nothing): EnemyMotion m1 at speed s1 and angle a1
// until age t1, standing from t1 to t2, then m2 at s2 and a2; an angle above 0 is an angle code.
void SpawnEnemy(int slot, int hp, int turnFlag, int m1, int t1, int m2, int t2, int sprite,
                int powerDrop, int specialDrop, int pointDrop, double x, double y, double s1,
                double a1, double s2, double a2);
// Makes boss `slot` (0-2; any other does nothing) anew at (x, y): state 1, hp and maxHp 100.
void InitBoss(int slot, int remainingCards, int kind, double x, double y);
// Boss `slot` glides to (x, y), arriving in `steps` steps; 0 steps stops it where it is.
void SetBossMoveTarget(int slot, double x, double y, double steps);
// The warp of boss `slot`: mode 0 starts a 30-step warp to (x, y), kept within 43-404 and
// 40-446 (at phaseTimer 1 or below, or without hp outside a conversation, it only notes the
// point); mode 1 runs one step of it. `extra` is not read.
void MoveBoss(int slot, int mode, double x, double y, int extra);
// The casting pose of boss `slot`: mode 0 holds it for `steps` steps; mode 1 counts one off.
void SetBossAnimation(int slot, int mode, int steps);
// The charge flash: mode 0 starts it at boss `slot` with its sound and the casting pose (slot
// 10, or any outside 0-2: at (224, 150), no pose); mode 1 runs one frame of it (boss 0's call
// also the fixed one's).
void RunBossChargeEffect(int slot, int mode);
// The widening ring: mode 0 starts it at boss `slot` (a slot outside 0-2: at (224, 200));
// mode 1 runs one of its 60 frames (boss 0's call also the fixed one's).
void RunBossBreakRing(int mode, int slot);
// The defeat blast: mode 0 starts it at boss 0 (at (224, 200) when boss 0 is off the field)
// with its sound; mode 1 runs one of its 40 steps, the last freeing every boss in state 3.
void RunBossExplosion(int mode);
// Boss 0's name, life bar (its first barSplit percent apart), spell timer and card stars.
void DrawBossStatus(int barSplit, int spellBackground);
// The drop of enemy `slot` (mode 1) or boss `slot` (mode 2); at full power 8 or more power
// items come as half as many point items.
void SpawnItems(int mode, int slot);
// Every enemy bullet vanishes (leaving an item unless harmless), every laser is brought to
// its end, and no emitter fires for the rest of the step.
void EraseAllBullets();

// ---------------------------------------------------------------------------
// Pattern emitters: each bullet takes the first free of the 800 slots and is skipped
// when none is free; counts below 1 count as 1.

// What one Shoot* call fires, by name. Every Shoot* takes this one record and reads the
// fields its comment lists; the others are ignored. A field left out is 0.
struct Shot {
  // What each bullet is.
  int colour = 0;
  int sheet = 0;
  int spawnCode = 0;       // state + 10 x starting age
  int behaviour = 0;
  int behaviourParam = 0;  // for a chain, its head's
  int triggerAge = 0;
  int startAge = 0;        // the age each bullet of ShootRingWithAge starts at
  // The pattern's size.
  int n = 0;               // bullets (of a fan, a ring, a line, a polygon's edge; followers)
  int m = 0;               // fans of a ring of fans; corners of a polygon
  int spread = 0;          // degrees a fan covers
  int layers = 0;          // speeds of a layered fan
  int radius = 0;          // of a ring's circle, an ellipse, an orbit, a polygon's corners
  int length = 0;          // of a centred line
  // Where it is fired from: the point, or a line from (x, y) to (x2, y2).
  double x = 0.0;
  double y = 0.0;
  double x2 = 0.0;
  double y2 = 0.0;
  // How each bullet flies.
  double speed = 0.0;  // the start speed
  double accel = 0.0;
  double speedLimit = 0.0;
  double turnRate = 0.0;
  // Its directions and placing, in degrees.
  double centre = 0.0;     // the middle of a fan
  double base = 0.0;       // the first bullet of a ring
  double angle = 0.0;      // a chain's heading; a laser's direction
  double start = 0.0;      // the first bullet's place on an ellipse or a formation's circle
  double direction = 0.0;  // the heading of every bullet of a formation
  double tilt = 0.0;       // of an ellipse's axis, a centred line
  double flatness = 0.0;   // an ellipse's: 1 a circle
  double rotation = 0.0;   // of a polygon
  double offset = 0.0;     // added to each bullet's heading
  double layerDelay = 0.0;
  // The ring of ShootOrbitRing.
  int ringColour = 0;
  int ringSheet = 0;
  int ringSpeedLimit = 0;
  double ringAccel = 0.0;
  double ringTurnRate = 0.0;
  // The laser of ShootLaserAtAngle.
  int lifetime = 0;
  int fullLength = 0;
  int fullWidth = 0;
  double growth = 0.0;
  double startLength = 0.0;  // from (x, y) along angle when it is made
};

// n bullets over spread centred on centre. Reads colour, sheet, spawnCode, behaviour,
// behaviourParam, triggerAge, n, spread, x, y, the four motion values and centre.
void ShootFan(const Shot& shot);
// As a fan, but n bullets evenly round from base.
void ShootRing(const Shot& shot);
// m fans of n over spread, their centres evenly round from base.
void ShootRingOfFans(const Shot& shot);
// A ring whose bullets start on the circle of radius about (x, y), each heading the angle
// of its place + offset.
void ShootRingOnCircle(const Shot& shot);
// A ring placed on an ellipse (radius, flatness, tilt) from start, heading along it +
// offset. Its spawnCode is always 1.
void ShootEllipseRing(const Shot& shot);
// n bullets on the circle of radius from start, all heading direction. Its spawnCode is
// always 1 and its triggerAge 0.
void ShootCircleFormation(const Shot& shot);
// n bullets (at least 2) along a line of length centred on (x, y) at tilt, heading
// tilt + offset.
void ShootCentredLine(const Shot& shot);
// n bullets (at least 2) from (x, y) to (x2, y2), heading along the line + offset. Its
// spawnCode is always 1.
void ShootLine(const Shot& shot);
// A fan with `layers` bullets in each direction, from speed toward speedLimit, the layers
// spaced by layerDelay.
void ShootLayeredFan(const Shot& shot);
// n bullets along each edge of a polygon of m corners at radius, turned by rotation, all
// flying at speed, heading along the edge + offset. Reads only colour, sheet, n, m,
// radius, x, y, speed, rotation and offset.
void ShootPolygon(const Shot& shot);
// A centre bullet (sheet, colour, triggerAge, behaviour, behaviourParam and the motion, at
// base) and a ring of n about it (radius, ringSpeedLimit, ringSheet, ringColour, ringAccel,
// ringTurnRate) linked to it. The spawnCode of both is always 3.
void ShootOrbitRing(const Shot& shot);
// A head and n followers at angle. Reads only n, colour, behaviourParam (the head's), x, y,
// the motion and angle.
void ShootBulletChain(const Shot& shot);
// A ring on sheet 16 (triggerAge 0) whose bullets start at startAge.
void ShootRingWithAge(const Shot& shot);
// The bullet's slot, or 800 when all 800 are taken.
int SpawnBulletIndexed(int colour, int triggerAge, int behaviour, int behaviourParam, double x,
                       double y, double speed, double accel, double speedLimit, double turnRate,
                       double angle);
// Both laser spawns give the laser's slot, or 80 when all 80 are taken.
// A laser from (x, y) of startLength along angle. Reads only colour, lifetime, triggerAge,
// spawnCode, fullLength, fullWidth, x, y, growth, angle and startLength.
int ShootLaserAtAngle(const Shot& shot);
int SpawnLaser(int spawnCode, double x1, double y1, double x2, double y2, double growth,
               int fullLength, int fullWidth, int triggerAge, int lifetime, int colour);

// ---------------------------------------------------------------------------
// Conversation, notices, music and effects. Each runs its logic, then draws through
// the draw interface (nothing in headless runs).

// One step of the conversation box: side 0 the left speaks, 1 the right, 3 both portraits
// leave; character 100 is no portrait. With g_talkActive 0 it only resets the box.
void ShowDialogue(int side, int leftCharacter, int leftPose, int rightCharacter, int rightPose,
                  const char* line1, const char* line2);
// A notice of `image` centred on (x, y) for `frames` frames after `delay`: mode 0 runs and
// draws them all (at stage frame 0 it first clears them); a mode above 0 adds one, which
// enters by 2 popping, 3 dropping, 4 sliding or 5 fading in (any other: no entry).
void ShowNotice(int frames, int mode, int x, int y, int delay, int image);
// Starts the title's track looping and returns 1; 0, and nothing plays, for any other title.
int PlayMusicByTitle(const char* title);
// The music title line: mode 0 shows `title` for 300 frames; mode 1 runs one frame of it.
void ShowMusicTitle(const char* title, int mode);
// The field's shake: mode 0 starts one of `length` steps (as setting g_shakeTotal and
// g_shakeLeft does); mode 1 runs one step of it.
void ShakePlayfield(int mode, int length);
// The aura round the player, fading in while slow is held and out otherwise.
void DrawFocusAura();
