#pragma once
// Music: one piece at a time, MIDI through the sequencer or else a stream sound.

int AddMusicData();
int CreateMusicFromMemory(const void* image, int size);
int LoadMusicMem(const char* fileName);
int PlayMusicHandle(int handle, int playType);
int StopMusicHandle(int handle);
int GetMusicHandleState(int handle);
int DeleteMusicHandle(int handle);
int DeleteAllMusicHandles();
int OnMciMusicNotify();
int PlayMusicFile(const char* fileName, int playType);
int StopCurrentMusic();
int SetMusicVolume(int volume);
int ProcessMusicStates();

// Internal: the current music, for the tests (handle, 1 when it is a sound handle).
int GetCurrentMusic(int* isSound);
// Internal: sound-system end deletes every music handle and the temporary MIDI file.
void EndMusicSystem();
