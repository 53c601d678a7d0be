#include "filters/filter_base.h"

#include <new>

#include "filters/enum_pins.h"
#include "filters/filter_setup.h"
#include "filters/pin_base.h"
#include "host/kernel/wide_string.h"

D_CFilterBase::D_CFilterBase(const char* objectName, IUnknown* outer, CriticalSection* lock, REFCLSID clsid)
    : D_CComBase(objectName, outer), clsid_(clsid), lock_(lock) {}

D_CFilterBase::D_CFilterBase(const char* objectName, IUnknown* outer, CriticalSection* lock, REFCLSID clsid, HRESULT*)
    : D_CFilterBase(objectName, outer, lock, clsid) {}

D_CFilterBase::~D_CFilterBase() {
  delete[] name_;
  if (clock_ != nullptr) {
    clock_->Release();
    clock_ = nullptr;
  }
}

HRESULT D_CFilterBase::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist) {
    return HandOutInterface(static_cast<IBaseFilter*>(this), out);
  }
  if (iid == IID_IAMovieSetup) return HandOutInterface(static_cast<IAMovieSetup*>(this), out);
  return D_CComBase::InnerQueryInterface(iid, out);
}

HRESULT D_CFilterBase::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT D_CFilterBase::Stop() {
  CriticalSectionGuard guard(*lock_);
  HRESULT result = S_OK;
  if (state_.load() != State_Stopped) {
    // Every connected pin is deactivated whatever the others return.
    for (int32_t i = 0; i < PinCount(); ++i) {
      D_CPinBase* pin = PinAt(i);
      if (pin == nullptr || !pin->IsConnected()) continue;
      HRESULT hr = pin->OnDeactivate();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  state_.store(State_Stopped);
  return result;
}

HRESULT D_CFilterBase::Pause() {
  CriticalSectionGuard guard(*lock_);
  if (state_.load() == State_Stopped) {
    for (int32_t i = 0; i < PinCount(); ++i) {
      D_CPinBase* pin = PinAt(i);
      if (pin == nullptr) return E_OUTOFMEMORY;
      if (!pin->IsConnected()) continue;
      HRESULT hr = pin->OnActivate();
      if (FAILED(hr)) return hr;
    }
  }
  state_.store(State_Paused);
  return S_OK;
}

HRESULT D_CFilterBase::Run(REFERENCE_TIME start) {
  CriticalSectionGuard guard(*lock_);
  runStart_ = start;
  if (state_.load() == State_Stopped) {
    HRESULT hr = static_cast<IBaseFilter*>(this)->Pause();  // a derived Pause runs
    if (FAILED(hr)) return hr;
  }
  if (state_.load() != State_Running) {
    for (int32_t i = 0; i < PinCount(); ++i) {
      D_CPinBase* pin = PinAt(i);
      if (pin == nullptr) return E_OUTOFMEMORY;
      if (!pin->IsConnected()) continue;
      HRESULT hr = pin->OnRun(start);
      if (FAILED(hr)) return hr;
    }
  }
  state_.store(State_Running);
  return S_OK;
}

HRESULT D_CFilterBase::GetState(uint32_t, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

HRESULT D_CFilterBase::SetSyncSource(IReferenceClock* clock) {
  CriticalSectionGuard guard(*lock_);
  if (clock != nullptr) clock->AddRef();
  if (clock_ != nullptr) clock_->Release();
  clock_ = clock;
  return S_OK;
}

HRESULT D_CFilterBase::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  if (clock_ != nullptr) clock_->AddRef();
  *clock = clock_;
  return S_OK;
}

HRESULT D_CFilterBase::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new (std::nothrow) D_CEnumPinsObj(this, nullptr);
  return *pins != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT D_CFilterBase::FindPin(const char16_t* id, IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  for (int32_t i = 0; i < PinCount(); ++i) {
    D_CPinBase* p = PinAt(i);
    if (p != nullptr && WideCompare(p->Name(), id) == 0) {
      *pin = p->AsPin();
      (*pin)->AddRef();
      return S_OK;
    }
  }
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT D_CFilterBase::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  WideCopyN(info->achName, name_, kMaxFilterName);
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT D_CFilterBase::JoinFilterGraph(IFilterGraph* graph, const char16_t* name) {
  CriticalSectionGuard guard(*lock_);
  graph_ = graph;
  IMediaEventSink* sink = nullptr;
  if (graph != nullptr && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
    sink->Release();  // the graph owns this filter: no reference back
  } else {
    sink = nullptr;
  }
  eventSink_.store(sink);
  delete[] name_;
  name_ = nullptr;
  if (name != nullptr) {
    size_t length = WideLength(name) + 1;
    name_ = new (std::nothrow) char16_t[length];
    if (name_ != nullptr) WideCopyN(name_, name, length);
  }
  return S_OK;
}

HRESULT D_CFilterBase::QueryVendorInfo(char16_t**) { return E_NOTIMPL; }

HRESULT D_CFilterBase::Register() {
  const AMOVIESETUP_FILTER* setup = SetupData();
  return setup == nullptr ? S_FALSE : RegisterFilterSetup(setup, nullptr, 1);
}

HRESULT D_CFilterBase::Unregister() {
  const AMOVIESETUP_FILTER* setup = SetupData();
  return setup == nullptr ? S_FALSE : RegisterFilterSetup(setup, nullptr, 0);
}

HRESULT D_CFilterBase::StreamTimeNow(REFERENCE_TIME* time) {
  if (clock_ == nullptr) return VFW_E_NO_CLOCK;
  HRESULT hr = clock_->GetTime(time);
  if (FAILED(hr)) return hr;
  *time -= runStart_;
  return S_OK;
}

HRESULT D_CFilterBase::SendGraphEvent(int32_t code, intptr_t param1, intptr_t param2) {
  IMediaEventSink* sink = eventSink_.load();
  if (sink == nullptr) return E_NOTIMPL;
  if (code == EC_COMPLETE) param2 = reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this));
  return sink->Notify(code, param1, param2);
}

HRESULT D_CFilterBase::RequestReconnect(IPin* pin, const AM_MEDIA_TYPE* type) {
  if (graph_ == nullptr) return E_NOINTERFACE;
  IFilterGraph2* graph2 = nullptr;
  if (SUCCEEDED(graph_->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2)))) {
    HRESULT hr = graph2->ReconnectEx(pin, type);
    graph2->Release();
    return hr;
  }
  return graph_->Reconnect(pin);
}
