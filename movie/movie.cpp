#include "movie/movie.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/dshow/interfaces.h"
#include "movie/graph_movie.h"
#include "platform/alloc.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/util.h"
#include "sound/decoders/sound_converter.h"
#include "sound/sound.h"

namespace {

constexpr int kMovieStockSize = 10;

// A new movie takes the first free slot, unlike graphs and sounds.
TypedHandleTable<MovieRecord> g_movies(kMovieHandleType, kMovieHandleCapacity, HandleSlotOrder::kFirstFree);
int64_t (*g_movieClock)() = GetTimeUs;

bool Loops(const MovieRecord* r) { return (r->playType & 2) != 0; }

enum class VorbisStream { kHeld, kNone, kUnknown };

// Whether an Ogg file holds an Ogg Vorbis stream. Every stream of an Ogg file starts
// on a page flagged as its first, all of them before any other page, and a Vorbis
// stream's first packet is its identification header "\x01vorbis". Anything else in
// the way leaves the question open.
VorbisStream FindVorbisStream(const char* fileName) {
  const FileHandle f = g_fileAccessTable.open(fileName, 0, 1, 0);
  if (f == 0) return VorbisStream::kUnknown;
  VorbisStream found = VorbisStream::kUnknown;
  for (int page = 0; page < 256 && found == VorbisStream::kUnknown; ++page) {
    uint8_t head[27];
    if (g_fileAccessTable.read(head, 1, sizeof head, f) != sizeof head || std::memcmp(head, "OggS", 4) != 0) break;
    if ((head[5] & 2) == 0) {
      found = page > 0 ? VorbisStream::kNone : VorbisStream::kUnknown;
      break;
    }
    uint8_t lacing[255];
    const size_t segments = head[26];
    if (g_fileAccessTable.read(lacing, 1, segments, f) != segments) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += lacing[i];
    uint8_t start[7] = {};
    const size_t got = g_fileAccessTable.read(start, 1, std::min<size_t>(sizeof start, body), f);
    if (got == sizeof start && std::memcmp(start, "\x01vorbis", 7) == 0) found = VorbisStream::kHeld;
    if (body > got) g_fileAccessTable.seek(f, static_cast<int64_t>(body - got), 1);
  }
  g_fileAccessTable.close(f);
  return found;
}

// `pausing`: the movie's sound was just stopped by a pause, not by its end.
void UpdateTheoraFrame(MovieRecord* r, bool pausing) {
  TheoraMovieInfo info;
  GetTheoraMovieInfo(r->decoder, &info);
  if (!r->paused) {
    int64_t elapsed;
    int frame;
    bool soundEnded = false;
    if (r->soundHandle == -1) {
      elapsed = g_movieClock() - r->startTime;
      frame = DoubleToInt(static_cast<double>(elapsed) * info.framesPerSecond / 1000000.0);
      if (frame >= info.frameCount) frame = Loops(r) ? frame % info.frameCount : info.frameCount - 1;
    } else {
      elapsed = static_cast<int64_t>(GetSoundCurrentTime(r->soundHandle)) * 1000;
      // A sound played to its end has stopped and reads 0 again (asked after its time,
      // so an end in between is seen here): the picture is the one at the sound's end.
      soundEnded = !pausing && CheckSoundHandlePlaying(r->soundHandle) == 0;
      if (soundEnded) elapsed = static_cast<int64_t>(GetSoundTotalTime(r->soundHandle)) * 1000;
      frame = DoubleToInt(static_cast<double>(elapsed) * info.framesPerSecond / 1000000.0);
      if (frame > info.frameCount - 1) frame = info.frameCount - 1;
    }
    if (frame < 0) frame = 0;  // a clock set back before the start shows frame 0
    const int current = GetTheoraCurrentFrame(r->decoder);
    const int d = frame - current;
    // A sound that cannot tell its time (a failed call) moves nothing: no wrap to 0.
    const bool timeKnown = r->soundHandle == -1 || elapsed >= 0;
    if (d != 0 && timeKnown) {
      // Always forward, through the wrap, never backwards.
      AdvanceTheoraFrames(r->decoder, d > 0 ? d : info.frameCount - current + frame);
      r->playTime = static_cast<uint32_t>(elapsed / 1000);
    } else if (frame == info.frameCount - 1 && !Loops(r) && r->soundHandle == -1) {
      r->playRequested = 0;
      r->paused = 1;
    }
    // The sound is the movie's clock: when it has ended, so has the movie.
    if (soundEnded) {
      r->playRequested = 0;
      r->paused = 1;
    }
  }
  if (r->frameCallback != nullptr) {
    r->frameCallback(r, r->userValue);
    r->frameReady = 1;
  }
}

// The Theora movie's own sound as a streamed Ogg Vorbis sound handle, or -1.
int LoadMovieSound(const char* fileName) {
  constexpr int kStreamedCreateMode = 3;
  constexpr int kOnlyOggVorbisMask = -5;
  // A movie without sound is no failed sound load: asking the sound layer would log
  // a WAVE file that could not be set up, under a name that may be an image's.
  if (FindVorbisStream(fileName) == VorbisStream::kNone) {
    WriteLogFormat("%s: opened as a Theora movie without an Ogg Vorbis stream; it shows without sound", fileName);
    return -1;
  }
  const int createMode = GetSoundCreateMode();
  const int decoderMask = GetSoundDecoderMask();
  MovieSoundFlag = 1;
  SetSoundCreateMode(kStreamedCreateMode);
  SetSoundDecoderMask(kOnlyOggVorbisMask);
  const int sound = LoadSoundFileEntry(fileName, 1, -1);
  SetSoundDecoderMask(decoderMask);
  MovieSoundFlag = 0;
  SetSoundCreateMode(createMode);
  if (sound == -1)
    WriteLogFormat("%s: the Ogg Vorbis sound of this Theora movie could not be set up; it shows without sound",
                   fileName);
  return sound;
}

// Everything a movie holds, then the record itself.
void FreeMovie(MovieRecord* r) {
  if (r->theora) {
    CloseTheoraMovie(r->decoder);
    if (r->file != 0) g_fileAccessTable.close(r->file);
    if (r->soundHandle != -1) DeleteSoundHandle(r->soundHandle);
    r->decoder = nullptr;
    r->file = 0;
    r->soundHandle = -1;
    r->theora = 0;
  }
  ReleaseMovieGraph(r);
  TrackedFree(r);
}

}  // namespace

void SetMovieClock(int64_t (*now)()) { g_movieClock = now != nullptr ? now : GetTimeUs; }

int OpenMovie(const char* fileName, int* width, int* height, int /*mode*/) {
  if (fileName == nullptr || g_movies.count() >= g_movies.capacity()) return -1;
  auto* r = static_cast<MovieRecord*>(TrackedAllocZeroed(sizeof(MovieRecord), "", 0));
  if (r == nullptr) return WriteLog("メモリの確保に失敗しました in OpenMovie\n");
  r->uploadMode = 0;
  r->soundHandle = -1;

  r->file = g_fileAccessTable.open != nullptr ? g_fileAccessTable.open(fileName, 0, 1, 0) : 0;
  const bool readable = r->file != 0;
  if (readable) {
    r->decoder = OpenTheoraMovie(&g_fileAccessTable, r->file, kMovieStockSize);
    if (r->decoder == nullptr) {
      g_fileAccessTable.close(r->file);
      r->file = 0;
    }
  }

  if (r->decoder != nullptr) {
    r->soundHandle = LoadMovieSound(fileName);
    TheoraMovieInfo info;
    GetTheoraMovieInfo(r->decoder, &info);
    r->frameWidth = info.width;
    r->frameHeight = info.height;
    if (width != nullptr) *width = info.width;
    if (height != nullptr) *height = info.height;
    r->theora = 1;
    r->currentFrameImage = GetTheoraInfoPtr(r->decoder);
    r->overlay = 0;
  } else {
    r->temporary = 0;
    if (BuildMovieGraph(r, fileName, width, height, readable) == -1) {
      TrackedFree(r);
      return WriteLog("ムービーファイルオープン処理時にエラーが発生しました\n");
    }
    r->currentFrameImage = &r->frameImage;
  }

  r->paused = 1;
  r->playRequested = 0;
  r->playType = 1;
  const int handle = g_movies.Add(r);
  if (handle == -1) {
    FreeMovie(r);
    return -1;
  }
  r->checkNumber = (handle >> kHandleCheckShift) & kHandleCheckMask;
  return handle;
}

int CloseMovieHandle(int handle) {
  MovieRecord* r = g_movies.Get(handle);
  if (r == nullptr) return -1;
  // The handle stays valid while the decoder, sound and graph are let go.
  FreeMovie(r);
  g_movies.Remove(handle);
  return 0;
}

MovieRecord* GetMovieRecord(int handle) { return g_movies.Get(handle); }

int UpdateMovieFrame(int handle, int /*ignored*/) {
  MovieRecord* r = g_movies.Get(handle);
  if (r == nullptr) return 0;
  if (r->theora) {
    UpdateTheoraFrame(r, false);
  } else {
    UpdateGraphMovieFrame(r);
  }
  return 0;
}

int SetMovieCallback(int handle, MovieFrameCallback function, uint32_t userValue) {
  MovieRecord* r = g_movies.Get(handle);
  if (r == nullptr) return -1;
  r->frameCallback = function;
  r->userValue = userValue;
  return 0;
}

int PauseMovieHandle(int handle, int keepRequest) {
  MovieRecord* r = g_movies.Get(handle);
  if (r == nullptr) return -1;
  if (r->paused) return 0;
  if (r->theora) {
    if (r->soundHandle != -1) StopSoundHandle(r->soundHandle);
    UpdateTheoraFrame(r, true);
  } else if (r->mediaControl != nullptr) {
    // A graph that fails to pause has stopped: it is not playing either way.
    if (FAILED(r->mediaControl->Pause())) WriteLog("ムービーの一時停止に失敗しました\n");
  } else {
    return 0;
  }
  r->paused = 1;
  if (keepRequest == 0) r->playRequested = 0;
  return 0;
}

int PauseAllMovies() {
  for (int slot = 0; slot < g_movies.capacity(); ++slot) {
    const int handle = g_movies.HandleAt(slot);
    if (handle != -1) PauseMovieHandle(handle, 1);
  }
  return 0;
}

int ResumeAllMovies() {
  for (int slot = 0; slot < g_movies.capacity(); ++slot) {
    MovieRecord* r = g_movies.RecordAt(slot);
    if (r == nullptr || !r->paused || !r->playRequested) continue;
    int playType = r->playType == 0 ? 1 : r->playType;
    if (r->theora) {
      TheoraMovieInfo info;
      GetTheoraMovieInfo(r->decoder, &info);
      // 64-bit: a movie resumed after half an hour would overflow a 32-bit count.
      const double shown = 1000000.0 / info.framesPerSecond * GetTheoraCurrentFrame(r->decoder);
      r->startTime = g_movieClock() - std::llrint(shown);
      if (r->soundHandle != -1) PlaySoundHandle(r->soundHandle, playType, 0);
    } else if (r->mediaControl != nullptr && FAILED(r->mediaControl->Run())) {
      // Left paused with its request, so the next resume tries again.
      WriteLog("ムービーの再生を開始できませんでした\n");
      continue;
    }
    r->paused = 0;
    r->playType = playType;
    r->playRequested = 1;
  }
  return 0;
}

int DrawMovieToRect(int /*x*/, int /*y*/, double /*scale*/, int handle, int /*show*/) {
  if (g_movies.Get(handle) == nullptr) return -1;
  // Only overlay movies draw here, and this build makes none.
  return 0;
}

int DrawAllMovies() {
  for (int slot = 0; slot < g_movies.capacity(); ++slot) {
    const MovieRecord* r = g_movies.RecordAt(slot);
    if (r == nullptr || r->theora || !r->overlay) continue;
    const MovieOverlayPlacement& at = r->overlayPlacement;
    DrawMovieToRect(at.x, at.y, at.scale, g_movies.HandleAt(slot), at.shown);
  }
  return 0;
}
