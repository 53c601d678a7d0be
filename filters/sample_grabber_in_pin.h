#pragma once
// The sample grabber's input: it proposes the accepted major type while the output is
// unconnected, notes every new connection type for the callback, and can work with a
// private allocator over a caller's buffer.
#include "filters/in_place_in_pin.h"

class D_CSampleGrabber;
class D_CSampleGrabberAllocator;

class D_CSampleGrabberInPin : public D_CInPlaceInPin {
 public:
  D_CSampleGrabberInPin(D_CSampleGrabber* grabber, HRESULT* result);
  ~D_CSampleGrabberInPin() override;

  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;

  HRESULT SetOutputBuffer(const ALLOCATOR_PROPERTIES& properties, uint8_t* buffer);
  // True once after each new connection type: the caller clears it.
  bool TakeTypeChanged() {
    bool changed = typeChanged_;
    typeChanged_ = false;
    return changed;
  }

 private:
  D_CSampleGrabber* grabber_;
  D_CSampleGrabberAllocator* privateAllocator_ = nullptr;  // holds a reference
  ALLOCATOR_PROPERTIES properties_{};
  uint8_t* buffer_ = nullptr;
  bool typeChanged_ = false;
};
