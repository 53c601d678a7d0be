#pragma once
// The drawing of the play through the graphics layer, behind the play's draw table.

// Switches the play's drawing on (the game) or off (headless runs): the play draw
// table and the card banner's canvas together.
void InstallPlayDrawing(bool on);
