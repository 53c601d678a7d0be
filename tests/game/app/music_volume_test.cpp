// Every track the game starts (the title's, a stage's, a boss's) plays at the saved
// music volume from its first sample, heard through the manual audio output.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "game/play/play_effects.h"
#include "game/play/play_sound.h"
#include "game/play/play_state.h"
#include "game/scenes/game_session.h"
#include "host/audio/output.h"
#include "platform/log.h"
#include "platform/util.h"
#include "platform/window.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "tests/game/app/app_fixture.h"
#include "tests/test_files.h"

namespace {

class MusicVolumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSaveData(&g_save);
    ASSERT_EQ(chdir(GAME_RUN_DIR), 0);  // the generated ./music
    StartLog(logDir_.path().c_str());
    g_processorCount = 1;  // the pump refills the stream: no thread to wait for
    UseManualAudioOutput(true);
    ASSERT_EQ(InitSoundSystem(), 0);
    out_ = CurrentManualAudioOutput();
    ASSERT_NE(out_, nullptr);
    static const PlaySoundTable kMusic = {.playMusicFile = GameMusicPlayFile, .stopMusic = StopCurrentMusic};
    g_playSound = &kMusic;
    g_currentMusic = -1;
  }
  void TearDown() override {
    g_playSound = nullptr;
    EndSoundSystem();
    UseManualAudioOutput(false);
  }
  // The loudest sample of the next `ms` milliseconds.
  int PeakOver(int ms) {
    out_->TakeCaptured();
    int peak = 0;
    for (int t = 0; t < ms; t += 30) {
      out_->Advance(1323);
      PumpWindowMessages();
      for (int16_t s : out_->TakeCaptured()) peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    return peak;
  }
  TempDir logDir_;
  ManualAudioOutput* out_ = nullptr;
};

TEST_F(MusicVolumeTest, EveryNewTrackPlaysAtTheSavedVolumeFromItsFirstSample) {
  // At volume 0 nothing may be heard: the title's track, then a stage's (stage 1) and
  // a boss's (stage 1 boss) as the scripts start them.
  g_save.musicVolume = 0;
  ApplyVolumes();
  for (int track : {7, 12, 13}) {
    PlayTrack(track);
    int isSound = 0;
    ASSERT_NE(GetCurrentMusic(&isSound), 0) << track;
    ASSERT_EQ(isSound, 1) << track;
    EXPECT_EQ(PeakOver(600), 0) << "track " << track;
  }
  // The same tracks are heard above 0, each fresh start at its own setting: the
  // silence above is the setting's, and a quieter setting holds from the start too.
  for (int track : {12, 7}) {
    g_save.musicVolume = 100;
    g_currentMusic = -1;
    PlayTrack(track);
    const int full = PeakOver(600);
    EXPECT_GT(full, 1000) << track;
    g_save.musicVolume = 10;  // about a third of the amplitude
    g_currentMusic = -1;
    PlayTrack(track);
    const int quiet = PeakOver(600);
    EXPECT_GT(quiet, 0) << track;
    EXPECT_LT(quiet, full / 2) << "track " << track << " starts louder than its setting";
  }
}

}  // namespace
