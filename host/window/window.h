#pragma once
// The main window over SDL2: one window at a time, a message queue that any thread
// may post to, the keyboard as 256 DirectInput key codes, and a presenter that shows a
// 16-bit RGB565 screen scaled to the window through a streaming texture, shared X images
// or the window surface.
#include <cstdint>

struct HostMessage {
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
};

// Messages the stand-in produces from SDL events.
constexpr unsigned kMsgClose = 0x0010;        // the user asked to close the window
constexpr unsigned kMsgActivateApp = 0x001C;  // wParam 1 activated, 0 deactivated

// Opens the main window (windowed: width x height inside a window manager's frame,
// placed whole on the first display's usable part where it fits, else its inside from
// that part's top-left; full screen on the desktop otherwise). Returns its non-zero id,
// or 0 on failure (the reason in HostWindowError()).
uintptr_t HostCreateWindow(const char* title, int width, int height, bool windowed);
// The largest window inside that fits the first display with its frame: the display less
// its panels and the frame a window manager puts round a window, with or without a
// window open; false when no display answers. The display stays open for the window
// that follows (or until HostDestroyWindow).
bool HostDisplayUsableSize(int* width, int* height);
void HostDestroyWindow();  // also lets go of a display query's hold
uintptr_t HostMainWindow();
const char* HostWindowError();
void HostSetWindowTitle(const char* title);

// Queues a message; safe from any thread, with or without a window.
void HostPostMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
// Turns the window's pending events into messages and key state, then takes the
// oldest queued message. False when none is left.
bool HostPeekMessage(HostMessage* out);

// Copies the state of all 256 keys (0x80 down, 0 up). A key pressed since the last
// call counts as down even when it was released again before this one.
void HostKeyboardState(uint8_t keys[256]);

// Shows a width x height RGB565 screen scaled to the window: 0, or -1 without a window.
int HostPresent(const uint16_t* pixels, int pitchBytes, int width, int height);
