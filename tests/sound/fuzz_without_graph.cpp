// The sound fuzzer covers the decoders that parse the file themselves; the decoder that
// runs a filter graph over the system's filters is left out of its build and refuses.
#include "sound/decoders/sound_converter.h"

CriticalSection* g_converterCallerLock = nullptr;

int ConvertMp3ToPcm(SoundConverter*) { return -1; }
