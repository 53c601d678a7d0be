#pragma once
// The play scenes: a play's frames, its start and playback, the pause and game-over
// menus, and the results after it (score entry, replay save, the save file written).
#include <cstdint>
#include <string>

#include "game/play/play_runner.h"

// The play scenes: clip to the field, the overlay or the logic steps, frame and HUD.
void RunGameFrame();

// Starts a live play (a fresh start counter from the cosmetic generator).
void StartLivePlay(int scene, int difficulty, int character);
// Plays replay slot 1..25 (or a file) back; false (nothing changes) when the file is
// not valid.
bool StartReplayPlayback(int slot);
bool StartReplayPlaybackFile(const std::string& path);
// Saves the live recording of the finished play with its header.
bool SaveRecordedReplay(const std::string& path, const char* name);

// The setup of the running play and the last play scene reached (without playback).
extern PlaySetup g_playSetup;
extern int g_lastPlayScene;
// Notes g_scene in g_lastPlayScene when it is a play scene without an overlay.
void NoteLastPlayScene();

// The score entry and replay save, over the frozen field (play scene + 20000 / 30000)
// or full screen (601 / 602, after the staff roll). Each returns true once it is done.
bool RunScoreEntry(bool fullScreen);
bool RunReplaySave(bool fullScreen);
// Prepares the score entry and the replay save for a finished play.
void BeginPlayResults();
// The ending kind of the finished play (1-3).
int EndingKindOfResults();
// Whether the finished play goes to the score entry.
bool PlayQualifiesForScoreEntry();
// Leaves the play's results: to the return scene, writing "central.dat" on the way to 0.
void FinishPlayResults();
// Writes the save block (the play tables copied in first). When the write fails, the
// title shows `failureNotice` in red until a later write succeeds; false then.
bool StoreSaveNow(const char* failureNotice);
// The notice of the last failed write of the save block, or null.
const char* SaveFailureNotice();
