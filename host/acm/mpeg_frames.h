#pragma once
// MPEG audio (layers I-III) decoded whole frame by whole frame through libmpg123 into
// 16-bit PCM. The compression manager and the decoder filter both decode through this,
// with the same decoder set-up, so the two paths give the same bytes for a file.
#include <cstddef>
#include <cstdint>

struct MpegAudioFrame {
  uint32_t length;   // bytes, header included
  uint32_t samples;  // per channel
  uint32_t rate;
  uint16_t channels;
};

// The frame described by the 4 header bytes at `b`; false for anything that is not a
// header of a fixed bitrate, unless `freeFormatBytes` gives the size of the stream's
// free-format Layer III frames (see MpegFreeFormatBytes), which a header without a
// bitrate then has.
bool ReadMpegAudioFrame(const uint8_t* b, MpegAudioFrame* frame, uint32_t freeFormatBytes = 0);

// A free-format header names no bitrate: all frames of such a stream have one size (and
// their padding), known only from where the next header starts. The size, header
// included and padding not, when `data` starts with a free-format Layer III header that
// a header of the same stream follows at that distance, and again one frame further
// when the data reaches so far; 0 for anything else. Free-format Layers I and II are
// not recognised.
uint32_t MpegFreeFormatBytes(const uint8_t* data, size_t size);

// The bytes of an ID3v2 tag at the start of `head` (its first 10 bytes), footer
// included; 0 when there is none.
int64_t MpegLeadingTagBytes(const uint8_t* head);

// The samples per channel the frames in `data` hold, counted frame by frame: bytes that
// start no frame are skipped one at a time, and a last frame cut short counts whole.
// Free-format frames count once the first of them shows their size.
uint64_t CountMpegFrameSamples(const uint8_t* data, size_t size);

// What an encoder's tag frame (an Info or Xing frame with a LAME extension) says of the
// audio frames after it: the encoder's delay at the start and its padding at the end.
struct MpegGaplessTag {
  uint32_t frames;   // audio frames after the tag frame (0 when the tag does not say)
  uint32_t delay;    // encoder delay in samples
  uint32_t padding;  // samples of padding at the end
};
// True when `frame` (the whole first frame, `size` bytes) is a Layer III tag frame with
// a LAME extension whose CRC matches; anything else is no tag, and plays as audio.
bool ReadMpegGaplessTag(const uint8_t* frame, uint32_t size, MpegGaplessTag* tag, uint32_t freeFormatBytes = 0);

// The samples per channel a gapless player keeps, [from, to), counted from the first
// audio frame after the tag, of the `held` samples the frames decode to (frames of
// `samplesPerFrame` samples): the encoder's delay and the decoder's own are cut from
// the start, the padding from the end, never beyond what is held whatever the tag says.
struct MpegKeptSamples {
  uint32_t from;
  uint32_t to;
};
MpegKeptSamples MpegGaplessKeptSamples(const MpegGaplessTag& tag, uint64_t held, uint32_t samplesPerFrame);

class MpegFrameDecoder {
 public:
  MpegFrameDecoder() = default;
  ~MpegFrameDecoder();
  MpegFrameDecoder(const MpegFrameDecoder&) = delete;
  MpegFrameDecoder& operator=(const MpegFrameDecoder&) = delete;

  // Opens a decoder giving 16-bit PCM at `rate` with 1 or 2 channels, for frames of
  // `freeFormatBytes` when the stream is free format; false when libmpg123 refuses.
  bool Open(uint32_t rate, uint16_t channels, uint32_t freeFormatBytes = 0);
  bool IsOpen() const { return handle_ != nullptr; }

  struct Result {
    uint32_t used;      // source bytes consumed: whole frames and skipped junk
    uint32_t produced;  // PCM bytes written
    uint32_t decoded;   // frames that gave samples
  };
  // Decodes whole frames from `src` while their largest possible output fits in `dst`.
  // Bytes that start no frame are skipped one at a time; a trailing partial frame is
  // left for the next call. Each frame yields exactly its sample count: what the
  // decoder could not make of it is silence, so the timing stays.
  Result Decode(const uint8_t* src, uint32_t srcBytes, uint8_t* dst, uint32_t dstBytes);

 private:
  struct mpg123_handle_struct* handle_ = nullptr;
  uint32_t frameBytes_ = 0;  // bytes of one PCM frame (all channels)
  uint32_t freeFormatBytes_ = 0;
};
