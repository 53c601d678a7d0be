#pragma once
#include <cstdint>

// The DirectInput key code of an SDL scancode, or 0 for keys without one.
uint8_t DirectInputCodeOf(int sdlScancode);
