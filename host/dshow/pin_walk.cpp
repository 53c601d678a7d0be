#include "host/dshow/pin_walk.h"

#include <cstring>

#include "host/com/task_memory.h"

std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> e;
  if (!filter || FAILED(filter->EnumPins(e.Out())) || !e) return pins;
  IPin* pin = nullptr;
  uint32_t fetched = 0;
  while (e->Next(1, &pin, &fetched) == S_OK && fetched == 1) pins.push_back(ComPtr<IPin>::Adopt(pin));
  return pins;
}

std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter, PIN_DIRECTION direction) {
  std::vector<ComPtr<IPin>> pins;
  for (ComPtr<IPin>& pin : FilterPins(filter)) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) pins.push_back(std::move(pin));
  }
  return pins;
}

ComPtr<IBaseFilter> PinFilter(IPin* pin) {
  PIN_INFO info{};
  if (!pin || FAILED(pin->QueryPinInfo(&info))) return {};
  return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

ComPtr<IPin> PinPeer(IPin* pin) {
  ComPtr<IPin> peer;
  if (pin && FAILED(pin->ConnectedTo(peer.Out()))) peer.Reset();
  return peer;
}

AM_MEDIA_TYPE* CopyMediaTypeToTaskMemory(const AM_MEDIA_TYPE& type) {
  auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!copy) return nullptr;
  *copy = type;
  if (type.cbFormat != 0) {
    copy->pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(type.cbFormat));
    if (!copy->pbFormat) {
      CoTaskMemFree(copy);
      return nullptr;
    }
    std::memcpy(copy->pbFormat, type.pbFormat, type.cbFormat);
  } else {
    copy->pbFormat = nullptr;
  }
  if (copy->pUnk) copy->pUnk->AddRef();
  return copy;
}

void DeleteMediaTypeCopy(AM_MEDIA_TYPE* type) {
  if (!type) return;
  CoTaskMemFree(type->pbFormat);
  if (type->pUnk) type->pUnk->Release();
  CoTaskMemFree(type);
}
