#include "filters/filter_setup.h"

HRESULT RegisterFilterSetup(const AMOVIESETUP_FILTER*, IFilterMapper*, int32_t) { return S_FALSE; }
