#pragma once
// A scene that shows every draw function of the graphics layer at once: plain,
// stretched, rotated and quad image draws, boxes, frames, triangles, text in two
// colours, a screen graph used as target and source, and every blend mode. The
// frame-hash test pins its picture.

// Makes the scene's graphs (after graphics start). 0, or -1.
int StartDemoScene();
void EndDemoScene();
// Draws frame `frame` of the scene onto the back screen; the picture depends only on
// the frame number.
void DrawDemoScene(int frame);
