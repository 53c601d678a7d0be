#pragma once
// A synthetic stage script that keeps every pool busy: every emitter and behaviour,
// lasers, items, enemies of every motion kind, bosses with warps, blasts and cards,
// conversation lines and notices. Its choices come from NextRandom, so a play under
// it is as deterministic as a real stage.
#include "game/play/play_state.h"

void SoakScript();
// Random input bytes for a soak run, from a generator of the test's own.
int SoakInput(uint32_t* state);
