// The program: starts the library, runs the frame loop and ends the library.
#include <cstdint>
#include <cstdio>

#include "graphics/demo_scene.h"
#include "graphics/screen.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/library.h"
#include "platform/log.h"
#include "platform/pacer.h"
#include "platform/window.h"

namespace {
constexpr int64_t kPassUs = 16000;
}  // namespace

int main() {
  RegisterGraphicsStep();
  SetScreenMode(kScreenWidth, kScreenHeight, 16, 60);
  SetWindowMode(1);
  SetWindowTitle("danmaku");
  if (InitLibrary() == -1) {
    std::fputs("danmaku: the library could not start (see Log.txt)\n", stderr);
    return -1;
  }
  SetAlwaysRun(1);
  SetDrawScreen(kBackScreen);
  // Until the game's own scenes exist, the graphics demo shows the library at work.
  StartDemoScene();

  uint8_t keys[256];
  PassClock& clock = SystemPassClock();
  const int64_t firstPass = clock.NowUs();
  int passes = 0;
  while (ProcessLibraryMessages() == 0) {
    if (GetKeyStateSnapshot(keys) != 0) break;
    const int64_t passStart = clock.NowUs();
    ClearDrawScreen();
    DrawDemoScene(passes);
    FlipScreen();
    ++passes;
    if (keys[kKeyF4] & 0x80) break;
    WaitForPassEnd(clock, passStart, kPassUs);
  }
  WriteLogFormat("%d 回のループを %lld ミリ秒で処理しました", passes,
                 static_cast<long long>((clock.NowUs() - firstPass) / 1000));
  EndDemoScene();
  EndLibrary();
  return 0;
}
