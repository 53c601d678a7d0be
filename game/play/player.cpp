// The player: movement, shots, bombs, the miss sequence with its deathbomb window,
// and the score rules.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "game/play/play_draw_table.h"
#include "game/play/play_internal.h"

int g_shotVolleys;
int g_shotHitSoundStep = -1;

namespace {

bool IsCharacterB() { return g_player.character == kCharacterB; }
int BombDuration() { return IsCharacterB() ? 150 : 120; }
bool Held(int bit) { return (g_inputBits & bit) != 0; }
bool FreshPress(int bit) { return (g_inputBits & bit) != 0 && (g_prevInputBits & bit) == 0; }

void Move() {
  int dx = (Held(kInputRight) ? 1 : 0) - (Held(kInputLeft) ? 1 : 0);
  int dy = (Held(kInputDown) ? 1 : 0) - (Held(kInputUp) ? 1 : 0);
  if (dx == 0 && dy == 0) return;
  double speed = Held(kInputSlow) ? 2.0 : (IsCharacterB() ? 5.0 : 4.5);
  if (IsCharacterB() && g_player.bombTimer > 0) speed /= 2.0;
  double scale = (dx != 0 && dy != 0) ? 0.7071067811865476 : 1.0;
  g_player.x = std::clamp(g_player.x + dx * speed * scale, 40.0, 409.0);
  g_player.y = std::clamp(g_player.y + dy * speed * scale, 32.0, 449.0);
}

bool TryBomb() {
  if (!FreshPress(kInputBomb) || g_player.bombs <= 0 || g_player.bombTimer > 0 ||
      g_talkActive != 0)
    return false;
  if (!(g_player.state == 0 || (g_player.state >= -6 && g_player.state <= -1))) return false;
  g_player.bombs -= 1;
  g_player.bombTimer = BombDuration();
  g_bombActive = 1;
  PlayEffect(kSeBomb);
  g_player.invulnerable = BombDuration() + 60;
  return true;
}

void RunMissSequence() {
  PlayerStatus& p = g_player;
  if (p.state >= -6 && p.state <= -1 && TryBomb()) {
    p.state = 0;  // the deathbomb
    return;
  }
  if (p.state == -119) {
    p.state = 0;
    p.invulnerable = 120;
    return;
  }
  p.state -= 1;
  if (p.state == -7) {
    if (p.lives == 0) {
      g_gameOverPending = 1;
      // A game over that ends the play leaves the figures the play had: no power is
      // lost and no bombs are given for a next life that never comes, so the results
      // show what the status showed. (A recording ends at a game over, and plays
      // back the same: a replay never continues.)
      if (!ContinueMayFollow()) return;
    } else {
      p.lives -= 1;
    }
    p.power = std::max(0, p.power - 16);
    for (int i = 0; i < 8; ++i) AddItem(0, p.x, p.y, i, 8, 0.0);
    p.bombs = std::max(p.bombs, 3);
  } else if (p.state == -60) {
    p.x = 224.0;
    p.y = 480.0;
  } else if (p.state <= -61) {
    p.y = 480.0 - (-60 - p.state) * 80.0 / 59.0;
  }
}

bool InBombArea(double x, double y, double elapsed) {
  if (IsCharacterB())
    return std::fabs(x - g_player.x) <= 40.0 && y >= kFieldTop && y <= g_player.y;
  double radius = 40.0 + 4.0 * elapsed;
  return HitCircle(x, y, g_player.x, g_player.y, radius);
}

void RunBomb() {
  PlayerStatus& p = g_player;
  if (p.bombTimer <= 0) return;
  double elapsed = BombDuration() - p.bombTimer;
  for (EnemyBullet& b : g_enemyBullets)
    if (b.state != 0 && !BulletIsHarmless(b) && InBombArea(b.x, b.y, elapsed))
      VanishBullet(b, true);
  int enemyDamage = IsCharacterB() ? 4 : 3, bossDamage = IsCharacterB() ? 2 : 1;
  for (Enemy& enemy : g_enemies)
    if (enemy.active && InBombArea(enemy.x, enemy.y, elapsed)) enemy.hp -= enemyDamage;
  for (Boss& boss : g_bosses)
    if (boss.state != 0 && InBombArea(boss.x, boss.y, elapsed)) DamageBoss(boss, bossDamage);
  p.bombTimer -= 1;
  if (p.bombTimer == 0) g_bombActive = 0;
}

void AddShot(int kind, int damage, double x, double y, double angle, double speed) {
  for (PlayerShot& shot : g_playerShots) {
    if (shot.state != 0) continue;
    shot = PlayerShot{1, kind, damage, 0, x, y, angle, speed};
    return;
  }
}

void FireVolley() {
  const PlayerStatus& p = g_player;
  int level = std::clamp(p.power / 32, 0, 4);
  bool focused = Held(kInputSlow);
  if (!IsCharacterB()) {
    AddShot(0, 2, p.x - 6, p.y - 10, 0.0, 16.0);
    AddShot(0, 2, p.x + 6, p.y - 10, 0.0, 16.0);
    for (int i = 1; i <= level; ++i) {
      double spread = (focused ? 3.0 : 8.0) * i;
      AddShot(1, 1, p.x, p.y - 8, spread, 14.0);
      AddShot(1, 1, p.x, p.y - 8, -spread, 14.0);
    }
  } else {
    AddShot(0, 2, p.x - 5, p.y - 12, 0.0, 18.0);
    AddShot(0, 2, p.x + 5, p.y - 12, 0.0, 18.0);
    for (int i = 0; i < level; ++i) {
      double sign = i % 2 == 0 ? 1.0 : -1.0;
      double offset = (16.0 + 10.0 * (i / 2)) * (focused ? 0.5 : 1.0);
      // Positive angles turn left; an outward shot on the right turns right.
      AddShot(1, 1, p.x + sign * offset, p.y - 4, focused ? 0.0 : -sign * 2.0, 16.0);
    }
  }
  g_shotVolleys += 1;
  if (g_shotVolleys % 2 == 1) PlayEffect(kSePlayerShot);
}

void MoveShots() {
  for (PlayerShot& shot : g_playerShots) {
    if (shot.state == 0) continue;
    shot.age += 1;
    if (shot.state == 2) {
      if (shot.age >= 4) shot.state = 0;
      continue;
    }
    shot.x -= shot.speed * SinDeg(shot.angle);
    shot.y -= shot.speed * CosDeg(shot.angle);
    if (!InsideField(shot.x, shot.y, 16.0)) shot.state = 0;
  }
}

void Spark(PlayerShot& shot) {
  shot.state = 2;
  shot.age = 0;
}

void HitWithShots() {
  for (PlayerShot& shot : g_playerShots) {
    if (shot.state != 1) continue;
    bool used = false;
    for (Enemy& enemy : g_enemies) {
      if (!enemy.active || enemy.age < 0) continue;
      if (!HitCircle(shot.x, shot.y, enemy.x, enemy.y, 6.0 + EnemyHitRadius(enemy))) continue;
      enemy.hp -= shot.damage;
      AddScore(10);
      if (g_shotHitSoundStep != static_cast<int>(g_stepSerial)) {
        g_shotHitSoundStep = static_cast<int>(g_stepSerial);
        PlayEffect(kSeShotHit);
      }
      used = true;
      break;
    }
    if (!used) {
      for (Boss& boss : g_bosses) {
        if (boss.state != 1 && boss.state != 2) continue;
        if (!HitCircle(shot.x, shot.y, boss.x, boss.y, 30.0)) continue;
        if (BossTakesDamage(boss)) {
          DamageBoss(boss, shot.damage);
          AddScore(10);
        }
        used = true;
        break;
      }
    }
    if (used) Spark(shot);
  }
}

}  // namespace

double PlayerHitRadius() { return IsCharacterB() ? 2.0 : 2.5; }
double PlayerGrazeRadius() { return IsCharacterB() ? 20.0 : 24.0; }
bool PlayerCanBeHit() { return g_player.state == 0 && g_player.invulnerable == 0; }

void StartMiss() {
  g_player.state = -1;
  g_spellCapture = 0;
  PlayEffect(kSePlayerHit);
}

void AddScore(int points) {
  int64_t score = static_cast<int64_t>(g_player.score) + points;
  g_player.score = static_cast<int>(std::clamp<int64_t>(score, INT_MIN / 2, INT_MAX / 2));
}

void ApplyScoreRules() {
  PlayerStatus& p = g_player;
  if (p.score > 999999999) p.score = 999999990 + p.score % 10;
  static const int kExtends[4] = {10000000, 25000000, 50000000, 80000000};
  while (g_extendIndex < 4 && p.score >= kExtends[g_extendIndex]) {
    g_extendIndex += 1;
    p.lives = std::min(p.lives + 1, 8);
    PlayEffect(kSeExtend);
  }
}

void UpdatePlayer() {
  PlayerStatus& p = g_player;
  if (p.state == 0) {
    Move();
    if (p.invulnerable > 0) p.invulnerable -= 1;
    TryBomb();
  } else if (p.state < 0) {
    RunMissSequence();
  }
  RunBomb();
  MoveShots();
  if (Held(kInputShot) && p.state == 0 && g_talkActive == 0) {
    if (p.shotTimer <= 0) {
      FireVolley();
      p.shotTimer = IsCharacterB() ? 3 : 4;
    }
    p.shotTimer -= 1;
  } else {
    p.shotTimer = 0;
  }
  HitWithShots();
  PLAY_DRAW(player);
}
