#pragma once
// The system's MP3 decoder filter (CLSID_Mp3DecoderFilter), a factory of the graph's
// Render only. Its input pulls an MPEG audio stream through the upstream pin's
// IAsyncReader; its output pushes 16-bit PCM in samples of about 100 ms, decoded whole
// frame by whole frame as the compression manager decodes them, with an encoder's tag
// frame skipped and its delay and padding cut as there, so both paths give the same
// bytes.
#include "host/dshow/interfaces.h"

HRESULT CreateMp3DecoderFilter(IUnknown* outer, REFIID iid, void** out);
