#pragma once
// The async reader over a memory stream, offering one media type.
#include "filters/async_reader_base.h"

class D_CMemReader : public D_CAsyncReaderBase {
 public:
  D_CMemReader(D_CStreamBase* stream, HRESULT* result);

  // Nothing of this filter is ever registered with the system.
  HRESULT Register() override { return S_OK; }
  HRESULT Unregister() override { return S_OK; }

  HRESULT SetOfferedType(const AM_MEDIA_TYPE& type) { return offered_.SetFrom(type); }
};

// A reader with no reference yet, or null (*result says why). The stream must outlive
// every read: release the reader, then delete the stream.
D_CMemReader* CreateMemReader(D_CStreamBase* stream, const AM_MEDIA_TYPE* type, HRESULT* result);
// Deletes a reader nobody references; a referenced one is left to its last Release.
void DeleteMemReader(D_CMemReader* reader);
