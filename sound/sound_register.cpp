#include "platform/library.h"
#include "platform/window.h"
#include "host/mci/mci.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"

void RegisterSoundLibrarySteps() {
  RegisterLibraryStep(LibraryStep::Sound, InitSoundSystem, EndSoundSystem);
  RegisterLibraryStep(LibraryStep::StopMusic, nullptr, [] { return StopCurrentMusic(); });

}
