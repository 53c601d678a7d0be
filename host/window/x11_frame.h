#pragma once
// The frame a window manager puts round a window, known before the window exists: a
// manager takes the position a new window asks for as its frame's.
#include <SDL.h>

struct WindowFrame {
  int left = 0, right = 0, top = 0, bottom = 0;
};

// The frame the running window manager gives a new window on SDL's X display, asked of
// the manager for a window never shown; all zero off X11, without a manager, or where the
// manager does not answer within two seconds.
WindowFrame X11FrameOfNewWindows();
