// Items: drops with their fixed scatter, falling, attraction, collection.
#include <algorithm>
#include <cmath>

#include "game/play/play_draw_table.h"
#include "game/play/play_effects.h"
#include "game/play/play_internal.h"

void AddItem(int kind, double x, double y, int index, int count, double attraction) {
  for (Item& item : g_items) {
    if (item.active) continue;
    item = Item{};
    item.x = x;
    item.y = y;
    item.vx = count == 1 ? 0.0 : ((5 * index) % 9 - 4) * 0.4;
    item.vy = -3.0 - (index % 4) * 0.25;
    item.attraction = attraction;
    item.active = 1;
    item.kind = kind;
    return;
  }
}

void SpawnItems(int mode, int slot) {
  int power, point, special;
  double x, y;
  if (mode == 1 && slot >= 0 && slot < kEnemySlots) {
    const Enemy& enemy = g_enemies[slot];
    power = enemy.dropPower, point = enemy.dropPoint, special = enemy.dropSpecial;
    x = enemy.x, y = enemy.y;
  } else if (mode == 2 && slot >= 0 && slot < kBossSlots) {
    const Boss& boss = g_bosses[slot];
    power = boss.dropPower, point = boss.dropPoint, special = boss.dropSpecial;
    x = boss.x, y = boss.y;
  } else {
    return;
  }
  power = std::max(power, 0), point = std::max(point, 0), special = std::max(special, 0);
  if (g_player.power >= 128 && power >= 8) {
    point += power / 2;
    power = 0;
  }
  int count = power / 8 + power % 8 + point + special;
  int index = 0;
  for (int k = 0; k < power / 8; ++k) AddItem(1, x, y, index++, count, 0.0);
  for (int k = 0; k < power % 8; ++k) AddItem(0, x, y, index++, count, 0.0);
  for (int k = 0; k < point; ++k) AddItem(2, x, y, index++, count, 0.0);
  for (int k = 0; k < special; ++k) AddItem(3, x, y, index++, count, 0.0);
}

namespace {

void GainPower(int amount) {
  int before = g_player.power;
  g_player.power = std::min(128, before + amount);
  if (g_player.power / 32 != before / 32) PlayEffect(kSePowerUp);
}

void Collect(Item& item) {
  switch (item.kind) {
    case 0:
      if (g_player.power >= 128) AddScore(100);
      else GainPower(1);
      break;
    case 1:
      if (g_player.power >= 128) AddScore(1000);
      else GainPower(8);
      break;
    case 2: {
      double f = (item.attraction > 0.0 || item.y < 150.0) ? 1.0 : 1.0 - (item.y - 150.0) / 630.0;
      int value = 10 * ClampToInt(1000.0 * g_player.pointRate * f, -10000000, 10000000);
      AddScore(value);
      AddScorePopup(item.x, item.y, value);
      break;
    }
    case 3:
      g_player.pointRate = std::min(5.0, g_player.pointRate + 0.005);
      AddScore(100);
      break;
    default:
      AddScore(100);
      break;
  }
  PlayEffect(kSeItem);
  item.active = 0;
}

}  // namespace

void UpdateItems() {
  bool playerAlive = g_player.state == 0;
  for (Item& item : g_items) {
    if (!item.active) continue;
    item.age += 1;
    if (playerAlive && HitCircle(item.x, item.y, g_player.x, g_player.y, 20.0)) {
      Collect(item);
      continue;
    }
    double dx = g_player.x - item.x, dy = g_player.y - item.y;
    double distance = std::sqrt(dx * dx + dy * dy);
    if (playerAlive && (g_player.y < 150.0 || distance < 48.0))
      item.attraction = std::max(item.attraction, 1.0);
    if (playerAlive && item.attraction > 0.0) {
      double step = 4.0 + 2.0 * item.attraction;
      if (distance <= step) {
        item.x = g_player.x, item.y = g_player.y;
      } else {
        item.x += dx / distance * step;
        item.y += dy / distance * step;
      }
    } else {
      item.vy = std::min(item.vy + 0.1, 2.5);
      item.vx = 0.95 * item.vx;
      item.x += item.vx;
      item.y += item.vy;
      if (item.y > 497.0) {
        item.active = 0;
        continue;
      }
    }
  }
  PLAY_DRAW(items);
}
