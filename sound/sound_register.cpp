#include "platform/library.h"
#include "platform/window.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

void RegisterSoundLibrarySteps() {
  RegisterLibraryStep(LibraryStep::Sound, InitSoundSystem, EndSoundSystem);
  SetPumpEntry(PumpEntry::ProcessStreamSounds, ProcessStreamSounds);
}
