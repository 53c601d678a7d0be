#pragma once
// Draw targets and the flip. The back screen (-2) and the front screen (-4) are
// 640 x 480 RGB565 memory images; a screen graph may be selected as target too.
#include <cstdint>

struct GraphRecord;

constexpr int kBackScreen = -2;
constexpr int kFrontScreen = -4;
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// Graphics start and end: the tables, the screens, the default font, the frame checks.
// Registered as the library's graphics step by RegisterGraphicsStep.
int StartGraphics();
int EndGraphics();
void RegisterGraphicsStep();

// Selects the target of every following draw: kBackScreen, kFrontScreen or a screen
// graph. Resets the draw area to the whole target. 0, or -1 for anything else.
int SetDrawScreen(int target);
int GetDrawScreen();
// Limits drawing to (x1, y1)-(x2, y2), right and bottom exclusive, clamped to the target.
int SetDrawArea(int x1, int y1, int x2, int y2);
// Fills the whole current draw target with black.
int ClearDrawScreen();
// Copies the rectangle (x1, y1)-(x2, y2) of the current draw target into `graph` at its
// top-left corner (clipped to both). 0, or -1 for a bad handle or the target itself.
int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int graph);
// Presents the back screen (the front screen while that is the draw target) in the
// window, after the headless frame checks. 0, or -1 when the window refuses it.
int FlipScreen();
// Frames flipped since graphics start.
int GetFlipCount();

// Read access for tests and the frame checks: the pixels of the back screen.
const uint16_t* GetBackScreenPixels(int* pitchBytes);

// The graph layer calls this before a graph's record is freed: a freed draw target
// gives way to the back screen.
void ForgetDrawTargetGraph(const GraphRecord* record);
