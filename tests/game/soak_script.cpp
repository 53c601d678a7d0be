#include "tests/game/soak_script.h"

namespace {

const int kBehaviours[] = {0,   1,   2,   3,   4,   5,   6,   9,   10,  11,  16,  17,  18,  21,
                           23,  24,  25,  26,  28,  31,  32,  33,  34,  36,  100, 104, 105, 107,
                           109, 110, 111, 112, 114, 116, 120, 121, 122, 123, 124, 125, 666, 777};
constexpr int kBehaviourCount = sizeof kBehaviours / sizeof kBehaviours[0];

int Pick(int n) {
  int value = NextRandom();
  return value % n;
}

int RandomBehaviour() { return kBehaviours[Pick(kBehaviourCount)]; }

int RandomParam(int behaviour) {
  switch (behaviour) {
    case 10: case 11: case 31: case 121: {
      int digits = Pick(16);
      return (digits & 1) + 10 * ((digits >> 1) & 1) + 100 * ((digits >> 2) & 1) +
             1000 * ((digits >> 3) & 1) + (Pick(4) == 0 ? 90000 : 0);
    }
    case 18: {
      const int centres[] = {0, 3, 17, 100, 101, 9999, 50};
      return centres[Pick(7)];
    }
    case 1: return Pick(3) == 0 ? 720 + Pick(60) : 360 + Pick(90);
    case 111: return 100 * Pick(8) + Pick(60);
    case 122: return 100 * (1 + Pick(60)) + Pick(90);
    default: return Pick(200) - 20;
  }
}

void FireSomething(double x, double y) {
  int behaviour = RandomBehaviour();
  int p = RandomParam(behaviour);
  int colour = Pick(7) - 1;
  int sheet = Pick(19) - 1;
  int trigger = Pick(40);
  double speed = Pick(40) / 10.0, accel = (Pick(21) - 10) / 100.0, limit = Pick(50) / 10.0;
  double turn = (Pick(9) - 4) / 2.0, angle = Pick(360);
  switch (Pick(16)) {
    case 0: ShootFan({.colour = colour, .sheet = sheet, .spawnCode = 1 + Pick(30),
                      .behaviour = behaviour, .behaviourParam = p, .triggerAge = trigger,
                      .n = Pick(12), .spread = Pick(360), .x = x, .y = y, .speed = speed,
                      .accel = accel, .speedLimit = limit, .turnRate = turn,
                      .centre = angle}); break;
    case 1: ShootRing({.colour = colour, .sheet = sheet, .spawnCode = 1, .behaviour = behaviour,
                       .behaviourParam = p, .triggerAge = trigger, .n = Pick(40), .x = x, .y = y,
                       .speed = speed, .accel = accel, .speedLimit = limit, .turnRate = turn,
                       .base = angle}); break;
    case 2: ShootRingOfFans({.colour = colour, .sheet = sheet, .spawnCode = 1,
                             .behaviour = behaviour, .behaviourParam = p, .triggerAge = trigger,
                             .n = Pick(5), .m = Pick(6), .spread = Pick(60), .x = x, .y = y,
                             .speed = speed, .accel = accel, .speedLimit = limit, .turnRate = turn,
                             .base = angle}); break;
    case 3: ShootRingOnCircle({.colour = colour, .sheet = sheet, .spawnCode = 2,
                               .behaviour = behaviour, .behaviourParam = p, .triggerAge = trigger,
                               .n = Pick(20), .radius = Pick(100), .x = x, .y = y, .speed = speed,
                               .accel = accel, .speedLimit = limit, .turnRate = turn, .base = angle,
                               .offset = static_cast<double>(Pick(90))}); break;
    case 4: ShootEllipseRing({.colour = colour, .sheet = sheet, .behaviour = behaviour,
                              .behaviourParam = p, .triggerAge = trigger, .n = Pick(20),
                              .radius = Pick(100), .x = x, .y = y, .speed = speed, .accel = accel,
                              .speedLimit = limit, .turnRate = turn, .start = angle,
                              .tilt = static_cast<double>(Pick(90)),
                              .flatness = Pick(20) / 10.0}); break;
    case 5: ShootCircleFormation({.colour = colour, .sheet = sheet, .behaviour = behaviour,
                                  .behaviourParam = p, .n = Pick(16), .radius = Pick(80), .x = x,
                                  .y = y, .speed = speed, .accel = accel, .speedLimit = limit,
                                  .turnRate = turn, .start = angle,
                                  .direction = static_cast<double>(Pick(360))}); break;
    case 6: ShootCentredLine({.colour = colour, .sheet = sheet, .spawnCode = 1,
                              .behaviour = behaviour, .behaviourParam = p, .triggerAge = trigger,
                              .n = Pick(10), .length = Pick(200), .x = x, .y = y, .speed = speed,
                              .accel = accel, .speedLimit = limit, .turnRate = turn, .tilt = angle,
                              .offset = 90}); break;
    case 7: ShootLine({.colour = colour, .sheet = sheet, .behaviour = behaviour,
                       .behaviourParam = p, .triggerAge = trigger, .n = Pick(10), .x = x - 50,
                       .y = y, .x2 = x + 50, .y2 = y + Pick(40), .speed = speed, .accel = accel,
                       .speedLimit = limit, .turnRate = turn, .offset = 270}); break;
    case 8: ShootLayeredFan({.colour = colour, .sheet = sheet, .spawnCode = 1,
                             .behaviour = behaviour, .behaviourParam = p, .triggerAge = trigger,
                             .n = Pick(8), .spread = Pick(120), .layers = Pick(5), .x = x, .y = y,
                             .speed = speed, .accel = accel, .speedLimit = limit, .turnRate = turn,
                             .centre = angle, .layerDelay = static_cast<double>(Pick(20))}); break;
    case 9: ShootPolygon({.colour = colour, .sheet = sheet, .n = Pick(8), .m = Pick(7),
                          .radius = Pick(80), .x = x, .y = y, .speed = speed, .rotation = angle,
                          .offset = static_cast<double>(Pick(90))}); break;
    case 10: ShootOrbitRing({.colour = colour, .sheet = sheet, .behaviour = behaviour,
                             .behaviourParam = p, .triggerAge = trigger, .n = Pick(12),
                             .radius = Pick(60), .x = x, .y = y, .speed = speed, .accel = accel,
                             .speedLimit = limit, .turnRate = turn, .base = angle,
                             .ringColour = colour, .ringSheet = Pick(17),
                             .ringSpeedLimit = Pick(60), .ringAccel = accel,
                             .ringTurnRate = turn}); break;
    case 11: ShootBulletChain({.colour = colour, .behaviourParam = Pick(120), .n = Pick(12), .x = x,
                               .y = y, .speed = 1 + speed, .speedLimit = 1 + speed, .turnRate = 2,
                               .angle = angle}); break;
    case 12: ShootRingWithAge({.colour = colour, .spawnCode = 1, .behaviour = behaviour,
                               .behaviourParam = p, .startAge = Pick(30), .n = Pick(24), .x = x,
                               .y = y, .speed = speed, .accel = accel, .speedLimit = limit,
                               .turnRate = turn, .base = angle}); break;
    case 13: SpawnBulletIndexed(colour, trigger, Pick(2) ? 18 : 32 + Pick(3), p, x, y, speed * 10, accel, limit * 10, turn, angle); break;
    case 14: ShootLaserAtAngle({.colour = Pick(12) - 1, .spawnCode = 1 + Pick(3) + 10 * Pick(3),
                                .triggerAge = Pick(60), .x = x, .y = y, .angle = angle,
                                .lifetime = 30 + Pick(300), .fullLength = 50 + Pick(300),
                                .fullWidth = Pick(8), .growth = static_cast<double>(Pick(8)),
                                .startLength = static_cast<double>(Pick(50))}); break;
    default: SpawnLaser(1 + Pick(3), x, y, x + Pick(100) - 50, y + Pick(100), Pick(6), Pick(300), Pick(8), Pick(40), 20 + Pick(400), Pick(10)); break;
  }
}

}  // namespace

int SoakInput(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  int bits = static_cast<int>(*state >> 24);
  // Bombs and skips now and then, movement and shots often.
  if ((*state >> 8) % 8 != 0) bits &= ~(kInputBomb | kInputSkip);
  return bits;
}

void SoakScript() {
  DrawFocusAura();
  ShakePlayfield(1, 0);
  int frame = g_stageFrame;
  for (int slot = 0; slot < kEnemySlots; ++slot) {
    if (g_enemies[slot].active) continue;
    SpawnEnemy(slot, 5 + Pick(60), Pick(2), Pick(11), Pick(120), Pick(11), 120 + Pick(60),
               Pick(8), Pick(12), Pick(2), Pick(4), Pick(449), Pick(300), Pick(30) / 10.0,
               Pick(3) ? 720 + Pick(40) : 1080 + Pick(60), Pick(30) / 10.0, 360 + Pick(30));
  }
  for (int slot = 0; slot < kEnemySlots; ++slot)
    if (g_enemies[slot].active && g_enemies[slot].age % 7 == 0)
      FireSomething(g_enemies[slot].x, g_enemies[slot].y);
  for (int k = 0; k < 8; ++k) FireSomething(32 + Pick(385), 16 + Pick(300));
  if (frame % 90 == 1) {
    for (int slot = 0; slot < kBossSlots; ++slot) {
      InitBoss(slot, Pick(4), 1 + Pick(6), 100 + Pick(250), 60 + Pick(100));
      g_bosses[slot].maxHp = 300;
      g_bosses[slot].hp = 300;
      g_bosses[slot].spellTimer = Pick(900);
      g_bosses[slot].dropPower = Pick(20);
      g_bosses[slot].dropPoint = Pick(10);
      g_bosses[slot].dropSpecial = Pick(3);
    }
    RunBossChargeEffect(Pick(2) ? 0 : 10, 0);
  }
  if (frame % 23 == 5) SetBossMoveTarget(Pick(3), 60 + Pick(300), 40 + Pick(200), Pick(40));
  if (frame % 37 == 11) MoveBoss(Pick(4), 0, Pick(500), Pick(500), 0);
  if (frame % 90 == 80) {
    for (int slot = 0; slot < kBossSlots; ++slot) SpawnItems(2, slot);
    g_bosses[0].state = 3;
    g_bosses[Pick(3)].state = 3;
    RunBossExplosion(0);
  }
  if (frame % 211 == 0) EraseAllBullets();
  if (frame % 300 == 150) {
    g_talkActive = 1;
    PlayMusicByTitle(MusicTitleTable[Pick(20)]);
    ShowMusicTitle(MusicTitleTable[3], 0);
    ShakePlayfield(0, 30);
  }
  if (g_talkActive > 0) {
    ShowDialogue(Pick(4) == 0 ? 3 : Pick(2), Pick(2) ? 0 : 100, 0, 3, 0, "a", "b");
    if (g_talkActive > 4) g_talkActive = 0;
  }
  if (frame % 13 == 0) ShowNotice(30 + Pick(100), 1 + Pick(10), Pick(400), Pick(400), Pick(10), 3);
  for (int slot = 0; slot < kBossSlots; ++slot) {
    RunBossChargeEffect(slot, 1);
    RunBossBreakRing(1, slot);
    SetBossAnimation(slot, 1, 0);
  }
  RunBossExplosion(1);
  ShowNotice(0, 0, 0, 0, 0, 0);
  ShowMusicTitle("", 1);
  DrawBossStatus(Pick(100), g_spellBackground);
  if (frame % 500 == 499) g_stageFrame = -1;  // next step sees frame 0: a stage start
  if (frame % 1000 == 250) g_gameSpeed = 11;
  if (frame % 1000 == 450) g_gameSpeed = 10;
  // Items: sweep every live one to the player now and then, as the scripts do.
  if (frame % 150 == 149)
    for (Item& item : g_items) item.attraction = 2.0;
}
