#pragma once
// The system's null renderer (CLSID_NullRenderer): takes any type and drops every
// sample, reporting the end of the stream to the graph once it runs.
#include "host/dshow/interfaces.h"

HRESULT CreateNullRenderer(IUnknown* outer, REFIID iid, void** out);
