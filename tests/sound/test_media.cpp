#include "tests/sound/test_media.h"

#include <lame/lame.h>
#include <mpg123.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void PutChunk(Bytes& b, const char* id, const Bytes& data, uint32_t claimedSize) {
  b.insert(b.end(), id, id + 4);
  Put32(b, claimedSize == UINT32_MAX ? static_cast<uint32_t>(data.size()) : claimedSize);
  b.insert(b.end(), data.begin(), data.end());
}

Bytes FmtChunk(const WaveSpec& s) {
  uint16_t align = s.blockAlign ? s.blockAlign : static_cast<uint16_t>(s.channels * s.bits / 8);
  Bytes f;
  Put16(f, s.formatTag);
  Put16(f, s.channels);
  Put32(f, s.rate);
  Put32(f, s.avgBytes ? s.avgBytes : s.rate * align);
  Put16(f, align);
  Put16(f, s.bits);
  if (s.fmtSize >= 18) Put16(f, 0);
  f.resize(s.fmtSize, 0);
  return f;
}

Bytes MakeWave(const WaveSpec& spec, const Bytes& pcm) {
  Bytes body = {'W', 'A', 'V', 'E'};
  PutChunk(body, "fmt ", FmtChunk(spec));
  PutChunk(body, "data", pcm);
  Bytes out;
  PutChunk(out, "RIFF", body);
  return out;
}

Bytes NoiseBytes(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<uint8_t>(x >> 24);
  }
  return b;
}

std::vector<int16_t> TestTone(int frames, int channels, int rate, uint32_t seed) {
  std::vector<int16_t> s(static_cast<size_t>(frames) * channels);
  Bytes noise = NoiseBytes(s.size(), seed);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      double v = 9000.0 * std::sin(2 * M_PI * (440.0 + 110 * c) * i / rate);
      s[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(v + (noise[i * channels + c] - 128) * 8);
    }
  }
  return s;
}

Bytes AsBytes(const std::vector<int16_t>& samples) {
  Bytes b(samples.size() * 2);
  std::memcpy(b.data(), samples.data(), b.size());
  return b;
}

Bytes EncodeMp3(const std::vector<int16_t>& pcm, int channels, int rate, int kbps, bool infoTag, bool freeFormat,
                bool crc) {
  lame_global_flags* lame = lame_init();
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(lame, kbps);
  lame_set_bWriteVbrTag(lame, infoTag ? 1 : 0);
  lame_set_free_format(lame, freeFormat ? 1 : 0);
  lame_set_error_protection(lame, crc ? 1 : 0);
  lame_init_params(lame);
  int frames = static_cast<int>(pcm.size()) / channels;
  // Room for the bitrate asked and for the encoder's own worst case.
  Bytes out(static_cast<size_t>(frames) * 5 / 4 + static_cast<size_t>(frames) * kbps * 125 / rate + 7200 + 16384);
  int n;
  if (channels == 2) {
    n = lame_encode_buffer_interleaved(lame, const_cast<short*>(pcm.data()), frames, out.data(),
                                       static_cast<int>(out.size()));
  } else {
    n = lame_encode_buffer(lame, pcm.data(), pcm.data(), frames, out.data(), static_cast<int>(out.size()));
  }
  if (n < 0) {  // settings the encoder refuses
    lame_close(lame);
    return {};
  }
  int m = lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
  if (infoTag) {
    // The stream began with a placeholder frame of the tag's size; the tag replaces it.
    unsigned char tag[4096];
    size_t size = lame_get_lametag_frame(lame, tag, sizeof tag);
    std::memcpy(out.data(), tag, size);
  }
  lame_close(lame);
  out.resize(static_cast<size_t>(n + m));
  return out;
}

namespace {

// The whole file through libmpg123 with `flags`, as 16-bit PCM.
Bytes DecodeWithMpg123(const Bytes& mp3, long flags, int* channelsOut, long* rateOut) {
  mpg123_init();
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  mpg123_param(h, MPG123_FLAGS, MPG123_QUIET | flags, 0);
  mpg123_format_none(h);
  for (long rate : {8000l, 11025l, 12000l, 16000l, 22050l, 24000l, 32000l, 44100l, 48000l}) {
    mpg123_format(h, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  mpg123_open_feed(h);
  mpg123_feed(h, mp3.data(), mp3.size());
  Bytes out;
  unsigned char buf[65536];
  for (;;) {
    size_t done = 0;
    int r = mpg123_read(h, buf, sizeof buf, &done);
    out.insert(out.end(), buf, buf + done);
    if (r == MPG123_NEW_FORMAT) {
      long rate;
      int ch, enc;
      mpg123_getformat(h, &rate, &ch, &enc);
      if (channelsOut) *channelsOut = ch;
      if (rateOut) *rateOut = rate;
      continue;
    }
    if (r != MPG123_OK) break;
  }
  mpg123_delete(h);
  return out;
}

}  // namespace

Bytes DecodeMp3WithMpg123(const Bytes& mp3, int* channelsOut, long* rateOut) {
  return DecodeWithMpg123(mp3, MPG123_IGNORE_INFOFRAME, channelsOut, rateOut);
}

Bytes DecodeMp3GaplessWithMpg123(const Bytes& mp3) {
  return DecodeWithMpg123(mp3, MPG123_GAPLESS, nullptr, nullptr);
}

size_t DecodeMp3BytesWithMpg123(const Bytes& mp3) {
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  mpg123_param(h, MPG123_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
  mpg123_open_feed(h);
  mpg123_feed(h, mp3.data(), mp3.size());
  static unsigned char buf[1 << 18];
  size_t total = 0;
  for (;;) {
    size_t done = 0;
    int r = mpg123_read(h, buf, sizeof buf, &done);
    total += done;
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
  }
  mpg123_delete(h);
  return total;
}

Bytes EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  vorbis_encode_init_vbr(&vi, channels, rate, 0.4f);
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 12345 + rate + channels);
  Bytes out;
  ogg_page og;
  auto flush = [&](bool all) {
    while (all ? ogg_stream_flush(&os, &og) : ogg_stream_pageout(&os, &og)) {
      out.insert(out.end(), og.header, og.header + og.header_len);
      out.insert(out.end(), og.body, og.body + og.body_len);
    }
  };
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  flush(true);
  const int frames = static_cast<int>(pcm.size()) / channels;
  // The pass that has no frames left tells the encoder the stream ends: it then pads
  // the last block, marks the last page and gives it the exact frame count.
  for (int at = 0;; at += 1024) {
    const int n = std::max(0, std::min(1024, frames - at));
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, n);
      for (int i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[static_cast<size_t>(at + i) * channels + c] / 32768.0f;
      }
    }
    vorbis_analysis_wrote(&vd, n);
    ogg_packet op;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        flush(false);
      }
    }
    if (n <= 0) break;
  }
  flush(true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

namespace {
struct MemoryFile {
  const Bytes* data;
  size_t pos;
};
size_t MemRead(void* p, size_t size, size_t count, void* src) {
  auto* m = static_cast<MemoryFile*>(src);
  size_t n = std::min(size * count, m->data->size() - m->pos);
  std::memcpy(p, m->data->data() + m->pos, n);
  m->pos += n;
  return n / size;
}
int MemSeek(void* src, ogg_int64_t offset, int whence) {
  auto* m = static_cast<MemoryFile*>(src);
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(m->pos) : static_cast<int64_t>(m->data->size());
  if (base + offset < 0) return -1;
  m->pos = std::min<size_t>(static_cast<size_t>(base + offset), m->data->size());
  return 0;
}
long MemTell(void* src) { return static_cast<long>(static_cast<MemoryFile*>(src)->pos); }
}  // namespace

Bytes DecodeOggWithVorbisfile(const Bytes& ogg) {
  MemoryFile m{&ogg, 0};
  OggVorbis_File vf;
  ov_callbacks cb = {MemRead, MemSeek, nullptr, MemTell};
  Bytes out;
  if (ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) return out;
  char buf[8192];
  int section;
  long n;
  while ((n = ov_read(&vf, buf, sizeof buf, 0, 2, 1, &section)) != 0) {
    if (n > 0) out.insert(out.end(), buf, buf + n);
  }
  ov_clear(&vf);
  return out;
}
