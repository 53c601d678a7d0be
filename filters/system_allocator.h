#pragma once
// The system memory allocator, made through the class registry as every other class.
#include "host/dshow/interfaces.h"

// Registers the framework's own classes with the class registry (once).
void RegisterFrameworkClasses();
// A new allocator (CLSID_MemoryAllocator) with one reference for the caller.
HRESULT CreateSystemAllocator(IMemAllocator** out);
