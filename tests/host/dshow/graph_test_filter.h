#pragma once
// A filter on the framework's bases for testing the graph: pins that offer and accept
// one major type, a shared log of state calls, hooks the tests fill in, and, on
// request, a file-source and an audio interface of its own.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filters/filter_base.h"
#include "filters/pin_base.h"
#include "host/dshow/com_ptr.h"
#include "host/dshow/without_type_info.h"

class GraphTestFilter;

class GraphTestPin final : public D_CPinBase {
 public:
  GraphTestPin(GraphTestFilter* filter, CriticalSection* lock, PIN_DIRECTION direction, const GUID& major);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override { return type->majortype == major_ ? S_OK : S_FALSE; }
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT FinishConnection(IPin* peer) override;
  IPin* peer() const { return ConnectedPin(); }
  const AM_MEDIA_TYPE& type() const { return ConnectionType(); }

 private:
  GraphTestFilter* owner_;
  GUID major_;
};

class GraphTestFilter final : public D_CFilterBase, public IFileSourceFilter, public WithoutTypeInfo<IBasicAudio> {
 public:
  // `inputs` and `outputs`: the major type of each pin. Made with no reference.
  GraphTestFilter(std::string name, std::vector<GUID> inputs, std::vector<GUID> outputs,
                  std::vector<std::string>* log = nullptr);

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;
  int32_t PinCount() override { return static_cast<int32_t>(pins_.size()); }
  D_CPinBase* PinAt(int32_t index) override {
    return index >= 0 && index < PinCount() ? pins_[index].get() : nullptr;
  }
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) override;

  HRESULT Load(const char16_t* fileName, const AM_MEDIA_TYPE*) override;
  HRESULT GetCurFile(char16_t**, AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT put_Volume(int32_t v) override { return volume = v, S_OK; }
  HRESULT get_Volume(int32_t* v) override { return *v = volume, S_OK; }
  HRESULT put_Balance(int32_t) override { return E_NOTIMPL; }
  HRESULT get_Balance(int32_t*) override { return E_NOTIMPL; }

  GraphTestPin* pin(size_t i) { return pins_[i].get(); }
  IFilterGraph* graph() const { return graph_; }
  IReferenceClock* clock() const { return clock_; }
  HRESULT Notify(int32_t code, intptr_t p1, intptr_t p2) { return SendGraphEvent(code, p1, p2); }

  std::function<void(GraphTestPin*)> onConnected;  // after one of the pins connected
  std::function<void()> onStop;                    // inside Stop, the graph lock held
  bool fileSource = false;                         // offers IFileSourceFilter
  bool audio = false;                              // offers IBasicAudio
  HRESULT loadResult = S_OK;
  std::u16string loaded;
  int32_t volume = 0;

 private:
  void Log(const char* what);
  CriticalSection lock_;
  std::string name_;
  std::vector<std::unique_ptr<GraphTestPin>> pins_;
  std::vector<std::string>* log_;
};

// Registers `clsid` as making the filters `make` returns.
void RegisterTestFactory(const CLSID& clsid, std::function<GraphTestFilter*()> make);
