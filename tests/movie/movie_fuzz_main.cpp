// libFuzzer entry over the Theora decoder: open a movie held in memory, show frames
// while playing on, seeking and wrapping, and close it.
#include <cstddef>
#include <cstdint>

#include "movie/theora_movie.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int tables = InitYuvTables();
  (void)tables;
  const StreamFunctionTable& s = *GetBufferStreamFunctions();
  FileAccessTable files{};
  files.close = s.close;
  files.tell = s.tell;
  files.seek = s.seek;
  files.read = s.read;
  files.eof = s.eof;
  const StreamHandle file = BufferStreamOpen(data, size);
  TheoraMovie* movie = OpenTheoraMovie(&files, file, 3);
  if (movie != nullptr) {
    TheoraMovieInfo info;
    GetTheoraMovieInfo(movie, &info);
    // Steps, a jump across the wrap, seeks back, past the end and before the start.
    const int moves[] = {1, 1, 2, info.frameCount - 1, -1, 5, -2, info.frameCount / 2, -3, 1};
    for (int move : moves) {
      if (move == -1) SeekTheoraFrame(movie, info.frameCount / 3);
      else if (move == -2) SeekTheoraFrame(movie, info.frameCount + 7);
      else if (move == -3) SeekTheoraFrame(movie, -4);
      else AdvanceTheoraFrames(movie, move);
      GetTheoraFrameImage(movie, 1, 1);
    }
    CloseTheoraMovie(movie);
  }
  BufferStreamClose(file);
  return 0;
}
