#pragma once
// The system's file source (CLSID_MediaFileSource), which the graph's RenderFile
// starts from: it opens any file FFmpeg can demux and offers one output pin per video
// stream FFmpeg can decode and one for the audio stream FFmpeg would play. A video pin
// delivers RGB24 frames (bottom-up or top-down, as the connection says), an audio pin
// 16-bit PCM; each pin streams from its own thread, timed from the stream's time base,
// and seeks through IMediaSeeking.
#include "host/dshow/interfaces.h"

HRESULT CreateMediaFileSource(IUnknown* outer, REFIID iid, void** out);
