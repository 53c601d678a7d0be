// Settings and key configuration (306).
#include <algorithm>
#include <cstdio>

#include "game/draw/game_images.h"
#include "game/files/save_tables.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "game/scenes/menu.h"
#include "game/scenes/play_scene.h"
#include "game/scenes/settings_scene.h"
#include "graphics/draw.h"
#include "graphics/screen.h"
#include "platform/input.h"

namespace {

struct SettingsState {
  MenuCursor items, keys;
  int step = 0;        // 0 the settings, 1 the key list, 2 waiting for a key
  int held = 0;
  int entered = 0;     // a pass has run here (so leaving writes the file)
};
SettingsState g_settings;

const char* WindowName(int width) {
  switch (width) {
    case 0: return "Full screen";
    case 960: return "960 x 720";
    case 1280: return "1280 x 960";
    default: return "640 x 480";
  }
}

int NextWindowWidth(int width, int direction) {
  static const int kWidths[4] = {0, 640, 960, 1280};
  int index = 1;
  for (int k = 0; k < 4; ++k)
    if (kWidths[k] == width) index = k;
  index = std::clamp(index + direction, 0, 3);
  return kWidths[index];
}

const char* KeyName(int code) {
  static char text[16];
  const char named = NameCharOfKey(code);
  switch (code) {
    case 1: return "Esc";
    case 15: return "Tab";
    case 29: return "Left Ctrl";
    case 42: return "Left Shift";
    case 54: return "Right Shift";
    case 56: return "Left Alt";
    case 57: return "Space";
    case 157: return "Right Ctrl";
    default: break;
  }
  if (named != 0 && named != ' ') {
    std::snprintf(text, sizeof text, "%c", named);
    return text;
  }
  std::snprintf(text, sizeof text, "Key %d", code);
  return text;
}

void LeaveSettings() {
  g_settings = SettingsState{};
  StoreSaveNow("Settings could not be saved");
  g_scene = kSceneTitle;
}

void RunKeyList() {
  static const char* const kNames[5] = {"Shot", "Bomb", "Slow", "Skip", "Pause"};
  DrawMenuTitle(80, 60, "Keys");
  if (g_settings.step == 2) {
    for (int k = 0; k < 5; ++k) {
      DrawMenuLine(120, 120 + 28 * k, kNames[k], k == g_settings.keys.index);
      DrawMenuLine(240, 120 + 28 * k, k == g_settings.keys.index ? "... press a key (Esc: keep)" : KeyName(ConfigKey(g_save.keys, k)),
                   k == g_settings.keys.index);
    }
    DrawMenuLine(120, 120 + 28 * 5, "Reset", false);
    DrawMenuLine(120, 120 + 28 * 6, "Back", false);
    if (KeyFresh(kKeyEscape)) {
      g_settings.step = 1;
      PlayEffect(kSeMenuCancel);
      return;
    }
    for (int code = 1; code < 256; ++code) {
      if (!KeyFresh(code)) continue;
      if (AssignKey(g_save.keys, g_settings.keys.index, code)) {
        PlayEffect(kSeMenuConfirm);
        g_settings.step = 1;
      } else {
        PlayEffect(kSeMenuCancel);
      }
      break;
    }
    return;
  }
  const MenuAction action = StepMenu(g_settings.keys, 7);
  for (int k = 0; k < 5; ++k) {
    DrawMenuLine(120, 120 + 28 * k, kNames[k], k == g_settings.keys.index);
    DrawMenuLine(240, 120 + 28 * k, KeyName(ConfigKey(g_save.keys, k)), k == g_settings.keys.index);
  }
  DrawMenuLine(120, 120 + 28 * 5, "Reset", g_settings.keys.index == 5);
  DrawMenuLine(120, 120 + 28 * 6, "Back", g_settings.keys.index == 6);
  if (action == MenuAction::Cancel) {
    g_settings.step = 0;
  } else if (action == MenuAction::Confirm) {
    PlayEffect(kSeMenuConfirm);
    if (g_settings.keys.index < 5) {
      g_settings.step = 2;
    } else if (g_settings.keys.index == 5) {
      SaveData defaults;
      ResetSaveData(&defaults);
      g_save.keys = defaults.keys;
    } else {
      g_settings.step = 0;
    }
  }
}

}  // namespace

void RunSettingsScene() {
  SetBlendModeParam(0, 255);
  if (g_images.title != -1) DrawGraphAt(0, 0, g_images.title, 0);
  SetBlendModeParam(1, 215);
  DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(0, 0, 16));
  SetBlendModeParam(0, 255);
  if (g_settings.step > 0) {
    RunKeyList();
    return;
  }
  DrawMenuTitle(80, 60, "Option");
  const MenuAction action = StepMenu(g_settings.items, 5);
  const int lr = StepLeftRight(g_settings.held);
  const int index = g_settings.items.index;
  if (lr != 0) {
    if (index == 0) g_save.windowWidth = NextWindowWidth(g_save.windowWidth, lr);
    if (index == 1) g_save.musicVolume = std::clamp(g_save.musicVolume + 10 * lr, 0, 100);
    if (index == 2) g_save.soundVolume = std::clamp(g_save.soundVolume + 10 * lr, 0, 100);
    if (index <= 2) {
      ApplyVolumes();
      PlayEffect(kSeMenuMove);
    }
  }
  char line[64];
  DrawMenuLine(120, 130, "Window", index == 0);
  std::snprintf(line, sizeof line, "< %s >  (next start)", WindowName(g_save.windowWidth));
  DrawMenuLine(280, 130, line, index == 0);
  DrawMenuLine(120, 160, "Music volume", index == 1);
  std::snprintf(line, sizeof line, "< %d >", g_save.musicVolume);
  DrawMenuLine(280, 160, line, index == 1);
  DrawMenuLine(120, 190, "Sound volume", index == 2);
  std::snprintf(line, sizeof line, "< %d >", g_save.soundVolume);
  DrawMenuLine(280, 190, line, index == 2);
  DrawMenuLine(120, 220, "Keys", index == 3);
  DrawMenuLine(120, 250, "Back", index == 4);
  if (action == MenuAction::Cancel) {
    LeaveSettings();
  } else if (action == MenuAction::Confirm) {
    if (index == 3) {
      PlayEffect(kSeMenuConfirm);
      g_settings.step = 1;
      g_settings.keys = MenuCursor{};
    } else if (index == 4) {
      PlayEffect(kSeMenuConfirm);
      LeaveSettings();
    }
  }
}
