#pragma once
// Movies made in the test with libavcodec's own encoders, and what libavcodec with
// libswscale or libswresample alone makes of them: the references the file source's
// output must equal.
#include <cstdint>
#include <string>
#include <vector>

struct FfmpegMovieSpec {
  const char* container = "avi";  // a libavformat muxer name
  int videoCodec = 0;             // an AVCodecID; 0 for none
  int audioCodec = 0;
  int width = 160, height = 120, frames = 25, fps = 25, keyEvery = 10;
  int rate = 22050, channels = 2;
  int audioTracks = 1;               // each its own tone: 220 Hz x channel x track
  int defaultAudio = -1;             // the track marked default; -1 leaves it to the muxer
  const char* muxerOptions = "";     // as "movflags=+faststart"
  const char* videoOptions = "";     // the video encoder's, as "bf=3,intra-refresh=1"
};

// Writes the movie to `path`: a moving pattern and a tone per channel. False when
// something refuses.
bool WriteFfmpegMovie(const std::string& path, const FfmpegMovieSpec& spec);

// Every frame of the first video stream as BGR rows padded to 4 bytes, bottom-up or
// top-down, converted as the file source converts.
std::vector<std::vector<uint8_t>> DecodeFramesDirectly(const std::string& path, bool bottomUp);
// An audio stream as interleaved 16-bit PCM in at most two channels: the one FFmpeg
// picks as the best, or the `track`-th audio stream of the file. The first frame's
// rate and channels hold throughout: a sound that changes mid-way goes through a new
// converter, after all the old one held, and the last one's remainder ends it.
std::vector<uint8_t> DecodePcmDirectly(const std::string& path, int track = -1);
