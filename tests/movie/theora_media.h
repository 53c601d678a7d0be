#pragma once
// Theora movies made by the tests with libtheora's encoder, and an independent decode
// of them with libtheora's decoder alone.
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// One picture: three planes of the movie's pixel format, rows packed.
struct YuvFrame {
  int width = 0, height = 0, chromaWidth = 0, chromaHeight = 0;
  std::vector<uint8_t> y, u, v;
};

struct MovieSpec {
  int width = 32, height = 32;  // multiples of 16
  int frames = 12;
  int fpsNumerator = 30, fpsDenominator = 1;
  int keyFrameEvery = 4;
  int pixelFormat = 0;          // 0 4:2:0, 2 4:2:2, 3 4:4:4 (th_pixel_fmt)
  int audioSamples = 0;         // > 0: a Vorbis stream of that many mono 22050 Hz samples
  int emptyFirstFrames = 0;     // the first frames as empty (dropped-frame) packets
  int pageSegments = 0;         // > 0: pages of at most that many lacing values, several
                                // frames to a page and frames continued across pages
                                // (else one frame a page)
  int junkAfterPages = 0;       // bytes of junk after each frame's pages
};

// Frame i of a test movie: a distinct gradient and chroma per frame.
YuvFrame TestPicture(const MovieSpec& spec, int index);
Bytes EncodeTheoraMovie(const MovieSpec& spec);
// Decodes every frame of the file with libtheora alone, handing each picture (a
// th_ycbcr_buffer, null before any packet decoded into one) to `onFrame`; the number
// of frames.
int DecodeEachFrame(const Bytes& file, void (*onFrame)(void* planes, void* user), void* user);
// Every frame as libtheora alone decodes the file (empty before the first picture).
std::vector<YuvFrame> DecodeWithLibtheora(const Bytes& file);

// The colour rule, written from its definition: 4:2:0 in units of 1/16384 with
// truncating division; other shapes per pixel in single precision. Bytes B, G, R.
void ModelRgb(const YuvFrame& f, int x, int y, uint8_t bgr[3]);

