#include "platform/window.h"

#include "host/window/window.h"
#include "platform/util.h"

namespace {
void (*g_pumpEntries[static_cast<int>(PumpEntry::Count)])() = {};
void (*g_mciNotifyHandler)(uintptr_t, intptr_t) = nullptr;
void (*g_onDeactivate)() = nullptr;
void (*g_onActivate)() = nullptr;
bool g_quitRequested = false;
bool g_active = true;

void RunEntry(PumpEntry which) {
  if (auto entry = g_pumpEntries[static_cast<int>(which)]) entry();
}
}  // namespace

void SetPumpEntry(PumpEntry which, void (*entry)()) {
  if (which < PumpEntry::Count) g_pumpEntries[static_cast<int>(which)] = entry;
}

void SetMciNotifyHandler(void (*handler)(uintptr_t wParam, intptr_t lParam)) {
  g_mciNotifyHandler = handler;
}

void SetActivationHandlers(void (*onDeactivate)(), void (*onActivate)()) {
  g_onDeactivate = onDeactivate;
  g_onActivate = onActivate;
}

int OpenMainWindow(const char* title, int width, int height, int windowed) {
  if (HostCreateWindow(title, width, height, windowed != 0) == 0) return -1;
  g_quitRequested = false;
  g_active = true;
  return 0;
}

int GetDisplayUsableSize(int* width, int* height) {
  if (width == nullptr || height == nullptr) return -1;
  return HostDisplayUsableSize(width, height) ? 0 : -1;
}

void CloseMainWindow() {
  HostDestroyWindow();
  // What was posted to the window goes with it: no late notice reaches a subsystem
  // that has already ended.
  HostMessage message;
  while (HostPeekMessage(&message)) {
  }
}

int PumpWindowMessages() {
  HostMessage message;
  while (HostPeekMessage(&message)) {
    MainWindowProc(HostMainWindow(), message.message, message.wParam, message.lParam);
  }
  RunEntry(PumpEntry::ProcessMusicStates);
  RunEntry(PumpEntry::DrawAllMovies);
  // With one processor there is no refill thread: the pump refills instead.
  if (g_processorCount <= 1) {
    RunEntry(PumpEntry::ProcessStreamSounds);
    RunEntry(PumpEntry::ProcessSoftSoundPlayers);
  }
  return g_quitRequested ? -1 : 0;
}

uintptr_t GetMainWindow() { return HostMainWindow(); }

int IsMainWindowActive() { return g_active ? 1 : 0; }

int PostMainWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
  HostPostMessage(message, wParam, lParam);
  return 0;
}

intptr_t MainWindowProc(uintptr_t /*window*/, unsigned message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kMsgMciNotify:
      if (g_mciNotifyHandler != nullptr) g_mciNotifyHandler(wParam, lParam);
      break;
    case kMsgActivateApp:
      if (wParam != 0 && !g_active) {
        g_active = true;
        if (g_onActivate != nullptr) g_onActivate();
      } else if (wParam == 0 && g_active) {
        g_active = false;
        if (g_onDeactivate != nullptr) g_onDeactivate();
      }
      break;
    case kMsgClose:
      g_quitRequested = true;
      break;
    default:
      break;
  }
  return 0;
}

int PresentScreen(const uint16_t* pixels, int pitchBytes, int width, int height) {
  return HostPresent(pixels, pitchBytes, width, height);
}
