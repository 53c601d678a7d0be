#pragma once
// The main window and its message pump. Higher layers register the entries the pump
// drives (music states, movies, stream refills) at their own start, so that the
// platform never calls upward directly.
#include <cstdint>

constexpr unsigned kMsgMciNotify = 0x3B9;  // MM_MCINOTIFY

enum class PumpEntry {
  ProcessMusicStates,
  DrawAllMovies,
  ProcessStreamSounds,      // run by the pump only when g_processorCount <= 1
  ProcessSoftSoundPlayers,  // likewise
  Count
};
void SetPumpEntry(PumpEntry which, void (*entry)());

// Receives every MM_MCINOTIFY message posted to the main window.
void SetMciNotifyHandler(void (*handler)(uintptr_t wParam, intptr_t lParam));
// Called when the main window is deactivated and activated again.
void SetActivationHandlers(void (*onDeactivate)(), void (*onActivate)());

// One pass of the pump on the main thread: 0, or -1 once the program must quit.
int PumpWindowMessages();
// Opaque handle of the main window (0 before it exists).
uintptr_t GetMainWindow();
// 1 while the main window is active (it starts active), 0 after it lost the focus.
int IsMainWindowActive();
// Posts a message to the main window's queue; delivered by the next pump pass.
// Safe from any thread.
int PostMainWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
// The window procedure the pump hands each message to.
intptr_t MainWindowProc(uintptr_t window, unsigned message, uintptr_t wParam, intptr_t lParam);

// Shows a 640 x 480 RGB565 screen in the window, scaled to its size.
int PresentScreen(const uint16_t* pixels, int pitchBytes, int width, int height);

// The size of the display that a window may use (less its panels): 0, or -1 when no
// display answers. May be asked before the library starts.
int GetDisplayUsableSize(int* width, int* height);

// Used by the library start and end: opens the main window (0, or -1 on failure) and
// closes it, dropping the messages still queued for it.
int OpenMainWindow(const char* title, int width, int height, int windowed);
void CloseMainWindow();
