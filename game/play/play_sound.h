#pragma once
// Sounds and music as the play logic asks for them. The play never waits on or reads
// back a sound result, so these only forward to the sound layer's entries, which the
// start-up code plugs in; a null entry (headless runs) or a handle of -1 plays nothing.

// PlaySoundHandle(handle, play type, restart flag) of the sound layer, or a test's
// recorder.
extern int (*g_playSoundHandle)(int handle, int playType, int restart);
// Starts a music file looping; plugged in by the start-up code (PlayMusicFile of the
// sound layer), null in headless runs. Its result is ignored.
extern int (*g_playMusicFile)(const char* path);

// Plays effect `slot` of SoundEffectTable in the background (kPlayBack), restarting it.
void PlayEffect(int slot);

// StopCurrentMusic of the sound layer, or a test's recorder.
extern int (*g_stopMusic)();
// What the scripts call to stop the music now playing; nothing when none plays.
void StopPlayMusic();
