#pragma once
// Keyboard state in DirectInput key codes (256 entries, 0x80 when down).
#include <cstdint>

constexpr int kKeyEscape = 1;
constexpr int kKeyBackspace = 14;
constexpr int kKeyReturn = 28;
constexpr int kKeyLShift = 42;
constexpr int kKeyRShift = 54;
constexpr int kKeyZ = 44;
constexpr int kKeyX = 45;
constexpr int kKeyC = 46;
constexpr int kKeySpace = 57;
constexpr int kKeyF4 = 62;
constexpr int kKeyUp = 200;
constexpr int kKeyLeft = 203;
constexpr int kKeyRight = 205;
constexpr int kKeyDown = 208;

// Fills `keys` with the state of all 256 keys: 0, or -1 on failure (all keys up, as
// before the library start).
int GetKeyStateSnapshot(uint8_t keys[256]);

// Used by the library start and end.
int StartInput();
void EndInput();
