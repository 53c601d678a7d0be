// The program: reads the save file, starts the library, shows the loading screen,
// runs the frame loop over the scenes and ends the library; "central.dat" is written
// when the process exits.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "font/default_font.h"
#include "game/draw/game_images.h"
#include "game/draw/play_draw.h"
#include "game/files/replay_file.h"
#include "game/files/save_tables.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/loading.h"
#include "game/scenes/scenes.h"
#include "graphics/draw.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "movie/movie_layer.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/library.h"
#include "platform/log.h"
#include "platform/pacer.h"
#include "sound/music.h"
#include "sound/sound.h"

namespace {

constexpr int64_t kPassUs = 16000;

// Registered only once the loop has ended normally: the fatal-error path exits
// without it.
void StoreSaveAtExit() {
  CopyPlayTablesToSaveData(&g_save);
  StoreSaveData(g_save);
}

void DrawFrameRate(double rate) {
  SetBlendModeParam(0, 255);
  DrawFormattedStringDefaultFont(560, 460, MakeScreenColor(200, 200, 200), "%5.1ffps", rate);
}

void ConfigureBeforeStart() {
  RegisterGraphicsStep();
  RegisterSoundLibrarySteps();
  // Graph files no image loader takes open as movies; nothing in the game ships one.
  RegisterMovieLibrarySteps();
  SetScreenMode(kScreenWidth, kScreenHeight, 16, 60);
  // A window larger than the display would open partly off it, the menus unseen.
  const int width = StartWindowWidth();
  if (width > 0) {
    SetWindowScale(width / 640.0);
    SetWindowMode(1);
  } else {
    SetWindowMode(0);
  }
  SetWindowTitle("Veiled Lunar Mirage");
}

void PlugInSoundAndDrawing() {
  static const PlaySoundTable kSoundLayer{PlaySoundHandle, GameMusicPlayFile, StopCurrentMusic};
  g_playSound = &kSoundLayer;
  InstallPlayDrawing(true);
}

}  // namespace

int main() {
  std::string loadReport;
  SaveDamage damage = SaveDamage::kNone;
  // Before the library exists; defaults on any fault.
  LoadSaveData(&g_save, kSaveFileName, &loadReport, &damage);
  CopySaveDataToPlayTables(g_save);
  ConfigureBeforeStart();
  if (InitLibrary() == -1) {
    std::fputs("danmaku: the library could not start (see Log.txt)\n", stderr);
    return -1;
  }
  if (!loadReport.empty()) WriteLog(loadReport.c_str());
  KeepDamagedSavesAndTell(damage);
  // A replay write killed between its temporary file and the rename left that file.
  RemoveReplayLeftovers();
  SetAlwaysRun(1);
  SetDrawScreen(kBackScreen);
  SetFilterMode(1);
  PlugInSoundAndDrawing();
  ResetPlayState();
  LoadScriptedInput();
  PassClock& clock = SystemPassClock();
  if (RunLoadingScreen(clock) != 0) {
    std::atexit(StoreSaveAtExit);
    EndLibrary();
    return 0;
  }
  ApplyVolumes();
  g_images.fieldGraph = MakeScreenGraph(kFieldRightPx, kFieldBottomPx);
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  g_scene = kSceneTitle;

  uint8_t keys[256];
  int passes = 0;
  const int64_t firstPass = clock.NowUs();
  int64_t rateStart = firstPass;
  int rateFrames = 0;
  double rate = 60.0;
  while (ProcessLibraryMessages() == 0) {
    if (GetKeyStateSnapshot(keys) != 0) break;
    MergeScriptedInput(passes, keys);
    TakeKeySnapshot(keys);
    const int64_t passStart = clock.NowUs();
    ClearDrawScreen();
    SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
    RunSceneFrame();
    SetDrawArea(0, 0, kScreenWidth, kScreenHeight);
    DrawFrameRate(rate);
    FlipScreen();
    ++passes;
    if (++rateFrames == 60) {
      rate = 60.0 * 1e6 / static_cast<double>(std::max<int64_t>(1, passStart - rateStart));
      rateStart = passStart;
      rateFrames = 0;
    }
    if ((keys[kKeyF4] & 0x80) || g_scene == kSceneQuit) break;
    WaitForPassEnd(clock, passStart, kPassUs);
  }
  WriteLogFormat("%d 回のループを %lld ミリ秒で処理しました\n", passes,
                 static_cast<long long>((clock.NowUs() - firstPass) / 1000));
  std::atexit(StoreSaveAtExit);
  EndLibrary();
  return 0;
}
