#pragma once
// Switches the play's drawing through the graphics layer on (the game) or off
// (headless runs): the play draw table and the card banner's canvas together.
void InstallPlayDrawing(bool on);
