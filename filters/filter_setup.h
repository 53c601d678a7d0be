#pragma once
// Registration of a filter from its setup record. No filter of this library supplies
// setup data and there is no filter mapper, so nothing is ever registered.
#include "host/dshow/interfaces.h"

// S_FALSE: there is nothing to register.
HRESULT RegisterFilterSetup(const AMOVIESETUP_FILTER* setup, IFilterMapper* mapper, int32_t doRegister);
