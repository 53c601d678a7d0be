#include "game/stages/stage_frame.h"

#include <cstdint>

#include "game/content/content_text.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"

int PerDifficulty(int easy, int normal, int hard, int lunatic) {
  const int values[4] = {easy, normal, hard, lunatic};
  const int d = g_difficulty;
  return values[d < 0 ? 0 : d > 3 ? 3 : d];
}

bool InRun(int frame, int first, int last, int step) {
  return frame >= first && frame <= last && (frame - first) % step == 0;
}

int FirstEnd(const Enemy& e) { return static_cast<int>(e.seg1.age); }
int SecondStart(const Enemy& e) { return static_cast<int>(e.seg2.age); }
bool Pausing(const Enemy& e) { return e.age >= FirstEnd(e) && e.age <= SecondStart(e); }
bool PausingEvery(const Enemy& e, int period) {
  return Pausing(e) && Every(e.age - FirstEnd(e), period);
}
int Parity(const Enemy& e) { return e.sprite % 2; }
double Aim(const Enemy& e) { return AngleToPlayer(e.x, e.y); }

void RunStageSteps(const StageParts& parts) {
  if (g_talkActive == 0 && g_bossPhase == 0) {
    parts.waves();
    for (int slot = 0; slot < kEnemySlots; ++slot) parts.fire(slot);
    if (parts.afterFiring != nullptr) parts.afterFiring();
  }
  if (g_talkActive != 0) RunConversationStep(parts.lines);
  if (g_bossPhase != 0) parts.bossFight();
}

void RunConversationStep(LineTable table) {
  DialogueLine line;
  if (table != nullptr) table(line);
  ShowDialogue(line.side, line.leftCharacter, line.leftPose, line.rightCharacter, line.rightPose,
               line.line1, line.line2);
}

void FillDialogueLine(DialogueLine& line, int side, int leftPose, int rightCharacter,
                      int rightPose, const DialogueText& text) {
  line.side = side;
  if (leftPose >= 0) {
    line.leftCharacter = g_player.character;
    line.leftPose = leftPose;
  }
  if (rightCharacter >= 0) {
    line.rightCharacter = rightCharacter;
    line.rightPose = rightPose;
  }
  line.line1 = text.line1;
  line.line2 = text.line2;
}

void StartStageMusic(int track) {
  const char* title = MusicTitleTable[track];
  if (PlayMusicByTitle(title) != 0) ShowMusicTitle(title, 0);
  ShowDialogue(3, 100, 0, 100, 0, "", "");
}

void ShowStageTitleNotice(int cell, int part) {
  switch (part) {
    case 0: ShowNotice(180, 4, 180, 240, 0, SpriteSheetHandles.stageTitle[cell]); break;
    case 1: ShowNotice(150, 5, 256, 300, 0, SpriteSheetHandles.stageNumber[cell]); break;
    case 2: ShowNotice(120, 5, 256, 330, 0, SpriteSheetHandles.stagePlace[cell]); break;
    default: break;
  }
}

void StartBossMusicOnce(int track) {
  if (g_bosses[2].state != 0) return;
  g_bosses[2].state = 4;
  const char* title = MusicTitleTable[track];
  if (PlayMusicByTitle(title) != 0) ShowMusicTitle(title, 0);
}

void WarpBossIn() {
  RunBossChargeEffect(10, 0);
  MoveBoss(0, 0, 224.0, 150.0, 0);
}

void EnterBoss(int remainingCards) {
  Boss& boss = g_bosses[0];
  if (boss.state != 3) return;
  boss.state = 1;
  boss.remainingCards = remainingCards;
  WarpBossIn();
  ShowNotice(120, 5, 338, 332, 0, SpriteSheetHandles.bossName[boss.kind]);
}

void FlyInBoss(int remainingCards, int kind) {
  Boss& boss = g_bosses[0];
  if (boss.state == 0) InitBoss(0, remainingCards, kind, 420.0, 100.0);
  if (boss.phaseTimer == 1) {
    SetBossMoveTarget(0, 224.0, 150.0, 50);
    ShowNotice(120, 5, 338, 332, 0, SpriteSheetHandles.bossName[boss.kind]);
  }
}

void BringBossBack() {
  Boss& boss = g_bosses[0];
  if (boss.state != 3) return;
  boss.state = 1;
  ShowNotice(120, 5, 338, 332, 0, SpriteSheetHandles.bossName[boss.kind]);
}

void EndOpeningConversation() {
  g_stageFrame = kOpeningTalkEnd;
  g_talkActive = 0;
}

void EndClosingConversation() {
  g_stageFrame = kClosingTalkEnd;
  g_talkActive = 0;
}

void AttractAllItems() {
  for (Item& item : g_items) item.attraction = 2.0;
}

void EndWaves() {
  EraseAllBullets();
  AttractAllItems();
  g_talkActive = 1;
}

void ClearOutField() {
  PlayEffect(kSeAttackBell);
  for (Enemy& e : g_enemies) e.hp = 0;
  for (EnemyBullet& b : g_enemyBullets) {
    if (b.state < 1) continue;
    b.speed = 0.0;
    b.accel = 0.0;
    b.speedLimit /= 2;
    b.turnRate = 0.0;
    b.sheet = 13;
    b.colour = 4;
    b.age = 0;
    b.triggerAge = 30;
    b.behaviour = kBehaviourEaseToLimitSlow;
    b.behaviourParam = 2;
    const int r = NextRandom();
    b.angle += r % 30 - 15;
  }
}

void ShowEnemyMark(int x, int y) {
  ShowNotice(60, 2, x, y, 0, SpriteSheetHandles.enemyMark[1]);
}

void ShowItemLine() {
  ShowNotice(90, 2, 224, 150, 0, SpriteSheetHandles.itemLine);
  SpawnLaser(13, 10.0, 150.0, 430.0, 150.0, 0.0, 500, 1, 500, 90, 2);
}

void StartBossFight(int firstPhase) {
  g_bosses[0].phaseTimer = 1;
  g_bossPhase = firstPhase;
}

void RunMidBossTimeout(int firstFrame, int lastFrame, double exitX) {
  Boss& boss = g_bosses[0];
  if (boss.state == 3 || g_stageFrame < firstFrame || g_stageFrame > lastFrame) return;
  boss.state = 3;
  boss.targetX = exitX;
  boss.targetY = -50.0;
  boss.moveFrames = 120.0;
}

void EndMidBoss(int resumeFrame) {
  PlayEffect(kSeCardEnd);
  g_bossPhase = 0;
  if (g_stageFrame > resumeFrame) g_stageFrame = resumeFrame;
}

void EndFightWithBreakRing() {
  RunBossBreakRing(0, 0);
  g_shakeTotal = 30;
  g_shakeLeft = 30;
  g_bossPhase = 0;
}

void EndBossFight() {
  EndFightWithBreakRing();
  g_stageFrame = kBossDefeated;
  AttractAllItems();
}

void MoveBossNearPlayer() {
  const int rx = NextRandom();
  const int ry = NextRandom();
  SetBossMoveTarget(0, ClampToInt(g_player.x + rx % 100 - 50, 124, 324), 125 + ry % 50, 50);
}

void WarpBossToRandomSpot(int xBase, int xRange) {
  const int ry = NextRandom();
  const int rx = NextRandom();
  MoveBoss(0, 0, xBase + rx % xRange, 125 + ry % 50, 0);
}

void RunNonSpellStart(const NonSpell& values) {
  Boss& boss = g_bosses[0];
  if (boss.phaseTimer == 1) {
    boss.hp = boss.maxHp = values.hp;
    boss.spellTimer = values.steps;
    boss.dropPower = values.dropPower;
    boss.dropPoint = values.dropPoint;
    boss.dropSpecial = values.dropSpecial;
    if (values.stopsMove) boss.moveFrames = 0.0;
  }
}

bool NonSpellOver() { return g_bosses[0].hp <= 0 || g_bosses[0].spellTimer == 0; }

void StartCardAfterNonSpell() {
  g_bosses[0].phaseTimer = 1;
  EraseAllBullets();
  g_spellBackground = 1;
}

void BlowUpBossAtLastCardEnd() {
  Boss& boss = g_bosses[0];
  if ((boss.spellTimer == 1 || boss.hp <= 0) && boss.phaseTimer > 90 && boss.state != 3 &&
      boss.state != 0) {
    boss.state = 3;
    RunBossExplosion(0);
  }
}

void RunNonSpell(const NonSpell& values, void (*pattern)()) {
  if (g_spellBackground != 0) return;
  RunNonSpellStart(values);
  pattern();
  if (NonSpellOver()) StartCardAfterNonSpell();
}

void RunNonSpellPhase(const NonSpell& values, void (*pattern)(), int cardSlot) {
  RunNonSpell(values, pattern);
  if (g_spellBackground == 1) RunBossAttack(GetSpellCardId(g_difficulty, cardSlot));
}

void RunWaitThenLastCard(const NonSpell& wait, int cardSlot) {
  if (g_spellBackground == 0) {
    RunNonSpellStart(wait);
    if (g_bosses[0].phaseTimer == 180) StartCardAfterNonSpell();
  }
  if (g_spellBackground != 1) return;
  BlowUpBossAtLastCardEnd();
  RunBossAttack(GetSpellCardId(g_difficulty, cardSlot));
}

void ShowStageClear() {
  ShowNotice(120, 10, 224, 160, 0, SpriteSheetHandles.stageClear);
  const int bonus = StageDigit(g_scene) * 1000000;
  int64_t power = 1;
  for (int k = 0; k <= 9 && power <= bonus; ++k, power *= 10) {
    const int digit = static_cast<int>((bonus / power) % 10);
    ShowNotice(120, 10, 16 * (17 - k), 190, 0, SpriteSheetHandles.bigDigit[digit]);
  }
  if (bonus > 0) AddScore(bonus);
}

void MoveToNextScene() {
  // Stage practice, live or replayed, ends where it was recorded to end.
  if (IsPracticeScene(g_scene)) {
    g_stageOver = 1;
    return;
  }
  g_scene += 1;
  g_stageFrame = -1;
  g_player.state = 0;
}

void RunStageEndMarks() {
  if (g_stageFrame == kStageClear) ShowStageClear();
  if (g_stageFrame == kNextScene) MoveToNextScene();
}

Kept Keep(int slot) {
  if (slot < 0 || slot >= kBulletSlots) return {-1, 0};
  return {slot, g_enemyBullets[slot].serial};
}

EnemyBullet* Live(const Kept& kept) {
  if (kept.slot < 0) return nullptr;
  EnemyBullet& bullet = g_enemyBullets[kept.slot];
  return bullet.state != 0 && bullet.serial == kept.serial ? &bullet : nullptr;
}
