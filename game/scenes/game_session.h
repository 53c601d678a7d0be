#pragma once
// What the scenes share outside the play state: the save block, this frame's keys and
// the entries into the sound layer.
#include <cstdint>

#include "game/files/save_tables.h"  // g_save

// The keyboard as the frame loop read it this pass and the pass before.
struct KeyFrame {
  uint8_t now[256];
  uint8_t before[256];
};
extern KeyFrame g_keyFrame;

// Moves this pass's snapshot in (the old one becomes `before`). A taken key reads as
// up until it is released.
void TakeKeySnapshot(const uint8_t keys[256]);
// Takes every key held now, each until it is released: a screen that opens under keys
// held for something else (a menu over the play, the results after it) is not moved by
// them, and the key that puts a notice away does nothing else.
void TakeHeldKeys();
bool KeyHeld(int code);
bool KeyFresh(int code);  // down now, up the pass before
bool AnyKeyFresh();

// The play's input byte from the configured keys and the arrows (shot 1, bomb 2,
// slow 4, skip 8, up 16, down 32, left 64, right 128).
int LiveInputByte(const KeyConfig& keys, const uint8_t state[256]);

// The window width to open with: the saved one, taken down to the largest listed size
// whose window fits the display (the saved setting stays); 0 for full screen.
int StartWindowWidth();

// Music and effect volumes of the save block applied to the sound layer (255 x v / 100).
void ApplyVolumes();
// Plays track `index` of MusicTitleTable unless it already plays.
void PlayTrack(int index);

// The play's music entry: the sound layer's PlayMusicFile, looping.
int GameMusicPlayFile(const char* path);

// A test aid: DANMAKU_INPUT_SCRIPT names a text file of lines "first count code..."
// holding each listed key code down for `count` passes from pass `first`. Lines
// starting with '#' are comments. Loaded at start-up; merged into every snapshot.
void LoadScriptedInput();
void MergeScriptedInput(int pass, uint8_t keys[256]);
