#pragma once
// Sound handles: effects decoded whole into memory buffers, stream sounds fed while
// they play. Every function returns -1 while the sound system is down.

int InitSoundSystem();
int EndSoundSystem();

int AddSoundData(int handle);  // -1: a new handle
int SetSoundHandleVolume(int volume, int handle);  // 0-255; note the order
int StopSoundHandle(int handle);
int CheckSoundHandlePlaying(int handle);  // 1, 0, -1 for a bad handle
int DeleteSoundHandle(int handle);
int DeleteAllSoundHandles();
int GetSoundTotalSamples(int handle);
int GetSoundTotalTime(int handle);    // milliseconds
int GetSoundCurrentTime(int handle);  // milliseconds

// 0 decode into memory, 2 stream from a copy in memory, 3 stream from the open file.
int SetSoundCreateMode(int mode);
int GetSoundCreateMode();
int SetSoundDecoderMask(int mask);
int GetSoundDecoderMask();

int LoadSoundFile(const char* fileName, int bufferCount, int sharedStreamHandle);
int LoadSoundFileEntry(const char* fileName, int bufferCount, int sharedStreamHandle);
int LoadSoundData(const void* image, int size, int bufferCount, int sharedStreamHandle);
// Play types: 0 play and wait while pumping messages, 1 play and return, 3 loop.
int PlaySoundHandle(int handle, int playType, int restartFlag);

// Registers the sound layer with the library: the sound step of the start and end
// and the entries the message pump drives. Called once before InitLibrary.
void RegisterSoundLibrarySteps();
