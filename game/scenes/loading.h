#pragma once
// The loading screen: its own loop of 120 frames that loads the 20 sound effects
// (three buffers each), the images and the music titles and warms the play code up,
// one share of the work per frame, with a progress bar.
class PassClock;

constexpr int kLoadingFrames = 120;
// The work of loading frame `frame` (0..119) without drawing or pacing.
void RunLoadingWork(int frame);
// Names in the log each music track that is missing or is no readable file (a
// folder in its place), once, instead of at every play.
void CheckMusicTitles();
// The whole loop with drawing, flips and pacing: 0, or -1 when the program must quit.
int RunLoadingScreen(PassClock& clock);
