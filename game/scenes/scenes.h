#pragma once
// The scene machine: one handler per scene number, run once a pass by the frame loop;
// the title and the menus before a play.

// Runs the handler of g_scene for this pass (keys already taken).
void RunSceneFrame();
// The current scene's menus start fresh.
void ResetSceneMenus();
