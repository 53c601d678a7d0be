#include "movie/theora_movie.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "host/kernel/time.h"
#include "movie/yuv_convert.h"
#include "platform/alloc.h"
#include "platform/log.h"

int YuvClampTable[1280];
int YuvCoefficientTables[5][256];

namespace {

enum { kRFromV, kGFromU, kGFromV, kBFromU, kY };
constexpr int kFeedSize = 4096;
constexpr int kTableGrowth = 1000;
constexpr uint32_t kFrameWaitLimitMs = 1000;
// The longest a hand-off wait sleeps before it looks again. Every change the other side
// waits for is raised, so this is a safety net; a wait of a millisecond would arm a
// timer that costs more than the hand-off itself.
constexpr uint32_t kHandOffWaitMs = 10;

uint32_t (*g_waitClock)() = HostTimeMs;
std::atomic<int> g_storeFault{0};

int FeedTheoraData(TheoraMovie* m, int size) {
  char* buffer = ogg_sync_buffer(&m->sync, size);
  const size_t got = m->files.read(buffer, 1, static_cast<size_t>(size), m->file);
  ogg_sync_wrote(&m->sync, static_cast<long>(got));
  return static_cast<int>(got);
}

// The next page of the file into m->page, feeding data as needed; false at the end of
// the file. Bytes skipped on the way are no end: the page after them may be buffered.
bool TakePage(TheoraMovie* m) {
  for (;;) {
    const int got = ogg_sync_pageout(&m->sync, &m->page);
    if (got > 0) return true;
    if (got == 0 && FeedTheoraData(m, kFeedSize) == 0) return false;
  }
}

int ReadTheoraHeaders(TheoraMovie* m) {
  // Beginning-of-stream pages: the first stream whose first packet is a Theora header.
  for (bool searching = true; searching;) {
    if (!TakePage(m)) return -1;
    if (!ogg_page_bos(&m->page)) {
      if (m->headerCount == 0) return -1;
      ogg_stream_pagein(&m->stream, &m->page);
      break;
    }
    ogg_stream_state trial;
    ogg_stream_init(&trial, ogg_page_serialno(&m->page));
    ogg_stream_pagein(&trial, &m->page);
    if (ogg_stream_packetout(&trial, &m->packet) == 1 &&
        theora_decode_header(&m->info, &m->comment, &m->packet) >= 0) {
      m->stream = trial;
      m->streamInitialised = 1;
      m->serialNumber = ogg_page_serialno(&m->page);
      m->headerCount = 1;
      searching = false;
    } else {
      ogg_stream_clear(&trial);
    }
  }
  while (m->headerCount < 3) {
    const int got = ogg_stream_packetout(&m->stream, &m->packet);
    if (got < 0) return -1;
    if (got > 0) {
      if (theora_decode_header(&m->info, &m->comment, &m->packet) < 0) return -1;
      ++m->headerCount;
      continue;
    }
    if (!TakePage(m)) return -1;
    ogg_stream_pagein(&m->stream, &m->page);  // pages of other streams are refused
  }
  return 1;
}

void RestartReadingAt(TheoraMovie* m, uint32_t offset) {
  m->pictureDecoded = 0;
  ogg_sync_reset(&m->sync);
  ogg_stream_reset(&m->stream);
  m->files.seek(m->file, offset, 0);
}

template <class T>
bool GrowTable(T** table, int* capacity) {
  void* grown = TrackedRealloc(*table, sizeof(T) * static_cast<size_t>(*capacity + kTableGrowth), "", 0);
  if (grown == nullptr) return false;
  *table = static_cast<T*>(grown);
  *capacity += kTableGrowth;
  return true;
}

// Reads the whole file once and records every page on which a data packet completes
// and every key frame. False when a table cannot grow.
bool IndexTheoraFile(TheoraMovie* m) {
  uint32_t offset = 0, lastPageOffset = 0;
  bool pageSinceEntry = false;
  for (;;) {
    long seek;
    while ((seek = ogg_sync_pageseek(&m->sync, &m->page)) != 0) {
      if (seek < 0) {  // bytes skipped while looking for a page
        offset += static_cast<uint32_t>(-seek);
        continue;
      }
      lastPageOffset = offset;
      offset += static_cast<uint32_t>(seek);
      pageSinceEntry = true;
      ogg_stream_pagein(&m->stream, &m->page);
      int got;
      while ((got = ogg_stream_packetout(&m->stream, &m->packet)) != 0) {
        if (got < 0) continue;
        const int key = theora_packet_iskeyframe(&m->packet);
        if (key < 0) continue;  // a header packet
        if (pageSinceEntry) {
          if (m->pageCount == m->pageCapacity && !GrowTable(&m->pages, &m->pageCapacity)) return false;
          m->pages[m->pageCount++] = {lastPageOffset, m->frameCount, 0, 0};
          pageSinceEntry = false;
        }
        if (m->frameCount == m->keyFrameCapacity && !GrowTable(&m->keyFrames, &m->keyFrameCapacity))
          return false;
        m->keyFrames[m->frameCount] = key == 1 ? 1 : 0;
        if (key == 1) m->pages[m->pageCount - 1].keyFrame = 1;
        ++m->frameCount;
        ++m->pages[m->pageCount - 1].frameCount;
      }
    }
    if (FeedTheoraData(m, kFeedSize) == 0) return true;
  }
}

// Ends the loan of the decoder's picture, first waiting while the caller converts it.
// An unread loan is dropped: the thread decodes on only once the frame it holds is no
// longer shown, is in the stock or is decoded again after a restart.
void TakeBackLentPicture(TheoraMovie* m) {
  for (;;) {
    const uint32_t seen = m->wakeThread.Count();
    {
      CriticalSectionGuard guard(m->stockLock);
      if (!m->lent.reading.load(std::memory_order_relaxed)) {
        m->lent.inUse.store(0, std::memory_order_relaxed);
        return;
      }
      m->lentAwaited.store(1, std::memory_order_relaxed);
    }
    m->wakeThread.WaitPast(seen, kHandOffWaitMs);
  }
}

// Reads `n` data packets, decoding only from the last key frame among them on.
// 1 when the last packet is a key frame, 0 when not, -1 when the data ran out.
int StepTheoraFrames(TheoraMovie* m, int n) {
  if (n <= 0) return 0;
  TakeBackLentPicture(m);  // the packets below overwrite the decoder's picture
  int position = m->decoderPosition.load(std::memory_order_relaxed);
  int lastKey = -1;
  for (int f = position + 1; f <= position + n && f < m->frameCount; ++f)
    if (f >= 0 && m->keyFrames[f]) lastKey = f;
  int result = 0;
  for (int done = 0; done < n;) {
    const int got = ogg_stream_packetout(&m->stream, &m->packet);
    if (got == 0) {
      // Nothing more can be read, whatever end-of-file says: never spin here.
      if (!TakePage(m)) return -1;
      ogg_stream_pagein(&m->stream, &m->page);
      continue;
    }
    if (got < 0) continue;
    const int key = theora_packet_iskeyframe(&m->packet);
    if (key < 0) continue;
    // An empty packet repeats the picture before it and a refused one leaves the last
    // picture in place: only a decoded packet makes a picture of its own.
    if ((lastKey < 0 || lastKey <= position + 1) && theora_decode_packetin(&m->decoder, &m->packet) == 0 &&
        m->packet.bytes > 0)
      m->pictureDecoded = 1;
    ++position;
    m->decoderPosition.store(position, std::memory_order_relaxed);
    ++done;
    result = key == 1 ? 1 : 0;
  }
  return result;
}

bool StockHolds(TheoraMovie* m, int frame) {
  for (int i = 0; i < m->stockSize; ++i)
    if (m->stock[i].inUse.load(std::memory_order_relaxed) && m->stock[i].frame.load(std::memory_order_relaxed) == frame)
      return true;
  return false;
}

void ClearStock(TheoraMovie* m) {
  CriticalSectionGuard guard(m->stockLock);
  for (int i = 0; i < m->stockSize; ++i) m->stock[i].inUse.store(0, std::memory_order_relaxed);
  m->lent.inUse.store(0, std::memory_order_relaxed);
}

// Restarts one page before the nearest key-frame page at or before the target's page
// and steps until the decoder holds the target; the stock is emptied. False when the
// data ran out.
bool DecodeFrameAfterRestart(TheoraMovie* m, int target) {
  int page = 0;
  while (page < m->pageCount && m->pages[page].firstFrame + m->pages[page].frameCount <= target) ++page;
  int start = page - 1;
  while (start > 0 && !m->pages[start].keyFrame) --start;
  start = start - 1 < 0 ? 0 : start - 1;
  RestartReadingAt(m, m->pages[start].offset);
  int counter = m->pages[start].firstFrame;
  bool ranOut = false;
  if (start != 0) {
    // A packet continued from the page before is dropped by the stream.
    ranOut = !TakePage(m);
    if (!ranOut) {
      if (ogg_page_continued(&m->page)) ++counter;
      ogg_stream_pagein(&m->stream, &m->page);
    }
  }
  m->decoderPosition.store(counter - 1, std::memory_order_relaxed);
  if (!ranOut && StepTheoraFrames(m, target - (counter - 1)) < 0) ranOut = true;
  if (ranOut) m->pictureDecoded = 0;  // what the decoder holds is not the target
  ClearStock(m);
  m->decoderPosition.store(target, std::memory_order_relaxed);
  return !ranOut;
}

void SeekInThread(TheoraMovie* m) {
  const bool ok = DecodeFrameAfterRestart(m, m->seekTarget.load());
  m->seekRequest.store(0);
  m->endOfFile.store(ok ? 0 : 1);
}

// Copies the `width` bytes of each row the decoder reports, nothing around them.
bool CopyPlane(uint8_t** copy, size_t* bytes, const unsigned char* source, int width, int height, int stride) {
  const int rowBytes = stride < 0 ? -stride : stride;
  if (source == nullptr || width <= 0 || height <= 0 || rowBytes < width) return false;
  const size_t need = static_cast<size_t>(rowBytes) * static_cast<size_t>(height);
  if (*copy == nullptr || *bytes != need) {
    TrackedFree(*copy);
    *copy = static_cast<uint8_t*>(TrackedAlloc(need, "", 0));
    *bytes = *copy != nullptr ? need : 0;
  }
  if (*copy == nullptr) return false;
  for (int row = 0; row < height; ++row)
    std::memcpy(*copy + static_cast<ptrdiff_t>(row) * rowBytes, source + static_cast<ptrdiff_t>(row) * stride,
                static_cast<size_t>(width));
  return true;
}

// Stores the picture the decoder holds as frame `frame` in a free stock entry; false
// when it cannot.
bool StoreDecodedFrame(TheoraMovie* m, int frame) {
  if (g_storeFault.load() != 0 || !m->pictureDecoded) return false;
  yuv_buffer yuv;
  if (theora_decode_YUVout(&m->decoder, &yuv) != 0) return false;
  // The picture is the stream's coded size, chroma as its pixel format says.
  const int w = static_cast<int>(m->info.width), h = static_cast<int>(m->info.height);
  const int format = m->info.pixelformat;
  if (yuv.y_width != w || yuv.y_height != h || yuv.uv_width != (format == OC_PF_444 ? w : w / 2) ||
      yuv.uv_height != (format == OC_PF_420 ? h / 2 : h))
    return false;
  CriticalSectionGuard guard(m->stockLock);
  TheoraFrameStockEntry& lent = m->lent;
  if (m->waitedFrame.load() == frame && !lent.inUse.load(std::memory_order_relaxed) &&
      !lent.reading.load(std::memory_order_relaxed)) {
    // The caller wants this very picture now: it reads the decoder's planes, no copy.
    lent.planes[0] = yuv.y, lent.planes[1] = yuv.u, lent.planes[2] = yuv.v;
    lent.yWidth = yuv.y_width, lent.yHeight = yuv.y_height, lent.yStride = yuv.y_stride;
    lent.uvWidth = yuv.uv_width, lent.uvHeight = yuv.uv_height, lent.uvStride = yuv.uv_stride;
    lent.frame.store(frame, std::memory_order_relaxed);
    lent.inUse.store(1, std::memory_order_relaxed);
    return true;
  }
  for (int i = 0; i < m->stockSize; ++i) {
    TheoraFrameStockEntry& e = m->stock[i];
    if (e.inUse.load(std::memory_order_relaxed) || e.reading.load(std::memory_order_relaxed)) continue;
    if (CopyTheoraPicture(&e, &yuv) != 0) return false;
    e.frame.store(frame, std::memory_order_relaxed);
    e.inUse.store(1, std::memory_order_relaxed);
    return true;
  }
  return true;  // no free entry: nothing to supply yet
}

// The thread has nothing to do until the caller asks for something: it waits for the
// caller's next request, counting from the start of the pass.
void IdleThread(TheoraMovie* m) { m->wakeThread.WaitPast(m->passWake.load(), kHandOffWaitMs); }

// Stepping ran out of data: the caller waiting for a frame learns at once.
void DataRanOut(TheoraMovie* m) {
  m->endOfFile.store(1);
  m->wakeCaller.Raise();
  IdleThread(m);
}

// Stores the decoder's picture, reporting to the caller whether that could be done.
void SupplyFrame(TheoraMovie* m, int frame) {
  if (g_storeFault.load() == 2) {
    HostSleep(1);
    return;
  }
  const bool stored = StoreDecodedFrame(m, frame);
  m->failedFrame.store(stored ? -1 : frame);
  if (!stored) m->failures.fetch_add(1);
  m->wakeCaller.Raise();
  // A failing store is retried, but not in a tight loop. A stored frame does not yield:
  // with other work ready on this processor a yield can cost the thread a whole time
  // slice per frame, and the next pass waits anyway once the stock is full.
  if (!stored) HostSleep(1);
}

// One pass of filling the stock around the current frame.
void FillStock(TheoraMovie* m) {
  const int n = m->stockSize, count = m->frameCount;
  const int c = m->currentFrame.load();
  int position = m->decoderPosition.load(std::memory_order_relaxed);
  bool haveFree = false, holdsCurrent = false, jumpToCurrent = false;
  {
    CriticalSectionGuard guard(m->stockLock);
    for (int i = 0; i < n; ++i) {
      TheoraFrameStockEntry& e = m->stock[i];
      if (!e.inUse.load(std::memory_order_relaxed)) continue;
      const int f = e.frame.load(std::memory_order_relaxed);
      if (!m->endOfFile.load()) {
        const bool keep = f < c ? (c + n >= count && f <= c + n - count) : !(f > position && f > c + n);
        if (!keep) e.inUse.store(0, std::memory_order_relaxed);
      }
      if (e.inUse.load(std::memory_order_relaxed) && f == c) holdsCurrent = true;
    }
    // An entry the caller is still converting is no room yet.
    auto reading = [&](int i) { return m->stock[i].reading.load(std::memory_order_relaxed) != 0; };
    bool roomBeingRead = false;
    for (int i = 0; i < n && !haveFree; ++i) {
      const bool free = !m->stock[i].inUse.load(std::memory_order_relaxed);
      haveFree = free && !reading(i);
      roomBeingRead = roomBeingRead || (free && reading(i));
    }
    // The end of that reading is then worth a wake-up (under the lock, as is the end).
    m->roomBeingRead.store(!haveFree && roomBeingRead ? 1 : 0, std::memory_order_relaxed);
    // A stock filled with frames the window keeps but not with the current one (a jump
    // across the wrap) would wait for ever: make room for the current frame.
    if (!haveFree && !holdsCurrent && c >= 0 && !m->endOfFile.load()) {
      int farthest = -1, distance = -1;
      for (int i = 0; i < n; ++i) {
        const int d = ((m->stock[i].frame.load(std::memory_order_relaxed) - c) % count + count) % count;
        if (!reading(i) && d > distance) distance = d, farthest = i;
      }
      if (farthest >= 0) {
        m->stock[farthest].inUse.store(0, std::memory_order_relaxed);
        haveFree = true;
        jumpToCurrent = position >= c;
      }
    }
  }
  if (jumpToCurrent) {
    // The decoder is past the current frame: going round through the wrap would fill
    // the room again before reaching it. Restart at the current frame instead.
    m->state.store(kTheoraDecoding);
    if (!DecodeFrameAfterRestart(m, c)) {
      DataRanOut(m);
      return;
    }
    SupplyFrame(m, c);
    return;
  }
  if (!haveFree) {
    m->state.store(kTheoraIdle);
    IdleThread(m);  // a full stock waits for the current frame to move, not spinning
    return;
  }
  m->state.store(kTheoraDecoding);
  if (StockHolds(m, position) || position < c) {
    const int step = (!holdsCurrent && c > position) ? c - position : 1;
    if (position + step >= count) {
      const int target = position + step - count;
      RestartReadingAt(m, m->pages[0].offset);
      m->decoderPosition.store(-1, std::memory_order_relaxed);
      if (StepTheoraFrames(m, target + 1) < 0) {
        DataRanOut(m);
        return;
      }
    } else if (StepTheoraFrames(m, step) < 0) {
      DataRanOut(m);
      return;
    }
  }
  SupplyFrame(m, m->decoderPosition.load(std::memory_order_relaxed));
}

uint32_t TheoraDecodeThread(void* argument) {
  auto* m = static_cast<TheoraMovie*>(argument);
  while (!m->stopRequest.load()) {
    m->passWake = m->wakeThread.Count();
    if (m->pauseRequest.load()) {
      m->state.store(kTheoraPaused);
      m->pauseSeen.store(m->pauseNumber.load());
      m->wakeCaller.Raise();
      IdleThread(m);
    } else if (m->seekRequest.load()) {
      m->state.store(kTheoraSeeking);
      SeekInThread(m);
      m->wakeCaller.Raise();
    } else {
      FillStock(m);
    }
  }
  m->state.store(kTheoraEnded);
  m->wakeCaller.Raise();
  return 0;
}

// Two rows at a time for 4:2:0 planes, integers and tables only.
void Convert420(const TheoraFrameStockEntry& e, ImageRecord* image, int width, int height) {
  const YuvPlanes planes{e.planes[0], e.planes[1], e.planes[2], e.yStride, e.uvStride};
  ConvertYuv420(planes, static_cast<uint8_t*>(image->pixels), image->pitch, width, height);
}

inline uint8_t Limit(float value) {
  const int v = static_cast<int>(value);
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// 4:2:2 and 4:4:4 planes: each pixel takes the chroma sample that covers it.
void ConvertOther(const TheoraFrameStockEntry& e, ImageRecord* image, int width, int height) {
  for (int row = 0; row < height; ++row) {
    const int chromaRow = static_cast<int>(static_cast<int64_t>(row) * e.uvHeight / e.yHeight);
    const uint8_t* y = e.planes[0] + static_cast<ptrdiff_t>(row) * e.yStride;
    const uint8_t* u = e.planes[1] + static_cast<ptrdiff_t>(chromaRow) * e.uvStride;
    const uint8_t* v = e.planes[2] + static_cast<ptrdiff_t>(chromaRow) * e.uvStride;
    uint8_t* out = static_cast<uint8_t*>(image->pixels) + static_cast<ptrdiff_t>(row) * image->pitch;
    for (int col = 0; col < width; ++col) {
      const int chromaCol = static_cast<int>(static_cast<int64_t>(col) * e.uvWidth / e.yWidth);
      const float luma = (y[col] - 16) * 1.164f;
      const float cu = static_cast<float>(u[chromaCol] - 128), cv = static_cast<float>(v[chromaCol] - 128);
      out[0] = Limit(luma + cu * 2.018f);
      out[1] = Limit(luma - cu * 0.391f - cv * 0.813f);
      out[2] = Limit(luma + cv * 1.596f);
      out[3] = 255;
      out += 4;
    }
  }
}

}  // namespace

int InitYuvTables() {
  for (int i = -512; i < 768; ++i) YuvClampTable[i + 512] = i < 0 ? 0 : i < 255 ? i : 255;
  for (int i = 0; i < 256; ++i) {
    YuvCoefficientTables[kRFromV][i] = -3346944 + 26148 * i;
    YuvCoefficientTables[kGFromU][i] = 819968 - 6406 * i;
    YuvCoefficientTables[kGFromV][i] = 1705984 - 13320 * i;
    YuvCoefficientTables[kBFromU][i] = -4231936 + 33062 * i;
    YuvCoefficientTables[kY][i] = -305120 + 19070 * i;
  }
  return 0;
}

TheoraMovie* OpenTheoraMovie(const FileAccessTable* files, FileHandle file, int stockSize) {
  char magic[4];
  if (files->read(magic, 1, 4, file) != 4 || std::memcmp(magic, "OggS", 4) != 0) return nullptr;
  files->seek(file, 0, 0);
  if (stockSize < 1) stockSize = 1;

  void* block = TrackedAllocZeroed(sizeof(TheoraMovie), "", 0);
  if (block == nullptr) {
    WriteLog("Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
    return nullptr;
  }
  auto* m = new (block) TheoraMovie();
  m->currentFrame.store(-1);
  m->failedFrame.store(-1);
  m->waitedFrame.store(-1);
  m->headerCount = 0;
  ogg_sync_init(&m->sync);
  theora_info_init(&m->info);
  theora_comment_init(&m->comment);
  m->files = *files;
  m->file = file;

  if (ReadTheoraHeaders(m) != 1) {
    CloseTheoraMovie(m);
    return nullptr;
  }

  m->pauseRequest.store(1);
  m->state.store(kTheoraIdle);
  m->thread = CreateHostThread(TheoraDecodeThread, m, false);
  if (m->thread == nullptr) {
    WriteLog("Theora ムービーデコード用スレッドの作成に失敗しました\n");
    CloseTheoraMovie(m);
    return nullptr;
  }

  if (theora_decode_init(&m->decoder, &m->info) != 0) {
    CloseTheoraMovie(m);
    return nullptr;
  }
  m->decoderInitialised = 1;
  RestartReadingAt(m, 0);

  m->pages = static_cast<TheoraPageEntry*>(TrackedAlloc(sizeof(TheoraPageEntry) * kTableGrowth, "", 0));
  if (m->pages == nullptr) {
    WriteLog("Theora ページ情報格納用メモリの確保に失敗しました\n");
    CloseTheoraMovie(m);
    return nullptr;
  }
  m->pageCapacity = kTableGrowth;
  m->keyFrames = static_cast<uint8_t*>(TrackedAlloc(kTableGrowth, "", 0));
  if (m->keyFrames == nullptr) {
    WriteLog("Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
    CloseTheoraMovie(m);
    return nullptr;
  }
  m->keyFrameCapacity = kTableGrowth;
  m->frameCount = 0;
  if (!IndexTheoraFile(m)) {
    WriteLog("Theora ページ情報格納用メモリの確保に失敗しました\n");
    CloseTheoraMovie(m);
    return nullptr;
  }
  // A stream without a single frame has nothing to show.
  if (m->frameCount == 0) {
    CloseTheoraMovie(m);
    return nullptr;
  }
  m->pages[0].offset = 0;  // a restart at the first page reads the file from its start

  if (CreateImageRecord(static_cast<int>(m->info.width), static_cast<int>(m->info.height), &m->frameImage) != 0) {
    WriteLog("Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n");
    CloseTheoraMovie(m);
    return nullptr;
  }
  // Black until a picture comes: a movie may have none for its first frames.
  std::memset(m->frameImage.pixels, 0, static_cast<size_t>(m->frameImage.pitch) * m->frameImage.height);
  m->stock = static_cast<TheoraFrameStockEntry*>(
      TrackedAllocZeroed(sizeof(TheoraFrameStockEntry) * static_cast<size_t>(stockSize), "", 0));
  if (m->stock == nullptr) {
    WriteLog("Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n");
    CloseTheoraMovie(m);
    return nullptr;
  }
  for (int i = 0; i < stockSize; ++i) new (&m->stock[i]) TheoraFrameStockEntry();
  m->stockSize = stockSize;

  SeekTheoraFrame(m, 0);
  GetTheoraFrameImage(m, 1, 1);
  return m;
}

int CloseTheoraMovie(TheoraMovie* m) {
  if (m == nullptr) return 0;
  if (m->thread != nullptr) {
    m->stopRequest.store(1);
    m->wakeThread.Raise();
    CloseHostThread(m->thread);  // waits for the thread to end (state 3)
    m->thread = nullptr;
  }
  if (m->stock != nullptr) {
    for (int i = 0; i < m->stockSize; ++i)
      for (uint8_t* plane : m->stock[i].planes) TrackedFree(plane);
    TrackedFree(m->stock);
  }
  TrackedFree(m->pages);
  TrackedFree(m->keyFrames);
  if (m->frameImage.pixels != nullptr) ReleaseImageRecord(&m->frameImage);
  if (m->streamInitialised) ogg_stream_clear(&m->stream);
  if (m->decoderInitialised) theora_clear(&m->decoder);
  theora_comment_clear(&m->comment);
  theora_info_clear(&m->info);
  ogg_sync_clear(&m->sync);
  m->~TheoraMovie();
  TrackedFree(m);
  return 0;
}

int SeekTheoraFrame(TheoraMovie* m, int frame) {
  if (frame == m->currentFrame.load()) return 0;
  m->imageCurrent = 0;
  const int number = m->pauseNumber.load() + 1;
  m->pauseNumber.store(number);
  m->pauseRequest.store(1);
  m->wakeThread.Raise();
  for (;;) {
    const uint32_t seen = m->wakeCaller.Count();
    if (m->state.load() == kTheoraPaused && m->pauseSeen.load() == number) break;
    m->wakeCaller.WaitPast(seen, kHandOffWaitMs);
  }
  // The last frame is the highest that exists: a target at the frame count finds no page.
  if (frame > m->frameCount - 1) frame = m->frameCount - 1;
  if (frame < 0) frame = 0;
  m->currentFrame.store(frame);
  m->seekTarget.store(frame);
  m->endOfFile.store(0);  // the thread is parked: a stale end must not fail the next wait
  m->failedFrame.store(-1);
  m->seekRequest.store(1);
  m->pauseRequest.store(0);
  m->wakeThread.Raise();
  return 0;
}

int AdvanceTheoraFrames(TheoraMovie* m, int n) {
  if (n < 1) return 0;
  // Any step wraps into the movie: a frame past the end would never be decoded.
  const int64_t next = static_cast<int64_t>(m->currentFrame.load()) + n;
  m->currentFrame.store(static_cast<int>(next % m->frameCount));
  m->imageCurrent = 0;
  m->wakeThread.Raise();  // a full stock may now have room
  return 0;
}

namespace {

// The stock entry holding `frame`, found under the stock lock (so its planes are
// complete) and marked as being read, or null.
TheoraFrameStockEntry* ReadEntryHolding(TheoraMovie* m, int frame) {
  CriticalSectionGuard guard(m->stockLock);
  for (int i = 0; i < m->stockSize; ++i) {
    TheoraFrameStockEntry& e = m->stock[i];
    if (e.inUse.load(std::memory_order_relaxed) && e.frame.load(std::memory_order_relaxed) == frame) {
      e.reading.store(1, std::memory_order_relaxed);
      return &e;
    }
  }
  TheoraFrameStockEntry& lent = m->lent;
  if (lent.inUse.load(std::memory_order_relaxed) && lent.frame.load(std::memory_order_relaxed) == frame) {
    lent.reading.store(1, std::memory_order_relaxed);
    return &lent;
  }
  return nullptr;
}

void EndReading(TheoraMovie* m, TheoraFrameStockEntry* e) {
  bool wake;
  {
    CriticalSectionGuard guard(m->stockLock);
    e->reading.store(0, std::memory_order_relaxed);
    wake = m->roomBeingRead.exchange(0, std::memory_order_relaxed) != 0;
    if (e == &m->lent) {
      e->inUse.store(0, std::memory_order_relaxed);  // shown: the thread may decode on
      wake = m->lentAwaited.exchange(0, std::memory_order_relaxed) != 0 || wake;
    }
  }
  if (wake) m->wakeThread.Raise();  // the thread waits for this entry: as room, or its loan
}

}  // namespace

int GetTheoraFrameImage(TheoraMovie* m, int wantImage, int /*wantSurface*/) {
  if (!wantImage || m->imageCurrent) return 0;
  const int current = m->currentFrame.load();
  const int failuresBefore = m->failures.load();
  const uint32_t start = g_waitClock();
  // While this call waits, the thread lends its picture of the frame instead of a copy.
  struct Waiting {
    TheoraMovie* m;
    ~Waiting() { m->waitedFrame.store(-1); }
  } waiting{m};
  m->waitedFrame.store(current);
  for (;;) {
    const uint32_t seen = m->wakeCaller.Count();
    const int state = m->state.load();
    if (state == kTheoraEnded) return 0;
    TheoraFrameStockEntry* held = state != kTheoraSeeking ? ReadEntryHolding(m, current) : nullptr;
    if (held != nullptr) {
      const TheoraFrameStockEntry& e = *held;
      const int width = e.yWidth < m->frameImage.width ? e.yWidth : m->frameImage.width;
      const int height = e.yHeight < m->frameImage.height ? e.yHeight : m->frameImage.height;
      if (e.yWidth == 2 * e.uvWidth && e.yHeight == 2 * e.uvHeight)
        Convert420(e, &m->frameImage, width, height);
      else
        ConvertOther(e, &m->frameImage, width, height);
      EndReading(m, held);
      m->imageCurrent = 1;
      m->stallLogged = 0;
      return 1;
    }
    if (state != kTheoraSeeking && m->endOfFile.load()) return 0;
    // A thread that cannot supply the frame, or is late by far, must not stop the
    // game: the image keeps the last frame and the next call asks again.
    const bool late = g_waitClock() - start >= kFrameWaitLimitMs;
    const bool failed = m->failures.load() != failuresBefore && m->failedFrame.load() == current;
    if ((state != kTheoraSeeking && failed) || late) {
      if (!m->stallLogged)
        WriteLogFormat("Theora movie: frame %d %s; the last frame stays\n", current,
                       late ? "was not decoded in time" : "could not be stored");
      m->stallLogged = 1;
      return 0;
    }
    // The thread raises the wake once a seek ends and on every frame it stores.
    m->wakeCaller.WaitPast(seen, kHandOffWaitMs);
  }
}

int GetTheoraMovieInfo(TheoraMovie* m, TheoraMovieInfo* info) {
  info->framesPerSecond = m->info.fps_denominator != 0
                              ? static_cast<double>(m->info.fps_numerator) / m->info.fps_denominator
                              : 0.0;
  info->frameCount = m->frameCount;
  info->width = static_cast<int>(m->info.width);
  info->height = static_cast<int>(m->info.height);
  return 0;
}

int GetTheoraCurrentFrame(TheoraMovie* m) { return m->currentFrame.load(); }

ImageRecord* GetTheoraInfoPtr(TheoraMovie* m) { return &m->frameImage; }

void* GetTheoraSurface(TheoraMovie*) { return nullptr; }

int CopyTheoraPicture(TheoraFrameStockEntry* e, const yuv_buffer* p) {
  if (!CopyPlane(&e->planes[0], &e->planeBytes[0], p->y, p->y_width, p->y_height, p->y_stride) ||
      !CopyPlane(&e->planes[1], &e->planeBytes[1], p->u, p->uv_width, p->uv_height, p->uv_stride) ||
      !CopyPlane(&e->planes[2], &e->planeBytes[2], p->v, p->uv_width, p->uv_height, p->uv_stride))
    return -1;
  e->yWidth = p->y_width;
  e->yHeight = p->y_height;
  e->yStride = p->y_stride < 0 ? -p->y_stride : p->y_stride;
  e->uvWidth = p->uv_width;
  e->uvHeight = p->uv_height;
  e->uvStride = p->uv_stride < 0 ? -p->uv_stride : p->uv_stride;
  return 0;
}

void SetTheoraWaitClock(uint32_t (*nowMs)()) { g_waitClock = nowMs != nullptr ? nowMs : HostTimeMs; }

void InjectTheoraStoreFault(int fault) { g_storeFault.store(fault); }
