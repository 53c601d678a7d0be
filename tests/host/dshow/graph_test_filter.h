#pragma once
// A filter written straight on the interfaces, for testing the graph on its own: pins
// that offer and accept one major type, a shared log of state calls, and hooks the
// tests fill in. Every pin and filter counts itself.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "host/dshow/com_ptr.h"
#include "host/dshow/interfaces.h"

class GraphTestFilter;

class GraphTestPin final : public IPin {
 public:
  GraphTestPin(GraphTestFilter* filter, PIN_DIRECTION direction, const GUID& major)
      : filter_(filter), direction_(direction), major_(major) {}
  ~GraphTestPin() { ReleasePeer(); }

  HRESULT QueryInterface(REFIID iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryId(char16_t**) override { return E_NOTIMPL; }
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override { return Accepts(type) ? S_OK : S_FALSE; }
  HRESULT EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  HRESULT QueryInternalConnections(IPin**, uint32_t*) override { return E_NOTIMPL; }
  HRESULT EndOfStream() override { return S_OK; }
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  IPin* peer() const { return peer_; }
  const AM_MEDIA_TYPE& type() const { return type_; }

 private:
  bool Accepts(const AM_MEDIA_TYPE* type) const { return type && type->majortype == major_; }
  void ReleasePeer();

  GraphTestFilter* filter_;
  PIN_DIRECTION direction_;
  GUID major_;
  IPin* peer_ = nullptr;
  AM_MEDIA_TYPE type_{};
};

class GraphTestFilter final : public IBaseFilter {
 public:
  // `inputs` and `outputs`: the major type of each pin.
  GraphTestFilter(std::string name, std::vector<GUID> inputs, std::vector<GUID> outputs,
                  std::vector<std::string>* log = nullptr);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(uint32_t, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(const char16_t*, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) override;
  HRESULT QueryVendorInfo(char16_t**) override { return E_NOTIMPL; }

  GraphTestPin* pin(size_t i) { return pins_[i]; }
  IFilterGraph* graph() const { return graph_; }
  FILTER_STATE state() const { return state_; }
  IReferenceClock* clock() const { return clock_.get(); }
  // Sends an event to the graph the way filters do.
  HRESULT Notify(int32_t code, intptr_t p1, intptr_t p2);

  // Called after one of the pins has connected (the graph may be inside Connect).
  std::function<void(GraphTestPin*)> onConnected;
  // Called inside Stop, the graph lock held.
  std::function<void()> onStop;
  static int live;

 private:
  ~GraphTestFilter();
  void Log(const char* what);

  std::atomic<int> refs_{1};
  std::string name_;
  std::vector<GraphTestPin*> pins_;
  std::vector<std::string>* log_;
  IFilterGraph* graph_ = nullptr;
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;
  friend class GraphTestPin;
};

// Registers a factory for `clsid` making GraphTestFilters like `make` returns.
void RegisterTestFactory(const CLSID& clsid, std::function<GraphTestFilter*()> make);
