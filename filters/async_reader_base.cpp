#include "filters/async_reader_base.h"

D_CAsyncReaderBase::D_CAsyncReaderBase(const char* objectName, IUnknown* outer, D_CStreamBase* stream,
                                       HRESULT* result)
    : D_CFilterBase(objectName, outer, &lock_, CLSID_AsyncReader),
      queue_(stream),
      pin_(this, &queue_, &lock_, result) {}

D_CAsyncReaderBase::~D_CAsyncReaderBase() = default;

HRESULT D_CAsyncReaderBase::ConnectOutput(IPin* pin, const AM_MEDIA_TYPE* type) {
  return pin_.D_CPinBase::Connect(pin, type);
}
