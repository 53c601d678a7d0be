#pragma once
// The system's null renderer (CLSID_NullRenderer): takes any type and drops every
// sample, reporting the end of the stream to the graph once it runs. Registered under
// CLSID_DSoundRender it is the default audio renderer that Render adds, taking only
// PCM audio.
#include "host/dshow/interfaces.h"

HRESULT CreateNullRenderer(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateDefaultAudioRenderer(IUnknown* outer, REFIID iid, void** out);
