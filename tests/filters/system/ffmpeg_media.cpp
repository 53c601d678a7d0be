#include "tests/filters/system/ffmpeg_media.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

struct Encoder {
  Encoder() = default;
  Encoder(const Encoder&) = delete;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  ~Encoder() { avcodec_free_context(&codec); }
};

bool OpenEncoder(AVFormatContext* out, int id, const FfmpegMovieSpec& spec, Encoder* e) {
  const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(id));
  if (!codec || !(e->codec = avcodec_alloc_context3(codec)) || !(e->stream = avformat_new_stream(out, nullptr))) return false;
  AVCodecContext* c = e->codec;
  if (codec->type == AVMEDIA_TYPE_VIDEO) {
    c->width = spec.width;
    c->height = spec.height;
    c->time_base = {1, spec.fps};
    c->framerate = {spec.fps, 1};
    c->gop_size = spec.keyEvery;
    c->pix_fmt = id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    c->bit_rate = 400000;
  } else {
    c->sample_rate = spec.rate;
    c->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_default(&c->ch_layout, spec.channels);
    c->time_base = {1, spec.rate};
    c->bit_rate = 64000 * spec.channels;
  }
  if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  c->thread_count = 1;
  AVDictionary* options = nullptr;
  const bool parsed = codec->type != AVMEDIA_TYPE_VIDEO || av_dict_parse_string(&options, spec.videoOptions, "=", ",", 0) >= 0;
  const bool opened = parsed && avcodec_open2(c, codec, &options) >= 0;
  av_dict_free(&options);
  if (!opened || avcodec_parameters_from_context(e->stream->codecpar, c) < 0) return false;
  e->stream->time_base = c->time_base;
  return true;
}

// Sends `frame` (null drains) and writes every packet that comes out.
bool Encode(AVFormatContext* out, Encoder& e, AVFrame* frame) {
  if (avcodec_send_frame(e.codec, frame) < 0) return false;
  AVPacket* packet = av_packet_alloc();
  int r;
  while ((r = avcodec_receive_packet(e.codec, packet)) == 0) {
    av_packet_rescale_ts(packet, e.codec->time_base, e.stream->time_base);
    packet->stream_index = e.stream->index;
    if (av_interleaved_write_frame(out, packet) < 0) r = AVERROR_UNKNOWN;
    if (r < 0) break;
  }
  av_packet_free(&packet);
  return r == AVERROR(EAGAIN) || r == AVERROR_EOF;
}

void FillPicture(AVFrame* f, int n) {
  for (int y = 0; y < f->height; ++y) {
    for (int x = 0; x < f->width; ++x) f->data[0][y * f->linesize[0] + x] = static_cast<uint8_t>(x * 2 + y + n * 5);
  }
  for (int y = 0; y < f->height / 2; ++y) {
    for (int x = 0; x < f->width / 2; ++x) {
      f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>(x * 3 + n * 3);
      f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>(y * 4 + n);
    }
  }
}

void FillSound(AVFrame* f, int64_t first, int track) {
  const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f->format));
  const int channels = f->ch_layout.nb_channels;
  for (int i = 0; i < f->nb_samples; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double v = 0.4 * std::sin(2 * M_PI * (220.0 * (c + 1) * (track + 1)) * static_cast<double>(first + i) / f->sample_rate);
      const int slot = planar ? i : i * channels + c;
      uint8_t* plane = f->data[planar ? c : 0];
      if (f->format == AV_SAMPLE_FMT_S16 || f->format == AV_SAMPLE_FMT_S16P) {
        reinterpret_cast<int16_t*>(plane)[slot] = static_cast<int16_t>(v * 32767);
      } else {
        reinterpret_cast<float*>(plane)[slot] = static_cast<float>(v);
      }
    }
  }
}

// The `track`-th stream of `type` in `in`, or FFmpeg's best for -1.
int StreamOf(AVFormatContext* in, AVMediaType type, int track) {
  if (track < 0) return av_find_best_stream(in, type, -1, -1, nullptr, 0);
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    if (in->streams[i]->codecpar->codec_type == type && track-- == 0) return static_cast<int>(i);
  }
  return -1;
}

// Calls `take` with every decoded frame of the chosen stream of `type`.
template <class Take>
void DecodeEach(const std::string& path, AVMediaType type, int track, Take take) {
  AVFormatContext* in = nullptr;
  if (avformat_open_input(&in, path.c_str(), nullptr, nullptr) < 0) return;
  avformat_find_stream_info(in, nullptr);
  const int index = StreamOf(in, type, track);
  const AVCodec* codec = index >= 0 ? avcodec_find_decoder(in->streams[index]->codecpar->codec_id) : nullptr;
  AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (c && avcodec_parameters_to_context(c, in->streams[index]->codecpar) >= 0 && (c->thread_count = 1) &&
      avcodec_open2(c, codec, nullptr) >= 0) {
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool more = true;
    while (more) {
      more = av_read_frame(in, packet) >= 0;
      if (more && packet->stream_index != index) {
        av_packet_unref(packet);
        continue;
      }
      avcodec_send_packet(c, more ? packet : nullptr);
      av_packet_unref(packet);
      while (avcodec_receive_frame(c, frame) == 0) {
        take(c, frame);
        av_frame_unref(frame);
      }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
  avcodec_free_context(&c);
  avformat_close_input(&in);
}

}  // namespace

bool WriteFfmpegMovie(const std::string& path, const FfmpegMovieSpec& spec) {
  av_log_set_level(AV_LOG_ERROR);
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, spec.container, path.c_str()) < 0) return false;
  Encoder video;
  std::vector<Encoder> audio(spec.audioCodec ? static_cast<size_t>(spec.audioTracks) : 0);
  bool ok = !spec.videoCodec || OpenEncoder(out, spec.videoCodec, spec, &video);
  for (size_t t = 0; ok && t < audio.size(); ++t) {
    ok = OpenEncoder(out, spec.audioCodec, spec, &audio[t]);
    if (ok && spec.defaultAudio >= 0) {
      audio[t].stream->disposition = static_cast<int>(t) == spec.defaultAudio ? AV_DISPOSITION_DEFAULT : 0;
    }
  }
  AVDictionary* options = nullptr;
  ok = ok && av_dict_parse_string(&options, spec.muxerOptions, "=", ",", 0) >= 0 &&
       avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(out, &options) >= 0;
  av_dict_free(&options);
  AVFrame* frame = av_frame_alloc();
  std::vector<int64_t> soundDone(audio.size());
  for (int n = 0; ok && n < spec.frames; ++n) {
    if (video.codec) {
      frame->format = video.codec->pix_fmt;
      frame->width = spec.width;
      frame->height = spec.height;
      ok = av_frame_get_buffer(frame, 0) >= 0;
      if (ok) FillPicture(frame, n);
      frame->pts = n;
      ok = ok && Encode(out, video, frame);
      av_frame_unref(frame);
    }
    // Sound up to the end of this picture.
    const int64_t soundEnd = int64_t{n + 1} * spec.rate / spec.fps;
    for (size_t t = 0; t < audio.size(); ++t) {
      while (ok && soundDone[t] < soundEnd) {
        frame->format = audio[t].codec->sample_fmt;
        frame->sample_rate = spec.rate;
        frame->nb_samples = audio[t].codec->frame_size > 0 ? audio[t].codec->frame_size : 1024;
        av_channel_layout_copy(&frame->ch_layout, &audio[t].codec->ch_layout);
        ok = av_frame_get_buffer(frame, 0) >= 0;
        if (ok) FillSound(frame, soundDone[t], static_cast<int>(t));
        frame->pts = soundDone[t];
        soundDone[t] += frame->nb_samples;
        ok = ok && Encode(out, audio[t], frame);
        av_frame_unref(frame);
      }
    }
  }
  if (ok && video.codec) ok = Encode(out, video, nullptr);
  for (Encoder& a : audio) ok = ok && Encode(out, a, nullptr);
  if (ok) ok = av_write_trailer(out) >= 0;
  av_frame_free(&frame);
  if (out->pb) avio_closep(&out->pb);
  avformat_free_context(out);
  return ok;
}

std::vector<std::vector<uint8_t>> DecodeFramesDirectly(const std::string& path, bool bottomUp) {
  std::vector<std::vector<uint8_t>> frames;
  SwsContext* sws = nullptr;
  DecodeEach(path, AVMEDIA_TYPE_VIDEO, -1, [&](AVCodecContext* c, AVFrame* f) {
    const int stride = (c->width * 3 + 3) & ~3;
    std::vector<uint8_t> top(static_cast<size_t>(stride) * c->height);
    sws = sws_getCachedContext(sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), c->width, c->height,
                               AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* rows[4] = {top.data()};
    int strides[4] = {stride};
    sws_scale(sws, f->data, f->linesize, 0, f->height, rows, strides);
    std::vector<uint8_t> picture(top.size());
    for (int y = 0; y < c->height; ++y) {
      const int to = bottomUp ? c->height - 1 - y : y;
      std::copy_n(top.begin() + static_cast<ptrdiff_t>(y) * stride, stride, picture.begin() + static_cast<ptrdiff_t>(to) * stride);
    }
    frames.push_back(std::move(picture));
  });
  sws_freeContext(sws);
  return frames;
}

std::vector<uint8_t> DecodePcmDirectly(const std::string& path, int track) {
  std::vector<uint8_t> pcm;
  SwrContext* swr = nullptr;
  AVChannelLayout in{}, out{};
  int inFormat = -1, inRate = 0, rate = 0;
  // Appends what `swr` gives for `count` samples of `data` (none: what it still holds).
  auto convert = [&](const uint8_t** data, int count) {
    const int room = std::max(swr_get_out_samples(swr, count), 0);
    const size_t at = pcm.size(), block = static_cast<size_t>(out.nb_channels) * 2;
    pcm.resize(at + room * block);
    uint8_t* to = pcm.data() + at;
    pcm.resize(at + static_cast<size_t>(std::max(swr_convert(swr, &to, room, data, count), 0)) * block);
  };
  DecodeEach(path, AVMEDIA_TYPE_AUDIO, track, [&](AVCodecContext* c, AVFrame* f) {
    // The first frame sets the output; a frame whose sound differs gets a converter of
    // its own, after the old one gave up what it held.
    if (!rate) {
      rate = f->sample_rate;
      av_channel_layout_default(&out, std::min(f->ch_layout.nb_channels, 2));
    }
    const size_t before = pcm.size();
    if (!swr || av_channel_layout_compare(&in, &f->ch_layout) != 0 || f->format != inFormat || f->sample_rate != inRate) {
      if (swr) convert(nullptr, 0);
      swr_free(&swr);
      av_channel_layout_uninit(&in);
      av_channel_layout_copy(&in, &f->ch_layout);
      inFormat = f->format;
      inRate = f->sample_rate;
      swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, rate, &in, static_cast<AVSampleFormat>(inFormat), inRate, 0, nullptr);
      swr_init(swr);
    }
    convert(const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    // Samples timed before the movie's start (an encoder's priming) are not played.
    if (f->best_effort_timestamp != AV_NOPTS_VALUE && f->best_effort_timestamp < 0) {
      const size_t early = static_cast<size_t>(av_rescale_q(-f->best_effort_timestamp, c->pkt_timebase, {1, rate}));
      pcm.erase(pcm.begin() + static_cast<ptrdiff_t>(before),
                pcm.begin() + static_cast<ptrdiff_t>(std::min(before + early * out.nb_channels * 2, pcm.size())));
    }
  });
  if (swr) convert(nullptr, 0);
  swr_free(&swr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  return pcm;
}
