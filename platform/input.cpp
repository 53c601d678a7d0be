#include "platform/input.h"

#include <cstring>

#include "host/window/window.h"
#include "platform/log.h"

namespace {
bool g_inputStarted = false;
}

int StartInput() {
  // The keyboard is read through the main window's events.
  if (HostMainWindow() == 0) return WriteLog("メインウインドウが無いためキーボードを初期化できません\n");
  g_inputStarted = true;
  WriteLog("キーボードの初期化が完了しました\n");
  return 0;
}

void EndInput() { g_inputStarted = false; }

int GetKeyStateSnapshot(uint8_t keys[256]) {
  if (keys == nullptr) return -1;
  if (!g_inputStarted) {
    std::memset(keys, 0, 256);
    return -1;
  }
  HostKeyboardState(keys);
  return 0;
}
