#pragma once
// The library's own Ogg Theora decoder. A movie file is indexed page by page at open;
// one decode thread per movie keeps a stock of decoded frames around the current
// frame, and the caller turns the current frame into a 32-bit XRGB image on demand.
#include <ogg/ogg.h>
#include <theora/theora.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "host/kernel/sync.h"
#include "host/kernel/thread.h"
#include "image/image_record.h"
#include "platform/file.h"

enum TheoraDecodeState : int {
  kTheoraIdle = 0,      // the stock is full
  kTheoraDecoding = 1,
  kTheoraSeeking = 2,
  kTheoraEnded = 3,
  kTheoraPaused = 4,
};

struct TheoraPageEntry {
  uint32_t offset;     // byte offset of the page in the file
  int32_t firstFrame;  // first frame that completes on the page
  int32_t keyFrame;    // 1 when a key frame completes on the page
  int32_t frameCount;  // frames that complete on the page
};

struct TheoraFrameStockEntry {
  std::atomic<int> inUse;  // written by the thread under the stock lock
  std::atomic<int> frame;
  // Set by the caller, under the stock lock, while it converts the entry outside the
  // lock: the thread stores no picture into it meanwhile, even once it is freed.
  std::atomic<int> reading;
  uint8_t* planes[3];      // Y, U, V copies of stride x height bytes
  size_t planeBytes[3];    // each plane's own allocation: U and V may differ from Y
  int yWidth, yHeight, yStride;
  int uvWidth, uvHeight, uvStride;
};

// A wake-up between the caller and the decode thread, in place of a fixed sleep: a
// waiter takes the count, checks its condition, then waits until the count moves or
// the time runs out, so a raise between the check and the wait is not missed.
class TheoraWake {
 public:
  uint32_t Count() const { return count_.load(); }
  void Raise() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      count_.fetch_add(1);
    }
    moved_.notify_all();
  }
  void WaitPast(uint32_t seen, uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    moved_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return count_.load() != seen; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable moved_;
  std::atomic<uint32_t> count_{0};
};

struct TheoraMovieInfo {
  double framesPerSecond;
  int frameCount;
  int width;   // coded width and height of the stream
  int height;
};

struct TheoraMovie {
  // Requests and state words shared with the decode thread.
  std::atomic<int> state;
  std::atomic<int> pauseRequest;
  // Each pause request carries a number the thread echoes once it is parked: a state
  // word still 4 from an earlier pause proves nothing.
  std::atomic<int> pauseNumber;
  std::atomic<int> pauseSeen;
  std::atomic<int> stopRequest;
  std::atomic<int> seekRequest;
  std::atomic<int> seekTarget;
  std::atomic<int> endOfFile;
  HostThread* thread;
  TheoraWake wakeThread;  // raised by the caller on every request and move of the frame
  TheoraWake wakeCaller;  // raised by the thread when a seek ends or a frame is stored

  FileAccessTable files;  // a copy of the table given at open
  FileHandle file;

  ogg_sync_state sync;
  ogg_page page;
  ogg_stream_state stream;
  ogg_packet packet;
  int streamInitialised;
  theora_info info;
  theora_comment comment;
  theora_state decoder;
  int decoderInitialised;
  // Thread only: 1 while the decoder holds a picture decoded since the last restart.
  // Its row pointers are not worth reading before that (nothing decoded, or a frame
  // from before the restart).
  int pictureDecoded;
  // Written by the thread only: the wake count at the start of its current pass.
  std::atomic<uint32_t> passWake;
  int serialNumber;

  TheoraPageEntry* pages;
  int pageCount;
  int pageCapacity;
  uint8_t* keyFrames;  // one byte per frame: 1 for a key frame
  int keyFrameCapacity;
  int frameCount;

  std::atomic<int> currentFrame;     // written by the caller only; -1 before the first seek
  std::atomic<int> decoderPosition;  // frame the decoder holds, written by the thread only
  int headerCount;

  TheoraFrameStockEntry* stock;
  int stockSize;
  // Guards the stock entries: the thread frees and fills entries under it, and the
  // caller finds the current frame under it and marks the entry it then converts
  // outside the lock, so the thread decodes on meanwhile.
  CriticalSection stockLock;
  // Under the stock lock: 1 when the thread found no room but an entry being read.
  std::atomic<int> roomBeingRead;
  // The decoder's own picture, lent to a caller that waits for exactly that frame in
  // place of a copy into the stock: its planes point into the decoder, and the thread
  // takes it back (waiting while it is read) before it decodes again. The caller
  // clears its in-use flag once converted. Under the stock lock, as the stock.
  TheoraFrameStockEntry lent;
  std::atomic<int> lentAwaited;  // 1 when the thread waits for the reading to end
  std::atomic<int> waitedFrame;  // written by the caller: the frame it waits for, or -1

  ImageRecord frameImage;  // the current frame as 32-bit XRGB
  int imageCurrent;
  // The thread counts each frame it cannot store (no memory, no picture, a picture that
  // is not the stream's) and names the last one, -1 after a store: a caller that sees
  // a new failure of the frame it waits for stops waiting and keeps the last frame.
  std::atomic<int> failedFrame;
  std::atomic<int> failures;
  int stallLogged;  // caller only: the stall has been logged once
};

// Builds the YUV-to-RGB tables; run once at library start. Returns 0.
int InitYuvTables();

// The movie read through `files` from `file` (left open; the caller closes it), with
// a stock of `stockSize` decoded frames; null when the file is no Ogg Theora movie or
// a resource cannot be had (logged).
TheoraMovie* OpenTheoraMovie(const FileAccessTable* files, FileHandle file, int stockSize);
// Ends the decode thread and frees the movie. Returns 0.
int CloseTheoraMovie(TheoraMovie* movie);
// Makes `frame` (clamped to the movie) the current frame. Returns 0.
int SeekTheoraFrame(TheoraMovie* movie, int frame);
// Moves the current frame forward by `n`, wrapping once past the end. Returns 0.
int AdvanceTheoraFrames(TheoraMovie* movie, int n);
// Converts the current frame into the frame image when wanted and not yet done:
// 1 when it converted, 0 otherwise. A frame the thread cannot supply, or does not
// supply within a second, is logged once and the image keeps the last frame. There is
// no Direct3D device here, so a wanted surface never counts.
int GetTheoraFrameImage(TheoraMovie* movie, int wantImage, int wantSurface);
int GetTheoraMovieInfo(TheoraMovie* movie, TheoraMovieInfo* info);
int GetTheoraCurrentFrame(TheoraMovie* movie);
ImageRecord* GetTheoraInfoPtr(TheoraMovie* movie);
// The off-screen YUV surface of the Direct3D path: never made here, so null.
void* GetTheoraSurface(TheoraMovie* movie);

// Copies a decoded picture into a stock entry, each plane into an allocation of its
// own size; 0, or -1 when a plane cannot be had (the entry then holds no picture).
int CopyTheoraPicture(TheoraFrameStockEntry* entry, const yuv_buffer* picture);

// Tests: the millisecond clock the frame wait is bounded by (null: the host's), and an
// injected fault in storing frames (0 none, 1 stores fail and are reported, 2 the
// thread stores nothing and says nothing, as a stuck thread would).
void SetTheoraWaitClock(uint32_t (*nowMs)());
void InjectTheoraStoreFault(int fault);

// The conversion tables, in units of 1/16384 (exposed for tests).
extern int YuvClampTable[1280];  // index + 512
extern int YuvCoefficientTables[5][256];  // R from V, G from U, G from V, B from U, Y
