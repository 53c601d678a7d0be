// The keyboard as the frame loop reads it, once a pass: a tap over before the next
// look still counts once, a held key stays down, a release is seen at the next look.
#include <SDL.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "host/window/window.h"

namespace {

void Key(SDL_Scancode scancode, bool down) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// One pass of the frame loop: pending events in, then the keys.
uint8_t Look(int code) {
  HostMessage message;
  while (HostPeekMessage(&message)) {
  }
  uint8_t keys[256];
  HostKeyboardState(keys);
  return keys[code];
}

TEST(Keyboard, ATapBetweenTwoLooksCountsOnceAndHeldKeysStayDown) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  ASSERT_NE(HostCreateWindow("keyboard", 640, 480, true), 0u) << HostWindowError();
  constexpr int kF4 = 62, kZ = 44;
  EXPECT_EQ(Look(kF4), 0);
  Key(SDL_SCANCODE_F4, true);  // pressed and released within one pass
  Key(SDL_SCANCODE_F4, false);
  EXPECT_EQ(Look(kF4), 0x80);
  EXPECT_EQ(Look(kF4), 0);

  Key(SDL_SCANCODE_Z, true);  // held over several passes
  for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(Look(kZ), 0x80) << pass;
  Key(SDL_SCANCODE_Z, false);
  EXPECT_EQ(Look(kZ), 0);
  // Released and pressed again within one pass: still down.
  Key(SDL_SCANCODE_Z, true);
  EXPECT_EQ(Look(kZ), 0x80);
  Key(SDL_SCANCODE_Z, false);
  Key(SDL_SCANCODE_Z, true);
  EXPECT_EQ(Look(kZ), 0x80);
  Key(SDL_SCANCODE_Z, false);  // that press was seen: the release is seen at once
  EXPECT_EQ(Look(kZ), 0);
  HostDestroyWindow();
}

}  // namespace
