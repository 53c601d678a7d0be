#include "graphics/frame_dump.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/log.h"

namespace {
std::string g_dumpFolder;
int g_dumpEvery = 60;
std::string g_hashLogPath;
FILE* g_hashLog = nullptr;
}  // namespace

uint64_t HashScreenPixels(const uint16_t* pixels, int pitchBytes, int width, int height) {
  // FNV-1a over 16-bit words: cheap enough to run every frame, and any changed pixel
  // changes the hash.
  uint64_t hash = 0xCBF29CE484222325ull;
  const auto* row = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y, row += pitchBytes) {
    const auto* line = reinterpret_cast<const uint16_t*>(row);
    for (int x = 0; x < width; ++x) {
      hash ^= line[x];
      hash *= 0x100000001B3ull;
    }
  }
  return hash;
}

int WriteScreenPng(const char* path, const uint16_t* pixels, int pitchBytes, int width, int height) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return -1;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> line(static_cast<size_t>(width) * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    std::fclose(file);
    return -1;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  const auto* row = reinterpret_cast<const uint8_t*>(pixels);
  for (int y = 0; y < height; ++y, row += pitchBytes) {
    const auto* src = reinterpret_cast<const uint16_t*>(row);
    for (int x = 0; x < width; ++x) {
      const unsigned p = src[x];
      const unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
      line[x * 3 + 0] = static_cast<uint8_t>((r << 3) | (r >> 2));
      line[x * 3 + 1] = static_cast<uint8_t>((g << 2) | (g >> 4));
      line[x * 3 + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
    }
    png_write_row(png, line.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 ? 0 : -1;
}

void ConfigureFrameChecks() {
  CloseFrameChecks();
  const char* folder = std::getenv("DUMP_FRAMES");
  g_dumpFolder = folder != nullptr ? folder : "";
  const char* every = std::getenv("DUMP_EVERY");
  g_dumpEvery = 60;
  if (every != nullptr && std::atoi(every) > 0) g_dumpEvery = std::atoi(every);
  const char* hashLog = std::getenv("FRAME_HASH_LOG");
  g_hashLogPath = hashLog != nullptr ? hashLog : "";
}

void RunFrameChecks(int frameNumber, const uint16_t* pixels, int pitchBytes, int width, int height) {
  if (!g_dumpFolder.empty() && frameNumber % g_dumpEvery == 0) {
    char path[4096];
    std::snprintf(path, sizeof(path), "%s/frame_%06d.png", g_dumpFolder.c_str(), frameNumber);
    if (WriteScreenPng(path, pixels, pitchBytes, width, height) != 0)
      WriteLogFormat("Frame dump: cannot write %s", path);
  }
  if (!g_hashLogPath.empty()) {
    if (g_hashLog == nullptr) g_hashLog = std::fopen(g_hashLogPath.c_str(), "a");
    if (g_hashLog == nullptr) {
      WriteLogFormat("Frame hash: cannot open %s", g_hashLogPath.c_str());
      g_hashLogPath.clear();
      return;
    }
    std::fprintf(g_hashLog, "%d %016llx\n", frameNumber,
                 static_cast<unsigned long long>(HashScreenPixels(pixels, pitchBytes, width, height)));
    std::fflush(g_hashLog);  // a killed headless run still leaves every line it made
  }
}

void CloseFrameChecks() {
  if (g_hashLog != nullptr) std::fclose(g_hashLog);
  g_hashLog = nullptr;
}
