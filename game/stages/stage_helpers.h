#pragma once
// What the stage scripts and cards share beside the stage frame: the values a card keeps
// between its steps.
#include "game/stages/boss_attack.h"

// The values a card keeps between its steps, numbered from 0. Every card reads the same
// slots through this one accessor, so a card moved between sources keeps its slots.
inline double& S(int k) { return g_attackScratch.values[k]; }
