#pragma once
// The system's default audio renderer (CLSID_DSoundRender): plays 8 or 16-bit PCM
// through a streaming buffer of the host audio mixer, at the volume and balance set
// through IBasicAudio, and reports the end of the stream once it has been heard.
#include "host/dshow/interfaces.h"

HRESULT CreateAudioRenderer(IUnknown* outer, REFIID iid, void** out);
