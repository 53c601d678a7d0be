#include "tests/movie/theora_media.h"

#include <ogg/ogg.h>
#include <stdlib.h>
#include <theora/theoradec.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void AppendPage(Bytes& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

// Pages of at most `segments` lacing values, cut wherever they fill: a packet that does
// not fit goes on in the next page, which is marked continued. (libogg cuts only
// between packets until a page holds 255 values.)
struct SmallPager {
  Bytes& out;
  const size_t segments;
  long serial, pageNumber;
  Bytes lacing{}, body{};
  int64_t granule = -1;
  bool continued = false;

  void Add(const ogg_packet& p) {
    for (long done = 0;;) {
      const long n = p.bytes - done < 255 ? p.bytes - done : 255;
      lacing.push_back(static_cast<uint8_t>(n));
      body.insert(body.end(), p.packet + done, p.packet + done + n);
      done += n;
      if (n < 255) granule = p.granulepos;
      if (lacing.size() == segments) Flush(n == 255);
      if (n < 255) return;
    }
  }
  void Flush(bool nextContinued = false) {
    if (lacing.empty()) return;
    Bytes header = {'O', 'g', 'g', 'S', 0, static_cast<uint8_t>(continued ? 1 : 0)};
    for (int i = 0; i < 8; ++i) header.push_back(static_cast<uint8_t>(static_cast<uint64_t>(granule) >> (8 * i)));
    for (long v : {serial, pageNumber++, 0L})
      for (int i = 0; i < 4; ++i) header.push_back(static_cast<uint8_t>(v >> (8 * i)));
    header.push_back(static_cast<uint8_t>(lacing.size()));
    header.insert(header.end(), lacing.begin(), lacing.end());
    ogg_page page{header.data(), static_cast<long>(header.size()), body.data(), static_cast<long>(body.size())};
    ogg_page_checksum_set(&page);
    AppendPage(out, page);
    lacing.clear(), body.clear();
    granule = -1;
    continued = nextContinued;
  }
};

}  // namespace

YuvFrame TestPicture(const MovieSpec& spec, int index) {
  YuvFrame f;
  f.width = spec.width;
  f.height = spec.height;
  f.chromaWidth = spec.pixelFormat == 3 ? spec.width : spec.width / 2;
  f.chromaHeight = spec.pixelFormat == 0 ? spec.height / 2 : spec.height;
  f.y.resize(static_cast<size_t>(f.width) * f.height);
  f.u.resize(static_cast<size_t>(f.chromaWidth) * f.chromaHeight);
  f.v.resize(f.u.size());
  for (int row = 0; row < f.height; ++row)
    for (int col = 0; col < f.width; ++col)
      f.y[static_cast<size_t>(row) * f.width + col] = static_cast<uint8_t>(20 + (col * 4 + row * 2 + index * 15) % 200);
  for (int row = 0; row < f.chromaHeight; ++row)
    for (int col = 0; col < f.chromaWidth; ++col) {
      const size_t at = static_cast<size_t>(row) * f.chromaWidth + col;
      f.u[at] = static_cast<uint8_t>(40 + (index * 37 + row * 3) % 180);
      f.v[at] = static_cast<uint8_t>(40 + (index * 53 + col * 5) % 180);
    }
  return f;
}

Bytes EncodeTheoraMovie(const MovieSpec& spec) {
  th_info info;
  th_info_init(&info);
  info.frame_width = static_cast<ogg_uint32_t>(spec.width);
  info.frame_height = static_cast<ogg_uint32_t>(spec.height);
  info.pic_width = info.frame_width;
  info.pic_height = info.frame_height;
  info.fps_numerator = static_cast<ogg_uint32_t>(spec.fpsNumerator);
  info.fps_denominator = static_cast<ogg_uint32_t>(spec.fpsDenominator);
  info.aspect_numerator = info.aspect_denominator = 1;
  info.colorspace = TH_CS_UNSPECIFIED;
  info.pixel_fmt = static_cast<th_pixel_fmt>(spec.pixelFormat);
  info.quality = 63;
  info.keyframe_granule_shift = 6;
  th_enc_ctx* enc = th_encode_alloc(&info);
  th_info_clear(&info);
  if (enc == nullptr) return {};
  int interval = spec.keyFrameEvery;
  th_encode_ctl(enc, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);

  ogg_stream_state video, audio;
  ogg_stream_init(&video, 101);
  ogg_stream_init(&audio, 202);
  Bytes out;
  ogg_page page;
  ogg_packet packet;
  th_comment comment;
  th_comment_init(&comment);
  bool first = true;
  std::vector<ogg_packet> videoHeaders;
  while (th_encode_flushheader(enc, &comment, &packet) > 0) {
    ogg_stream_packetin(&video, &packet);
    if (first) {  // the Theora beginning page stands alone, first in the file
      while (ogg_stream_flush(&video, &page) > 0) AppendPage(out, page);
      first = false;
    }
  }
  th_comment_clear(&comment);

  vorbis_info vi;
  vorbis_dsp_state vd;
  vorbis_block vb;
  const bool withAudio = spec.audioSamples > 0;
  if (withAudio) {
    vorbis_info_init(&vi);
    vorbis_encode_init_vbr(&vi, 1, 22050, 0.3f);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&audio, &h0);
    while (ogg_stream_flush(&audio, &page) > 0) AppendPage(out, page);
    ogg_stream_packetin(&audio, &h1);
    ogg_stream_packetin(&audio, &h2);
    vorbis_comment_clear(&vc);
  }
  while (ogg_stream_flush(&video, &page) > 0) AppendPage(out, page);
  if (withAudio)
    while (ogg_stream_flush(&audio, &page) > 0) AppendPage(out, page);

  if (withAudio) {
    float** buffer = vorbis_analysis_buffer(&vd, spec.audioSamples);
    for (int i = 0; i < spec.audioSamples; ++i) buffer[0][i] = 0.3f * std::sin(i * 0.05f);
    vorbis_analysis_wrote(&vd, spec.audioSamples);
    vorbis_analysis_wrote(&vd, 0);
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet ap;
      while (vorbis_bitrate_flushpacket(&vd, &ap) > 0) ogg_stream_packetin(&audio, &ap);
    }
    while (ogg_stream_pageout(&audio, &page) > 0) AppendPage(out, page);
  }

  for (int i = 0; i < spec.emptyFirstFrames; ++i) {
    unsigned char none = 0;
    ogg_packet empty{&none, 0, 0, 0, i, i + 3};
    ogg_stream_packetin(&video, &empty);
  }
  SmallPager pager{out, static_cast<size_t>(spec.pageSegments), 101, video.pageno};
  for (int i = spec.emptyFirstFrames; i < spec.frames; ++i) {
    YuvFrame f = TestPicture(spec, i);
    th_ycbcr_buffer planes;
    planes[0] = {f.width, f.height, f.width, f.y.data()};
    planes[1] = {f.chromaWidth, f.chromaHeight, f.chromaWidth, f.u.data()};
    planes[2] = {f.chromaWidth, f.chromaHeight, f.chromaWidth, f.v.data()};
    th_encode_ycbcr_in(enc, planes);
    const bool last = i == spec.frames - 1;
    while (th_encode_packetout(enc, last, &packet) > 0)
      spec.pageSegments > 0 ? pager.Add(packet) : (void)ogg_stream_packetin(&video, &packet);
    // Small pages: several per movie, so that seeking has pages to choose from.
    while (ogg_stream_flush(&video, &page) > 0) AppendPage(out, page);
    if (last) pager.Flush();
    if (!last) out.insert(out.end(), static_cast<size_t>(spec.junkAfterPages), static_cast<uint8_t>(0x4F + i));
  }
  if (withAudio) {
    while (ogg_stream_flush(&audio, &page) > 0) AppendPage(out, page);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_info_clear(&vi);
  }
  th_encode_free(enc);
  ogg_stream_clear(&video);
  ogg_stream_clear(&audio);
  return out;
}

int DecodeEachFrame(const Bytes& file, void (*onFrame)(void* planes, void* user), void* user) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  th_info info;
  th_comment comment;
  th_setup_info* setup = nullptr;
  th_info_init(&info);
  th_comment_init(&comment);
  th_dec_ctx* dec = nullptr;
  ogg_stream_state stream;
  bool haveStream = false;
  ogg_page page;
  ogg_packet packet;
  int frames = 0;
  bool picture = false;
  // Fed in 4096-byte pieces, as the library reads.
  for (size_t at = 0; at < file.size(); at += 4096) {
    const size_t n = file.size() - at < 4096 ? file.size() - at : 4096;
    std::memcpy(ogg_sync_buffer(&sync, 4096), file.data() + at, n);
    ogg_sync_wrote(&sync, static_cast<long>(n));
    for (int got; (got = ogg_sync_pageout(&sync, &page)) != 0;) {
      if (got < 0) continue;  // bytes skipped to the next page
      if (!haveStream) {
        if (!ogg_page_bos(&page)) continue;
        ogg_stream_init(&stream, ogg_page_serialno(&page));
        ogg_stream_pagein(&stream, &page);
        if (ogg_stream_packetout(&stream, &packet) > 0 && th_decode_headerin(&info, &comment, &setup, &packet) > 0) {
          haveStream = true;
        } else {
          ogg_stream_clear(&stream);
        }
        continue;
      }
      if (ogg_stream_pagein(&stream, &page) != 0) continue;
      while (ogg_stream_packetout(&stream, &packet) > 0) {
        if (dec == nullptr) {
          if (th_decode_headerin(&info, &comment, &setup, &packet) > 0) continue;
          dec = th_decode_alloc(&info, setup);
        }
        if (packet.bytes > 0 && (packet.packet[0] & 0x80)) continue;
        // Before a packet decodes into a picture the decoder's output is not one.
        if (th_decode_packetin(dec, &packet, nullptr) == 0) picture = true;
        th_ycbcr_buffer out;
        if (picture) th_decode_ycbcr_out(dec, out);
        onFrame(picture ? out : nullptr, user);
        ++frames;
      }
    }
  }
  if (dec != nullptr) th_decode_free(dec);
  th_setup_free(setup);
  th_comment_clear(&comment);
  th_info_clear(&info);
  if (haveStream) ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return frames;
}

std::vector<YuvFrame> DecodeWithLibtheora(const Bytes& file) {
  std::vector<YuvFrame> frames;
  DecodeEachFrame(
      file,
      [](void* planes, void* user) {
        const th_img_plane* out = static_cast<const th_img_plane*>(planes);
        YuvFrame f;
        if (out == nullptr) return static_cast<std::vector<YuvFrame>*>(user)->push_back(f);
        f.width = out[0].width, f.height = out[0].height;
        f.chromaWidth = out[1].width, f.chromaHeight = out[1].height;
        for (int row = 0; row < f.height; ++row)
          f.y.insert(f.y.end(), out[0].data + row * out[0].stride, out[0].data + row * out[0].stride + f.width);
        for (int row = 0; row < f.chromaHeight; ++row) {
          f.u.insert(f.u.end(), out[1].data + row * out[1].stride, out[1].data + row * out[1].stride + f.chromaWidth);
          f.v.insert(f.v.end(), out[2].data + row * out[2].stride, out[2].data + row * out[2].stride + f.chromaWidth);
        }
        static_cast<std::vector<YuvFrame>*>(user)->push_back(std::move(f));
      },
      &frames);
  return frames;
}

static int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

void ModelRgb(const YuvFrame& f, int x, int y, uint8_t bgr[3]) {
  const int Y = f.y[static_cast<size_t>(y) * f.width + x];
  const int cx = x * f.chromaWidth / f.width, cy = y * f.chromaHeight / f.height;
  const int U = f.u[static_cast<size_t>(cy) * f.chromaWidth + cx];
  const int V = f.v[static_cast<size_t>(cy) * f.chromaWidth + cx];
  if (f.width == 2 * f.chromaWidth && f.height == 2 * f.chromaHeight) {
    const int luma = -305120 + 19070 * Y;
    bgr[2] = static_cast<uint8_t>(Clamp255((luma + (-3346944 + 26148 * V)) / 16384));
    bgr[1] = static_cast<uint8_t>(Clamp255((luma + (819968 - 6406 * U) + (1705984 - 13320 * V)) / 16384));
    bgr[0] = static_cast<uint8_t>(Clamp255((luma + (-4231936 + 33062 * U)) / 16384));
  } else {
    const float l = (Y - 16) * 1.164f;
    bgr[2] = static_cast<uint8_t>(Clamp255(static_cast<int>(l + (V - 128) * 1.596f)));
    bgr[1] = static_cast<uint8_t>(Clamp255(static_cast<int>(l - (U - 128) * 0.391f - (V - 128) * 0.813f)));
    bgr[0] = static_cast<uint8_t>(Clamp255(static_cast<int>(l + (U - 128) * 2.018f)));
  }
}
