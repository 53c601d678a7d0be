#pragma once
// The one entry from the game core into the stage scripts (game/stages/), and the
// reset of the scripts' own statics. Defined by the stage library.

// Runs the stage script of g_scene for this logic step, to its end.
void RunStage();
// Resets the scripts' statics (stage-local tables, attack scratch, banner counter).
void ResetScriptState();
