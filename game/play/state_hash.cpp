// The 64-bit hash of the play state that replays must reproduce (FNV-1a over every
// logic field, field by field so that padding never enters).
#include <cstring>
#include <initializer_list>

#include "game/play/play_effects.h"
#include "game/play/play_runner.h"
#include "game/play/play_state.h"

namespace {

class Hasher {
 public:
  void Bytes(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
      hash_ ^= p[i];
      hash_ *= 0x100000001B3ull;
    }
  }
  void I(int value) { Bytes(&value, sizeof value); }
  void U(uint32_t value) { Bytes(&value, sizeof value); }
  void D(double value) { Bytes(&value, sizeof value); }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 0xCBF29CE484222325ull;
};

void Add(Hasher& h, const Boss& b) {
  for (double v : {b.x, b.y, b.targetX, b.targetY, b.moveFrames}) h.D(v);
  for (int v : {b.state, b.phaseTimer, b.hp, b.maxHp, b.remainingCards, b.kind, b.spellTimer,
                b.dropPower, b.dropPoint, b.dropSpecial, b.pose})
    h.I(v);
}

void Add(Hasher& h, const Enemy& e) {
  h.D(e.x), h.D(e.y);
  for (const EnemySegment& s : {e.seg1, e.seg2})
    for (double v : {s.kind, s.age, s.speed, s.angle}) h.D(v);
  for (int v : {e.active, e.age, e.hp, e.turnFlag, e.sprite, e.dropPower, e.dropSpecial,
                e.dropPoint})
    h.I(v);
}

void Add(Hasher& h, const EnemyBullet& b) {
  for (int v : {b.state, b.age, b.sheet, b.colour, b.triggerAge, b.behaviour, b.behaviourParam,
                b.linkSlot, b.grazed})
    h.I(v);
  for (double v : {b.x, b.y, b.speed, b.accel, b.speedLimit, b.turnRate, b.angle, b.px, b.py})
    h.D(v);
  h.U(b.serial), h.U(b.bornStep), h.U(b.linkSerial);
}

void Add(Hasher& h, const Laser& l) {
  for (int v : {l.state, l.fullLength, l.fullWidth, l.colour, l.age, l.triggerAge, l.lifetime})
    h.I(v);
  for (double v : {l.x1, l.y1, l.x2, l.y2, l.growth}) h.D(v);
  h.U(l.bornStep);
}

void Add(Hasher& h, const Item& i) {
  for (double v : {i.x, i.y, i.vx, i.vy, i.spin, i.attraction}) h.D(v);
  h.I(i.active), h.I(i.kind), h.I(i.age);
}

void Add(Hasher& h, const PlayerShot& s) {
  h.I(s.state), h.I(s.kind), h.I(s.damage), h.I(s.age);
  for (double v : {s.x, s.y, s.angle, s.speed}) h.D(v);
}

template <class Pool>
void AddPool(Hasher& h, const Pool& pool) {
  for (const auto& record : pool) Add(h, record);
}

}  // namespace

uint64_t HashPlayState() {
  Hasher h;
  for (int v : {g_scene, g_stageFrame, g_talkActive, g_bossPhase, g_spellBackground, g_stageOver,
                g_spellBonus, g_spellCapture, g_spellCardActive, g_bombActive, g_difficulty,
                SlowDigitOfGameSpeed(g_gameSpeed), g_inputBits, g_shakeTotal, g_shakeLeft, g_prevInputBits,
                g_emitterBlock, g_playKind, g_continuesUsed, g_extendIndex, g_gameOverPending})
    h.I(v);
  h.U(g_randomCounter), h.U(g_stepSerial), h.U(g_bulletSerial);
  AddPool(h, g_bosses);
  AddPool(h, g_enemies);
  AddPool(h, g_enemyBullets);
  AddPool(h, g_lasers);
  AddPool(h, g_items);
  AddPool(h, g_playerShots);
  const PlayerStatus& p = g_player;
  h.D(p.x), h.D(p.y), h.D(p.pointRate);
  for (int v : {p.lives, p.bombs, p.state, p.character, p.power, p.score, p.graze,
                p.invulnerable, p.bombTimer, p.shotTimer})
    h.I(v);
  for (const BossEffect& e : BossEffects) {
    h.I(e.warp.active), h.I(e.warp.counter), h.D(e.warp.targetX), h.D(e.warp.targetY);
    h.I(e.warp.savedState), h.I(e.chargeCounter), h.I(e.ringCounter);
    h.D(e.ringX), h.D(e.ringY);
  }
  h.I(g_bossBlast.counter), h.D(g_bossBlast.x), h.D(g_bossBlast.y);
  h.I(g_dialogue.slideLeft), h.I(g_dialogue.slideRight), h.I(g_dialogue.clock);
  for (const Notice& n : g_notices)
    for (int v : {n.frames, n.mode, n.x, n.y, n.delay, n.image, n.age}) h.I(v);
  h.I(g_musicTitle.frames), h.Bytes(g_musicTitle.text, std::strlen(g_musicTitle.text));
  return h.value();
}
