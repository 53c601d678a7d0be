#pragma once
// Movie handles: a movie file opened with the library's Theora decoder, its play time
// kept on the clock or on its own sound, and each new frame handed to a callback (the
// graphics layer's upload into a graph bound to the movie).
#include <cstdint>

#include "image/image_record.h"
#include "movie/theora_movie.h"
#include "platform/util.h"

constexpr int kMovieHandleCapacity = 100;
constexpr int kMovieFileNameCapacity = 260;

struct IGraphBuilder;
struct IMediaControl;
struct IMediaSeeking;
struct IBasicAudio;
class D_CMovieRenderer;

// Where an overlay movie was last shown.
struct MovieOverlayPlacement {
  int32_t x, y, scale, shown;
  Rect source, destination;
};

struct MovieRecord;
using MovieFrameCallback = int (*)(MovieRecord* record, uint32_t userValue);

struct MovieRecord {
  uint32_t checkNumber;    // the handle's bits 16-26
  int32_t playType;        // 1 once, 3 loop (bit 2 means loop); 0 is taken as 1
  int32_t theora;          // 1 when a TheoraMovie decodes it
  TheoraMovie* decoder;
  int64_t startTime;       // microseconds at which frame 0 would have been shown
  FileHandle file;         // held open while the decoder reads it
  int32_t soundHandle;     // the movie's own sound, -1 when none
  IGraphBuilder* graphBuilder;  // a movie played through a media-filter graph
  IMediaControl* mediaControl;
  IMediaSeeking* mediaSeeking;
  IBasicAudio* basicAudio;      // held, not used further
  D_CMovieRenderer* renderer;   // the graph's frame renderer (the graph owns it)
  int64_t duration;             // 100 ns units; a reported 0 is stored as 166666
  uint32_t playTime;       // last computed play time in milliseconds
  int64_t stopPosition;         // 100 ns units
  int32_t frameWidth, frameHeight;
  uint32_t uploadMode;     // copied from the library setting (always 0 here)
  int32_t playRequested;   // 1 when the movie is to play while not paused
  int32_t paused;
  int32_t frameReady;      // 1 after the first frame callback
  int32_t overlay;         // overlay movies are never made here
  int32_t temporary;       // 1 when the graph renders a temporary copy of the file
  char16_t fileName[kMovieFileNameCapacity];  // the name given to the graph
  ImageRecord frameImage;  // a graph movie's frame: the renderer's buffer, borrowed
  ImageRecord* currentFrameImage;  // what the frame callback uploads
  MovieOverlayPlacement overlayPlacement;
  MovieFrameCallback frameCallback;
  uint32_t userValue;
};

// The movie's handle, or -1 (the out pointers may be null; `mode` has no effect). Ogg
// Theora files are decoded by the library itself, anything else through a media-filter
// graph; a file neither can play fails with -1 and a log line.
int OpenMovie(const char* fileName, int* width, int* height, int mode);
int CloseMovieHandle(int handle);
MovieRecord* GetMovieRecord(int handle);
// Moves the movie to the frame its time asks for and hands the frame to the callback.
// 0, also for an invalid handle.
int UpdateMovieFrame(int handle, int ignored);
int SetMovieCallback(int handle, MovieFrameCallback function, uint32_t userValue);
int PauseMovieHandle(int handle, int keepRequest);
int ResumeAllMovies();
int PauseAllMovies();
int DrawAllMovies();
int DrawMovieToRect(int x, int y, double scale, int handle, int show);

// The clock movies without sound run on (microseconds); null restores GetTimeUs.
void SetMovieClock(int64_t (*now)());

