#pragma once
// The scene machine: one handler per scene number, run once a pass by the frame loop;
// the title and the menus before a play.
#include <string>

// Runs the handler of g_scene for this pass (keys already taken).
void RunSceneFrame();
// The current scene's menus start fresh.
void ResetSceneMenus();
// The spell-practice list's line of card `slot` on the chosen difficulty and character:
// "No.id  name", the name hidden until the card is seen; "" for a slot not listed.
std::string SpellPracticeListLine(int slot);
// Start-up found both copies of the save file damaged (`damagedPath` the one refused):
// it is kept as "central.dat.damaged" before any save writes over it, and the title
// says that defaults are in use until a key is pressed.
void KeepDamagedSaveAndTell(const std::string& damagedPath);
// That notice while the title shows it, or null.
const char* SaveDamagedNotice();
