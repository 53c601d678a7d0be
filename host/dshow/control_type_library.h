#pragma once
// The media-control type library of this host: what a script-style caller needs to
// reach the position interface's properties and methods by name through IDispatch.
// Found as the platform's is, by its library id (version 1.0) or as "control.tlb".
#include "host/com/dispatch.h"

// Registers it (idempotent); the filter graph's classes register it with themselves.
void RegisterMediaControlTypeLibrary();
// The position interface's type information from it (registering it first).
HRESULT GetMediaPositionTypeInfo(ITypeInfo** out);
