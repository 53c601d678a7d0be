#include "platform/library.h"

#include <SDL.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/alloc.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/util.h"
#include "platform/window.h"
#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace {
std::vector<std::string> g_calls;

int StartYuv() { g_calls.push_back("yuv"); return 0; }
int StartSound() { g_calls.push_back("sound"); return 0; }
int FailSound() { g_calls.push_back("sound"); return -1; }
int EndSound() { g_calls.push_back("~sound"); return 0; }
int StartGraphics() { g_calls.push_back("graphics"); return 0; }
int FailGraphics() { g_calls.push_back("graphics"); return -1; }
int EndGraphics() { g_calls.push_back("~graphics"); return 0; }
int StopMusic() { g_calls.push_back("stopmusic"); return 0; }
int EndSoftImages() { g_calls.push_back("~softimages"); return 0; }

// Each test starts the library headless in a directory of its own.
class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    g_calls.clear();
    RegisterLibraryStep(LibraryStep::YuvTables, StartYuv, nullptr);
    RegisterLibraryStep(LibraryStep::Sound, StartSound, EndSound);
    RegisterLibraryStep(LibraryStep::Graphics, StartGraphics, EndGraphics);
    RegisterLibraryStep(LibraryStep::StopMusic, nullptr, StopMusic);
    RegisterLibraryStep(LibraryStep::SoftImages, nullptr, EndSoftImages);
    SetScreenMode(640, 480, 16, 60);
    SetWindowMode(1);
    SetWindowScale(1.0);
  }
  void TearDown() override {
    if (IsLibraryStarted()) EndLibrary();
    for (int i = 0; i < static_cast<int>(LibraryStep::Count); ++i) {
      RegisterLibraryStep(static_cast<LibraryStep>(i), nullptr, nullptr);
    }
    ASSERT_EQ(chdir(previous_), 0);
  }
  std::string Log() const { return ReadWholeFile(dir_.File("Log.txt")); }

  TempDir dir_;
  char previous_[4096];
};

TEST_F(Library, StartsAndEndsInOrderAndLogsTheLeak) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(InitLibrary(), 0);  // already running: nothing runs again
  EXPECT_EQ(IsLibraryStarted(), 1);
  EXPECT_NE(GetMainWindow(), 0u);
  EXPECT_GE(g_processorCount, 1);
  void* leak = TrackedAlloc(48, "LeakTest", 321);
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(EndLibrary(), -1);
  TrackedFree(leak);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"yuv", "sound", "graphics", "stopmusic",
                                               "~graphics", "~sound", "~softimages"}));
  EXPECT_EQ(GetMainWindow(), 0u);
  std::string log = Log();
  // Start and end lines at the outer level, the steps one tab in, the leak two.
  for (const char* line :
       {":ライブラリの初期化処理を開始します\r\n", ":\t\tプロセッサ数: ", ":\tメインウインドウを作成しました",
        ":ライブラリの初期化処理が完了しました\r\n", ":ライブラリの終了処理を開始します\r\n",
        ":\t\tLeakTest(321) ", ":ライブラリの終了処理が完了しました\r\n"}) {
    EXPECT_NE(log.find(ShiftJis(line)), std::string::npos) << line;
  }
}

TEST_F(Library, FailingGraphicsFailsTheStartFailingSoundIsOnlyLogged) {
  RegisterLibraryStep(LibraryStep::Sound, FailSound, EndSound);
  RegisterLibraryStep(LibraryStep::Graphics, FailGraphics, EndGraphics);
  EXPECT_EQ(InitLibrary(), -1);
  EXPECT_EQ(IsLibraryStarted(), 0);
  EXPECT_EQ(GetMainWindow(), 0u);  // the shut-down ran
  EXPECT_EQ(g_calls, (std::vector<std::string>{"yuv", "sound", "graphics", "stopmusic",
                                               "~graphics", "~sound", "~softimages"}));
  std::string log = Log();
  EXPECT_NE(log.find(ShiftJis("サウンドの初期化に失敗しました")), std::string::npos);
  EXPECT_NE(log.find(ShiftJis("グラフィックスの初期化に失敗しました")), std::string::npos);

  g_calls.clear();
  RegisterLibraryStep(LibraryStep::Graphics, StartGraphics, EndGraphics);
  EXPECT_EQ(InitLibrary(), 0);  // a failed sound alone does not stop the start
  EXPECT_EQ(EndLibrary(), 0);

  SetScreenMode(640, 480, 24, 60);
  EXPECT_EQ(InitLibrary(), -1);  // 24-bit colour is refused
  EXPECT_NE(Log().find(ShiftJis("24ビットカラーモードには対応していません")), std::string::npos);
  SetScreenMode(640, 480, 16, 60);
}

std::vector<std::string> g_events;
void OnNotify(uintptr_t w, intptr_t l) { g_events.push_back("notify " + std::to_string(w) + " " + std::to_string(l)); }
void OnDeactivate() { g_events.push_back("pause"); }
void OnActivate() { g_events.push_back("resume"); }
void MusicStates() { g_events.push_back("music"); }
void Movies() { g_events.push_back("movies"); }
void Streams() { g_events.push_back("streams"); }
void SoftPlayers() { g_events.push_back("players"); }

void PushWindowEvent(SDL_WindowEventID id) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = id;
  SDL_PushEvent(&e);
}

TEST_F(Library, PumpDeliversNotifiesActivationAndRunsEntries) {
  ASSERT_EQ(InitLibrary(), 0);
  SetMciNotifyHandler(OnNotify);
  SetActivationHandlers(OnDeactivate, OnActivate);
  SetPumpEntry(PumpEntry::ProcessMusicStates, MusicStates);
  SetPumpEntry(PumpEntry::DrawAllMovies, Movies);
  SetPumpEntry(PumpEntry::ProcessStreamSounds, Streams);
  SetPumpEntry(PumpEntry::ProcessSoftSoundPlayers, SoftPlayers);
  ProcessLibraryMessages();  // whatever the window said on opening
  g_events.clear();

  std::thread([] { PostMainWindowMessage(kMsgMciNotify, 1, 77); }).join();
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);  // told twice, paused once
  g_processorCount = 4;
  EXPECT_EQ(ProcessLibraryMessages(), 0);
  EXPECT_EQ(IsMainWindowActive(), 0);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  g_processorCount = 1;  // no refill thread: the pump refills
  EXPECT_EQ(ProcessLibraryMessages(), 0);
  EXPECT_EQ(IsMainWindowActive(), 1);
  EXPECT_EQ(g_events, (std::vector<std::string>{"notify 1 77", "pause", "music", "movies", "resume",
                                                "music", "movies", "streams", "players"}));

  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(ProcessLibraryMessages(), -1);
  EXPECT_EQ(ProcessLibraryMessages(), -1);  // stays -1 once the program must quit

  PostMainWindowMessage(kMsgMciNotify, 2, 0);
  ASSERT_EQ(EndLibrary(), 0);  // the sound layer has ended: the notice goes with the window
  g_events.clear();
  PumpWindowMessages();
  EXPECT_EQ(g_events, (std::vector<std::string>{"music", "movies", "streams", "players"}));
  for (int i = 0; i < static_cast<int>(PumpEntry::Count); ++i) SetPumpEntry(static_cast<PumpEntry>(i), nullptr);
  SetMciNotifyHandler(nullptr);
  SetActivationHandlers(nullptr, nullptr);
}

void PushKey(SDL_Scancode code, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.keysym.scancode = code;
  SDL_PushEvent(&e);
}

TEST_F(Library, KeySnapshotUsesDirectInputCodes) {
  uint8_t keys[256];
  EXPECT_EQ(GetKeyStateSnapshot(keys), -1);  // before the start
  ASSERT_EQ(InitLibrary(), 0);
  struct Key {
    SDL_Scancode scancode;
    int code;
  } table[] = {{SDL_SCANCODE_ESCAPE, kKeyEscape}, {SDL_SCANCODE_Z, kKeyZ},   {SDL_SCANCODE_X, kKeyX},
               {SDL_SCANCODE_C, kKeyC},           {SDL_SCANCODE_LSHIFT, kKeyLShift},
               {SDL_SCANCODE_UP, kKeyUp},         {SDL_SCANCODE_LEFT, kKeyLeft},
               {SDL_SCANCODE_RIGHT, kKeyRight},   {SDL_SCANCODE_DOWN, kKeyDown},
               {SDL_SCANCODE_F4, kKeyF4},         {SDL_SCANCODE_RETURN, kKeyReturn},
               {SDL_SCANCODE_SPACE, kKeySpace}};
  for (const Key& k : table) {
    PushKey(k.scancode, true);
    ProcessLibraryMessages();
    ASSERT_EQ(GetKeyStateSnapshot(keys), 0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(keys[i], i == k.code ? 0x80 : 0) << k.code << " " << i;
    PushKey(k.scancode, false);
    ProcessLibraryMessages();
    GetKeyStateSnapshot(keys);
    EXPECT_EQ(keys[k.code], 0);
  }
  PushKey(SDL_SCANCODE_Z, true);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);  // released while away: not left down
  ProcessLibraryMessages();
  GetKeyStateSnapshot(keys);
  EXPECT_EQ(keys[kKeyZ], 0);
}

TEST_F(Library, PumpOnAnotherThreadTakesPostedMessagesAndLeavesWindowEvents) {
  ASSERT_EQ(InitLibrary(), 0);
  SetMciNotifyHandler(OnNotify);
  g_events.clear();
  PushKey(SDL_SCANCODE_X, true);
  PostMainWindowMessage(kMsgMciNotify, 3, 4);
  std::thread([] { PumpWindowMessages(); }).join();
  EXPECT_EQ(g_events, (std::vector<std::string>{"notify 3 4"}));
  uint8_t keys[256];
  GetKeyStateSnapshot(keys);
  EXPECT_EQ(keys[kKeyX], 0);  // the window's events wait for its own thread
  ProcessLibraryMessages();
  GetKeyStateSnapshot(keys);
  EXPECT_EQ(keys[kKeyX], 0x80);
  SetMciNotifyHandler(nullptr);
}

TEST_F(Library, PresentedScreenFillsTheScaledWindow) {
  SetWindowScale(1.5);
  ASSERT_EQ(InitLibrary(), 0);
  std::vector<uint16_t> screen(640 * 480, 0);
  // Left half pure red, right half pure blue (RGB565).
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) screen[y * 640 + x] = x < 320 ? 0xF800 : 0x001F;
  }
  ASSERT_EQ(PresentScreen(screen.data(), 640 * 2, 640, 480), 0);
  SDL_Surface* surface = SDL_GetWindowSurface(reinterpret_cast<SDL_Window*>(GetMainWindow()));
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->w, 960);
  EXPECT_EQ(surface->h, 720);
  auto pixelAt = [&](int x, int y) {
    Uint32 value = 0;
    std::memcpy(&value, static_cast<uint8_t*>(surface->pixels) + y * surface->pitch +
                            x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
    Uint8 r, g, b;
    SDL_GetRGB(value, surface->format, &r, &g, &b);
    return (r << 16) | (g << 8) | b;
  };
  EXPECT_EQ(pixelAt(0, 0), 0xFF0000);
  EXPECT_EQ(pixelAt(470, 719), 0xFF0000);
  EXPECT_EQ(pixelAt(490, 0), 0x0000FF);
  EXPECT_EQ(pixelAt(959, 719), 0x0000FF);
  ASSERT_EQ(EndLibrary(), 0);
  SetWindowScale(1.0);

  SetWindowMode(0);  // full screen takes the desktop as it is: nothing to refuse
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(PresentScreen(screen.data(), 640 * 2, 640, 480), 0);
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(PresentScreen(screen.data(), 640 * 2, 640, 480), -1);  // no window
}
TEST_F(Library, FatalErrorLogsEndsTheLibraryAndSkipsExitHandlers) {
  ASSERT_EQ(InitLibrary(), 0);
  std::string marker = dir_.File("exit-handler-ran");
  EXPECT_EXIT(
      {
        static std::string path = marker;
        std::atexit([] { WriteWholeFile(path, "ran"); });
        FatalErrorExit("致命的なエラー\n");
      },
      ::testing::ExitedWithCode(255), "");
  EXPECT_FALSE(std::filesystem::exists(marker));
  std::string log = Log();
  size_t fatal = log.find(ShiftJis("致命的なエラー\r\n"));
  ASSERT_NE(fatal, std::string::npos);
  EXPECT_NE(log.find(ShiftJis("ライブラリの終了処理が完了しました")), std::string::npos);
}
}  // namespace
