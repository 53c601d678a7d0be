#pragma once
// The system's seeking pass-through object (CLSID_SeekingPassThru): aggregatable, and
// once told through ISeekingPassThru which pin it serves, it answers IMediaSeeking and
// IMediaPosition with a pass-through for that pin (the renderer's variant on request).
#include "host/dshow/interfaces.h"

// CLSID_SeekingPassThru's factory.
HRESULT CreateSeekingPassThruObject(IUnknown* outer, REFIID iid, void** out);
