// When the message pump reports the quit, waits on sounds end at once, and ending the
// sound system still joins the refill thread before freeing what it uses. A binary of
// its own: the quit request stays for the rest of the process.
#include "platform/window.h"
#include "tests/sound/sound_fixture.h"

class QuitTest : public SoundTest {
 protected:
  QuitTest() : SoundTest(2) {}
};

TEST_F(QuitTest, WaitsEndOnQuitAndTheRefillThreadIsJoinedFirst) {
  SetSoundCreateMode(2);
  Bytes music = MakeWave({1, 2, 44100, 16}, AsBytes(TestTone(44100 * 2, 2, 44100, 3)));
  int stream = LoadSoundData(music.data(), static_cast<int>(music.size()), 1, -1);
  ASSERT_NE(stream, -1);
  ASSERT_EQ(PlaySoundHandle(stream, 3, 1), 0);
  SetSoundCreateMode(0);
  Bytes effect = MakeWave({1, 2, 44100, 16}, AsBytes(TestTone(44100, 2, 44100, 4)));
  int h = LoadSoundData(effect.data(), static_cast<int>(effect.size()), 3, -1);
  ASSERT_NE(h, -1);

  ASSERT_EQ(PostMainWindowMessage(0x0010, 0, 0), 0);  // the window was closed
  ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);  // returns although the effect sounds on
  EXPECT_EQ(CheckSoundHandlePlaying(h), 1);
  EXPECT_LT(out_->framesMixed(), 44100);
  // The thread keeps refilling while the main thread plays the clock forward.
  for (int i = 0; i < 10; ++i) AdvanceOneRefillPass(2205);
  ASSERT_EQ(EndSoundSystem(), 0);
  EXPECT_EQ(g_refillThreadState.load(), 2);
  EXPECT_EQ(PlaySoundHandle(stream, 3, 1), -1);
  ASSERT_EQ(InitSoundSystem(), 0);  // for the fixture's own end
}
