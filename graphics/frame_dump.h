#pragma once
// Headless checks of the flipped frames, switched on by the environment:
//   DUMP_FRAMES=<folder>   every DUMP_EVERY-th frame (default 60) as frame_NNNNNN.png
//   FRAME_HASH_LOG=<file>  one line "<frame number> <64-bit hash in hex>" per frame
// They exist for tests and for looking at a headless run, not for players.
#include <cstdint>

// A 64-bit hash of an RGB565 picture's visible pixels (row padding is not hashed).
uint64_t HashScreenPixels(const uint16_t* pixels, int pitchBytes, int width, int height);
// Writes an RGB565 picture as an 8-bit RGB PNG. 0, or -1 when the file cannot be written.
int WriteScreenPng(const char* path, const uint16_t* pixels, int pitchBytes, int width, int height);

// Reads the environment once (later calls re-read it: tests change it).
void ConfigureFrameChecks();
// Closes the hash log (graphics end).
void CloseFrameChecks();
// Called by the flip with the frame's number (1 for the first flip).
void RunFrameChecks(int frameNumber, const uint16_t* pixels, int pitchBytes, int width, int height);
