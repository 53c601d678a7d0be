// assetgen <run folder>: writes the game data the game loads at its loading screen,
// image/ (PNG), sound/ (WAVE) and music/ (MP3), into the folder the game runs in.
// The output depends on nothing but this program, so the build reruns it only when
// the generator changes.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"

namespace {
bool MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0) return true;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: assetgen <run folder> [images|sound|music]...\n");
    return 2;
  }
  std::string root = argv[1];
  bool all = argc == 2;
  auto wanted = [&](const char* part) {
    if (all) return true;
    for (int i = 2; i < argc; ++i)
      if (std::string(argv[i]) == part) return true;
    return false;
  };
  for (const char* sub : {"", "/image", "/sound", "/music"})
    if (!MakeDir(root + sub)) {
      std::fprintf(stderr, "assetgen: cannot make folder %s%s\n", root.c_str(), sub);
      return 1;
    }
  bool ok = true;
  if (wanted("images")) ok &= GenerateImages(root + "/image");
  if (wanted("sound")) ok &= GenerateSoundEffects(root + "/sound");
  if (wanted("music")) ok &= GenerateMusic(root + "/music", 4);
  return ok ? 0 : 1;
}
