#pragma once
// The sound system up on the manual-clock output, with its log in a fresh directory.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "host/audio/output.h"
#include "platform/log.h"
#include "platform/util.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/sound_system.h"
#include "tests/sound/test_media.h"

class SoundTest : public testing::Test {
 protected:
  explicit SoundTest(int processors = 2) : processors_(processors) {}
  void SetUp() override {
    StartLog(dir_.path().c_str());
    g_processorCount = processors_;
    UseManualAudioOutput(true);
    ASSERT_EQ(InitSoundSystem(), 0);
    out_ = CurrentManualAudioOutput();
    ASSERT_NE(out_, nullptr);
  }
  void TearDown() override {
    EndSoundSystem();
  }
  // True when the log holds `utf8` (written in Shift-JIS).
  bool LogHas(const std::string& utf8) const {
    std::string want;
    for (char c : utf8) want += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return ReadWholeFile(dir_.File("Log.txt")).find(ShiftJis(want)) != std::string::npos;
  }
  static AudioBuffer* BufferOf(int handle, int index) {
    SoundRecord* r = GetSoundRecord(handle);
    return r != nullptr && r->slots[index].inUse ? r->slots[index].buffer : nullptr;
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  // Plays `frames` on the clock, then waits for one pass of the refill thread (never
  // for time).
  void AdvanceOneRefillPass(int frames) {
    out_->Advance(frames);
    const uint32_t seen = StreamRefillPasses();
    WakeStreamSoundThread();
    while (StreamRefillPasses() == seen) std::this_thread::yield();
  }

  int processors_;
  TempDir dir_;
  ManualAudioOutput* out_ = nullptr;
};
