// The program: starts the library, runs the frame loop and ends the library.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/library.h"
#include "platform/log.h"
#include "platform/pacer.h"
#include "platform/window.h"

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int64_t kPassUs = 16000;

uint16_t Rgb565(int r, int g, int b) { return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3); }

// Stands in for the scenes until the game draws them: a band of colour and a square
// that bounces, so that a run shows the loop is alive.
void DrawPlaceholderScene(uint16_t* screen, int frame) {
  for (int y = 0; y < kHeight; ++y) {
    uint16_t colour = Rgb565(0, (y * 255) / kHeight / 2, 96);
    std::fill(screen + y * kWidth, screen + y * kWidth + kWidth, colour);
  }
  int span = kWidth - 64;
  int x = frame % (2 * span);
  if (x >= span) x = 2 * span - x;
  int y = kHeight / 2 - 32;
  for (int row = y; row < y + 64; ++row) {
    std::fill(screen + row * kWidth + x, screen + row * kWidth + x + 64, Rgb565(255, 224, 64));
  }
}
}  // namespace

int main() {
  SetScreenMode(kWidth, kHeight, 16, 60);
  SetWindowMode(1);
  SetWindowTitle("danmaku");
  if (InitLibrary() == -1) {
    std::fputs("danmaku: the library could not start (see Log.txt)\n", stderr);
    return -1;
  }
  SetAlwaysRun(1);

  static uint16_t screen[kWidth * kHeight];
  uint8_t keys[256];
  PassClock& clock = SystemPassClock();
  const int64_t firstPass = clock.NowUs();
  int passes = 0;
  while (ProcessLibraryMessages() == 0) {
    if (GetKeyStateSnapshot(keys) != 0) break;
    const int64_t passStart = clock.NowUs();
    std::fill(screen, screen + kWidth * kHeight, 0);
    DrawPlaceholderScene(screen, passes);
    PresentScreen(screen, kWidth * 2, kWidth, kHeight);
    ++passes;
    if (keys[kKeyF4] & 0x80) break;
    WaitForPassEnd(clock, passStart, kPassUs);
  }
  WriteLogFormat("%d 回のループを %lld ミリ秒で処理しました", passes,
                 static_cast<long long>((clock.NowUs() - firstPass) / 1000));
  EndLibrary();
  return 0;
}
