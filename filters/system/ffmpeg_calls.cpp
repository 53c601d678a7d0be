#define FFMPEG_CALLS_NO_NAMES
#include "filters/system/ffmpeg_calls.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>

namespace {

#define FFMPEG_STRINGIZE(x) #x
#define FFMPEG_SONAME(name, major) "lib" #name ".so." FFMPEG_STRINGIZE(major)

// The libraries these headers were built against, by their major version.
struct Library {
  const char* soname;
  void* handle;
};
Library g_libraries[] = {
    {FFMPEG_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR), nullptr},
    {FFMPEG_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR), nullptr},
    {FFMPEG_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR), nullptr},
    {FFMPEG_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR), nullptr},
    {FFMPEG_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR), nullptr},
};
enum LibraryIndex { avutil, avcodec, avformat, swscale, swresample };

FfmpegTable g_table{};
std::atomic<bool> g_loaded{false};

bool LoadOnce() {
  for (Library& library : g_libraries) {
    library.handle = dlopen(library.soname, RTLD_NOW | RTLD_LOCAL);
    if (library.handle == nullptr) return false;
  }
  bool complete = true;
  auto find = [&](LibraryIndex library, const char* name, auto& slot) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(g_libraries[library].handle, name));
    complete &= slot != nullptr;
  };
#define FFMPEG_FIND(library, function) find(library, #function, g_table.function);
  FFMPEG_CALLS(FFMPEG_FIND)
#undef FFMPEG_FIND
  return complete;
}

}  // namespace

bool LoadFfmpeg() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (LoadOnce()) {
      g_loaded.store(true);
      return;
    }
    g_table = FfmpegTable{};
    for (Library& library : g_libraries)
      if (library.handle != nullptr) dlclose(library.handle), library.handle = nullptr;
  });
  return g_loaded.load();
}

bool FfmpegLoaded() { return g_loaded.load(); }

const FfmpegTable& Ffmpeg() { return g_table; }
