#pragma once
// What the movie graph fuzzer does with each input, shared with the test that replays
// the files it once crashed on: open the file with OpenMovie (the Theora decoder
// refuses what is no Ogg Theora, so the graph over FFmpeg's file source takes it), run
// it without a clock towards its end with every frame handed to `onFrame`, seek back
// to its middle, run again, and close it. The sound goes to the manual speaker.
#include "host/audio/output.h"
#include "host/dshow/interfaces.h"
#include "movie/movie.h"

// Runs the graph until it completes or `waits` short waits have passed; the manual
// speaker plays a second of sound at each, so that the sound renderer reaches its end.
inline void RunGraphMovieBriefly(int movie, MovieRecord* r, IMediaEvent* events, int waits) {
  r->mediaControl->Run();
  for (int i = 0; i < waits; ++i) {
    int32_t code = 0;
    if (events->WaitForCompletion(1, &code) == S_OK && code == EC_COMPLETE) break;
    if (ManualAudioOutput* speaker = CurrentManualAudioOutput()) speaker->Advance(48000);
    UpdateMovieFrame(movie, 0);
  }
  UpdateMovieFrame(movie, 0);
}

// The whole round for `path`; false when OpenMovie refused it. Needs the system filters
// registered, plain file access and the manual audio output.
inline bool PlayAndSeekGraphMovie(const char* path, int (*onFrame)(MovieRecord*, uint32_t)) {
  const int movie = OpenMovie(path, nullptr, nullptr, 0);
  if (movie == -1) return false;
  MovieRecord* r = GetMovieRecord(movie);
  if (r->graphBuilder != nullptr) {
    IMediaFilter* filter = nullptr;
    IMediaEvent* events = nullptr;
    if (SUCCEEDED(r->graphBuilder->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter)))) {
      filter->SetSyncSource(nullptr);  // as fast as the filters go
      filter->Release();
    }
    if (SUCCEEDED(r->graphBuilder->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)))) {
      SetMovieCallback(movie, onFrame, 0);
      RunGraphMovieBriefly(movie, r, events, 40);
      int64_t middle = r->duration / 2;
      r->mediaSeeking->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
      RunGraphMovieBriefly(movie, r, events, 10);
      r->mediaControl->Pause();
      events->Release();
    }
  }
  CloseMovieHandle(movie);
  return true;
}
