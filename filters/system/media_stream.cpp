#include "filters/system/media_stream.h"

#include <algorithm>
#include <mutex>

#include "filters/system/ffmpeg_calls.h"

namespace {

constexpr AVRational kUnits100ns = {1, 10000000};
// How far a seek steps back first when it landed past its target; each further step
// goes twice as far.
constexpr int64_t kFirstStepBack = 10000000;

// FFmpeg's own messages would only repeat, on stderr, what the filter reports.
void QuietFfmpeg() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

AVFormatContext* OpenFile(const char* path) {
  if (!LoadFfmpeg()) return nullptr;
  QuietFfmpeg();
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path, nullptr, nullptr) < 0) return nullptr;
  if (avformat_find_stream_info(format, nullptr) < 0) avformat_close_input(&format);
  return format;
}

}  // namespace

MediaStream::~MediaStream() { Close(); }

void MediaStream::Close() {
  if (!FfmpegLoaded()) return;  // then nothing was ever opened
  ClearQueue();
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  swr_free(&resampler_);
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&codec_);
  avformat_close_input(&format_);
}

bool MediaStream::Open(const char* path, int index) {
  Close();
  path_ = path;
  format_ = OpenFile(path);
  fileStreams_ = format_ ? static_cast<int>(format_->nb_streams) : -1;
  const AVCodec* audioDecoder = nullptr;
  bestAudio_ = format_ ? std::max(av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &audioDecoder, 0), -1) : -1;
  if (!format_ || index < 0 || index >= static_cast<int>(format_->nb_streams)) return false;
  index_ = index;
  AVStream* stream = format_->streams[index];
  const AVCodecParameters* par = stream->codecpar;
  if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO) return false;
  kind_ = par->codec_type == AVMEDIA_TYPE_VIDEO ? Kind::Video : Kind::Audio;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (!decoder || !(codec_ = avcodec_alloc_context3(decoder)) || avcodec_parameters_to_context(codec_, par) < 0) {
    return false;
  }
  codec_->thread_count = 1;
  if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
  if (kind_ == Kind::Video) {
    width_ = codec_->width;
    height_ = codec_->height;
    if (width_ <= 0 || height_ <= 0 || width_ > 16384 || height_ > 16384) return false;
    AVRational fps = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    frameTime_ = fps.num > 0 && fps.den > 0 ? av_rescale(10000000, fps.den, fps.num) : 400000;
  } else {
    rate_ = codec_->sample_rate;
    channels_ = std::min(codec_->ch_layout.nb_channels, 2);
    if (rate_ <= 0 || channels_ <= 0) return false;
  }
  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    if (static_cast<int>(i) != index) format_->streams[i]->discard = AVDISCARD_ALL;
  }
  // A stream timed before 0 (an audio encoder's priming) does not move the start.
  origin_ = format_->start_time == AV_NOPTS_VALUE
                ? 0
                : std::max<int64_t>(av_rescale_q(format_->start_time, AV_TIME_BASE_Q, kUnits100ns), 0);
  if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    duration_ = av_rescale_q(format_->duration, AV_TIME_BASE_Q, kUnits100ns);
  } else if (stream->duration != AV_NOPTS_VALUE) {
    duration_ = av_rescale_q(stream->duration, stream->time_base, kUnits100ns);
  }
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  return frame_ && packet_;
}

bool MediaStream::Seek(int64_t position) {
  position = std::max<int64_t>(position, 0);
  if (position == 0 && !read_) {  // still at the top
    skipBefore_ = 0;
    return true;
  }
  // A demuxer without an index (MPEG transport and program streams) seeks to a place in
  // the file, not to a key frame, and lands before or after the key frame the target
  // needs. Pictures are found by their packets, which cost little to read: from the
  // landing, the last key frame at or before the target; when there is none up to the
  // target, the search starts again further back, twice as far each time. Decoding
  // then runs once, from that key frame, and the frames before the target are dropped
  // by NextFrame. Should the first frame decoded still start after the target, or
  // nothing decode before the end of the data, the seek steps back as well.
  for (int64_t back = 0;;) {
    const int64_t from = std::max<int64_t>(position - back, 0);
    if (!SeekTo(from)) {
      if (back == 0 || from == 0) return false;
      back = position;  // the top can be reached where nothing else can
      continue;
    }
    skipBefore_ = position;
    if (from == 0) {
      if (kind_ == Kind::Video) StartAtTheTop();
      return true;
    }
    if (kind_ != Kind::Video || FindKeyFrame(position)) {
      if (ReceiveFrame() == 1) {
        TimeFrame();
        held_ = true;
        if (frameStart_ <= position) return true;
        av_frame_unref(frame_);
        held_ = false;
      }
    }
    back = back == 0 ? kFirstStepBack : back > position / 2 ? position : back * 2;
  }
}

bool MediaStream::SeekTo(int64_t position) {
  ClearQueue();
  const AVStream* stream = format_->streams[index_];
  const int64_t target = av_rescale_q(position + origin_, kUnits100ns, stream->time_base);
  if (av_seek_frame(format_, index_, target, AVSEEK_FLAG_BACKWARD) < 0 &&
      avformat_seek_file(format_, index_, INT64_MIN, target, target, 0) < 0) {
    // A demuxer that cannot seek still starts again from the top.
    if (position != 0) return false;
    const std::string path = path_;
    if (!Open(path.c_str(), index_)) return false;
  }
  avcodec_flush_buffers(codec_);
  // The converter starts afresh too: nothing it holds from before the seek is heard.
  swr_free(&resampler_);
  read_ = false;
  draining_ = false;
  held_ = false;
  nextAudio_ = -1;
  return true;
}

void MediaStream::StartAtTheTop() {
  if (!ReadOwnPacket()) return;
  if (packet_->flags & AV_PKT_FLAG_KEY) {
    Queue();
    return;
  }
  // The file's start is timed by another stream's first packet: a backward seek to it
  // lands on the packet after this stream's first key frame, which begins earlier. A
  // target before every packet finds the first one.
  av_packet_unref(packet_);
  const AVStream* stream = format_->streams[index_];
  const int64_t first = stream->start_time != AV_NOPTS_VALUE ? std::max(stream->start_time, INT64_MIN / 2) : 0;
  const int64_t before = first - std::min(av_rescale_q(kFirstStepBack * 10, kUnits100ns, stream->time_base), INT64_MAX / 4);
  if (av_seek_frame(format_, index_, before, AVSEEK_FLAG_BACKWARD) < 0) SeekTo(0);
}

bool MediaStream::FindKeyFrame(int64_t position) {
  bool found = false;
  while (ReadOwnPacket()) {
    const bool key = packet_->flags & AV_PKT_FLAG_KEY;
    // Shown at its presentation time, decoded in the order of its decoding time; a
    // key frame of unknown time is taken as one before the target.
    const int64_t shown = PacketTime(packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts);
    const int64_t decoded = PacketTime(packet_->dts != AV_NOPTS_VALUE ? packet_->dts : packet_->pts);
    if (key && shown <= position) {
      ClearQueue();
      found = true;
    }
    // Past the target no later packet can start a frame the target needs.
    const bool past = (decoded != INT64_MIN && decoded > position) || (key && shown > position);
    if (!found) {
      av_packet_unref(packet_);
      if (past) return false;
      continue;
    }
    Queue();
    if (past) break;
  }
  return found;
}

bool MediaStream::ReadOwnPacket() {
  for (;;) {
    read_ = true;
    if (av_read_frame(format_, packet_) < 0) return false;
    if (packet_->stream_index == index_) return true;
    av_packet_unref(packet_);
  }
}

void MediaStream::Queue() {
  AVPacket* kept = av_packet_alloc();
  if (!kept) {
    av_packet_unref(packet_);
    return;
  }
  av_packet_move_ref(kept, packet_);
  queue_.push_back(kept);
}

void MediaStream::ClearQueue() {
  for (AVPacket*& p : queue_) av_packet_free(&p);
  queue_.clear();
}

int64_t MediaStream::PacketTime(int64_t timestamp) const {
  if (timestamp == AV_NOPTS_VALUE) return INT64_MIN;
  const int64_t time = av_rescale_q(timestamp, format_->streams[index_]->time_base, kUnits100ns);
  return time < INT64_MIN / 2 ? INT64_MIN / 2 : time - std::min(origin_, INT64_MAX / 2);
}

int MediaStream::ReceiveFrame() {
  for (;;) {
    const int r = avcodec_receive_frame(codec_, frame_);
    if (r == 0) return 1;
    if (r != AVERROR(EAGAIN) || draining_) return 0;
    if (!queue_.empty()) {
      AVPacket* next = queue_.front();
      queue_.pop_front();
      avcodec_send_packet(codec_, next);  // a refused packet is skipped
      av_packet_free(&next);
      continue;
    }
    if (!ReadOwnPacket()) {
      avcodec_send_packet(codec_, nullptr);
      draining_ = true;
      continue;
    }
    avcodec_send_packet(codec_, packet_);  // a refused packet is skipped
    av_packet_unref(packet_);
  }
}

void MediaStream::TimeFrame() {
  const AVRational base = format_->streams[index_]->time_base;
  const int64_t pts = frame_->best_effort_timestamp;
  if (kind_ == Kind::Video) {
    frameStart_ = pts == AV_NOPTS_VALUE ? frameStop_ : av_rescale_q(pts, base, kUnits100ns) - origin_;
    const int64_t length = frame_->pkt_duration > 0 ? av_rescale_q(frame_->pkt_duration, base, kUnits100ns) : frameTime_;
    frameStop_ = frameStart_ + std::max<int64_t>(length, 1);
  } else {
    frameStart_ = pts != AV_NOPTS_VALUE ? av_rescale_q(pts, base, kUnits100ns) - origin_
                  : nextAudio_ >= 0     ? nextAudio_
                                        : skipBefore_;
    frameStop_ = frameStart_ + av_rescale(frame_->nb_samples, 10000000, frame_->sample_rate > 0 ? frame_->sample_rate : rate_);
    nextAudio_ = frameStop_;
  }
}

int MediaStream::NextFrame() {
  while (held_ || ReceiveFrame() == 1) {
    if (!held_) TimeFrame();
    held_ = false;
    if (frameStop_ > skipBefore_) return 1;
    av_frame_unref(frame_);
  }
  return 0;
}

bool MediaStream::ConvertVideo(uint8_t* out, bool bottomUp) {
  scaler_ = sws_getCachedContext(scaler_, frame_->width, frame_->height, static_cast<AVPixelFormat>(frame_->format),
                                 width_, height_, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  uint8_t* rows[4] = {bottomUp ? out + static_cast<ptrdiff_t>(height_ - 1) * stride() : out};
  int strides[4] = {bottomUp ? -stride() : stride()};
  const bool done = sws_scale(scaler_, frame_->data, frame_->linesize, 0, frame_->height, rows, strides) == height_;
  av_frame_unref(frame_);
  return done;
}

void MediaStream::PrepareResampler() {
  const AVChannelLayout& layout = frame_->ch_layout;
  const uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
  if (resampler_ && layout.nb_channels == inChannels_ && layout.order == inOrder_ && mask == inMask_ &&
      frame_->format == inFormat_ && frame_->sample_rate == inRate_) {
    return;
  }
  // A stream may change its sound mid-way (a broadcast's programme in 5.1, its adverts
  // in stereo): the converter is made again for what comes, and its output stays what
  // the pin offers. What the old one still holds comes out first.
  if (resampler_) {
    Resample(nullptr, 0);
    swr_free(&resampler_);
  }
  AVChannelLayout in{}, out{};
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&in, layout.nb_channels);
  } else {
    av_channel_layout_copy(&in, &layout);
  }
  av_channel_layout_default(&out, channels_);
  if (swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_S16, rate_, &in, static_cast<AVSampleFormat>(frame_->format),
                          frame_->sample_rate, 0, nullptr) < 0 ||
      swr_init(resampler_) < 0) {
    swr_free(&resampler_);
  }
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  inChannels_ = layout.nb_channels;
  inOrder_ = layout.order;
  inMask_ = mask;
  inFormat_ = frame_->format;
  inRate_ = frame_->sample_rate;
}

void MediaStream::Resample(const uint8_t** in, int count) {
  const int room = swr_get_out_samples(resampler_, count);
  if (room <= 0) return;
  const size_t held = pcm_.size(), block = static_cast<size_t>(channels_) * 2;
  pcm_.resize(held + static_cast<size_t>(room) * block);
  uint8_t* data = pcm_.data() + held;
  pcm_.resize(held + static_cast<size_t>(std::max(swr_convert(resampler_, &data, room, in, count), 0)) * block);
}

const std::vector<uint8_t>& MediaStream::ConvertAudio() {
  pcm_.clear();
  PrepareResampler();
  if (resampler_) {
    Resample(const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
    if (frameStart_ < skipBefore_) {
      const size_t drop = static_cast<size_t>(av_rescale(skipBefore_ - frameStart_, rate_, 10000000)) * channels_ * 2;
      pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<ptrdiff_t>(std::min(drop, pcm_.size())));
      frameStart_ = skipBefore_;
    }
  }
  av_frame_unref(frame_);
  return pcm_;
}

const std::vector<uint8_t>& MediaStream::DrainAudio() {
  pcm_.clear();
  if (resampler_) Resample(nullptr, 0);
  return pcm_;
}
