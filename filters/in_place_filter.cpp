#include "filters/in_place_filter.h"

#include <cstring>
#include <new>

#include "filters/in_place_in_pin.h"
#include "filters/in_place_out_pin.h"

D_CInPlaceFilter::D_CInPlaceFilter(const char* objectName, IUnknown* outer, REFCLSID clsid, bool modifiesData)
    : D_CTransformFilterBase(objectName, outer, clsid), modifiesData_(modifiesData) {}

D_CInPlaceInPin* D_CInPlaceFilter::InPlaceInput() const { return static_cast<D_CInPlaceInPin*>(input_); }
D_CInPlaceOutPin* D_CInPlaceFilter::InPlaceOutput() const { return static_cast<D_CInPlaceOutPin*>(output_); }

D_CPinBase* D_CInPlaceFilter::PinAt(int32_t index) {
  if (input_ == nullptr) {
    input_ = new (std::nothrow) D_CInPlaceInPin("In-place input pin", this, nullptr, u"Input");
    if (input_ == nullptr) return nullptr;
  }
  if (output_ == nullptr) {
    output_ = new (std::nothrow) D_CInPlaceOutPin("In-place output pin", this, nullptr, u"Output");
    if (output_ == nullptr) {
      delete input_;
      input_ = nullptr;
      return nullptr;
    }
  }
  return index == 0 ? static_cast<D_CPinBase*>(input_) : index == 1 ? output_ : nullptr;
}

bool D_CInPlaceFilter::AllocatorsDiffer() const {
  return input_ == nullptr || output_ == nullptr || input_->Allocator() != output_->Allocator();
}

HRESULT D_CInPlaceFilter::SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  ALLOCATOR_PROPERTIES request{1, 1, 0, 0};
  if (input_ != nullptr && input_->IsConnected() && input_->Allocator() != nullptr) {
    HRESULT hr = input_->Allocator()->GetProperties(&request);
    if (FAILED(hr)) return hr;
  }
  properties->cBuffers = request.cBuffers < 1 ? 1 : request.cBuffers;
  properties->cbBuffer = request.cbBuffer < 1 ? 1 : request.cbBuffer;
  properties->cbAlign = request.cbAlign;
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(properties, &actual);
  if (FAILED(hr)) return hr;
  bool short_ = request.cBuffers > actual.cBuffers || request.cbBuffer > actual.cbBuffer ||
                request.cbAlign > actual.cbAlign;
  return short_ ? E_FAIL : S_OK;
}

HRESULT D_CInPlaceFilter::OnPinConnected(PIN_DIRECTION direction, IPin*) {
  if (graph_ == nullptr) return VFW_E_NOT_IN_GRAPH;
  if (direction == PINDIR_OUTPUT) {
    if (input_->IsConnected()) return RequestReconnect(input_->AsPin(), &output_->ConnectionType());
    return S_OK;
  }
  if (output_->IsConnected() && input_->ConnectionType().NotEquals(output_->ConnectionType())) {
    return RequestReconnect(output_->AsPin(), &input_->ConnectionType());
  }
  return S_OK;
}

IMediaSample* D_CInPlaceFilter::CopySample(IMediaSample* source) {
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = source->GetTime(&start, &stop) == S_OK;
  IMediaSample* copy = nullptr;
  if (FAILED(output_->GetEmptySample(&copy, timed ? &start : nullptr, timed ? &stop : nullptr,
                                     sampleSkipped_ ? AM_GBF_PREVFRAMESKIPPED : 0))) {
    return nullptr;
  }
  IMediaSample2* copy2 = nullptr;
  if (SUCCEEDED(copy->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&copy2)))) {
    // Everything the input recorded, up to the buffer, which stays the copy's own.
    HRESULT hr = copy2->SetProperties(offsetof(AM_SAMPLE2_PROPERTIES, pbBuffer),
                                      reinterpret_cast<const uint8_t*>(&input_->SampleProperties()));
    copy2->Release();
    if (FAILED(hr)) {
      copy->Release();
      return nullptr;
    }
  } else {
    if (timed) copy->SetTime(&start, &stop);
    if (source->IsSyncPoint() == S_OK) copy->SetSyncPoint(1);
    if (source->IsDiscontinuity() == S_OK || sampleSkipped_) copy->SetDiscontinuity(1);
    if (source->IsPreroll() == S_OK) copy->SetPreroll(1);
    AM_MEDIA_TYPE* type = nullptr;
    if (source->GetMediaType(&type) == S_OK) {
      copy->SetMediaType(type);
      DeleteMediaTypeRecord(type);
    }
  }
  sampleSkipped_ = false;
  int64_t mediaStart = 0, mediaEnd = 0;
  if (source->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) copy->SetMediaTime(&mediaStart, &mediaEnd);
  const int32_t length = source->GetActualDataLength();
  uint8_t *from = nullptr, *to = nullptr;
  if (length < 0 || FAILED(copy->SetActualDataLength(length)) || FAILED(source->GetPointer(&from)) ||
      FAILED(copy->GetPointer(&to))) {
    copy->Release();
    return nullptr;
  }
  if (length > 0) std::memcpy(to, from, static_cast<size_t>(length));
  return copy;
}
