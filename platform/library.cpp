#include "platform/library.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/kernel/thread.h"
#include "host/window/window.h"
#include "platform/alloc.h"
#include "platform/api_lock.h"
#include "platform/file.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/util.h"
#include "platform/window.h"

namespace {
struct Settings {
  int width = 640;
  int height = 480;
  int colourBits = 16;
  int refreshRate = 60;
  int windowed = 0;
  double scale = 1.0;
  std::string title = "Halvo";
  int alwaysRun = 0;
};

struct Step {
  int (*start)() = nullptr;
  int (*end)() = nullptr;
  bool started = false;
};

Settings g_settings;
Step g_steps[static_cast<int>(LibraryStep::Count)];
bool g_started = false;
bool g_windowOpen = false;
bool g_inputOpen = false;
std::string g_startDirectory;

Step& StepOf(LibraryStep step) { return g_steps[static_cast<int>(step)]; }

// Runs a registered start; a step nobody registered counts as done.
int StartStep(LibraryStep which) {
  Step& step = StepOf(which);
  if (step.start == nullptr) return 0;
  step.started = true;
  return step.start();
}

// Ends a step whose start ran, and an end-only step always.
void EndStep(LibraryStep which) {
  Step& step = StepOf(which);
  if (step.end != nullptr && (step.start == nullptr || step.started)) step.end();
  step.started = false;
}

void LogSystemInformation() {
  g_processorCount = HostProcessorCount();
  WriteLog("システム情報\n");
  IncreaseLogIndent();
  struct utsname name;
  if (uname(&name) == 0) WriteLogFormat("OS: %s %s %s", name.sysname, name.release, name.machine);
  WriteLogFormat("プロセッサ数: %d", g_processorCount);
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    WriteLogFormat("物理メモリ: %lld MB", static_cast<long long>(pages) * pageSize / (1024 * 1024));
  }
  DecreaseLogIndent();
}

int RunLibraryShutdown();

int RunLibraryStartup() {
  // A full screen needs nothing of the display here: the desktop mode is used and the
  // screen is letterboxed, so there is no mode to fall back from.
  StartStep(LibraryStep::YuvTables);
  InstallPlainFileAccess();

  char directory[4096];
  g_startDirectory = getcwd(directory, sizeof directory) != nullptr ? directory : "";
  StartLog(g_startDirectory.c_str());
  WriteLog("ライブラリの初期化処理を開始します\n");
  IncreaseLogIndent();

  if (g_settings.colourBits == 24) {
    WriteLog("24ビットカラーモードには対応していません\n");
    RunLibraryShutdown();
    return -1;
  }
  LogSystemInformation();

  int width = static_cast<int>(g_settings.width * g_settings.scale);
  int height = static_cast<int>(g_settings.height * g_settings.scale);
  if (OpenMainWindow(g_settings.title.c_str(), width, height, g_settings.windowed) != 0) {
    WriteLogFormat("メインウインドウの作成に失敗しました: %s", HostWindowError());
    RunLibraryShutdown();
    return -1;
  }
  g_windowOpen = true;
  WriteLogFormat("メインウインドウを作成しました (%d x %d %s)", width, height,
                 g_settings.windowed ? "ウインドウモード" : "フルスクリーン");

  if (StartInput() != 0) {
    WriteLog("入力の初期化に失敗しました\n");
    RunLibraryShutdown();
    return -1;
  }
  g_inputOpen = true;

  // Without sound the game still runs; every sound call then fails on its own.
  if (StartStep(LibraryStep::Sound) != 0) WriteLog("サウンドの初期化に失敗しました\n");

  if (StartStep(LibraryStep::Graphics) != 0) {
    WriteLog("グラフィックスの初期化に失敗しました\n");
    RunLibraryShutdown();
    return -1;
  }

  g_started = true;
  DecreaseLogIndent();
  WriteLog("ライブラリの初期化処理が完了しました\n");
  return 0;
}

int RunLibraryShutdown() {
  WriteLog("ライブラリの終了処理を開始します\n");
  IncreaseLogIndent();
  EndStep(LibraryStep::StopMusic);
  EndStep(LibraryStep::Graphics);
  if (g_inputOpen) EndInput();
  g_inputOpen = false;
  EndStep(LibraryStep::Sound);
  if (g_windowOpen) {
    CloseMainWindow();
    WriteLog("メインウインドウを閉じました\n");
  }
  g_windowOpen = false;
  EndStep(LibraryStep::SoftImages);
  if (!g_startDirectory.empty() && chdir(g_startDirectory.c_str()) != 0) {
    WriteLog("起動時のディレクトリに戻れませんでした\n");
  }
  DumpLiveAllocations();
  g_started = false;
  DecreaseLogIndent();
  WriteLog("ライブラリの終了処理が完了しました\n");
  return 0;
}
}  // namespace

int SetScreenMode(int width, int height, int colourBits, int refreshRate) {
  if (g_started || width <= 0 || height <= 0) return -1;
  g_settings.width = width;
  g_settings.height = height;
  g_settings.colourBits = colourBits;
  g_settings.refreshRate = refreshRate;
  return 0;
}

int SetWindowMode(int windowed) {
  if (g_started) return -1;
  g_settings.windowed = windowed != 0 ? 1 : 0;
  return 0;
}

int SetWindowScale(double scale) {
  if (g_started || !(scale > 0.0) || scale > 16.0) return -1;
  g_settings.scale = scale;
  return 0;
}

int SetWindowTitle(const char* title) {
  if (title == nullptr) return -1;
  g_settings.title = title;
  if (g_started) HostSetWindowTitle(title);
  return 0;
}

int SetAlwaysRun(int flag) {
  g_settings.alwaysRun = flag != 0 ? 1 : 0;
  return 0;
}

int InitLibrary() {
  ApiLockGuard lock;
  if (g_started) return 0;
  return RunLibraryStartup();
}

int EndLibrary() {
  ApiLockGuard lock;
  if (!g_started) return -1;
  return RunLibraryShutdown();
}

int ProcessLibraryMessages() {
  ApiLockGuard lock;
  return PumpWindowMessages();
}

int IsLibraryStarted() { return g_started ? 1 : 0; }

void RegisterLibraryStep(LibraryStep step, int (*start)(), int (*end)()) {
  if (step >= LibraryStep::Count) return;
  StepOf(step).start = start;
  StepOf(step).end = end;
}

void FatalErrorExit(const char* message) {
  WriteLog(message);
  EndLibrary();
  // Skips the exit handlers: the save file is not written on this path.
  std::_Exit(-1);
}
