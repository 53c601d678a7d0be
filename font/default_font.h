#pragma once
// The default font: 16 pixels, anti-aliased, UTF-8 text, drawn onto the current draw
// target under the current blend mode.

// Opens the faces (graphics start); 0, or -1 (logged) when none can be opened, after
// which text calls return -1 and draw nothing.
int StartDefaultFont();
void EndDefaultFont();

// Width in pixels of the first `lengthBytes` bytes of `text` (fewer when a NUL comes
// first). The vertical flag must be 0: vertical text is not supported (-1).
int GetStringWidthDefaultFont(const char* text, int lengthBytes, int vertical);
// Draws `text` with the top of its line at y; `colour` is a screen colour
// (MakeScreenColor). 0, or -1 when there is no font or no draw target.
int DrawStringDefaultFont(int x, int y, const char* text, unsigned colour);
// Formats as printf does, then draws as DrawStringDefaultFont.
int DrawFormattedStringDefaultFont(int x, int y, unsigned colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
