#pragma once
// IEnumFilters over a snapshot of the graph's filters: the list as it was when the
// enumerator was made, each filter held by a reference, so filters that are added or
// removed meanwhile neither disturb nor dangle.
#include <vector>

#include "host/dshow/com_ptr.h"
#include "host/dshow/interfaces.h"

// A new enumerator with one reference; null when memory runs out.
IEnumFilters* CreateFilterSnapshotEnum(std::vector<ComPtr<IBaseFilter>> filters);
