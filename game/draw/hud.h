#pragma once
// The frame image and the HUD right of the field, drawn over the whole screen after
// the play's steps of a frame. During a replay `skipHeld` shows the fast-forward mark.
#include <cstdio>

void DrawFrameAndHud(bool skipHeld);
// HiScore: the larger of the table's top entry (this character and difficulty) and
// the score.
int HudHiScore();
// Power as shown: 128 is "MAX".
void FormatPower(int power, char* out, int size);
