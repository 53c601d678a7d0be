#pragma once
// One stream of a media file, demuxed from its own handle on the file and decoded with
// FFmpeg, its frames converted to what the file source delivers: video as 24-bit BGR
// rows padded to 4 bytes (bottom-up or top-down), audio as interleaved 16-bit PCM at
// the stream's own rate, in mono or stereo. Times are in 100 ns units from the file's
// start.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

class MediaStream {
 public:
  enum class Kind { Video, Audio };

  MediaStream() = default;
  ~MediaStream();
  MediaStream(const MediaStream&) = delete;
  MediaStream& operator=(const MediaStream&) = delete;

  // Opens stream `index` of `path`: false unless it is video or audio that FFmpeg can
  // decode.
  bool Open(const char* path, int index);
  // The streams the file holds, once opened; -1 when FFmpeg cannot demux it.
  int fileStreams() const { return fileStreams_; }
  // The audio stream FFmpeg would play of the file (the one marked default, else its
  // best guess among those it can decode); -1 for none.
  int bestAudio() const { return bestAudio_; }

  Kind kind() const { return kind_; }
  int index() const { return index_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return (width_ * 3 + 3) & ~3; }
  int FrameBytes() const { return stride() * height_; }
  int64_t frameTime() const { return frameTime_; }  // average, 100 ns units
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  int64_t duration() const { return duration_; }  // of the whole file, 100 ns units

  // Restarts at the frame that holds `position`, decoding from the last key frame at or
  // before it; earlier output is dropped, audio to the sample. False when the demuxer
  // cannot get there (a position past the data of a cut file, say).
  bool Seek(int64_t position);
  // Decodes the next frame to deliver: 1 with a frame, 0 at the end of the stream.
  // Packets the decoder refuses are skipped.
  int NextFrame();
  int64_t FrameStart() const { return frameStart_; }
  int64_t FrameStop() const { return frameStop_; }
  // The held video frame as `FrameBytes()` bytes, the first row of the picture last
  // when `bottomUp`.
  bool ConvertVideo(uint8_t* out, bool bottomUp);
  // The held audio frame's PCM (after any samples the last seek drops), in the
  // stream's opening rate and channels whatever the frame's own.
  const std::vector<uint8_t>& ConvertAudio();
  // At the end of the stream, the PCM the converter still holds of the frames before:
  // a resampler keeps a few samples back for the next frame.
  const std::vector<uint8_t>& DrainAudio();

 private:
  int ReceiveFrame();
  // Times the frame just received.
  void TimeFrame();
  // Moves the demuxer to a key frame at or before `position`, decoder flushed.
  bool SeekTo(int64_t position);
  // After SeekTo(0): makes sure decoding starts at the stream's first packet, which a
  // demuxer without an index may have passed.
  void StartAtTheTop();
  // Reads this stream's packets without decoding them until past `position`, and
  // queues them from the last key frame at or before it. False when there is none
  // between where the demuxer stood and `position`.
  bool FindKeyFrame(int64_t position);
  // The next packet of this stream into packet_; false at the end of the data.
  bool ReadOwnPacket();
  void Queue();  // moves packet_ to the back of queue_
  void ClearQueue();
  // A packet timestamp in 100 ns units from the file's start.
  int64_t PacketTime(int64_t timestamp) const;
  // Makes the resampler for the held frame's layout, format and rate, when it has
  // none for them; what the old one still holds goes to pcm_ first.
  void PrepareResampler();
  // Appends to pcm_ what the resampler makes of `count` samples of `in`, or with none
  // what it still holds.
  void Resample(const uint8_t** in, int count);
  void Close();

  std::string path_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  SwrContext* resampler_ = nullptr;
  // What the resampler was made for: the input's channel count, order and mask,
  // sample format and rate.
  int inChannels_ = 0, inOrder_ = -1, inFormat_ = -1, inRate_ = 0;
  uint64_t inMask_ = 0;
  std::deque<AVPacket*> queue_;  // read ahead by a seek, decoded before the demuxer's
  int index_ = -1;
  int fileStreams_ = -1;
  int bestAudio_ = -1;
  Kind kind_ = Kind::Video;
  int width_ = 0, height_ = 0;
  int64_t frameTime_ = 0;
  int rate_ = 0, channels_ = 0;
  int64_t duration_ = 0;
  int64_t origin_ = 0;        // the file's start
  int64_t skipBefore_ = 0;    // output before this time is dropped (after a seek)
  int64_t nextAudio_ = -1;    // where the next audio frame starts when it has no time
  int64_t frameStart_ = 0, frameStop_ = 0;
  bool draining_ = false;
  bool held_ = false;  // the received frame is timed and waits for NextFrame
  bool read_ = false;  // a packet was read since the open or the last seek
  std::vector<uint8_t> pcm_;
};
