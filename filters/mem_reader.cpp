#include "filters/mem_reader.h"

#include <new>

D_CMemReader::D_CMemReader(D_CStreamBase* stream, HRESULT* result)
    : D_CAsyncReaderBase("Mem Reader", nullptr, stream, result) {}

D_CMemReader* CreateMemReader(D_CStreamBase* stream, const AM_MEDIA_TYPE* type, HRESULT* result) {
  HRESULT hr = S_OK;
  auto* reader = new (std::nothrow) D_CMemReader(stream, &hr);
  if (reader == nullptr) hr = E_OUTOFMEMORY;
  if (reader != nullptr && SUCCEEDED(hr) && type != nullptr) hr = reader->SetOfferedType(*type);
  if (reader != nullptr && FAILED(hr)) {
    delete reader;
    reader = nullptr;
  }
  if (result != nullptr) *result = hr;
  return reader;
}

void DeleteMemReader(D_CMemReader* reader) {
  if (reader == nullptr) return;
  // The probe reference is the only one when nobody holds the reader: its release
  // deletes it. A referenced reader is left to its holders' releases.
  reader->InnerAddRef();
  reader->InnerRelease();
}
