#pragma once
// The system's default audio renderer (CLSID_DSoundRender): plays 8 or 16-bit PCM
// through a streaming buffer on the sound system's audio device, at the volume and
// balance set through IBasicAudio, and reports the end of the stream once it has been
// heard. Where no buffer can be had (no device, or the device refuses one) the sound
// is dropped as it falls due and the renderer's clock keeps the time.
#include "host/dshow/interfaces.h"

class AudioDevice;

HRESULT CreateAudioRenderer(IUnknown* outer, REFIID iid, void** out);

// The device renderers opened from now on play into (null: none). A renderer holds a
// reference to its device while it is open, so the owner may release it at any time.
void SetAudioRendererDevice(AudioDevice* device);
// Where a renderer says that it plays without sound (one line each time it opens so).
void SetAudioRendererLog(void (*write)(const char* line));
// The steady time (100 ns units) a renderer's clock follows while it hears nothing;
// null: the system's steady clock. Tests give a time of their own, set before the
// renderer is made.
void SetAudioRendererSteadyTime(REFERENCE_TIME (*now)());
// Bytes of sound `filter` (a default audio renderer; else -1) has taken in since it
// opened, heard or not: tests step the speaker once the stream is in.
int64_t AudioRendererBytesTaken(IBaseFilter* filter);
