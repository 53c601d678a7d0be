// Spell-card practice: one card against boss 0, then the play ends. Only the last Extra
// card has a conversation before it.
#include "game/stages/spell_practice.h"

#include "game/content/content_text.h"
#include "game/play/play_state.h"
#include "game/stages/boss_attack.h"
#include "game/stages/stage_dispatch.h"
#include "game/stages/stage_frame.h"

namespace {

constexpr int kPracticeTheme = 6;
constexpr int kLastFightTheme = 5;
constexpr int kTalkCard = 118;

}  // namespace

int PracticeCardId() {
  const int d = g_difficulty;
  const int slot = CardSlotOfScene(g_scene);
  return (4 - 3 * (d / 4)) * slot + 104 * (d / 4) + d % 4 - 2;
}

void GetPracticeDialogueLine(DialogueLine& line) {
  struct Row {
    int side, leftCharacter, leftPose, rightCharacter, rightPose;
  };
  static constexpr Row kRows[12] = {
      {1, 100, 0, 4, 0}, {1, 100, 0, 4, 5}, {0, 0, 6, 4, 5}, {1, 0, 6, 6, 0},
      {1, 0, 6, 6, 6},   {1, 0, 6, 5, 0},   {1, 0, 6, 4, 3}, {0, 0, 2, 4, 3},
      {0, 0, 0, 4, 3},   {1, 0, 0, 4, 5},   {1, 0, 0, 5, 2}, {1, 0, 0, 6, 5},
  };
  const int number = g_talkActive;
  if (number < 1 || number > 14) return;

  if (number == 1) {
    if (g_bosses[0].state == 0) {
      InitBoss(0, 0, 4, 420.0, 100.0);
      InitBoss(1, 0, 5, 0.0, 0.0);
      InitBoss(2, 0, 6, 450.0, 0.0);
    }
    if (g_bosses[0].phaseTimer == 1) {
      SetBossMoveTarget(0, 224.0, 150.0, 120);
      SetBossMoveTarget(1, 324.0, 100.0, 120);
      SetBossMoveTarget(2, 124.0, 100.0, 120);
    }
  }
  if (number == 10 && g_bosses[2].remainingCards == 0) {
    g_bosses[2].remainingCards = 1;
    const char* title = MusicTitleTable[kLastFightTheme];
    if (PlayMusicByTitle(title) != 0) ShowMusicTitle(title, 0);
  }
  if (number == 13) return;
  if (number == 14) {
    // Back to 70: the fight starts 30 steps after the last line.
    g_stageFrame = 70;
    g_talkActive = 0;
    return;
  }

  const Row& row = kRows[number - 1];
  line.side = row.side;
  line.leftCharacter = row.leftCharacter;
  line.leftPose = row.leftPose;
  line.rightCharacter = row.rightCharacter;
  line.rightPose = row.rightPose;
  const DialogueText& text = PracticeDialogueText(number);
  line.line1 = text.line1;
  line.line2 = text.line2;
}

void RunSpellPracticeStage() {
  const int id = PracticeCardId();
  if (g_bossPhase == 0 && g_stageFrame == 0) PlayMusicByTitle(MusicTitleTable[kPracticeTheme]);
  if (g_stageFrame == 60 && id == kTalkCard) {
    ShowDialogue(3, 100, 0, 100, 0, "", "");
    g_talkActive = 1;
  }
  if (g_talkActive != 0) {
    RunConversationStep(GetPracticeDialogueLine);
    return;
  }
  if (g_bossPhase == 0 && g_stageFrame == 100) {
    g_bosses[0].phaseTimer = 0;
    g_bossPhase = 1;
    g_spellBackground = 1;
  }
  if (g_spellBackground == 1) {
    Boss& boss = g_bosses[0];
    if (boss.remainingCards == 0 && (boss.spellTimer == 1 || boss.hp <= 0) && boss.state != 0 &&
        boss.state != 3) {
      for (int slot = 0; slot < kBossSlots; ++slot) {
        if (g_bosses[slot].state != 0) g_bosses[slot].state = 3;
      }
      RunBossExplosion(0);
    }
    RunBossAttack(id);
    DrawBossStatus(100, 1);
  }
  if (g_bossPhase == 2) {
    RunBossBreakRing(0, 0);
    g_shakeTotal = 30;
    g_shakeLeft = 30;
    g_stageFrame = 10000;
    g_bossPhase = 0;
  } else if (g_bossPhase == 0 && g_stageFrame > 10120) {
    g_stageOver = 1;
  }
}
