#pragma once
// Library start and end. Configuration calls are made before InitLibrary.
#include <cstdint>

// Before the start.
int SetScreenMode(int width, int height, int colourBits, int refreshRate);
int SetWindowMode(int windowed);       // 1 window, 0 full screen
int SetWindowScale(double scale);      // window size = 640 x 480 times this
int SetWindowTitle(const char* title); // UTF-8
// After the start: keep running while the window is inactive (1) or wait (0).
int SetAlwaysRun(int flag);

// 0 on success (and at once when already started), -1 on failure.
int InitLibrary();
int EndLibrary();
// One pass of the message pump under the ApiLock: 0, or -1 once the program must quit.
int ProcessLibraryMessages();
int IsLibraryStarted();

// Steps that later subsystems register, run at their fixed places in the start-up
// and shut-down order.
enum class LibraryStep {
  YuvTables,      // start only, before the file layer
  Sound,          // start after window and input (failure only logged); end after input
  Graphics,       // start after sound (failure fails the start); end before input
  StopMusic,      // end only, after the network step, before the 3-D resources
  SoftImages,     // end only, after COM
  Count
};
void RegisterLibraryStep(LibraryStep step, int (*start)(), int (*end)());
