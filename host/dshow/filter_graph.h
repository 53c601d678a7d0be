#pragma once
// The filter graph manager: keeps filters in the order they were added, connects their
// pins (directly, or through a filter made by one of the system's factories), renders
// an output pin to the end, carries out the reconnections that filters ask for once the
// connecting call that caused them returns, moves every filter through the states
// (renderers first, so nothing upstream pushes into a filter not ready for it), hands
// every filter the reference clock and collects the filters' events. A file is
// rendered from the source that CLSID_MediaFileSource makes; seeking and audio calls go
// to the first renderer that takes them.
#include "host/dshow/interfaces.h"

// Makes a graph answering `iid` (CLSID_FilterGraph's factory). Aggregation is refused.
HRESULT CreateFilterGraph(IUnknown* outer, REFIID iid, void** out);
// Registers CLSID_FilterGraph and CLSID_SystemClock; may be called any number of times.
void RegisterFilterGraphClasses();
