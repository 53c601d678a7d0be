#pragma once
// The spell-card announcement drawn over the play field on every step of a boss attack:
// the portrait sliding down as it fades, the name bar flying in from the lower right to
// its place under the top edge, the card name, and once settled the bonus and the
// card's capture history.

// The draw calls the banner makes. The game installs the graphics layer's functions;
// tests install a recorder. A null entry skips that call.
struct BannerCanvas {
  void (*setFilterMode)(int mode);
  void (*setBlendModeParam)(int mode, int param);
  void (*drawGraphStretched)(int x1, int y1, int x2, int y2, int image, int transparent);
  void (*drawGraphAt)(int x, int y, int image, int transparent);
  int (*getStringWidth)(const char* text, int lengthBytes, int vertical);
  unsigned (*makeScreenColor)(int r, int g, int b);
  void (*drawString)(int x, int y, unsigned colour, const char* text);
};

// Replaces the canvas the banner draws through (null restores the default, which draws
// nothing and measures every text as 0 pixels wide).
void SetBannerCanvas(const BannerCanvas* canvas);

// One step of the banner for the running card. `id` indexes the capture history; an id
// outside the card table shows no history.
void DrawSpellCardBanner(int portrait, const char* name, int id);

// The animation counter: 90 at a card start, down to 0 once the banner has settled.
int SpellBannerCounter();
void ResetSpellBanner();
