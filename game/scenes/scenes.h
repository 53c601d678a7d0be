#pragma once
// The scene machine: one handler per scene number, run once a pass by the frame loop;
// the title and the menus before a play.
#include <string>

#include "game/files/save_file.h"

// Runs the handler of g_scene for this pass (keys already taken).
void RunSceneFrame();
// The current scene's menus start fresh.
void ResetSceneMenus();
// The spell-practice list's line of card `slot` on the chosen difficulty and character:
// "No.id  name", the name hidden until the card is seen; "" for a slot not listed.
std::string SpellPracticeListLine(int slot);
// Start-up's end of loading the save file: every copy refused for what it holds is
// kept aside before any save writes over it (KeepDamagedSaves), and when the load met
// such a copy the title says what was done with it (kept aside, or left in place with
// the cause when it could not be kept) and what is in use, until a key puts it away.
void KeepDamagedSavesAndTell(SaveDamage damage);
// That notice while the title shows it (two lines are split by '\n'), or null.
const char* SaveDamagedNotice();
