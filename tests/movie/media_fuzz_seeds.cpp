// Writes small, whole test movies and sounds for the fuzzers to start from, into
// <dir>/seeds/<kind>, with an empty <dir>/new/<kind> for what each fuzzer finds.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "tests/filters/system/ffmpeg_media.h"
#include "tests/movie/theora_media.h"
#include "tests/sound/test_media.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  namespace fs = std::filesystem;
  const fs::path dir = argv[1];
  for (const char* kind : {"movie", "sound", "mp3graph", "moviegraph"}) {
    for (const char* use : {"seeds", "new"}) {
      fs::remove_all(dir / use / kind);
      fs::create_directories(dir / use / kind);
    }
  }
  MovieSpec movie;
  movie.frames = 6;
  movie.keyFrameEvery = 3;
  bool ok = WriteWholeFile((dir / "seeds/movie/plain.ogv").string(), EncodeTheoraMovie(movie));
  movie.pixelFormat = 3;
  movie.audioSamples = 2000;
  ok = ok && WriteWholeFile((dir / "seeds/movie/444_sound.ogv").string(), EncodeTheoraMovie(movie));
  const std::vector<int16_t> tone = TestTone(1200, 1, 8000);
  WaveSpec wave;
  wave.channels = 1;
  wave.rate = 8000;
  ok = ok && WriteWholeFile((dir / "seeds/sound/tone16.wav").string(), MakeWave(wave, AsBytes(tone)));
  wave.bits = 8;
  ok = ok && WriteWholeFile((dir / "seeds/sound/tone8.wav").string(), MakeWave(wave, NoiseBytes(300, 7)));
  ok = ok && WriteWholeFile((dir / "seeds/sound/tone.mp3").string(), EncodeMp3(TestTone(2400, 1, 8000), 1, 8000, 8, true));
  ok = ok && WriteWholeFile((dir / "seeds/sound/tone.ogg").string(), EncodeOgg(tone, 1, 8000));

  // MP3 for the graph: with and without the encoder's tag frame, with ID3 tags.
  const fs::path mp3 = dir / "seeds/mp3graph";
  ok = ok && WriteWholeFile((mp3 / "mono.mp3").string(), EncodeMp3(TestTone(2400, 1, 8000), 1, 8000, 8));
  ok = ok && WriteWholeFile((mp3 / "tagged.mp3").string(), EncodeMp3(TestTone(4000, 2, 16000), 2, 16000, 32, true));
  Bytes id3 = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 4, 0, 0, 0, 0};
  id3.resize(24, 0);  // the tag's footer
  const Bytes tagged = EncodeMp3(TestTone(3000, 1, 22050), 1, 22050, 32, true);
  id3.insert(id3.end(), tagged.begin(), tagged.end());
  id3.insert(id3.end(), {'T', 'A', 'G'});
  id3.resize(id3.size() + 125, ' ');
  ok = ok && WriteWholeFile((mp3 / "id3.mp3").string(), id3);
  // Free format: the frame size found from the next header.
  const Bytes free = EncodeMp3(TestTone(2400, 1, 16000), 1, 16000, 48, true, true);
  ok = ok && !free.empty() && WriteWholeFile((mp3 / "free.mp3").string(), free);
  ok = ok && WriteWholeFile((dir / "seeds/sound/free.mp3").string(), free);
  // CRC after every header, fixed and free format, each with a tag frame (at rates and
  // bitrates whose frames hold it).
  const Bytes crc = EncodeMp3(TestTone(2400, 2, 32000), 2, 32000, 64, true, false, true);
  const Bytes freeCrc = EncodeMp3(TestTone(2400, 1, 16000), 1, 16000, 48, true, true, true);
  for (const fs::path& kind : {mp3, dir / "seeds/sound"}) {
    ok = ok && WriteWholeFile((kind / "crc.mp3").string(), crc);
    ok = ok && WriteWholeFile((kind / "free_crc.mp3").string(), freeCrc);
  }

  // Movies for the graph over FFmpeg: a few frames each, with and without sound.
  struct Movie {
    const char* name;
    FfmpegMovieSpec spec;
  } movies[] = {
      {"mpeg4.avi", {"avi", AV_CODEC_ID_MPEG4, 0, 32, 24, 3, 25, 2}},
      {"mjpeg-aac.mkv", {"matroska", AV_CODEC_ID_MJPEG, AV_CODEC_ID_AAC, 16, 16, 2, 25, 1, 8000, 1}},
      {"mpeg4-mp2.avi", {"avi", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2, 24, 16, 3, 25, 2, 22050, 2}},
  };
  for (const Movie& m : movies) {
    ok = ok && WriteFfmpegMovie((dir / "seeds/moviegraph" / m.name).string(), m.spec);
  }
  // Transport streams: H.264 with B-frames and AAC, and two pieces joined whose sound
  // goes from six channels to two and to another rate.
  const fs::path graph = dir / "seeds/moviegraph";
  FfmpegMovieSpec h264{"mpegts", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 16, 16, 6, 25, 3, 8000, 1};
  h264.videoOptions = "bf=2";
  ok = ok && WriteFfmpegMovie((graph / "h264-aac.ts").string(), h264);
  std::string joined;
  for (int half = 0; ok && half < 2; ++half) {
    FfmpegMovieSpec spec{"mpegts", AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_AAC, 16, 16, 3, 25, 2, half ? 11025 : 8000,
                         half ? 2 : 6};
    spec.muxerOptions = half ? "output_ts_offset=0.12" : "";
    const fs::path part = dir / "new/moviegraph/part.ts";
    ok = WriteFfmpegMovie(part.string(), spec);
    std::ifstream in(part, std::ios::binary);
    joined.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fs::remove(part);
  }
  ok = ok && WriteWholeFile((graph / "layout-change.ts").string(), Bytes(joined.begin(), joined.end()));
  return ok ? 0 : 1;
}
