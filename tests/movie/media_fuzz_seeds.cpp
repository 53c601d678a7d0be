// Writes small, whole test movies and sounds for the fuzzers to start from, into
// <dir>/seeds/{movie,sound}, with empty <dir>/new/{movie,sound} for what they find.
#include <filesystem>
#include <string>

#include "tests/movie/theora_media.h"
#include "tests/sound/test_media.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  namespace fs = std::filesystem;
  const fs::path dir = argv[1];
  for (const char* kind : {"seeds/movie", "seeds/sound", "new/movie", "new/sound"}) {
    fs::remove_all(dir / kind);
    fs::create_directories(dir / kind);
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
  return ok ? 0 : 1;
}
