#pragma once
// Sounds and music as the play logic asks for them. The play never waits on or reads
// back a sound result, so these only forward to the sound layer through a table the
// start-up code installs, as drawing goes through the draw table; a null table or
// entry (headless runs) or a handle of -1 plays nothing.

struct PlaySoundTable {
  int (*playSoundHandle)(int handle, int playType, int restart);  // PlaySoundHandle
  int (*playMusicFile)(const char* path);  // starts a music file looping
  int (*stopMusic)();                      // StopCurrentMusic
};

// Set by the start-up code or a test's recorder; null in headless runs.
extern const PlaySoundTable* g_playSound;

#define PLAY_SOUND(entry, ...)                                             \
  do {                                                                     \
    if (g_playSound && g_playSound->entry) g_playSound->entry(__VA_ARGS__); \
  } while (0)

// Plays effect `slot` of SoundEffectTable in the background (kPlayBack), restarting it.
void PlayEffect(int slot);

// What the scripts call to stop the music now playing; nothing when none plays.
void StopPlayMusic();
