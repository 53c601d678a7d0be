// The play scenes: the logic steps of a frame with the frame and the HUD, the pause
// and game-over menus, the end of a play, the score entry and the replay save.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "font/default_font.h"
#include "game/draw/game_images.h"
#include "game/draw/hud.h"
#include "game/files/replay_file.h"
#include "game/files/save_tables.h"
#include "game/play/play_effects.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/play/replay_memory.h"
#include "game/scenes/game_session.h"
#include "game/scenes/menu.h"
#include "game/scenes/play_scene.h"
#include "game/scenes/scenes.h"
#include "graphics/draw.h"
#include "graphics/screen.h"
#include "platform/input.h"

PlaySetup g_playSetup;
int g_lastPlayScene;

namespace {

// Where a finished play's results stand.
struct Results {
  int stageReached = 1;
  int endingKind = 1;
  int rank = kHighScoreRanks;
  char name[9] = "";
  int cursor = 0;
  bool changing = false;  // Up or Down cycle the letter under the cursor
  // Replay save: 0 the slot list, 1 "Overwrite?", 2 the name.
  int saveStep = 0;
  int slot = 0;
  MenuCursor slots, confirm;
  int listTop = 0;
  ReplaySlotState states[kReplaySlots] = {};
  char lines[kReplaySlots][160] = {};
  bool listed = false;
  int failedSlot = 0;  // the slot whose write just failed, named over the list
  int failedError = 0;  // and the error that write got
};
Results g_results;
MenuCursor g_overlayCursor;

// "<what>: <why>", the why in words the player can act on (a full disk, no
// permission); the log line of the write keeps the whole error.
void FormatWriteFailure(char* out, size_t size, const char* what, int error) {
  if (const char* word = WriteErrorWord(error))
    std::snprintf(out, size, "%s: %s", what, word);
  else
    std::snprintf(out, size, "%s", what);
}

const char kNameChars[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-!?";

uint32_t FreshStartCounter() {
  const uint32_t high = static_cast<uint32_t>(std::rand());
  const uint32_t low = static_cast<uint32_t>(std::rand());
  return (high << 16) ^ low;
}

int Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

void FreezeField() {
  if (g_images.fieldGraph != -1) {
    SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
    GetDrawScreenGraph(0, 0, kFieldRightPx, kFieldBottomPx, g_images.fieldGraph);
  }
}

void DrawFrozenField(int dim) {
  SetDrawArea(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx);
  SetBlendModeParam(0, 255);
  if (g_images.fieldGraph != -1) DrawGraphAt(0, 0, g_images.fieldGraph, 0);
  SetBlendModeParam(1, dim);
  DrawFilledBox(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx, MakeScreenColor(0, 0, 0));
  SetBlendModeParam(0, 255);
}

// A menu over the play opens under keys meant for the play (an arrow held dodging, the
// shot): each is taken until released, so none moves the cursor or confirms.
void OpenOverlay(OverlayMenuKind kind) {
  FreezeField();
  g_overlayKind = kind;
  g_overlayCursor = MenuCursor{};
  g_scene = WithOverlay(g_scene, kOverlayMenu);
  TakeHeldKeys();
  if (kind == kPauseMenu) PlayEffect(kSePause);
}

// Back to the play from its menu. The key that closed the menu is taken as well: the
// bomb key that cancelled the pause would otherwise bomb on the next step.
void ResumePlay() {
  g_scene = SceneUnderOverlay(g_scene);
  TakeHeldKeys();
}

// The scene the play reached as its results and its replay name it: the Extra stage
// goes on to its ending through the main game's scene 7, and is named by its own end.
int ReachedScene() {
  const int played = PlayedScene(g_lastPlayScene);
  return g_playKind == kPlayExtra && played == kSceneMainGameEnd ? kSceneExtraEnd : played;
}

bool ContinuePossible() {
  return ContinueMayFollow() && !g_replayPlaying;
}

// A continued play keeps no replay: where its save would have come the player is told
// so, instead of the save being skipped without a word.
bool ContinuedPlayUnsaved() { return !g_recordOk && g_continuesUsed > 0; }
bool ReplaySaveFollows() { return g_recordOk || ContinuedPlayUnsaved(); }

// True once a key is pressed under the notice; that key does nothing else.
bool ShowContinuedPlayUnsaved(int x) {
  DrawMenuTitle(x, 24, "A continued play is not saved as a replay", true);
  DrawMenuLine(x, 60, "Press a key", false);
  if (!AnyKeyFresh()) return false;
  TakeHeldKeys();
  return true;
}

// Ends a play: a watched replay goes back to the list, a live play on to its results.
// Whatever comes next (a list, the name entry, a menu) opens under the play's keys.
void EndPlay() {
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  g_gameOverPending = 0;
  TakeHeldKeys();
  if (g_replayPlaying) {
    g_replayPlaying = 0;
    g_scene = kSceneReplayMenu;
    ResetSceneMenus();
    return;
  }
  CopyPlayTablesToSaveData(&g_save);
  if (g_scene == kSceneEnding) {
    g_results.stageReached = g_playKind == kPlayExtra ? 9 : 7;
    g_results.endingKind = g_playKind == kPlayExtra ? 3 : (g_player.score % 10 == 0 ? 1 : 2);
    BeginPlayResults();
    return;
  }
  const int played = ReachedScene();
  const bool mainStage = played >= kSceneFirstStage && played <= kSceneLastStage;
  g_results.stageReached = g_playKind == kPlayExtra ? (played == kSceneExtraEnd ? 9 : 8) : (mainStage ? played : 1);
  BeginPlayResults();
  const int base = g_lastPlayScene;
  if (PlayQualifiesForScoreEntry())
    g_scene = WithOverlay(base, kOverlayScoreEntry);
  else if (ReplaySaveFollows())
    g_scene = WithOverlay(base, kOverlayReplaySave);
  else
    FinishPlayResults();
}

void RunPauseOrGameOver() {
  DrawFrozenField(128);
  const unsigned white = MakeScreenColor(255, 255, 255);
  if (g_overlayKind == kPauseMenu) {
    const bool playback = g_replayPlaying != 0;
    const char* items[3] = {"Resume", "Restart", "Quit"};
    if (KeyFresh(g_save.keys.pause)) {
      ResumePlay();
      return;
    }
    const MenuAction action = StepMenu(g_overlayCursor, 3);
    DrawStringDefaultFont(180, 180, "PAUSE", white);
    for (int k = 0; k < 3; ++k)
      DrawMenuLine(170, 220 + 26 * k, items[k], g_overlayCursor.index == k, k != 1 || !playback);
    if (action == MenuAction::Cancel) {
      ResumePlay();
    } else if (action == MenuAction::Confirm) {
      PlayEffect(kSeMenuConfirm);
      if (g_overlayCursor.index == 0) {
        ResumePlay();
      } else if (g_overlayCursor.index == 1 && !playback) {
        StartLivePlay(g_playSetup.scene, g_playSetup.difficulty, g_playSetup.character);
        TakeHeldKeys();
      } else if (g_overlayCursor.index == 2) {
        g_scene = SceneUnderOverlay(g_scene);
        EndPlay();
      }
    }
    return;
  }
  char line[48];
  std::snprintf(line, sizeof line, "Continue (%d left)", kMaxContinues - g_continuesUsed);
  const char* items[2] = {line, "Give up"};
  const MenuAction action = StepMenu(g_overlayCursor, 2);
  DrawStringDefaultFont(170, 180, "GAME OVER", white);
  for (int k = 0; k < 2; ++k) DrawMenuLine(160, 220 + 26 * k, items[k], g_overlayCursor.index == k);
  if (action == MenuAction::Confirm) {
    PlayEffect(kSeMenuConfirm);
    if (g_overlayCursor.index == 0) {
      ResumePlay();
      ContinuePlay();
    } else {
      g_scene = SceneUnderOverlay(g_scene);
      EndPlay();
    }
  }
}

// `changing` is set while Up and Down cycle the letter under the cursor: Backspace
// then removes that letter, the one the player is changing, rather than the one before.
void EditName(char* name, int& cursor, bool& changing) {
  int length = static_cast<int>(std::strlen(name));
  const bool shift = KeyHeld(kKeyLShift) || KeyHeld(kKeyRShift);
  for (int code = 1; code < 256; ++code) {
    if (!KeyFresh(code)) continue;
    const char typed = NameCharOfKey(code, shift);
    const bool cycles = code == kKeyUp || code == kKeyDown;
    if (typed != 0 && cursor < 8) {
      name[cursor] = typed;
      if (cursor == length) name[++length] = '\0';
      cursor += 1;
      PlayEffect(kSeMenuMove);
    } else if (code == kKeyBackspace && changing && cursor < length) {
      std::memmove(name + cursor, name + cursor + 1, length - cursor);
      length -= 1;
      PlayEffect(kSeMenuCancel);
    } else if (code == kKeyBackspace && cursor > 0) {
      std::memmove(name + cursor - 1, name + cursor, length - cursor + 1);
      cursor -= 1;
      length -= 1;
      PlayEffect(kSeMenuCancel);
    } else if (code == kKeyLeft && cursor > 0) {
      cursor -= 1;
    } else if (code == kKeyRight && cursor < length && cursor < 7) {
      cursor += 1;
    } else if (cycles && cursor < 8) {
      if (cursor == length) {  // a new place starts as a space
        name[cursor] = ' ';
        name[++length] = '\0';
      }
      const char* at = std::strchr(kNameChars, name[cursor]);
      const int count = static_cast<int>(sizeof kNameChars) - 1;
      int index = at != nullptr ? static_cast<int>(at - kNameChars) : 0;
      index = (index + (code == kKeyUp ? 1 : count - 1)) % count;
      name[cursor] = kNameChars[index];
      PlayEffect(kSeMenuMove);
    }
    // Any other key than Up or Down leaves the letter it was changing.
    if (!cycles && code != kKeyLShift && code != kKeyRShift) changing = false;
    if (cycles && cursor < 8) changing = true;
  }
}

void DrawNameLine(int x, int y, const char* name, int cursor) {
  const unsigned white = MakeScreenColor(255, 255, 255);
  char shown[9] = "        ";
  std::memcpy(shown, name, std::strlen(name));
  for (int k = 0; k < 8; ++k) {
    char one[2] = {shown[k], 0};
    DrawStringDefaultFont(x + 16 * k, y, one, white);
    DrawFilledBox(x + 16 * k, y + 19, x + 16 * k + 12, y + 20,
                  k == cursor ? MakeScreenColor(255, 220, 80) : MakeScreenColor(96, 96, 96));
  }
}

// The list's lines, `width` pixels wide at the most.
void ListReplaySlots(int width) {
  for (int slot = 1; slot <= kReplaySlots; ++slot) {
    ReplayHeader header{};
    g_results.states[slot - 1] = InspectReplayFile(ReplayFilePath(slot), &header);
    std::snprintf(g_results.lines[slot - 1], sizeof g_results.lines[0], "%s",
                  ReplayMenuLine(slot, g_results.states[slot - 1], header, true, width).c_str());
  }
  g_results.listed = true;
}

}  // namespace

void NoteLastPlayScene() {
  if (IsPlayScene(g_scene) && !HasOverlay(g_scene)) g_lastPlayScene = PlayedScene(g_scene);
}

void StartLivePlay(int scene, int difficulty, int character) {
  StopPlayMusic();
  g_currentMusic = -1;
  g_playSetup = PlaySetup{scene, difficulty, character, FreshStartCounter()};
  BeginPlay(g_playSetup);
  g_lastPlayScene = scene;
  g_gameSpeed = kNormalGameSpeed;
}

bool SaveRecordedReplay(const std::string& path, const char* name) {
  ReplayHeader header{};
  header.scene = g_playSetup.scene;
  header.difficulty = g_playSetup.difficulty;
  header.character = g_playSetup.character;
  header.startCounter = g_playSetup.startCounter;
  header.finalScore = g_player.score;
  header.lastScene = ReachedScene();
  SetReplayDate(&header, std::time(nullptr));
  std::snprintf(header.name, sizeof header.name, "%s", name);
  return SaveReplayFile(path, header, g_replayPairs, g_replayPairCount);
}

bool StartReplayPlayback(int slot) { return StartReplayPlaybackFile(ReplayFilePath(slot)); }

bool StartReplayPlaybackFile(const std::string& path) {
  ReplayData replay{ReplayHeader{}, g_replayPairs, kReplayPairCapacity};
  if (!LoadReplayFile(path, &replay)) return false;
  const ReplayHeader& h = replay.header;
  StopPlayMusic();
  g_currentMusic = -1;
  g_playSetup = PlaySetup{h.scene, h.difficulty, h.character, h.startCounter};
  BeginPlayback(g_playSetup, g_replayPairs, h.pairCount);
  g_lastPlayScene = h.scene;
  return true;
}

void RunGameFrame() {
  SetDrawArea(kFieldLeftPx, kFieldTopPx, kFieldRightPx, kFieldBottomPx);
  if (HasOverlay(g_scene)) {
    const int overlay = OverlayOfScene(g_scene);
    const int base = SceneUnderOverlay(g_scene);
    if (overlay == kOverlayMenu) RunPauseOrGameOver();
    else if (overlay == kOverlayScoreEntry) {
      DrawFrozenField(160);
      if (RunScoreEntry(false)) {
        if (ReplaySaveFollows()) {
          g_scene = WithOverlay(base, kOverlayReplaySave);
        } else {
          g_scene = base;
          FinishPlayResults();
        }
      }
    } else if (overlay == kOverlayReplaySave) {
      DrawFrozenField(160);
      if (RunReplaySave(false)) {
        g_scene = base;
        FinishPlayResults();
      }
    } else {
      g_scene = base;  // nothing stands that high
    }
    SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
    if (IsPlayScene(g_scene) || HasOverlay(g_scene)) DrawFrameAndHud(KeyHeld(g_save.keys.skip));
    return;
  }
  // Game speed: the steps of a frame follow the skip key only in playback.
  const bool fastForward = g_replayPlaying && KeyHeld(g_save.keys.skip);
  g_gameSpeed = GameSpeed(fastForward ? kFastForwardSteps : 1, SlowDigitOfGameSpeed(g_gameSpeed));
  SetLiveInput(LiveInputByte(g_save.keys, g_keyFrame.now));
  NoteLastPlayScene();
  RunPlayFrameSteps();
  NoteLastPlayScene();
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  DrawFrameAndHud(KeyHeld(g_save.keys.skip));
  // Every clear, the Extra stage's too, reaches its ending through scene 7, whose step
  // sets g_stageOver and scene 500; a replay has stopped before, at the closing talk.
  const bool ended = g_stageOver == 1 || g_scene == kSceneEnding;
  if (ended || (g_gameOverPending == 1 && !ContinuePossible())) {
    FreezeField();  // the results screens show this run's last frame, not an older one
    EndPlay();
  } else if (g_gameOverPending == 1) {
    OpenOverlay(kGameOverMenu);
  } else if (KeyFresh(g_save.keys.pause)) {
    OpenOverlay(kPauseMenu);
  }
}

bool PlayQualifiesForScoreEntry() {
  if (g_playKind != kPlayMainGame && g_playKind != kPlayExtra) return false;
  const int row = CharacterRow(g_playSetup.character), d = g_playSetup.difficulty;
  if (row < 0 || row > 1 || d < 0 || d > 4) return false;
  return ScoreRank(g_save.highScores[row][d], g_player.score) < kHighScoreRanks;
}

void BeginPlayResults() {
  const int row = CharacterRow(g_playSetup.character), d = g_playSetup.difficulty;
  g_results.rank = (row >= 0 && row <= 1 && d >= 0 && d <= 4) ? ScoreRank(g_save.highScores[row][d], g_player.score)
                                                             : kHighScoreRanks;
  g_results.name[0] = '\0';
  g_results.cursor = 0;
  g_results.changing = false;
  g_results.saveStep = 0;
  g_results.slots = MenuCursor{};
  g_results.confirm = MenuCursor{};
  g_results.listTop = 0;
  g_results.listed = false;
  g_results.failedSlot = 0;
}

int EndingKindOfResults() { return g_results.endingKind; }

bool RunScoreEntry(bool fullScreen) {
  if (!PlayQualifiesForScoreEntry()) return true;
  if (fullScreen) {
    SetBlendModeParam(0, 255);
    DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(8, 8, 32));
  }
  const int x = fullScreen ? 200 : 80;
  const unsigned white = MakeScreenColor(255, 255, 255);
  DrawStringDefaultFont(x, 120, "NEW RECORD - enter your name", white);
  DrawFormattedStringDefaultFont(x, 160, white, "Score  %d", g_player.score);
  DrawFormattedStringDefaultFont(x, 184, white, "Rank   %d", g_results.rank + 1);
  EditName(g_results.name, g_results.cursor, g_results.changing);
  DrawNameLine(x, 230, g_results.name, g_results.cursor);
  DrawMenuLine(x, 280, "Enter: confirm", false);
  if (!KeyFresh(kKeyReturn)) return false;
  PlayEffect(kSeMenuConfirm);
  HighScoreEntry entry{};
  entry.score = g_player.score;
  entry.stage = g_results.stageReached;
  entry.date = Today();
  entry.flags = (g_results.stageReached == 7 || g_results.stageReached == 9) ? 1 : 0;
  std::snprintf(entry.name, sizeof entry.name, "%s", g_results.name);
  const int row = CharacterRow(g_playSetup.character), d = g_playSetup.difficulty;
  InsertHighScore(g_save.highScores[row][d], g_results.rank, entry);
  TakeHeldKeys();  // an arrow still held from the name would move the replay list
  return true;
}

bool RunReplaySave(bool fullScreen) {
  if (!ReplaySaveFollows()) return true;
  if (fullScreen) {
    SetBlendModeParam(0, 255);
    DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(8, 8, 32));
  }
  const int x = fullScreen ? 60 : 36;
  const int width = (fullScreen ? kScreenWidth : kFieldRightPx) - x - 4;  // a line's box ends 4 past its text
  if (!g_recordOk) return ShowContinuedPlayUnsaved(x);
  if (!g_results.listed) ListReplaySlots(width);
  char heading[96] = "Save the replay?";
  const bool failed = g_results.saveStep == 0 && g_results.failedSlot != 0;
  if (failed) {
    char what[32];
    std::snprintf(what, sizeof what, "No.%02d could not be saved", g_results.failedSlot);
    FormatWriteFailure(heading, sizeof heading, what, g_results.failedError);
  }
  DrawMenuTitle(x, 24, heading, failed);
  if (g_results.saveStep == 0) {
    const MenuAction action = StepMenu(g_results.slots, kReplaySlots + 1);
    const int index = g_results.slots.index;
    if (index < g_results.listTop) g_results.listTop = index;
    if (index >= g_results.listTop + 15) g_results.listTop = index - 14;
    for (int k = g_results.listTop; k < kReplaySlots + 1 && k < g_results.listTop + 15; ++k) {
      const char* text = k < kReplaySlots ? g_results.lines[k] : "Do not save";
      DrawMenuLine(x, 56 + 26 * (k - g_results.listTop), text, index == k);
    }
    if (action == MenuAction::Cancel) return true;
    if (action != MenuAction::Confirm) return false;
    PlayEffect(kSeMenuConfirm);
    if (index == kReplaySlots) return true;
    g_results.slot = index + 1;
    g_results.saveStep = g_results.states[index] == ReplaySlotState::Empty ? 2 : 1;
    g_results.confirm = MenuCursor{};
    g_results.cursor = static_cast<int>(std::strlen(g_results.name));
    g_results.changing = false;
    return false;
  }
  if (g_results.saveStep == 1) {
    const MenuAction action = StepMenu(g_results.confirm, 2);
    DrawFormattedStringDefaultFont(x, 80, MakeScreenColor(255, 255, 255), "No.%02d: Overwrite?", g_results.slot);
    DrawMenuLine(x + 20, 120, "Yes", g_results.confirm.index == 0);
    DrawMenuLine(x + 20, 146, "No", g_results.confirm.index == 1);
    if (action == MenuAction::Cancel || (action == MenuAction::Confirm && g_results.confirm.index == 1))
      g_results.saveStep = 0;
    else if (action == MenuAction::Confirm)
      g_results.saveStep = 2;
    return false;
  }
  DrawFormattedStringDefaultFont(x, 80, MakeScreenColor(255, 255, 255), "No.%02d: name", g_results.slot);
  EditName(g_results.name, g_results.cursor, g_results.changing);
  DrawNameLine(x, 120, g_results.name, g_results.cursor);
  DrawMenuLine(x, 170, "Enter: save   Esc: back", false);
  if (KeyFresh(kKeyEscape)) {
    g_results.saveStep = 0;
    return false;
  }
  if (!KeyFresh(kKeyReturn)) return false;
  PlayEffect(kSeMenuConfirm);
  if (SaveRecordedReplay(ReplayFilePath(g_results.slot), g_results.name)) return true;
  // Back to the list, which may have changed, to pick another slot or leave.
  g_results.failedSlot = g_results.slot;
  g_results.failedError = LastWriteError();
  g_results.saveStep = 0;
  ListReplaySlots(width);
  return false;
}

void FinishPlayResults() {
  SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
  const int target = g_returnScene;
  g_scene = target;
  ResetSceneMenus();
  if (target == 0) StoreSaveNow("Scores and progress could not be saved");
}

namespace {
char g_saveFailureNotice[128] = "";
}  // namespace

bool StoreSaveNow(const char* failureNotice) {
  CopyPlayTablesToSaveData(&g_save);
  const bool stored = StoreSaveData(g_save);
  if (stored)
    g_saveFailureNotice[0] = '\0';
  else
    FormatWriteFailure(g_saveFailureNotice, sizeof g_saveFailureNotice, failureNotice, LastWriteError());
  return stored;
}

const char* SaveFailureNotice() { return g_saveFailureNotice[0] != '\0' ? g_saveFailureNotice : nullptr; }
