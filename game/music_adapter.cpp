// The music entries of the sound layer, reached through one small file so that the
// game builds and runs (silently) before music playback is part of the library.
#if __has_include("sound/music.h")
#include "sound/music.h"
#define GAME_HAS_MUSIC 1
#endif

int GameMusicPlayFile(const char* path) {
#ifdef GAME_HAS_MUSIC
  return PlayMusicFile(path, 3);
#else
  (void)path;
  return -1;
#endif
}

int GameMusicStop() {
#ifdef GAME_HAS_MUSIC
  return StopCurrentMusic();
#else
  return -1;
#endif
}

int GameMusicSetVolume(int volume) {
#ifdef GAME_HAS_MUSIC
  return SetMusicVolume(volume);
#else
  (void)volume;
  return -1;
#endif
}
