#pragma once
// Walking a filter's pins and a pin's filter, for the graph and the system's filters.
#include <vector>

#include "host/dshow/com_ptr.h"
#include "host/dshow/interfaces.h"

// The filter's pins in its own order; with `direction` only the pins of that direction.
std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter);
std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter, PIN_DIRECTION direction);
ComPtr<IBaseFilter> PinFilter(IPin* pin);
ComPtr<IPin> PinPeer(IPin* pin);

// A copy of a media type in task memory, format block and object reference included;
// null when memory runs out. DeleteMediaTypeCopy frees one (null is ignored).
AM_MEDIA_TYPE* CopyMediaTypeToTaskMemory(const AM_MEDIA_TYPE& type);
void DeleteMediaTypeCopy(AM_MEDIA_TYPE* type);
