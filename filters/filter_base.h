#pragma once
// The base of every filter: state, clock, graph and name over the pins a derived
// filter supplies. The filter's lock belongs to the derived filter and is shared with
// its pins.
#include <atomic>
#include <cstdint>

#include "filters/com_base.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/sync.h"

class D_CPinBase;

class D_CFilterBase : public D_CComBase, public IBaseFilter, public IAMovieSetup {
 public:
  D_CFilterBase(const char* objectName, IUnknown* outer, CriticalSection* lock, REFCLSID clsid);
  // The result pointer is not written.
  D_CFilterBase(const char* objectName, IUnknown* outer, CriticalSection* lock, REFCLSID clsid, HRESULT* result);
  ~D_CFilterBase() override;

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(const char16_t* id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) override;
  HRESULT QueryVendorInfo(char16_t** vendorInfo) override;
  HRESULT Register() override;
  HRESULT Unregister() override;

  // The clock's time minus the run start: VFW_E_NO_CLOCK without a clock.
  virtual HRESULT StreamTimeNow(REFERENCE_TIME* time);
  virtual int32_t PinListVersion() { return pinVersion_; }
  virtual int32_t PinCount() = 0;
  // The pin at `index`, without a reference. A filter that makes its pins lazily may
  // give null when it could not make one.
  virtual D_CPinBase* PinAt(int32_t index) = 0;
  virtual const AMOVIESETUP_FILTER* SetupData() { return nullptr; }

  // Notifies the graph's event sink; E_NOTIMPL outside a graph. EC_COMPLETE carries
  // this filter as its second parameter.
  HRESULT SendGraphEvent(int32_t code, intptr_t param1, intptr_t param2);
  // Asks the graph to reconnect `pin`, with `type` where the graph can take one.
  HRESULT RequestReconnect(IPin* pin, const AM_MEDIA_TYPE* type);
  bool IsStopped() const { return state_.load() == State_Stopped; }
  FILTER_STATE State() const { return state_.load(); }
  IBaseFilter* AsBaseFilter() { return this; }

 protected:
  std::atomic<FILTER_STATE> state_{State_Stopped};
  IReferenceClock* clock_ = nullptr;
  std::atomic<REFERENCE_TIME> runStart_{0};  // read by streaming threads
  CLSID clsid_;
  CriticalSection* lock_;
  char16_t* name_ = nullptr;
  IFilterGraph* graph_ = nullptr;                  // no reference
  std::atomic<IMediaEventSink*> eventSink_{nullptr};  // the graph's, no reference
  int32_t pinVersion_ = 1;
};
