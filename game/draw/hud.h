#pragma once
// The frame image and the HUD right of the field, drawn over the whole screen after
// the play's steps of a frame. During a replay `skipHeld` shows the fast-forward mark.

void DrawFrameAndHud(bool skipHeld);

// What the HUD shows, read from the play and the ranking.
struct HudValues {
  int difficulty;  // the label row, 0-4
  int hiScore;     // the larger of the table's top entry (this character and difficulty) and the score
  int score;
  int lifeStars, bombStars;  // spare lives and bombs, at most 8 stars each
  char power[12];            // full power (128) shows as "MAX"
  int graze;
  int point;  // the value of a point item taken at the top: 10 x trunc(1000 x point rate)
};
HudValues ReadHudValues();
