#pragma once
// The banner's draw calls on the graphics layer and the default font. The game installs
// it with SetBannerCanvas once graphics has started; headless runs leave it out.
#include "game/stages/spell_banner.h"

const BannerCanvas* GraphicsBannerCanvas();
