#pragma once
// The screen shown in an X11 window through shared-memory images of our own, on a
// display connection of our own. Each flip widens the screen into an image the server
// has finished with and sends it without waiting for the server: a window surface would
// wait for the server's copy on every flip, and the server would have just read the very
// pixels the next flip writes, which costs the game's thread more than the widening.
#include <SDL.h>

#include <cstdint>

// Starts on `window` when it is an X11 window on a display that shares memory with us;
// false otherwise, and nothing is kept.
bool X11PresenterStart(SDL_Window* window);
void X11PresenterStop();
bool X11PresenterActive();

// Widens the width x height screen scaled into `shown` of the window and fills the
// `bars` black. 0, or -1 when the display refused it (the presenter then stops).
int X11PresenterShow(const uint8_t* in, int pitchBytes, int width, int height, const SDL_Rect& shown,
                     const SDL_Rect* bars, int barCount);

// Waits until the server has taken every image sent.
void X11PresenterFinish();
