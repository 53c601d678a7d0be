// A conversion through the graph ends when the message pump reports the quit. A binary
// of its own: the quit request stays for the rest of the process.
#include "platform/window.h"
#include "tests/sound/converter_fixture.h"
#include "tests/sound/sound_fixture.h"

TEST_F(SoundTest, AConversionEndsWhenTheProgramQuits) {
  Bytes file = EncodeMp3(TestTone(44100, 2, 44100), 2, 44100, 128);
  const int tracked = TrackedLiveCount();
  ASSERT_EQ(PostMainWindowMessage(0x0010, 0, 0), 0);  // the window was closed
  g_soundDecoderMask = 0x0F;
  {
    Converter conv(file);
    EXPECT_EQ(conv.result, -1);
  }
  g_soundDecoderMask = 0;
  EXPECT_TRUE(LogHas("MP3変換の途中でソフトが終了しました"));
  EXPECT_EQ(TrackedLiveCount(), tracked);
}
