// Linked only while the stage library is not part of the build: a play then runs
// with no script.
#include "game/play/stage_entry.h"

void RunStage() {}
void ResetScriptState() {}
