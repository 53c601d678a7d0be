#pragma once
// The codes the game keeps in plain ints (the scene number, the character, the game
// speed, the play type of a sound) and the names that read and write their parts. The
// ints stay as they are stored: the save file and replays hold them.

// ---------------------------------------------------------------------------
// The scene number g_scene. Outside a play it names a screen (SceneNumber). A play
// scene below 1000 says what is played: the main game's stages 1-6 (7 after stage 6:
// the ending follows), the Extra stage 8 (cleared, it goes on to 7 as well; results and
// replays name that end 9), stage practice 10 + the stage and card practice 200 + the
// card's slot. Playback adds 1000; a menu over the frozen field adds 10000 x its
// overlay kind.

enum SceneNumber : int {
  kSceneTitle = 0,
  kSceneStartMenu = 300,
  kSceneExtraMenu = 301,
  kScenePracticeMenu = 302,
  kSceneSpellPracticeMenu = 303,
  kSceneRanking = 304,
  kSceneReplayMenu = 305,
  kSceneSettings = 306,
  kSceneQuit = 307,           // the frame loop ends
  kSceneEnding = 500,
  kSceneStaffRoll = 600,
  kSceneScoreEntry = 601,     // full screen, after the staff roll
  kSceneReplaySave = 602,
};

constexpr int kSceneFirstStage = 1;
constexpr int kSceneLastStage = 6;
constexpr int kSceneMainGameEnd = 7;         // stage 6 is over: the ending follows
constexpr int kSceneExtraStage = 8;
constexpr int kSceneExtraEnd = 9;            // the Extra's clear, as results and replays name it
constexpr int kSceneStagePracticeBase = 10;  // + the stage, 1-6
constexpr int kSceneCardPracticeBase = 200;  // + the card's slot, 0-99
constexpr int kScenePlayback = 1000;         // added while a replay plays back
constexpr int kSceneOverlayUnit = 10000;     // times the overlay kind

// What stands over the frozen field, by g_scene / 10000.
enum SceneOverlay : int {
  kOverlayNone = 0,
  kOverlayMenu = 1,         // the pause or game-over menu (g_overlayKind says which)
  kOverlayScoreEntry = 2,
  kOverlayReplaySave = 3,
};
// Which menu kOverlayMenu shows (g_overlayKind).
enum OverlayMenuKind : int { kPauseMenu = 0, kGameOverMenu = 1 };

// The kind of play a scene starts (g_playKind holds it as an int).
enum PlayKind : int {
  kPlayMainGame = 0,
  kPlayExtra = 1,
  kPlayStagePractice = 2,
  kPlaySpellPractice = 3,
};

constexpr int StagePracticeScene(int stage) { return kSceneStagePracticeBase + stage; }
constexpr int CardPracticeScene(int slot) { return kSceneCardPracticeBase + slot; }
constexpr int PlaybackScene(int scene) { return kScenePlayback + scene; }

constexpr bool HasOverlay(int scene) { return scene >= kSceneOverlayUnit; }
constexpr int OverlayOfScene(int scene) { return scene / kSceneOverlayUnit; }
constexpr int SceneUnderOverlay(int scene) { return scene % kSceneOverlayUnit; }
constexpr int WithOverlay(int scene, SceneOverlay overlay) { return scene + overlay * kSceneOverlayUnit; }

// The menus after the title (300-399).
constexpr bool IsMenuScene(int scene) { return scene / 100 == kSceneStartMenu / 100; }

// A play scene without playback's 1000: what is played.
constexpr int PlayedScene(int scene) { return scene % kScenePlayback; }
constexpr bool IsPlaybackScene(int scene) { return SceneUnderOverlay(scene) >= kScenePlayback; }

// The units digit: the stage whose script a stage scene runs (stage practice 11-16
// runs stages 1-6, 7 the ending) and, in millions, its stage-clear bonus.
constexpr int StageDigit(int scene) { return scene % 10; }

constexpr bool IsStagePracticeScene(int scene) {
  const int played = PlayedScene(scene);
  return played >= StagePracticeScene(kSceneFirstStage) && played <= StagePracticeScene(kSceneLastStage);
}
constexpr bool IsCardPracticeScene(int scene) {
  const int played = PlayedScene(scene);
  return played >= kSceneCardPracticeBase && played <= kSceneCardPracticeBase + 99;
}
// The card slot of a card-practice scene, live or played back.
constexpr int CardSlotOfScene(int scene) { return (scene - kSceneCardPracticeBase) % kScenePlayback; }

// Practice of a stage or a card, live or played back: it ends where the stage ends
// rather than going on to the next scene.
constexpr bool IsPracticeScene(int scene) {
  const int played = PlayedScene(scene);
  return played > kSceneStagePracticeBase && played < kScenePlayback;
}
// A live main game or Extra play: only these go on from the last stage's clear to the
// closing conversation and the ending; practice and playback end there.
constexpr bool IsLiveGameScene(int scene) { return scene <= kSceneStagePracticeBase; }

constexpr PlayKind PlayKindOfScene(int scene) {
  if (PlayedScene(scene) == kSceneExtraStage) return kPlayExtra;
  if (IsStagePracticeScene(scene)) return kPlayStagePractice;
  if (IsCardPracticeScene(scene)) return kPlaySpellPractice;
  return kPlayMainGame;
}

// Every number that is not a screen of its own runs the play (the overlays too).
constexpr bool IsPlayScene(int scene) {
  return !(scene == kSceneTitle || (scene >= kSceneStartMenu && scene <= kSceneQuit) || scene == kSceneEnding ||
           scene == kSceneStaffRoll || scene == kSceneScoreEntry || scene == kSceneReplaySave);
}

// The difficulty of every Extra play (0-3 are Easy to Lunatic).
constexpr int kDifficultyExtra = 4;

// The card id (0..118) of slot `n` of difficulty `d`'s card list: Easy to Lunatic take
// four ids a slot, one each; the Extra cards follow from 102.
constexpr int GetSpellCardId(int d, int n) { return d == kDifficultyExtra ? 102 + n : 4 * n + d - 2; }

// ---------------------------------------------------------------------------
// The character code: 0 or 7; the save tables' row is code / 7.

constexpr int kCharacterA = 0, kCharacterB = 7;
constexpr int CharacterRow(int character) { return character / kCharacterB; }
constexpr int CharacterOfRow(int row) { return row * kCharacterB; }

// ---------------------------------------------------------------------------
// The game speed g_gameSpeed: 10 x the logic steps of a frame, plus a units digit the
// scripts raise to slow the enemy bullets (while it is not 0 they move on even stage
// frames only). Only the frame loop reads the tens; the scripts change the units.

constexpr int GameSpeed(int stepsPerFrame, int slowDigit) { return 10 * stepsPerFrame + slowDigit; }
constexpr int kNormalGameSpeed = GameSpeed(1, 0);
constexpr int kFastForwardSteps = 3;  // while the skip key is held in playback
constexpr int StepsOfGameSpeed(int speed) { return speed / 10; }
constexpr int SlowDigitOfGameSpeed(int speed) { return speed % 10; }
constexpr int RaiseSlowDigit(int speed) { return speed + 1; }
constexpr int WithoutSlowDigit(int speed) { return speed / 10 * 10; }

// ---------------------------------------------------------------------------
// The play type of the sound layer's play calls.

enum SoundPlayType : int {
  kPlayWait = 0,   // the call returns when the sound has ended
  kPlayBack = 1,   // the call returns at once
  kPlayLoop = 3,   // at once, and the sound repeats
};
